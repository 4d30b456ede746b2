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
void addCheckCommand(CLI::App& app, CommandResult& result);  // setup/CheckCommand.cpp
void addSolveCommand(CLI::App& app, CommandResult& result);  // setup/SolveCommand.cpp
void addShoeCommand(CLI::App& app, CommandResult& result);   // setup/ShoeCommand.cpp

}  // namespace qbx::tool
