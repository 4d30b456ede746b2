#pragma once
// Broken setups an experimenter can hand the program, as data: each is
// written into a fresh working directory over a good setup. The game's tests
// start the game on each and expect it to stop or say so; qbxtool's tests
// run `check` on each and expect an error, so the two cannot drift apart.

#include <functional>
#include <string>
#include <vector>

#include "support/FakeDesktop.h"

namespace qbx::test {

struct BadSetup {
    enum class Game {
        Refused,            // a message, and the program ends before any hand
        ReportedThenPlays,  // a message, and the start goes on
        BlankTexts,         // no message, and every text of the table is empty
        EndsAtOnce,         // the game ends at its first deal
    };
    std::string name;
    Game game;
    std::function<void(WorkDir&)> make;  // changes the good setup already written
};

// The good setup every case starts from: writeSetup() with this shoe.
extern const char* const kBadSetupShoe;
const std::vector<BadSetup>& badSetups();

}  // namespace qbx::test
