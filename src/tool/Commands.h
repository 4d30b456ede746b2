#pragma once
// The subcommands of qbxtool. Each adds itself to the application; its
// callback sets the exit code through `result`.

namespace CLI {
class App;
}

namespace qbx::tool {

struct CommandResult {
    int exitCode = 0;
};

// Each subcommand's registration, one per file beside this one.
void addInitCommand(CLI::App& app, CommandResult& result);      // InitCommand.cpp
void addCheckCommand(CLI::App& app, CommandResult& result);     // setup/CheckCommand.cpp
void addSolveCommand(CLI::App& app, CommandResult& result);     // setup/SolveCommand.cpp
void addShoeCommand(CLI::App& app, CommandResult& result);      // setup/ShoeCommand.cpp
void addSessionsCommand(CLI::App& app, CommandResult& result);  // logs/SessionsCommand.cpp
void addVerifyCommand(CLI::App& app, CommandResult& result);    // logs/VerifyCommand.cpp
void addCsvCommand(CLI::App& app, CommandResult& result);       // logs/CsvCommand.cpp
void addReportCommand(CLI::App& app, CommandResult& result);    // logs/ReportCommand.cpp
void addResumeCommand(CLI::App& app, CommandResult& result);    // logs/ResumeCommand.cpp
void addSimulateCommand(CLI::App& app, CommandResult& result);  // sim/SimulateCommand.cpp

}  // namespace qbx::tool
