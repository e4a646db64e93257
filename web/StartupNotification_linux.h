#pragma once
#include "platform/X11Connection_linux.h"

#include <cstdint>
#include <optional>
#include <string>

// The launcher's side of the X11 startup-notification protocol, on a connection of its own to
// the display named by DISPLAY. A launch is announced to the window manager ("new:") under an
// ID whose _TIME part is the time of the user's action that caused it; the ID reaches the new
// program as DESKTOP_STARTUP_ID. A manager that prevents focus stealing (xfwm4, KWin, Mutter)
// compares that time with the last user action in the window that has the focus, and GTK
// programs set it as their window's _NET_WM_USER_TIME as well.
class StartupNotification
{
public:
    StartupNotification();
    ~StartupNotification();
    StartupNotification(const StartupNotification&) = delete;
    StartupNotification& operator=(const StartupNotification&) = delete;

    // Announces the launch of program (its path or name) and returns its DESKTOP_STARTUP_ID,
    // or nullopt without an X display. takesFocus: the time is now, later than the click that
    // asked for the launch, so the new window may take the focus. Otherwise it lies far back
    // (about twelve days, half of X's clock range, so that it stays "before" whatever the
    // clock's wrap), and the window the user works in keeps the focus.
    std::optional<std::string> announce(const std::string& program, bool takesFocus);
    // Ends an announced launch whose program could not be started.
    void cancel(const std::string& id);

private:
    void broadcast(const std::string& message);

    X11Connection x11_;
    std::uint32_t window_ = 0;     // sends the messages and asks the server for the time
    std::uint32_t infoBegin_ = 0;  // _NET_STARTUP_INFO_BEGIN
    std::uint32_t info_ = 0;       // _NET_STARTUP_INFO
};
