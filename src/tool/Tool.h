#pragma once
// What every qbxtool command shares: the exit codes a script can rely on,
// the error that means "could not run", output files that appear whole or
// not at all, and the check that keeps an output off what is read.

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace qbx::tool {

enum ExitCode : int {
    kExitOk = 0,           // done, nothing wrong found
    kExitProblems = 1,     // done, and problems were found
    kExitCouldNotRun = 2,  // bad arguments, unreadable input, or a refused output
};

// Thrown when a command cannot do its work at all; the message says what
// and where (file, and line when there is one).
class CouldNotRun : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An output file written under a temporary name in the same folder and
// renamed to its real name by commit(). Dropped without commit() (an error,
// an exception), the temporary file is removed: a reader never finds a
// half-written table or page under the real name.
class OutputFile {
public:
    // "-" means standard output, written directly.
    explicit OutputFile(std::string path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    std::FILE* stream() { return file_; }
    void write(const std::string& text);
    void write(const char* data, size_t size);
    // Flushes, syncs and renames; throws CouldNotRun on any failure.
    void commit();
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::string tempPath_;
    std::FILE* file_ = nullptr;
    bool toStdout_ = false;
    bool committed_ = false;
};

// What a command reads: the files and the folders it was given, and the
// setup files behind --setup.
struct CommandInputs {
    std::vector<std::string> files;
    std::vector<std::string> folders;  // every file directly in them is read
    // Files and folders of a command line, told apart as they are now.
    static CommandInputs of(const std::vector<std::string>& paths);
};

// A file a command is about to write, with the option that names it.
struct CommandOutput {
    std::string option;  // "-o", "--hands"
    std::string path;    // "-" for standard output
};

// Checks the outputs of a command before anything is written, and throws
// CouldNotRun naming the first one refused. An output never replaces an
// input, never lies in a folder being read, and never is nor takes the
// name of an event log (logs are the experiment's only copy of its data);
// `force` does not change that. An existing file is replaced only with
// `force`, and only when it is a regular file. No two outputs are one file,
// and at most one goes to standard output.
void checkOutputs(const std::vector<CommandOutput>& outputs, const CommandInputs& inputs, bool force);

// A file's bytes, all of them; empty when it cannot be read.
std::string fileBytes(const std::string& path);

// "1 session", "2 sessions": a count with its noun in the right number.
std::string counted(long long n, const char* one, const char* many);

// The version of this build ("1.0"), with the commit it was built from when
// the build knew it ("1.0 (abc1234)").
std::string versionText();

}  // namespace qbx::tool
