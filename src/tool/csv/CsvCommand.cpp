// qbxtool csv DIR|LOGS... -o events.csv [--hands hands.csv] [--setup DIR] [--force]

#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <optional>

#include "tool/Commands.h"
#include "tool/Tool.h"
#include "tool/logs/LogCommandLine.h"
#include "tool/csv/Csv.h"

namespace qbx::tool {

void addCsvCommand(CLI::App& app, CommandResult& result) {
    struct Options {
        std::vector<std::string> paths;
        std::string events, hands, setup;
        bool force = false;
    };
    auto options = std::make_shared<Options>();
    CLI::App* cmd = app.add_subcommand("csv", "Turn log pairs into tidy tables: one row per record, one row per hand.");
    cmd->footer(
        "events.csv: one row per record of both logs of every session. hands.csv: one row per hand.\n"
        "RFC 4180, UTF-8, a header row; the columns are listed in docs/analysis.md. With --setup the\n"
        "hands carry the shoe's goal and the fewest actions possible (from the solver of `qbxtool solve`).\n"
        "Lines that are no records are named with file and line and left out (exit 1).\n"
        "An output is never an input, a log, or a file in a folder being read; an existing file is\n"
        "replaced only with --force. One table may go to standard output (-o - or --hands -), not both.\n\n"
        "Example:\n  qbxtool csv dataout -o events.csv --hands hands.csv --setup setup");
    cmd->add_option("LOGS", options->paths, "folders of logs, or log files")->required();
    cmd->add_option("-o,--output", options->events, "the events table (- for standard output)")->required();
    cmd->add_option("--hands", options->hands, "the hands table (- for standard output when -o names a file)");
    logs::addSetupOption(cmd, options->setup);
    logs::addForceOption(cmd, options->force);
    cmd->callback([options, &result] {
        const std::optional<GameSetup> setup = logs::setupFromOption(options->setup);
        std::vector<CommandOutput> outputs{{"-o", options->events}};
        if (!options->hands.empty()) outputs.push_back({"--hands", options->hands});
        checkOutputs(outputs, logs::inputsOf(options->paths, setup), options->force);
        const logs::LogFolder folder = logs::logsToConvert(options->paths, std::cerr);
        logs::CsvOptions csv{options->events, options->hands, setup ? &*setup : nullptr};
        const logs::CsvCounts counts = logs::writeCsv(folder, csv, std::cerr);
        if (options->events != "-")
            std::cerr << counted(counts.sessions, "session", "sessions") << ", "
                      << counted(counts.events, "record", "records") << ", " << counted(counts.hands, "hand", "hands")
                      << "\n";
        logs::tellSessionsWithFaults(counts.sessionsWithFaults);
        result.exitCode = counts.problems() ? kExitProblems : kExitOk;
    });
}

}  // namespace qbx::tool
