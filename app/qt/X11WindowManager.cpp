#include "X11WindowManager.h"

#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>

namespace {

template<typename Reply> using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

template<typename Reply> ReplyPtr<Reply> own(Reply* reply)
{
    return ReplyPtr<Reply>(reply, &std::free);
}

xcb_get_property_cookie_t ask(xcb_connection_t* connection, xcb_window_t window,
                              xcb_atom_t property, xcb_atom_t type, std::uint32_t items)
{
    return xcb_get_property(connection, 0, window, property, type, 0, items);
}

// The answer to ask(). A window that has gone answers with an error, taken here: on Qt's
// connection it would otherwise reach Qt as an event and be printed.
ReplyPtr<xcb_get_property_reply_t> answer(xcb_connection_t* connection,
                                          xcb_get_property_cookie_t cookie)
{
    xcb_generic_error_t* error = nullptr;
    auto reply = own(xcb_get_property_reply(connection, cookie, &error));
    std::free(error);
    return reply;
}

// A property of 32-bit items (windows, atoms, cardinals); empty when unset.
std::vector<std::uint32_t> items(xcb_connection_t* connection, xcb_get_property_cookie_t cookie)
{
    const auto reply = answer(connection, cookie);
    if (!reply || reply->format != 32)
        return {};
    const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    return {values, values + xcb_get_property_value_length(reply.get()) / 4};
}

xcb_connection_t* qtConnection()
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

// The root window of the screen DISPLAY names, on a connection to that display; 0 when it has
// no such screen.
xcb_window_t rootOfDisplay(xcb_connection_t* connection)
{
    char* host = nullptr;
    int display = 0;
    int screen = 0;
    const bool parsed = xcb_parse_display(nullptr, &host, &display, &screen) != 0;
    std::free(host);
    if (!parsed)
        return 0;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screen && screens.rem; ++i)
        xcb_screen_next(&screens);
    return screens.rem ? screens.data->root : 0;
}

}  // namespace

X11WindowManager::X11WindowManager()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    qt_ = qtConnection();
    if (!qt_ || xcb_connection_has_error(qt_))
        return;
    root_ = rootOfDisplay(qt_);
    if (!root_)
        return;
    // In the order of the Atom enumeration. Qt has interned most of them already, but keeps
    // them to itself; this costs one round trip on its connection.
    atoms_ = internAtoms(qt_,
                         {"_NET_SUPPORTING_WM_CHECK", "_NET_SUPPORTED", "_NET_WM_NAME",
                          "UTF8_STRING", "_NET_REQUEST_FRAME_EXTENTS", "_NET_FRAME_EXTENTS",
                          "_NET_WM_USER_TIME", "_FLAGWASH_START_TIME"});

    // EWMH: a window of the manager's, named on the root and on itself, carries its name. Each
    // pair of questions is asked before either answer is awaited.
    const xcb_atom_t check = atoms_[SupportingWmCheck];
    const xcb_get_property_cookie_t checkOnRoot = ask(qt_, root_, check, XCB_ATOM_WINDOW, 1);
    const xcb_get_property_cookie_t supported
            = ask(qt_, root_, atoms_[Supported], XCB_ATOM_ATOM, 1024);
    const std::vector<std::uint32_t> fromRoot = items(qt_, checkOnRoot);
    supported_ = items(qt_, supported);
    if (fromRoot.empty())
        return;
    const xcb_get_property_cookie_t checkOnItself
            = ask(qt_, fromRoot.front(), check, XCB_ATOM_WINDOW, 1);
    const xcb_get_property_cookie_t nameCookie
            = ask(qt_, fromRoot.front(), atoms_[WmName], atoms_[Utf8String], 256);
    const std::vector<std::uint32_t> fromItself = items(qt_, checkOnItself);
    const auto name = answer(qt_, nameCookie);
    if (fromItself.empty() || fromItself.front() != fromRoot.front())
        return;  // left behind by a manager that has gone
    name_ = name ? QByteArray(static_cast<const char*>(xcb_get_property_value(name.get())),
                              xcb_get_property_value_length(name.get()))
                 : QByteArray("");
}

X11WindowManager::~X11WindowManager() = default;

bool X11WindowManager::supports(Atom wanted) const
{
    return std::find(supported_.begin(), supported_.end(), atoms_[wanted]) != supported_.end();
}

X11Connection* X11WindowManager::waiter()
{
    if (!x11_)
        x11_.emplace();
    return x11_->open() ? &*x11_ : nullptr;
}

std::optional<QMargins> X11WindowManager::frameExtents(std::uint32_t window,
                                                       std::chrono::milliseconds wait)
{
    if (!tellsFrameExtents())
        return std::nullopt;
    X11Connection* const x11 = waiter();
    if (!x11)
        return std::nullopt;
    xcb_connection_t* const connection = x11->get();
    const xcb_atom_t extents = atoms_[FrameExtents];

    // Told by a property change on the window; this connection asks for such events on it,
    // which leaves the events Qt's own connection gets as they were.
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(connection, window, XCB_CW_EVENT_MASK, &mask);
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = atoms_[RequestFrameExtents];
    xcb_send_event(connection, 0, x11->root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection);

    const auto deadline = std::chrono::steady_clock::now() + wait;
    const auto read = [&] {
        return items(connection, ask(connection, window, extents, XCB_ATOM_CARDINAL, 4));
    };
    std::vector<std::uint32_t> margins = read();
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
            margins = read();
        else if (!x11->waitForInput(deadline))
            return std::nullopt;
    }
    // _NET_FRAME_EXTENTS: left, right, top, bottom.
    return QMargins(int(margins[0]), int(margins[2]), int(margins[1]), int(margins[3]));
}

bool X11WindowManager::tellsFrameExtents() const
{
    return running() && supports(RequestFrameExtents);
}

bool X11WindowManager::readsUserTime() const
{
    return running() && supports(UserTime);
}

void X11WindowManager::stampUserTime(std::uint32_t window, std::chrono::milliseconds wait)
{
    if (!readsUserTime())
        return;
    X11Connection* const x11 = waiter();
    if (!x11)
        return;
    const std::optional<std::uint32_t> time = x11->serverTime(window, atoms_[StartTime], wait);
    if (!time)
        return;
    xcb_change_property(x11->get(), XCB_PROP_MODE_REPLACE, window, atoms_[UserTime],
                        XCB_ATOM_CARDINAL, 32, 1, &*time);
    xcb_flush(x11->get());
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
    // before the program's own connection's: one round trip there first, or the manager may be
    // asked about a window that does not exist yet (and never answer).
    if (xcb_connection_t* qt = qtConnection())
        std::free(xcb_get_input_focus_reply(qt, xcb_get_input_focus(qt), nullptr));
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
