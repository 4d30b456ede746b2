// qbxreplay: a session played back on the table, from its two logs.

#include "desktop/replay/ReplayMain.h"

int main(int argc, char** argv) { return qbx::replayview::runQbxReplay(argc, argv); }
