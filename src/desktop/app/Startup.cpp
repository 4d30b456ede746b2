#include "desktop/app/Startup.h"

#include <QApplication>
#include <QString>

#include <memory>
#include <string>

#include "desktop/widgets/Fonts.h"
#include "desktop/widgets/MessageBox.h"
#include "desktop/help/HelpWindow.h"
#include "desktop/login/LoginWindow.h"
#include "desktop/table/TableWindow.h"
#include "desktop/table/Trace.h"

namespace qbx {

int runQbxSolo(int argc, char** argv) {
    trace::init();
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
        table->start(participantCode);
    };
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
