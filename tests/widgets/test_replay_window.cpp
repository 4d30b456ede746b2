// qbxreplay on a session played headless to its end: the window shows the
// engine's table at every action it is taken to, by the bar, the keys and
// the time line; bad inputs are named; a hand exported is a valid animated
// PNG whose first frame is the table as drawn.

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

#include <filesystem>
#include <memory>

#include "core/game/TableState.h"
#include "desktop/replay/ApngWriter.h"
#include "desktop/replay/HandExport.h"
#include "desktop/replay/ReplayTable.h"
#include "desktop/replay/ReplayWindow.h"
#include "desktop/replay/SessionFiles.h"
#include "desktop/replay/TimeLine.h"
#include "desktop/widgets/Fonts.h"
#include "desktop/widgets/Text.h"
#include "support/ScriptedPlay.h"

using namespace qbx;
using namespace qbx::replayview;
using replay::SessionReplay;

namespace {

constexpr const char* kSession = "071226_4242";

// The CRC of PNG chunks, bit by bit: the writer's table must agree with it.
uint32_t slowCrc(const QByteArray& bytes) {
    uint32_t c = 0xFFFFFFFFU;
    for (char b : bytes) {
        c ^= uint8_t(b);
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320U ^ (c >> 1) : c >> 1;
    }
    return ~c;
}

uint32_t be32(const QByteArray& b, qsizetype at) {
    return uint32_t(uint8_t(b[at])) << 24 | uint32_t(uint8_t(b[at + 1])) << 16 | uint32_t(uint8_t(b[at + 2])) << 8 |
           uint32_t(uint8_t(b[at + 3]));
}

struct Chunk {
    QByteArray type, data;
    bool crcRight = false;
};

std::vector<Chunk> chunksOf(const QByteArray& png) {
    std::vector<Chunk> out;
    for (qsizetype at = 8; at + 12 <= png.size();) {
        const uint32_t length = be32(png, at);
        Chunk c;
        c.type = png.mid(at + 4, 4);
        c.data = png.mid(at + 8, length);
        c.crcRight = be32(png, at + 8 + length) == slowCrc(png.mid(at + 4, 4 + length));
        out.push_back(c);
        at += 12 + qsizetype(length);
    }
    return out;
}

}  // namespace

class TestReplayWindow : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<test::WorkDir> dir_;
    SessionFiles files_;

    std::unique_ptr<SessionReplay> open() {
        std::string error;
        auto r = SessionReplay::open(files_.logs, files_.screen, error);
        if (!r) qWarning("%s", error.c_str());
        return r;
    }

    // The table a replay of its own shows after `action`, as text and as drawn.
    std::pair<std::string, QImage> reference(size_t action) {
        auto r = open();
        r->showAction(action);
        ReplayTable table(files_.screen);
        table.follow(*r);
        return {tableStateText(r->game()), table.render()};
    }

    void expectShows(ReplayWindow& w, size_t action) {
        QCOMPARE(w.replay().actionsApplied(), action + 1);
        const auto [text, image] = reference(action);
        QCOMPARE(tableStateText(w.replay().game()), text);
        QVERIFY(w.stage()->shownTable() == image);
    }

    std::unique_ptr<ReplayWindow> window() {
        auto w = std::make_unique<ReplayWindow>(open(), files_);
        w->resize(1200, 900);
        return w;
    }

    int runProgram(const QStringList& args, QString* err = nullptr, QByteArray* out = nullptr,
                   const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(QString::fromStdString(dir_->path()));
        p.start(QStringLiteral(QBXREPLAY_PROGRAM), args);
        if (!p.waitForFinished(60000)) return -1;
        if (err) *err = QString::fromUtf8(p.readAllStandardError());
        if (out) *out = p.readAllStandardOutput();
        return p.exitCode();
    }

    static QByteArray bytesOf(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void initTestCase() {
        installFontSubstitutions();
        // A session of three hands played to its end, its logs, run record
        // and saved setup in dataout.
        dir_ = std::make_unique<test::WorkDir>();
        test::writeScriptedSetup(*dir_, 3, 7);
        {
            test::Session s;
            test::startScripted(s);
            test::ScriptedPlay play(s);
            play.playToEnd();
            QVERIFY(s.platform.terminated);
        }
        std::string error;
        QVERIFY2(findSessionFiles({dir_->path() + "/dataout", kSession}, "", files_, error), error.c_str());
        QVERIFY(files_.workDir.find("setups") != std::string::npos);
    }

    void cleanupTestCase() { dir_.reset(); }

    void stepsJumpsAndKeysShowTheEnginesTable() {
        auto w = window();
        const auto& actions = w->replay().actions();
        QVERIFY(actions.size() > 10);
        QCOMPARE(w->replay().hands(), 3);
        for (int i = 0; i < 6; ++i) w->stepForward();
        expectShows(*w, 6);
        w->stepBack();
        w->stepBack();
        expectShows(*w, 4);
        w->jumpToHand(2);
        expectShows(*w, w->replay().firstActionOfHand(2));
        QCOMPARE(w->replay().actions()[w->replay().actionsApplied() - 1].kind, replay::ActionKind::Deal);
        // Back across a hand: the engine starts again, the view follows.
        w->jumpToHand(1);
        expectShows(*w, w->replay().firstActionOfHand(1));
        QTest::keyClick(w.get(), Qt::Key_End);
        expectShows(*w, actions.size() - 1);
        QTest::keyClick(w.get(), Qt::Key_Left);
        expectShows(*w, actions.size() - 2);
        QTest::keyClick(w.get(), Qt::Key_Home);
        expectShows(*w, 0);
        QTest::keyClick(w.get(), Qt::Key_Right);
        expectShows(*w, 1);
    }

    void aClickOnTheTimeLineGoesToTheMarksAction() {
        auto w = window();
        w->show();
        TimeLine* line = w->timeLine();
        const auto& actions = w->replay().actions();
        // A move or pass well into the session whose mark stands alone.
        size_t chosen = actions.size();
        for (size_t i = actions.size() / 2; i < actions.size() && chosen == actions.size(); ++i)
            if (actions[i].kind == replay::ActionKind::Pass && line->actionAt(line->xOf(actions[i].atMs)) == i)
                chosen = i;
        QVERIFY(chosen < actions.size());
        QTest::mouseClick(line, Qt::LeftButton, {}, QPoint(line->xOf(actions[chosen].atMs) + 1, line->height() / 2));
        expectShows(*w, chosen);
        QCOMPARE(w->replay().nowMs(), actions[chosen].atMs);
        QCOMPARE(line->now(), actions[chosen].atMs);
    }

    void theTitleNamesSessionParticipantHandAndTime() {
        QCOMPARE(sessionTime(0), QStringLiteral("00:00.0"));
        QCOMPARE(sessionTime(161'299), QStringLiteral("02:41.2"));
        QCOMPARE(sessionTime(3'600'000 + 161'200), QStringLiteral("1:02:41.2"));
        auto w = window();
        w->jumpToHand(3);
        const QString expected = QStringLiteral("%1 — SOAK — hand 3 — %2 — QBXSolo replay")
                                     .arg(QString::fromLatin1(kSession), sessionTime(w->replay().nowMs()));
        QCOMPARE(w->titleText(), expected);
        QCOMPARE(w->windowTitle(), expected);
        // The bar names the action shown and where its records are.
        const replay::Action& deal = w->replay().actions()[w->replay().actionsApplied() - 1];
        QCOMPARE(w->actionText(), QStringLiteral("%1/%2 deal of hand 3 · %3 line %4")
                                      .arg(w->replay().actionsApplied())
                                      .arg(w->replay().actions().size())
                                      .arg(QString::fromStdString(deal.file))
                                      .arg(deal.line));
        QVERIFY(deal.line > 5);
        QVERIFY(w->problemText().isEmpty());
        // On a smaller window the table is scaled down, keeping its shape.
        w->resize(640, 600);
        w->show();
        QTRY_VERIFY(w->stage()->width() < files_.screen.width);
        const QRect area = w->stage()->tableArea();
        QVERIFY(area.width() <= w->stage()->width() && area.height() <= w->stage()->height());
        QVERIFY(std::abs(area.width() * files_.screen.height - area.height() * files_.screen.width) <=
                files_.screen.width + files_.screen.height);
    }

    void playingAtSixteenTimesReachesTheEnd() {
        auto w = window();
        w->show();
        w->setSpeed(16);
        w->play();
        QVERIFY(w->playing());
        QTRY_VERIFY_WITH_TIMEOUT(!w->playing(), 90000);
        QCOMPARE(w->replay().actionsApplied(), w->replay().actions().size());
        QCOMPARE(w->replay().nowMs(), w->replay().durationMs());
        // The last hand's end is shown, as a banner, not a box.
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }

    void badInputsAreNamed() {
        const QString dataout = QString::fromStdString(dir_->path()) + "/dataout";
        QTemporaryDir scratch;
        auto copyLog = [&](const QString& name, const QString& to) {
            QVERIFY(QFile::copy(dataout + "/" + name, scratch.filePath(to)));
        };
        auto failsWith = [&](std::vector<std::string> names, const std::string& setup, const char* words) {
            SessionFiles f;
            std::string error;
            QVERIFY(!findSessionFiles(names, setup, f, error));
            QVERIFY2(error.find(words) != std::string::npos, error.c_str());
        };
        // A log without its partner; a file that is no log; no such file.
        copyLog(QStringLiteral("ck071226_4242.txt"), QStringLiteral("ck071226_4242.txt"));
        failsWith({toBytes(scratch.filePath("ck071226_4242.txt"))}, "", "missing: a session is replayed from both");
        copyLog(QStringLiteral("ck071226_4242.txt"), QStringLiteral("notes.txt"));
        failsWith({toBytes(scratch.filePath("notes.txt"))}, "", "not a log");
        failsWith({toBytes(scratch.filePath("ck010101_1.txt"))}, "", "no such file");
        // Both logs but no run record, and no --setup.
        copyLog(QStringLiteral("nk071226_4242.txt"), QStringLiteral("nk071226_4242.txt"));
        failsWith({toBytes(scratch.path()), kSession}, "", "no run record");
        // The run record, but not the setup it saved.
        QVERIFY(QFile::copy(dataout + "/run071226_4242.json", scratch.filePath("run071226_4242.json")));
        failsWith({toBytes(scratch.path()), kSession}, "", "is missing: give the experiment's folder");
        // --setup that holds no setup.
        failsWith({toBytes(scratch.path()), kSession}, toBytes(scratch.path()), "neither a folder holding setup/");
        // With the experiment's folder given, it opens.
        SessionFiles given;
        std::string error;
        QVERIFY2(findSessionFiles({toBytes(scratch.path()), kSession}, dir_->path(), given, error), error.c_str());
        QCOMPARE(given.workDir, dir_->path());
        QCOMPARE(given.logs.ckBytes, files_.logs.ckBytes);
    }

    void aRecordTheRulesDoNotGiveIsNamedOnceReached() {
        QTemporaryDir scratch;
        const QString dataout = QString::fromStdString(dir_->path()) + "/dataout";
        // The first hand's end with a score the rules do not give, in both
        // logs alike.
        for (const QString& name : {QStringLiteral("ck071226_4242.txt"), QStringLiteral("nk071226_4242.txt")}) {
            QByteArray log = bytesOf(dataout + "/" + name);
            const qsizetype end = log.indexOf(":GP:");
            QVERIFY(end > 0);
            log.insert(log.indexOf(';', end) + 1, '1');
            QFile out(scratch.filePath(name));
            QVERIFY(out.open(QIODevice::WriteOnly) && out.write(log) == log.size());
        }

        SessionFiles altered;
        std::string error;
        QVERIFY(findSessionFiles({toBytes(scratch.filePath("ck071226_4242.txt"))}, dir_->path(), altered, error));
        ReplayWindow w(SessionReplay::open(altered.logs, altered.screen, error), altered);
        // The action that ended the first hand.
        size_t move = 0;
        const auto& actions = w.replay().actions();
        while (move < actions.size() && !actions[move].endsHand) ++move;
        QVERIFY(move < actions.size());
        w.goToAction(move - 1);
        QVERIFY2(w.problemText().isEmpty(), qPrintable(w.problemText()));
        // The engine holds an action's records against the logs as the next
        // one comes: the line shows from then on, naming the hand's end.
        w.stepForward();
        w.stepForward();
        QVERIFY2(w.problemText().contains("nk071226_4242.txt line"), qPrintable(w.problemText()));
        QCOMPARE(w.replay().problems().back().action, move);
        QVERIFY2(w.problemText().contains("GP:"), qPrintable(w.problemText()));
        const std::string& ckProblem = w.replay().problems().front().what;
        QVERIFY2(ckProblem.rfind("ck071226_4242.txt line", 0) == 0 && ckProblem.find("GP:") != std::string::npos,
                 ckProblem.c_str());
        // The replay goes on to the end.
        QTest::keyClick(&w, Qt::Key_End);
        QCOMPARE(w.replay().actionsApplied(), actions.size());
    }

    void theProgramSaysWhatIsWrongAndExitsWithTwo() {
        QTemporaryDir scratch;
        QFile::copy(QString::fromStdString(dir_->path()) + "/dataout/ck071226_4242.txt",
                    scratch.filePath("ck071226_4242.txt"));
        QString err;
        QCOMPARE(runProgram({scratch.filePath("ck071226_4242.txt"), "--snapshot", "1", "--out", "x.png"}, &err), 2);
        QVERIFY2(err.contains("nk071226_4242.txt: missing"), qPrintable(err));
        // A log cut to nothing but a line that is no record cannot be replayed.
        QFile cut(scratch.filePath("nk071226_4242.txt"));
        QVERIFY(cut.open(QIODevice::WriteOnly));
        cut.write("garbage\r\n");
        cut.close();
        QCOMPARE(runProgram({scratch.filePath("ck071226_4242.txt"), "--setup", QString::fromStdString(dir_->path()),
                             "--snapshot", "1", "--out", "x.png"},
                            &err),
                 2);
        QVERIFY2(err.contains("cannot be replayed"), qPrintable(err));
        QCOMPARE(runProgram({"dataout", kSession, "--export-hand", "9", "--apng", scratch.filePath("h.png")}, &err), 2);
        QVERIFY2(err.contains("no hand 9"), qPrintable(err));
        QVERIFY(!QFile::exists(scratch.filePath("h.png")));
    }

    // An export is held to the guard of qbxtool's outputs: never a log, the
    // setup or the logs' folder, never through a link or over a pipe, with
    // --force or without; an existing picture is replaced only with --force.
    void anExportNeverTakesThePlaceOfWhatIsRead() {
        const QString work = QString::fromStdString(dir_->path());
        QTemporaryDir scratch;
        const QString log = work + "/dataout/ck071226_4242.txt", shoe = work + "/setup/shoe.txt";
        const QByteArray logBytes = bytesOf(log), shoeBytes = bytesOf(shoe);
        const QString target = scratch.filePath("target.png"), outside = scratch.filePath("outside.png");
        QFile t(target);
        QVERIFY(t.open(QIODevice::WriteOnly) && t.write("keep") == 4);
        t.close();
        QVERIFY(QFile::link(target, scratch.filePath("l.png")));
        QVERIFY(QDir(scratch.path()).mkdir("fr"));
        QVERIFY(QFile::link(outside, scratch.filePath("fr/frame00002.png")));
        const std::string fifo = toBytes(scratch.filePath("p.png"));
        QCOMPARE(::mkfifo(fifo.c_str(), 0600), 0);

        const QStringList hand1{"dataout", kSession, "--export-hand", "1"};
        const QStringList shot3{"dataout", kSession, "--snapshot", "3", "--out"};
        const std::vector<std::pair<QStringList, QString>> cases = {
            {hand1 + QStringList{"--apng", "dataout/ck071226_4242.txt"}, "event log"},
            {shot3 + QStringList{"setup/shoe.txt"}, "a folder being read"},
            {hand1 + QStringList{"--frames", "dataout"}, "a folder being read"},
            {hand1 + QStringList{"--apng", scratch.filePath("l.png")}, "a link"},
            {hand1 + QStringList{"--frames", scratch.filePath("fr")}, "a link"},
            {hand1 + QStringList{"--apng", scratch.filePath("p.png")}, "not a regular file"},
        };
        for (const auto& [args, said] : cases)
            for (const QStringList& force : {QStringList{}, QStringList{"--force"}}) {
                QString err;
                QCOMPARE(runProgram(args + force, &err), 2);
                QVERIFY2(err.contains(said), qPrintable(args.join(' ') + ": " + err));
            }
        QCOMPARE(bytesOf(log), logBytes);
        QCOMPARE(bytesOf(shoe), shoeBytes);
        QVERIFY(QDir(work + "/dataout").entryList({"frame*"}).isEmpty());
        QCOMPARE(bytesOf(target), QByteArray("keep"));
        QVERIFY(QFileInfo(scratch.filePath("l.png")).isSymLink());
        QVERIFY(!QFile::exists(outside));
        QVERIFY(!QFile::exists(scratch.filePath("fr/frame00001.png")));
        QVERIFY(std::filesystem::is_fifo(fifo));

        const QString old = scratch.filePath("old.png");
        QVERIFY(QFile::copy(target, old));
        QString err;
        QCOMPARE(runProgram(shot3 + QStringList{old}, &err), 2);
        QVERIFY2(err.contains("exists already"), qPrintable(err));
        QCOMPARE(bytesOf(old), QByteArray("keep"));
        QCOMPARE(runProgram(shot3 + QStringList{old, "--force"}, &err), 0);
        QVERIFY(!QImage(old).isNull());
        // Standard output takes a picture as it is.
        QByteArray png;
        QCOMPARE(runProgram(shot3 + QStringList{"-"}, &err, &png), 0);
        QCOMPARE(png, bytesOf(old));
    }

    void theSnapshotIsTheTableAtItsOwnSize() {
        QTemporaryDir scratch;
        const QString out = scratch.filePath("shot.png");
        QString err;
        QCOMPARE(runProgram({"dataout", kSession, "--snapshot", "9", "--out", out}, &err), 0);
        const QImage shot(out);
        QCOMPARE(shot.size(), QSize(files_.screen.width, files_.screen.height));
        QVERIFY(shot.convertToFormat(QImage::Format_RGB32) == reference(9).second);
    }

    // A snapshot is the table as the participant saw it: before the first
    // deal the table as it first shows, nothing at the top left; after a
    // swap the card that glides back drawn at its place.
    void aSnapshotShowsEveryCardTheParticipantSaw() {
        QTemporaryDir scratch;
        QString err;
        const QString start = scratch.filePath("start.png");
        QCOMPARE(runProgram({"dataout", kSession, "--snapshot", "0", "--out", start}, &err), 0);
        const QImage first = QImage(start).convertToFormat(QImage::Format_RGB32);
        QVERIFY(first == reference(0).second);
        const QRgb background = first.pixel(first.width() - 1, first.height() - 1);
        QCOMPARE(first.pixel(10, 10), background);
        QCOMPARE(first.pixel(80, 110), background);
        {
            auto r = open();
            r->showAction(0);
            const Control& deck = r->game().table()[Ctl::DeckCard];
            QVERIFY(first.pixel(deck.left + 37, deck.top + 53) != background);
        }

        auto r = open();
        int swaps = 0;
        for (size_t k = 0; k < r->actions().size() && swaps < 3; ++k) {
            const replay::Action& act = r->actions()[k];
            if (act.kind != replay::ActionKind::Move) continue;
            ++swaps;
            // The place the card dropped on glides from to where the drag
            // began: empty at the drop, drawn once the glide is over.
            r->jumpToAction(k);
            const int x = cardCentreX(r->game(), act.from) - 37, y = cardCentreY(r->game(), act.from) - 53;
            ReplayTable atDrop(files_.screen);
            atDrop.follow(*r);
            const QString out = scratch.filePath(QStringLiteral("swap%1.png").arg(k));
            QCOMPARE(runProgram({"dataout", kSession, "--snapshot", QString::number(k), "--out", out}, &err), 0);
            const QImage shot = QImage(out).convertToFormat(QImage::Format_RGB32);
            QVERIFY(shot == reference(k).second);
            QVERIFY2(shot.copy(x, y, 75, 107) != atDrop.render().copy(x, y, 75, 107), qPrintable(out));
        }
        QCOMPARE(swaps, 3);
    }

    // Logs that are not the two of one session are refused as verify finds
    // them, where they part, naming both files; a headless run tells nothing
    // a user cannot act on.
    void aPairOfTwoSessionsIsRefusedAndNothingElseIsSaid() {
        QTemporaryDir scratch;
        const QString dataout = QString::fromStdString(dir_->path()) + "/dataout";
        QVERIFY(QFile::copy(dataout + "/ck071226_4242.txt", scratch.filePath("ck071226_4242.txt")));
        QByteArray nk = bytesOf(dataout + "/nk071226_4242.txt");
        nk.replace("28800.0:", "28801.0:");
        QFile out(scratch.filePath("nk071226_4242.txt"));
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(nk) == nk.size());
        out.close();
        QString err;
        const QString work = QString::fromStdString(dir_->path());
        QTemporaryDir outputs;
        QCOMPARE(runProgram({scratch.filePath("ck071226_4242.txt"), "--setup", work, "--snapshot", "1", "--out",
                             outputs.filePath("x.png")},
                            &err),
                 2);
        QVERIFY2(err.contains("ck071226_4242.txt and nk071226_4242.txt are not the two logs of one session: the "
                              "time stamps differ at ck071226_4242.txt line 1 and nk071226_4242.txt line 1"),
                 qPrintable(err));
        QVERIFY(!QFile::exists(outputs.filePath("x.png")));

        QProcessEnvironment bare = QProcessEnvironment::systemEnvironment();
        bare.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        QByteArray png;
        QCOMPARE(runProgram({"dataout", kSession, "--snapshot", "4", "--out", "-"}, &err, &png, bare), 0);
        QCOMPARE(err, QString());
        QVERIFY(png.startsWith("\x89PNG"));
    }

    // One stamp damaged puts the rest of a log a day on: the hands it
    // reaches are refused with the reason, at once; the others export.
    void aHandItsLogsPlaceADayApartIsRefused() {
        QTemporaryDir scratch;
        const QString dataout = QString::fromStdString(dir_->path()) + "/dataout";
        QVERIFY(QFile::copy(dataout + "/nk071226_4242.txt", scratch.filePath("nk071226_4242.txt")));
        QByteArray ck = bytesOf(dataout + "/ck071226_4242.txt");
        auto r = open();
        const size_t deal = r->firstActionOfHand(3);
        size_t pickUp = deal;
        while (pickUp < r->actions().size() && !(r->actions()[pickUp].kind == replay::ActionKind::PickUp &&
                                                 r->actions()[pickUp].file == "ck071226_4242.txt"))
            ++pickUp;
        QVERIFY(pickUp < r->actions().size());
        const QByteArray line = r->actions()[pickUp].records.front().c_str();
        const qsizetype dot = line.indexOf('.');
        const QByteArray late = QByteArray::number(line.left(dot).toLongLong() + 13 * 3600);
        QByteArray damaged = line;
        damaged.replace(0, dot, late);
        damaged.replace(damaged.indexOf(':') + 1, dot, late);
        QVERIFY(ck.contains(line));
        ck.replace(line, damaged);
        QFile out(scratch.filePath("ck071226_4242.txt"));
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(ck) == ck.size());
        out.close();
        const QString work = QString::fromStdString(dir_->path());
        QString err;
        QTemporaryDir outputs;
        QCOMPARE(runProgram({scratch.filePath("ck071226_4242.txt"), "--setup", work, "--export-hand", "3", "--apng",
                             outputs.filePath("h3.png")},
                            &err),
                 2);
        QVERIFY2(err.contains("hand 3 of session 071226_4242 cannot be played in time: ck071226_4242.txt line "),
                 qPrintable(err));
        QVERIFY2(err.contains(" apart: "), qPrintable(err));
        QVERIFY(!QFile::exists(outputs.filePath("h3.png")));
        QCOMPARE(runProgram({scratch.filePath("ck071226_4242.txt"), "--setup", work, "--export-hand", "2", "--apng",
                             outputs.filePath("h2.png")},
                            &err),
                 0);
        QVERIFY(!QImage(outputs.filePath("h2.png")).isNull());
    }

    void theWriterKeepsOnlyWhatChanged() {
        QImage a(40, 30, QImage::Format_RGB32);
        a.fill(Qt::white);
        QImage b = a;
        b.setPixel(17, 9, qRgb(200, 0, 0));
        ApngWriter w;
        QVERIFY(w.addFrame(a, 40));
        QVERIFY(w.addFrame(a, 40));  // the same again: the first shows longer
        QVERIFY(w.addFrame(b, 40));
        QVERIFY(!w.addFrame(QImage(41, 30, QImage::Format_RGB32), 40));
        QVERIFY(w.addFrame(b, 65535));  // longer than a frame may say: one more
        QCOMPARE(w.frames(), 3);
        std::vector<QByteArray> controls;
        for (const Chunk& c : chunksOf(w.bytes()))
            if (c.type == "fcTL") controls.push_back(c.data);
        QCOMPARE(int(controls.size()), 3);
        auto delay = [](const QByteArray& fc) { return (uint8_t(fc[20]) << 8) | uint8_t(fc[21]); };
        QCOMPARE(delay(controls[0]), 80);
        // The changed pixel alone, where it lies.
        QCOMPARE(be32(controls[1], 4), 1U);
        QCOMPARE(be32(controls[1], 8), 1U);
        QCOMPARE(be32(controls[1], 12), 17U);
        QCOMPARE(be32(controls[1], 16), 9U);
        QCOMPARE(delay(controls[1]) + delay(controls[2]), 40 + 65535);
    }

    void anExportedHandIsAValidAnimatedPng() {
        QCOMPARE(crc32(reinterpret_cast<const uint8_t*>("123456789"), 9), 0xCBF43926U);
        QTemporaryDir scratch;
        const std::string path = toBytes(scratch.filePath("hand2.png"));
        auto r = open();
        ReplayTable table(files_.screen);
        std::string error;
        int frames = 0;
        QVERIFY2(exportHandApng(*r, table, 2, 20, path, error, &frames), error.c_str());
        QVERIFY(frames > 5);
        // No frame is drawn while the table stands still: fewer than one
        // for every 50 ms the hand shows.
        {
            const auto& acts = r->actions();
            const long long span = acts[r->firstActionOfHand(3) - 1].atMs - acts[r->firstActionOfHand(2)].atMs;
            QVERIFY2(frames < span / 50, qPrintable(QString::number(frames)));
        }

        QFile f(QString::fromStdString(path));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray png = f.readAll();
        QVERIFY(png.startsWith(QByteArray("\x89PNG\r\n\x1a\n", 8)));
        const std::vector<Chunk> chunks = chunksOf(png);
        QCOMPARE(chunks.front().type, QByteArray("IHDR"));
        QCOMPARE(chunks[1].type, QByteArray("acTL"));
        QCOMPARE(chunks.back().type, QByteArray("IEND"));
        QCOMPARE(int(be32(chunks[1].data, 0)), frames);
        uint32_t sequence = 0;
        int controls = 0;
        for (const Chunk& c : chunks) {
            QVERIFY2(c.crcRight, c.type.constData());
            if (c.type == "fcTL" || c.type == "fdAT") QCOMPARE(be32(c.data, 0), sequence++);
            if (c.type == "fcTL") {
                ++controls;
                // Each frame lies within the picture.
                QVERIFY(be32(c.data, 12) + be32(c.data, 4) <= uint32_t(files_.screen.width));
                QVERIFY(be32(c.data, 16) + be32(c.data, 8) <= uint32_t(files_.screen.height));
            }
        }
        QCOMPARE(controls, frames);
        // From its deal's first step (seven steps of 302 ms before the hand
        // lies) to the end of its last action, and not into the next deal.
        long long shownMs = 0;
        for (const Chunk& c : chunks)
            if (c.type == "fcTL") shownMs += (uint8_t(c.data[20]) << 8) | uint8_t(c.data[21]);
        const auto& actions = r->actions();
        const size_t deal = r->firstActionOfHand(2), next = r->firstActionOfHand(3);
        QVERIFY2(shownMs >= actions[next - 1].atMs - actions[deal].atMs + 2000, qPrintable(QString::number(shownMs)));
        QVERIFY2(shownMs < actions[next].atMs - actions[deal - 1].atMs, qPrintable(QString::number(shownMs)));

        // A viewer without animation shows the first frame: the table as drawn.
        QImage first;
        auto again = open();
        ReplayTable table2(files_.screen);
        playHand(
            *again, table2, 2, 20,
            [&](const QImage& image, int) {
                first = image;
                return false;  // the first is enough
            },
            error);
        QVERIFY(!first.isNull());
        QVERIFY(QImage(QString::fromStdString(path)).convertToFormat(QImage::Format_RGB32) == first);
    }
};

QTEST_MAIN(TestReplayWindow)
#include "test_replay_window.moc"
