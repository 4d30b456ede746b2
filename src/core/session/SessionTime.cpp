#include "core/session/SessionTime.h"

#include <cstdio>

namespace qbx::session {

std::optional<long long> leadingStampMs(std::string_view text) {
    // As a log's stamps are written: at most five digits of seconds and four
    // of milliseconds. A longer run of digits is no stamp (and never summed).
    const auto digits = [&text](size_t& at, size_t most, long long& value) {
        const size_t from = at;
        value = 0;
        for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
            if (at - from == most) return false;
            value = value * 10 + (text[at] - '0');
        }
        return at > from;
    };
    long long seconds = 0, millis = 0;
    size_t at = 0;
    if (!digits(at, 5, seconds) || at >= text.size() || text[at] != '.') return std::nullopt;
    ++at;
    if (!digits(at, 4, millis) || at >= text.size() || text[at] != ':') return std::nullopt;
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
