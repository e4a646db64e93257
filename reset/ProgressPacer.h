#pragma once
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>

// Decides when a long run shows its progress: only once it has lasted about half a second,
// and then a few times a second, so short runs show nothing and long ones cost little.
class ProgressPacer
{
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    using Show = std::function<void(std::size_t done, std::size_t total,
                                    const std::filesystem::path& current)>;
    using Hide = std::function<void()>;

    static constexpr std::chrono::milliseconds delayBeforeShowing{500};
    static constexpr std::chrono::milliseconds interval{50};

    ProgressPacer(Clock clock, Show show, Hide hide);

    // Before the path at index done (0-based) of total is worked on.
    void update(std::size_t done, std::size_t total, const std::filesystem::path& current);
    // After the last path: takes the display down if it was shown.
    void finish();

private:
    Clock clock_;
    Show show_;
    Hide hide_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastShown_;
    bool shown_ = false;
};
