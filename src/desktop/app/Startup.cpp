#include "desktop/app/Startup.h"

#include <QApplication>
#include <QString>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#ifndef _WIN32
#include <QSocketNotifier>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include "desktop/check/MachineCheckRun.h"
#include "desktop/widgets/Fonts.h"
#include "desktop/widgets/MessageBox.h"
#include "desktop/widgets/QtMessages.h"
#include "desktop/help/HelpWindow.h"
#include "desktop/login/LoginWindow.h"
#include "desktop/table/TableWindow.h"
#include "desktop/table/Trace.h"
#include "core/game/TableState.h"
#include "core/replay/SessionReplay.h"

namespace qbx {

#ifndef _WIN32
namespace {

// SIGTERM, SIGHUP and SIGINT (a polite kill, the terminal closed, Ctrl+C)
// reach the event loop through a socket pair: the handler only writes a byte.
int signalSockets[2] = {-1, -1};
volatile std::sig_atomic_t signalNumber = 0;

void onEndSignal(int number) {
    // The code the handler interrupted may be about to read errno.
    const int savedErrno = errno;
    signalNumber = number;
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalSockets[1], &byte, 1);
    errno = savedErrno;
}

// Between two events (the logs made durable after each) the run record is
// completed; then the signal takes its default action and ends the program,
// with no record written after it.
void watchEndSignals(QApplication& app, TableWindow*& table) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalSockets) != 0) return;
    auto* notifier = new QSocketNotifier(signalSockets[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, [&table] {
        char byte = 0;
        [[maybe_unused]] const auto got = ::read(signalSockets[0], &byte, 1);
        const int number = signalNumber;
        if (table)
            table->game().programClosing(number == SIGHUP   ? "the program was ended (SIGHUP)"
                                         : number == SIGINT ? "the program was ended (SIGINT)"
                                                            : "the program was ended (SIGTERM)");
        std::signal(number, SIG_DFL);
        std::raise(number);
    });
    struct sigaction action {};
    action.sa_handler = onEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : {SIGTERM, SIGHUP, SIGINT}) {
        // A signal ignored when the program was started stays ignored, as
        // the shell asked: nohup ignores SIGHUP, and a script's background
        // job SIGINT.
        struct sigaction current {};
        if (::sigaction(number, nullptr, &current) == 0 && !(current.sa_flags & SA_SIGINFO) &&
            current.sa_handler == SIG_IGN)
            continue;
        ::sigaction(number, &action, nullptr);
    }
}

}  // namespace
#endif

int runQbxSolo(int argc, char** argv) {
    const int64_t startNs = trace::steadyNs();
    // The participant's start reads no command line; the lab's check of a
    // machine is the one exception.
    if (asksForMachineCheck(argc, argv)) return runMachineCheck(argc, argv, startNs);
    trace::init();
    installQtMessageFilter();
    QApplication app(argc, argv);
    // The title of every message box. Only the name is set: a display name
    // would be appended to every window caption ("QBX — ...") on X11.
    QApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
    // The run ends only when the game says so (end of the shoe, a failure at
    // the game start), never because no window happens to be visible, as
    // between the login and the first deal.
    QApplication::setQuitOnLastWindowClosed(false);
    installFontSubstitutions();

    // The login window reads its caption from the catalogue as it is created.
    auto login = std::make_unique<LoginWindow>();
    // The help window exists from the start, hidden, and is shown on demand.
    auto help = std::make_unique<HelpWindow>();
    HelpWindow* helpWindow = help.get();

    // The table window is created only once a code has been accepted; it lives until
    // the program ends.
    TableWindow* tableWindow = nullptr;
    login->onLogin = [helpWindow, &tableWindow](const std::string& participantCode) {
        auto* table = new TableWindow(helpWindow);
        tableWindow = table;
        // Tests of the replay: the table after every call that wrote records.
        if (const char* states = std::getenv("QBX_STATE_FILE"); states && *states) {
            table->game().setAfterRecords([table, path = std::string(states), count = 0]() mutable {
                const std::string text = "--- " + std::to_string(count++) + "\n" + tableStateText(table->game());
                std::FILE* f = std::fopen(path.c_str(), "ab");
                if (!f) return;
                std::fwrite(text.data(), 1, text.size(), f);
                std::fclose(f);
            });
        }
        table->start(participantCode);
    };
#ifndef _WIN32
    watchEndSignals(app, tableWindow);
#endif
    // Quitting for the desktop's reasons (the user's session ending, a quit
    // request) before the game ended: the run record says so.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [&tableWindow] {
        if (tableWindow) tableWindow->game().programClosing("the program was closed");
    });

    login->show();
    const int status = app.exec();
    trace::writeOut();
    return status;
}

}  // namespace qbx
