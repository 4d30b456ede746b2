// The program's message boxes: caption "QBXSolo", one OK, an OK that
// answers even while the table window is disabled for a gliding card, and
// nothing else that dismisses or hides them.

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "desktop/widgets/MessageBox.h"

class TestMessageBox : public QObject {
    Q_OBJECT
private slots:
    void okAnswersWhileTheTableIsDisabled() {
        QWidget table;
        table.resize(400, 300);
        table.show();
        QString title, text;
        int buttons = 0;
        bool okEnabled = false, closedByReturn = false;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            table.setEnabled(false);  // a card starts or goes on gliding meanwhile
            title = box->windowTitle();
            text = box->text();
            buttons = int(box->buttons().size());
            okEnabled = box->isEnabled() && box->button(QMessageBox::Ok)->isEnabled();
            QTest::keyClick(box, Qt::Key_Return);
            closedByReturn = !box->isVisible();
            if (!closedByReturn) box->done(0);  // never leave the test waiting
        });
        qbx::showMessageBox(&table, "Too many moves");
        QCOMPARE(title, QStringLiteral("QBXSolo"));
        QCOMPARE(text, QStringLiteral("Too many moves"));
        QCOMPARE(buttons, 1);
        QVERIFY(okEnabled);
        QVERIFY(closedByReturn);
    }

    // A title bar with the caption and nothing on it that could hide the
    // box; a close request, a minimise and a maximise leave it up and
    // unchanged, and OK still closes it.
    void onlyOkDismissesTheBox() {
        QWidget table;
        table.resize(400, 300);
        table.show();
        Qt::WindowFlags flags;
        bool closed = true, upAfterClose = false, backFromMinimise = false, backFromMaximise = false;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            flags = box->windowFlags();
            closed = box->close();
            upAfterClose = box->isVisible();
            box->setWindowState(Qt::WindowMinimized);
            QTest::qWait(50);
            backFromMinimise = box->isVisible() && box->windowState() == Qt::WindowNoState;
            box->setWindowState(Qt::WindowMaximized);
            QTest::qWait(50);
            backFromMaximise = box->isVisible() && box->windowState() == Qt::WindowNoState;
            box->button(QMessageBox::Ok)->click();
            if (box->isVisible()) box->done(0);  // never leave the test waiting
        });
        qbx::showMessageBox(&table, "Four passes");
        QVERIFY(flags & Qt::WindowTitleHint);
        QVERIFY(flags & Qt::CustomizeWindowHint);
        QVERIFY(flags & Qt::WindowStaysOnTopHint);
        for (Qt::WindowType hidesIt : {Qt::WindowSystemMenuHint, Qt::WindowMinimizeButtonHint,
                                       Qt::WindowMaximizeButtonHint, Qt::WindowCloseButtonHint})
            QVERIFY2(!(flags & hidesIt), qPrintable(QString::number(int(hidesIt), 16)));
        QVERIFY(!closed);
        QVERIFY(upAfterClose);
        QVERIFY(backFromMinimise);
        QVERIFY(backFromMaximise);
    }

    void textsFromSetupFilesAreUtf8OrLatin1() {
        QCOMPARE(qbx::fromBytes("caf\xc3\xa9"), QStringLiteral("caf\u00e9"));
        QCOMPARE(qbx::fromBytes("caf\xe9"), QStringLiteral("caf\u00e9"));
        QCOMPARE(qbx::fromBytes(""), QString());
    }
};

QTEST_MAIN(TestMessageBox)
#include "test_message_box.moc"
