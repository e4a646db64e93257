#pragma once
#include "app/Layout.h"
#include "app/MainWindowState.h"
#include "reset/ProgressPacer.h"
#include "selection/DropPayload.h"
#include "selection/Selection.h"

class View;
class SystemDirectory;
class AttributeReset;
class RegistryReader;
class Launcher;

// The main window's behaviour: its state and every event handler. Front ends forward each
// event to the handler of the same name and render what it asks of the View.
class frmFlagwash
{
public:
    frmFlagwash(View& view, SystemDirectory& systemDirectory, AttributeReset& attributeReset,
                RegistryReader& registry, Launcher& launcher);

    void Form_Load();
    void Form_Resize();
    void Form_OLEDragOver();
    void Image1_OLEDragDrop(DropPayload data);
    void Image1_Click();
    void imgStart_Click();
    void imgAbout_Click();
    void imgExit_Click();
    void Form_Unload();

    // Files handed over on the command line (a file manager's Open With, Windows' Send To,
    // files dropped on the program's icon), taken as one drop on Image1 right after start-up:
    // the caption shows their count and nothing is reset before RESET. Without any, nothing
    // changes.
    void takeCommandLineFiles(std::vector<std::filesystem::path> files);

    // A click on the control `id`, as the front ends forward every click: the control's own
    // handler, or nothing for a control that takes no clicks.
    void click(Layout::ControlId id);

    // The clock that paces the progress display of a long run; tests bring their own.
    void setClock(ProgressPacer::Clock clock) { clock_ = std::move(clock); }

    // Whether a drag or a drop may reach the selection now. Not during a reset run and not while
    // one of the tool's boxes is up: the list the user was shown must stay the list that is
    // reset. Front ends refuse the drag to the source while this is false.
    bool takesDrops() const { return !busy_; }

    const MainWindowState& state() const { return state_; }
    const Selection& List1() const { return list1_; }
    bool isImage1Visible() const { return image1Visible_; }

private:
    void setImage1Visible(bool visible);
    void launchDownloadPage();

    View& view_;
    SystemDirectory& systemDirectory_;
    AttributeReset& attributeReset_;
    RegistryReader& registry_;
    Launcher& launcher_;

    MainWindowState state_;
    Selection list1_;
    bool image1Visible_ = false;
    bool resizing_ = false;
    bool busy_ = false;  // a reset run or one of the tool's modal boxes is under way
    ProgressPacer::Clock clock_ = [] {
        return std::chrono::steady_clock::now();
    };
};
