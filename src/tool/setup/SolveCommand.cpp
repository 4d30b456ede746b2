// The command line of `qbxtool solve`; the work is in Solve.cpp.

#include <CLI/CLI.hpp>

#include <iostream>

#include "tool/Commands.h"
#include "tool/Tool.h"
#include "tool/setup/ShoeSolutions.h"

namespace qbx::tool {

void addSolveCommand(CLI::App& app, CommandResult& result) {
    struct Options {
        std::string shoe;
        std::string setup = ".";
        bool json = false;
    };
    auto options = std::make_shared<Options>();
    CLI::App* cmd = app.add_subcommand(
        "solve",
        "For every hand of a shoe: the fewest actions (swaps and passes) that bring its goal card to the "
        "Target under the setup's rules, one shortest line of play and the score it leaves.");
    cmd->add_option("SHOE", options->shoe, "The shoe file")->required();
    cmd->add_option("--setup", options->setup,
                    "The working directory whose setup/QBXParameter.ini gives the rules (default: here)");
    cmd->add_flag("--json", options->json, "Write the results as JSON");
    cmd->footer(
        "Exit codes: 0 every hand can reach its goal, 1 some hand cannot within MaxRounds, 2 the shoe or\n"
        "the setup cannot be read.\n\n"
        "Example:\n  qbxtool solve setup/shoe.txt\n  qbxtool solve deals.txt --setup run/demo --json");
    cmd->callback([options, &result] {
        const GameSetup setup = readSetup(locateSetup(options->setup));
        const SolverTable table(setup.rules);
        const std::vector<HandSolution> hands = solveShoe(options->shoe, setup, table);
        if (options->json)
            std::cout << json::write(solutionsJson(options->shoe, setup, hands), 2, json::KeyOrder::Sorted) << "\n";
        else
            std::cout << solutionsText(options->shoe, setup, hands);
        result.exitCode = kExitOk;
        for (const HandSolution& h : hands)
            if (h.status == HandSolution::Status::Unreachable) result.exitCode = kExitProblems;
    });
}

}  // namespace qbx::tool
