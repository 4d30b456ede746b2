// The command line of `qbxtool simulate`; the work is in Simulate.cpp.

#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>

#include "tool/Commands.h"
#include "tool/Tool.h"
#include "tool/sim/Simulate.h"

namespace qbx::tool {

void addSimulateCommand(CLI::App& app, CommandResult& result) {
    struct Options {
        std::string dir = ".";
        int sessions = 0;
        std::string players, think;
        uint64_t seed = 1;
    };
    auto options = std::make_shared<Options>();
    CLI::App* cmd = app.add_subcommand(
        "simulate",
        "Pilot an experiment: whole sessions of the setup played by simulated participants, written into "
        "dataout/ as the program writes them and marked as simulated.");
    cmd->footer(
        "Each session is the game itself, without a window, on a simulated clock, played through the same\n"
        "mouse and button entry points the table window uses: its logs and run record are written by the\n"
        "game's own code. Participant codes are SIM-0001, SIM-0002, ... (numbered on from the highest SIM-\n"
        "code in dataout), and each run record says \"simulated\": true; sessions, csv and report mark them\n"
        "and leave them out with --no-simulated.\n"
        "Players: random (any action the rules allow, passes included), greedy (the swap that brings the\n"
        "goal card nearer to the Target by the rules alone, else a pass), optimal (a shortest line, the\n"
        "solver of qbxtool solve), noisy:P (optimal with probability P, else random).\n"
        "Before each action a think drawn from a normal distribution (--think MEAN,SD in seconds, default\n"
        "4,2, never under 0.3); a drag takes about 0.7 s from pick-up to drop. Where the hand cards lie\n"
        "face down a participant looks at its own about one action in three. The same seed, setup and\n"
        "dataout give the same bytes. The setup must pass qbxtool check.\n"
        "Exit codes: 0 all sessions written, 2 a bad option or a setup that cannot be played.\n\n"
        "Example:\n  qbxtool simulate --sessions 20 --players noisy:0.8 --seed 7 run/demo");
    cmd->add_option("DIR", options->dir,
                    "the experiment's working directory, holding setup/ and dataout/ (default: here)");
    cmd->add_option("--sessions", options->sessions, "how many sessions to play")->required();
    cmd->add_option("--players", options->players, "random, greedy, optimal or noisy:P")->required();
    cmd->add_option("--think", options->think, "thinking time MEAN,SD in seconds (default 4,2)");
    cmd->add_option("--seed", options->seed, "the seed of every draw (default 1)");
    cmd->callback([options, &result] {
        sim::SimulateOptions o;
        o.sessions = options->sessions;
        o.players = sim::parsePlayer(options->players);
        if (!options->think.empty()) o.think = sim::parseThink(options->think);
        o.seed = options->seed;
        const sim::SimulateResult done = sim::simulate(options->dir, o);
        std::cout << sim::summaryText(options->dir, o, done);
        result.exitCode = kExitOk;
    });
}

}  // namespace qbx::tool
