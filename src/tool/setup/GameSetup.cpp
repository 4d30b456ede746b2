#include "tool/setup/GameSetup.h"

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

GameSetup readSetup(const SetupLocation& location) {
    GameSetup setup;
    setup.location = location;
    const std::string path = location.parameterFile().string();
    std::error_code ec;
    if (!fs::exists(path, ec)) throw CouldNotRun(path + ": missing");
    if (!readParameterFile(path, setup.parameters)) throw CouldNotRun(path + ": cannot be read");
    const rules::RulesOfSetup converted = rules::rulesOf(setup.parameters);
    if (converted.badNumberKey)
        throw CouldNotRun(path + ": " + converted.badNumberKey + " '" + converted.badNumberText +
                          "' is not a whole number (run qbxtool check)");
    setup.rules = converted.rules;
    // With forward slashes on every system: the game's own path is written so.
    setup.shoePath = location.inWorkDir(setup.parameters.shoeFilePath).generic_string();
    return setup;
}

GameSetup readSetupAndShoe(const std::string& dir) {
    GameSetup setup = readSetup(locateSetup(dir));
    Shoe shoe;
    std::string fault;
    switch (shoe.load(setup.shoePath, fault)) {
    case Shoe::Status::Unreadable: throw CouldNotRun(setup.shoePath + ": the shoe file cannot be read");
    case Shoe::Status::Faulty: throw CouldNotRun(setup.shoePath + ": " + fault);
    case Shoe::Status::Ok: break;
    }
    while (!shoe.atEnd()) setup.hands.push_back(shoe.take());
    return setup;
}

}  // namespace qbx::tool
