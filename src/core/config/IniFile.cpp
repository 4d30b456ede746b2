#include "core/config/IniFile.h"

#include <cstring>
#include <limits>

#include "core/platform/System.h"

// Reading rules, after the profile-string reader of the platform of origin
// (GetPrivateProfileString behind Delphi's TIniFile):
//
// - Lines end at CR LF, LF or a lone CR; the last line needs no line end.
//   A UTF-8 byte order mark at the very start is skipped. Other bytes are
//   8-bit text and kept as they are, except NUL: a NUL byte ends the useful
//   part of its line (the C-string reader of the origin saw the text end
//   there); the rest of that line is ignored.
// - Blanks are spaces and tabs. Blank lines and lines whose first non-blank
//   character is ';' or '#' are comments. There are no comments at the end
//   of a key line: "a=b ; c" gives "b ; c".
// - "[name]" opens a section: the name lies between the '[' and the last ']'
//   of the line, blanks around it dropped; text after that ']' is ignored.
//   A line starting with '[' without any ']' is ignored.
// - A key line is split at its first '='; the key is what comes before it,
//   the value what follows it, each with surrounding blanks dropped. A value
//   of at least two characters that starts and ends with the same quote
//   character (" or ') loses those two characters (one pair only). Then the
//   value is cut at kMaxValue characters. Lines without '=' and lines with
//   an empty key name are ignored, as are key lines before the first section.
// - Names are matched without regard to the case of the ASCII letters; other
//   bytes must match exactly. Lookup names also have surrounding blanks
//   dropped.
// - The same key twice in a section: the first one counts. The same section
//   twice: only its first occurrence counts; the keys of any later occurrence
//   are ignored, even keys that the first occurrence lacks (the platform of
//   origin stops at the first section of that name and merges nothing).

namespace qbx {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

void trim(const char*& begin, const char*& end) {
    while (begin < end && isBlank(*begin)) ++begin;
    while (end > begin && isBlank(end[-1])) --end;
}

std::string lowerAscii(const char* begin, const char* end) {
    std::string out(begin, end);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string lookupName(const std::string& name) {
    const char* b = name.data();
    const char* e = b + name.size();
    trim(b, e);
    return lowerAscii(b, e);
}

}  // namespace

void IniFile::parse(const std::string& text) {
    sections_.clear();
    keyLines_.clear();
    std::string sectionName, sectionAsWritten;
    int lineNumber = 0, sectionLine = 0;
    const char* p = text.data();
    const char* const end = p + text.size();
    if (text.size() >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0) p += 3;

    Keys* current = nullptr;  // null before the first section and in repeated sections
    while (p < end) {
        // One line: [p, lineEnd), then skip its line end.
        const char* lineEnd = p;
        while (lineEnd < end && *lineEnd != '\n' && *lineEnd != '\r') ++lineEnd;
        const char* next = lineEnd;
        if (next < end) {
            if (*next == '\r' && next + 1 < end && next[1] == '\n')
                next += 2;
            else
                next += 1;
        }
        const char* b = p;
        const char* e = lineEnd;
        if (const void* nul = std::memchr(b, '\0', static_cast<size_t>(e - b))) e = static_cast<const char*>(nul);
        p = next;
        ++lineNumber;

        trim(b, e);
        if (b == e || *b == ';' || *b == '#') continue;

        if (*b == '[') {
            const char* close = e;
            while (close > b && close[-1] != ']') --close;
            if (close == b) continue;  // no ']' on the line
            const char* nb = b + 1;
            const char* ne = close - 1;
            trim(nb, ne);
            sectionName = lowerAscii(nb, ne);
            sectionAsWritten.assign(nb, ne);
            sectionLine = lineNumber;
            auto [it, inserted] = sections_.try_emplace(sectionName);
            current = inserted ? &it->second : nullptr;
            continue;
        }

        const char* eq = static_cast<const char*>(std::memchr(b, '=', static_cast<size_t>(e - b)));
        if (!eq) continue;
        const char* kb = b;
        const char* ke = eq;
        trim(kb, ke);
        if (kb == ke) continue;
        std::string key = lowerAscii(kb, ke);
        const bool counts = current && current->find(key) == current->end();
        keyLines_.push_back(
            KeyLine{sectionName, std::string(kb, ke), lineNumber, counts, sectionAsWritten, sectionLine});
        if (!current) continue;
        const char* vb = eq + 1;
        const char* ve = e;
        trim(vb, ve);
        if (ve - vb >= 2 && (*vb == '"' || *vb == '\'') && ve[-1] == *vb) {
            ++vb;
            --ve;
        }
        if (static_cast<size_t>(ve - vb) > kMaxValue) ve = vb + kMaxValue;
        if (counts) current->emplace(std::move(key), std::string(vb, ve));
    }
}

IniFile::Status IniFile::load(const std::string& path) {
    sections_.clear();
    keyLines_.clear();
    // Only regular files are read: a directory is an error, and a pipe or a
    // device could block the start-up for ever.
    std::string data, error;
    sys::ReadFault fault = sys::ReadFault::None;
    if (!sys::readWholeFile(path, data, error, kMaxFileBytes, &fault))
        return fault == sys::ReadFault::Missing ? Status::Missing : Status::Error;
    parse(data);
    return Status::Ok;
}

const std::string* IniFile::find(const std::string& section, const std::string& key) const {
    auto s = sections_.find(lookupName(section));
    if (s == sections_.end()) return nullptr;
    auto k = s->second.find(lookupName(key));
    return k == s->second.end() ? nullptr : &k->second;
}

std::string IniFile::readString(const std::string& section, const std::string& key,
                                const std::string& defaultValue) const {
    const std::string* value = find(section, key);
    return value ? *value : defaultValue;
}

int IniFile::readInteger(const std::string& section, const std::string& key, int defaultValue) const {
    const std::string* value = find(section, key);
    if (!value || value->empty()) return defaultValue;
    const std::string& v = *value;
    size_t i = 0;
    bool negative = false;
    if (v[0] == '+' || v[0] == '-') {
        negative = v[0] == '-';
        i = 1;
    }
    if (i == v.size()) return defaultValue;
    // Accumulate in 64 bits and stop as soon as the magnitude leaves the
    // 32-bit range, so that any number of digits is safe.
    const int64_t limit =
        negative ? -static_cast<int64_t>(std::numeric_limits<int32_t>::min()) : std::numeric_limits<int32_t>::max();
    int64_t magnitude = 0;
    for (; i < v.size(); ++i) {
        const char c = v[i];
        if (c < '0' || c > '9') return defaultValue;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > limit) return defaultValue;
    }
    return static_cast<int>(negative ? -magnitude : magnitude);
}

}  // namespace qbx
