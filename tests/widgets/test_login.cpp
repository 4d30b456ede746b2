// The login window as the participant meets it: its layout, the caption
// read from the setup files, and what OK, Enter and a close request do.

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>
#include <string>
#include <vector>

#include "desktop/widgets/Fonts.h"
#include "desktop/widgets/MessageBox.h"
#include "core/config/ConfigFiles.h"
#include "desktop/login/LoginWindow.h"

using qbx::LoginWindow;

namespace {

// Answers every modal message box that comes up with Return and remembers
// its caption and text, so a test can tell which boxes the participant saw.
class BoxAnswerer : public QObject {
public:
    struct Seen {
        QString title;
        QString text;
    };

    BoxAnswerer() {
        timer_.setInterval(20);
        connect(&timer_, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) return;
            seen.push_back({box->windowTitle(), box->text()});
            QTest::keyClick(box, Qt::Key_Return);
        });
        timer_.start();
    }

    std::vector<Seen> seen;

private:
    QTimer timer_;
};

// Types like a keyboard, letters beyond ASCII included.
void typeText(QWidget* box, const QString& text) {
    for (QChar ch : text) {
        if (ch.unicode() < 128)
            QTest::keyClick(box, ch.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    file.write(bytes);
}

}  // namespace

class TestLogin : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void layoutMatchesTheDialog();
    void tabOrderSkipsTheHiddenBoxes();
    void captionComesFromTheCatalogue();
    void captionIsEmptyWhenNothingNamesIt();
    void unreadableParameterFileIsReported();
    void emptyCodeIsRefused();
    void acceptedCodeHidesTheWindowAndBuildsUserCode();
    void enterInTheCodeBoxDoesNothing();
    void closeRequestIsIgnored();
    void captionIsPlainTextInUtf8OrTheWindowsCodePage();
    void aMinimisedLoginComesBack();
    void theCodeBoxHoldsOneLineOfVisibleText();

private:
    std::unique_ptr<LoginWindow> openWindow();
    QLineEdit* codeEdit(LoginWindow& w) { return w.findChild<QLineEdit*>("codeEdit"); }
    QPushButton* okButton(LoginWindow& w) { return w.findChild<QPushButton*>("okButton"); }
    QLabel* codeLabel(LoginWindow& w) { return w.findChild<QLabel*>("codeLabel"); }

    QTemporaryDir workDir_;
    QString previousDir_;
};

void TestLogin::initTestCase() {
    QVERIFY(workDir_.isValid());
    previousDir_ = QDir::currentPath();
    QVERIFY(QDir::setCurrent(workDir_.path()));
    qbx::installFontSubstitutions();
}

void TestLogin::cleanupTestCase() { QDir::setCurrent(previousDir_); }

// Every test starts from a setup directory with an English catalogue.
void TestLogin::init() {
    QDir setup(workDir_.path() + "/setup");
    if (setup.exists()) QVERIFY(setup.removeRecursively());
    QVERIFY(QDir(workDir_.path()).mkdir("setup"));
    writeFile("setup/QBXParameter.ini", "[PARAMETER]\r\nShoeFileName=shoe.txt\r\nFileMessages=messages.ini\r\n");
    writeFile("setup/messages.ini", "[MESSAGES]\r\nHeader=Messages\r\nLabelCode=Code\r\n");
}

std::unique_ptr<LoginWindow> TestLogin::openWindow() {
    auto window = std::make_unique<LoginWindow>();
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get())) qWarning("login window not exposed");
    return window;
}

void TestLogin::layoutMatchesTheDialog() {
    auto w = openWindow();
    QCOMPARE(w->windowTitle(), QString("QBX"));
    QCOMPARE(w->size(), QSize(429, 358));
    QCOMPARE(w->minimumSize(), w->maximumSize());
    const Qt::WindowFlags flags = w->windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowTitleHint));
    QVERIFY(!flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowSystemMenuHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    // Kept above the other windows, as the table and the help are.
    QVERIFY(flags.testFlag(Qt::WindowStaysOnTopHint));
    // Centred on the screen, frame included.
    const QPoint offCentre = w->frameGeometry().center() - QGuiApplication::primaryScreen()->geometry().center();
    QVERIFY2(offCentre.manhattanLength() <= 2,
             qPrintable(QString("off by %1,%2").arg(offCentre.x()).arg(offCentre.y())));
    QCOMPARE(w->font().family(), QString("MS Sans Serif"));
    QCOMPARE(w->font().pixelSize(), 11);

    struct Expected {
        const char* name;
        QRect geometry;
        int pixelSize;
        bool bold;
        bool visible;
        const char* text;
    };
    const Expected controls[] = {
        {"codeLabel", {104, 64, 71, 24}, 19, false, true, "Code"},
        {"codeEdit", {104, 104, 217, 32}, 19, false, true, ""},
        {"okButton", {104, 240, 233, 81}, 19, true, true, "OK"},
        {"surnameLabel", {16, 168, 67, 16}, 13, true, false, "Cognome"},
        {"surnameEdit", {112, 168, 217, 21}, 11, false, false, ""},
        {"registrationLabel", {16, 192, 65, 16}, 13, true, false, "Matricola"},
        {"registrationEdit", {112, 192, 217, 21}, 11, false, false, ""},
        {"taxCodeLabel", {16, 224, 88, 16}, 13, true, false, "Cod. Fiscale"},
        {"taxCodeEdit", {112, 216, 217, 21}, 11, false, false, ""},
    };
    for (const Expected& c : controls) {
        auto* control = w->findChild<QWidget*>(c.name);
        QVERIFY2(control, c.name);
        QCOMPARE(control->geometry(), c.geometry);
        QCOMPARE(control->font().family(), QString("MS Sans Serif"));
        QCOMPARE(control->font().pixelSize(), c.pixelSize);
        QCOMPARE(control->font().bold(), c.bold);
        QCOMPARE(control->isVisible(), c.visible);
        QString text = control->property("text").toString();
        QCOMPARE(text, QString(c.text));
    }

    // The layout's font is not on the machine; its substitute is used.
    QCOMPARE(QFontInfo(codeEdit(*w)->font()).family(), QString("Liberation Sans"));

    QVERIFY(!okButton(*w)->isDefault());
    QVERIFY(!okButton(*w)->autoDefault());
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    QCOMPARE(QApplication::focusWidget(), codeEdit(*w));
}

void TestLogin::tabOrderSkipsTheHiddenBoxes() {
    auto w = openWindow();
    QStringList chain;
    for (QWidget* next = codeEdit(*w)->nextInFocusChain(); next != codeEdit(*w); next = next->nextInFocusChain()) {
        if (next->focusPolicy() & Qt::TabFocus) chain << next->objectName();
    }
    QCOMPARE(chain, QStringList({"surnameEdit", "registrationEdit", "okButton", "taxCodeEdit"}));

    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    QTest::keyClick(codeEdit(*w), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(okButton(*w)));
    QTest::keyClick(okButton(*w), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(codeEdit(*w)));
}

void TestLogin::captionComesFromTheCatalogue() {
    BoxAnswerer boxes;
    {
        auto w = openWindow();
        QCOMPARE(codeLabel(*w)->text(), QString("Code"));
        QCOMPARE(w->labelCodeText(), std::string("Code"));
    }
    // An Italian catalogue written by an old editor: one byte per letter.
    writeFile("setup/messages.ini", "[messages]\r\nlabelcode = \"Identit\xe0\"\r\n");
    {
        auto w = openWindow();
        QCOMPARE(codeLabel(*w)->text(), QString::fromUtf8("Identit\u00e0"));
    }
    // The same written as UTF-8; a long caption is not cut off.
    writeFile("setup/messages.ini", "[MESSAGES]\r\nLabelCode=Identit\xc3\xa0 del partecipante\r\n");
    {
        auto w = openWindow();
        QCOMPARE(codeLabel(*w)->text(), QString::fromUtf8("Identit\u00e0 del partecipante"));
        QVERIFY(codeLabel(*w)->width() >= QFontMetrics(codeLabel(*w)->font()).horizontalAdvance(codeLabel(*w)->text()));
    }
    QVERIFY(boxes.seen.empty());
}

void TestLogin::captionIsEmptyWhenNothingNamesIt() {
    BoxAnswerer boxes;
    writeFile("setup/messages.ini", "[MESSAGES]\r\nHeader=Messages\r\n");
    {
        auto w = openWindow();
        QCOMPARE(codeLabel(*w)->text(), QString());
    }
    QVERIFY(QFile::remove("setup/messages.ini"));
    {
        auto w = openWindow();
        QCOMPARE(codeLabel(*w)->text(), QString());
    }
    QVERIFY(QFile::remove("setup/QBXParameter.ini"));
    {
        auto w = openWindow();
        QCOMPARE(codeLabel(*w)->text(), QString());
    }
    QVERIFY(boxes.seen.empty());
}

void TestLogin::unreadableParameterFileIsReported() {
    QVERIFY(QFile::remove("setup/QBXParameter.ini"));
    QVERIFY(QDir("setup").mkdir("QBXParameter.ini"));
    BoxAnswerer boxes;
    auto w = openWindow();
    QCOMPARE(boxes.seen.size(), size_t(1));
    QCOMPARE(boxes.seen[0].title, QString("QBXSolo"));
    QCOMPARE(boxes.seen[0].text, QString(qbx::kParameterReadError));
    // Start-up goes on; the caption is what was held before the error.
    QCOMPARE(codeLabel(*w)->text(), QString("CODE"));
    QVERIFY(w->isVisible());
}

void TestLogin::emptyCodeIsRefused() {
    auto w = openWindow();
    int logins = 0;
    w->onLogin = [&](const std::string&) { ++logins; };
    BoxAnswerer boxes;
    QTest::mouseClick(okButton(*w), Qt::LeftButton);
    QTRY_COMPARE(boxes.seen.size(), size_t(1));
    QCOMPARE(boxes.seen[0].title, QString("QBXSolo"));
    QCOMPARE(boxes.seen[0].text, QString("Per favore riempi tutti i campi"));
    QVERIFY(w->isVisible());
    QCOMPARE(logins, 0);
    QCOMPARE(w->participantCode(), std::string());
    QVERIFY(QDir("dataout").entryList(QDir::Files).isEmpty());
}

void TestLogin::acceptedCodeHidesTheWindowAndBuildsUserCode() {
    BoxAnswerer boxes;
    struct Case {
        QString typed;
        std::string participantCode;
    };
    const Case cases[] = {
        {"A1", "A1   "},
        {"   ", "      "},  // blanks count as a code
        {QString::fromUtf8("Zo\u00eb 7 "), "Zo\xc3\xab 7    "},
    };
    for (const Case& c : cases) {
        auto w = openWindow();
        std::vector<std::string> logins;
        bool hiddenAtLogin = false;
        w->onLogin = [&](const std::string& code) {
            logins.push_back(code);
            hiddenAtLogin = !w->isVisible();
        };
        typeText(codeEdit(*w), c.typed);
        QTest::mouseClick(okButton(*w), Qt::LeftButton);
        QCOMPARE(logins.size(), size_t(1));
        QCOMPARE(logins[0], c.participantCode);
        QCOMPARE(w->participantCode(), c.participantCode);
        QVERIFY(hiddenAtLogin);
        QVERIFY(!w->isVisible());
    }
    QVERIFY(boxes.seen.empty());
}

void TestLogin::enterInTheCodeBoxDoesNothing() {
    BoxAnswerer boxes;
    auto w = openWindow();
    int logins = 0;
    w->onLogin = [&](const std::string&) { ++logins; };
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    QTest::keyClick(codeEdit(*w), Qt::Key_Return);  // empty box: no complaint either
    QTest::keyClicks(codeEdit(*w), "A1");
    QTest::keyClick(codeEdit(*w), Qt::Key_Return);
    QTest::keyClick(codeEdit(*w), Qt::Key_Enter);
    QTest::qWait(100);
    QCOMPARE(logins, 0);
    QVERIFY(w->isVisible());
    QCOMPARE(codeEdit(*w)->text(), QString("A1"));
    QVERIFY(boxes.seen.empty());
}

void TestLogin::closeRequestIsIgnored() {
    auto w = openWindow();
    QVERIFY(!w->close());
    QVERIFY(w->isVisible());
    QWindow* handle = w->windowHandle();
    QVERIFY(handle);
    QVERIFY(!handle->close());
    QVERIFY(w->isVisible());
}

void TestLogin::captionIsPlainTextInUtf8OrTheWindowsCodePage() {
    BoxAnswerer boxes;
    struct Case {
        QByteArray value;
        QString shown;
    } cases[] = {
        // Markup is shown as the characters it is written with.
        {"Code <b>x</b> &lt; &amp;", QStringLiteral("Code <b>x</b> &lt; &amp;")},
        {"<h1>Big</h1>", QStringLiteral("<h1>Big</h1>")},
        // A catalogue saved on Windows in its Western code page.
        {"\x92"
         "Codice\x93 \x96 \x85 \x80 5",
         QString::fromUtf8("\u2019Codice\u201c \u2013 \u2026 \u20ac 5")},
        {"\x91\x94\x8a\x9f\xe0", QString::fromUtf8("\u2018\u201d\u0160\u0178\u00e0")},
        // The same letters written as UTF-8.
        {"\xe2\x80\x99\xe2\x82\xac", QString::fromUtf8("\u2019\u20ac")},
    };
    for (const Case& c : cases) {
        writeFile("setup/messages.ini", "[MESSAGES]\r\nLabelCode=" + c.value + "\r\n");
        auto w = openWindow();
        QCOMPARE(codeLabel(*w)->textFormat(), Qt::PlainText);
        QCOMPARE(codeLabel(*w)->text(), c.shown);
    }
    QVERIFY(boxes.seen.empty());
    // The five bytes the code page leaves unassigned stay what Latin-1 makes of them.
    QCOMPARE(qbx::fromBytes("\x81\x8d\x8f\x90\x9d"), QString::fromUtf8("\u0081\u008d\u008f\u0090\u009d"));
}

void TestLogin::aMinimisedLoginComesBack() {
    auto w = openWindow();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    w->setWindowState(Qt::WindowMinimized);
    QTRY_COMPARE(w->windowState(), Qt::WindowNoState);
    QVERIFY(w->isVisible());
    // Once OK has hidden it, it stays hidden.
    typeText(codeEdit(*w), "P1");
    QTest::mouseClick(okButton(*w), Qt::LeftButton);
    QVERIFY(w->isHidden());
    w->setWindowState(Qt::WindowMinimized);
    QTest::qWait(20);
    QVERIFY(w->isHidden());
}

// However a code comes into the box, it holds one line of visible text of
// at most 64 characters, and the logs get exactly what it shows.
void TestLogin::theCodeBoxHoldsOneLineOfVisibleText() {
    BoxAnswerer boxes;
    enum class By { Typing, CtrlV, ShiftInsert, Insert };
    struct Case {
        QString before;  // typed first
        int cursor;      // then the cursor put here (-1: left at the end)
        By by;
        QString entered;
        QString shown;
    };
    const QString x63(63, QLatin1Char('x')), euros(64, QChar(0x20AC));
    const Case cases[] = {
        // A spreadsheet cell copies with its line end; the rest of a paste
        // after the first line end is left out, the text after the cursor stays.
        {"", -1, By::CtrlV, "P12\n", "P12"},
        {"", -1, By::CtrlV, "P12\r\n37845.7:37845.7:PP::Colorkeeper passed turn:;;;", "P12"},
        {"AB", 1, By::CtrlV, "X\nY", "AXB"},
        {"", -1, By::ShiftInsert, QString::fromUtf8("Zo\u00eb\u2028next"), QString::fromUtf8("Zo\u00eb")},
        {"", -1, By::Insert, QString::fromUtf8("a\u2029b\nc"), "a"},  // as a drop inserts
        {"", -1, By::CtrlV, QString::fromUtf8("N\u0085EL"), "N"},
        // Every other control and format character is left out.
        {"", -1, By::CtrlV,
         "A\x01"
         "B\tC\x7F"
         "D\x1b",
         "ABCD"},
        {"", -1, By::CtrlV, QString("N") + QChar(0) + "UL", "NUL"},
        {"", -1, By::CtrlV, QString::fromUtf8("\u202e1\u200b2\u00ad3\ufeff4\u009f5\u20666"), "123456"},
        // The box stops at 64 characters, a paste as much as typing; half a
        // surrogate pair is never kept.
        {"", -1, By::CtrlV, QString(3000, QLatin1Char('y')), QString(64, QLatin1Char('y'))},
        {"", -1, By::Typing, "0123456789012345678901234567890123456789012345678901234567890123456789",
         "0123456789012345678901234567890123456789012345678901234567890123"},
        {x63, -1, By::CtrlV, QString::fromUtf8("\U0001F0A1"), x63},
        {"", -1, By::CtrlV, euros, euros},
        // Visible text goes in as it is.
        {"", -1, By::Typing, QString::fromUtf8("Zo\u00eb 7 "), QString::fromUtf8("Zo\u00eb 7 ")},
        {"", -1, By::CtrlV, QString::fromUtf8("\u05d0\u05d1 \U0001F0A1 P-1"),
         QString::fromUtf8("\u05d0\u05d1 \U0001F0A1 P-1")},
    };
    int number = 0;
    for (const Case& c : cases) {
        const QString label = QString("case %1").arg(++number);
        auto w = openWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QLineEdit* box = codeEdit(*w);
        std::vector<std::string> logins;
        w->onLogin = [&](const std::string& code) { logins.push_back(code); };
        typeText(box, c.before);
        if (c.cursor >= 0) box->setCursorPosition(c.cursor);
        switch (c.by) {
        case By::Typing: typeText(box, c.entered); break;
        case By::CtrlV:
            QGuiApplication::clipboard()->setText(c.entered);
            QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
            break;
        case By::ShiftInsert:
            QGuiApplication::clipboard()->setText(c.entered);
            QTest::keyClick(box, Qt::Key_Insert, Qt::ShiftModifier);
            break;
        case By::Insert: box->insert(c.entered); break;
        }
        QVERIFY2(box->text() == c.shown, qPrintable(label + ": the box shows " + box->text().toHtmlEscaped()));
        QTest::mouseClick(okButton(*w), Qt::LeftButton);
        QCOMPARE(logins.size(), size_t(1));
        QCOMPARE(logins[0], c.shown.toUtf8().toStdString() + "   ");
        // 64 characters are at most 192 bytes in the logs.
        QVERIFY(logins[0].size() <= 192 + 3);
    }
    QVERIFY(boxes.seen.empty());
}

QTEST_MAIN(TestLogin)
#include "test_login.moc"
