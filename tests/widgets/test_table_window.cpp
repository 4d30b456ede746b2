// The table window as the participants meet it: hidden until the first
// deal, fitted to the screen, cards dragged with the real mouse events, and
// the card pictures as they are painted.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <functional>
#include <memory>

#include "desktop/widgets/Fonts.h"
#include "desktop/table/CardPictures.h"
#include "desktop/table/TableCanvas.h"
#include "desktop/table/TableWindow.h"

using namespace qbx;

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A 24-bit Windows bitmap whose pixel colours come from `colour(x, y)`.
QByteArray bmp(int w, int h, const std::function<QRgb(int, int)>& colour) {
    const int row = (w * 3 + 3) / 4 * 4;
    QByteArray out;
    QDataStream s(&out, QIODevice::WriteOnly);
    s.setByteOrder(QDataStream::LittleEndian);
    s.writeRawData("BM", 2);
    s << quint32(54 + row * h) << quint32(0) << quint32(54);
    s << quint32(40) << qint32(w) << qint32(h) << quint16(1) << quint16(24) << quint32(0) << quint32(row * h)
      << qint32(2835) << qint32(2835) << quint32(0) << quint32(0);
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            const QRgb c = colour(x, y);
            s << quint8(qBlue(c)) << quint8(qGreen(c)) << quint8(qRed(c));
        }
        for (int pad = w * 3; pad < row; ++pad) s << quint8(0);
    }
    return out;
}

bool isRed(QRgb c) { return qRed(c) > 180 && qGreen(c) < 80 && qBlue(c) < 80; }
bool isBlack(QRgb c) { return qRed(c) < 60 && qGreen(c) < 60 && qBlue(c) < 60 && qAlpha(c) == 255; }

QPoint centreOf(const Control& c) { return {c.left + c.width / 2, c.top + c.height / 2}; }

// Calls `shown` with each message box as it comes up, before it waits.
class BoxWatch : public QObject {
public:
    explicit BoxWatch(std::function<void(QWidget*)> shown) : shown_(std::move(shown)) {
        qApp->installEventFilter(this);
    }
    ~BoxWatch() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show)
            if (auto* box = qobject_cast<QMessageBox*>(watched)) shown_(box);
        return false;
    }

private:
    std::function<void(QWidget*)> shown_;
};

}  // namespace

class TestTableWindow : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString oldCwd_;
    std::unique_ptr<TableWindow> win_;

    // A run directory of its own: parameters, catalogue, a two-hand shoe.
    void makeSetup(const QByteArray& backCard, const QByteArray& texture, bool handCardsHidden = false) {
        dir_ = std::make_unique<QTemporaryDir>();
        QDir(dir_->path()).mkpath(QStringLiteral("setup"));
        QDir(dir_->path()).mkpath(QStringLiteral("dataout"));
        const QString setup = dir_->path() + QStringLiteral("/setup/");
        writeFile(setup + "QBXParameter.ini",
                  "[PARAMETER]\nShoeFileName=shoe.txt\nMaxRounds=12\nPremiumRound=2000\n"
                  "CostMove=100\nViewCard=ALL\nFileBackCard=back.bmp\nViewTarget=TRUE\n"
                  "ViewCkNk=" +
                      QByteArray(handCardsHidden ? "FALSE" : "TRUE") +
                      "\nSyntaxInput=DEFAULT\nFileMessages=msg.ini\nparX=200\nparY=64\n"
                      "Drag CkNk=TRUE\nFile Texture=" +
                      (texture.isEmpty() ? QByteArray("NO") : "tex.bmp") + "\n");
        writeFile(setup + "msg.ini",
                  "[MESSAGES]\nHeader=Messages\nTotMove=Total moves\nHandNumber=Hand number\n"
                  "[RULES]\nBlock1CK=rule one\nBlock1NK=rule two\n"
                  "[TURNINDICATOR]\nHeader=turn\nCkTurn=Colour's turn\nNkTurn=Number's turn\n"
                  "[BUTTON]\nHelp=Help\nStep=Pass\n[CARD]\nCk=Colour\nNk=Number\nT=Target\n");
        writeFile(setup + "shoe.txt", "header\n4C 2H 3C 3H 2C 4H 2H ck\n2C 3H 4H 4C 2H 3C 4C nk\n");
        if (!backCard.isEmpty()) writeFile(setup + "back.bmp", backCard);
        if (!texture.isEmpty()) writeFile(setup + "tex.bmp", texture);
        QDir::setCurrent(dir_->path());
    }

    void startGame(const QByteArray& backCard = {}, const QByteArray& texture = {}, bool handCardsHidden = false) {
        makeSetup(backCard, texture, handCardsHidden);
        win_ = std::make_unique<TableWindow>(nullptr);
        win_->quitApplication = [] {};
        win_->start("A1   ");
    }

    // Fires whichever timer is due until the hand is laid and no card moves.
    void dealHand() {
        for (int guard = 0; guard < 500; ++guard) {
            Game& g = win_->game();
            if (g.timerRunning(TimerId::Glide))
                win_->fireTimer(TimerId::Glide);
            else if (g.timerRunning(TimerId::DealStep))
                win_->fireTimer(TimerId::DealStep);
            else if (g.timerRunning(TimerId::DealWait))
                win_->fireTimer(TimerId::DealWait);
            else
                return;
        }
        QFAIL("the deal never came to rest");
    }

    void finishGlide() {
        for (int guard = 0; guard < 200 && win_->game().timerRunning(TimerId::Glide); ++guard)
            win_->fireTimer(TimerId::Glide);
    }

    Ctl cardAt(uint8_t position) {
        const int card = win_->game().hand().cardAt(position);
        return card < 0 ? Ctl::Window : cardImage(card);
    }

    QString log(const char* role) {
        const QStringList files = QDir(dir_->path() + "/dataout").entryList({QString(role) + "*"});
        if (files.size() != 1) return {};
        QFile f(dir_->path() + "/dataout/" + files.first());
        return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()) : QString();
    }

    QImage canvasShot() { return win_->canvas()->grab().toImage().convertToFormat(QImage::Format_RGB32); }

private slots:
    void initTestCase() {
        installFontSubstitutions();
        oldCwd_ = QDir::currentPath();
    }

    void cleanup() {
        win_.reset();
        QDir::setCurrent(oldCwd_);
        dir_.reset();
    }

    void windowIsHiddenUntilTheFirstDealStep() {
        startGame();
        QCOMPARE(win_->windowTitle(), QStringLiteral("QBX"));
        QVERIFY(win_->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(!(win_->windowFlags() & Qt::WindowCloseButtonHint));
        QVERIFY(!win_->isVisible());
        QVERIFY(win_->timerActive(TimerId::DealWait));
        win_->fireTimer(TimerId::DealWait);
        QVERIFY(!win_->isVisible());
        QVERIFY(win_->timerActive(TimerId::DealStep));
        win_->fireTimer(TimerId::DealStep);
        QVERIFY(win_->isVisible());
        // The window, frame included, covers the whole screen (this platform
        // draws a frame of its own, as a window manager would).
        QTRY_COMPARE(win_->frameGeometry(), QGuiApplication::primaryScreen()->geometry());
        QCOMPARE(win_->windowState(), Qt::WindowMaximized);
        // The deal shuts out input, and nothing is greyed for it.
        QVERIFY(!win_->game().table().formEnabled());
        auto* pass = win_->findChild<QPushButton*>("passButton");
        QTest::mouseClick(pass, Qt::LeftButton);
        QTest::keyClick(pass, Qt::Key_Space);
        for (QWidget* w : win_->findChildren<QWidget*>()) QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
        dealHand();
        QVERIFY(win_->game().table().formEnabled());
        QCOMPARE(win_->game().progress().totalMoves, 0);
        QVERIFY(!win_->exitRequested());
    }

    void aGlideLeavesTheLookOfPassHelpAndTheTurnIndicatorAsItWas() {
        startGame();
        dealHand();
        auto* pass = win_->findChild<QPushButton*>("passButton");
        auto* nk = win_->findChild<QRadioButton*>("nkTurnIndicator");
        const QList<QWidget*> watched = {pass, win_->findChild<QPushButton*>("helpButton"),
                                         win_->findChild<QRadioButton*>("ckTurnIndicator"), nk};
        auto looks = [&] {
            QList<QImage> images;
            for (QWidget* w : watched) images << w->grab().toImage();
            return images;
        };
        const QList<QImage> before = looks();
        // A card dropped where nothing takes it glides home.
        const Table& t = win_->game().table();
        const Ctl up = cardAt(upCardView);
        QTest::mousePress(win_->canvas(), Qt::LeftButton, {}, centreOf(t[up]));
        QTest::mouseMove(win_->canvas(), QPoint(20, 20));
        QTest::mouseRelease(win_->canvas(), Qt::LeftButton, {}, QPoint(20, 20));
        QVERIFY(win_->game().timerRunning(TimerId::Glide));
        QVERIFY(!t.formEnabled());
        QVERIFY(looks() == before);
        // Nothing the participant does meanwhile reaches the table.
        QTest::mouseClick(pass, Qt::LeftButton);
        QTest::keyClick(pass, Qt::Key_Space);
        QTest::mouseClick(nk, Qt::LeftButton);
        QCOMPARE(win_->game().progress().totalMoves, 0);
        QVERIFY(!nk->isChecked());
        QVERIFY(!log("ck").contains("PP"));
        QVERIFY(looks() == before);
        finishGlide();
        QVERIFY(looks() == before);
        QTest::mouseClick(pass, Qt::LeftButton);
        QCOMPARE(win_->game().progress().totalMoves, 1);
    }

    // A look held from before a glide, released during it: as in a disabled
    // window the release reaches nothing, so no look is recorded; once the
    // table takes input again the card is covered all the same.
    void aReleaseDuringAGlideRecordsNoLookAndLeavesNoCardUncovered() {
        startGame({}, {}, true);
        dealHand();
        const Table& t = win_->game().table();
        QWidget* canvas = win_->canvas();
        const Ctl hand = cardAt(colorCardView), up = cardAt(upCardView);
        const QPoint onHand = centreOf(t[hand]), onDown = centreOf(t[cardAt(downNumberCardView)]);
        QTest::mousePress(canvas, Qt::RightButton, {}, onHand);
        QVERIFY(t[hand].picture != Picture::Back);
        // The face-up card onto a face-down one: refused, it glides home.
        QTest::mousePress(canvas, Qt::LeftButton, {}, centreOf(t[up]));
        QTest::mouseMove(canvas, onDown);
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, onDown);
        QVERIFY(win_->game().timerRunning(TimerId::Glide));
        const QString before = log("ck");
        QVERIFY(before.contains("pR:"));
        QTest::mouseMove(canvas, onHand);
        QTest::mouseRelease(canvas, Qt::RightButton, {}, onHand);
        QTest::mouseDClick(canvas, Qt::RightButton, {}, onHand);
        QCOMPARE(log("ck"), before);
        finishGlide();
        QVERIFY(t.formEnabled());
        QCoreApplication::processEvents();
        QCOMPARE(t[hand].picture, Picture::Back);
        QCOMPARE(log("ck"), before);
        QCOMPARE(log("nk").count("pL"), 0);
        // Input is back: a look is shown and recorded once.
        QTest::mousePress(canvas, Qt::RightButton, {}, onHand);
        QVERIFY(t[hand].picture != Picture::Back);
        QTest::mouseRelease(canvas, Qt::RightButton, {}, onHand);
        QCOMPARE(t[hand].picture, Picture::Back);
        QCOMPARE(log("ck").count("pL"), 1);
    }

    // The look's button still held when the glide ends: the release comes
    // while the table takes input and the look is recorded. A release whose
    // press fell in the glide ends nothing.
    void aLookHeldThroughAGlideIsRecordedAtItsReleaseAfterIt() {
        startGame({}, {}, true);
        dealHand();
        const Table& t = win_->game().table();
        QWidget* canvas = win_->canvas();
        const Ctl hand = cardAt(colorCardView), up = cardAt(upCardView);
        const QPoint onHand = centreOf(t[hand]);
        QTest::mousePress(canvas, Qt::RightButton, {}, onHand);
        QTest::mousePress(canvas, Qt::LeftButton, {}, centreOf(t[up]));
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(20, 20));
        QVERIFY(!t.formEnabled());
        QTest::mousePress(canvas, Qt::MiddleButton, {}, onHand);
        finishGlide();
        QCoreApplication::processEvents();
        QVERIFY(t[hand].picture != Picture::Back);
        QTest::mouseRelease(canvas, Qt::MiddleButton, {}, onHand);
        QVERIFY(t[hand].picture != Picture::Back);
        QCOMPARE(log("ck").count("pL"), 0);
        QTest::mouseRelease(canvas, Qt::RightButton, {}, onHand);
        QCOMPARE(t[hand].picture, Picture::Back);
        QCOMPARE(log("ck").count("pL"), 1);
    }

    // Space pressed on a focused button before a glide and released during
    // it: the button comes up without acting, as a disabled one does.
    void aKeyReleasedDuringAGlideClicksNoButton() {
        startGame();
        dealHand();
        auto* help = win_->findChild<QPushButton*>("helpButton");
        auto* pass = win_->findChild<QPushButton*>("passButton");
        QSignalSpy helpClicks(help, &QPushButton::clicked), passClicks(pass, &QPushButton::clicked);
        const Table& t = win_->game().table();
        for (QPushButton* button : {help, pass}) {
            QTest::keyPress(button, Qt::Key_Space);
            QVERIFY(button->isDown());
            const Ctl up = cardAt(upCardView);
            QTest::mousePress(win_->canvas(), Qt::LeftButton, {}, centreOf(t[up]));
            QTest::mouseRelease(win_->canvas(), Qt::LeftButton, {}, QPoint(20, 20));
            QVERIFY(!t.formEnabled());
            QVERIFY(!button->isDown());
            QTest::keyRelease(button, Qt::Key_Space);
            QTest::keyClick(button, Qt::Key_Return);
            finishGlide();
            QCoreApplication::processEvents();
            QVERIFY(!button->isDown());
        }
        QCOMPARE(helpClicks.count(), 0);
        QCOMPARE(passClicks.count(), 0);
        QCOMPARE(win_->game().progress().totalMoves, 0);
        QTest::keyClick(help, Qt::Key_Space);
        QCOMPARE(helpClicks.count(), 1);
    }

    // Clicks the table does not take, during a glide, move no focus: the
    // pass button keeps it, and Space once input is back passes.
    void aClickTheTableDropsLeavesTheFocusWhereItWas() {
        startGame();
        dealHand();
        win_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(win_.get()));
        auto* pass = win_->findChild<QPushButton*>("passButton");
        auto* help = win_->findChild<QPushButton*>("helpButton");
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(pass));
        QSignalSpy helpClicks(help, &QPushButton::clicked);
        const Table& t = win_->game().table();
        QTest::mousePress(win_->canvas(), Qt::LeftButton, {}, centreOf(t[cardAt(upCardView)]));
        QTest::mouseRelease(win_->canvas(), Qt::LeftButton, {}, QPoint(20, 20));
        QVERIFY(!t.formEnabled());
        // Through the window system, as the participant's mouse clicks.
        QWindow* window = win_->windowHandle();
        const QList<QWidget*> clicked = {help, win_->findChild<QRadioButton*>("nkTurnIndicator"),
                                         win_->findChild<QPlainTextEdit*>("messagesText"), help};
        for (QWidget* w : clicked) {
            QTest::mouseClick(window, Qt::LeftButton, {}, w->mapTo(win_.get(), w->rect().center()));
            QVERIFY2(QApplication::focusWidget() == pass, qPrintable(w->objectName()));
        }
        finishGlide();
        QVERIFY(t.formEnabled());
        QTest::keyClick(window, Qt::Key_Space);
        QCOMPARE(win_->game().progress().totalMoves, 1);
        QCOMPARE(helpClicks.count(), 0);
        // With input back a click gives the focus as before.
        QTest::mouseClick(window, Qt::LeftButton, {}, help->mapTo(win_.get(), help->rect().center()));
        QCOMPARE(helpClicks.count(), 1);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(help));
    }

    void theBoxAfterTheFourthPassShowsOverTheCounterAt4() {
        startGame();
        dealHand();
        QVERIFY(QTest::qWaitForWindowExposed(win_.get()));
        QCoreApplication::processEvents();
        const Control& box = win_->game().table()[Ctl::MoveCounterBox];
        const QRect counter(box.left, box.top, box.width, box.height);
        // What is on the screen, not what a fresh rendering would show.
        auto onScreen = [&] {
            return win_->screen()
                ->grabWindow(win_->winId(), counter.x(), counter.y(), counter.width(), counter.height())
                .toImage();
        };
        QImage atBox;
        auto* pass = win_->findChild<QPushButton*>("passButton");
        for (int i = 0; i < 3; ++i) QTest::mouseClick(pass, Qt::LeftButton);
        QCoreApplication::processEvents();
        const QImage atThree = onScreen();
        BoxWatch watch([&](QWidget* shown) {
            atBox = onScreen();
            QTimer::singleShot(0, shown, [shown] { QTest::keyClick(shown, Qt::Key_Return); });
        });
        QTest::mouseClick(pass, Qt::LeftButton);
        QVERIFY(!atBox.isNull());
        QCOMPARE(win_->game().progress().totalMoves, 4);
        QCoreApplication::processEvents();
        QVERIFY(atBox != atThree);
        QVERIFY(atBox == onScreen());
    }

    void aWindowManagerCannotMinimiseOrRestoreTheTable() {
        startGame();
        dealHand();
        for (Qt::WindowState asked : {Qt::WindowMinimized, Qt::WindowNoState, Qt::WindowFullScreen}) {
            win_->setWindowState(asked);
            QTRY_COMPARE(win_->windowState(), Qt::WindowMaximized);
            QVERIFY(win_->isVisible());
            QTRY_COMPARE(win_->frameGeometry(), QGuiApplication::primaryScreen()->geometry());
        }
        QVERIFY(!win_->exitRequested());
    }

    // Two attempts for different reasons, however close, are two entries of
    // the run record; one reason again at once (a window manager answering
    // one request twice) is one.
    void eachReasonToTakeTheTableBackIsRecordedHoweverSoon() {
        startGame();
        dealHand();
        const auto reasons = [this] {
            std::vector<std::string> whys;
            for (const auto& kept : win_->game().runRecord().keptInFront) whys.push_back(kept.why);
            return whys;
        };
        const size_t before = reasons().size();
        for (Qt::WindowState asked : {Qt::WindowNoState, Qt::WindowNoState, Qt::WindowMinimized}) {
            win_->setWindowState(asked);
            QTRY_COMPARE(win_->windowState(), Qt::WindowMaximized);
        }
        const std::vector<std::string> whys = reasons();
        QCOMPARE(whys.size(), before + 2);
        QCOMPARE(whys[before], std::string("un-maximised"));
        QCOMPARE(whys[before + 1], std::string("minimised"));
    }

    void tableIsFittedToTheScreenWithTheCatalogueTexts() {
        startGame();
        dealHand();
        const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
        const int A = static_cast<int>(std::trunc(screen.width() / 2.0 - 200));
        const int B = static_cast<int>(std::trunc(screen.height() / 2.0 - 64));
        auto* pass = win_->findChild<QPushButton*>("passButton");
        auto* help = win_->findChild<QPushButton*>("helpButton");
        auto* ck = win_->findChild<QRadioButton*>("ckTurnIndicator");
        auto* nk = win_->findChild<QRadioButton*>("nkTurnIndicator");
        auto* messagesText = win_->findChild<QPlainTextEdit*>("messagesText");
        auto* rulesText = win_->findChild<QPlainTextEdit*>("rulesText");
        QVERIFY(pass && help && ck && nk && messagesText && rulesText);
        QCOMPARE(pass->geometry(), QRect(A + 480, B + 192, 169, 49));
        QCOMPARE(help->geometry(), QRect(A + 480, B + 136, 169, 49));
        QCOMPARE(ck->geometry(), QRect(A + 488, B - 152, 137, 25));
        QCOMPARE(nk->geometry(), QRect(A + 488, B - 128, 137, 25));
        QCOMPARE(messagesText->geometry(), QRect(A - 256, B - 164, 161, 89));
        QCOMPARE(pass->text(), QStringLiteral("Pass"));
        QCOMPARE(ck->text(), QStringLiteral("Colour's turn"));
        QVERIFY(ck->isChecked() && !nk->isChecked());
        QVERIFY(pass->font().bold());
        QCOMPARE(pass->font().pixelSize(), 16);
        QVERIFY(rulesText->isHidden());
        QCOMPARE(rulesText->toPlainText(), QStringLiteral("rule one\nrule two"));
        QVERIFY(win_->findChild<QPushButton*>("secondHelpButton")->isHidden());
        // Labels fit their captions.
        const Control& target = win_->game().table()[Ctl::TargetCaption];
        const QFontMetrics fm(win_->canvas()->labelStyle(Ctl::TargetCaption).font);
        const int advance = fm.horizontalAdvance(QStringLiteral("Target"));
        QVERIFY2(target.width >= advance && target.width <= advance + 1, qPrintable(QString::number(target.width)));
        QCOMPARE(target.height, fm.height());
        const Control& moves = win_->game().table()[Ctl::MoveCounterTitle];
        QVERIFY(moves.width >= QFontMetrics(win_->canvas()->labelStyle(Ctl::MoveCounterTitle).font)
                                   .horizontalAdvance(QStringLiteral("Total moves")));
    }

    void draggingTheUpCardOntoTheOwnHandSwapsThemAndLogsIt() {
        startGame();
        dealHand();
        const Ctl up = cardAt(upCardView), hand = cardAt(colorCardView);
        const Table& t = win_->game().table();
        const QPoint upHome(t[up].left, t[up].top), handHome(t[hand].left, t[hand].top);
        QWidget* canvas = win_->canvas();
        QTest::mousePress(canvas, Qt::LeftButton, {}, centreOf(t[up]));
        QVERIFY(win_->game().dragging());
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::PointingHandCursor);
        const QPoint to = centreOf(t[hand]);
        for (int i = 1; i <= 4; ++i) QTest::mouseMove(canvas, centreOf(t[up]) + (to - centreOf(t[up])) * i / 4);
        QCOMPARE(QPoint(t[up].left, t[up].top), to - QPoint(25, 40));  // held at 25, 40
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, to);
        QVERIFY(!win_->game().dragging());
        QVERIFY(!QGuiApplication::overrideCursor());
        finishGlide();
        QCOMPARE(QPoint(t[up].left, t[up].top), handHome);
        QCOMPARE(QPoint(t[hand].left, t[hand].top), upHome);
        QCOMPARE(cardAt(colorCardView), up);
        const QString ck = log("ck");
        QVERIFY2(ck.contains("pR:3C:upCardView:ColorKeeperRemoved card"), qPrintable(ck));
        QVERIFY(ck.contains("PM:3C;upCardView;2H;colorCardView"));
        QVERIFY(log("nk").contains("RM:3C;upCardView;2H;colorCardView"));
    }

    void aCardDroppedOnThePassButtonGoesHomeWithoutPassing() {
        startGame();
        dealHand();
        const Ctl up = cardAt(upCardView);
        const Table& t = win_->game().table();
        const QPoint home(t[up].left, t[up].top);
        QWindow* window = win_->windowHandle();
        auto* pass = win_->findChild<QPushButton*>("passButton");
        const QPoint onPass = pass->geometry().center();
        QTest::mousePress(window, Qt::LeftButton, {}, centreOf(t[up]));
        QTest::mouseMove(window, (centreOf(t[up]) + onPass) / 2);
        QTest::mouseMove(window, onPass);
        QTest::mouseRelease(window, Qt::LeftButton, {}, onPass);
        finishGlide();
        QCOMPARE(QPoint(t[up].left, t[up].top), home);
        QCOMPARE(win_->game().progress().totalMoves, 0);
        QVERIFY(!log("ck").contains("PP"));
        QVERIFY(win_->game().table().formEnabled());
    }

    void escapeEndsADragAndTheCardGoesHome() {
        startGame();
        dealHand();
        const Ctl up = cardAt(upCardView);
        const Table& t = win_->game().table();
        const QPoint home(t[up].left, t[up].top);
        QTest::mousePress(win_->canvas(), Qt::LeftButton, {}, centreOf(t[up]));
        QTest::mouseMove(win_->canvas(), centreOf(t[up]) - QPoint(60, 90));
        QTest::keyClick(win_.get(), Qt::Key_Escape);
        QVERIFY(!win_->game().dragging());
        QVERIFY(!QGuiApplication::overrideCursor());
        finishGlide();
        QCOMPARE(QPoint(t[up].left, t[up].top), home);
        QVERIFY(t[up].enabled);
        QTest::mouseRelease(win_->canvas(), Qt::LeftButton, {}, centreOf(t[up]));
        QCOMPARE(win_->game().progress().totalMoves, 0);
    }

    void anotherWindowTakingTheFocusEndsADrag() {
        startGame();
        dealHand();
        const Ctl up = cardAt(upCardView);
        const Table& t = win_->game().table();
        const QPoint home(t[up].left, t[up].top);
        QTest::mousePress(win_->canvas(), Qt::LeftButton, {}, centreOf(t[up]));
        QTest::mouseMove(win_->canvas(), centreOf(t[up]) + QPoint(100, 0));
        QEvent deactivate(QEvent::WindowDeactivate);
        QApplication::sendEvent(win_.get(), &deactivate);
        QVERIFY(!win_->game().dragging());
        finishGlide();
        QCOMPARE(QPoint(t[up].left, t[up].top), home);
    }

    void aCloseRequestIsIgnored() {
        startGame();
        dealHand();
        QVERIFY(!win_->close());
        QVERIFY(win_->isVisible());
        QVERIFY(!win_->exitRequested());
    }

    void facesShowRedHeartsAndBlackClubsAndTheBackANavyBorder() {
        for (int number = 2; number <= 4; ++number) {
            const auto hearts = static_cast<Picture>(static_cast<int>(Picture::Face2H) + number - 2);
            const auto clubs = static_cast<Picture>(static_cast<int>(Picture::Face2C) + number - 2);
            const QImage& h = cardPicture(hearts);
            const QImage& c = cardPicture(clubs);
            QCOMPARE(h.size(), QSize(kCardWidth, kCardHeight));
            for (int k = 0; k < number; ++k) {
                const QPoint at = suitSignCentre(number, k).toPoint();
                QVERIFY2(isRed(h.pixel(at)), qPrintable(QString("hearts %1 sign %2").arg(number).arg(k)));
                QVERIFY2(isBlack(c.pixel(at)), qPrintable(QString("clubs %1 sign %2").arg(number).arg(k)));
            }
            // White card between the signs, nothing red on a club.
            QCOMPARE(h.pixel(8, 60), qRgb(255, 255, 255));
            int red = 0;
            for (int y = 0; y < kCardHeight; ++y)
                for (int x = 0; x < kCardWidth; ++x) red += isRed(c.pixel(x, y));
            QCOMPARE(red, 0);
        }
        // The same pictures differ from each other: 2, 3 and 4 signs.
        QVERIFY(cardPicture(Picture::Face2H) != cardPicture(Picture::Face3H));
        QVERIFY(cardPicture(Picture::Face3C) != cardPicture(Picture::Face4C));
        const QImage& back = cardPicture(Picture::Back);
        QCOMPARE(back.pixel(2, 50), kBackNavy);
        QCOMPARE(back.pixel(kCardWidth - 3, 50), kBackNavy);
        QCOMPARE(qAlpha(back.pixel(0, 0)), 0);  // curved corners
        const QImage& icon = helpButtonPicture();
        QCOMPARE(icon.size(), QSize(kHelpIconSize, kHelpIconSize));
        QCOMPARE(icon.pixel(3, 25), qRgb(0, 0, 0));
        QCOMPARE(qAlpha(icon.pixel(0, 0)), 0);
    }

    void aLargeBackFileIsCutAtTheCard() {
        // Green where a card can show it, red beyond: no red may appear.
        startGame(bmp(100, 150, [](int x, int y) { return x < 75 && y < 107 ? qRgb(0, 200, 0) : qRgb(255, 0, 0); }));
        dealHand();
        const Control& down = win_->game().table()[cardAt(downColorCardView)];
        const QImage shot = canvasShot();
        QCOMPARE(shot.pixel(down.left, down.top), qRgb(0, 200, 0));
        QCOMPARE(shot.pixel(down.left + 74, down.top + 106), qRgb(0, 200, 0));
        QVERIFY(!isRed(shot.pixel(down.left + 75, down.top + 50)));
        QVERIFY(!isRed(shot.pixel(down.left + 30, down.top + 107)));
    }

    void aSmallBackFileLeavesTheRestOfTheCardUnpainted() {
        startGame(bmp(30, 40, [](int, int) { return qRgb(0, 0, 255); }));
        dealHand();
        const Control& down = win_->game().table()[cardAt(downColorCardView)];
        const QImage shot = canvasShot();
        QCOMPARE(shot.pixel(down.left + 10, down.top + 10), qRgb(0, 0, 255));
        // Beyond the picture the frame's fill shows through.
        QCOMPARE(shot.pixel(down.left + 50, down.top + 80), TableCanvas::menuColour().rgb());
    }

    void theBackgroundPictureIsStretchedBehindTheTable() {
        startGame({}, bmp(4, 4, [](int x, int) { return x < 2 ? qRgb(200, 100, 0) : qRgb(0, 100, 200); }));
        dealHand();
        const Control& bg = win_->game().table()[Ctl::Background];
        QVERIFY(bg.visible);
        const QImage shot = canvasShot();
        QCOMPARE(shot.pixel(2, 2), qRgb(200, 100, 0));
        QCOMPARE(shot.pixel(bg.width - 3, 2), qRgb(0, 100, 200));
    }
};

QTEST_MAIN(TestTableWindow)
#include "test_table_window.moc"
