#include "desktop/check/MachineCheckRun.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QResource>
#include <QScreen>
#include <QSysInfo>
#include <QThread>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <QProcess>
#endif
#ifdef QBX_HAVE_XCB
#include <xcb/xcb.h>
#endif

#include "core/machinecheck/MachineCheck.h"
#include "core/output/OutputGuard.h"
#include "core/runrecord/RunRecord.h"
#include "core/session/SessionTime.h"
#include "core/platform/System.h"
#include "core/text/Encoding.h"
#include "desktop/check/InputSender.h"
#include "desktop/check/TraceFigures.h"
#include "desktop/help/HelpWindow.h"
#include "desktop/login/LoginWindow.h"
#include "desktop/table/TableWindow.h"
#include "desktop/table/Trace.h"
#include "desktop/widgets/Fonts.h"
#include "desktop/widgets/MessageBox.h"
#include "desktop/widgets/QtMessages.h"
#include "desktop/windowsystem/WindowManager.h"

namespace qbx {

namespace {

namespace mc = machinecheck;

constexpr const char* kUsage =
    "usage: qbxsolo --check-machine [DIR] [-o PAGE] [--json FILE] [--force]\n"
    "\n"
    "Plays a short scripted game at the real table, in a temporary folder of\n"
    "its own with the example setup, and says whether this machine is fit to\n"
    "run sessions. DIR is the folder whose disk will hold dataout (default: the\n"
    "working directory); a few durable records are written and removed there.\n"
    "  -o PAGE      write the results as a self-contained HTML page\n"
    "  --json FILE  write every figure as JSON\n"
    "  --force      replace an existing PAGE or FILE\n"
    "Exit status: 0 fit, 1 a figure not fit or not measured, 2 the check could not run.\n";

// Durable records written in DIR: enough for a 99th percentile.
constexpr int kDurableRecords = 200;
// Hands played: the header line of the shoe and this many.
constexpr int kHands = 5;
// The whole check gives up on the game after this long.
constexpr int kGameLimitMs = 60'000;
// How long a table taken away has to come back, and to stay there.
constexpr int kComeBackMs = 2'000;
constexpr int kHeldMs = 250;

struct Options {
    std::string folder = ".";
    std::string page, json;
    bool force = false, help = false;
};

void say(const std::string& text) {
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
}

void complain(const std::string& text) {
    const std::string line = "qbxsolo: " + shownText(text) + "\n";
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

bool parseOptions(int argc, char** argv, Options& options, std::string& error) {
    bool folderGiven = false;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-o" || arg == "--json") {
            if (i + 1 >= argc) {
                error = arg + " needs a file name";
                return false;
            }
            (arg == "-o" ? options.page : options.json) = argv[++i];
        } else if (arg == "--force") {
            options.force = true;
        } else if (arg == "-h" || arg == "--help") {
            options.help = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + arg;
            return false;
        } else if (!folderGiven) {
            options.folder = arg;
            folderGiven = true;
        } else {
            error = "one folder only, not also " + arg;
            return false;
        }
    }
    return true;
}

#ifdef _WIN32
// A program of the Windows subsystem has no console: the check's lines go
// to the console it was started from, when there is one.
void useParentConsole() {
    if (GetStdHandle(STD_OUTPUT_HANDLE) != nullptr && GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) != FILE_TYPE_UNKNOWN)
        return;
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
    std::freopen("CONOUT$", "w", stdout);
    std::freopen("CONOUT$", "w", stderr);
}
#endif

// Why no window can be shown; empty when one can.
std::string displayMissing() {
#if defined(QBX_HAVE_XCB)
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith("xcb")) return {};
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return "no display: DISPLAY is not set (run the check on the machine's own desktop)";
    if (!qEnvironmentVariableIsEmpty("DISPLAY")) {
        xcb_connection_t* c = xcb_connect(nullptr, nullptr);
        const bool failed = xcb_connection_has_error(c) != 0;
        xcb_disconnect(c);
        if (failed)
            return "no display: the X display " + qEnvironmentVariable("DISPLAY").toStdString() + " cannot be reached";
    }
#endif
    return {};
}

// The example setup, carried in the program, copied where the game plays.
bool writeExampleSetup(const QString& folder, std::string& error) {
    if (!QDir(folder).mkpath(QStringLiteral("setup")) || !QDir(folder).mkpath(QStringLiteral("dataout"))) {
        error = "cannot make the check's folders in " + folder.toStdString();
        return false;
    }
    QDirIterator files(QStringLiteral(":/check/setup"), QDir::Files);
    int copied = 0;
    while (files.hasNext()) {
        const QString from = files.next();
        // Written here, not by QFile::copy: its temporary name comes from the
        // random generator that faults in the static Qt for Windows.
        const QByteArray bytes = QResource(from).uncompressedData();
        const std::string to = (folder + QStringLiteral("/setup/") + QFileInfo(from).fileName()).toStdString();
        if (!sys::replaceWholeFile(to, std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())), error,
                                   false))
            return false;
        ++copied;
    }
    if (copied == 0) {
        error = "this program carries no example setup";
        return false;
    }
    // The first hands of the example's shoe: enough deals and actions for
    // the figures, within a minute.
    const std::string shoe = folder.toStdString() + "/setup/shoe.txt";
    std::string text;
    if (!sys::readWholeFile(shoe, text, error)) return false;
    size_t end = 0;
    for (int line = 0; line <= kHands && end != std::string::npos; ++line) {
        end = text.find('\n', end);
        if (end != std::string::npos) ++end;
    }
    if (end != std::string::npos) text.resize(end);
    return sys::replaceWholeFile(shoe, text, error);
}

// The check's own folder in the system's temporary folder, new and private,
// removed with everything in it at the end. (Not QTemporaryDir: its name
// comes from Qt's global random generator, which faults in the static Qt
// for Windows.)
class CheckFolder {
public:
    ~CheckFolder() {
        if (!path_.isEmpty()) sys::removeTree(path_.toStdString());
    }
    bool make(std::string& error) {
        const std::string base =
            QDir::tempPath().toStdString() + "/qbx-machine-check-" + std::to_string(sys::processId());
        for (int n = 0; n < 100; ++n) {
            const std::string path = base + "-" + std::to_string(n);
            if (sys::makeOwnDirectory(path, error)) {
                path_ = QString::fromStdString(path);
                return true;
            }
        }
        error = "cannot make a folder of its own in " + QDir::tempPath().toStdString() + ": " + error;
        return false;
    }
    const QString& path() const { return path_; }

private:
    QString path_;
};

std::string osDescription() {
    return (QSysInfo::prettyProductName() + QStringLiteral(" (kernel ") + QSysInfo::kernelVersion() +
            QStringLiteral(", ") + QSysInfo::currentCpuArchitecture() + QStringLiteral(")"))
        .toStdString();
}

// The scripted game: every action waits until the table takes input, as a
// participant would, with a human pause between; boxes are answered with
// their OK button. Input goes through the system (InputSender), so that
// what is measured crosses the participant's path.
class ScriptedPlay : public QObject {
public:
    ScriptedPlay(TableWindow*& table, LoginWindow& login, InputSender* input, mc::Measurements& m, int64_t startNs)
        : table_(table), login_(login), input_(input), m_(m), startNs_(startNs) {
        poll_.setInterval(5);
        connect(&poll_, &QTimer::timeout, this, [this] { step(); });
        poll_.start();
        clock_.start();
    }

    // The game ended or was given up; `why` is empty when it ended.
    std::function<void(const std::string& why)> finished;
    // Moments each input was sent, steady nanoseconds.
    const std::vector<int64_t>& sent() const { return sent_; }

private:
    enum class Phase { Login, Playing, Done };

    bool tableReady() const {
        if (!table_ || QApplication::activeModalWidget()) return false;
        const Game& g = table_->game();
        return g.progress().handInPlay && g.table().formEnabled() && !g.dragging() &&
               !table_->timerActive(TimerId::Glide) && table_->isVisible();
    }

    QPoint onTable(int x, int y) const { return table_->canvas()->mapToGlobal(QPoint(x, y)); }
    QPoint placeCentre(uint8_t place) const {
        const Game& g = table_->game();
        const auto& card = g.table()[cardImage(0)];
        return onTable(g.placeX(place) + card.width / 2, g.placeY(place) + card.height / 2);
    }

    // One input, sent at its turn; a timed one's moment is kept, for its stamp.
    void queue(bool timed, std::function<void(InputSender&)> send) {
        pending_.push_back([this, timed, send = std::move(send)] {
            if (timed) sent_.push_back(trace::steadyNs());
            send(*input_);
            input_->flush();
        });
    }

    void click(QPoint at, int button = 1) {
        queue(false, [at](InputSender& in) { in.moveTo(at); });
        queue(true, [button](InputSender& in) { in.press(button); });
        queue(true, [button](InputSender& in) { in.release(button); });
    }

    void drag(QPoint from, QPoint to) {
        queue(false, [from](InputSender& in) { in.moveTo(from); });
        queue(true, [](InputSender& in) { in.press(1); });
        for (int i = 1; i <= 6; ++i) {
            const QPoint at = from + (to - from) * i / 6;
            queue(false, [at](InputSender& in) { in.moveTo(at); });
        }
        queue(true, [](InputSender& in) { in.release(1); });
    }

    // The next scripted action of the hand; each waits for the table.
    void act() {
        const Game& g = table_->game();
        const Role turn = g.hand().turn;
        const uint8_t own = handPosition(turn);
        switch (actionInHand_++) {
        case 0:  // a look: the right button held on a face-down card
            click(placeCentre(downColorCardView), 3);
            break;
        case 1:  // a drop on the bare table: the card glides back
            drag(placeCentre(own), onTable(8, 8));
            break;
        case 2:  // an exchange with the face-up card
            drag(placeCentre(own), placeCentre(upCardView));
            break;
        default:  // passes until the hand ends
            if (QWidget* pass = table_->findChild<QPushButton*>(QStringLiteral("passButton")))
                click(pass->mapToGlobal(pass->rect().center()));
            break;
        }
    }

    // Another program's window, shown without taking the focus, for the
    // table to be taken away to: a second copy of this program.
#ifdef _WIN32
    // Qt's process class names its pipes through Qt's global random
    // generator, which faults in the static Qt for Windows: the system's own
    // call, and the window found by its title and process.
    void startOtherProgram() {
        std::wstring line = L"\"" + QDir::toNativeSeparators(QCoreApplication::applicationFilePath()).toStdWString() +
                            L"\" --check-machine-other-window";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &other_))
            other_ = {};
        else
            CloseHandle(other_.hThread);
    }

    WId otherWindow() {
        if (!otherWindow_ && other_.hProcess) {
            for (HWND w = FindWindowW(nullptr, L"Another program"); w;
                 w = FindWindowExW(nullptr, w, nullptr, L"Another program")) {
                DWORD pid = 0;
                GetWindowThreadProcessId(w, &pid);
                if (pid == other_.dwProcessId) otherWindow_ = reinterpret_cast<WId>(w);
            }
        }
        return otherWindow_;
    }

    void endOtherProgram() {
        if (other_.hProcess) {
            TerminateProcess(other_.hProcess, 0);
            WaitForSingleObject(other_.hProcess, 3000);
            CloseHandle(other_.hProcess);
        }
    }
#else
    void startOtherProgram() {
        other_.setProgram(QCoreApplication::applicationFilePath());
        other_.setArguments({QStringLiteral("--check-machine-other-window")});
        connect(&other_, &QProcess::readyReadStandardOutput, this, [this] {
            bool ok = false;
            const WId id = static_cast<WId>(other_.readAllStandardOutput().trimmed().toULongLong(&ok));
            if (ok && id) otherWindow_ = id;
        });
        other_.start();
    }

    WId otherWindow() const { return otherWindow_; }

    void endOtherProgram() {
        if (other_.state() != QProcess::NotRunning) {
            other_.kill();
            other_.waitForFinished(3000);
        }
    }
#endif

public:
    ~ScriptedPlay() override { endOtherProgram(); }

private:
    // Takes the table away once, then waits for it to come back.
    void tryTakeAway() {
        const auto what = static_cast<TakeAway>(attempt_);
        static const char* const kNames[] = {"another window activated", "minimise request", "show desktop"};
        mc::FrontAttempt a;
        a.what = kNames[attempt_];
        std::string why;
        if (what == TakeAway::ActivateOther && !otherWindow()) {
            a.tried = false;
            why = "the other program's window did not come up";
        } else {
            a.tried = takeAway(what, *table_, otherWindow_, why);
        }
        a.reason = why;
        m_.front.push_back(a);
        takenAt_.start();
        ++attempt_;
    }

    void step() {
        if (clock_.elapsed() > kGameLimitMs) return end("the game did not end within 60 s");
        if (!pending_.empty()) {
            // A human's pace: a press and its release 40 to 120 ms apart.
            if (pace_.isValid() && pace_.elapsed() < nextPauseMs_) return;
            auto next = std::move(pending_.front());
            pending_.erase(pending_.begin());
            next();
            pace_.start();
            nextPauseMs_ = 40 + static_cast<int>(draw_() % 80);
            return;
        }
        if (phase_ == Phase::Login) return stepLogin();
        if (phase_ != Phase::Playing) return;
        if (takenAt_.isValid()) {
            // An attempt under way: back in front, or out of time.
            // Back means back to stay: in front for kHeldMs on end, so that
            // a desktop that takes it again at once is not called fit.
            mc::FrontAttempt& a = m_.front.back();
            if (isInFront(*table_)) {
                if (backSinceMs_ < 0) backSinceMs_ = static_cast<double>(takenAt_.elapsed());
            } else {
                backSinceMs_ = -1;
            }
            const bool back = backSinceMs_ >= 0 && takenAt_.elapsed() - backSinceMs_ >= kHeldMs;
            if (a.tried && !back && takenAt_.elapsed() < kComeBackMs + kHeldMs) return;
            if (a.tried) {
                a.cameBack = back;
                a.backAfterMs = back ? backSinceMs_ : -1;
                if (!back) a.reason = "the table was not back in front to stay within 2 s";
            }
            backSinceMs_ = -1;
            takenAt_.invalidate();
            pace_.start();
            nextPauseMs_ = 300;
            return;
        }
        if (QWidget* box = QApplication::activeModalWidget()) {
            // A box of the game: its OK, once it has settled in its place.
            if (pace_.isValid() && pace_.elapsed() < 250) return;
            if (auto* ok = box->findChild<QPushButton*>()) {
                click(ok->mapToGlobal(ok->rect().center()));
                pace_.start();
                nextPauseMs_ = 100;
            }
            return;
        }
        if (!tableReady()) {
            handSeen_ = table_ ? table_->game().progress().handNumber : 0;
            return;
        }
        if (handSeen_ != handPlayed_) {
            handPlayed_ = handSeen_;
            actionInHand_ = 0;
            pace_.start();
            nextPauseMs_ = 200;
            return;
        }
        if (pace_.isValid() && pace_.elapsed() < nextPauseMs_) return;
        // The second hand, before its first action: the table is taken away.
        if (handPlayed_ == 2 && attempt_ < 3 && actionInHand_ == 0) return tryTakeAway();
        act();
    }

    void stepLogin() {
        if (!loginShownNoted_) {
            if (!login_.isVisible() || !login_.windowHandle() || !login_.windowHandle()->isExposed()) return;
            m_.startToLoginMs = static_cast<double>(trace::steadyNs() - startNs_) / 1e6;
            loginShownNoted_ = true;
            // Started now, so that its start takes no processor from the
            // timed inputs: it is up long before the first deal ends.
            startOtherProgram();
            pace_.start();
            nextPauseMs_ = 300;
            return;
        }
        if (pace_.isValid() && pace_.elapsed() < nextPauseMs_) return;
        QWidget* code = login_.findChild<QWidget*>(QStringLiteral("codeEdit"));
        QWidget* ok = login_.findChild<QWidget*>(QStringLiteral("okButton"));
        if (!code || !ok) return end("the login window has no code box");
        click(code->mapToGlobal(code->rect().center()));
        for (int key : {Qt::Key_C, Qt::Key_H, Qt::Key_E, Qt::Key_C, Qt::Key_K}) {
            queue(false, [key](InputSender& in) { in.pressKey(key); });
            queue(false, [key](InputSender& in) { in.releaseKey(key); });
        }
        click(ok->mapToGlobal(ok->rect().center()));
        pending_.push_back([this] {
            sent_.clear();  // the login's clicks have no record
            phase_ = Phase::Playing;
        });
    }

    void end(const std::string& why) {
        if (phase_ == Phase::Done) return;
        phase_ = Phase::Done;
        poll_.stop();
        if (finished) finished(why);
    }

public:
    void gameEnded() { end({}); }

private:
    TableWindow*& table_;
    LoginWindow& login_;
    InputSender* input_;
#ifdef _WIN32
    PROCESS_INFORMATION other_{};
#else
    QProcess other_;
#endif
    WId otherWindow_ = 0;
    mc::Measurements& m_;
    int64_t startNs_;
    QTimer poll_;
    QElapsedTimer clock_, pace_, takenAt_;
    int nextPauseMs_ = 0;
    double backSinceMs_ = -1;
    std::vector<std::function<void()>> pending_;
    std::vector<int64_t> sent_;
    std::minstd_rand draw_{4242};
    Phase phase_ = Phase::Login;
    bool loginShownNoted_ = false;
    int handSeen_ = 0, handPlayed_ = 0, actionInHand_ = 0, attempt_ = 0;
};

std::string hostName() { return QSysInfo::machineHostName().toStdString(); }

// The check's second copy of the program: one small window in a corner,
// shown without taking the focus, its system id on standard output. It
// ends when the check ends it, or after a minute on its own.
constexpr const char* kOtherWindowOption = "--check-machine-other-window";

int runOtherWindow(int argc, char** argv) {
    installQtMessageFilter();
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("Another program's window (the QBXSolo machine check)"));
    window.setWindowTitle(QStringLiteral("Another program"));
    window.setAttribute(Qt::WA_ShowWithoutActivating);
    window.setGeometry(0, 0, 360, 120);
    window.show();
#ifndef _WIN32
    // Its window for the check to activate (on Windows the check finds it by
    // its title).
    say(std::to_string(static_cast<unsigned long long>(window.winId())) + "\n");
#endif
    QTimer::singleShot(60'000, &app, [] { QCoreApplication::exit(0); });
    return app.exec();
}

}  // namespace

bool asksForMachineCheck(int argc, char** argv) {
    return argc >= 2 && (std::string(argv[1]) == "--check-machine" || std::string(argv[1]) == kOtherWindowOption);
}

int runMachineCheck(int argc, char** argv, int64_t startNs) {
    if (std::string(argv[1]) == kOtherWindowOption) return runOtherWindow(argc, argv);
#ifdef _WIN32
    useParentConsole();
#endif
    Options options;
    std::string error;
    if (!parseOptions(argc, argv, options, error)) {
        complain(error);
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (options.help) {
        say(kUsage);
        return 0;
    }
    // The outputs are checked before anything runs: the same guard as every
    // program that writes.
    std::vector<output::Output> outputs;
    if (!options.page.empty()) outputs.push_back({"-o", output::standardOutputAs(options.page)});
    if (!options.json.empty()) outputs.push_back({"--json", output::standardOutputAs(options.json)});
    if (const std::string refused = output::refusal(outputs, {}, options.force); !refused.empty()) {
        complain(refused);
        return 2;
    }
    if (const std::string missing = displayMissing(); !missing.empty()) {
        complain("the check cannot run: " + missing);
        return 2;
    }

    mc::Measurements m;
    const mc::Limits limits = mc::limitsForThisSystem();
    mc::RunInfo run;
    run.programVersion = programVersion();
    run.programCommit = programCommit();
    run.startedAt = isoTime(sys::localTimeNow());
    run.hostName = hostName();

    // The disk first, while nothing else runs.
    say("Checking this machine for sessions (about a minute; the table will show and play by itself)...\n");
    m.durableMs = mc::measureDurableRecords(options.folder, kDurableRecords, m.disk, error);
    if (m.durableMs.empty()) {
        complain("the check cannot run: " + error);
        return 2;
    }
    if (!error.empty()) m.durableUnmeasured = error;

    installQtMessageFilter();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
    QApplication::setQuitOnLastWindowClosed(false);
    installFontSubstitutions();

    CheckFolder work;
    if (!work.make(error) || !writeExampleSetup(work.path(), error)) {
        complain("the check cannot run: " + error);
        return 2;
    }
    const std::string folder = work.path().toStdString();

    m.os = osDescription();
    m.windowManager = windowManagerName();
    m.qtVersion = qVersion();
    m.cpuCount = QThread::idealThreadCount();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        m.screenWidth = screen->geometry().width();
        m.screenHeight = screen->geometry().height();
        m.devicePixelRatio = screen->devicePixelRatio();
    }

    std::string noInput;
    std::unique_ptr<InputSender> input = systemInputSender(noInput);
    if (!input) {
        complain("the check cannot run: " + noInput);
        return 2;
    }

    trace::startInMemory();
    auto login = std::make_unique<LoginWindow>(nullptr, folder);
    auto help = std::make_unique<HelpWindow>(nullptr, work.path());
    TableWindow* tableWindow = nullptr;
    std::unique_ptr<TableWindow> table;
    ScriptedPlay play(tableWindow, *login, input.get(), m, startNs);
    std::string gameFault;
    bool gameEnded = false;
    login->onLogin = [&](const std::string& participantCode) {
        table = std::make_unique<TableWindow>(help.get(), folder);
        tableWindow = table.get();
        table->quitApplication = [&] {
            gameEnded = true;
            play.gameEnded();
        };
        table->start(participantCode);
        m.tableFont = QFontInfo(table->canvas()->font()).family().toStdString();
    };
    play.finished = [&](const std::string& why) {
        gameFault = why;
        // exit(), not quit(): the windows refuse to close, which would cancel a quit.
        QTimer::singleShot(0, &app, [] { QCoreApplication::exit(0); });
    };
    login->show();
    m.loginFont = QFontInfo(login->font()).family().toStdString();
    app.exec();
    trace::stop();
    if (tableWindow && !gameEnded) tableWindow->game().programClosing("the machine check ended");

    size_t traced = 0, dropped = 0;
    const trace::Entry* entries = trace::entries(traced, dropped);
    addTraceFigures(entries, traced, dropped, play.sent(), m);
    if (!gameFault.empty()) {
        if (m.stampMs.empty()) m.stampUnmeasured = gameFault;
        if (m.dealGlides.empty()) m.glideUnmeasured = gameFault;
        if (m.front.empty()) m.frontUnmeasured = gameFault;
    }
    if (m.stampMs.empty() && m.stampUnmeasured.empty()) m.stampUnmeasured = "no input reached the game";
    if (m.dealGlides.empty() && m.glideUnmeasured.empty()) m.glideUnmeasured = "no deal was played";
    if (m.startToLoginMs < 0) m.startUnmeasured = "the login window was never shown";

    table.reset();
    help.reset();
    login.reset();

    const mc::Report report = mc::judge(m, limits);
    say(mc::reportText(report));
    bool written = true;
    const std::pair<std::string, std::string> files[] = {
        {options.page, options.page.empty() ? std::string() : mc::reportHtml(report, m, limits, run)},
        {options.json, options.json.empty() ? std::string() : mc::reportJson(report, m, limits, run)}};
    for (const auto& [path, bytes] : files) {
        if (path.empty()) continue;
        if (!output::writeWhole(output::standardOutputAs(path), bytes, error)) {
            complain(error);
            written = false;
        } else if (path != "-") {
            say("Written: " + shownText(path) + "\n");
        }
    }
    if (!written) return 2;
    return mc::exitStatus(report);
}

}  // namespace qbx
