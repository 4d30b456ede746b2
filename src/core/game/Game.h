#pragma once
// The table window's game: its state and every rule of play, as plain C++.
// The Qt table window forwards mouse, button and timer events here and draws
// `table()`; tests drive the same calls with a fake clock and fake timers.

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/config/ConfigFiles.h"
#include "core/bitmap/Bitmap.h"
#include "core/rules/Rules.h"
#include "core/platform/Platform.h"
#include "core/config/Shoe.h"
#include "core/game/Table.h"
#include "core/eventlog/EventLogs.h"

namespace qbx {

// Position codes of the table.
enum Position : uint8_t {
    colorCardView = 0,
    downColorCardView = 1,
    upCardView = 2,
    downNumberCardView = 3,
    numberCardView = 4,
    targetCardView = 5,
    deckPosition = 6,
};

struct CardSlot {
    int32_t number = 0;
    int32_t colour = 0;  // 1 hearts (H), 2 clubs (C)
    uint8_t positionCode = 0;
    Ctl image = Ctl::Card2H;
    Picture picture = Picture::None;
};

enum class MouseButton { Left, Right, Middle };

class Game {
public:
    Game(Platform& platform, Clock& clock);
    ~Game();
    Game(const Game&) = delete;
    Game& operator=(const Game&) = delete;

    // ---- Entry points the view (or a test) calls --------------------------
    // The game start, with the participant string of the login window.
    void startGame(const std::string& loginParticipantCode);
    void onTimer(TimerId id);
    void glideTick();
    void dealWaitOver();
    void dealStepTick();
    // The pass button.
    void pass();
    // Mouse input on the table, in client coordinates of the window.
    void mousePress(int x, int y, MouseButton button);
    void mouseMove(int x, int y);
    void mouseRelease(int x, int y, MouseButton button);
    // A drag that ends without a drop (Escape, focus lost, released outside).
    void cancelDrag();
    bool dragging() const { return dragging_; }
    // True once the game has asked the program to end; later events are ignored.
    bool terminated() const { return terminated_; }
    // The view reports a label's measured size (labels fit their text).
    void setLabelSize(Ctl label, int width, int height) { table_.setSize(label, width, height); }

    const Table& table() const { return table_; }
    Table& table() { return table_; }
    bool timerRunning(TimerId id) const { return timers_[static_cast<int>(id)].enabled; }
    int timerInterval(TimerId id) const { return timers_[static_cast<int>(id)].interval; }

    // ---- Game state (read by the view and by tests) -----------------------
    std::string participantCode;
    ParameterValues params;
    MessageTexts texts;
    std::string shoeFileName;
    CardSlot cardSlots[7];  // 1..6
    std::string currentTurn = "ck";
    std::string firstTurn;
    bool turnPassPending = false;
    int32_t consecutivePasses = 0, handMoves = 0, ckMoves = 0, nkMoves = 0;
    int32_t handNumber = 1, totalMoves = 0;
    int32_t goalNumber = 0, goalColour = 0;
    int32_t dealStep = 0;
    bool handInPlay = false;
    int32_t premiumRound = 2000, costMove = 100, maxRounds = 0;
    double ckShare = 0.5, nkShare = 0.5;
    int32_t handCardsLocked = 0;
    int32_t grabOffsetX = 25, grabOffsetY = 40;
    // Screen fitting.
    int32_t coordX[7] = {}, coordY[7] = {};
    bool firstShow = true;
    // Drag and glide.
    Ctl movingCard = Ctl::Card2H;
    int32_t dragStartLeft = 0, dragStartTop = 0;
    int32_t animTargetX = 0, animTargetY = 0;
    double animX = 0, animY = 0, animStepX = 0, animStepY = 0;
    // The card back read from FileBackCard, when there is one.
    std::shared_ptr<const Bitmap> backBitmap;
    // The background picture from "File Texture", when it could be loaded.
    std::shared_ptr<const Bitmap> textureBitmap;

    EventLogs& logs() { return logs_; }
    const Shoe& shoe() const { return shoe_; }
    // Replaces the random source of the log names (tests); draws 0..9999.
    std::function<int()> randomSuffix;

    // ---- The rules -----------------------------------------------------------
    // A position's place on the table (client coordinates of a card's top
    // left). Only the low seven bits of a code count; 7 to 127 answer position 4.
    int32_t placeX(uint8_t code) const { return coordX[coordIndex(code)]; }
    int32_t placeY(uint8_t code) const { return coordY[coordIndex(code)]; }
    static int coordIndex(uint8_t code) {
        const int low = code & 0x7F;
        return low <= deckPosition ? low : numberCardView;
    }
    // The window's first showing: the table is fitted to the screen once.
    void onFirstShow();
    void fitTableToScreen();
    void loadCardPictures();
    // Gathers the six cards face down on the deck and starts the deal steps.
    void beginDeal();
    // The slot that always holds the card "2H" … "4C".
    static int slotOfCard(const std::string& cardText);
    // Lays out a hand: the cards at the NumberKeeper's hand, down-number, up,
    // down-colour, ColorKeeper's hand and Target positions.
    void layOutHand(const std::string& atNkHand, const std::string& atDownNumber, const std::string& atUp,
                    const std::string& atDownColour, const std::string& atCkHand, const std::string& atTarget);
    // Shows each card's face or back as ViewCard and ViewCkNk say.
    void coverCards();
    void showCard(int slot);
    void coverCard(int slot);
    void giveTurnToOtherRole();
    // After a swap: the turn passes now (NONE, ALL) or at the next role's
    // first action (MIX), or not at all.
    void handOverAfterSwap();
    // Completes a pending MIX hand-over when the card acted on is not the
    // role in turn's own hand card.
    void completePendingHandOver(int slot);
    // Ends the hand after four passes in a row, at the move limit or with the
    // goal card at the Target; true when it ended.
    bool endHandIfOver();
    std::string handEndStamp();
    // Exchanges two cards when the rules allow it, with its records; true
    // when the exchange took place.
    bool tryExchange(Ctl source, Ctl target);
    // Paints both frames aqua when the exchange would be allowed.
    bool showIfExchangeAllowed(Ctl source, Ctl target);
    // "ck", "c", "up", "n", "nk" or "t": a position's short name in the records.
    std::string positionShortName(const CardSlot& slot) const;
    void startGlide(Ctl card, int32_t destLeft, int32_t destTop);
    // The records of a move or pass ("PM"/"RM", "PP"/"RP"), of a pick-up
    // ("pR:") and of a look ("pL").
    void recordMove(const std::string& eventCode, const std::string& cardA, const std::string& positionA,
                    const std::string& cardB, const std::string& positionB);
    void recordPickUp(Ctl card);
    void recordLook(Ctl card);
    void showInMessagesText(const std::string& text);
    // Drag-and-drop handlers.
    void startCardDrag(Ctl card);
    void dragOver(Ctl target, int x, int y);  // X, Y relative to the target
    void dragDrop(Ctl target);
    void cardMouseDown(Ctl card, MouseButton button);
    void cardMouseUp(Ctl card);

    int slotOfImage(Ctl image) const;
    static std::string cardText(int32_t number, int32_t colour);
    static Picture facePicture(int32_t number, int32_t colour);
    // The frame around a position.
    static Ctl frameOf(uint8_t position);

private:
    struct TimerState {
        bool enabled = false;
        int interval = 0;
    };
    void setTimer(TimerId id, bool enabled);
    void applyDragPermission();
    // The hand-card frame of the role in turn.
    Ctl turnFrame() const { return currentTurn == "ck" ? Ctl::CkHandFrame : Ctl::NkHandFrame; }
    void greyFrames();       // all six position frames
    void paintTurnFrames();  // all grey, then the role in turn green
    // The card at a position is the role in turn's own hand card.
    bool isOwnHandCard(uint8_t position) const;
    // The cards now at the two hand positions can no longer be dragged.
    void lockHandCards();
    // Which cards can be picked up, by position, as the table's drag modes say.
    rules::DragMask dragMask() const;
    void setDragModes(rules::DragMask mask);
    rules::HandCounters handCounters() const;
    void setHandCounters(const rules::HandCounters& counters);
    void setPictureByRule(int slot);
    void writeHandEnd(const char* code, double ckScore, double nkScore);
    void endOfShoe(const std::string& stamp);
    void layHandFromShoe(const LocalTime& now);
    void startFailed(const std::string& message);
    void logFailed(const std::string& message);
    // Runs one entry point: nothing after the end of the program, the logs
    // made durable once the action's records are written, and a log that
    // cannot be written reported instead of lost silently.
    template <typename F>
    void guarded(F&& action) {
        if (terminated_) return;
        try {
            action();
            logs_.sync();
        } catch (const LogError& e) {
            logFailed(e.what());
        } catch (const std::exception& e) {
            logFailed(e.what());
        }
    }
    void requestTerminate();
    bool acceptsInput() const;
    void dispatchDragOver(int x, int y);

    Platform& platform_;
    Clock& clock_;
    Table table_;
    EventLogs logs_;
    Shoe shoe_;
    TimerState timers_[3];
    bool dragging_ = false;
    Ctl dragOverTarget_ = Ctl::Window;
    Ctl pressedControl_ = Ctl::Window;
    bool pressActive_ = false;
    bool terminated_ = false;
};

}  // namespace qbx
