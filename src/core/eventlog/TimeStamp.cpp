#include "core/eventlog/TimeStamp.h"

#include <charconv>

namespace qbx {

std::string timeStamp(const LocalTime& t, int extraMs) {
    const long seconds = t.hour * 3600L + t.minute * 60L + t.second;
    std::string s = std::to_string(seconds);
    s += '.';
    s += std::to_string(t.millisecond + extraMs);
    s += ':';
    return s;
}

std::string scoreText(double score) {
    if (score == 0) return "0";  // never "-0"
    // to_chars ignores the locale, so the separator is always '.'.
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, score, std::chars_format::general, 15);
    return std::string(buffer, result.ptr);
}

std::string longPositionName(const std::string& shortName) {
    if (shortName == "ck") return "colorCardView";
    if (shortName == "c") return "downColorCardView";
    if (shortName == "up") return "upCardView";
    if (shortName == "n") return "downNumberCardView";
    if (shortName == "nk") return "numberCardView";
    if (shortName == "t") return "targetCardView";
    return shortName;
}

}  // namespace qbx
