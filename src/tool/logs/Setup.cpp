#include "tool/logs/Setup.h"

#include <charconv>
#include <filesystem>

#include "tool/Tool.h"

namespace fs = std::filesystem;

namespace qbx::tool::logs {

namespace {

int wholeNumber(const std::string& text, const char* key, const std::string& file) {
    // The game takes blanks around a value; so do we.
    size_t b = text.find_first_not_of(" \t");
    size_t e = text.find_last_not_of(" \t");
    const std::string trimmed = b == std::string::npos ? std::string() : text.substr(b, e - b + 1);
    int value = 0;
    const auto result = std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), value);
    if (trimmed.empty() || result.ec != std::errc() || result.ptr != trimmed.data() + trimmed.size())
        throw CouldNotRun(file + ": " + key + " is not a whole number ('" + text + "')");
    return value;
}

std::string cardText(char digit, char letter) { return std::string{digit, letter == 'H' ? 'H' : 'C'}; }

}  // namespace

SessionSetup readSessionSetup(const std::string& dir) {
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) throw CouldNotRun(dir + ": not a setup folder");
    fs::path folder = dir;
    if (!fs::exists(folder / "QBXParameter.ini", ec) && fs::exists(folder / "setup" / "QBXParameter.ini", ec))
        folder /= "setup";
    const std::string parameterPath = (folder / "QBXParameter.ini").string();
    if (!fs::is_regular_file(parameterPath, ec)) throw CouldNotRun(parameterPath + ": no parameter file");
    SessionSetup setup;
    setup.folder = folder.string();
    if (!readParameterFile(parameterPath, setup.parameters))
        throw CouldNotRun(parameterPath + ": cannot be read");
    setup.premiumRound = wholeNumber(setup.parameters.premiumRoundText, "PremiumRound", parameterPath);
    setup.costMove = wholeNumber(setup.parameters.costMoveText, "CostMove", parameterPath);
    setup.maxRounds = wholeNumber(setup.parameters.maxRoundsText, "MaxRounds", parameterPath);
    setup.circular = setup.parameters.dealingOrder == "CIRCULAR";
    // The game names its shoe "setup/<ShoeFileName>" below its working folder.
    std::string shoeName = setup.parameters.shoeFilePath;
    if (shoeName.rfind("setup/", 0) == 0) shoeName = shoeName.substr(6);
    setup.shoePath = (folder / shoeName).string();
    Shoe shoe;
    std::string fault;
    switch (shoe.load(setup.shoePath, fault)) {
    case Shoe::Status::Unreadable:
        throw CouldNotRun(setup.shoePath + ": the shoe file cannot be read");
    case Shoe::Status::Faulty:
        throw CouldNotRun(setup.shoePath + ": " + fault);
    case Shoe::Status::Ok:
        break;
    }
    while (!shoe.atEnd()) setup.hands.push_back(shoe.take());
    setup.fewest = fewestActionsFor(setup);
    return setup;
}

const std::array<int, 6>& dealOrder(bool circular) {
    static const std::array<int, 6> kDefault{1, 0, 2, 5, 3, 4};
    static const std::array<int, 6> kCircular{4, 3, 2, 1, 0, 5};
    return circular ? kCircular : kDefault;
}

DealtHand dealtHandOf(const ShoeHand& hand, bool circular) {
    DealtHand dealt;
    const auto& order = dealOrder(circular);
    for (int i = 0; i < 6; ++i) dealt.cards[order[i]] = cardText(hand.pairs[i][0], hand.pairs[i][1]);
    dealt.goal = cardText(hand.goalDigit, hand.goalLetter);
    dealt.opener = hand.firstTurn == "nk" ? "nk" : "ck";
    return dealt;
}

FewestActions fewestActionsFor(const SessionSetup&) { return {}; }

}  // namespace qbx::tool::logs
