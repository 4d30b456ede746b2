#pragma once
// What the game asks of the desktop and of the clock. The Qt view implements
// these for the real program; tests implement them with a clock they set to
// the millisecond and timers they fire by hand.

#include <string>

namespace qbx {

struct LocalTime {
    int year = 2000, month = 1, day = 1;                    // local date
    int hour = 0, minute = 0, second = 0, millisecond = 0;  // local time of day
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalTime now() = 0;
};

// The three timers of the table window: the 15 ms glide tick, the one-second
// wait before a deal, and the 302 ms steps of a deal.
enum class TimerId { Glide = 0, DealWait = 1, DealStep = 2 };

struct Size {
    int width = 0, height = 0;
};

// The circumstances of a session, for its run record.
struct SystemInfo {
    std::string os;                         // the operating system's name and version
    int screenWidth = 0, screenHeight = 0;  // the primary screen, device-independent pixels
    double devicePixelRatio = 1;
    std::string windowManager;  // its name; empty when there is none
};

// Why the desktop had to put the table back in front.
enum class FrontLost {
    Minimised,
    Unmaximised,
    Hidden,
    Covered,
    AnotherDesktop,
    LostFocus,
    Moved,            // moved by the window manager (a drag, its menu, a key binding, a request)
    Resized,          // resized by the same
    Shaded,           // rolled up into its title bar
    Lowered,          // sent below other windows, or another window raised above it
    NotAbove,         // its "always on top" taken away
    ShowDesktop,      // the desktop itself shown, every window out of the way
    DesktopSwitched,  // another virtual desktop shown
};

class Platform {
public:
    virtual ~Platform() = default;
    // A modal message box with one OK button and the caption "QBXSolo";
    // returns when the box is dismissed. Timers may fire meanwhile.
    virtual void showMessage(const std::string& text) = 0;
    virtual void beep() = 0;
    // Asks the application to end once the current handler has returned.
    virtual void terminate() = 0;
    // The primary screen in pixels, and the table window's outer size.
    virtual Size screenSize() = 0;
    virtual Size windowSize() = 0;
    // The system, the screen and the window manager the session runs on.
    virtual SystemInfo systemInfo() = 0;
    // A timer was started (running) or stopped. A started timer fires first
    // one interval after this call, then every interval until stopped.
    virtual void timerChanged(TimerId id, bool running, int intervalMs) = 0;
};

}  // namespace qbx
