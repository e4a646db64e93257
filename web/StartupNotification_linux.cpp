#include "web/StartupNotification_linux.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <unistd.h>
#include <vector>

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
    if (!x11_.open())
        return;
    window_ = xcb_generate_id(x11_.get());
    const std::uint32_t values[] = {1};
    xcb_create_window(x11_.get(), XCB_COPY_FROM_PARENT, window_, x11_.root(), -1, -1, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT,
                      values);
}

StartupNotification::~StartupNotification()
{
    if (window_)
        xcb_destroy_window(x11_.get(), window_);
}

// To the root window in pieces of 20 bytes, the terminating NUL included: the first as
// _NET_STARTUP_INFO_BEGIN, the others as _NET_STARTUP_INFO.
void StartupNotification::broadcast(const std::string& message)
{
    const std::string bytes = message + '\0';
    for (std::size_t offset = 0; offset < bytes.size(); offset += 20) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 8;
        event.window = window_;
        event.type = offset == 0 ? infoBegin_ : info_;
        const std::size_t length = std::min<std::size_t>(20, bytes.size() - offset);
        std::memcpy(event.data.data8, bytes.data() + offset, length);
        xcb_send_event(x11_.get(), 0, x11_.root(), XCB_EVENT_MASK_PROPERTY_CHANGE,
                       reinterpret_cast<const char*>(&event));
    }
    xcb_flush(x11_.get());
}

std::optional<std::string> StartupNotification::announce(const std::string& program,
                                                         bool takesFocus)
{
    if (!window_ || xcb_connection_has_error(x11_.get()))
        return std::nullopt;
    const std::vector<std::uint32_t> atoms = internAtoms(
            x11_.get(), {"_FLAGWASH_LAUNCH_TIME", "_NET_STARTUP_INFO_BEGIN", "_NET_STARTUP_INFO"});
    infoBegin_ = atoms[1];
    info_ = atoms[2];
    // A server that does not answer in this time is not waited for: the launch goes ahead
    // without an announcement.
    const std::optional<std::uint32_t> now
            = x11_.serverTime(window_, atoms[0], std::chrono::seconds(2));
    if (!now)
        return std::nullopt;
    std::uint32_t time = takesFocus ? *now : *now - 0x40000000u;
    if (time == 0)
        time = 1;  // 0 is X's "current time", which means no time at all

    static std::atomic<unsigned> launches{0};
    char host[256] = {};
    gethostname(host, sizeof(host) - 1);
    const std::string bin = baseName(program);
    const std::string id = "flagwash-" + std::to_string(getpid()) + "-" + idPart(host) + "-"
            + idPart(bin) + "-" + std::to_string(++launches) + "_TIME" + std::to_string(time);
    broadcast("new: ID=" + quoted(id) + " NAME=" + quoted(bin) + " BIN=" + quoted(bin)
              + " SCREEN=" + std::to_string(x11_.screen()));
    return id;
}

void StartupNotification::cancel(const std::string& id)
{
    if (window_)
        broadcast("remove: ID=" + quoted(id));
}
