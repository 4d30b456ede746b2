#pragma once
// What the run record and the windows ask of the window system beyond Qt:
// the window manager's name, whether a window was hidden by a switch to
// another desktop, and a window held in front whatever a desktop's key
// bindings, menus and panels ask of the window manager. On X11 through Qt's
// own xcb connection.

#include <QObject>
#include <QRect>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

#include "core/platform/Platform.h"

namespace qbx {

// The name the running window manager gives itself ("Openbox"); empty when
// there is none. "Windows desktop" on Windows.
std::string windowManagerName();
// The window manager says `window` lies on a desktop other than the one
// shown (an unmap by a switch of desktops, not a minimise).
bool onAnotherDesktop(const QWidget& window);

// What other programs (a task bar, a pager, a script, the desktop's keys)
// ask about a window: the machine check takes the table away with them.
enum class TakeAway {
    ActivateOther,  // another window made the active one
    Minimise,       // the window asked to be minimised, as a task bar asks
    ShowDesktop,    // the bare desktop shown, every window out of the way
};
// Asks for it; `other` is another program's window, by its system id.
// False with `why` when this desktop offers no such thing.
bool takeAway(TakeAway what, QWidget& window, WId other, std::string& why);
// The window is shown, not minimised, the active one, and no other window
// of the desktop lies above it.
bool isInFront(const QWidget& window);

// Holds a top-level window in front while it is shown: on every virtual
// desktop, above every other window, in front again when another desktop or
// the bare desktop is shown, and where `place` says (when given: its frame's
// rectangle on the screen). Each time something took the window from there,
// `taken` is told why; it puts back what only the window knows (its size,
// its place, its state) and the holder asks the window manager for the rest
// (holdInFront). A window manager that keeps undoing it is not fought
// forever. Does nothing where no window manager runs.
class FrontHolder : public QObject {
public:
    FrontHolder(QWidget& window, std::function<void(FrontLost)> taken, std::function<QRect()> place = {});
    ~FrontHolder() override;
    FrontHolder(const FrontHolder&) = delete;
    FrontHolder& operator=(const FrontHolder&) = delete;

    // Asks the window manager again: the window on every desktop, above the
    // others, unshaded, active and raised, the desktop itself not shown.
    void holdInFront();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Native;
    QWidget& window_;
    std::function<void(FrontLost)> taken_;
    std::function<QRect()> place_;
    std::unique_ptr<Native> native_;
};

}  // namespace qbx
