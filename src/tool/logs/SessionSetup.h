#pragma once
// Which setup each session is read with: the one --setup names, for every
// session; otherwise the setup its run record saved (dataout/setups/<hash>),
// read once for all the sessions that name it; otherwise none, as for logs
// older than run records. sessions, verify, csv and report all decide here.

#include <filesystem>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "tool/logs/LogFolder.h"
#include "tool/setup/GameSetup.h"

namespace qbx::tool::logs {

struct SessionSetups {
    // One per pair of the folder, in its order: the setup the session is
    // read with, or null.
    std::vector<const GameSetup*> of;
    // The saved setups read, by their folder as the records name it.
    std::map<std::string, std::unique_ptr<GameSetup>> saved;
};

// Decides for every pair of `folder`. `given` is the setup of --setup (or
// null), which every session is read with; a session whose record names a
// setup of other files is warned of on `messages`, once. `solver`: each
// saved setup read gets the solver's fewest actions (csv, report). A saved
// setup that is missing or cannot be read is warned of once, naming its
// sessions, which are read without a setup.
SessionSetups setupsOfSessions(const LogFolder& folder, const GameSetup* given, bool solver, std::ostream& messages);

// How the setup a run record names differs from the files of `setup`, one
// phrase per file ("setup/shoe.txt differs", "setup/b.bmp only in the saved
// setup", "... only in the setup given"); empty when they are the same
// files with the same bytes.
std::vector<std::string> setupDifferences(const RunRecord& record, const SetupLocation& setup);
// The same for the files of a saved copy (its setup/ folder) and of a setup.
std::vector<std::string> setupDifferences(const std::filesystem::path& savedSetupDir, const SetupLocation& setup);

}  // namespace qbx::tool::logs
