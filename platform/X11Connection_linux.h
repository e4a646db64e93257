#pragma once
#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <vector>

struct xcb_connection_t;

// Atoms by name, all asked for before any answer is awaited: one round trip however many.
// Atoms belong to the server, so those from one connection serve on any other to it. XCB_ATOM_NONE
// for a name the server did not answer.
std::vector<std::uint32_t> internAtoms(xcb_connection_t* connection,
                                       std::initializer_list<const char*> names);

// A connection of the program's own to the X server that DISPLAY names, beside the one Qt
// keeps: answers can be awaited on it without taking events from Qt. Shared by the window's
// talks with the window manager and the launcher's startup notification.
class X11Connection
{
public:
    // Connects when DISPLAY names a server; open() says whether it answered.
    X11Connection();
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    // Connected, and the screen DISPLAY names was found; nothing else may be used otherwise.
    bool open() const { return root_ != 0; }
    xcb_connection_t* get() const { return connection_; }
    std::uint32_t root() const { return root_; }
    int screen() const { return screen_; }

    // Waits until the connection has something to read, or the deadline passes; a signal that
    // interrupts the wait does not end it. Events xcb already holds are not seen here: take
    // them with xcb_poll_for_event first.
    bool waitForInput(std::chrono::steady_clock::time_point deadline);
    // The server's clock, read off the notice of a change to property (an atom made for this,
    // changed and removed again) of window; nullopt when no notice came within wait.
    std::optional<std::uint32_t> serverTime(std::uint32_t window, std::uint32_t property,
                                            std::chrono::milliseconds wait);

private:
    xcb_connection_t* connection_ = nullptr;
    std::uint32_t root_ = 0;
    int screen_ = 0;
};
