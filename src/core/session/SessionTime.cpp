#include "core/session/SessionTime.h"

#include <cstdio>

namespace qbx::session {

std::optional<long long> leadingStampMs(std::string_view text) {
    long long seconds = 0, millis = 0;
    size_t at = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) seconds = seconds * 10 + (text[at] - '0');
    if (at == 0 || at >= text.size() || text[at] != '.') return std::nullopt;
    const size_t from = ++at;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) millis = millis * 10 + (text[at] - '0');
    if (at == from || at >= text.size() || text[at] != ':') return std::nullopt;
    return seconds * 1000 + millis;
}

std::string clockText(long long ms) {
    ms %= kDayMs;
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld.%03lld", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60,
                  ms % 1000);
    return text;
}

}  // namespace qbx::session
