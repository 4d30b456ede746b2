#pragma once
// What every qbxtool command shares: the exit codes a script can rely on,
// the error that means "could not run", output files that appear whole or
// not at all, and the guard that keeps an output off what is read.

#include <cstdio>
#include <ostream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

#include "core/output/OutputGuard.h"
#include "core/platform/System.h"
#include "core/text/Encoding.h"

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
// renamed to its real name by commit(), its folder synced. Dropped without
// commit() (an error, an exception), the temporary file is removed: a reader
// never finds a half-written table or page under the real name.
class OutputFile {
public:
    // "-", or a link to standard output ("/dev/stdout"), is written directly.
    explicit OutputFile(std::string path);
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    std::FILE* stream() { return toStdout_ ? stdout : file_.stream(); }
    void write(const std::string& text);
    void write(const char* data, size_t size);
    // Flushes, syncs and renames; throws CouldNotRun on any failure.
    void commit();
    const std::string& path() const { return path_; }

private:
    std::string path_;
    sys::ReplacingFile file_;
    bool toStdout_ = false;
    bool committed_ = false;
};

// What a command reads, and a file it is about to write: see
// core/output/OutputGuard.h.
using CommandInputs = output::Inputs;
using CommandOutput = output::Output;

// Checks the outputs of a command before anything is written, and throws
// CouldNotRun naming the first one refused (output::refusal).
void checkOutputs(const std::vector<CommandOutput>& outputs, const CommandInputs& inputs, bool force);

// A regular file's bytes, all of them; false with the system's reason in
// `error` when it cannot be read.
bool fileBytes(const std::string& path, std::string& bytes, std::string& error);

// For as long as it lives, what is written to `stream` reaches it as
// shownText gives it, line feeds kept: qbxtool's messages and its text
// outputs (never a table or JSON, whose writers escape what they must).
class ShownOutput : private std::streambuf {
public:
    explicit ShownOutput(std::ostream& stream);
    ~ShownOutput() override;
    ShownOutput(const ShownOutput&) = delete;
    ShownOutput& operator=(const ShownOutput&) = delete;

private:
    int overflow(int c) override;
    int sync() override;
    std::ostream& stream_;
    std::streambuf* target_;
    bool afterC2_ = false;  // a 0xC2 byte held: it may begin a C1 character
};

// "1 session", "2 sessions": a count with its noun in the right number.
std::string counted(long long n, const char* one, const char* many);

// The version of this build ("1.0"), with the commit it was built from when
// the build knew it ("1.0 (abc1234)").
std::string versionText();

}  // namespace qbx::tool
