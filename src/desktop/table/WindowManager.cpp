#include "desktop/table/WindowManager.h"

#include <QGuiApplication>

#include <cstdlib>
#include <cstring>
#include <optional>

#ifdef QBX_HAVE_XCB
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#endif

namespace qbx {

#ifdef QBX_HAVE_XCB

namespace {

xcb_connection_t* connection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t rootWindow(xcb_connection_t* c) {
    const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    return screens.rem ? screens.data->root : static_cast<xcb_window_t>(XCB_WINDOW_NONE);
}

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(reply);
    return a;
}

// A property's bytes; nullopt when the window lacks it (or is gone).
std::optional<std::string> property(xcb_connection_t* c, xcb_window_t window, xcb_atom_t name, xcb_atom_t type) {
    if (name == XCB_ATOM_NONE || window == XCB_WINDOW_NONE) return std::nullopt;
    xcb_get_property_reply_t* reply =
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, name, type, 0, 256), nullptr);
    std::optional<std::string> value;
    if (reply && reply->type != XCB_ATOM_NONE) {
        value = std::string(static_cast<const char*>(xcb_get_property_value(reply)),
                            static_cast<size_t>(xcb_get_property_value_length(reply)));
    }
    std::free(reply);
    return value;
}

std::optional<uint32_t> cardinal(xcb_connection_t* c, xcb_window_t window, const char* name, xcb_atom_t type) {
    const std::optional<std::string> bytes = property(c, window, atom(c, name), type);
    if (!bytes || bytes->size() < 4) return std::nullopt;
    uint32_t value = 0;
    std::memcpy(&value, bytes->data(), 4);
    return value;
}

}  // namespace

std::string windowManagerName() {
    xcb_connection_t* c = connection();
    if (!c) return {};
    const xcb_window_t root = rootWindow(c);
    // A window manager that follows the desktop standard names a window of
    // its own on the root, and gives that window its name.
    const std::optional<uint32_t> check = cardinal(c, root, "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW);
    if (!check || *check == XCB_WINDOW_NONE) return {};
    std::optional<std::string> name = property(c, *check, atom(c, "_NET_WM_NAME"), atom(c, "UTF8_STRING"));
    if (!name || name->empty()) name = property(c, *check, XCB_ATOM_WM_NAME, XCB_ATOM_STRING);
    return name && !name->empty() ? *name : std::string("unnamed");
}

bool onAnotherDesktop(const QWidget& window) {
    xcb_connection_t* c = connection();
    if (!c) return false;
    const std::optional<uint32_t> shown = cardinal(c, rootWindow(c), "_NET_CURRENT_DESKTOP", XCB_ATOM_CARDINAL);
    const std::optional<uint32_t> its =
        cardinal(c, static_cast<xcb_window_t>(window.winId()), "_NET_WM_DESKTOP", XCB_ATOM_CARDINAL);
    // 0xFFFFFFFF: on every desktop.
    return shown && its && *its != 0xFFFFFFFFu && *its != *shown;
}

#else

std::string windowManagerName() {
#ifdef _WIN32
    return "Windows desktop";
#else
    return {};
#endif
}

bool onAnotherDesktop(const QWidget&) { return false; }

#endif

}  // namespace qbx
