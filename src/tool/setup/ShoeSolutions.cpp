#include "tool/setup/ShoeSolutions.h"

#include <algorithm>

#include "core/config/Shoe.h"
#include "core/eventlog/LogFormat.h"
#include "core/platform/System.h"
#include "tool/Tool.h"

namespace qbx::tool {

namespace {

const char* statusName(HandSolution::Status s) {
    switch (s) {
    case HandSolution::Status::Solved: return "solved";
    case HandSolution::Status::AlreadyAtTarget: return "already at the Target";
    case HandSolution::Status::Unreachable: return "unreachable";
    }
    return "";
}

std::string shoeText(const std::string& path) {
    std::string text, error;
    sys::ReadFault fault = sys::ReadFault::None;
    if (sys::readWholeFile(path, text, error, Shoe::kMaxFileBytes, &fault)) return text;
    switch (fault) {
    case sys::ReadFault::Missing: throw CouldNotRun(path + ": no such file");
    case sys::ReadFault::Directory: throw CouldNotRun(path + ": a directory, not a shoe file");
    case sys::ReadFault::NotAFile: throw CouldNotRun(path + ": not a regular file (a shoe is a text file of deals)");
    case sys::ReadFault::TooLarge: throw CouldNotRun(path + ": " + error + ", too large for a shoe");
    default: throw CouldNotRun(path + ": cannot be read");
    }
}

std::string trimmed(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return "";
    return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

}  // namespace

std::string rulesSummary(const GameSetup& setup) {
    const auto word = [](const std::string& v) { return v.empty() ? std::string("(none)") : v; };
    return "ViewCard " + word(setup.parameters.viewCard) + ", Drag CkNk " + word(setup.parameters.dragCkNkText) +
           ", MaxRounds " + std::to_string(setup.rules.maxRounds) + ", SyntaxInput " +
           word(setup.parameters.dealingOrder);
}

HandSolution solveDeal(const rules::Deal& deal, const GameSetup& setup, const SolverTable& table) {
    HandSolution h;
    h.deal = deal;
    const std::optional<int> n = fewestActions(table, deal);
    if (!n) {
        h.status = HandSolution::Status::Unreachable;
        return h;
    }
    if (deal.positionOfCard[deal.goalCard] == targetCardView) {
        h.status = HandSolution::Status::AlreadyAtTarget;
        // The hand ends at its first action, whatever it is.
        h.fewestActions = 1;
        h.score = scoreText(rules::roleScore(setup.rules, 1));
        return h;
    }
    h.fewestActions = *n;
    h.line = shortestLine(table, deal);
    h.score = scoreText(rules::roleScore(setup.rules, *n));
    return h;
}

std::vector<HandSolution> solveShoe(const std::string& shoePath, const GameSetup& setup, const SolverTable& table) {
    const std::string text = shoeText(shoePath);
    if (text.empty()) throw CouldNotRun(shoePath + ": empty (the game wants a header line)");
    std::vector<HandSolution> hands;
    for (const ShoeTextLine& line : shoeHandLines(text)) {
        std::string fault;
        const std::optional<ShoeHand> hand = parseShoeLine(line.text, line.lineNumber, fault);
        if (!hand) {
            if (fault.empty()) continue;  // a blank line
            throw CouldNotRun(shoePath + ":" + std::to_string(line.lineNumber) + ": " + fault);
        }
        HandSolution h = solveDeal(rules::dealOf(*hand, setup.rules.circularDeal), setup, table);
        h.lineNumber = line.lineNumber;
        h.shoeLine = trimmed(line.text);
        hands.push_back(std::move(h));
    }
    return hands;
}

std::string solutionsText(const std::string& shoePath, const GameSetup& setup, const std::vector<HandSolution>& hands) {
    std::string out = shoePath + ": " + std::to_string(hands.size()) + " hands under " + rulesSummary(setup) + "\n";
    int solved = 0, already = 0, unreachable = 0, fewest = 1 << 30, most = 0;
    for (const HandSolution& h : hands) {
        out += "line " + std::to_string(h.lineNumber) + " (" + h.shoeLine + "): ";
        switch (h.status) {
        case HandSolution::Status::Solved: {
            ++solved;
            fewest = std::min(fewest, h.fewestActions);
            most = std::max(most, h.fewestActions);
            out += std::to_string(h.fewestActions) + (h.fewestActions == 1 ? " action: " : " actions: ");
            for (size_t i = 0; i < h.line.size(); ++i) out += (i ? ", " : "") + h.line[i].text();
            out += "; score " + h.score + " each\n";
            break;
        }
        case HandSolution::Status::AlreadyAtTarget:
            ++already;
            out += "already at the Target: 1 action, whatever it is (the hand ends at its first action; score " +
                   h.score + " each)\n";
            break;
        case HandSolution::Status::Unreachable:
            ++unreachable;
            out += "unreachable within MaxRounds " + std::to_string(setup.rules.maxRounds) + "\n";
            break;
        }
    }
    out += std::to_string(solved) + " solved";
    if (solved) out += " (fewest actions " + std::to_string(fewest) + " to " + std::to_string(most) + ")";
    out += ", " + std::to_string(already) + " already at the Target, " + std::to_string(unreachable) + " unreachable\n";
    return out;
}

json::Value solutionsJson(const std::string& shoePath, const GameSetup& setup, const std::vector<HandSolution>& hands) {
    json::Value out = json::Value::object();
    out.set("shoe", shoePath);
    json::Value& rules = out.set("rules", json::Value::object());
    rules.set("ViewCard", setup.parameters.viewCard);
    rules.set("Drag CkNk", setup.parameters.dragCkNkText);
    rules.set("MaxRounds", setup.rules.maxRounds);
    rules.set("SyntaxInput", setup.parameters.dealingOrder);
    rules.set("PremiumRound", setup.rules.premiumRound);
    rules.set("CostMove", setup.rules.costMove);
    json::Value& list = out.set("hands", json::Value::array());
    for (const HandSolution& h : hands) {
        json::Value& j = list.push(json::Value::object());
        j.set("line", h.lineNumber);
        j.set("deal", h.shoeLine);
        j.set("status", statusName(h.status));
        if (h.status == HandSolution::Status::Solved) {
            j.set("fewestActions", h.fewestActions);
            json::Value& actions = j.set("shortestLine", json::Value::array());
            for (const Action& a : h.line) actions.push(a.text());
        } else if (h.status == HandSolution::Status::AlreadyAtTarget) {
            j.set("fewestActions", 1);
        } else {
            j.set("fewestActions", json::Value());
        }
        if (!h.score.empty()) j.set("scoreEach", h.score);
    }
    return out;
}

}  // namespace qbx::tool
