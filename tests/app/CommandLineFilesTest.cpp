#include "CoreFixture.h"

#include <gtest/gtest.h>

namespace {

using Paths = std::vector<std::filesystem::path>;

TEST(CommandLineFiles, AreOneDropThatWaitsForReset)
{
    CoreFixture core;
    core.load();
    // Missing paths are kept like any other: the run reports them.
    const Paths files{"/media/stick/report.doc", "/media/stick/no such file", "/media/stick"};
    core.form.takeCommandLineFiles(files);

    EXPECT_EQ(core.form.List1().paths(), files);
    EXPECT_EQ(core.view.caption, "3 File(s)/Folder(s) selected. Click RESET");
    EXPECT_FALSE(core.form.isImage1Visible());
    EXPECT_TRUE(core.reset.calls.empty());
    EXPECT_TRUE(core.launcher.launches.empty());

    core.form.imgStart_Click();
    EXPECT_EQ(core.reset.calls, files);
}

TEST(CommandLineFiles, NoneLeaveTheWindowAsStartUpLeftIt)
{
    CoreFixture core;
    core.load();
    core.form.takeCommandLineFiles({});

    EXPECT_TRUE(core.log.empty());
    EXPECT_EQ(core.view.caption, "");
    EXPECT_EQ(core.form.List1().count(), 0u);
}

}  // namespace
