#pragma once
// Numbers as the machine check's three outputs write them: with a point
// whatever the program's locale, for a lab's report.

#include <charconv>
#include <cmath>
#include <string>

namespace qbx::machinecheck {

// Fixed decimals: "0.42", "302.16".
inline std::string fixedText(double x, int decimals = 2) {
    if (!std::isfinite(x)) return "-";
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::fixed, decimals);
    return std::string(buffer, result.ptr);
}

// As few digits as say the number: "1", "302", "1.5".
inline std::string shortText(double x) {
    if (!std::isfinite(x)) return "-";
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, x);
    return std::string(buffer, result.ptr);
}

}  // namespace qbx::machinecheck
