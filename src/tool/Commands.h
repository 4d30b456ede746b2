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
void addInitCommand(CLI::App& app, CommandResult& result);

}  // namespace qbx::tool
