#include "core/config/Shoe.h"

#include "core/platform/System.h"

namespace qbx {

namespace {

bool isSignificant(char c) {
    switch (c) {
    case '2':
    case '3':
    case '4':
    case 'C':
    case 'H':
    case 'c':
    case 'k':
    case 'n': return true;
    default: return false;
    }
}

bool isBlankLine(const std::string& line) {
    for (char c : line)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\f' && c != '\v') return false;
    return true;
}

bool isDigit(char c) { return c >= '2' && c <= '4'; }

std::string lineText(int lineNumber) { return "line " + std::to_string(lineNumber); }

}  // namespace

std::optional<ShoeHand> parseShoeLine(const std::string& line, int lineNumber, std::string& fault) {
    fault.clear();
    if (isBlankLine(line)) return std::nullopt;
    std::string sig;
    for (char c : line) {
        if (!isSignificant(c)) continue;
        if (sig.size() == 16) {
            fault = lineText(lineNumber) + " has more than 16 significant characters";
            return std::nullopt;
        }
        sig += c;
    }
    if (sig.size() != 16) {
        fault = lineText(lineNumber) + " has " + std::to_string(sig.size()) + " significant characters instead of 16";
        return std::nullopt;
    }
    ShoeHand hand;
    hand.lineNumber = lineNumber;
    bool seen[7] = {};
    for (size_t pair = 0; pair < 7; ++pair) {
        const char digit = sig[2 * pair];
        const char letter = sig[2 * pair + 1];
        const std::string what = pair < 6 ? "card " + std::to_string(pair + 1) : std::string("the goal card");
        if (!isDigit(digit)) {
            fault = lineText(lineNumber) + ": " + what + " does not begin with a number 2, 3 or 4";
            return std::nullopt;
        }
        if (isDigit(letter)) {
            fault = lineText(lineNumber) + ": " + what + " has a number where its colour letter belongs";
            return std::nullopt;
        }
        if (pair == 6) {
            hand.goalDigit = digit;
            hand.goalLetter = letter;
            break;
        }
        hand.pairs[pair] = std::string{digit, letter};
        const int slot = letter == 'H' ? digit - '0' - 1 : digit - '0' + 2;
        if (seen[slot]) {
            fault =
                lineText(lineNumber) + " names the card " + std::string{digit, letter == 'H' ? 'H' : 'C'} + " twice";
            return std::nullopt;
        }
        seen[slot] = true;
    }
    hand.firstTurn = sig.substr(14, 2);
    return hand;
}

Shoe::Status Shoe::load(const std::string& path, std::string& fault) {
    std::string text, error;
    if (!sys::readWholeFile(path, text, error, kMaxFileBytes)) return Status::Unreadable;
    return loadText(text, fault);
}

std::vector<ShoeTextLine> shoeLines(const std::string& text) {
    // A CR inside a line of an LF file is no line end: the line is one hand,
    // its CR skipped like any character that is not significant. Only a
    // file without any LF has its lines end at a lone CR.
    const bool crEndsLines = text.find('\n') == std::string::npos;
    const char* const ends = crEndsLines ? "\r" : "\n";
    std::vector<ShoeTextLine> lines;
    size_t start = 0;
    while (start < text.size()) {
        ShoeTextLine line;
        line.lineNumber = static_cast<int>(lines.size()) + 1;
        line.start = start;
        const size_t end = text.find_first_of(ends, start);
        size_t textEnd = end == std::string::npos ? text.size() : end;
        if (end != std::string::npos) {
            if (!crEndsLines && textEnd > start && text[textEnd - 1] == '\r') --textEnd;
            line.lineEnd = text.substr(textEnd, end + 1 - textEnd);
        }
        line.text = text.substr(start, textEnd - start);
        lines.push_back(std::move(line));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

std::vector<ShoeTextLine> shoeHandLines(const std::string& text) {
    std::vector<ShoeTextLine> lines = shoeLines(text);
    if (!lines.empty()) lines.erase(lines.begin());
    return lines;
}

Shoe::Status Shoe::loadText(const std::string& text, std::string& fault) {
    hands_.clear();
    next_ = 0;
    fault.clear();
    const std::vector<ShoeTextLine> lines = shoeLines(text);
    header_ = lines.empty() ? std::string() : lines.front().text;
    for (size_t i = 1; i < lines.size(); ++i) {
        const ShoeTextLine& line = lines[i];
        std::string lineFault;
        std::optional<ShoeHand> hand = parseShoeLine(line.text, line.lineNumber, lineFault);
        if (hand) {
            hands_.push_back(std::move(*hand));
        } else if (!lineFault.empty()) {
            fault = lineFault;
            hands_.clear();
            return Status::Faulty;
        }
    }
    // A shoe without a hand would open two logs for a game of no hand at
    // all: it is refused at the start, like a faulty line.
    if (hands_.empty()) {
        fault = "it holds no hands";
        return Status::Faulty;
    }
    return Status::Ok;
}

namespace {
constexpr std::string_view kContinuesSession = "Continues session ";
constexpr std::string_view kFromHand = " from hand ";
constexpr std::string_view kMadeByResume = ", made by qbxtool resume";
}  // namespace

std::string continuationHeader(const Continuation& c) {
    return std::string(kContinuesSession) + c.session + std::string(kFromHand) + std::to_string(c.hand) +
           std::string(kMadeByResume);
}

std::optional<Continuation> continuationOf(std::string_view header) {
    while (!header.empty() && (header.back() == '\r' || header.back() == '\n')) header.remove_suffix(1);
    if (header.substr(0, kContinuesSession.size()) != kContinuesSession) return std::nullopt;
    header.remove_prefix(kContinuesSession.size());
    const size_t from = header.find(kFromHand);
    if (from == 0 || from == std::string_view::npos) return std::nullopt;
    Continuation c;
    c.session = std::string(header.substr(0, from));
    for (const char ch : c.session)
        if (!((ch >= '0' && ch <= '9') || ch == '_')) return std::nullopt;
    header.remove_prefix(from + kFromHand.size());
    size_t digits = 0;
    for (; digits < header.size() && digits < 7 && header[digits] >= '0' && header[digits] <= '9'; ++digits)
        c.hand = c.hand * 10 + (header[digits] - '0');
    if (digits == 0 || c.hand < 1) return std::nullopt;
    header.remove_prefix(digits);
    if (!header.empty() && header.substr(0, 1) != ",") return std::nullopt;
    return c;
}

}  // namespace qbx
