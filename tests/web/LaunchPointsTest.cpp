#include "CoreFixture.h"
#include "web/WebHost.h"

#include <gtest/gtest.h>

namespace {

using Launch = RecordingLauncher::Launch;

TEST(LaunchPoints, DownloadPageMinimizedAtStartResetAndAbout)
{
    CoreFixture core;
    core.form.Form_Load();
    const std::string download = core.form.state().DownloadPageCmd;
    core.form.imgStart_Click();
    core.form.imgAbout_Click();

    ASSERT_EQ(core.launcher.launches.size(), 3u);
    for (const Launch& launch : core.launcher.launches) {
        EXPECT_EQ(launch.commandLine, download);
        EXPECT_EQ(launch.state, ShowState::MinimizedNoActivate);
    }
}

TEST(LaunchPoints, AboutLaunchesOnlyAfterTheBoxIsClosed)
{
    CoreFixture core;
    core.load();
    core.form.imgAbout_Click();
    EXPECT_EQ(core.log, (EventLog{"box", "launchMin:" + core.form.state().DownloadPageCmd}));
}

TEST(LaunchPoints, EveryAboutClickLaunchesAgain)
{
    CoreFixture core;
    core.load();
    for (int i = 0; i < 3; ++i)
        core.form.imgAbout_Click();
    EXPECT_EQ(core.launcher.launches.size(), 3u);
    EXPECT_EQ(core.view.boxes.size(), 3u);
}

TEST(LaunchPoints, DropZoneClickOpensTheHomePageMaximized)
{
    CoreFixture core;
    core.load();
    core.form.Form_OLEDragOver();
    core.form.Image1_Click();

    ASSERT_EQ(core.launcher.launches.size(), 1u);
    EXPECT_EQ(core.launcher.launches[0].commandLine, core.form.state().HomePageCmd);
    EXPECT_EQ(core.launcher.launches[0].state, ShowState::MaximizedActive);
    EXPECT_TRUE(core.view.boxes.empty());
}

TEST(LaunchPoints, HiddenDropZoneCannotBeClicked)
{
    CoreFixture core;
    core.load();
    core.form.Image1_Click();
    core.form.Form_OLEDragOver();
    core.form.Image1_OLEDragDrop({std::vector<std::filesystem::path>{"/a"}});
    core.form.Image1_Click();
    EXPECT_TRUE(core.launcher.launches.empty());
}

TEST(LaunchPoints, FailedHomePageLaunchIsReportedWithItsCommand)
{
    CoreFixture core;
    core.load();
    core.launcher.fails = true;
    core.form.Form_OLEDragOver();
    core.form.Image1_Click();

    ASSERT_EQ(core.view.boxes.size(), 1u);
    EXPECT_EQ(core.view.boxes[0].title, "");
    EXPECT_EQ(core.view.boxes[0].text,
              "The web page could not be opened with this command:\r\n"
                      + core.form.state().HomePageCmd + "\r\n\r\ncannot start");
}

TEST(LaunchPoints, FailedLaunchesElsewhereShowNothing)
{
    CoreFixture core;
    core.launcher.fails = true;
    core.form.Form_Load();
    core.form.imgStart_Click();
    core.form.imgAbout_Click();

    EXPECT_EQ(core.launcher.launches.size(), 3u);
    ASSERT_EQ(core.view.boxes.size(), 2u);  // the reset report and the About box, nothing more
    EXPECT_EQ(core.view.boxes[0].text.rfind("Done resetting 0", 0), 0u);
}

}  // namespace
