#include "tool/logs/Progress.h"

#include <chrono>
#include <cstdio>

#include <unistd.h>

namespace qbx::tool::logs {

namespace {
long long nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
}  // namespace

Progress::Progress(std::string what, size_t total)
    : what_(std::move(what)), total_(total), terminal_(::isatty(2) == 1), lastMs_(nowMs()) {}

Progress::~Progress() {
    if (shown_) std::fprintf(stderr, "\r%s: %zu/%zu sessions\n", what_.c_str(), done_, total_);
}

void Progress::step() {
    ++done_;
    if (!terminal_) return;
    const long long now = nowMs();
    if (now - lastMs_ < 200) return;
    lastMs_ = now;
    shown_ = true;
    std::fprintf(stderr, "\r%s: %zu/%zu sessions", what_.c_str(), done_, total_);
    std::fflush(stderr);
}

std::string toUtf8(std::string_view text) {
    // Check for well-formed UTF-8 first.
    bool valid = true;
    for (size_t i = 0; i < text.size() && valid;) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        int extra = 0;
        if (c < 0x80)
            extra = 0;
        else if (c >= 0xC2 && c <= 0xDF)
            extra = 1;
        else if (c >= 0xE0 && c <= 0xEF)
            extra = 2;
        else if (c >= 0xF0 && c <= 0xF4)
            extra = 3;
        else
            valid = false;
        for (int k = 1; valid && k <= extra; ++k)
            if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) valid = false;
        i += 1 + extra;
    }
    if (valid) return std::string(text);
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace qbx::tool::logs
