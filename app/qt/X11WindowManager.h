#pragma once
#include "platform/X11Connection_linux.h"

#include <QByteArray>
#include <QMargins>

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

class QWidget;
struct xcb_connection_t;

// The X11 window manager in charge. What it has published is read on Qt's own connection; a
// connection of the program's own is opened only to await its answers, which then leaves the
// events of Qt's connection as they were.
class X11WindowManager
{
public:
    // Asks on Qt's connection; running() is false without X11 or without a window manager.
    X11WindowManager();
    ~X11WindowManager();
    X11WindowManager(const X11WindowManager&) = delete;
    X11WindowManager& operator=(const X11WindowManager&) = delete;

    bool running() const { return !name_.isNull(); }
    // The manager's own name (_NET_WM_NAME of its check window), such as "Openbox" or "Xfwm4".
    QByteArray name() const { return name_; }

    // Whether the manager answers _NET_REQUEST_FRAME_EXTENTS.
    bool tellsFrameExtents() const;
    // The frame the manager will put around this window (_NET_REQUEST_FRAME_EXTENTS), in device
    // pixels, asked before the window is mapped; nullopt from a manager that does not tell.
    std::optional<QMargins> frameExtents(std::uint32_t window, std::chrono::milliseconds wait);

    // Whether the manager reads a window's last user action (_NET_WM_USER_TIME).
    bool readsUserTime() const;
    // A window the user has not touched yet has no user time, and xfwm4 then lets any new
    // window take the focus from it: the browser the tool itself starts with a page among
    // them. The program's start, just now, counts as the window's first user action.
    void stampUserTime(std::uint32_t window, std::chrono::milliseconds wait);

private:
    enum Atom {
        SupportingWmCheck,
        Supported,
        WmName,
        Utf8String,
        RequestFrameExtents,
        FrameExtents,
        UserTime,
        StartTime,
        AtomCount
    };
    bool supports(Atom atom) const;
    // The program's own connection, opened on first need; nullptr when it cannot be.
    X11Connection* waiter();

    xcb_connection_t* qt_ = nullptr;
    std::uint32_t root_ = 0;
    std::vector<std::uint32_t> atoms_;
    std::vector<std::uint32_t> supported_;  // _NET_SUPPORTED
    std::optional<X11Connection> x11_;
    QByteArray name_;
};

// Everything the window manager must hear before the window is first mapped: its first user
// time. Returns the frame
// it will draw (in the window's logical pixels); nullopt where no manager runs or it does not tell,
// and then the native window is not made yet. Does nothing on other platforms.
std::optional<QMargins> prepareForWindowManager(QWidget* window);
