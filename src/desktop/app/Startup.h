#pragma once
// The start sequence of the program: application title, login window,
// hidden help window, event loop.

namespace qbx {

// Runs the whole program and returns its exit code.
int runQbxSolo(int argc, char** argv);

}  // namespace qbx
