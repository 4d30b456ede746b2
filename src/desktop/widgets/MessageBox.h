#pragma once
// Every message the program shows is a modal box with one text, one OK
// button and the application title "QBXSolo" as its caption, held in front
// as the table is until OK is pressed.

#include <QMessageBox>
#include <QPointer>
#include <QSize>
#include <QWidget>

#include <string>

#include "desktop/widgets/Text.h"

class QCloseEvent;
class QHideEvent;
class QShowEvent;

namespace qbx {

inline constexpr const char* kApplicationTitle = "QBXSolo";

class FrontHolder;

// The box itself: a title bar with the caption and no button on it (no
// system menu, no minimise, maximise or close), on every desktop and above
// every window, centred over `over` (the screen when `over` is hidden or
// null). Whatever a window manager or the system takes from it (minimised,
// lowered, shaded, sent to another desktop, moved, resized) is put back; a
// close request is refused: OK alone dismisses it (Return and Escape press
// OK, as in any box with one button).
class HeldMessageBox : public QMessageBox {
public:
    HeldMessageBox(QWidget* over, const QString& text);
    ~HeldMessageBox() override;

    // The window flags of every box.
    static Qt::WindowFlags flags();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;
#ifdef _WIN32
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
#endif

private:
    // Where the box belongs: its own area (the frame left out), at the size
    // it was laid out at, centred over `over_`. The box is placed by that
    // area alone: the frame's size is known only some time after the box
    // comes up, and a place that counted it would move once it is known.
    QRect centredArea() const;
    // The frame around that area, as far as the frame is known yet.
    QRect centredFrame() const;
    void putBackSoon();
    void putBack();

    QPointer<QWidget> over_;
    QSize clientSize_;
    bool restoreQueued_ = false;
    FrontHolder* holder_ = nullptr;
};

// Shows `text` modally and returns when OK is pressed. The box is no child
// of `parent`: the table window is disabled while a card glides, and a child
// window would be disabled with it, deaf to OK until the glide ends. It is
// modal for the whole program instead, kept above the table (which stays
// above everything) and centred over it.
void showMessageBox(QWidget* parent, const std::string& text);

}  // namespace qbx
