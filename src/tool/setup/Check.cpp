#include "tool/setup/Check.h"

#include <algorithm>
#include <filesystem>
#include <cstdio>

#include "core/config/ConfigFiles.h"
#include "core/config/IniFile.h"
#include "core/bitmap/Bitmap.h"
#include "core/platform/System.h"
#include "core/config/Shoe.h"
#include "tool/Tool.h"
#include "tool/setup/GameSetup.h"
#include "tool/setup/SolverTable.h"

namespace fs = std::filesystem;

namespace qbx::tool {

namespace {

constexpr const char* kParameterName = "setup/QBXParameter.ini";
constexpr uintmax_t kLowDiskSpace = uintmax_t{10} * 1024 * 1024;

// A switch: the words that mean something, and what the game does with any other.
struct Switch {
    const char* key;
    std::vector<std::string> words;
    const char* otherwise;
};
const Switch kSwitches[] = {
    {"ViewCard", {"ALL", "NONE", "MIX"}, "a swap never passes the turn; only a pass does"},
    {"ViewTarget", {"TRUE", "FALSE"}, "the goal card is not shown"},
    {"ViewCkNk", {"TRUE", "FALSE"}, "the hand cards lie face up"},
    {"SyntaxInput", {"CIRCULAR", "DEFAULT"}, "the cards are dealt in the default order, column by column"},
    {"Drag CkNk", {"TRUE", "FALSE"}, "the hand cards can never be dragged"},
};

std::string lowerNoBlanks(const std::string& s) {
    std::string out;
    for (char c : s)
        if (c != ' ' && c != '\t') out += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return out;
}

std::string lower(const std::string& s) {
    std::string out = s;
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = up;
        }
    }
    return row[b.size()];
}

class Checker {
public:
    explicit Checker(const SetupLocation& at) : at_(at) {}

    CheckReport run() {
        checkParameters();
        checkCatalogue();
        checkShoe();
        checkPictures();
        checkDataout();
        report_.workDir = at_.workDir.string();
        return std::move(report_);
    }

private:
    void error(const std::string& file, int line, const std::string& message) {
        report_.findings.push_back({Finding::Level::Error, file, line, message});
    }
    void warning(const std::string& file, int line, const std::string& message) {
        report_.findings.push_back({Finding::Level::Warning, file, line, message});
    }
    fs::path path(const std::string& gamePath) const { return at_.inWorkDir(gamePath); }
    int lineOf(const std::string& key) const {
        for (const IniFile::KeyLine& k : ini_.keyLines())
            if (k.counts && k.section == "parameter" && lower(k.key) == lower(key)) return k.line;
        return 0;
    }
    bool present(const char* key) const { return lineOf(key) != 0; }

    void checkParameters() {
        std::error_code ec;
        const IniFile::Status status = ini_.load(path(kParameterName).string());
        if (status == IniFile::Status::Missing) {
            error(kParameterName, 0, "missing: the game cannot start without MaxRounds, PremiumRound and CostMove");
            return;
        }
        if (status == IniFile::Status::Error) {
            error(kParameterName, 0, "cannot be read (the game says: " + std::string(kParameterReadError) + ")");
            return;
        }
        readParameterFile(path(kParameterName).string(), params_);
        parametersRead_ = true;
        checkKeyNames();
        for (const char* key : {"MaxRounds", "PremiumRound", "CostMove"}) {
            int32_t value = 0;
            const std::string text = key == std::string("MaxRounds")      ? params_.maxRoundsText
                                     : key == std::string("PremiumRound") ? params_.premiumRoundText
                                                                          : params_.costMoveText;
            if (!present(key)) {
                error(kParameterName, 0, std::string(key) + " is missing: the game will not start");
            } else if (!parseWholeNumber(text, value)) {
                error(kParameterName, lineOf(key),
                      std::string(key) + " '" + text + "' is not a whole number: the game will not start");
            } else if (key == std::string("MaxRounds")) {
                if (value <= 0)
                    warning(kParameterName, lineOf(key), "MaxRounds " + text + ": every hand ends at its first action");
            }
        }
        const std::string values[] = {params_.viewCard, params_.viewTarget, params_.viewCkNk, params_.dealingOrder,
                                      params_.dragCkNkText};
        for (size_t i = 0; i < std::size(kSwitches); ++i) {
            const Switch& s = kSwitches[i];
            if (std::find(s.words.begin(), s.words.end(), values[i]) != s.words.end()) continue;
            std::string words;
            for (size_t w = 0; w < s.words.size(); ++w) words += (w ? ", " : "") + s.words[w];
            if (!present(s.key) || values[i].empty())
                warning(kParameterName, lineOf(s.key), std::string(s.key) + " is missing or empty: " + s.otherwise);
            else
                warning(
                    kParameterName, lineOf(s.key),
                    std::string(s.key) + " '" + values[i].substr(0, 40) + "' is none of " + words + ": " + s.otherwise);
        }
        for (const char* key : {"parX", "parY"}) {
            IniFile::KeyLine const* line = nullptr;
            for (const IniFile::KeyLine& k : ini_.keyLines())
                if (k.counts && k.section == "parameter" && lower(k.key) == lower(key)) line = &k;
            const std::string text = ini_.readString("PARAMETER", key, "");
            int32_t value = 0;
            if (line && !text.empty() && !parseWholeNumber(text, value))
                warning(kParameterName, line->line,
                        std::string(key) + " '" + text + "' is not a whole number: the game uses 0");
        }
        if (!present("ShoeFileName") || ini_.readString("PARAMETER", "ShoeFileName", "").empty())
            error(kParameterName, lineOf("ShoeFileName"), "ShoeFileName is missing or empty: the game has no shoe");
        if (!present("FileMessages") || params_.fileMessages.empty())
            error(kParameterName, lineOf("FileMessages"),
                  "FileMessages is missing or empty: every text on the table will be empty");
    }

    void checkKeyNames() {
        bool sectionSeen = false;
        std::vector<std::string> otherSections;
        for (const IniFile::KeyLine& k : ini_.keyLines()) {
            if (k.section != "parameter") {
                if (std::find(otherSections.begin(), otherSections.end(), k.section) == otherSections.end()) {
                    otherSections.push_back(k.section);
                    if (k.section.empty())
                        warning(kParameterName, k.line,
                                "'" + k.key + "' lies before any section: the game does not read it");
                    else
                        warning(kParameterName, k.sectionLine,
                                "section [" + k.sectionAsWritten + "] is not read: the game reads [PARAMETER] only");
                }
                continue;
            }
            sectionSeen = true;
            if (!k.counts) {
                warning(kParameterName, k.line,
                        "'" + k.key + "' appears again (or in a repeated section): the game reads only its first line");
                continue;
            }
            bool known = false;
            const char* closest = nullptr;
            size_t best = 3;
            for (const char* key : kParameterKeys) {
                if (lower(k.key) == lower(key)) known = true;
                const size_t d = lowerNoBlanks(k.key) == lowerNoBlanks(key)
                                     ? 0
                                     : editDistance(lowerNoBlanks(k.key), lowerNoBlanks(key));
                if (d < best) {
                    best = d;
                    closest = key;
                }
            }
            if (known) continue;
            if (closest)
                warning(kParameterName, k.line,
                        "'" + k.key + "' is not a key the game reads: it probably means '" + closest + "'");
            else
                warning(kParameterName, k.line, "'" + k.key + "' is not a key the game reads");
        }
        if (!sectionSeen && ini_.keyLines().empty())
            error(kParameterName, 0, "holds no [PARAMETER] keys: the game will not start");
    }

    void checkCatalogue() {
        if (!parametersRead_ || params_.fileMessages.empty()) return;
        const std::string name = "setup/" + params_.fileMessages;
        IniFile catalogue;
        const IniFile::Status status = catalogue.load(path(name).string());
        if (status == IniFile::Status::Missing) {
            error(name, 0, "missing: every text on the table will be empty");
            return;
        }
        if (status == IniFile::Status::Error) {
            error(name, 0, "cannot be read (the game says: " + std::string(kMessagesReadError) + ")");
            return;
        }
        for (const CatalogueKey& entry : kCatalogueKeys) {
            if (!entry.shown) continue;
            const char* section = entry.section;
            const char* key = entry.key;
            bool found = false;
            for (const IniFile::KeyLine& k : catalogue.keyLines())
                if (k.counts && k.section == lower(section) && lower(k.key) == lower(key)) found = true;
            if (!found)
                warning(name, 0,
                        std::string("[") + section + "] " + key + " is missing: that text will be empty on the table");
        }
    }

    void checkShoe() {
        if (!parametersRead_ || ini_.readString("PARAMETER", "ShoeFileName", "").empty()) return;
        const std::string name = params_.shoeFilePath;
        std::string text, why;
        sys::ReadFault fault = sys::ReadFault::None;
        if (!sys::readWholeFile(path(name).string(), text, why, Shoe::kMaxFileBytes, &fault)) {
            if (fault == sys::ReadFault::Missing || fault == sys::ReadFault::Directory ||
                fault == sys::ReadFault::NotAFile)
                error(name, 0, "missing or not a file (the game says: I do not find the the shoefile " + name + ")");
            else
                error(name, 0, fault == sys::ReadFault::TooLarge ? "cannot be read (" + why + ")" : "cannot be read");
            return;
        }
        if (text.empty()) {
            error(name, 0, "empty: the game wants a header line, then one hand per line");
            return;
        }
        // The rules the game would play the shoe under, when MaxRounds is known.
        const rules::RulesOfSetup setup = rules::rulesOf(params_);
        std::optional<SolverTable> table;
        if (setup.maxRoundsRead) table.emplace(setup.rules);
        int hands = 0;
        for (const ShoeTextLine& line : shoeHandLines(text)) {
            std::string fault;
            const std::optional<ShoeHand> hand = parseShoeLine(line.text, line.lineNumber, fault);
            if (!hand) {
                if (!fault.empty()) error(name, line.lineNumber, fault);
                continue;
            }
            ++hands;
            const rules::Deal deal = rules::dealOf(*hand, setup.rules.circularDeal);
            const std::string goal = cardText(deal.goalCard);
            if (hand->firstTurn != "ck" && hand->firstTurn != "nk")
                warning(name, line.lineNumber,
                        "the opener '" + hand->firstTurn + "' is neither ck nor nk: the ColorKeeper opens");
            if (deal.positionOfCard[deal.goalCard] == targetCardView) {
                warning(name, line.lineNumber,
                        "the goal card " + goal + " lies at the Target as dealt: the hand ends at its first action");
            } else if (table && !fewestActions(*table, deal)) {
                const std::optional<int> never = table->distance(deal);
                warning(name, line.lineNumber,
                        "the goal card " + goal + " cannot reach the Target within MaxRounds " +
                            std::to_string(setup.rules.maxRounds) +
                            (never ? " (it needs " + counted(*never, "action", "actions") + ")"
                                   : " (no line of play reaches it)"));
            }
        }
        if (hands == 0) error(name, 0, "no hands: the game ends at its first deal");
    }

    void checkPictures() {
        if (!parametersRead_) return;
        std::error_code ec;
        const std::string back = "setup/" + params_.fileBackCard;
        if (params_.fileBackCard.empty()) {
            warning(kParameterName, lineOf("FileBackCard"),
                    "FileBackCard is missing or empty: the built-in back is used");
        } else if (!fs::exists(path(back), ec) || fs::is_directory(path(back), ec)) {
            warning(back, 0, "missing: the built-in back is used");
        } else {
            std::string why;
            const std::shared_ptr<const Bitmap> bitmap = loadBmpFile(path(back).string(), &why);
            if (!bitmap)
                error(back, 0, "not a readable bitmap (" + why + "): the game will not start");
            else if (bitmap->width != 75 || bitmap->height != 107)
                warning(back, 0,
                        std::to_string(bitmap->width) + " x " + std::to_string(bitmap->height) +
                            " pixels, not 75 x 107: it is drawn at its own size, cut or leaving part of the card bare");
        }
        if (upperAscii(params_.fileTexture) != "NO" || fs::exists(path("setup/" + params_.fileTexture), ec)) {
            const std::string texture = "setup/" + params_.fileTexture;
            std::string why;
            if (!loadBmpFile(path(texture).string(), &why))
                warning(texture, 0, "cannot be read as a bitmap (" + why + "): the table has no background picture");
        }
        if (!fs::is_regular_file(path("setup/help.html"), ec))
            warning("setup/help.html", 0, "missing: the help window will have no page to show");
    }

    void checkDataout() {
        std::error_code ec;
        const fs::path dataout = path("dataout");
        if (!fs::is_directory(dataout, ec)) {
            error("dataout", 0,
                  "missing (the game says: There must be a directory named 'dataout' to save the software output.)");
            return;
        }
        const fs::path probe = dataout / (".qbxtool-check-" + std::to_string(sys::processId()));
        {
            bool exists = false;
            std::string why;
            std::FILE* out = sys::createNewFile(probe.string(), exists, why);
            bool written = out && std::fputs("probe", out) >= 0;
            if (out && std::fclose(out) != 0) written = false;
            if (!written) {
                error("dataout", 0, "not writable: the game cannot write its logs");
                if (out) fs::remove(probe, ec);
                return;
            }
        }
        fs::remove(probe, ec);
        const fs::space_info space = fs::space(dataout, ec);
        if (!ec && space.available < kLowDiskSpace)
            warning("dataout", 0,
                    "only " + std::to_string(space.available / 1024) + " KB free on its disk (under 10 MB)");
    }

    SetupLocation at_;
    CheckReport report_;
    IniFile ini_;
    ParameterValues params_;
    bool parametersRead_ = false;
};

}  // namespace

int CheckReport::count(Finding::Level level) const {
    return static_cast<int>(
        std::count_if(findings.begin(), findings.end(), [level](const Finding& f) { return f.level == level; }));
}

CheckReport checkWorkDir(const std::string& dir) {
    std::error_code ec;
    const fs::path given = dir.empty() ? fs::path(".") : fs::path(dir);
    if (!fs::is_directory(given, ec)) throw CouldNotRun(given.string() + ": no such directory");
    // A setup folder given by mistake for its working directory: check the one that holds it.
    if (!fs::exists(given / "setup", ec) && fs::exists(given / "QBXParameter.ini", ec))
        return Checker(locateSetup(dir)).run();
    return Checker(SetupLocation{given, given / "setup"}).run();
}

std::string checkText(const CheckReport& report) {
    std::string out;
    for (const Finding::Level level : {Finding::Level::Error, Finding::Level::Warning}) {
        for (const Finding& f : report.findings) {
            if (f.level != level) continue;
            out += f.file.empty() ? report.workDir : f.file;
            if (f.line > 0) out += ":" + std::to_string(f.line);
            out += level == Finding::Level::Error ? ": error: " : ": warning: ";
            out += f.message + "\n";
        }
    }
    const int errors = report.count(Finding::Level::Error), warnings = report.count(Finding::Level::Warning);
    out += report.workDir + ": " + std::to_string(errors) + (errors == 1 ? " error, " : " errors, ") +
           std::to_string(warnings) + (warnings == 1 ? " warning" : " warnings") + "\n";
    return out;
}

json::Value checkJson(const CheckReport& report) {
    json::Value out = json::Value::object();
    out.set("directory", report.workDir);
    json::Value errors = json::Value::array(), warnings = json::Value::array();
    for (const Finding& f : report.findings) {
        json::Value& j = (f.level == Finding::Level::Error ? errors : warnings).push(json::Value::object());
        j.set("file", f.file);
        j.set("message", f.message);
        j.set("line", f.line > 0 ? json::Value(f.line) : json::Value());
    }
    out.set("errors", std::move(errors));
    out.set("warnings", std::move(warnings));
    return out;
}

}  // namespace qbx::tool
