#include "desktop/login/LoginWindow.h"

#include <QCloseEvent>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>

#include <utility>

#include "desktop/login/CodeValidator.h"
#include "desktop/windowsystem/WindowManager.h"
#include "desktop/widgets/Fonts.h"
#include "desktop/widgets/MessageBox.h"
#include "core/config/ConfigFiles.h"

namespace qbx {

namespace {

constexpr int kClientWidth = 429;
constexpr int kClientHeight = 358;
constexpr const char* kEmptyCodeMessage = "Per favore riempi tutti i campi";

QFont sansSerif(int pixelSize, bool bold = false) { return layoutFont("MS Sans Serif", pixelSize, bold); }

template <typename W>
W* makeControl(QWidget* parent, const char* name, int left, int top, int width, int height) {
    auto* control = new W(parent);
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(left, top, width, height);
    return control;
}

}  // namespace

LoginWindow::LoginWindow(QWidget* parent, std::string folder)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint),
      folder_(std::move(folder)) {
    setObjectName(QStringLiteral("loginWindow"));
    setWindowTitle(QStringLiteral("QBX"));
    setFixedSize(kClientWidth, kClientHeight);
    setFont(sansSerif(11));

    codeLabel_ = makeControl<QLabel>(this, "codeLabel", 104, 64, 71, 24);
    // The caption comes from the catalogue and is shown as it is written:
    // never as rich text, whatever it looks like.
    codeLabel_->setTextFormat(Qt::PlainText);
    codeLabel_->setText(QStringLiteral("CODICE"));
    codeLabel_->setFont(sansSerif(19));

    codeEdit_ = makeControl<QLineEdit>(this, "codeEdit", 104, 104, 217, 32);
    codeEdit_->setFont(sansSerif(19));
    // One line of visible text, at most 64 characters, however it comes in.
    codeEdit_->setMaxLength(CodeValidator::kCodeLength);
    codeEdit_->setValidator(new CodeValidator(codeEdit_));

    okButton_ = makeControl<QPushButton>(this, "okButton", 104, 240, 233, 81);
    okButton_->setText(QStringLiteral("OK"));
    okButton_->setFont(sansSerif(19, true));
    // Not the default button: Enter in the code box must not press it.
    okButton_->setAutoDefault(false);
    okButton_->setDefault(false);

    // Surname, registration number and tax code: part of the layout, hidden
    // for the whole run.
    surnameLabel_ = makeControl<QLabel>(this, "surnameLabel", 16, 168, 67, 16);
    surnameLabel_->setText(QStringLiteral("Cognome"));
    surnameLabel_->setFont(sansSerif(13, true));
    surnameEdit_ = makeControl<QLineEdit>(this, "surnameEdit", 112, 168, 217, 21);
    registrationLabel_ = makeControl<QLabel>(this, "registrationLabel", 16, 192, 65, 16);
    registrationLabel_->setText(QStringLiteral("Matricola"));
    registrationLabel_->setFont(sansSerif(13, true));
    registrationEdit_ = makeControl<QLineEdit>(this, "registrationEdit", 112, 192, 217, 21);
    taxCodeLabel_ = makeControl<QLabel>(this, "taxCodeLabel", 16, 224, 88, 16);
    taxCodeLabel_->setText(QStringLiteral("Cod. Fiscale"));
    taxCodeLabel_->setFont(sansSerif(13, true));
    taxCodeEdit_ = makeControl<QLineEdit>(this, "taxCodeEdit", 112, 216, 217, 21);
    for (QWidget* hidden : {static_cast<QWidget*>(surnameLabel_), static_cast<QWidget*>(surnameEdit_),
                            static_cast<QWidget*>(registrationLabel_), static_cast<QWidget*>(registrationEdit_),
                            static_cast<QWidget*>(taxCodeLabel_), static_cast<QWidget*>(taxCodeEdit_)})
        hidden->hide();

    setTabOrder(codeEdit_, surnameEdit_);
    setTabOrder(surnameEdit_, registrationEdit_);
    setTabOrder(registrationEdit_, okButton_);
    setTabOrder(okButton_, taxCodeEdit_);
    codeEdit_->setFocus(Qt::OtherFocusReason);

    connect(okButton_, &QPushButton::clicked, this, [this] { acceptCode(); });

    centreOnScreen();
    holder_ = new FrontHolder(
        *this, [this](FrontLost) { putBack(); }, [this] { return centred_ ? centredFrame() : QRect(); });
    loadCaption();
}

QRect LoginWindow::centredFrame() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return frameGeometry();
    // The whole window, frame included, is centred; the frame's size is
    // known only once the window exists on the screen.
    const QRect area = screen->geometry();
    const QSize outer = frameGeometry().size();
    return {QPoint(area.x() + (area.width() - outer.width()) / 2, area.y() + (area.height() - outer.height()) / 2),
            outer};
}

void LoginWindow::centreOnScreen() {
    if (!QGuiApplication::primaryScreen()) return;
    // move() places a window by its frame's top-left corner.
    move(centredFrame().topLeft());
}

void LoginWindow::putBack() {
    // After OK the window is hidden for good; nothing is brought back then.
    if (!isVisible()) return;
    if (frameGeometry() != centredFrame()) centreOnScreen();
    raise();
    activateWindow();
    holder_->holdInFront();
}

void LoginWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!centred_) {
        centred_ = true;
        centreOnScreen();
    }
}

void LoginWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || windowState() == Qt::WindowNoState || restoreQueued_) return;
    restoreQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        restoreQueued_ = false;
        // After OK the window is hidden for good; nothing is brought back then.
        if (!isVisible() || windowState() == Qt::WindowNoState) return;
        setWindowState(Qt::WindowNoState);
        show();
        raise();
        activateWindow();
    });
}

void LoginWindow::loadCaption() {
    readLabelCaption();
    setCodeLabelCaption();
}

void LoginWindow::readLabelCaption() {
    // On a failure readLabelCode leaves the text as it was, so the code label shows
    // whatever had been stored before the error.
    if (!readLabelCode(inGameFolder(folder_, kParameterFile), labelCodeText_))
        showMessageBox(nullptr, kParameterReadError);
}

void LoginWindow::setCodeLabelCaption() {
    codeLabel_->setText(fromBytes(labelCodeText_));
    // The label grows to the right with a caption longer than its layout
    // width, as a self-sizing label does; it never shrinks.
    const int needed = QFontMetrics(codeLabel_->font()).horizontalAdvance(codeLabel_->text());
    if (needed > codeLabel_->width()) codeLabel_->resize(needed, codeLabel_->height());
}

void LoginWindow::acceptCode() {
    if (codeEdit_->text().isEmpty()) {
        showMessageBox(this, kEmptyCodeMessage);
        return;
    }
    hide();
    participantCode_ = toBytes(codeEdit_->text()) + " " + toBytes(surnameEdit_->text()) + " " +
                       toBytes(registrationEdit_->text()) + " " + toBytes(taxCodeEdit_->text());
    if (onLogin) onLogin(participantCode_);
}

void LoginWindow::closeEvent(QCloseEvent* event) { event->ignore(); }

}  // namespace qbx
