#include "app/ui/AllWorkspaces.h"

#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWidget>

namespace vantrel::ui {
namespace {

xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t found = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return found;
}

// A request to the window manager about `window`, sent to the root window as the window-manager
// hints standard asks for a window that is already mapped.
void ask(xcb_connection_t* connection, xcb_window_t root, xcb_window_t window, xcb_atom_t type,
         std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = type;
    message.data.data32[0] = a;
    message.data.data32[1] = b;
    message.data.data32[2] = c;
    message.data.data32[3] = 1; // from an application
    xcb_send_event(connection, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&message));
}

} // namespace

void showOnAllWorkspaces(QWidget* window) {
    // Only the X11 platform has a real connection; others (offscreen among them) may still
    // answer for the X11 interface.
    if (qGuiApp == nullptr || QGuiApplication::platformName() != QLatin1String("xcb") ||
        window == nullptr || !window->isWindow()) {
        return;
    }
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 != nullptr ? x11->connection() : nullptr;
    if (connection == nullptr || xcb_connection_has_error(connection) != 0) {
        return;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (screen == nullptr) {
        return;
    }
    const auto id = static_cast<xcb_window_t>(window->winId());
    constexpr std::uint32_t everyDesktop = 0xFFFFFFFF;
    constexpr std::uint32_t add = 1;
    ask(connection, screen->root, id, atom(connection, "_NET_WM_DESKTOP"), everyDesktop, 1, 0);
    ask(connection, screen->root, id, atom(connection, "_NET_WM_STATE"), add,
        atom(connection, "_NET_WM_STATE_STICKY"), 0);
    xcb_flush(connection);
}

} // namespace vantrel::ui
