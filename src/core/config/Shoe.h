#pragma once
// The shoe file: a header line, then one hand per line. The whole file is
// checked when the game starts, so a faulty line is found before a
// participant plays.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qbx {

struct ShoeHand {
    std::string pairs[6];   // the six card texts as written, in shoe order
    char goalDigit = '0';   // significant character 13
    char goalLetter = 'H';  // significant character 14
    std::string firstTurn;  // significant characters 15 and 16
    int lineNumber = 0;     // in the file, the header being line 1
};

// Reads one shoe line. Blank lines (blanks, tabs, carriage returns only) are
// no hands: returns nullopt and leaves `fault` empty. A line that is not a
// hand returns nullopt with `fault` saying why.
std::optional<ShoeHand> parseShoeLine(const std::string& line, int lineNumber, std::string& fault);

// The lines of a shoe file's text as the game splits them. A line ends at
// LF, a CR just before it belonging to the line end (CR LF); any other CR
// stays in its line, where it is skipped like every character that is not
// significant. Only a file without any LF (an old Mac editor's) has its
// lines end at a lone CR. The last line needs no line end.
struct ShoeTextLine {
    int lineNumber = 0;   // the header being line 1
    std::string text;     // without its line end
    size_t start = 0;     // where the line begins in the file's text
    std::string lineEnd;  // "\r\n", "\n", "\r", or empty for a last line without one
};
// Every line, the header first. Empty for an empty text.
std::vector<ShoeTextLine> shoeLines(const std::string& text);
// The hand lines: every line after the header.
std::vector<ShoeTextLine> shoeHandLines(const std::string& text);

// A shoe made to continue a session that ended early says so in its header:
// "Continues session 071226_4711 from hand 3, made by qbxtool resume".
struct Continuation {
    std::string session;  // "071226_4711"
    int hand = 0;         // the hand of that session the shoe's first hand is
};
std::string continuationHeader(const Continuation& c);
// The continuation a header line names, or nullopt for any other header.
std::optional<Continuation> continuationOf(std::string_view header);

class Shoe {
public:
    enum class Status { Ok, Unreadable, Faulty };
    // Reads the file, skips the header line and checks every hand; a shoe
    // without any hand is Faulty too. On Faulty,
    // `fault` names the line and what is wrong with it. What is no regular
    // file, or larger than kMaxFileBytes, is Unreadable.
    Status load(const std::string& path, std::string& fault);
    // Parses shoe text already in memory (tests, fuzzing).
    Status loadText(const std::string& text, std::string& fault);
    static constexpr long long kMaxFileBytes = 256LL << 20;

    // The first line, which names no hand (its line end left out).
    const std::string& header() const { return header_; }
    bool atEnd() const { return next_ >= hands_.size(); }
    // The hands taken so far.
    size_t taken() const { return next_; }
    const ShoeHand& take() { return hands_[next_++]; }
    size_t size() const { return hands_.size(); }

private:
    std::vector<ShoeHand> hands_;
    std::string header_;
    size_t next_ = 0;
};

}  // namespace qbx
