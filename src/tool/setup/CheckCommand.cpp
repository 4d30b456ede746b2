// The command line of `qbxtool check`; the work is in Check.cpp.

#include <CLI/CLI.hpp>

#include <iostream>

#include "tool/Commands.h"
#include "tool/Tool.h"
#include "tool/setup/Check.h"

namespace qbx::tool {

void addCheckCommand(CLI::App& app, CommandResult& result) {
    struct Options {
        std::string dir = ".";
        bool json = false;
    };
    auto options = std::make_shared<Options>();
    CLI::App* cmd = app.add_subcommand(
        "check",
        "Everything wrong with a working directory (setup/ and dataout/) before a participant sits down: "
        "errors that stop or spoil a session, and warnings.");
    cmd->add_option("DIR", options->dir, "The working directory the game will be started in (default: here)");
    cmd->add_flag("--json", options->json, "Write the findings as JSON");
    cmd->footer(
        "Exit codes: 0 no errors (warnings may remain), 1 errors found, 2 DIR cannot be read.\n\n"
        "Example:\n  qbxtool check run/demo\n  qbxtool check --json");
    cmd->callback([options, &result] {
        const CheckReport report = checkWorkDir(options->dir);
        if (options->json)
            std::cout << json::write(checkJson(report), 2, json::KeyOrder::Sorted) << "\n";
        else
            std::cout << checkText(report);
        result.exitCode = report.count(Finding::Level::Error) > 0 ? kExitProblems : kExitOk;
    });
}

}  // namespace qbx::tool
