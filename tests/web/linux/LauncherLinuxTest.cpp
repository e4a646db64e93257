#include "web/BrowserCommand.h"
#include "web/Launcher.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <thread>

namespace fs = std::filesystem;

namespace {

// A probe program that writes its arguments, one per line, to a file next to it.
class LauncherProbe : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("flagwash-launch-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "with space");
        writeProbe(dir / "xdg-open");
        writeProbe(dir / "with space" / "browser");
        oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
        ::setenv("PATH", (dir.string() + ":" + oldPath).c_str(), 1);
    }

    void TearDown() override
    {
        ::setenv("PATH", oldPath.c_str(), 1);
        fs::remove_all(dir);
    }

    void writeProbe(const fs::path& file)
    {
        std::ofstream(file) << "#!/bin/sh\n"
                               "pwd > \"$0.folder\"\n"
                               "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$0.tmp\"\n"
                               "mv \"$0.tmp\" \"$0.args\"\n";
        fs::permissions(file, fs::perms::owner_all);
    }

    // The probe runs on its own; give it time to write before reading.
    std::string argumentsOf(const fs::path& probe)
    {
        const fs::path args = probe.string() + ".args";
        for (int i = 0; i < 500 && !fs::exists(args); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::ifstream in(args);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    fs::path dir;
    std::string oldPath;
};

TEST_F(LauncherProbe, StartsTheFallbackBrowserWithTheUrl)
{
    auto launcher = makeLauncher("/");
    EXPECT_EQ(launcher->fallbackBrowser("/"), xdgOpenCommand);

    const LaunchResult result = launcher->launch(
            "xdg-open "
            "http://www.quorvane.example/en/modules/mydownloads/singlefile.php?cid=2&lid=6",
            ShowState::MinimizedNoActivate);

    ASSERT_TRUE(result.started) << result.error;
    EXPECT_EQ(argumentsOf(dir / "xdg-open"),
              "http://www.quorvane.example/en/modules/mydownloads/singlefile.php?cid=2&lid=6\n");
    // Not the tool's own folder, which may be on a USB stick the user wants to remove.
    std::ifstream folder(dir / "xdg-open.folder");
    std::string line;
    std::getline(folder, line);
    EXPECT_EQ(line, "/");
}

TEST_F(LauncherProbe, QuotedProgramPathWithSpaces)
{
    const std::string command
            = "\"" + (dir / "with space" / "browser").string() + "\" --new \"a b\"";
    ASSERT_TRUE(makeLauncher("/")->launch(command, ShowState::MaximizedActive).started);
    EXPECT_EQ(argumentsOf(dir / "with space" / "browser"), "--new\na b\n");
}

// Nothing of a shell: metacharacters are plain argument text.
TEST_F(LauncherProbe, NoShellInterpretsTheCommand)
{
    ASSERT_TRUE(makeLauncher("/")
                        ->launch("xdg-open http://h/?a=1&b=2;touch${IFS}x|y",
                                 ShowState::MaximizedActive)
                        .started);
    EXPECT_EQ(argumentsOf(dir / "xdg-open"), "http://h/?a=1&b=2;touch${IFS}x|y\n");
}

// Started programs are never waited for, and none is left behind as a zombie once it ends.
TEST_F(LauncherProbe, LeavesNoChildToWaitFor)
{
    ASSERT_TRUE(makeLauncher("/")
                        ->launch("xdg-open http://h/", ShowState::MinimizedNoActivate)
                        .started);
    argumentsOf(dir / "xdg-open");
    int result = 0;
    for (int i = 0; i < 500 && (result = ::waitpid(-1, nullptr, WNOHANG)) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(result, -1);
    EXPECT_EQ(errno, ECHILD);
}

// The browser gets a session of its own and the signal defaults, whatever the tool changed.
TEST_F(LauncherProbe, RunsInASessionOfItsOwn)
{
    std::ofstream(dir / "xdg-open") << "#!/bin/sh\n"
                                       "ps -o sid= -p $$ | tr -d ' ' > \"$0.tmp\"\n"
                                       "mv \"$0.tmp\" \"$0.args\"\n";
    ASSERT_TRUE(makeLauncher("/")
                        ->launch("xdg-open http://h/", ShowState::MinimizedNoActivate)
                        .started);
    const std::string session = argumentsOf(dir / "xdg-open");
    EXPECT_NE(session, std::to_string(::getsid(0)) + "\n");
    EXPECT_FALSE(session.empty());
}

// The tool's own launch token is spent: the browser never gets it. Without an X display there
// is no startup notification, and on Wayland no activation token either.
TEST_F(LauncherProbe, PassesOnNoLaunchTokenOfTheTools)
{
    std::ofstream(dir / "xdg-open")
            << "#!/bin/sh\n"
               "echo \"${DESKTOP_STARTUP_ID-none} ${XDG_ACTIVATION_TOKEN-none} "
               "${FLAGWASH_KEPT-none}\" > \"$0.tmp\"\n"
               "mv \"$0.tmp\" \"$0.args\"\n";
    const char* display = std::getenv("DISPLAY");
    const std::string oldDisplay = display ? display : "";
    ::unsetenv("DISPLAY");
    ::setenv("DESKTOP_STARTUP_ID", "the-tools-own_TIME1234", 1);
    ::setenv("XDG_ACTIVATION_TOKEN", "the-tools-own-token", 1);
    ::setenv("FLAGWASH_KEPT", "kept", 1);
    const bool started
            = makeLauncher("/")->launch("xdg-open http://h/", ShowState::MaximizedActive).started;
    ::unsetenv("DESKTOP_STARTUP_ID");
    ::unsetenv("XDG_ACTIVATION_TOKEN");
    ::unsetenv("FLAGWASH_KEPT");
    if (display)
        ::setenv("DISPLAY", oldDisplay.c_str(), 1);
    ASSERT_TRUE(started);
    EXPECT_EQ(argumentsOf(dir / "xdg-open"), "none none kept\n");
}

TEST_F(LauncherProbe, CommandsThatCannotStartFail)
{
    for (const std::string command : {"", "   ", "no-such-browser-anywhere http://h/"}) {
        const LaunchResult result = makeLauncher("/")->launch(command, ShowState::MaximizedActive);
        EXPECT_FALSE(result.started) << command;
        EXPECT_FALSE(result.error.empty()) << command;
    }
}

}  // namespace
