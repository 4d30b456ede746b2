#pragma once
// qbxsolo --check-machine [DIR] [-o PAGE] [--json FILE] [--force]: the real
// login and table, in a temporary folder of their own with the example
// setup, played by input sent as the system's own; what was measured is
// judged by core/machinecheck and written as lines, a page and JSON.

#include <cstdint>

namespace qbx {

// True when the command line asks for the machine check.
bool asksForMachineCheck(int argc, char** argv);
// Runs it: 0 fit, 1 a figure not fit or not measured, 2 it could not run.
// `startNs` is the steady clock at the program's start.
int runMachineCheck(int argc, char** argv, int64_t startNs);

}  // namespace qbx
