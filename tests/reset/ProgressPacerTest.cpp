#include "reset/ProgressPacer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using TimePoint = std::chrono::steady_clock::time_point;

// A run of paths that each take a fixed time on a clock the test moves.
struct PacedRun
{
    TimePoint now{};
    std::vector<std::string> shown;
    int hidden = 0;

    void run(std::size_t total, std::chrono::milliseconds perPath)
    {
        ProgressPacer pacer(
                [this] { return now; },
                [this](std::size_t done, std::size_t all, const std::filesystem::path& p) {
                    shown.push_back(std::to_string(done) + "/" + std::to_string(all) + " "
                                    + p.string());
                },
                [this] { ++hidden; });
        for (std::size_t i = 0; i < total; ++i) {
            pacer.update(i, total, "/p" + std::to_string(i));
            now += perPath;
        }
        pacer.finish();
    }
};

TEST(ProgressPacer, ShortRunShowsNothing)
{
    PacedRun run;
    run.run(40, 12ms);  // 480 ms in all
    EXPECT_TRUE(run.shown.empty());
    EXPECT_EQ(run.hidden, 0);
}

TEST(ProgressPacer, LongRunShowsAfterHalfASecondThenAFewTimesASecond)
{
    PacedRun run;
    run.run(100, 10ms);  // one second in all
    ASSERT_FALSE(run.shown.empty());
    EXPECT_EQ(run.shown.front(), "50/100 /p50");
    // From 500 ms to 990 ms, every 50 ms: 10 updates, not one per path.
    EXPECT_EQ(run.shown.size(), 10u);
    EXPECT_EQ(run.shown.back(), "95/100 /p95");
    EXPECT_EQ(run.hidden, 1);
}

TEST(ProgressPacer, OneSlowPathShowsTheNextOne)
{
    PacedRun run;
    ProgressPacer pacer([&] { return run.now; },
                        [&](std::size_t done, std::size_t, const std::filesystem::path&) {
                            run.shown.push_back(std::to_string(done));
                        },
                        [&] { ++run.hidden; });
    pacer.update(0, 3, "/a");
    run.now += 2s;  // a stalled network share
    pacer.update(1, 3, "/b");
    pacer.update(2, 3, "/c");
    pacer.finish();
    pacer.finish();
    EXPECT_EQ(run.shown, std::vector<std::string>{"1"});
    EXPECT_EQ(run.hidden, 1);
}

}  // namespace
