#include "CoreFixture.h"
#include "NamedCase.h"
#include "web/WebHost.h"

#include <gtest/gtest.h>

namespace {

struct SystemDirectoryCase : tables::NamedCase
{
    SystemDirectoryReport report;
    const char* sysDir;
    const char* sysDrive;
};

class FormLoadSystemDirectory : public ::testing::TestWithParam<SystemDirectoryCase>
{
};

TEST_P(FormLoadSystemDirectory, DerivesSysDirAndSysDrive)
{
    const SystemDirectoryCase& c = GetParam();
    CoreFixture core(c.report);
    core.form.Form_Load();

    EXPECT_EQ(core.form.state().SysDir, c.sysDir);
    EXPECT_EQ(core.form.state().SysDrive, c.sysDrive);
    EXPECT_EQ(core.form.state().SysDirLen, c.report.length);
}

INSTANTIATE_TEST_SUITE_P(
        Cases, FormLoadSystemDirectory,
        ::testing::Values(
                SystemDirectoryCase{"WindowsSystem32",
                                    {"C:\\WINDOWS\\system32", 19},
                                    "C:\\WINDOWS\\system32\\",
                                    "C:\\"},
                // A caller's buffer holds more than the call wrote: only the written part counts.
                SystemDirectoryCase{"BufferLongerThanWritten",
                                    {"D:\\Win\\System32" + std::string(240, ' '), 15},
                                    "D:\\Win\\System32\\",
                                    "D:\\"},
                SystemDirectoryCase{"LengthBeyondText", {"C:\\W", 200}, "C:\\W\\", "C:\\"},
                SystemDirectoryCase{"CallFailed", {std::string(255, ' '), 0}, "\\", "\\"},
                SystemDirectoryCase{"ShorterThanDriveRoot", {"C:", 2}, "C:\\", "C:\\"},
                SystemDirectoryCase{"NegativeLength", {"C:\\x", -1}, "\\", "\\"}),
        tables::caseName);

TEST(FormLoad, RunsTheStartUpSequenceInOrder)
{
    CoreFixture core;
    core.form.Form_Load();

    const MainWindowState& state = core.form.state();
    EXPECT_EQ(state.AppTitle, "");
    EXPECT_EQ(state.LineBreak, "\r\n");
    EXPECT_EQ(core.view.caption, "");
    EXPECT_TRUE(core.view.dropZonePrepared);
    EXPECT_FALSE(core.form.isImage1Visible());
    EXPECT_TRUE(core.form.List1().paths().empty());

    // No browser registered: the fallback on the system drive, then the start-up launch.
    const std::string home = "\"C:\\Program Files\\Internet Explorer\\iexplore.exe\" http://"
            + std::string(WebHost) + "/";
    EXPECT_EQ(state.HomePageCmd, home);
    EXPECT_EQ(state.DownloadPageCmd, home + "en/modules/mydownloads/singlefile.php?cid=2&lid=6");
    EXPECT_EQ(core.log,
              (EventLog{"prepareDropZone", "caption:", "launchMin:" + state.DownloadPageCmd}));
}

TEST(FormLoad, FailedStartUpLaunchIsSkippedSilently)
{
    CoreFixture core;
    core.launcher.fails = true;
    core.form.Form_Load();

    EXPECT_EQ(core.launcher.launches.size(), 1u);
    EXPECT_TRUE(core.view.boxes.empty());
    EXPECT_EQ(core.view.caption, "");
}

}  // namespace
