#include "tool/sim/Simulate.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <utility>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "core/eventlog/LogFormat.h"
#include "core/game/Game.h"
#include "core/headless/SimulatedDesktop.h"
#include "core/platform/System.h"
#include "core/runrecord/RunRecordWriter.h"
#include "core/session/SessionTime.h"
#include "tool/Tool.h"
#include "tool/logs/LogFolder.h"
#include "tool/logs/Progress.h"
#include "tool/setup/Check.h"
#include "tool/setup/GameSetup.h"

namespace fs = std::filesystem;

namespace qbx::tool::sim {

namespace {

using session::kDayMs;
// A lab day: the first session at 09:00, none begun after 20:00.
constexpr long long kDayOpensMs = 9LL * 3600000, kDayClosesMs = 20LL * 3600000;
// From one session's end to the next one's start: the next participant sits down.
constexpr long long kBetweenSessionsMs = 60000;
// A drag from its pick-up to its drop, and a look held on a card, in seconds.
constexpr double kDragMean = 0.7, kDragSd = 0.2, kShortestDrag = 0.25;
constexpr double kLookMean = 0.8, kLookSd = 0.3, kShortestLook = 0.2;
// From a look to the action after it.
constexpr double kAfterLookMean = 0.6, kAfterLookSd = 0.2, kShortestAfterLook = 0.2;
// Where the hand cards lie face down, the chance that a participant looks
// at its own hand card before an action.
constexpr double kLookChance = 0.3;
// The pointer's moves between a drag's pick-up and its drop.
constexpr int kDragMoves = 4;
// No hand of a sane setup comes near this; a hand that does is a fault.
constexpr int kMostActionsInAHand = 100000;

const LocalTime kSimulatedDay{kFirstYear, kFirstMonth, kFirstDay, 0, 0, 0, 0};

long long toMs(double seconds) { return std::llround(seconds * 1000.0); }

// The simulated sessions already in dataout: the highest SIM- number, and
// when the last of them ended (ms after the first simulated day's start).
struct EarlierSessions {
    int highest = 0;
    std::optional<long long> lastEndMs;
};

std::optional<int> simNumber(std::string code) {
    while (!code.empty() && code.back() == ' ') code.pop_back();
    if (code.size() <= 4 || code.compare(0, 4, "SIM-") != 0) return std::nullopt;
    int n = 0;
    for (size_t i = 4; i < code.size(); ++i) {
        if (code[i] < '0' || code[i] > '9' || n > 100000000) return std::nullopt;
        n = n * 10 + (code[i] - '0');
    }
    return n;
}

// "2000-01-01T10:31:02.123" as ms after the first day's start.
std::optional<long long> isoMs(const std::string& text) {
    LocalTime t;
    if (std::sscanf(text.c_str(), "%d-%d-%dT%d:%d:%d.%d", &t.year, &t.month, &t.day, &t.hour, &t.minute, &t.second,
                    &t.millisecond) != 7)
        return std::nullopt;
    return msAfter(kSimulatedDay, t);
}

EarlierSessions earlierSessions(const std::string& dataout) {
    EarlierSessions earlier;
    for (const logs::LogPair& pair : logs::findLogs(dataout).pairs) {
        if (!pair.record) continue;
        const RunRecord& r = *pair.record;
        if (const std::optional<int> n = simNumber(r.participant); n && *n > earlier.highest) earlier.highest = *n;
        if (!r.simulated) continue;
        const std::optional<long long> end = isoMs(r.end ? r.end->time : r.started);
        if (end && (!earlier.lastEndMs || *end > *earlier.lastEndMs)) earlier.lastEndMs = end;
    }
    return earlier;
}

// The lab day's rule for a session's start.
long long sessionStart(long long earliestMs) {
    long long day = earliestMs / kDayMs, inDay = earliestMs % kDayMs;
    if (inDay < kDayOpensMs) inDay = kDayOpensMs;
    if (inDay > kDayClosesMs) {
        ++day;
        inDay = kDayOpensMs;
    }
    return day * kDayMs + inDay;
}

// One session at the table: the game on a simulated desktop, played by one
// simulated participant through the game's own entry points.
class Sitting {
public:
    // `dir`: the folder holding setup/ and dataout/.
    Sitting(const std::string& dir, SimulatedClock& clock, const SimulateOptions& options,
            const rules::TableRules& rules, Draws& draws, Player& player)
        : clock_(clock),
          options_(options),
          rules_(rules),
          draws_(draws),
          player_(player),
          desktop_(clock),
          game_(desktop_, clock, dir),
          dataout_((fs::path(dir) / "dataout").string()),
          folder_(dir) {
        desktop_.system = SystemInfo{"simulated", 1024, 768, 1.0, ""};
        // Every box is read, and closed after a think.
        desktop_.onMessage = [this](const std::string&) { clock_.advance(think()); };
        auto writer = std::make_unique<RunRecordWriter>(RunRecordWriter::Mode::Inline, false);
        if (options_.atStep) {
            writer->setBeforeSetup(options_.atStep);  // the logs made, their record not yet rewritten
            game_.setAfterRecords(options_.atStep);
        }
        game_.setRunRecordWriter(std::move(writer));
        game_.setDurableLogs(false);
        // The name claimed first; should it be taken after all, the game
        // draws on.
        game_.setRandomSuffix([this] {
            if (claimed_) return *std::exchange(claimed_, std::nullopt);
            return static_cast<int>(draws_.below(10000));
        });
        game_.setSimulated(true);
    }

    SimulatedSession play(const std::string& code) {
        // As the login window hands it over: the code, then the three other
        // fields of the login (left empty), each after a blank.
        const std::string login = code + "   ";
        const std::string planned = claimName(login);
        if (options_.atStep) options_.atStep();
        game_.startGame(login);
        SimulatedSession done{code, std::string(), 0};
        if (game_.runRecord().session != planned) {
            // Another program took the name between the claim and the
            // logs: the claim belongs to no session.
            std::error_code ec;
            fs::remove(fs::path(dataout_) / runRecordName(planned), ec);
        }
        while (!desktop_.terminated) {
            desktop_.untilHandInPlay(game_);
            if (desktop_.terminated || !game_.progress().handInPlay) break;
            ++done.hands;
            playHand();
        }
        const RunRecord& record = game_.runRecord();
        done.session = record.session;
        if (!record.end || record.end->how != "game ended") {
            std::string said;
            for (const std::string& m : desktop_.messages) said += (said.empty() ? "" : " / ") + m;
            throw CouldNotRun("the simulated session " + code + " stopped" +
                              (record.end ? ": " + record.end->how : std::string()) +
                              (said.empty() ? std::string() : " (the game said: " + said + ")"));
        }
        return done;
    }

private:
    // Chooses the session's name as the game would (the date, a number drawn
    // from the run's draws) and writes its run record there, marked
    // simulated, before the game makes the logs of that name: from the
    // first byte of its logs on, the session reads as simulated. The game's
    // own record later takes the claim's place. The session's name.
    std::string claimName(const std::string& login) {
        constexpr int kTries = 200;
        for (int attempt = 0; attempt < kTries; ++attempt) {
            const int number = static_cast<int>(draws_.below(10000));
            const std::string suffix = logFileSuffix(clock_.now(), number);
            const std::string session = suffix.substr(0, suffix.rfind('.'));
            const fs::path folder(dataout_);
            std::error_code ec;
            bool taken = false;
            for (const std::string& name : {"ck" + suffix, "nk" + suffix, runRecordName(session)})
                taken = taken || fs::symlink_status(folder / name, ec).type() != fs::file_type::not_found;
            if (taken) continue;
            RunRecord claim = Game::startingRecord(suffix, desktop_.system, folder_, login, clock_.now());
            claim.simulated = true;
            std::string error;
            if (!sys::replaceWholeFile((folder / runRecordName(session)).string(), runRecordJson(claim), error, false))
                throw CouldNotRun((folder / runRecordName(session)).string() + ": cannot be written (" + error + ")");
            claimed_ = number;
            return session;
        }
        throw CouldNotRun(dataout_ + ": no free session name found for the simulated day in " + std::to_string(kTries) +
                          " tries");
    }

    long long think() { return draw(options_.think.mean, options_.think.sd, kShortestThink); }
    long long draw(double mean, double sd, double shortest) {
        return toMs(std::max(shortest, draws_.normal(mean, sd)));
    }

    // The participant waits: the timers due meanwhile fire in time order.
    void wait(long long ms) {
        const long long until = clock_.ms() + ms;
        for (long long due = desktop_.nextTimerDue(); due >= 0 && due <= until && !desktop_.terminated;
             due = desktop_.nextTimerDue())
            desktop_.fireNextTimer(game_);
        if (clock_.ms() < until) clock_.setMs(until);
    }

    bool inHand(int hand) const {
        return game_.progress().handInPlay && game_.progress().handNumber == hand && !desktop_.terminated;
    }

    void playHand() {
        const int hand = game_.progress().handNumber;
        for (int actions = 0; inHand(hand); ++actions) {
            if (actions == kMostActionsInAHand)
                throw std::logic_error("a simulated hand took " + std::to_string(actions) + " actions");
            wait(think());
            // A glide still under way, or a box being read: the table takes input again.
            desktop_.runUntil(game_, [&] {
                return !inHand(hand) || (game_.table().formEnabled() && !game_.timerRunning(TimerId::Glide));
            });
            if (!inHand(hand)) return;
            const rules::Situation before = game_.hand();
            const SimAction action = player_.choose(before, game_.goalCard());
            // Where the hand cards lie face down, a participant now and then
            // checks its own before it acts.
            if (!rules_.handCardsFaceUp && draws_.unit() < kLookChance) {
                look(handPosition(actorOf(before)));
                wait(draw(kAfterLookMean, kAfterLookSd, kShortestAfterLook));
            }
            act(action);
            const rules::Situation expected = afterAction(before, action, rules_);
            if (game_.hand().positionOfCard != expected.positionOfCard ||
                game_.hand().counters.handMoves != expected.counters.handMoves)
                throw std::logic_error("the game did not take a simulated " +
                                       std::string(action.isPass ? "pass" : "swap") + " the rules allow");
        }
    }

    void look(uint8_t position) {
        pressCard(game_, position, MouseButton::Right);
        wait(draw(kLookMean, kLookSd, kShortestLook));
        releaseCard(game_, position, MouseButton::Right);
    }

    void act(const SimAction& action) {
        if (action.isPass) {
            game_.pass();
            return;
        }
        const Role actor = actorOf(game_.hand());
        const uint8_t own = handPosition(actor);
        // With the hand-over still pending and neither card free to pick up,
        // a look at the card wanted completes it first.
        if (!rules::canDrag(game_.hand().draggable, own) && !rules::canDrag(game_.hand().draggable, action.position)) {
            look(action.position);
            wait(draw(kAfterLookMean, kAfterLookSd, kShortestAfterLook));
        }
        // The own hand card is picked up when it may be, else the other card.
        if (rules::canDrag(game_.hand().draggable, own))
            drag(own, action.position);
        else
            drag(action.position, own);
    }

    void drag(uint8_t from, uint8_t to) {
        const int x0 = cardCentreX(game_, from), y0 = cardCentreY(game_, from);
        const int x1 = cardCentreX(game_, to), y1 = cardCentreY(game_, to);
        const long long duration = draw(kDragMean, kDragSd, kShortestDrag);
        game_.mousePress(x0, y0, MouseButton::Left);  // the pick-up
        for (int i = 1; i <= kDragMoves; ++i) {
            wait(duration / kDragMoves);
            game_.mouseMove(x0 + (x1 - x0) * i / kDragMoves, y0 + (y1 - y0) * i / kDragMoves);
        }
        game_.mouseRelease(x1, y1, MouseButton::Left);  // the drop
    }

    SimulatedClock& clock_;
    const SimulateOptions& options_;
    const rules::TableRules& rules_;
    Draws& draws_;
    Player& player_;
    SimulatedDesktop desktop_;
    Game game_;
    const std::string dataout_, folder_;
    std::optional<int> claimed_;  // the number of the name claimed, for the game's first draw
};

// The sessions' logs, their names in dataout and their run records were
// left with the operating system (a simulation does not wait for the disk
// after each action, record or session): made durable here, once, for the
// whole run.
void makeDurable(const std::string& dataout, const std::vector<SimulatedSession>& sessions) {
#ifdef _WIN32
    for (const SimulatedSession& s : sessions)
        for (const std::string& name :
             {"ck" + s.session + ".txt", "nk" + s.session + ".txt", runRecordName(s.session)}) {
            const std::string path = dataout + "/" + name;
            if (std::FILE* f = std::fopen(path.c_str(), "ab")) {
                std::string error;
                sys::flushToDisk(f, error);
                std::fclose(f);
            }
        }
#else
    (void)sessions;
    ::sync();
#endif
    sys::syncDirectory(dataout);
}

}  // namespace

ThinkTime parseThink(const std::string& text) {
    const size_t comma = text.find(',');
    const auto bad = [&](const std::string& why) {
        return CouldNotRun("--think '" + text + "': " + why +
                           " (MEAN,SD: the mean and the standard deviation of a think, in seconds, e.g. 4,2)");
    };
    if (comma == std::string::npos) throw bad("needs two numbers");
    const std::string meanText = text.substr(0, comma), sdText = text.substr(comma + 1);
    const auto number = [&](const std::string& t) {
        char* end = nullptr;
        const double v = t.empty() ? NAN : std::strtod(t.c_str(), &end);
        if (t.empty() || *end != '\0' || !std::isfinite(v)) throw bad("'" + t + "' is not a number");
        return v;
    };
    ThinkTime think{number(meanText), number(sdText)};
    if (think.mean <= 0) throw bad("the mean must be more than 0");
    if (think.sd < 0) throw bad("the standard deviation cannot be negative");
    if (think.mean > 3600 || think.sd > 3600) throw bad("an hour is the longest think");
    return think;
}

SimulateResult simulate(const std::string& dir, const SimulateOptions& options) {
    if (options.sessions < 1) throw CouldNotRun("--sessions must be 1 or more");
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) throw CouldNotRun(dir + ": no such folder (the experiment's working directory)");
    if (!fs::is_directory(fs::path(dir) / "setup", ec))
        throw CouldNotRun(dir + " has no setup folder: the sessions play its setup/ (qbxtool init makes one)");
    if (!fs::is_directory(fs::path(dir) / "dataout", ec))
        throw CouldNotRun(dir + " has no dataout folder: the sessions are written there, as the program writes them");
    const CheckReport check = checkWorkDir(dir);
    if (const int errors = check.count(Finding::Level::Error)) {
        std::string first;
        for (const Finding& f : check.findings)
            if (f.level == Finding::Level::Error) {
                first =
                    (f.file.empty() ? dir : f.file) + (f.line ? ":" + std::to_string(f.line) : "") + ": " + f.message;
                break;
            }
        throw CouldNotRun("the setup of " + dir + " has " + counted(errors, "error", "errors") +
                          ", the first: " + first + " (qbxtool check " + dir + " names them all)");
    }
    const GameSetup setup = readSetup(locateSetup(dir));
    std::unique_ptr<SolverTable> solver;
    if (options.players.kind == PlayerKind::Optimal || options.players.kind == PlayerKind::Noisy)
        solver = std::make_unique<SolverTable>(setup.rules);

    const EarlierSessions earlier = earlierSessions((fs::path(dir) / "dataout").string());
    Draws draws(options.seed);
    Player player(options.players, setup.rules, solver.get(), draws);
    SimulatedClock clock;
    clock.date = kSimulatedDay;
    long long start = sessionStart(earlier.lastEndMs ? *earlier.lastEndMs + kBetweenSessionsMs : 0);

    SimulateResult result;
    const std::string dataout = (fs::path(dir) / "dataout").string();
    logs::Progress progress("simulate", static_cast<size_t>(options.sessions));
    try {
        for (int i = 1; i <= options.sessions; ++i) {
            char code[32];
            std::snprintf(code, sizeof code, "SIM-%04d", earlier.highest + i);
            clock.setMs(start);
            Sitting sitting(dir, clock, options, setup.rules, draws, player);
            result.sessions.push_back(sitting.play(code));
            start = sessionStart(clock.ms() + kBetweenSessionsMs);
            progress.step();
        }
    } catch (...) {
        makeDurable(dataout, result.sessions);  // what was played stays
        throw;
    }
    makeDurable(dataout, result.sessions);
    return result;
}

std::string summaryText(const std::string& dir, const SimulateOptions& options, const SimulateResult& result) {
    const std::vector<SimulatedSession>& s = result.sessions;
    std::string text = counted(static_cast<long long>(s.size()), "simulated session", "simulated sessions") +
                       " written in " + (fs::path(dir) / "dataout").string() + " (" + options.players.text +
                       " players, seed " + std::to_string(options.seed) + ")";
    if (!s.empty())
        text += ": " + s.front().participant + (s.size() > 1 ? " to " + s.back().participant : std::string());
    text += "\n";
    for (const SimulatedSession& one : s)
        text += one.participant + "  " + one.session + "  ck" + one.session + ".txt nk" + one.session + ".txt " +
                runRecordName(one.session) + "  " + counted(one.hands, "hand", "hands") + "\n";
    return text;
}

}  // namespace qbx::tool::sim
