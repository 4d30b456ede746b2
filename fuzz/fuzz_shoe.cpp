// The shoe file on any bytes: Shoe::loadText on the whole input and
// parseShoeLine on each of its lines. Every hand that is accepted must be
// playable: six different cards with the numbers 2 to 4, a goal card with a
// number 2 to 4, two characters for the opening role. A shoe that loads
// holds exactly one hand per non-blank line after the header, and at least one.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/config/Shoe.h"

namespace {

bool isNumber(char c) { return c >= '2' && c <= '4'; }
bool isLetter(char c) { return c == 'C' || c == 'H' || c == 'c' || c == 'k' || c == 'n'; }

void checkHand(const qbx::ShoeHand& hand) {
    bool seen[2][5] = {};
    for (const std::string& card : hand.pairs) {
        if (card.size() != 2 || !isNumber(card[0]) || !isLetter(card[1])) std::abort();
        bool& s = seen[card[1] == 'H' ? 0 : 1][card[0] - '0'];
        if (s) std::abort();  // the same card twice
        s = true;
    }
    if (!isNumber(hand.goalDigit) || !isLetter(hand.goalLetter)) std::abort();
    if (hand.firstTurn.size() != 2) std::abort();
}

bool blank(const std::string& line) { return line.find_first_not_of(" \t\r\f\v") == std::string::npos; }

// Lines end at LF (or CR LF); a lone CR ends a line only in a text with no
// LF at all. The first line is the header.
std::vector<std::string> linesAfterHeader(const std::string& text) {
    const char end = text.find('\n') == std::string::npos ? '\r' : '\n';
    std::vector<std::string> lines;
    std::string line;
    bool header = true;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != end) {
            line += c;
            if (i + 1 < text.size()) continue;
        }
        if (!header) lines.push_back(line);
        header = false;
        line.clear();
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> lines = linesAfterHeader(text);

    size_t accepted = 0;
    bool anyFault = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string fault = "unchanged";
        const auto hand = qbx::parseShoeLine(lines[i], static_cast<int>(i) + 2, fault);
        if (hand) {
            if (!fault.empty()) std::abort();
            if (hand->lineNumber != static_cast<int>(i) + 2) std::abort();
            checkHand(*hand);
            ++accepted;
        } else if (blank(lines[i]) != fault.empty()) {
            std::abort();  // only blank lines are refused without a reason
        }
        anyFault = anyFault || (!hand && !fault.empty());
    }

    qbx::Shoe shoe;
    std::string fault;
    const qbx::Shoe::Status status = shoe.loadText(text, fault);
    switch (status) {
    case qbx::Shoe::Status::Unreadable: std::abort();  // text in memory is always readable
    case qbx::Shoe::Status::Faulty:
        // A faulty line, or no hand at all.
        if ((!anyFault && accepted != 0) || fault.empty() || shoe.size() != 0 || !shoe.atEnd()) std::abort();
        break;
    case qbx::Shoe::Status::Ok: {
        if (anyFault || accepted == 0 || !fault.empty() || shoe.size() != accepted) std::abort();
        size_t taken = 0;
        while (!shoe.atEnd()) {
            checkHand(shoe.take());
            ++taken;
        }
        if (taken != accepted) std::abort();
        break;
    }
    }
    return 0;
}
