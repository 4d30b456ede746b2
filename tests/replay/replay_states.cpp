// Plays a session's two logs again and prints the table after each action,
// in the form the program writes to QBX_STATE_FILE: the real-window tests
// hold the two against each other.
//
//     replay_states WORKDIR CKLOG NKLOG WIDTH HEIGHT
//
// WORKDIR holds the session's setup/; WIDTH and HEIGHT are the screen the
// table was fitted to. What the replay could not follow goes to standard
// error, and makes the exit status 1.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/game/TableState.h"
#include "core/platform/System.h"
#include "core/replay/SessionReplay.h"

using namespace qbx;

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: replay_states WORKDIR CKLOG NKLOG WIDTH HEIGHT\n");
        return 2;
    }
    const std::filesystem::path ck = std::filesystem::absolute(argv[2]);
    const std::filesystem::path nk = std::filesystem::absolute(argv[3]);
    replay::SessionLogs logs{ck.filename().string(), nk.filename().string(), {}, {}, argv[1]};
    std::string error;
    if (!sys::readWholeFile(ck.string(), logs.ckBytes, error) ||
        !sys::readWholeFile(nk.string(), logs.nkBytes, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    const Size screen{std::atoi(argv[4]), std::atoi(argv[5])};
    std::unique_ptr<replay::SessionReplay> r = replay::SessionReplay::open(logs, screen, error);
    if (!r) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    for (size_t k = 0; k < r->actions().size(); ++k) {
        r->jumpToAction(k);
        std::printf("--- %zu\n%s", k, tableStateText(r->game()).c_str());
    }
    for (const replay::Problem& p : r->problems()) std::fprintf(stderr, "action %zu: %s\n", p.action, p.what.c_str());
    return r->problems().empty() ? 0 : 1;
}
