#include "reset/ProgressPacer.h"

ProgressPacer::ProgressPacer(Clock clock, Show show, Hide hide)
    : clock_(std::move(clock))
    , show_(std::move(show))
    , hide_(std::move(hide))
    , start_(clock_())
{ }

void ProgressPacer::update(std::size_t done, std::size_t total,
                           const std::filesystem::path& current)
{
    const auto now = clock_();
    if (shown_ ? now - lastShown_ < interval : now - start_ < delayBeforeShowing)
        return;
    shown_ = true;
    lastShown_ = now;
    show_(done, total, current);
}

void ProgressPacer::finish()
{
    if (shown_)
        hide_();
    shown_ = false;
}
