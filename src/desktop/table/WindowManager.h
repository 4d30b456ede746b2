#pragma once
// What the run record and the table ask of the window system beyond Qt:
// the window manager's name, and whether a window was hidden by a switch
// to another desktop. On X11 through Qt's own xcb connection.

#include <QWidget>

#include <string>

namespace qbx {

// The name the running window manager gives itself ("Openbox"); empty when
// there is none. "Windows desktop" on Windows.
std::string windowManagerName();
// The window manager says `window` lies on a desktop other than the one
// shown (an unmap by a switch of desktops, not a minimise).
bool onAnotherDesktop(const QWidget& window);

}  // namespace qbx
