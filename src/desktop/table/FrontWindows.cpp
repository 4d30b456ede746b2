#include "desktop/table/FrontWindows.h"

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
