// Writes N sessions of logs with the engine itself, for the qbxtool csv
// benchmark: scripted games on a fake clock (each hand a swap, then passes
// until four in a row end it), durability off so that making them is quick.
//
//   qbx_make_logs DIR SESSIONS HANDS

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "core/eventlog/LogFormat.h"
#include "support/FakeDesktop.h"
#include "support/ScriptedPlay.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: qbx_make_logs DIR SESSIONS HANDS\n");
        return 2;
    }
    const fs::path out = fs::absolute(argv[1]);
    const int sessions = std::atoi(argv[2]), hands = std::atoi(argv[3]);
    fs::create_directories(out);
    for (int n = 0; n < sessions; ++n) {
        qbx::test::WorkDir dir;
        qbx::test::writeScriptedSetup(dir, hands, 1000u + static_cast<unsigned>(n));
        qbx::test::Session s;
        qbx::test::startScripted(s);
        s.game.setDurableLogs(false);
        qbx::test::ScriptedPlay play(s);
        play.playToEnd();
        // The two logs, by their names: the run record and the saved setup
        // beside them are no part of the benchmark's input.
        int copied = 0;
        for (const std::string& name : dir.list("dataout")) {
            const std::optional<qbx::LogName> log = qbx::parseLogName(name);
            if (!log) continue;
            fs::copy_file(
                fs::path(dir.path()) / "dataout" / name,
                out / ((log->colorKeeper ? "ck" : "nk") + std::string("071226_") + std::to_string(n) + ".txt"),
                fs::copy_options::overwrite_existing);
            ++copied;
        }
        if (copied != 2) {
            std::fprintf(stderr, "qbx_make_logs: session %d left %d logs, not 2\n", n, copied);
            return 1;
        }
    }
    return 0;
}
