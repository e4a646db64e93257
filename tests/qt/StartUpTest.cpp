#include "StartUp.h"
#include "Fakes.h"
#include "FlagwashWindow.h"
#include "QtView.h"
#include "app/SystemDirectory.h"
#include "app/frmFlagwash.h"

#include <gtest/gtest.h>

namespace {

// Wired as main wires it: the page Form_Load opens waits until the window has been shown, is
// opened once then, and every launch after that starts at once.
TEST(StartUp, TheStartUpPageOpensOnceTheWindowIsShownAndLaterPagesAtOnce)
{
    EventLog log;
    const auto systemDirectory = makeSystemDirectory();
    FakeAttributeReset reset{log};
    FakeRegistry registry;
    RecordingLauncher launcher{log};
    LaunchAfterShow launches(launcher);
    FlagwashWindow window;
    QtView view(window, [] {});
    frmFlagwash form(view, *systemDirectory, reset, registry, launches);
    window.attach(form);

    showAtStart(window, form, {});
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(launcher.launches.empty());

    launches.release();
    launches.release();
    ASSERT_EQ(launcher.launches.size(), 1u);
    EXPECT_EQ(launcher.launches[0].commandLine, form.state().DownloadPageCmd);
    EXPECT_EQ(launcher.launches[0].state, ShowState::MinimizedNoActivate);

    form.Form_OLEDragOver();
    form.Image1_Click();
    ASSERT_EQ(launcher.launches.size(), 2u);
    EXPECT_EQ(launcher.launches[1].commandLine, form.state().HomePageCmd);
    EXPECT_EQ(launcher.launches[1].state, ShowState::MaximizedActive);
}

}  // namespace
