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

#include "app/Fonts.h"

namespace qbx {

int HelpWindow::helpPage = 1;

namespace {
constexpr int kOuterWidth = 753;
constexpr int kOuterHeight = 673;
}  // namespace

HelpWindow::HelpWindow(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint) {
    // Kept above everything: the table window itself stays on top of the desktop.
    setObjectName(QStringLiteral("FormHelp"));
    setWindowTitle(QStringLiteral("QBX Help"));
    setSizeGripEnabled(true);
    setFont(layoutFont("Tahoma", 11));

    ButtonClose = new QPushButton(QStringLiteral("CLOSE"), this);
    ButtonClose->setObjectName(QStringLiteral("ButtonClose"));
    ButtonClose->setFont(layoutFont("Tahoma", 19, true));
    ButtonClose->setGeometry(216, 560, 289, 65);
    ButtonClose->setAutoDefault(false);
    connect(ButtonClose, &QPushButton::clicked, this, [this] { ButtonCloseClick(); });

    WebBrowser1 = new QTextBrowser(this);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    WebBrowser1->setGeometry(16, 24, 705, 505);
    WebBrowser1->setOpenLinks(true);
    setTabOrder(ButtonClose, WebBrowser1);

    // The outer size is what the window is made to; without a frame yet the
    // client area takes it all, and the window manager's frame comes on top.
    resize(kOuterWidth, kOuterHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.center() - QPoint(kOuterWidth / 2, kOuterHeight / 2));
    }
}

void HelpWindow::ShowInst(int page) {
    const QString directory = QDir::currentPath();
    if (page == 1) {
        WebBrowser1->setSource(QUrl::fromLocalFile(directory + QStringLiteral("/setup/help.html")));
    } else if (page == 2) {
        helpPage = 2;
        WebBrowser1->setSource(QUrl::fromLocalFile(directory + QStringLiteral("/setup/help2.html")));
    }
    const QSize outer = frameGeometry().size();
    const int jitter = static_cast<int>(QRandomGenerator::global()->bounded(2));
    WebBrowser1->resize(outer.width() - 60 + jitter, outer.height() - 150);
    sizeAtLastShow_ = size();
}

void HelpWindow::paintEvent(QPaintEvent* event) {
    // A repaint shows the page again sized to the window, so the browser
    // follows a resize. Navigating repaints the window, so re-navigating on
    // every paint would never settle: only a size changed since the last
    // ShowInst calls for it.
    if (size() != sizeAtLastShow_) ShowInst(helpPage);
    QDialog::paintEvent(event);
}

void HelpWindow::ButtonCloseClick() { done(1); }

void HelpWindow::reject() {}

void HelpWindow::closeEvent(QCloseEvent* event) { event->ignore(); }

}  // namespace qbx
