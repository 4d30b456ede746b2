// qbxtool resume SESSION [DIR]: a working directory that continues a session
// which ended early; the work is in Resume.cpp.

#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>

#include "tool/Commands.h"
#include "tool/Installation.h"
#include "tool/logs/Resume.h"

namespace qbx::tool {

void addResumeCommand(CLI::App& app, CommandResult& result) {
    auto options = std::make_shared<logs::ResumeOptions>();
    CLI::App* cmd = app.add_subcommand(
        "resume",
        "Continue a session that ended early (a power cut, a crash): make a working directory from the setup it "
        "was played with, whose shoe holds the hand in play when it stopped and every hand after it.");
    cmd->add_option("SESSION", options->session,
                    "one of the session's logs or its run record (dataout/ck071226_4711.txt), or its name "
                    "(071226_4711) looked up in ./dataout")
        ->required();
    cmd->add_option("DIR", options->dir,
                    "the new working directory, which must not exist or be empty (default: resume_<session> in the "
                    "current folder)");
    cmd->add_option("--setup", options->setup,
                    "the setup to continue with: when the run record or the saved setup is missing, or on purpose "
                    "when the saved setup was changed after the session");
    cmd->footer(
        "The setup comes from the copy the session's run record names (dataout/setups/<hash>), and only the\n"
        "files the record lists, each checked against its size and SHA-256 there: a file changed, missing\n"
        "or a link is named and nothing is made (exit 2) unless --setup DIR is given. The new shoe's\n"
        "header says which session and hand it continues, and its hands are the old shoe's lines from that\n"
        "hand on. The new directory gets that setup/, an empty dataout/ and a launcher qbxsolo.desktop.\n"
        "Exit codes: 0 made; 1 nothing to continue (the session ended normally, no hand is left, or its hands\n"
        "are not the setup's shoe); 2 could not run (a file or the saved setup missing, DIR not empty).\n"
        "Nothing is made unless all of it is.\n\n"
        "Example:\n  qbxtool resume dataout/ck071226_4711.txt\n  qbxtool resume 071226_4711 ~/experiments/pilot-4711");
    cmd->callback([options, &result] {
        options->program = programToLaunch();
        result.exitCode = logs::resumeSession(*options, std::cout, std::cerr);
    });
}

}  // namespace qbx::tool
