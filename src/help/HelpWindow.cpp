#include "help/HelpWindow.h"

#include <QCloseEvent>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScreen>
#include <QTextBrowser>
#include <QUrl>

#include "ui/Fonts.h"

namespace qbx {

int HelpWindow::currentPage = 1;

namespace {
constexpr int kOuterWidth = 753;
constexpr int kOuterHeight = 673;
}  // namespace

HelpWindow::HelpWindow(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint) {
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

    // The outer size is what the window is made to; without a frame yet the
    // client area takes it all, and the window manager's frame comes on top.
    resize(kOuterWidth, kOuterHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.center() - QPoint(kOuterWidth / 2, kOuterHeight / 2));
    }
}

void HelpWindow::showInstructions(int page) {
    const QString directory = QDir::currentPath();
    if (page == 1) {
        browser->setSource(QUrl::fromLocalFile(directory + QStringLiteral("/setup/help.html")));
    } else if (page == 2) {
        currentPage = 2;
        browser->setSource(QUrl::fromLocalFile(directory + QStringLiteral("/setup/help2.html")));
    }
    const QSize outer = frameGeometry().size();
    const int jitter = static_cast<int>(QRandomGenerator::global()->bounded(2));
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
