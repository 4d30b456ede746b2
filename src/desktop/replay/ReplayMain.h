#pragma once

namespace qbx::replayview {

// The program: its command line, the window or an export. Exit codes: 0
// done, 2 could not run (a bad argument, a session that cannot be opened).
int runQbxReplay(int argc, char** argv);

}  // namespace qbx::replayview
