#pragma once
// The guard of every program that writes files (qbxtool's tables and pages,
// qbxreplay's pictures): what an output may never take the place of, checked
// before anything is written, and outputs written whole or not at all.

#include <string>
#include <string_view>
#include <vector>

namespace qbx::output {

// What a program reads, which its outputs keep off.
struct Inputs {
    std::vector<std::string> files;
    std::vector<std::string> folders;  // every file directly in them is read
    std::vector<std::string> trees;    // folders read with everything below them (a setup)
    // Files and folders of a command line, told apart as they are now.
    static Inputs of(const std::vector<std::string>& paths);
};

// A file a program is about to write, with the option that names it.
struct Output {
    std::string option;  // "-o", "--apng"
    std::string path;    // "-" for standard output
};

// "-" when `path` is a link to this program's standard output
// ("/dev/stdout"), which is written directly; otherwise `path`.
std::string standardOutputAs(const std::string& path);

// Why the outputs may not be written, naming the first refused; empty when
// all may. An output never replaces an input, never lies in a folder being
// read, and never is nor takes the name of an event log (logs are the
// experiment's only copy of its data); `force` does not change that. An
// existing file is replaced only with `force`, and only when it is a regular
// file: a link is neither written through nor replaced, and a named pipe, a
// device or a socket is refused (standard output is named "-"). No two
// outputs are one file, and at most one goes to standard output.
std::string refusal(const std::vector<Output>& outputs, const Inputs& inputs, bool force);

// Why files may not be written into `folder` (which is made when missing):
// it exists and is no folder, or it is or lies in a folder being read.
std::string folderRefusal(const std::string& folder, const Inputs& inputs);

// Writes `bytes` as the whole file at `path`, replacing it in one step, or
// to standard output for "-"; false with `error` naming the path and why.
bool writeWhole(const std::string& path, std::string_view bytes, std::string& error);

}  // namespace qbx::output
