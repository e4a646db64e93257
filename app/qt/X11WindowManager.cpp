#include "X11WindowManager.h"

#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <cmath>
#include <cstdlib>
#include <memory>
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

}  // namespace

X11WindowManager::X11WindowManager()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    X11Connection& x11 = x11_.emplace();
    if (!x11.open())
        return;
    xcb_connection_t* const connection = x11.get();

    // EWMH: a window of the manager's, named on the root and on itself, carries its name.
    const xcb_atom_t check = x11.atom("_NET_SUPPORTING_WM_CHECK");
    const std::vector<std::uint32_t> fromRoot
            = items(connection, x11.root(), check, XCB_ATOM_WINDOW);
    if (fromRoot.empty())
        return;
    const std::vector<std::uint32_t> fromItself
            = items(connection, fromRoot.front(), check, XCB_ATOM_WINDOW);
    if (fromItself.empty() || fromItself.front() != fromRoot.front())
        return;  // left behind by a manager that has gone
    auto name = own(xcb_get_property_reply(connection,
                                           xcb_get_property(connection, 0, fromRoot.front(),
                                                            x11.atom("_NET_WM_NAME"),
                                                            x11.atom("UTF8_STRING"), 0, 256),
                                           nullptr));
    name_ = name ? QByteArray(static_cast<const char*>(xcb_get_property_value(name.get())),
                              xcb_get_property_value_length(name.get()))
                 : QByteArray("");
}

X11WindowManager::~X11WindowManager() = default;

bool X11WindowManager::supports(std::uint32_t wanted)
{
    for (const std::uint32_t supported :
         items(x11_->get(), x11_->root(), x11_->atom("_NET_SUPPORTED"), XCB_ATOM_ATOM)) {
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
    xcb_connection_t* const connection = x11_->get();
    const xcb_atom_t request = x11_->atom("_NET_REQUEST_FRAME_EXTENTS");
    const xcb_atom_t extents = x11_->atom("_NET_FRAME_EXTENTS");

    // Told by a property change on the window; this connection asks for such events on it,
    // which leaves the events Qt's own connection gets as they were.
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(connection, window, XCB_CW_EVENT_MASK, &mask);
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = request;
    xcb_send_event(connection, 0, x11_->root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection);

    const auto deadline = std::chrono::steady_clock::now() + wait;
    std::vector<std::uint32_t> margins = items(connection, window, extents, XCB_ATOM_CARDINAL);
    while (margins.size() != 4) {
        // The events xcb has already read, with a reply, first: the socket no longer shows them.
        bool changed = false;
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
            if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY
                && reinterpret_cast<xcb_property_notify_event_t*>(event)->atom == extents)
                changed = true;
            std::free(event);
        }
        if (xcb_connection_has_error(connection))
            return std::nullopt;
        if (changed)
            margins = items(connection, window, extents, XCB_ATOM_CARDINAL);
        else if (!x11_->waitForInput(deadline))
            return std::nullopt;
    }
    // _NET_FRAME_EXTENTS: left, right, top, bottom.
    return QMargins(int(margins[0]), int(margins[2]), int(margins[1]), int(margins[3]));
}

bool X11WindowManager::tellsFrameExtents()
{
    return running() && supports(x11_->atom("_NET_REQUEST_FRAME_EXTENTS"));
}

bool X11WindowManager::readsUserTime()
{
    return running() && supports(x11_->atom("_NET_WM_USER_TIME"));
}

void X11WindowManager::stampUserTime(std::uint32_t window, std::chrono::milliseconds wait)
{
    if (!readsUserTime())
        return;
    const std::optional<std::uint32_t> time
            = x11_->serverTime(window, "_FLAGWASH_START_TIME", wait);
    if (!time)
        return;
    xcb_change_property(x11_->get(), XCB_PROP_MODE_REPLACE, window, x11_->atom("_NET_WM_USER_TIME"),
                        XCB_ATOM_CARDINAL, 32, 1, &*time);
    xcb_flush(x11_->get());
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
