// The command line of `qbxtool shoe`; the work is in ShoeMaker.cpp.

#include <CLI/CLI.hpp>

#include <charconv>
#include <cstdint>
#include <iostream>
#include <string>

#include "tool/Commands.h"
#include "tool/Tool.h"
#include "tool/setup/ShoeMaker.h"
#include "tool/setup/ShoeSolutions.h"

namespace qbx::tool {

namespace {

// Why a seed cannot be used, or nothing: a seed is a whole number of 64
// bits, written in digits alone (the command line would read "-1" as the
// largest seed).
std::string seedFault(const std::string& text) {
    uint64_t seed = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, seed);
    if (text.empty() || text[0] < '0' || text[0] > '9' || stop != end || error != std::errc())
        return "the seed is a whole number from 0 to 18446744073709551615, not " + text;
    return {};
}

}  // namespace

void addShoeCommand(CLI::App& app, CommandResult& result) {
    struct Options {
        int hands = 0;
        uint64_t seed = 0;
        int minActions = 1;
        int maxActions = -1;
        std::string setup = ".";
        std::string output = "-";
        bool repeats = false;
        bool force = false;
    };
    auto options = std::make_shared<Options>();
    CLI::App* cmd = app.add_subcommand(
        "shoe",
        "Writes a shoe of random deals whose fewest actions (under the setup's rules) lie between --min "
        "and --max, dealt in the setup's SyntaxInput order.");
    cmd->add_option("--hands", options->hands, "Number of hands")->required()->check(CLI::Range(1, 1000000));
    cmd->add_option("--seed", options->seed, "Seed of the random draw: the same seed makes the same file")
        ->required()
        ->check(CLI::Validator([](const std::string& text) { return seedFault(text); }, "0..18446744073709551615",
                               "a whole seed"));
    cmd->add_option("--min", options->minActions, "Fewest actions at least (default 1)")->check(CLI::Range(0, 255));
    cmd->add_option("--max", options->maxActions, "Fewest actions at most (default MaxRounds)")
        ->check(CLI::Range(0, 255));
    cmd->add_option("--setup", options->setup, "The working directory whose setup/ gives the rules (default: here)");
    cmd->add_option("-o,--output", options->output, "The shoe file to write (default: standard output)");
    cmd->add_flag("--repeat", options->repeats, "Let a deal come back within the shoe");
    cmd->add_flag("--force", options->force, "Replace the output file when it exists (never an input or a log)");
    cmd->footer(
        "An existing file is replaced only with --force; an event log or the parameter file never is.\n"
        "Exit codes: 0 written, 1 not enough deals of that difficulty (nothing written), 2 bad options or setup,\n"
        "or a refused output.\n\n"
        "Example:\n  qbxtool shoe --hands 20 --seed 7 --min 2 --max 4 -o setup/shoe-b.txt");
    cmd->callback([options, &result] {
        const GameSetup setup = readSetup(locateSetup(options->setup));
        const int maxActions = options->maxActions >= 0 ? options->maxActions : std::max(setup.rules.maxRounds, 1);
        if (maxActions < options->minActions)
            throw CouldNotRun("--max " + std::to_string(maxActions) + " is below --min " +
                              std::to_string(options->minActions));
        checkOutputs({{"-o", options->output}}, {{setup.location.parameterFile().string()}, {}, {}}, options->force);
        const SolverTable table(setup.rules);
        ShoeRequest request{options->hands, options->seed, options->minActions, maxActions, options->repeats};
        std::string header = "Shoe made by qbxtool shoe --hands " + std::to_string(request.hands) + " --seed " +
                             std::to_string(request.seed) + " --min " + std::to_string(request.minActions) + " --max " +
                             std::to_string(request.maxActions) + (request.repeats ? " --repeat" : "") + " under " +
                             rulesSummary(setup) + ". Columns: the six cards dealt, the goal card, the opening role.";
        const MadeShoe shoe = makeShoe(request, setup, table, header);
        if (!shoe.made) {
            std::cerr << "qbxtool shoe: only " << shoe.eligible << " deals have fewest actions between "
                      << request.minActions << " and " << request.maxActions << " under " << rulesSummary(setup)
                      << (shoe.eligible ? "; ask for fewer hands, widen --min/--max, or add --repeat\n"
                                        : "; widen --min/--max\n");
            result.exitCode = kExitProblems;
            return;
        }
        OutputFile out(options->output);
        out.write(shoe.text);
        out.commit();
        result.exitCode = kExitOk;
    });
}

}  // namespace qbx::tool
