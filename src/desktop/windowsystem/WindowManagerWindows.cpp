// What the run record and the table ask of the window system, on Windows:
// the desktop is the system's own, and a window on another virtual desktop
// is reported by the shell's desktop manager.

#include "desktop/windowsystem/WindowManager.h"

#include <QApplication>

#include <windows.h>

#include <initguid.h>
#include <shobjidl.h>

#include "desktop/windowsystem/FrontWindows.h"

namespace qbx {

std::string windowManagerName() { return "Windows desktop"; }

bool onAnotherDesktop(const QWidget& window) {
    // Windows 10 and later; elsewhere (and under Wine) there is no manager
    // and the window is on the one desktop there is.
    IVirtualDesktopManager* manager = nullptr;
    if (FAILED(CoCreateInstance(CLSID_VirtualDesktopManager, nullptr, CLSCTX_ALL, IID_IVirtualDesktopManager,
                                reinterpret_cast<void**>(&manager))) ||
        !manager)
        return false;
    BOOL onCurrent = TRUE;
    const HRESULT asked = manager->IsWindowOnCurrentVirtualDesktop(reinterpret_cast<HWND>(window.winId()), &onCurrent);
    manager->Release();
    return SUCCEEDED(asked) && !onCurrent;
}

bool takeAway(TakeAway what, QWidget& window, WId other, std::string& why) {
    switch (what) {
    case TakeAway::ActivateOther:
        SetForegroundWindow(reinterpret_cast<HWND>(other));
        SetWindowPos(reinterpret_cast<HWND>(other), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        return true;
    case TakeAway::Minimise:
        // What another program's call does; the window's own handler sees it after.
        ShowWindow(reinterpret_cast<HWND>(window.winId()), SW_MINIMIZE);
        return true;
    case TakeAway::ShowDesktop: {
        // The participant's own keys: Windows+D.
        INPUT keys[4]{};
        for (INPUT& k : keys) k.type = INPUT_KEYBOARD;
        keys[0].ki.wVk = VK_LWIN;
        keys[1].ki.wVk = 'D';
        keys[2].ki.wVk = 'D';
        keys[2].ki.dwFlags = KEYEVENTF_KEYUP;
        keys[3].ki.wVk = VK_LWIN;
        keys[3].ki.dwFlags = KEYEVENTF_KEYUP;
        if (SendInput(4, keys, sizeof(INPUT)) != 4) {
            why = "the system refused the keys Windows+D";
            return false;
        }
        return true;
    }
    }
    why = "unknown request";
    return false;
}

bool isInFront(const QWidget& window) {
    const HWND ours = reinterpret_cast<HWND>(window.winId());
    return window.isVisible() && !IsIconic(ours) && GetForegroundWindow() == ours;
}

// What a Windows desktop can take from a window is the topmost place and
// the foreground: both are asked again here, for the table, the login and
// the help alike. The table also refuses window commands in its own window
// procedure (FrontWindows).
struct FrontHolder::Native {};

FrontHolder::FrontHolder(QWidget& window, std::function<void(FrontLost)> taken, std::function<QRect()> place)
    : QObject(&window), window_(window), taken_(std::move(taken)), place_(std::move(place)) {}

FrontHolder::~FrontHolder() = default;

void FrontHolder::holdInFront() {
    if (!window_.isVisible()) return;
    SetWindowPos(reinterpret_cast<HWND>(window_.winId()), HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    // A box or the help of the program's own stays in front of it.
    const QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal == &window_) winfront::takeForeground(window_);
}

bool FrontHolder::eventFilter(QObject* watched, QEvent* event) { return QObject::eventFilter(watched, event); }

}  // namespace qbx
