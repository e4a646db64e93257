#include "web/Launcher.h"

#include "web/BrowserCommand.h"

#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <vector>

extern char** environ;

namespace {

// The tool never waits for what it starts, so the kernel reaps those programs when they
// end: no zombie, without a second fork of the whole process at every launch.
void reapChildrenAutomatically()
{
    static const bool done = [] {
        struct sigaction action
        {
        };
        action.sa_handler = SIG_DFL;
        action.sa_flags = SA_NOCLDWAIT;
        sigemptyset(&action.sa_mask);
        return sigaction(SIGCHLD, &action, nullptr) == 0;
    }();
    (void)done;
}

// Starts the command without a shell, in a session of its own, so the browser outlives the
// tool. X11 has no portable way to ask a new program for a window state.
class SpawnLauncher final : public Launcher
{
public:
    SpawnLauncher() { reapChildrenAutomatically(); }

    LaunchResult launch(const std::string& commandLine, ShowState) override
    {
        const QStringList arguments = QProcess::splitCommand(QString::fromUtf8(commandLine));
        if (arguments.isEmpty())
            return {false, "The command line is empty."};
        std::vector<QByteArray> encoded;
        encoded.reserve(static_cast<std::size_t>(arguments.size()));
        for (const QString& argument : arguments)
            encoded.push_back(QFile::encodeName(argument));
        std::vector<char*> argv;
        for (QByteArray& argument : encoded)
            argv.push_back(argument.data());
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        // Not the tool's folder, which may be on the stick being cleaned: the browser would
        // keep it busy.
        posix_spawn_file_actions_addchdir_np(&actions, "/");

        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t none, all;
        sigemptyset(&none);
        sigfillset(&all);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setsigdefault(&attributes, &all);
        posix_spawnattr_setflags(
                &attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);

        pid_t child = 0;
        const int error
                = posix_spawnp(&child, argv.front(), &actions, &attributes, argv.data(), environ);
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
        if (error != 0)
            return {false,
                    "Cannot start " + encoded.front().toStdString() + ": " + std::strerror(error)
                            + "."};
        return {true, {}};
    }

    std::string fallbackBrowser(const std::string&) const override
    {
        return std::string(xdgOpenCommand);
    }
};

}  // namespace

std::unique_ptr<Launcher> makeLauncher()
{
    return std::make_unique<SpawnLauncher>();
}
