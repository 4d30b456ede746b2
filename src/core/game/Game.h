#pragma once
// The table window's game, as plain C++: it holds the hand once (the rules'
// own Situation, with the goal card and the setup's rules), applies the
// rules of core/rules to it for every action, writes the records through
// the log format's writers, and sets the table's controls (`Table`) from
// it after each rule. The Qt table window forwards mouse, button and timer
// events here and draws `table()`; tests drive the same calls with a fake
// clock and fake timers.

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "core/bitmap/Bitmap.h"
#include "core/config/ConfigFiles.h"
#include "core/config/Shoe.h"
#include "core/eventlog/EventLogs.h"
#include "core/eventlog/LogFormat.h"
#include "core/game/Table.h"
#include "core/platform/Platform.h"
#include "core/rules/Rules.h"
#include "core/runrecord/RunRecordWriter.h"

namespace qbx {

enum class MouseButton { Left, Right, Middle };

// How far the game has come.
struct GameProgress {
    int32_t handNumber = 1;   // the hand being dealt or played
    int32_t totalMoves = 0;   // swaps and passes of the whole game
    bool handInPlay = false;  // a hand is laid and not yet over
    int32_t dealStep = 0;     // 1 to 7 while a hand is dealt
};

// A card gliding to a place: 20 pixels a tick along its longer direction.
struct CardGlide {
    Ctl card = Ctl::Card2H;
    int32_t targetX = 0, targetY = 0;
    double x = 0, y = 0, stepX = 0, stepY = 0;
};

class Game {
public:
    // `folder` holds the game's setup/ and dataout/; empty, the program's
    // working directory. Names in messages and in the run record stay as the
    // experimenter knows them ("setup/...", "dataout").
    Game(Platform& platform, Clock& clock, std::string folder = {});
    ~Game();
    Game(const Game&) = delete;
    Game& operator=(const Game&) = delete;

    // The timers' periods: a card glides a step every kGlideMs; a deal waits
    // kDealWaitMs, then lays its cards in kDealSteps steps kDealStepMs apart
    // (twenty glide steps and two), writing its records at the last.
    static constexpr int kGlideMs = 15;
    static constexpr int kDealWaitMs = 1000;
    static constexpr int kDealSteps = 7;
    static constexpr int kDealStepMs = kGlideMs * 20 + 2;

    // The run record as a session of logs named "ck"/"nk" + `logSuffix` begins
    // in `folder`: its names, the program, the system, the working directory,
    // the participant string of the login and the start. The game adds its
    // setup; a simulation claims a session's name with it.
    static RunRecord startingRecord(const std::string& logSuffix, const SystemInfo& system, const std::string& folder,
                                    const std::string& participantCode, const LocalTime& started);

    // ---- What the view calls ------------------------------------------------
    // The game start, with the participant string of the login window.
    void startGame(const std::string& participantCode);
    // A tick of one of the three timers.
    void onTimer(TimerId id);
    // The pass button.
    void pass();
    // Mouse input on the table, in client coordinates of the window.
    void mousePress(int x, int y, MouseButton button);
    void mouseMove(int x, int y);
    void mouseRelease(int x, int y, MouseButton button);
    // A drag that ends without a drop (Escape, focus lost, released outside).
    void cancelDrag();
    // The release of a press the game had came while the window took no
    // input, and so never reached it. Once input comes back, what the press
    // began ends with nothing recorded: a look covers its card again, a drag
    // ends without a drop.
    void releaseMissed();
    // The desktop had to put the table back in front: the run record says
    // when and why.
    void keptInFront(FrontLost why);
    // The program is being closed by the desktop (its session ending, a
    // polite request to quit) before the game ended: the run record is
    // completed with `how` and written before this returns, within a
    // fraction of a second whatever its thread is doing.
    void programClosing(const std::string& how);
    // The view reports a label's measured size (labels fit their text).
    void setLabelSize(Ctl label, int width, int height) { table_.setSize(label, width, height); }

    // ---- What the view draws ------------------------------------------------
    const Table& table() const { return table_; }
    Table& table() { return table_; }
    bool dragging() const { return dragging_; }
    // True once the game has asked the program to end; later events are ignored.
    bool terminated() const { return terminated_; }
    bool timerRunning(TimerId id) const { return timers_[static_cast<int>(id)].enabled; }
    int timerInterval(TimerId id) const { return timers_[static_cast<int>(id)].interval; }
    // The card back read from FileBackCard, and the background picture of
    // "File Texture"; null when there is none.
    const std::shared_ptr<const Bitmap>& cardBack() const { return cardBack_; }
    const std::shared_ptr<const Bitmap>& background() const { return background_; }

    // ---- What the game holds, for tests to read -----------------------------
    // The hand in play (or the last one): where each card lies, whose turn it
    // is, what can be dragged, the counters.
    const rules::Situation& hand() const { return hand_; }
    int goalCard() const { return goalCard_; }
    const GameProgress& progress() const { return progress_; }
    const rules::TableRules& rules() const { return rules_; }
    const ParameterValues& parameters() const { return parameters_; }
    const MessageTexts& texts() const { return texts_; }
    const Shoe& shoe() const { return shoe_; }
    const EventLogs& logs() const { return logs_; }
    const CardGlide& glide() const { return glide_; }
    // A position's place on the table (client coordinates of a card's top
    // left). Only the low seven bits of a code count; 7 to 127 answer position 4.
    int32_t placeX(uint8_t code) const { return placeX_[placeIndex(code)]; }
    int32_t placeY(uint8_t code) const { return placeY_[placeIndex(code)]; }
    // Replaces the random source of the log names (tests); draws 0..9999.
    void setRandomSuffix(std::function<int()> draw) { randomSuffix_ = std::move(draw); }
    // Benchmarks and tests that make many logs: false leaves the records
    // with the operating system (written, not waited for). A real session
    // never turns this off.
    void setDurableLogs(bool durable) { logs_.setDurable(durable); }
    // A session played by qbxtool simulate: called before startGame, its run
    // record says so.
    void setSimulated(bool simulated) { record_.simulated = simulated; }
    // A game that writes nothing to the disk (a replay): called before
    // startGame, it keeps both logs in memory (logs().ck().memory()), needs
    // no dataout folder and writes no run record.
    void keepLogsInMemory() {
        logsInMemory_ = true;
        recordWriter_.reset();
    }
    // The run record as the game last handed it to its writer, and a wait
    // until the writer has written it (tests). Benchmarks can run without a
    // run record, or with one written in the game's own thread.
    const RunRecord& runRecord() const { return record_; }
    void flushRunRecord() {
        if (recordWriter_) recordWriter_->flush();
    }
    void setRunRecordWriter(std::unique_ptr<RunRecordWriter> writer) { recordWriter_ = std::move(writer); }
    // Called after each call into the game that wrote records (the start, a
    // deal, a participant's action, the end), with the table those records
    // leave: the program writes the table's states there when a test asks.
    void setAfterRecords(std::function<void()> observer) { afterRecords_ = std::move(observer); }

    // ---- Rules a test drives one at a time ------------------------------------
    // Sends a card gliding to a place; the window takes no input meanwhile.
    void startGlide(Ctl card, int32_t destLeft, int32_t destTop);
    // Exchanges two cards when the rules allow it, with its records; true
    // when the exchange took place.
    bool tryExchange(Ctl source, Ctl target);
    // Paints both frames aqua when the exchange would be allowed.
    bool showIfExchangeAllowed(Ctl source, Ctl target);
    // The window's first showing: the table is fitted to the screen once.
    void onFirstShow();

private:
    struct TimerState {
        bool enabled = false;
        int interval = 0;
    };
    static int placeIndex(uint8_t code) {
        const int low = code & 0x7F;
        return low <= deckPosition ? low : numberCardView;
    }
    uint8_t positionOf(int card) const { return hand_.positionOfCard[card]; }

    // Start (Game.cpp).
    void loadCardPictures();
    // The run record (Game.cpp): begun once the logs exist, completed at
    // every end of the session, what could not be saved told at the end.
    void beginRunRecord(const LocalTime& t0, const std::string& participantCode);
    void endRunRecord(const std::string& how);
    // The logs' bytes so far, into the record before each writing of it.
    void noteLogsWritten();
    // The session is over: the record's last state written, waiting for the
    // writer's thread at most `wait`.
    void finishRunRecord(std::chrono::milliseconds wait);
    void startFailed(const std::string& message);
    void logFailed(const std::string& message);
    void requestTerminate();
    void setTimer(TimerId id, bool enabled);
    bool acceptsInput() const;
    // Runs one entry point: nothing after the end of the program, the logs
    // made durable once the action's records are written, and a log that
    // cannot be written reported instead of lost silently.
    template <typename F>
    void guarded(F&& action) {
        if (terminated_) return;
        const long recordsBefore = logs_.ck().recordsWritten() + logs_.nk().recordsWritten();
        try {
            action();
            logs_.sync();
            if (afterRecords_ && logs_.ck().recordsWritten() + logs_.nk().recordsWritten() != recordsBefore)
                afterRecords_();
        } catch (const std::exception& e) {
            logFailed(e.what());
        }
    }

    // Dealing (Dealing.cpp).
    void dealWaitOver();
    void dealStepTick();
    // Gathers the six cards face down on the deck and starts the deal steps.
    void beginDeal();
    void layHandFromShoe(const LocalTime& now);
    // Lays out a dealt hand: the cards at their places, the opener in turn.
    void layOutHand(const rules::Deal& deal);
    void endOfShoe(const std::string& stamp);

    // Which cards show their face (Visibility.cpp).
    void setPictureByRule(int card);
    void coverCards();
    void showCard(int card);
    void coverCard(int card);

    // Turns (Turns.cpp).
    void greyFrames();       // all six position frames
    void paintTurnFrames();  // all grey, then the role in turn green
    // The hand-card frame of the role in turn.
    Ctl turnFrame() const { return hand_.turn == Role::Ck ? Ctl::CkHandFrame : Ctl::NkHandFrame; }
    // The turn indicator, the hand frames and the drag modes after the turn passed.
    void showTurnPassed();
    // Each card image can be picked up as the hand's drag permission says.
    void showDragModes();
    void giveTurnToOtherRole();
    void handOverAfterSwap();
    void completePendingHandOver(int card);

    // The end of a hand (HandEnd.cpp).
    bool endHandIfOver();
    void writeHandEnd(HandEndCode code, double score);
    std::string handEndStamp();

    // Records (Recording.cpp).
    void recordGameStart();
    void recordMove(int otherCard, uint8_t otherPosition, int handCard, uint8_t handPosition);
    void recordPass();
    void recordPickUp(int card);
    void recordLook(int card);
    void showInMessagesText(const std::string& text);

    // The mouse (DragDrop.cpp).
    void startCardDrag(Ctl card);
    void dispatchDragOver(int x, int y);
    void dragOver(Ctl target, int x, int y);  // x, y relative to the target
    void dragDrop(Ctl target);
    void cardMouseDown(Ctl card, MouseButton button);
    void cardMouseUp(Ctl card);

    // Glides and the screen (Glide.cpp, Layout.cpp).
    void glideTick();
    void fitTableToScreen();

    // A name in the game's folder ("setup/...", "dataout").
    std::string inFolder(const std::string& name) const { return inGameFolder(folder_, name); }

    Platform& platform_;
    Clock& clock_;
    std::string folder_;
    Table table_;
    EventLogs logs_;
    Shoe shoe_;
    ParameterValues parameters_;
    MessageTexts texts_;
    rules::TableRules rules_;
    rules::Situation hand_;
    int goalCard_ = 0;
    GameProgress progress_;
    int32_t placeX_[7] = {}, placeY_[7] = {};
    bool firstShow_ = true;
    CardGlide glide_;
    // The card being dragged and where it was picked up.
    Ctl dragCard_ = Ctl::Card2H;
    int32_t dragStartLeft_ = 0, dragStartTop_ = 0;
    bool dragging_ = false;
    Ctl dragOverTarget_ = Ctl::Window;
    Ctl pressedControl_ = Ctl::Window;
    bool pressActive_ = false;
    std::shared_ptr<const Bitmap> cardBack_;
    std::shared_ptr<const Bitmap> background_;
    std::function<int()> randomSuffix_;
    RunRecord record_;
    std::unique_ptr<RunRecordWriter> recordWriter_ = std::make_unique<RunRecordWriter>();
    TimerState timers_[3];
    bool terminated_ = false;
    bool logsInMemory_ = false;
    std::function<void()> afterRecords_;
};

}  // namespace qbx
