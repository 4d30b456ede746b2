// qbxtool: the experimenter's tools around a session. Plain C++ on the
// game's own core, so that what it says of a setup or a log is what the game
// does and wrote.

#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>
#include <iostream>
#include <string>

#include "tool/Commands.h"
#include "tool/Tool.h"

namespace {

int run(int argc, char** argv) {
    using namespace qbx::tool;
    // Every message names files and what logs hold: shown escaped.
    const ShownOutput shownMessages(std::cerr);
    CLI::App app{
        "qbxtool: check a QBXSolo setup, solve and make shoes, verify and convert event logs, simulate sessions.",
        "qbxtool"};
    app.set_version_flag("--version", versionText());
    app.require_subcommand(1);
    app.fallthrough(false);
    CommandResult result;
    // Each subcommand adds itself here (see Commands.h).
    addInitCommand(app, result);
    addCheckCommand(app, result);
    addSolveCommand(app, result);
    addShoeCommand(app, result);
    addSessionsCommand(app, result);
    addVerifyCommand(app, result);
    addCsvCommand(app, result);
    addReportCommand(app, result);
    addResumeCommand(app, result);
    addSimulateCommand(app, result);

    // A word that names no command is told as such, with the commands there are.
    if (argc > 1 && argv[1][0] != '-') {
        const std::string word = argv[1];
        std::string names;
        bool known = false;
        for (const CLI::App* command : app.get_subcommands({})) {
            known |= command->get_name() == word;
            names += (names.empty() ? "" : ", ") + command->get_name();
        }
        if (!known) {
            std::cerr << "qbxtool: '" << word << "' is not a command; the commands are " << names
                      << " (qbxtool --help)\n";
            return kExitCouldNotRun;
        }
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return kExitCouldNotRun;
    } catch (const CouldNotRun& e) {
        std::cerr << "qbxtool: " << e.what() << "\n";
        return kExitCouldNotRun;
    } catch (const std::exception& e) {
        std::cerr << "qbxtool: " << e.what() << "\n";
        return kExitCouldNotRun;
    }
    return result.exitCode;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        // Nothing a command does throws past run(); anything else (memory
        // run out while the commands are set up) still ends with a message.
        std::cerr << "qbxtool: " << e.what() << "\n";
        return qbx::tool::kExitCouldNotRun;
    }
}
