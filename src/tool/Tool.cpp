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

namespace {

void appendEscaped(std::string& out, unsigned char c) {
    static const char kHex[] = "0123456789abcdef";
    out += "\\x";
    out += kHex[c >> 4];
    out += kHex[c & 15];
}

bool isC0OrDelete(unsigned char c) { return c < 0x20 || c == 0x7F; }
// The second byte of a C1 control character in UTF-8 (0xC2 0x80 to 0xC2 0x9F).
bool isC1Second(unsigned char c) { return c >= 0x80 && c <= 0x9F; }

}  // namespace

std::string shownText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == 0xC2 && i + 1 < text.size() && isC1Second(static_cast<unsigned char>(text[i + 1]))) {
            appendEscaped(out, c);
            appendEscaped(out, static_cast<unsigned char>(text[++i]));
        } else if (isC0OrDelete(c)) {
            appendEscaped(out, c);
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
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
        afterC2_ = false;
        if (isC1Second(c)) {
            appendEscaped(out, 0xC2);
            appendEscaped(out, c);
            return target_->sputn(out.data(), static_cast<std::streamsize>(out.size())) ==
                           static_cast<std::streamsize>(out.size())
                       ? ch
                       : traits_type::eof();
        }
        out += '\xC2';
    }
    if (c == 0xC2)
        afterC2_ = true;
    else if (isC0OrDelete(c) && c != '\n')
        appendEscaped(out, c);
    else
        out += static_cast<char>(c);
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
