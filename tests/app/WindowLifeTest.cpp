#include "CoreFixture.h"
#include "app/Layout.h"

#include <gtest/gtest.h>

namespace {

// Makes every size change the view reports call Form_Resize again, as toolkits do from inside
// their size-change handling; counts the calls in raised, and fails once they do not stop.
void raiseResizeFromResize(CoreFixture& core, int& raised)
{
    core.view.onSizeChanged = [&core, &raised] {
        ASSERT_LT(++raised, 100) << "resize never stops";
        core.form.Form_Resize();
    };
}

TEST(FormResize, RestoresTheEnforcedOuterSize)
{
    CoreFixture core;
    core.load();
    core.view.outerWidth = 7000;
    core.view.outerHeight = 3000;

    core.form.Form_Resize();

    EXPECT_EQ(core.view.outerWidth, 6000);
    EXPECT_EQ(core.view.outerHeight, 5565);
}

TEST(FormResize, NestedResizeStops)
{
    CoreFixture core;
    core.load();
    // The platform raises the size-changed event again from inside the size change.
    int raised = 0;
    raiseResizeFromResize(core, raised);
    core.view.outerWidth = 1;

    core.form.Form_Resize();

    EXPECT_EQ(raised, 1);
    EXPECT_EQ(core.log, (EventLog{"size:6000x5565"}));
}

TEST(FormResize, ResizeRaisedForAnUnchangedSizeAlsoStops)
{
    CoreFixture core;
    core.load();
    // A toolkit that reports every request, changed or not.
    int raised = 0;
    raiseResizeFromResize(core, raised);
    core.form.Form_Resize();
    core.form.Form_Resize();

    EXPECT_EQ(core.view.outerWidth, Layout::enforcedOuterSize.width);
    EXPECT_EQ(core.view.outerHeight, Layout::enforcedOuterSize.height);
}

TEST(Ending, ExitAndCloseEndTheProgramWithoutResetting)
{
    for (const bool viaExit : {true, false}) {
        CoreFixture core;
        core.load();
        core.form.Form_OLEDragOver();
        core.form.Image1_OLEDragDrop({std::vector<std::filesystem::path>{"C:\\a.txt"}});

        if (viaExit)
            core.form.imgExit_Click();
        else
            core.form.Form_Unload();

        EXPECT_EQ(core.view.quits, 1);
        EXPECT_TRUE(core.reset.calls.empty());
        EXPECT_TRUE(core.launcher.launches.empty());
        EXPECT_TRUE(core.view.boxes.empty());
    }
}

}  // namespace
