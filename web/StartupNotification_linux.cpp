#include "web/StartupNotification_linux.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

// A value of the protocol's key=value list: quoted, with its quotes and backslashes escaped.
std::string quoted(const std::string& value)
{
    std::string out = "\"";
    for (const char c : value) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + '"';
}

// Keeps an ID free of spaces, quotes and anything else that would need escaping.
std::string idPart(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')
                || (c >= '0' && c <= '9') || c == '.' || c == '-';
        out += plain ? c : '-';
    }
    return out.empty() ? std::string("unknown") : out;
}

std::string baseName(const std::string& program)
{
    const std::size_t slash = program.find_last_of('/');
    return slash == std::string::npos ? program : program.substr(slash + 1);
}

}  // namespace

StartupNotification::StartupNotification()
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
    if (!screens.rem)
        return;
    root_ = screens.data->root;
    window_ = xcb_generate_id(connection_);
    const std::uint32_t values[] = {1, XCB_EVENT_MASK_PROPERTY_CHANGE};
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, root_, -1, -1, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT,
                      XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
}

StartupNotification::~StartupNotification()
{
    if (!connection_)
        return;
    if (window_)
        xcb_destroy_window(connection_, window_);
    xcb_disconnect(connection_);
}

std::uint32_t StartupNotification::atom(const char* name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            connection_,
            xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
            nullptr);
    const std::uint32_t value = reply ? reply->atom : 0;
    std::free(reply);
    return value;
}

// The server's clock, read off the event of a property change on a window of our own.
std::uint32_t StartupNotification::serverTime()
{
    const std::uint32_t property = atom("_FLAGWASH_LAUNCH_TIME");
    xcb_change_property(connection_, XCB_PROP_MODE_APPEND, window_, property, XCB_ATOM_STRING, 8, 0,
                        nullptr);
    xcb_flush(connection_);
    while (xcb_generic_event_t* event = xcb_wait_for_event(connection_)) {
        const bool ours = (event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY
                && reinterpret_cast<xcb_property_notify_event_t*>(event)->atom == property;
        const std::uint32_t time
                = ours ? reinterpret_cast<xcb_property_notify_event_t*>(event)->time : 0;
        std::free(event);
        if (ours)
            return time;
    }
    return 0;
}

// To the root window in pieces of 20 bytes, the terminating NUL included: the first as
// _NET_STARTUP_INFO_BEGIN, the others as _NET_STARTUP_INFO.
void StartupNotification::broadcast(const std::string& message)
{
    const std::uint32_t begin = atom("_NET_STARTUP_INFO_BEGIN");
    const std::uint32_t more = atom("_NET_STARTUP_INFO");
    const std::string bytes = message + '\0';
    for (std::size_t offset = 0; offset < bytes.size(); offset += 20) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 8;
        event.window = window_;
        event.type = offset == 0 ? begin : more;
        const std::size_t length = std::min<std::size_t>(20, bytes.size() - offset);
        std::memcpy(event.data.data8, bytes.data() + offset, length);
        xcb_send_event(connection_, 0, root_, XCB_EVENT_MASK_PROPERTY_CHANGE,
                       reinterpret_cast<const char*>(&event));
    }
    xcb_flush(connection_);
}

std::optional<std::string> StartupNotification::announce(const std::string& program,
                                                         bool takesFocus)
{
    if (!connection_ || xcb_connection_has_error(connection_) || !window_)
        return std::nullopt;
    const std::uint32_t now = serverTime();
    if (xcb_connection_has_error(connection_))
        return std::nullopt;
    std::uint32_t time = takesFocus ? now : now - 0x40000000u;
    if (time == 0)
        time = 1;  // 0 is X's "current time", which means no time at all

    static std::atomic<unsigned> launches{0};
    char host[256] = {};
    gethostname(host, sizeof(host) - 1);
    const std::string bin = baseName(program);
    const std::string id = "flagwash-" + std::to_string(getpid()) + "-" + idPart(host) + "-"
            + idPart(bin) + "-" + std::to_string(++launches) + "_TIME" + std::to_string(time);
    broadcast("new: ID=" + quoted(id) + " NAME=" + quoted(bin) + " BIN=" + quoted(bin)
              + " SCREEN=" + std::to_string(screen_));
    return id;
}

void StartupNotification::cancel(const std::string& id)
{
    if (connection_ && window_)
        broadcast("remove: ID=" + quoted(id));
}
