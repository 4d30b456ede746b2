#pragma once
// A reader for the experimenter's INI files with the profile-string rules of
// the system's platform of origin: section and key names match without
// regard to case, blanks around a value are dropped, one pair of matching
// enclosing quotes is removed, values are cut at 2047 characters, and a
// missing file, section or key gives the caller's default. Text is 8-bit.

#include <string>
#include <unordered_map>
#include <vector>

namespace qbx {

class IniFile {
public:
    enum class Status { Ok, Missing, Error };

    // Reads the whole file. Missing: no such file (every lookup gives its
    // default). Error: the file exists but cannot be read (a directory, no
    // permission, an input error).
    Status load(const std::string& path);
    // Parses text already in memory (used by load, and by tests and fuzzing).
    void parse(const std::string& text);

    std::string readString(const std::string& section, const std::string& key, const std::string& defaultValue) const;
    // A value that is not a decimal whole number that fits in 32 bits gives
    // the default.
    int readInteger(const std::string& section, const std::string& key, int defaultValue) const;

    static constexpr size_t kMaxValue = 2047;
    // A larger file is not read (an error): no setup file comes near it.
    static constexpr long long kMaxFileBytes = 256LL << 20;

    // Every key line of the file, in order, for tools that point at a line:
    // its section (lower-cased; empty before the first one) as the lookup
    // knows it, and as written with the line of its header, the key as
    // written, its line number from 1, and whether a lookup finds it (false
    // for a repeated key, a key in a repeated section or before any section).
    struct KeyLine {
        std::string section;
        std::string key;
        int line = 0;
        bool counts = false;
        std::string sectionAsWritten;
        int sectionLine = 0;
    };
    const std::vector<KeyLine>& keyLines() const { return keyLines_; }

private:
    using Keys = std::unordered_map<std::string, std::string>;  // lower-cased key -> value
    // Lower-cased section name -> its keys. Only the first occurrence of a
    // section counts (see IniFile.cpp for the reading rules).
    std::unordered_map<std::string, Keys> sections_;
    std::vector<KeyLine> keyLines_;
    const std::string* find(const std::string& section, const std::string& key) const;
};

}  // namespace qbx
