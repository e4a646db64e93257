#include "web/Launcher.h"

#include "web/BrowserCommand.h"
#include "web/CommandLine.h"
#include "web/StartupNotification_linux.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <spawn.h>
#include <string>
#include <string_view>
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

// What the started program is given of the tool's environment: all of it but the tool's own
// launch token, which is spent, and with a startup ID of its own on X11. On Wayland it gets
// no activation token, so the compositor gives it no say over the focus.
std::vector<std::string> childEnvironment(const std::optional<std::string>& startupId)
{
    std::vector<std::string> variables;
    for (char** entry = environ; *entry; ++entry) {
        const std::string_view variable(*entry);
        if (variable.starts_with("DESKTOP_STARTUP_ID=")
            || variable.starts_with("XDG_ACTIVATION_TOKEN="))
            continue;
        variables.emplace_back(variable);
    }
    if (startupId)
        variables.push_back("DESKTOP_STARTUP_ID=" + *startupId);
    return variables;
}

// Starts the command without a shell, in a session of its own, so the browser outlives the
// tool. X11 has no way to ask a new program for a window state; what it has is the startup
// notification, through which a window manager that prevents focus stealing is told whether
// the new window may take the focus.
class SpawnLauncher final : public Launcher
{
public:
    explicit SpawnLauncher(std::filesystem::path startFolder)
        : startFolder_(startFolder.empty() ? "/" : std::move(startFolder))
    {
        reapChildrenAutomatically();
    }

    LaunchResult launch(const std::string& commandLine, ShowState state) override
    {
        if (const std::optional<std::string> problem = commandLineProblem(commandLine))
            return {false, *problem};
        std::vector<std::string> arguments = splitCommandLine(commandLine);
        std::vector<char*> argv;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addchdir_np(&actions, startFolder_.c_str());

        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t none, all;
        sigemptyset(&none);
        sigfillset(&all);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setsigdefault(&attributes, &all);
        posix_spawnattr_setflags(
                &attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);

        StartupNotification notification;
        const std::optional<std::string> startupId
                = notification.announce(arguments.front(), state == ShowState::MaximizedActive);
        std::vector<std::string> variables = childEnvironment(startupId);
        std::vector<char*> envp;
        for (std::string& variable : variables)
            envp.push_back(variable.data());
        envp.push_back(nullptr);

        pid_t child = 0;
        const int error = posix_spawnp(&child, argv.front(), &actions, &attributes, argv.data(),
                                       envp.data());
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
        if (error != 0 && startupId)
            notification.cancel(*startupId);
        if (error != 0)
            return {false, "Cannot start " + arguments.front() + ": " + std::strerror(error) + "."};
        return {true, {}};
    }

    std::string fallbackBrowser(const std::string&) const override
    {
        return std::string(xdgOpenCommand);
    }

private:
    std::filesystem::path startFolder_;
};

}  // namespace

std::unique_ptr<Launcher> makeLauncher(std::filesystem::path startFolder)
{
    return std::make_unique<SpawnLauncher>(std::move(startFolder));
}
