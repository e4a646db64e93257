// Events that arrive while a reset run or one of the tool's boxes is up: a toolkit may let a drop
// through a modal window, a queued click may come late. None of them may change what the run
// walks, what the user was shown, or start another handler inside the first.
#include "CoreFixture.h"

#include <gtest/gtest.h>

namespace {

using Paths = std::vector<std::filesystem::path>;

enum class When { DuringTheRun, WhileTheReportIsUp, WhileAboutIsUp };
enum class Event { DropOfFiles, DropWithoutFiles, DragOver, ResetClick, AboutClick, Image1Click };

struct LateEvent
{
    When when;
    Event event;
};

std::string name(const LateEvent& c)
{
    static const char* const whens[] = {"DuringTheRun", "WhileTheReportIsUp", "WhileAboutIsUp"};
    static const char* const events[] = {"DropOfFiles", "DropWithoutFiles", "DragOver",
                                         "ResetClick",  "AboutClick",       "Image1Click"};
    return std::string(events[int(c.event)]) + whens[int(c.when)];
}

void PrintTo(const LateEvent& c, std::ostream* os)
{
    *os << name(c);
}

class LateEventDuringAHandler : public testing::TestWithParam<LateEvent>
{
protected:
    void SetUp() override
    {
        core.load();
        // Image1 is shown, so a click on it would open the home page if it were taken.
        core.form.Form_OLEDragOver();
        core.form.Image1_OLEDragDrop({Paths{"/dropped/a", "/dropped/b", "/dropped/c"}});
        core.form.Form_OLEDragOver();
        core.log.clear();
        core.launcher.launches.clear();
    }

    void deliver(Event event)
    {
        takenDuring = core.form.takesDrops();
        switch (event) {
        case Event::DropOfFiles:
            core.form.Image1_OLEDragDrop({Paths{"/late/x", "/late/y"}});
            break;
        case Event::DropWithoutFiles:
            core.form.Image1_OLEDragDrop({});
            break;
        case Event::DragOver:
            core.form.Form_OLEDragOver();
            break;
        case Event::ResetClick:
            core.form.imgStart_Click();
            break;
        case Event::AboutClick:
            core.form.imgAbout_Click();
            break;
        case Event::Image1Click:
            core.form.Image1_Click();
            break;
        }
    }

    CoreFixture core;
    bool takenDuring = true;
};

TEST_P(LateEventDuringAHandler, ChangesNothingTheUserWasShown)
{
    const LateEvent c = GetParam();
    bool delivered = false;
    const auto once = [&] {
        if (!delivered) {
            delivered = true;
            deliver(c.event);
        }
    };
    if (c.when == When::DuringTheRun)
        core.reset.onReset = [&](const std::filesystem::path& path) {
            if (path == "/dropped/b")
                once();
        };
    else
        core.view.whileBoxIsUp = once;

    if (c.when == When::WhileAboutIsUp)
        core.form.imgAbout_Click();
    else
        core.form.imgStart_Click();

    ASSERT_TRUE(delivered);
    EXPECT_FALSE(takenDuring);
    EXPECT_TRUE(true);
    // One box and one page, of the handler that was running.
    ASSERT_EQ(core.view.boxes.size(), 1u);
    EXPECT_EQ(core.launcher.launches.size(), 1u);
    EXPECT_TRUE(core.form.isImage1Visible());
    for (const std::string& entry : core.log)
        EXPECT_TRUE(entry != "showImage1" && entry != "hideImage1") << entry;
    if (c.when == When::WhileAboutIsUp) {
        EXPECT_TRUE(core.reset.calls.empty());
        EXPECT_EQ(core.form.List1().paths(), (Paths{"/dropped/a", "/dropped/b", "/dropped/c"}));
        EXPECT_EQ(core.view.caption, "3 File(s)/Folder(s) selected. Click RESET");
        return;
    }
    // The run walked exactly what was dropped and shown, and left nothing behind for the next.
    EXPECT_EQ(core.reset.calls, (Paths{"/dropped/a", "/dropped/b", "/dropped/c"}));
    EXPECT_EQ(core.view.boxes[0].text,
              "Done resetting 3 files/folders\r\n\r\nClick OK to reset more files/folders");
    EXPECT_TRUE(core.form.List1().paths().empty());
    EXPECT_EQ(core.view.caption, "");

    core.reset.calls.clear();
    core.form.imgStart_Click();
    EXPECT_TRUE(core.reset.calls.empty());
    EXPECT_EQ(core.view.boxes.back().text,
              "Done resetting 0 files/folders\r\n\r\nClick OK to reset more files/folders");
}

std::vector<LateEvent> everyLateEvent()
{
    std::vector<LateEvent> cases;
    for (When when : {When::DuringTheRun, When::WhileTheReportIsUp, When::WhileAboutIsUp})
        for (Event event : {Event::DropOfFiles, Event::DropWithoutFiles, Event::DragOver,
                            Event::ResetClick, Event::AboutClick, Event::Image1Click})
            cases.push_back({when, event});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Cases, LateEventDuringAHandler, testing::ValuesIn(everyLateEvent()),
                         [](const auto& test) { return name(test.param); });

TEST(LateEvents, DropsAreTakenAgainOnceTheHandlerHasEnded)
{
    CoreFixture core;
    core.load();
    core.form.imgStart_Click();
    core.form.Image1_OLEDragDrop({Paths{"/after"}});
    EXPECT_EQ(core.form.List1().paths(), Paths{"/after"});
    EXPECT_EQ(core.view.caption, "1 File(s)/Folder(s) selected. Click RESET");
}

}  // namespace
