// Every control of the layout, clicked through the one entry the front ends forward clicks to:
// each button runs its own handler, every other control does nothing.
#include "CoreFixture.h"

#include "app/Layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace {

using Id = Layout::ControlId;

// What the log holds after a click, each entry cut at its first ':' (a launch's command line,
// a caption's text and a reset's path are other tests' business).
EventLog kindsOf(const EventLog& log)
{
    EventLog kinds;
    std::transform(log.begin(), log.end(), std::back_inserter(kinds),
                   [](const std::string& entry) { return entry.substr(0, entry.find(':')); });
    return kinds;
}

TEST(Click, EveryControlOfTheLayoutDoesWhatItsHandlerDoes)
{
    const std::map<Id, EventLog> expected{
            {Id::Image1, {"launchMax"}},
            {Id::imgStart, {"launchMin", "reset", "box", "caption"}},
            {Id::imgAbout, {"box", "launchMin"}},
            {Id::imgExit, {"quit"}},
    };
    for (const Layout::Control& control : Layout::controls) {
        SCOPED_TRACE(std::string(control.name));
        CoreFixture core;
        core.load();
        // Image1 takes clicks only once a drag has shown it; one file waits for RESET.
        core.form.Form_OLEDragOver();
        core.form.Image1_OLEDragDrop({std::vector<std::filesystem::path>{"C:\\a.txt"}});
        core.form.Form_OLEDragOver();
        core.log.clear();

        core.form.click(control.id);

        const auto found = expected.find(control.id);
        EXPECT_EQ(kindsOf(core.log), found == expected.end() ? EventLog{} : found->second);
    }
}

}  // namespace
