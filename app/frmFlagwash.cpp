#include "app/frmFlagwash.h"

#include "about/AboutText.h"
#include "app/Layout.h"
#include "app/SystemDirectory.h"
#include "app/View.h"
#include "reset/DisplayText.h"
#include "reset/ResetRun.h"
#include "reset/ResetWords.h"
#include "web/BrowserCommand.h"
#include "web/Launcher.h"
#include "web/WebHost.h"

#include <algorithm>

namespace {

// Marks a handler as under way for as long as it runs, a modal box of its own included.
class BusyScope
{
public:
    explicit BusyScope(bool& busy)
        : busy_(busy)
    {
        busy_ = true;
    }
    ~BusyScope() { busy_ = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    bool& busy_;
};

}  // namespace

frmFlagwash::frmFlagwash(View& view, SystemDirectory& systemDirectory,
                         AttributeReset& attributeReset, RegistryReader& registry,
                         Launcher& launcher)
    : view_(view)
    , systemDirectory_(systemDirectory)
    , attributeReset_(attributeReset)
    , registry_(registry)
    , launcher_(launcher)
{ }

void frmFlagwash::Form_Load()
{
    const SystemDirectoryReport report = systemDirectory_.query();
    state_.SysDirLen = report.length;
    const auto kept = static_cast<std::size_t>(std::max(report.length, 0));
    state_.SysDir = report.text.substr(0, std::min(kept, report.text.size()));
    state_.SysDir += systemDirectory_.separator();
    state_.SysDrive = state_.SysDir.substr(
            0, static_cast<std::size_t>(std::max(systemDirectory_.driveRootLength(), 0)));

    const PageCommands pages
            = GetActiveBrowser(registry_, launcher_.fallbackBrowser(state_.SysDrive), WebHost);
    state_.HomePageCmd = pages.HomePageCmd;
    state_.DownloadPageCmd = pages.DownloadPageCmd;

    // Image1 takes drops from now on, and its picture can be dragged out.
    view_.prepareDropZone();

    state_.AppTitle = "";
    view_.setCaption(state_.AppTitle);

    state_.LineBreak = "\r\n";

    launchDownloadPage();
}

void frmFlagwash::Form_Resize()
{
    // Setting the size raises the size-changed event again; that nested run has nothing to undo.
    if (resizing_)
        return;
    resizing_ = true;
    view_.setOuterSizeTwips(Layout::enforcedOuterSize.width, Layout::enforcedOuterSize.height);
    resizing_ = false;
}

void frmFlagwash::Form_OLEDragOver()
{
    // Nothing can be dropped now; the drop zone must not invite it.
    if (busy_)
        return;
    setImage1Visible(true);
}

void frmFlagwash::Image1_OLEDragDrop(DropPayload data)
{
    // A toolkit that delivers a drop behind a modal window: the selection stays the one shown.
    if (busy_)
        return;
    list1_.clear();
    if (!data.files) {
        // The list is empty now, so the caption must not promise a selection any more.
        view_.setCaption(state_.AppTitle);
        return;
    }
    view_.setCaption(selectionCaption(data.files->size()));
    setImage1Visible(false);
    list1_.replace(std::move(*data.files));
}

void frmFlagwash::Image1_Click()
{
    if (!image1Visible_ || busy_)
        return;
    const BusyScope busy(busy_);
    const LaunchResult result = launcher_.launch(state_.HomePageCmd, ShowState::MaximizedActive);
    if (!result.started) {
        std::string text = "The web page could not be opened with this command:";
        text += state_.LineBreak + state_.HomePageCmd + state_.LineBreak;
        if (!result.error.empty())
            text += state_.LineBreak + result.error;
        view_.showInformation(state_.AppTitle, text);
    }
}

void frmFlagwash::imgStart_Click()
{
    if (busy_)
        return;
    const BusyScope busy(busy_);
    launchDownloadPage();
    // The run walks a list of its own, emptied from List1 at once: nothing that arrives while it
    // goes on can change or free what it walks.
    const std::vector<std::filesystem::path> paths = list1_.take();
    const std::size_t total = paths.size();
    ProgressPacer progress(
            clock_,
            [this](std::size_t done, std::size_t all, const std::filesystem::path& current) {
                view_.showProgress(done, all, progressHeading(done, all), displayPath(current));
            },
            [this] { view_.hideProgress(); });
    const ResetSummary summary = runReset(
            paths, attributeReset_, [&](std::size_t index, const std::filesystem::path& path) {
                progress.update(index, total, path);
            });
    progress.finish();
    const ResetReportText report = resetReport(summary, state_.LineBreak);
    view_.showReport(state_.AppTitle, report.text, report.details, !report.allDone);
    view_.setCaption(state_.AppTitle);
}

void frmFlagwash::imgAbout_Click()
{
    if (busy_)
        return;
    {
        const BusyScope busy(busy_);
        view_.showInformation(state_.AppTitle, AboutText(WebHost, state_.LineBreak));
    }
    launchDownloadPage();
}

void frmFlagwash::imgExit_Click()
{
    view_.quit();
}

void frmFlagwash::Form_Unload()
{
    view_.quit();
}

void frmFlagwash::takeCommandLineFiles(std::vector<std::filesystem::path> files)
{
    if (files.empty())
        return;
    Image1_OLEDragDrop({std::move(files)});
}

void frmFlagwash::click(Layout::ControlId id)
{
    // No default: a control added to the layout is a compile error here until it is decided
    // what its click does.
    using Id = Layout::ControlId;
    switch (id) {
    case Id::Image1:
        Image1_Click();
        return;
    case Id::imgStart:
        imgStart_Click();
        return;
    case Id::imgAbout:
        imgAbout_Click();
        return;
    case Id::imgExit:
        imgExit_Click();
        return;
    case Id::List1:
    case Id::Image2:
    case Id::Label1:
    case Id::Label2:
    case Id::Label3:
    case Id::Label4:
        return;
    }
}

void frmFlagwash::setImage1Visible(bool visible)
{
    image1Visible_ = visible;
    view_.setDropZoneVisible(visible);
}

void frmFlagwash::launchDownloadPage()
{
    // A page that cannot be opened here is no reason to bother the user.
    launcher_.launch(state_.DownloadPageCmd, ShowState::MinimizedNoActivate);
}
