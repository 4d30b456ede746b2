#pragma once
// A desktop for the game without a display: a clock set to the millisecond,
// timers fired in time order by hand, message boxes recorded.

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "core/game/Game.h"
#include "core/headless/SimulatedDesktop.h"

namespace qbx::test {

class FakeClock : public SimulatedClock {
public:
    // The time of day only: a reading past midnight starts the same date
    // again, as the tests of midnight expect.
    LocalTime now() override;
    // Sets the time of day ("10:30:45.007").
    void set(const std::string& hms);
    // Readings to return before the clock's own time, one per call; the last
    // one scripted becomes the clock's time.
    void script(const std::vector<std::string>& readings);

private:
    std::deque<long long> scripted_;
};

long long parseHms(const std::string& hms);

class FakePlatform : public SimulatedDesktop {
public:
    using SimulatedDesktop::SimulatedDesktop;
};

// The folder of the newest WorkDir alive ("" when there is none), and a
// name in it ("dataout/x": "<folder>/dataout/x").
std::string currentWorkDir();
std::string inWorkDir(const std::string& relative);

// A game on a fake desktop, with helpers that act as a participant would.
// Its game plays in the newest WorkDir alive.
class Session {
public:
    // The run record is written in the game's thread, so that whatever a
    // test reads or changes in dataout meets no writer at work.
    Session() : Session(currentWorkDir()) {}
    // A game that plays in `folder` (holding setup/ and dataout/).
    explicit Session(const std::string& folder) : platform(clock), game(platform, clock, folder) {
        game.setRunRecordWriter(std::make_unique<RunRecordWriter>(RunRecordWriter::Mode::Inline));
    }

    // Fires the earliest due timer, moving the clock to its time. False when
    // no timer runs.
    bool step();
    // Fires timers until none runs or the predicate holds.
    void runUntil(const std::function<bool()>& done, int maxSteps = 100000);
    // Lets every running timer run out (deals and glides); stops at the end
    // of the program.
    void settle() {
        runUntil([] { return false; });
    }
    // Runs until a hand is laid and the window takes input again.
    void untilHandInPlay();

    // The centre of the card image lying at a position.
    int cardAt(uint8_t position) const { return game.hand().cardAt(position); }  // its card index
    void press(int x, int y, MouseButton b = MouseButton::Left) { game.mousePress(x, y, b); }
    void release(int x, int y, MouseButton b = MouseButton::Left) { game.mouseRelease(x, y, b); }
    // Drags the card at `from` onto the card at `to`, through a few moves.
    void drag(uint8_t from, uint8_t to);
    // Drags the card at `from` and releases it at a client point.
    void dragTo(uint8_t from, int x, int y);
    // A right press and release on the card at a position.
    void look(uint8_t position, MouseButton b = MouseButton::Right);
    void pass() { game.pass(); }
    int centreX(uint8_t position) const { return cardCentreX(game, position); }
    int centreY(uint8_t position) const { return cardCentreY(game, position); }
    std::string cardTextAt(uint8_t position) const;

    FakeClock clock;
    FakePlatform platform;
    Game game;
};

// "ck" or "nk": the role whose turn it is.
inline std::string turnOf(const Game& game) { return roleName(game.hand().turn); }

// A fresh working directory with setup/ and dataout/ for the test's
// lifetime, removed afterwards. The process's directory stays where it is:
// a Session made while it lives plays in it.
class WorkDir {
public:
    WorkDir();
    ~WorkDir();
    void write(const std::string& relativePath, const std::string& content);
    std::string read(const std::string& relativePath) const;
    std::vector<std::string> list(const std::string& relativeDir) const;
    // The event logs in dataout, by name (the run record and the saved
    // setups beside them left out).
    std::vector<std::string> logs() const;
    const std::string& path() const { return path_; }

private:
    std::string path_;
    const WorkDir* enclosing_ = nullptr;
};

std::vector<std::string> splitLines(const std::string& text);  // on CR LF, checking every line has it
std::string readFile(const std::string& path);

// A parameter file with the given keys replaced or added (value "" removes
// the key).
std::string parameterFile(const std::vector<std::pair<std::string, std::string>>& overrides = {});
std::string englishCatalogue();

// A whole setup: the parameter file (with overrides), the English catalogue
// as setup/messages.ini, and the shoe as setup/shoe.txt.
void writeSetup(WorkDir& dir, const std::string& shoe,
                const std::vector<std::pair<std::string, std::string>>& overrides = {});

}  // namespace qbx::test
