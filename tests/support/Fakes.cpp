#include "Fakes.h"

#include "web/BrowserCommand.h"

void FakeView::setCaption(const std::string& text)
{
    caption = text;
    log_.push_back("caption:" + text);
}

void FakeView::prepareDropZone()
{
    dropZonePrepared = true;
    log_.push_back("prepareDropZone");
}

void FakeView::setDropZoneVisible(bool visible)
{
    dropZoneVisible = visible;
    log_.push_back(visible ? "showImage1" : "hideImage1");
}

void FakeView::setOuterSizeTwips(int width, int height)
{
    log_.push_back("size:" + std::to_string(width) + "x" + std::to_string(height));
    const bool changed = width != outerWidth || height != outerHeight;
    outerWidth = width;
    outerHeight = height;
    if (changed && onSizeChanged)
        onSizeChanged();
}

void FakeView::showInformation(const std::string& title, const std::string& text)
{
    boxes.push_back({title, text, {}, false});
    log_.push_back("box");
    if (whileBoxIsUp)
        whileBoxIsUp();
}

void FakeView::showReport(const std::string& title, const std::string& text,
                          const std::string& details, bool warning)
{
    boxes.push_back({title, text, details, warning});
    log_.push_back("box");
    if (whileBoxIsUp)
        whileBoxIsUp();
}

void FakeView::showProgress(std::size_t done, std::size_t total, const std::string& heading,
                            const std::string& currentPath)
{
    if (!progressShown)
        log_.push_back("showProgress");
    progressShown = true;
    progress.push_back(std::to_string(done) + "/" + std::to_string(total) + " " + heading + " | "
                       + currentPath);
}

void FakeView::hideProgress()
{
    progressShown = false;
    log_.push_back("hideProgress");
}

void FakeView::quit()
{
    ++quits;
    log_.push_back("quit");
}

ResetOutcome FakeAttributeReset::resetToNormal(const std::filesystem::path& path)
{
    calls.push_back(path);
    log_.push_back("reset:" + path.string());
    if (onReset)
        onReset(path);
    const auto found = outcomes.find(path);
    return found == outcomes.end() ? ResetOutcome{} : found->second;
}

RegistryValue FakeRegistry::read(const std::string& fullPath)
{
    reads.push_back(fullPath);
    const auto found = values.find(fullPath);
    return found == values.end() ? RegistryValue{RegistryValue::Kind::Failure, {}} : found->second;
}

LaunchResult RecordingLauncher::launch(const std::string& commandLine, ShowState state)
{
    launches.push_back({commandLine, state});
    log_.push_back(std::string(state == ShowState::MaximizedActive ? "launchMax:" : "launchMin:")
                   + commandLine);
    if (fails || commandLine.empty())
        return {false, "cannot start"};
    return {true, {}};
}

std::string RecordingLauncher::fallbackBrowser(const std::string& sysDrive) const
{
    return internetExplorerCommand(sysDrive);
}
