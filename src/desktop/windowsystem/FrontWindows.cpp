#include "desktop/windowsystem/FrontWindows.h"

#include <windows.h>

namespace qbx::winfront {

namespace {

bool refusedCommand(WPARAM command) {
    // The low four bits are the system's own.
    switch (command & 0xFFF0) {
    case SC_MINIMIZE:
    case SC_MAXIMIZE:
    case SC_RESTORE:
    case SC_MOVE:
    case SC_SIZE:
    case SC_CLOSE:
    case SC_KEYMENU:
    case SC_MOUSEMENU: return true;
    default: return false;
    }
}

}  // namespace

Message classify(const void* message) {
    const MSG* msg = static_cast<const MSG*>(message);
    if (!msg) return Message::Other;
    switch (msg->message) {
    case WM_SYSCOMMAND: return refusedCommand(msg->wParam) ? Message::RefusedCommand : Message::Other;
    case WM_ACTIVATEAPP:
        // FALSE: the foreground went to a window of another program (our own
        // boxes and the help window are of this program and do not count).
        return msg->wParam == FALSE ? Message::LostForeground : Message::Other;
    default: return Message::Other;
    }
}

bool placeChanged(const void* message) {
    const MSG* msg = static_cast<const MSG*>(message);
    if (!msg || msg->message != WM_WINDOWPOSCHANGED || !msg->lParam) return false;
    const WINDOWPOS* pos = reinterpret_cast<const WINDOWPOS*>(msg->lParam);
    if (pos->flags & SWP_HIDEWINDOW) return true;
    if (!(pos->flags & SWP_NOMOVE) || !(pos->flags & SWP_NOSIZE)) return true;
    // A new place in the stacking order counts only when it is no longer
    // among the topmost windows: holding in front itself restacks.
    return !(pos->flags & SWP_NOZORDER) && !(GetWindowLongW(msg->hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
}

void showAgain(QWidget& window) {
    const HWND hwnd = reinterpret_cast<HWND>(window.winId());
    if (hwnd && !IsWindowVisible(hwnd)) ShowWindow(hwnd, SW_SHOWNORMAL);
}

bool inForeground() {
    const HWND foreground = GetForegroundWindow();
    DWORD process = 0;
    if (foreground) GetWindowThreadProcessId(foreground, &process);
    return process == GetCurrentProcessId();
}

void takeForeground(QWidget& window) {
    const HWND hwnd = reinterpret_cast<HWND>(window.winId());
    const HWND foreground = GetForegroundWindow();
    if (!hwnd || foreground == hwnd) return;
    const DWORD ours = GetCurrentThreadId();
    const DWORD theirs = foreground ? GetWindowThreadProcessId(foreground, nullptr) : 0;
    const bool attached = theirs != 0 && theirs != ours && AttachThreadInput(theirs, ours, TRUE);
    SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(hwnd);
    SetActiveWindow(hwnd);
    if (attached) AttachThreadInput(theirs, ours, FALSE);
}

}  // namespace qbx::winfront
