#include "platform/X11Connection_linux.h"

#include <xcb/xcb.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <poll.h>

std::vector<std::uint32_t> internAtoms(xcb_connection_t* connection,
                                       std::initializer_list<const char*> names)
{
    std::vector<xcb_intern_atom_cookie_t> cookies;
    cookies.reserve(names.size());
    for (const char* name : names)
        cookies.push_back(xcb_intern_atom(connection, 0,
                                          static_cast<std::uint16_t>(std::strlen(name)), name));
    std::vector<std::uint32_t> atoms;
    atoms.reserve(names.size());
    for (const xcb_intern_atom_cookie_t cookie : cookies) {
        xcb_generic_error_t* error = nullptr;
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, &error);
        atoms.push_back(reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE));
        std::free(reply);
        std::free(error);
    }
    return atoms;
}

X11Connection::X11Connection()
{
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display)
        return;
    connection_ = xcb_connect(nullptr, &screen_);
    if (xcb_connection_has_error(connection_))
        return;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    for (int i = 0; i < screen_ && screens.rem; ++i)
        xcb_screen_next(&screens);
    if (screens.rem)
        root_ = screens.data->root;
}

X11Connection::~X11Connection()
{
    if (connection_)
        xcb_disconnect(connection_);
}

bool X11Connection::waitForInput(std::chrono::steady_clock::time_point deadline)
{
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd descriptor{xcb_get_file_descriptor(connection_), POLLIN, 0};
        const int ready = poll(&descriptor, 1, static_cast<int>(left.count()));
        if (ready > 0)
            return true;
        if (ready == 0 || errno != EINTR)
            return false;
    }
}

std::optional<std::uint32_t> X11Connection::serverTime(std::uint32_t window, std::uint32_t clock,
                                                       std::chrono::milliseconds wait)
{
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(connection_, window, XCB_CW_EVENT_MASK, &mask);
    xcb_change_property(connection_, XCB_PROP_MODE_APPEND, window, clock, XCB_ATOM_STRING, 8, 0,
                        nullptr);
    xcb_flush(connection_);
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (true) {
        // What xcb has already read first, then what comes.
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
            const auto* notify = reinterpret_cast<xcb_property_notify_event_t*>(event);
            const bool ours = (event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY
                    && notify->atom == clock && notify->window == window;
            const std::uint32_t time = ours ? notify->time : 0;
            std::free(event);
            if (ours) {
                xcb_delete_property(connection_, window, clock);
                xcb_flush(connection_);
                return time;
            }
        }
        if (xcb_connection_has_error(connection_) || !waitForInput(deadline))
            return std::nullopt;
    }
}
