// The help window as the participant meets it: its layout, the page it
// shows and how it is sized, and CLOSE as the only way out.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest>

#include <memory>

#include "desktop/widgets/Fonts.h"
#include "desktop/help/HelpWindow.h"

using qbx::HelpWindow;

class TestHelpWindow : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString oldCwd_;

    void writePage(const QString& name, const QByteArray& body) {
        QFile f(dir_->path() + "/setup/" + name);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("<html><body><p>" + body + "</p></body></html>");
    }

    static QUrl pageUrl(const char* name) { return QUrl::fromLocalFile(QDir::currentPath() + "/setup/" + name); }

    static void checkBrowserFits(const HelpWindow& help) {
        const QSize outer = help.frameGeometry().size();
        const QSize browser = help.browser->size();
        QVERIFY2(browser.width() == outer.width() - 60 || browser.width() == outer.width() - 59,
                 qPrintable(QString::number(browser.width())));
        QCOMPARE(browser.height(), outer.height() - 150);
    }

private slots:
    void initTestCase() {
        qbx::installFontSubstitutions();
        oldCwd_ = QDir::currentPath();
    }

    void init() {
        HelpWindow::currentPage = 1;
        dir_ = std::make_unique<QTemporaryDir>();
        QDir(dir_->path()).mkpath("setup");
        writePage("help.html", "First page");
        writePage("help2.html", "Second page");
        QDir::setCurrent(dir_->path());
    }

    void cleanup() {
        QDir::setCurrent(oldCwd_);
        dir_.reset();
        HelpWindow::currentPage = 1;
    }

    void layoutIsTheDesignOne() {
        HelpWindow help;
        QCOMPARE(help.windowTitle(), QStringLiteral("QBX Help"));
        QVERIFY(!(help.windowFlags() & Qt::WindowCloseButtonHint));
        QVERIFY(!(help.windowFlags() & Qt::WindowSystemMenuHint));
        QCOMPARE(help.closeButton->geometry(), QRect(216, 560, 289, 65));
        QCOMPARE(help.closeButton->text(), QStringLiteral("CLOSE"));
        QVERIFY(help.closeButton->font().bold());
        QCOMPARE(help.closeButton->font().pixelSize(), 19);
        QCOMPARE(help.font().pixelSize(), 11);
        QCOMPARE(help.browser->pos(), QPoint(16, 24));
        QCOMPARE(help.frameGeometry().size(), QSize(753, 673));
    }

    void pageOneIsShownSizedToTheWindow() {
        HelpWindow help;
        help.showInstructions(1);
        QCOMPARE(help.browser->source(), pageUrl("help.html"));
        QVERIFY(help.browser->toPlainText().contains("First page"));
        QCOMPARE(help.browser->height(), 523);
        QVERIFY(help.browser->width() == 693 || help.browser->width() == 694);
        checkBrowserFits(help);
        QCOMPARE(HelpWindow::currentPage, 1);
    }

    void pageTwoSticksForLaterRepaints() {
        HelpWindow help;
        help.showInstructions(2);
        QCOMPARE(HelpWindow::currentPage, 2);
        QVERIFY(help.browser->toPlainText().contains("Second page"));
        help.showInstructions(1);  // asked for page 1 ...
        help.show();
        QVERIFY(QTest::qWaitForWindowExposed(&help));
        help.resize(help.width() + 100, help.height() + 100);
        help.repaint();  // ... but a repaint after a resize shows page 2 again
        QCOMPARE(help.browser->source(), pageUrl("help2.html"));
        checkBrowserFits(help);
        help.closeButton->click();
    }

    void otherPagesNavigateNowhereButStillSize() {
        HelpWindow help;
        help.showInstructions(1);
        help.resize(800, 700);
        help.showInstructions(7);
        QCOMPARE(help.browser->source(), pageUrl("help.html"));
        checkBrowserFits(help);
    }

    void closeReturnsOneAndIsTheOnlyWayOut() {
        HelpWindow help;
        help.showInstructions(1);
        bool stayedOpen = false;
        QTimer::singleShot(0, &help, [&] {
            QTest::keyClick(&help, Qt::Key_Escape);
            const bool closedByRequest = help.close();
            stayedOpen = help.isVisible() && !closedByRequest;
            help.closeButton->click();
        });
        QCOMPARE(help.exec(), 1);
        QVERIFY(stayedOpen);
        QVERIFY(help.isHidden());
    }

    void closeStaysAboveTheBrowserAndInsideTheWindowAtAnySize() {
        HelpWindow help;
        help.showInstructions(1);
        help.show();
        QVERIFY(QTest::qWaitForWindowExposed(&help));
        for (const QSize size : {QSize(1000, 740), QSize(753, 673), QSize(100, 100)}) {
            help.resize(size);
            help.showInstructions(1);  // the browser follows the window
            const QRect close = help.closeButton->geometry();
            QVERIFY(help.rect().contains(close));
            QCOMPARE(help.childAt(close.center()), help.closeButton);
            QCOMPARE(help.childAt(close.topLeft() + QPoint(2, 2)), help.closeButton);
        }
        help.closeButton->click();
    }

    void everyOpeningIsCentredAtTheOpeningSize() {
        HelpWindow help;
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        const QRect centred(screen.x() + (screen.width() - 753) / 2, screen.y() + (screen.height() - 673) / 2, 753,
                            673);
        for (int opening = 0; opening < 3; ++opening) {
            help.showInstructions(1);
            QTimer::singleShot(0, &help, [&] {
                QCOMPARE(help.frameGeometry(), centred);
                // The participant moves and enlarges it before closing.
                help.move(help.pos() + QPoint(40 + opening, 30));
                help.resize(help.width() + 90, help.height() + 20);
                help.closeButton->click();
            });
            QCOMPARE(help.exec(), 1);
        }
    }

    void aWindowManagerCannotMinimiseOrMaximiseTheHelp() {
        HelpWindow help;
        help.showInstructions(1);
        bool restored = false;
        QTimer::singleShot(0, &help, [&] {
            const QRect opened = help.frameGeometry();
            for (Qt::WindowState asked : {Qt::WindowMinimized, Qt::WindowMaximized, Qt::WindowFullScreen}) {
                help.setWindowState(asked);
                QTRY_COMPARE(help.windowState(), Qt::WindowNoState);
                QVERIFY(help.isVisible());
                QCOMPARE(help.frameGeometry(), opened);
                QCOMPARE(help.childAt(help.closeButton->geometry().center()), help.closeButton);
            }
            restored = true;
            help.closeButton->click();
        });
        QCOMPARE(help.exec(), 1);
        QVERIFY(restored);
    }

    void aMissingPageStillOpensAndCloses() {
        QFile::remove(dir_->path() + "/setup/help.html");
        HelpWindow help;
        help.showInstructions(1);
        QVERIFY(help.browser->toPlainText().trimmed().isEmpty());
        QTimer::singleShot(0, &help, [&] { help.closeButton->click(); });
        QCOMPARE(help.exec(), 1);
    }
};

QTEST_MAIN(TestHelpWindow)
#include "test_help_window.moc"
