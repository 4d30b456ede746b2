// IniFile::parse on any bytes, then every lookup the program makes of the
// parameter file and the message catalogue. Beyond not crashing, each value
// must obey the reading rules: at most kMaxValue characters, one line, and
// readInteger agrees with the text it converts.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/config/IniFile.h"

namespace {

struct Key {
    const char* section;
    const char* key;
};

constexpr Key kKeys[] = {
    {"PARAMETER", "ShoeFileName"},
    {"PARAMETER", "MaxRounds"},
    {"PARAMETER", "PremiumRound"},
    {"PARAMETER", "CostMove"},
    {"PARAMETER", "ViewCard"},
    {"PARAMETER", "FileBackCard"},
    {"PARAMETER", "ViewTarget"},
    {"PARAMETER", "ViewCkNk"},
    {"PARAMETER", "SyntaxInput"},
    {"PARAMETER", "FileMessages"},
    {"PARAMETER", "parX"},
    {"PARAMETER", "parY"},
    {"PARAMETER", "Drag CkNk"},
    {"PARAMETER", "File Texture"},
    {"MESSAGES", "Header"},
    {"MESSAGES", "IncorrectMove"},
    {"MESSAGES", "HandOver"},
    {"MESSAGES", "ForcedHandOver"},
    {"MESSAGES", "ForcedPassHandOver"},
    {"MESSAGES", "GameOver"},
    {"MESSAGES", "TotMove"},
    {"MESSAGES", "HandNumber"},
    {"MESSAGES", "HandEnded"},
    {"MESSAGES", "GameEnded"},
    {"MESSAGES", "LabelCode"},
    {"RULES", "Header"},
    {"RULES", "Block1CK"},
    {"RULES", "Block1NK"},
    {"TURNINDICATOR", "Header"},
    {"TURNINDICATOR", "CkTurn"},
    {"TURNINDICATOR", "NkTurn"},
    {"BUTTON", "Help"},
    {"BUTTON", "Step"},
    {"CARD", "Ck"},
    {"CARD", "Nk"},
    {"CARD", "T"},
};

std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// True when `text` is a decimal whole number, with an optional sign, that
// fits in 32 bits; its value goes to `value`.
bool wholeNumber(const std::string& text, long long& value) {
    size_t i = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
    if (i == text.size()) return false;
    for (size_t j = i; j < text.size(); ++j)
        if (text[j] < '0' || text[j] > '9') return false;
    size_t digits = text.size() - i;
    while (digits > 1 && text[text.size() - digits] == '0') --digits;  // leading zeros
    if (digits > 10) return false;
    value = std::strtoll(text.c_str(), nullptr, 10);
    return value >= INT32_MIN && value <= INT32_MAX;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qbx::IniFile ini;
    ini.parse(std::string(reinterpret_cast<const char*>(data), size));
    for (const Key& k : kKeys) {
        const std::string value = ini.readString(k.section, k.key, "\x01missing");
        if (value == "\x01missing") continue;
        if (value.size() > qbx::IniFile::kMaxValue) std::abort();
        if (value.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) std::abort();
        // Names match without regard to case.
        if (ini.readString(upper(k.section), upper(k.key), "") != value) std::abort();

        const int a = ini.readInteger(k.section, k.key, -7);
        const int b = ini.readInteger(k.section, k.key, 7);
        long long expected = 0;
        const bool isNumber = wholeNumber(value, expected);
        if (isNumber) {
            if (a != expected || b != expected) std::abort();
        } else if (a != -7 || b != 7) {
            std::abort();
        }
    }
    return 0;
}
