#include "desktop/check/InputSender.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#elif defined(QBX_HAVE_XTEST)
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>
#endif

namespace qbx {

namespace {

// Screen pixels as the system counts them: Qt's points scaled by the screen's ratio.
QPoint devicePoint(QPoint p) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const qreal ratio = screen ? screen->devicePixelRatio() : 1.0;
    return {qRound(p.x() * ratio), qRound(p.y() * ratio)};
}

#ifdef _WIN32

WORD virtualKey(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Return: return VK_RETURN;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Meta: return VK_LWIN;
    default: return qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z ? static_cast<WORD>('A' + (qtKey - Qt::Key_A)) : 0;
    }
}

class WindowsInput : public InputSender {
public:
    void moveTo(QPoint p) override {
        const QPoint d = devicePoint(p);
        // Absolute moves are in 0..65535 across the virtual screen.
        const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
        const int width = std::max(1, GetSystemMetrics(SM_CXVIRTUALSCREEN) - 1);
        const int height = std::max(1, GetSystemMetrics(SM_CYVIRTUALSCREEN) - 1);
        INPUT in{};
        in.type = INPUT_MOUSE;
        in.mi.dx = MulDiv(d.x() - left, 65535, width);
        in.mi.dy = MulDiv(d.y() - top, 65535, height);
        in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
        SendInput(1, &in, sizeof in);
    }
    void press(int button) override { mouse(button == 3 ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN); }
    void release(int button) override { mouse(button == 3 ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP); }
    void pressKey(int qtKey) override { key(qtKey, 0); }
    void releaseKey(int qtKey) override { key(qtKey, KEYEVENTF_KEYUP); }
    void flush() override {}

private:
    static void mouse(DWORD flags) {
        INPUT in{};
        in.type = INPUT_MOUSE;
        in.mi.dwFlags = flags;
        SendInput(1, &in, sizeof in);
    }
    static void key(int qtKey, DWORD flags) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = virtualKey(qtKey);
        in.ki.dwFlags = flags;
        SendInput(1, &in, sizeof in);
    }
};

#elif defined(QBX_HAVE_XTEST)

// X keysyms of the keys the check presses.
uint32_t keysym(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Return: return 0xff0d;
    case Qt::Key_Space: return 0x20;
    case Qt::Key_Escape: return 0xff1b;
    case Qt::Key_Meta: return 0xffeb;  // Super_L
    default: return qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z ? 0x61 + (qtKey - Qt::Key_A) : 0;
    }
}

class XTestInput : public InputSender {
public:
    XTestInput(xcb_connection_t* c, xcb_window_t root) : c_(c), root_(root) {}

    void moveTo(QPoint p) override {
        const QPoint d = devicePoint(p);
        xcb_test_fake_input(c_, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root_, static_cast<int16_t>(d.x()),
                            static_cast<int16_t>(d.y()), 0);
    }
    void press(int button) override { fake(XCB_BUTTON_PRESS, static_cast<uint8_t>(button)); }
    void release(int button) override { fake(XCB_BUTTON_RELEASE, static_cast<uint8_t>(button)); }
    void pressKey(int qtKey) override {
        if (const uint8_t code = keycode(keysym(qtKey))) fake(XCB_KEY_PRESS, code);
    }
    void releaseKey(int qtKey) override {
        if (const uint8_t code = keycode(keysym(qtKey))) fake(XCB_KEY_RELEASE, code);
    }
    void flush() override { xcb_flush(c_); }

private:
    void fake(uint8_t type, uint8_t detail) {
        xcb_test_fake_input(c_, type, detail, XCB_CURRENT_TIME, XCB_WINDOW_NONE, 0, 0, 0);
    }
    // The key that types `sym` without a modifier; 0 when the keyboard has none.
    uint8_t keycode(uint32_t sym) {
        if (sym == 0) return 0;
        const xcb_setup_t* setup = xcb_get_setup(c_);
        const uint8_t first = setup->min_keycode;
        const uint8_t count = static_cast<uint8_t>(setup->max_keycode - first + 1);
        xcb_get_keyboard_mapping_reply_t* map =
            xcb_get_keyboard_mapping_reply(c_, xcb_get_keyboard_mapping(c_, first, count), nullptr);
        if (!map) return 0;
        const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map);
        const int per = map->keysyms_per_keycode;
        uint8_t found = 0;
        for (int k = 0; per > 0 && k < count && !found; ++k)
            if (syms[k * per] == sym) found = static_cast<uint8_t>(first + k);
        std::free(map);
        return found;
    }

    xcb_connection_t* c_;
    xcb_window_t root_;
};

#endif

}  // namespace

std::unique_ptr<InputSender> systemInputSender(std::string& why) {
#ifdef _WIN32
    why.clear();
    return std::make_unique<WindowsInput>();
#elif defined(QBX_HAVE_XTEST)
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c) {
        why = "the display is not an X11 display: input cannot be sent as a participant's";
        return nullptr;
    }
    xcb_test_get_version_reply_t* version = xcb_test_get_version_reply(c, xcb_test_get_version(c, 2, 2), nullptr);
    if (!version) {
        why = "the X server has no XTEST extension: input cannot be sent as a participant's";
        return nullptr;
    }
    std::free(version);
    const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    return std::make_unique<XTestInput>(c, screens.data->root);
#else
    why = "this build cannot send input as the system's own";
    return nullptr;
#endif
}

}  // namespace qbx
