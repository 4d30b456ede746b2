#include "core/config/ConfigFiles.h"

#include "core/config/IniFile.h"

namespace qbx {

namespace {

// A catalogue path whose file name part is empty, such as the bare "./setup/"
// that an empty FileMessages gives, names no file at all: it is a missing
// catalogue, not an error of the reading machinery, although
// "./setup/" itself exists as a directory.
bool namesNoFile(const std::string& path) { return path.empty() || path.back() == '/' || path.back() == '\\'; }

IniFile::Status loadCatalogue(IniFile& ini, const std::string& path) {
    if (namesNoFile(path)) {
        ini.parse(std::string());
        return IniFile::Status::Missing;
    }
    return ini.load(path);
}

}  // namespace

bool parseWholeNumber(const std::string& text, int32_t& value) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return false;
    int64_t v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        v = v * 10 + (text[i] - '0');
        if (v > 2147483648LL) return false;
    }
    if (negative) v = -v;
    if (v > 2147483647LL || v < -2147483648LL) return false;
    value = static_cast<int32_t>(v);
    return true;
}

std::string upperAscii(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

bool readParameterFile(const std::string& path, ParameterValues& values) {
    IniFile ini;
    // The whole file is read before any field is written, so an error leaves
    // every field as it was (no key was read yet).
    if (ini.load(path) == IniFile::Status::Error) return false;
    const std::string s = "PARAMETER";
    values.shoeFilePath = "setup/" + ini.readString(s, "ShoeFileName", "");
    values.maxRoundsText = ini.readString(s, "MaxRounds", "");
    values.premiumRoundText = ini.readString(s, "PremiumRound", "");
    values.costMoveText = ini.readString(s, "CostMove", "");
    values.viewCard = upperAscii(ini.readString(s, "ViewCard", ""));
    values.fileBackCard = ini.readString(s, "FileBackCard", "");
    values.viewTarget = upperAscii(ini.readString(s, "ViewTarget", ""));
    values.viewCkNk = upperAscii(ini.readString(s, "ViewCkNk", ""));
    values.dealingOrder = upperAscii(ini.readString(s, "SyntaxInput", ""));
    values.fileMessages = ini.readString(s, "FileMessages", "");
    values.parX = ini.readInteger(s, "parX", 0);
    values.parY = ini.readInteger(s, "parY", 0);
    values.dragCkNkText = upperAscii(ini.readString(s, "Drag CkNk", ""));
    values.fileTexture = ini.readString(s, "File Texture", "NO");
    return true;
}

bool readMessageFile(const std::string& path, MessageTexts& texts) {
    IniFile ini;
    if (loadCatalogue(ini, path) == IniFile::Status::Error) return false;
    for (const CatalogueKey& entry : kCatalogueKeys)
        if (entry.text) texts.*entry.text = ini.readString(entry.section, entry.key, "");
    return true;
}

bool readLabelCode(const std::string& parameterPath, std::string& labelCode) {
    IniFile parameters;
    if (parameters.load(parameterPath) == IniFile::Status::Error) return false;
    const std::string fileMessages = parameters.readString("PARAMETER", "FileMessages", "");
    IniFile catalogue;
    if (loadCatalogue(catalogue, "./setup/" + fileMessages) == IniFile::Status::Error) return false;
    labelCode = catalogue.readString("MESSAGES", "LabelCode", "");
    return true;
}

}  // namespace qbx
