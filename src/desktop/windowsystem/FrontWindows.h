#pragma once
// Keeping the table and the message boxes in front on Windows, beyond what
// Qt's window flags do: the window commands a participant could use to move
// them away are refused before they act, and the foreground is taken back
// from another program.

#include <QWidget>

namespace qbx::winfront {

// What one window message means for the table.
enum class Message {
    Other,
    // A window command that would minimise, restore, move, size or close
    // the table (its caption, its system menu, Alt+F4, the taskbar): refused.
    RefusedCommand,
    // Another program's window became the foreground window.
    LostForeground,
};

// Sorts a message of Qt's native event ("windows_generic_MSG").
Message classify(const void* message);

// The foreground window is one of this program's.
bool inForeground();

// A message of Qt's native event that tells of a window hidden, moved,
// resized or taken out of the topmost windows, by this program or another
// (ShowWindow, SetWindowPos): the window's holder looks at it again.
bool placeChanged(const void* message);

// Shows `window` again when Windows hides it while Qt still holds it shown
// (another program's ShowWindow), in front of the others.
void showAgain(QWidget& window);

// Makes `window` the foreground window even when another program holds the
// foreground, which Windows otherwise refuses a background program (it only
// flashes the taskbar button): the table's thread shares the input state of
// the foreground window's thread for the moment of the call.
void takeForeground(QWidget& window);

}  // namespace qbx::winfront
