#pragma once
#include "platform/X11Connection_linux.h"

#include <QByteArray>
#include <QMargins>

#include <chrono>
#include <cstdint>
#include <optional>

class QWidget;

// The X11 window manager in charge, asked on a connection of its own so that its answers can be
// awaited without taking events from Qt's connection.
class X11WindowManager
{
public:
    // Connects to the display the program runs on; running() is false without X11 or without
    // a window manager.
    X11WindowManager();
    ~X11WindowManager();
    X11WindowManager(const X11WindowManager&) = delete;
    X11WindowManager& operator=(const X11WindowManager&) = delete;

    bool running() const { return !name_.isNull(); }
    // The manager's own name (_NET_WM_NAME of its check window), such as "Openbox" or "Xfwm4".
    QByteArray name() const { return name_; }

    // Whether the manager answers _NET_REQUEST_FRAME_EXTENTS.
    bool tellsFrameExtents();
    // The frame the manager will put around this window (_NET_REQUEST_FRAME_EXTENTS), in device
    // pixels, asked before the window is mapped; nullopt from a manager that does not tell.
    std::optional<QMargins> frameExtents(std::uint32_t window, std::chrono::milliseconds wait);

    // Whether the manager reads a window's last user action (_NET_WM_USER_TIME).
    bool readsUserTime();
    // A window the user has not touched yet has no user time, and xfwm4 then lets any new
    // window take the focus from it: the browser the tool itself starts with a page among
    // them. The program's start, just now, counts as the window's first user action.
    void stampUserTime(std::uint32_t window, std::chrono::milliseconds wait);

private:
    bool supports(std::uint32_t atom);

    std::optional<X11Connection> x11_;  // only where Qt itself runs on X11
    QByteArray name_;
};

// Everything the window manager must hear before the window is first mapped: its first user
// time. Returns the frame
// it will draw (in the window's logical pixels); nullopt where no manager runs or it does not tell,
// and then the native window is not made yet. Does nothing on other platforms.
std::optional<QMargins> prepareForWindowManager(QWidget* window);
