#include "X11WindowManager.h"

#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <poll.h>
#include <vector>

namespace {

template<typename Reply> using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

template<typename Reply> ReplyPtr<Reply> own(Reply* reply)
{
    return ReplyPtr<Reply>(reply, &std::free);
}

// A property of 32-bit items (windows, atoms, cardinals); empty when unset.
std::vector<std::uint32_t> items(xcb_connection_t* connection, xcb_window_t window,
                                 xcb_atom_t property, xcb_atom_t type)
{
    auto reply = own(xcb_get_property_reply(
            connection, xcb_get_property(connection, 0, window, property, type, 0, 1024), nullptr));
    if (!reply || reply->format != 32)
        return {};
    const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    return {values, values + xcb_get_property_value_length(reply.get()) / 4};
}

// Waits until the connection has something to read, or the deadline passes; a signal that
// interrupts the wait does not end it.
bool waitForInput(xcb_connection_t* connection, std::chrono::steady_clock::time_point deadline)
{
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd descriptor{xcb_get_file_descriptor(connection), POLLIN, 0};
        const int ready = poll(&descriptor, 1, static_cast<int>(left.count()));
        if (ready > 0)
            return true;
        if (ready == 0 || errno != EINTR)
            return false;
    }
}

}  // namespace

X11WindowManager::X11WindowManager()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    int screenNumber = 0;
    connection_ = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection_))
        return;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    for (int i = 0; i < screenNumber && screens.rem; ++i)
        xcb_screen_next(&screens);
    if (!screens.rem)
        return;
    root_ = screens.data->root;

    // EWMH: a window of the manager's, named on the root and on itself, carries its name.
    const xcb_atom_t check = atom("_NET_SUPPORTING_WM_CHECK");
    const std::vector<std::uint32_t> fromRoot = items(connection_, root_, check, XCB_ATOM_WINDOW);
    if (fromRoot.empty())
        return;
    const std::vector<std::uint32_t> fromItself
            = items(connection_, fromRoot.front(), check, XCB_ATOM_WINDOW);
    if (fromItself.empty() || fromItself.front() != fromRoot.front())
        return;  // left behind by a manager that has gone
    auto name = own(xcb_get_property_reply(connection_,
                                           xcb_get_property(connection_, 0, fromRoot.front(),
                                                            atom("_NET_WM_NAME"),
                                                            atom("UTF8_STRING"), 0, 256),
                                           nullptr));
    name_ = name ? QByteArray(static_cast<const char*>(xcb_get_property_value(name.get())),
                              xcb_get_property_value_length(name.get()))
                 : QByteArray("");
}

X11WindowManager::~X11WindowManager()
{
    if (connection_)
        xcb_disconnect(connection_);
}

std::uint32_t X11WindowManager::atom(const char* name)
{
    auto reply = own(xcb_intern_atom_reply(
            connection_,
            xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
            nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

bool X11WindowManager::supports(std::uint32_t wanted)
{
    for (const std::uint32_t supported :
         items(connection_, root_, atom("_NET_SUPPORTED"), XCB_ATOM_ATOM)) {
        if (supported == wanted)
            return true;
    }
    return false;
}

std::optional<QMargins> X11WindowManager::frameExtents(std::uint32_t window,
                                                       std::chrono::milliseconds wait)
{
    if (!tellsFrameExtents())
        return std::nullopt;
    const xcb_atom_t request = atom("_NET_REQUEST_FRAME_EXTENTS");
    const xcb_atom_t extents = atom("_NET_FRAME_EXTENTS");

    // Told by a property change on the window; this connection asks for such events on it,
    // which leaves the events Qt's own connection gets as they were.
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(connection_, window, XCB_CW_EVENT_MASK, &mask);
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = request;
    xcb_send_event(connection_, 0, root_,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection_);

    const auto deadline = std::chrono::steady_clock::now() + wait;
    std::vector<std::uint32_t> margins = items(connection_, window, extents, XCB_ATOM_CARDINAL);
    while (margins.size() != 4) {
        // The events xcb has already read, with a reply, first: the socket no longer shows them.
        bool changed = false;
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
            if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY
                && reinterpret_cast<xcb_property_notify_event_t*>(event)->atom == extents)
                changed = true;
            std::free(event);
        }
        if (xcb_connection_has_error(connection_))
            return std::nullopt;
        if (changed)
            margins = items(connection_, window, extents, XCB_ATOM_CARDINAL);
        else if (!waitForInput(connection_, deadline))
            return std::nullopt;
    }
    // _NET_FRAME_EXTENTS: left, right, top, bottom.
    return QMargins(int(margins[0]), int(margins[2]), int(margins[1]), int(margins[3]));
}

bool X11WindowManager::tellsFrameExtents()
{
    return running() && supports(atom("_NET_REQUEST_FRAME_EXTENTS"));
}

bool X11WindowManager::readsUserTime()
{
    return running() && supports(atom("_NET_WM_USER_TIME"));
}

void X11WindowManager::stampUserTime(std::uint32_t window, std::chrono::milliseconds wait)
{
    if (!readsUserTime())
        return;
    // The server's clock, read off the notice of a change to a property of our own.
    const xcb_atom_t clock = atom("_FLAGWASH_START_TIME");
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
                xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window,
                                    atom("_NET_WM_USER_TIME"), XCB_ATOM_CARDINAL, 32, 1, &time);
                xcb_flush(connection_);
                return;
            }
        }
        if (xcb_connection_has_error(connection_) || !waitForInput(connection_, deadline))
            return;
    }
}

std::optional<QMargins> prepareForWindowManager(QWidget* window)
{
    X11WindowManager manager;
    if (!manager.running())
        return std::nullopt;
    // Made now only where it is needed: created after the window was placed, Qt keeps the
    // north-west gravity that a manager without frame extents (Weston's) needs to honour the
    // place at all.
    const bool tells = manager.tellsFrameExtents();
    const bool timed = manager.readsUserTime();
    if (!tells && !timed)
        return std::nullopt;
    const auto id = static_cast<std::uint32_t>(window->winId());
    // The window was made on Qt's connection, and the server need not have read that request
    // before this connection's: one round trip there first, or the manager may be asked about a
    // window that does not exist yet (and never answer).
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
        if (xcb_connection_t* qtConnection = x11->connection())
            std::free(xcb_get_input_focus_reply(qtConnection, xcb_get_input_focus(qtConnection),
                                                nullptr));
    }
    if (timed)
        manager.stampUserTime(id, std::chrono::milliseconds(200));
    // A manager answers in a few milliseconds; one that does not, costs the start this much.
    const std::optional<QMargins> frame = manager.frameExtents(id, std::chrono::milliseconds(200));
    if (!frame)
        return std::nullopt;
    const qreal ratio = window->devicePixelRatioF();
    return QMargins(int(std::lround(frame->left() / ratio)), int(std::lround(frame->top() / ratio)),
                    int(std::lround(frame->right() / ratio)),
                    int(std::lround(frame->bottom() / ratio)));
}
