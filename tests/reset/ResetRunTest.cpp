#include "reset/ResetRun.h"
#include "CoreFixture.h"
#include "NamedCase.h"
#include "reset/DisplayText.h"
#include "reset/NormalAttributes.h"
#include "reset/ResetWords.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <type_traits>

namespace {

using Paths = std::vector<std::filesystem::path>;
using Status = ResetOutcome::Status;

const std::string closing = "\r\n\r\nClick OK to reset more files/folders";
// After the list of failures, whose lines end in a line break of their own.
const std::string closingAfterList = "\r\nClick OK to reset more files/folders";

struct ReportCase : tables::NamedCase
{
    Paths list;
    std::map<std::filesystem::path, ResetOutcome> outcomes;
    std::string report;
    std::string details;  // empty: an information box without details
};

class ResetReport : public ::testing::TestWithParam<ReportCase>
{
};

TEST_P(ResetReport, ResetsEveryPathThenReportsAndRestoresTheCaption)
{
    const ReportCase& c = GetParam();
    CoreFixture core;
    core.load();
    core.reset.outcomes = c.outcomes;
    core.form.Image1_OLEDragDrop({c.list});
    core.log.clear();

    core.form.imgStart_Click();

    // The download page first, then every path in list order, the box, and the caption.
    EventLog expected{"launchMin:" + core.form.state().DownloadPageCmd};
    for (const auto& path : c.list)
        expected.push_back("reset:" + path.string());
    expected.push_back("box");
    expected.push_back("caption:");
    EXPECT_EQ(core.log, expected);

    ASSERT_EQ(core.view.boxes.size(), 1u);
    EXPECT_EQ(core.view.boxes[0].title, "");
    EXPECT_EQ(core.view.boxes[0].text, c.report);
    EXPECT_EQ(core.view.boxes[0].details, c.details);
    // Exactly the plain information box when every path was reset; a warning otherwise.
    EXPECT_EQ(core.view.boxes[0].warning, !c.details.empty());
    EXPECT_EQ(core.form.List1().count(), 0u);
}

using Cause = ResetOutcome::Cause;

std::map<std::filesystem::path, ResetOutcome> manyMissing()
{
    std::map<std::filesystem::path, ResetOutcome> outcomes;
    for (int i = 0; i < 13; ++i)
        outcomes["/gone/" + std::to_string(i)] = {Status::Missing, {}, Cause::NotFound};
    return outcomes;
}

Paths manyPaths()
{
    Paths paths{"/kept"};
    for (int i = 0; i < 13; ++i)
        paths.emplace_back("/gone/" + std::to_string(i));
    return paths;
}

std::string manyLines(int from, int to)
{
    std::string text;
    for (int i = from; i < to; ++i)
        text += "/gone/" + std::to_string(i) + " (not found)\r\n";
    return text;
}

const std::string locked = "locked against changes (immutable or append-only): only an "
                           "administrator can unlock it; run Flagwash as root";

INSTANTIATE_TEST_SUITE_P(
        Cases, ResetReport,
        ::testing::Values(
                ReportCase{"EmptyList", {}, {}, "Done resetting 0 files/folders" + closing, ""},
                ReportCase{"AllDone",
                           {"/a", "/b", "/c"},
                           {},
                           "Done resetting 3 files/folders" + closing,
                           ""},
                ReportCase{"OneFailed",
                           {"/a", "/gone"},
                           {{"/gone", {Status::Missing, {}, Cause::NotFound}}},
                           "Done resetting 1 files/folders\r\n\r\n1 file/folder could not be "
                           "reset:\r\n/gone (not found)\r\n"
                                   + closingAfterList,
                           "/gone (not found)\r\n"},
                ReportCase{"SomeFailed",
                           {"/a", "/gone", "/locked", "/fifo"},
                           {{"/gone", {Status::Missing, {}, Cause::NotFound}},
                            {"/locked", {Status::AccessDenied, {}, Cause::Locked}},
                            {"/fifo", {Status::NotFileOrFolder, {}, Cause::Fifo}}},
                           "Done resetting 1 files/folders\r\n\r\n3 files/folders could not be "
                           "reset:\r\n/gone (not found)\r\n/locked ("
                                   + locked
                                   + ")\r\n/fifo (a FIFO (named pipe), not a file or folder)\r\n"
                                   + closingAfterList,
                           "/gone (not found)\r\n/locked (" + locked
                                   + ")\r\n/fifo (a FIFO (named pipe), not a file or folder)\r\n"},
                ReportCase{"WhatTheBackendSaw",
                           {"/kept", "/odd"},
                           {{"/kept", {Status::NotSupported, "archive", Cause::FlagsKept}},
                            {"/odd",
                             {Status::Failed, "The device is not ready. (error 21)",
                              Cause::SystemError}}},
                           "Done resetting 0 files/folders\r\n\r\n2 files/folders could not be "
                           "reset:\r\n/kept (the disk kept these flags: archive)\r\n/odd (could "
                           "not be reset: The device is not ready. (error 21))\r\n"
                                   + closingAfterList,
                           "/kept (the disk kept these flags: archive)\r\n/odd (could not be "
                           "reset: The device is not ready. (error 21))\r\n"},
                ReportCase{"TenNamedTheRestInTheDetails", manyPaths(), manyMissing(),
                           "Done resetting 1 files/folders\r\n\r\n13 files/folders could not be "
                           "reset:\r\n"
                                   + manyLines(0, 10)
                                   + "and 3 more (all of them are in the details)\r\n"
                                   + closingAfterList,
                           manyLines(0, 13)}),
        tables::caseName);

// Every reason in plain words, with what to do where there is something to do: never the name
// of a kernel call, an error code or a capability.
TEST(ResetWords, EveryCauseIsSaidInPlainWords)
{
    for (int value = int(Cause::NotFound); value <= int(Cause::SystemError); ++value) {
        const auto cause = static_cast<Cause>(value);
        const std::string words = describeOutcome({Status::Failed, "x", cause});
        SCOPED_TRACE(words);
        EXPECT_GT(words.size(), 8u);
        for (const char* jargon : {"CAP_", "EPERM", "EACCES", "errno", "ioctl", "xattr", "statx",
                                   "O_PATH", "FS_IOC", "NotSupported", "AccessDenied"})
            EXPECT_EQ(words.find(jargon), std::string::npos) << jargon;
    }
}

TEST(ResetWords, FlagsAreNamedAsTheUserKnowsThem)
{
    EXPECT_EQ(flagNames(dos::readOnly | dos::hidden | dos::system | dos::archive),
              "read-only, hidden, system, archive");
    EXPECT_EQ(flagNames(0x2020), "archive, not-content-indexed");
    EXPECT_EQ(flagNames(0x10), "");
}

TEST(ResetRun, SecondClickReportsZeroAndLaunchesAgain)
{
    CoreFixture core;
    core.load();
    core.form.Image1_OLEDragDrop({Paths{"/a"}});
    core.form.imgStart_Click();
    core.form.imgStart_Click();

    EXPECT_EQ(core.reset.calls, Paths{"/a"});
    ASSERT_EQ(core.view.boxes.size(), 2u);
    EXPECT_EQ(core.view.boxes[1].text, "Done resetting 0 files/folders" + closing);
    ASSERT_EQ(core.launcher.launches.size(), 2u);
    EXPECT_EQ(core.launcher.launches[1].state, ShowState::MinimizedNoActivate);
}

TEST(ResetRun, FailedPageLaunchDoesNotStopTheRun)
{
    CoreFixture core;
    core.load();
    core.launcher.fails = true;
    core.form.Image1_OLEDragDrop({Paths{"/a", "/b"}});
    core.form.imgStart_Click();

    EXPECT_EQ(core.reset.calls, (Paths{"/a", "/b"}));
    ASSERT_EQ(core.view.boxes.size(), 1u);
    EXPECT_EQ(core.view.boxes[0].text, "Done resetting 2 files/folders" + closing);
}

TEST(ResetRun, HundredThousandPathsAreAllCounted)
{
    CoreFixture core;
    core.load();
    Paths many;
    for (int i = 0; i < 100000; ++i)
        many.emplace_back("/d/" + std::to_string(i));
    core.form.Image1_OLEDragDrop({many});
    core.form.imgStart_Click();

    EXPECT_EQ(core.reset.calls.size(), 100000u);
    EXPECT_EQ(core.view.boxes.at(0).text, "Done resetting 100000 files/folders" + closing);
}

// A run whose paths take 10 ms each on the fake clock.
struct TimedRun
{
    CoreFixture core;
    std::chrono::steady_clock::time_point now{};

    explicit TimedRun(std::size_t count)
    {
        core.form.setClock([this] { return now; });
        core.load();
        core.reset.onReset = [this](const std::filesystem::path&) {
            now += std::chrono::milliseconds(10);
        };
        Paths paths;
        for (std::size_t i = 0; i < count; ++i)
            paths.emplace_back("/d/" + std::to_string(i));
        core.form.Image1_OLEDragDrop({paths});
        core.log.clear();
        core.form.imgStart_Click();
    }

    std::ptrdiff_t indexOf(const std::string& entry) const
    {
        const auto found = std::find(core.log.begin(), core.log.end(), entry);
        return found == core.log.end() ? -1 : found - core.log.begin();
    }
};

TEST(ResetProgress, LongRunShowsProgressAndTakesItDownBeforeTheReport)
{
    const TimedRun run(200);  // two seconds
    const auto shown = run.indexOf("showProgress");
    const auto hidden = run.indexOf("hideProgress");
    ASSERT_GE(shown, 0);
    EXPECT_EQ(shown, run.indexOf("reset:/d/49") + 1);  // after half a second
    EXPECT_GT(hidden, run.indexOf("reset:/d/199"));
    EXPECT_EQ(hidden + 1, run.indexOf("box"));
    ASSERT_FALSE(run.core.view.progress.empty());
    EXPECT_EQ(run.core.view.progress.front(), "50/200 Resetting 51 of 200 files/folders | /d/50");
    EXPECT_EQ(run.core.view.progress.back(), "195/200 Resetting 196 of 200 files/folders | /d/195");
    EXPECT_FALSE(run.core.view.progressShown);
    EXPECT_EQ(run.core.view.boxes.at(0).text, "Done resetting 200 files/folders" + closing);
}

TEST(ResetProgress, ShortRunShowsNone)
{
    const TimedRun run(40);  // 0.4 seconds
    EXPECT_EQ(run.indexOf("showProgress"), -1);
    EXPECT_EQ(run.indexOf("hideProgress"), -1);
    EXPECT_TRUE(run.core.view.progress.empty());
}

TEST(DisplayPath, ShowsUtf8NamesAsTheyAre)
{
    const std::string name = "/caf\xC3\xA9/\xF0\x9F\x93\x81 \xE6\x96\x87";
    const std::u8string raw(name.begin(), name.end());
    EXPECT_EQ(displayPath(std::filesystem::path(raw)), name);
}

TEST(DisplayPath, ControlCharactersAreShownEscapedSoANameKeepsToItsLine)
{
    const struct
    {
        std::string raw;
        std::string shown;
    } cases[] = {
            {"/a\nDone resetting 99 files/folders", "/a\\nDone resetting 99 files/folders"},
            {"/cr\r\ttab", "/cr\\r\\ttab"},
            {"/esc\x1b[31m", "/esc\\x1B[31m"},
            {"/del\x7f", "/del\\x7F"},
            {"/next-line\xC2\x85", "/next-line\\x85"},
            {"/line-separator\xE2\x80\xA8", "/line-separator\\u2028"},
            {"/txt.exe\xE2\x80\xAE"
             "fdp.",
             "/txt.exe\\u202Efdp."},
            {"/isolate\xE2\x81\xA6x", "/isolate\\u2066x"},
            {"C:\\Users\\kept as is", "C:\\Users\\kept as is"},
    };
    for (const auto& c : cases) {
        const std::u8string raw(c.raw.begin(), c.raw.end());
        EXPECT_EQ(displayPath(std::filesystem::path(raw)), c.shown) << c.raw;
    }
}

TEST(ResetRun, ANameWithALineBreakIsOneLineOfTheReport)
{
    CoreFixture core;
    core.load();
    const std::string name = "/x\r\nDone resetting 1000 files/folders\r\n";
    core.reset.outcomes[name] = {Status::Missing, {}, Cause::NotFound};
    core.form.Image1_OLEDragDrop({Paths{name}});
    core.form.imgStart_Click();

    const std::string line = "/x\\r\\nDone resetting 1000 files/folders\\r\\n (not found)\r\n";
    EXPECT_EQ(core.view.boxes.at(0).text,
              "Done resetting 0 files/folders\r\n\r\n1 file/folder could not be reset:\r\n" + line
                      + closingAfterList);
    EXPECT_EQ(core.view.boxes.at(0).details, line);
}

TEST(DisplayPath, BytesThatAreNotUtf8BecomeReplacementCharacters)
{
    if constexpr (!std::is_same_v<std::filesystem::path::value_type, char>)
        GTEST_SKIP() << "paths are UTF-16 text here and cannot hold stray bytes";
    const struct
    {
        std::string raw;
        std::string shown;
    } cases[] = {
            {"/latin1-caf\xE9.txt", "/latin1-caf\xEF\xBF\xBD.txt"},
            {"/cut\xE2\x82", "/cut\xEF\xBF\xBD\xEF\xBF\xBD"},
            {"/overlong\xC0\xAF", "/overlong\xEF\xBF\xBD\xEF\xBF\xBD"},
            {"/surrogate\xED\xA0\x80", "/surrogate\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(displayPath(std::filesystem::path(c.raw)), c.shown) << c.raw;
}

}  // namespace
