#include "tool/setup/SetupFiles.h"

#include "tool/Tool.h"

namespace fs = std::filesystem;

namespace qbx::tool {

SetupLocation locateSetup(const std::string& dir) {
    std::error_code ec;
    const fs::path given = dir.empty() ? fs::path(".") : fs::path(dir);
    if (!fs::is_directory(given, ec)) throw CouldNotRun(given.string() + ": no such directory");
    if (fs::is_directory(given / "setup", ec)) return SetupLocation{given, given / "setup"};
    if (fs::exists(given / "QBXParameter.ini", ec)) {
        const fs::path parent = fs::absolute(given, ec).lexically_normal().parent_path();
        return SetupLocation{parent, given};
    }
    throw CouldNotRun(given.string() + ": has no setup/ directory (give the working directory that holds it)");
}

SetupRules readSetupRules(const SetupLocation& setup) {
    SetupRules out;
    const std::string path = setup.parameterFile().string();
    std::error_code ec;
    if (!fs::exists(path, ec)) throw CouldNotRun(path + ": missing");
    if (!readParameterFile(path, out.params)) throw CouldNotRun(path + ": cannot be read");
    struct Conversion {
        const char* key;
        const std::string& text;
        int32_t& field;
    };
    for (const Conversion& c : {Conversion{"MaxRounds", out.params.maxRoundsText, out.table.maxRounds},
                                Conversion{"PremiumRound", out.params.premiumRoundText, out.premiumRound},
                                Conversion{"CostMove", out.params.costMoveText, out.costMove}}) {
        if (!parseWholeNumber(c.text, c.field))
            throw CouldNotRun(path + ": " + c.key + " '" + c.text + "' is not a whole number (run qbxtool check)");
    }
    out.table.handOver = rules::handOverAfterSwap(out.params.viewCard);
    out.table.handCardsLocked = out.params.dragCkNkText != "TRUE";
    return out;
}

}  // namespace qbx::tool
