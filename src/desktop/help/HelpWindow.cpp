#include "desktop/help/HelpWindow.h"

#include <QCloseEvent>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QMoveEvent>
#include <QTextBrowser>
#include <QUrl>

#include <ctime>
#include <random>
#include <utility>

#include "desktop/windowsystem/WindowManager.h"
#include "desktop/widgets/Fonts.h"

namespace qbx {

int HelpWindow::currentPage = 1;

namespace {
constexpr int kOuterWidth = 753;
constexpr int kOuterHeight = 673;
}  // namespace

HelpWindow::HelpWindow(QWidget* parent, QString folder)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint),
      folder_(std::move(folder)) {
    // Kept above everything: the table window itself stays on top of the desktop.
    setObjectName(QStringLiteral("helpWindow"));
    setWindowTitle(QStringLiteral("QBX Help"));
    setSizeGripEnabled(true);
    setFont(layoutFont("Tahoma", 11));

    closeButton = new QPushButton(QStringLiteral("CLOSE"), this);
    closeButton->setObjectName(QStringLiteral("closeButton"));
    closeButton->setFont(layoutFont("Tahoma", 19, true));
    closeButton->setGeometry(216, 560, 289, 65);
    closeButton->setAutoDefault(false);
    connect(closeButton, &QPushButton::clicked, this, [this] { closeClicked(); });

    browser = new QTextBrowser(this);
    browser->setObjectName(QStringLiteral("browser"));
    browser->setGeometry(16, 24, 705, 505);
    browser->setOpenLinks(true);
    setTabOrder(closeButton, browser);
    // CLOSE lies above the browser, which grows with the window: at any size
    // the button stays whole and can be clicked.
    closeButton->raise();

    placeForOpening();
    holder_ = new FrontHolder(
        *this,
        [this](FrontLost why) {
            if (!isVisible()) return;
            if (why == FrontLost::Resized || why == FrontLost::Moved) placeForOpening();
            raise();
            activateWindow();
            holder_->holdInFront();
        },
        // The participant may move and resize the help; a window manager
        // that makes it smaller than it may be (icewm, asked by a request)
        // would leave CLOSE outside it, and a move may take CLOSE off the
        // screen: it is then put back as it opened.
        [this] {
            const bool tooSmall = width() < minimumWidth() || height() < minimumHeight();
            const QScreen* screen = QGuiApplication::primaryScreen();
            const QRect close(mapToGlobal(closeButton->geometry().topLeft()), closeButton->size());
            const bool closeOffScreen = screen && !screen->geometry().contains(close);
            return tooSmall || closeOffScreen ? QRect(openingCorner(), QSize(kOuterWidth, kOuterHeight)) : QRect();
        });
}

QMargins HelpWindow::frameMargins() const {
    const QRect outer = frameGeometry();
    const QRect inner = geometry();
    return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
            outer.bottom() - inner.bottom()};
}

QSize HelpWindow::openingSize(const QMargins& frame) {
    return {kOuterWidth - frame.left() - frame.right(), kOuterHeight - frame.top() - frame.bottom()};
}

QSize HelpWindow::smallestSize(const QMargins& frame) const {
    // The window cannot be made so small that CLOSE leaves it; but a frame
    // so large that the opening size leaves it no room does not make the
    // window outgrow that size: the size wins.
    const QSize closeWhole(closeButton->geometry().right() + 1 + 16, closeButton->geometry().bottom() + 1 + 16);
    return closeWhole.boundedTo(openingSize(frame));
}

void HelpWindow::placeForOpening() {
    const QMargins frame = frameMargins();
    placedWithFrame_ = frame;
    setMinimumSize(smallestSize(frame));
    resize(openingSize(frame));
    // move() places the frame's top-left corner.
    move(openingCorner());
}

void HelpWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        setWindowState(Qt::WindowNoState);
        placeForOpening();
        checkPlaceSoon();
    }
}

void HelpWindow::checkPlaceSoon() {
    // The window manager puts its frame around the window, and undoes a
    // maximise to the size it remembers, a little after the request: the
    // place is checked again once it has, and made right. (A participant
    // does not move the window within these moments.)
    for (int delayMs : {100, 400}) {
        QTimer::singleShot(delayMs, this, [this] {
            if (!isVisible() || windowState() != Qt::WindowNoState) return;
            const QMargins frame = frameMargins();
            if (frame != placedWithFrame_ || size() != openingSize(frame) ||
                frameGeometry().topLeft() != openingCorner())
                placeForOpening();
        });
    }
}

QPoint HelpWindow::openingCorner() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return pos();
    const QRect area = screen->geometry();
    return {area.x() + (area.width() - kOuterWidth) / 2, area.y() + (area.height() - kOuterHeight) / 2};
}

void HelpWindow::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    // The frame is known only once the window manager has put it around the
    // window, after the first showing: the outer size is then made right.
    // A participant moving the window changes no frame and is left alone.
    if (isVisible() && windowState() == Qt::WindowNoState && frameMargins() != placedWithFrame_) placeForOpening();
}

void HelpWindow::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isVisible() && windowState() != Qt::WindowNoState) keepInFront();
}

void HelpWindow::keepInFront() {
    if (restoreQueued_) return;
    restoreQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        restoreQueued_ = false;
        if (!isVisible() || windowState() == Qt::WindowNoState) return;
        setWindowState(Qt::WindowNoState);
        placeForOpening();
        show();
        raise();
        activateWindow();
        checkPlaceSoon();
    });
}

void HelpWindow::showInstructions(int page) {
    // Each opening is centred at the opening size, whatever the last one
    // was moved or resized to.
    if (!isVisible()) placeForOpening();
    const QString directory = folder_.isEmpty() ? QDir::currentPath() : folder_;
    if (page == 1) {
        browser->setSource(QUrl::fromLocalFile(directory + QStringLiteral("/setup/help.html")));
    } else if (page == 2) {
        currentPage = 2;
        browser->setSource(QUrl::fromLocalFile(directory + QStringLiteral("/setup/help2.html")));
    }
    const QSize outer = frameGeometry().size();
    // Not QRandomGenerator: its global generator faults in the static Qt
    // for Windows.
    static std::minstd_rand draw(static_cast<unsigned>(std::time(nullptr)));
    const int jitter = static_cast<int>(draw() % 2);
    browser->resize(outer.width() - 60 + jitter, outer.height() - 150);
    sizeAtLastShow_ = size();
}

void HelpWindow::paintEvent(QPaintEvent* event) {
    // A repaint shows the page again sized to the window, so the browser
    // follows a resize. Navigating repaints the window, so re-navigating on
    // every paint would never settle: only a size changed since the last
    // showInstructions calls for it.
    if (size() != sizeAtLastShow_) showInstructions(currentPage);
    QDialog::paintEvent(event);
}

void HelpWindow::closeClicked() { done(1); }

void HelpWindow::reject() {}

void HelpWindow::closeEvent(QCloseEvent* event) { event->ignore(); }

}  // namespace qbx
