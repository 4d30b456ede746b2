// What the run record and the table ask of the window system, on Windows:
// the desktop is the system's own, and a window on another virtual desktop
// is reported by the shell's desktop manager.

#include "desktop/table/WindowManager.h"

#include <windows.h>

#include <initguid.h>
#include <shobjidl.h>

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

}  // namespace qbx
