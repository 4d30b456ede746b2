// qbxtool csv DIR|LOGS... -o events.csv [--hands hands.csv] [--setup DIR] [--force]

#include <CLI/CLI.hpp>

#include <filesystem>
#include <iostream>
#include <sstream>
#include <memory>
#include <optional>

#include "tool/Commands.h"
#include "tool/Tool.h"
#include "tool/logs/LogCommandLine.h"
#include "tool/csv/Csv.h"
#include "tool/csv/Readers.h"
#include "tool/logs/SessionSetup.h"

namespace qbx::tool {

namespace {

namespace fs = std::filesystem;

fs::path folderOf(const std::string& path) {
    std::error_code ec;
    const fs::path parent = fs::path(path).parent_path();
    const fs::path folder = fs::weakly_canonical(fs::absolute(parent.empty() ? fs::path(".") : parent, ec), ec);
    return folder.empty() ? parent : folder;
}

// Where the codebook goes: beside the events table, or beside the hands
// table when the events go to standard output; none when no table goes to
// a file. It describes the tables in its folder; one elsewhere is said.
void placeCodebook(logs::CsvOptions& csv, std::ostream& messages) {
    std::vector<std::pair<std::string, std::string>> files;  // name, path
    if (csv.eventsPath != "-") files.emplace_back("events", csv.eventsPath);
    if (!csv.handsPath.empty() && csv.handsPath != "-") files.emplace_back("hands", csv.handsPath);
    if (files.empty()) return;
    const fs::path first(files.front().second);
    csv.codebookPath = (first.parent_path() / "datapackage.json").string();
    const fs::path folder = folderOf(files.front().second);
    for (const auto& [name, path] : files) {
        if (folderOf(path) != folder) {
            messages << path << ": not described in " << csv.codebookPath
                     << ", which describes the tables of its own folder\n";
            continue;
        }
        csv.codebookTables.push_back({name, fs::path(path).filename().string(),
                                      name == "events" ? &logs::eventsCodebook() : &logs::handsCodebook()});
    }
    csv.pandasReaderPath = (first.parent_path() / logs::kPandasReaderName).string();
    csv.rReaderPath = (first.parent_path() / logs::kRReaderName).string();
}

}  // namespace

void addCsvCommand(CLI::App& app, CommandResult& result) {
    struct Options {
        std::vector<std::string> paths;
        std::string events, hands, setup;
        bool force = false, noSimulated = false, spreadsheetSafe = false;
    };
    auto options = std::make_shared<Options>();
    CLI::App* cmd = app.add_subcommand("csv", "Turn log pairs into tidy tables: one row per record, one row per hand.");
    cmd->footer(
        "events.csv: one row per record of both logs of every session. hands.csv: one row per hand.\n"
        "RFC 4180, UTF-8, a header row. Beside them, datapackage.json (a Frictionless Data Package) names\n"
        "every column's type, unit and meaning, the sessions read and their setups; docs/analysis.md has\n"
        "the same codebook. read_tables.py (pandas) and read_tables.R (R) beside it load the tables with\n"
        "each column of its codebook type (a participant code 0042 stays text). Each session is read with its own "
        "setup, saved beside the logs and named by\n"
        "its run record: its hands carry the shoe's goal and the fewest actions possible (from the solver\n"
        "of `qbxtool solve`). --setup DIR reads every session with DIR's setup instead, and warns of each\n"
        "whose saved setup differs.\n"
        "Lines that are no records are named with file and line and left out (exit 1).\n"
        "An output is never an input, a log, or a file in a folder being read; an existing file is\n"
        "replaced only with --force. One table may go to standard output (-o - or --hands -), not both.\n\n"
        "Example:\n  qbxtool csv dataout -o events.csv --hands hands.csv\n"
        "  qbxtool csv dataout -o events.csv --setup lab-b   (every session under lab-b's setup)");
    cmd->add_option("LOGS", options->paths, "folders of logs, or log files")->required();
    cmd->add_option("-o,--output", options->events, "the events table (- for standard output)")->required();
    cmd->add_option("--hands", options->hands, "the hands table (- for standard output when -o names a file)");
    logs::addSetupOption(cmd, options->setup);
    logs::addForceOption(cmd, options->force);
    logs::addNoSimulatedOption(cmd, options->noSimulated);
    cmd->add_flag("--spreadsheet-safe", options->spreadsheetSafe,
                  "write a participant code that begins with =, +, -, @, a tab or a carriage return with a ' before "
                  "it, so that a spreadsheet shows it rather than running it as a formula");
    cmd->callback([options, &result] {
        // A table to /dev/stdout goes to standard output as "-" does, with
        // no codebook beside it in /dev.
        options->events = output::standardOutputAs(options->events);
        if (!options->hands.empty()) options->hands = output::standardOutputAs(options->hands);
        const std::optional<GameSetup> setup = logs::setupFromOption(options->setup);
        logs::CsvOptions csv;
        csv.eventsPath = options->events;
        csv.handsPath = options->hands;
        csv.spreadsheetSafe = options->spreadsheetSafe;
        std::ostringstream codebookNotes;
        placeCodebook(csv, codebookNotes);
        std::vector<CommandOutput> outputs{{"-o", options->events}};
        if (!options->hands.empty()) outputs.push_back({"--hands", options->hands});
        if (!csv.codebookPath.empty()) outputs.push_back({"the codebook", csv.codebookPath});
        if (!csv.pandasReaderPath.empty()) outputs.push_back({"the pandas reader", csv.pandasReaderPath});
        if (!csv.rReaderPath.empty()) outputs.push_back({"the R reader", csv.rReaderPath});
        checkOutputs(outputs, logs::inputsOf(options->paths, setup), options->force);
        logs::LogFolder folder = logs::logsToConvert(options->paths, std::cerr);
        logs::leaveOutSimulatedIfAsked(options->noSimulated, folder, std::cerr);
        std::cerr << codebookNotes.str();
        const logs::SessionSetups setups = logs::setupsOfSessions(folder, setup ? &*setup : nullptr, true, std::cerr);
        csv.setups = setups.of;
        const logs::CsvCounts counts = logs::writeCsv(folder, csv, std::cerr);
        if (options->events != "-")
            std::cerr << counted(counts.sessions, "session", "sessions") << ", "
                      << counted(counts.events, "record", "records") << ", " << counted(counts.hands, "hand", "hands")
                      << "\n";
        if (counts.formulaCells > 0 && options->spreadsheetSafe)
            std::cerr << counted(counts.formulaCells, "cell", "cells")
                      << " of the participant column written with a ' before the code (--spreadsheet-safe)\n";
        else if (counts.formulaCells > 0)
            std::cerr << "warning: " << counted(counts.formulaCells, "cell", "cells")
                      << " of the participant column (events.csv and hands.csv) begin with =, +, -, @, a tab or a "
                         "carriage return: a spreadsheet would read them as formulas (--spreadsheet-safe writes them "
                         "with a ' before them; R and pandas read the tables as they are)\n";
        logs::tellSessionsWithFaults(counts.sessionsWithFaults);
        result.exitCode = counts.problems() ? kExitProblems : kExitOk;
    });
}

}  // namespace qbx::tool
