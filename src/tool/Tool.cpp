#include "tool/Tool.h"

#include <cerrno>
#include <cstring>

#include "core/platform/System.h"

#ifndef QBX_VERSION
#define QBX_VERSION "unknown"
#endif
#ifndef QBX_COMMIT
#define QBX_COMMIT ""
#endif

namespace qbx::tool {

namespace {

std::string reason() { return std::strerror(errno); }

}  // namespace

void checkOutputs(const std::vector<CommandOutput>& outputs, const CommandInputs& inputs, bool force) {
    if (const std::string why = output::refusal(outputs, inputs, force); !why.empty()) throw CouldNotRun(why);
}

OutputFile::OutputFile(std::string path) : path_(std::move(path)) {
    if (output::standardOutputAs(path_) == "-") {
        toStdout_ = true;
        return;
    }
    if (sys::isDirectory(path_)) throw CouldNotRun(path_ + ": is a directory, not a file name");
    std::string why;
    if (!file_.open(path_, why)) throw CouldNotRun(path_ + ": cannot be written (" + why + ")");
}

void OutputFile::write(const std::string& text) { write(text.data(), text.size()); }

void OutputFile::write(const char* data, size_t size) {
    if (size && std::fwrite(data, 1, size, stream()) != size)
        throw CouldNotRun(path_ + ": write failed (" + reason() + ")");
}

void OutputFile::commit() {
    if (committed_) return;
    if (toStdout_) {
        if (std::fflush(stdout) != 0) throw CouldNotRun("standard output: write failed (" + reason() + ")");
        committed_ = true;
        return;
    }
    std::string why;
    switch (file_.commit(why)) {
    case sys::ReplacingFile::Commit::Done: break;
    case sys::ReplacingFile::Commit::NotWritten: throw CouldNotRun(path_ + ": write failed (" + why + ")");
    case sys::ReplacingFile::Commit::NotRenamed: throw CouldNotRun(path_ + ": cannot be created (" + why + ")");
    }
    committed_ = true;
}

bool fileBytes(const std::string& path, std::string& bytes, std::string& error) {
    return sys::readWholeFile(path, bytes, error);
}

ShownOutput::ShownOutput(std::ostream& stream) : stream_(stream), target_(stream.rdbuf(this)) {}

ShownOutput::~ShownOutput() {
    sync();
    stream_.rdbuf(target_);
}

int ShownOutput::overflow(int ch) {
    if (ch == traits_type::eof()) return traits_type::not_eof(ch);
    const auto c = static_cast<unsigned char>(ch);
    std::string out;
    if (afterC2_) {
        // A C1 control is two bytes in UTF-8: shown with both, or 0xC2 passes.
        afterC2_ = false;
        out = shownText(std::string{'\xC2', static_cast<char>(c)});
        if (out.size() > 2) {
            return target_->sputn(out.data(), static_cast<std::streamsize>(out.size())) ==
                           static_cast<std::streamsize>(out.size())
                       ? ch
                       : traits_type::eof();
        }
        out.resize(1);
    }
    if (c == 0xC2)
        afterC2_ = true;
    else
        out += c == '\n' ? std::string("\n") : shownText(std::string(1, static_cast<char>(c)));
    return target_->sputn(out.data(), static_cast<std::streamsize>(out.size())) ==
                   static_cast<std::streamsize>(out.size())
               ? ch
               : traits_type::eof();
}

int ShownOutput::sync() {
    if (afterC2_) {
        afterC2_ = false;
        if (target_->sputc('\xC2') == traits_type::eof()) return -1;
    }
    return target_->pubsync();
}

std::string counted(long long n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string versionText() {
    const std::string commit = QBX_COMMIT;
    return commit.empty() ? std::string(QBX_VERSION) : std::string(QBX_VERSION) + " (" + commit + ")";
}

}  // namespace qbx::tool
