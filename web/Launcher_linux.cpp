#include "web/Launcher.h"

#include "web/BrowserCommand.h"

#include <QProcess>
#include <QString>
#include <QStringList>

namespace {

// Starts the command detached (no shell, no zombie: QProcess double-forks), so the browser
// outlives the tool. X11 has no portable way to ask a new program for a window state.
class DetachedLauncher final : public Launcher
{
public:
    LaunchResult launch(const std::string& commandLine, ShowState) override
    {
        QStringList arguments = QProcess::splitCommand(QString::fromUtf8(commandLine));
        if (arguments.isEmpty())
            return {false, "The command line is empty."};
        const QString program = arguments.takeFirst();
        QProcess process;
        process.setProgram(program);
        process.setArguments(arguments);
        process.setStandardInputFile(QProcess::nullDevice());
        // The browser outlives the tool: it must not keep the tool's folder (perhaps on the
        // stick being cleaned) busy.
        process.setWorkingDirectory(QStringLiteral("/"));
        if (!process.startDetached())
            return {false, process.errorString().toStdString()};
        return {true, {}};
    }

    std::string fallbackBrowser(const std::string&) const override
    {
        return std::string(xdgOpenCommand);
    }
};

} // namespace

std::unique_ptr<Launcher> makeLauncher()
{
    return std::make_unique<DetachedLauncher>();
}
