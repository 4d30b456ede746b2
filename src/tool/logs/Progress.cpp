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

}  // namespace qbx::tool::logs
