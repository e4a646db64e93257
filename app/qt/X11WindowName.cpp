#include "X11WindowName.h"

#include <QEvent>
#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>

namespace {

struct NameAtoms
{
    xcb_atom_t utf8String = XCB_ATOM_NONE;
    xcb_atom_t netWmName = XCB_ATOM_NONE;
};

xcb_atom_t atomFrom(xcb_connection_t* connection, xcb_intern_atom_cookie_t cookie)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return atom;
}

// Both asked for before either answer is awaited: one round trip to the server.
NameAtoms internNameAtoms(xcb_connection_t* connection)
{
    const auto intern = [connection](const char* name) {
        return xcb_intern_atom(connection, 0, static_cast<uint16_t>(qstrlen(name)), name);
    };
    const xcb_intern_atom_cookie_t utf8 = intern("UTF8_STRING");
    const xcb_intern_atom_cookie_t netName = intern("_NET_WM_NAME");
    return {atomFrom(connection, utf8), atomFrom(connection, netName)};
}

}  // namespace

void publishWindowName(QWidget* window)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb") || !window
        || !window->testAttribute(Qt::WA_WState_Created))
        return;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return;
    const auto id = static_cast<xcb_window_t>(window->winId());
    const QByteArray title = window->windowTitle().toUtf8();
    const auto length = static_cast<uint32_t>(title.size());

    // One connection for the program's life: its atoms never change.
    static const NameAtoms atoms = internNameAtoms(connection);
    const xcb_atom_t utf8 = atoms.utf8String;
    const xcb_atom_t netName = atoms.netWmName;
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, netName, utf8, 8, length,
                        title.constData());
    const bool ascii = std::all_of(title.begin(), title.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_NAME,
                        ascii ? xcb_atom_t(XCB_ATOM_STRING) : utf8, 8, length, title.constData());
    xcb_flush(connection);
}

bool WindowNamePublisher::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show && watched->isWidgetType())
        publishWindowName(static_cast<QWidget*>(watched));
    return false;
}
