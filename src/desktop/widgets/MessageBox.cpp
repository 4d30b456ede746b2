#include "desktop/widgets/MessageBox.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHideEvent>
#include <QMargins>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>

#include "desktop/windowsystem/WindowManager.h"
#ifdef _WIN32
#include "desktop/windowsystem/FrontWindows.h"
#endif

namespace qbx {

Qt::WindowFlags HeldMessageBox::flags() {
    return Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint;
}

HeldMessageBox::HeldMessageBox(QWidget* over, const QString& text) : over_(over) {
    setWindowModality(Qt::ApplicationModal);
    setWindowTitle(QString::fromLatin1(kApplicationTitle));
    setText(text);
    setTextFormat(Qt::PlainText);
    setIcon(QMessageBox::NoIcon);
    setStandardButtons(QMessageBox::Ok);
    setDefaultButton(QMessageBox::Ok);
    // Set last, after the box's own setup, which may set its flags again.
    setWindowFlags(flags());
    adjustSize();
    holder_ = new FrontHolder(
        *this, [this](FrontLost) { putBack(); }, [this] { return centredFrame(); });
}

HeldMessageBox::~HeldMessageBox() = default;

QRect HeldMessageBox::centredArea() const {
    const QSize size = clientSize_.isValid() ? clientSize_ : this->size();
    QPoint centre;
    if (over_ && over_->isVisible()) {
        centre = over_->frameGeometry().center();
    } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        centre = screen->availableGeometry().center();
    } else {
        return geometry();
    }
    return {centre - QPoint(size.width() / 2, size.height() / 2), size};
}

QRect HeldMessageBox::centredFrame() const {
    const QRect outer = frameGeometry();
    const QRect inner = geometry();
    return centredArea().marginsAdded(QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                                               outer.right() - inner.right(), outer.bottom() - inner.bottom()));
}

void HeldMessageBox::showEvent(QShowEvent* event) {
    QMessageBox::showEvent(event);
    if (event->spontaneous()) return;
    // The box lays itself out as it is first shown: that size is its own.
    if (!clientSize_.isValid()) clientSize_ = size();
    // setGeometry() places the box's own area, whatever its frame.
    setGeometry(centredArea());
}

void HeldMessageBox::closeEvent(QCloseEvent* event) {
    // A close request (a window manager's close, Alt+F4) is no OK: the box
    // stays until OK is pressed.
    event->ignore();
}

void HeldMessageBox::hideEvent(QHideEvent* event) {
    QMessageBox::hideEvent(event);
    // A hide the program did not ask for: the window manager unmapped it.
    if (event->spontaneous()) putBackSoon();
}

void HeldMessageBox::changeEvent(QEvent* event) {
    QMessageBox::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && windowState() != Qt::WindowNoState) putBackSoon();
}

void HeldMessageBox::putBackSoon() {
    if (restoreQueued_) return;
    restoreQueued_ = true;
    // Queued: the window manager's own handling of its request ends first.
    QTimer::singleShot(0, this, [this] {
        restoreQueued_ = false;
        putBack();
    });
}

void HeldMessageBox::putBack() {
    // Once OK is pressed the box is hidden for good.
    if (!isVisible()) return;
    if (windowState() != Qt::WindowNoState) setWindowState(Qt::WindowNoState);
    if (geometry() != centredArea()) setGeometry(centredArea());
    show();
#ifdef _WIN32
    winfront::showAgain(*this);
#endif
    raise();
    activateWindow();
    holder_->holdInFront();
}

#ifdef _WIN32
bool HeldMessageBox::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
    if (eventType == "windows_generic_MSG") {
        switch (winfront::classify(message)) {
        case winfront::Message::RefusedCommand:
            // Handled: Windows' default handling, which would act, never runs.
            *result = 0;
            return true;
        case winfront::Message::LostForeground: putBackSoon(); break;
        case winfront::Message::Other: break;
        }
        // Hidden, moved, resized or lowered by a call that is no system
        // command (another program's ShowWindow or SetWindowPos): put back
        // once Windows is done. What the box does itself is in place already.
        if (winfront::placeChanged(message)) putBackSoon();
    }
    return QMessageBox::nativeEvent(eventType, message, result);
}
#endif

void showMessageBox(QWidget* parent, const std::string& text) {
    HeldMessageBox box(parent, fromBytes(text));
    box.exec();
}

}  // namespace qbx
