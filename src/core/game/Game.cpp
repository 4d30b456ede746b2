#include "core/game/Game.h"

#include <sys/stat.h>

#include "core/eventlog/TimeStamp.h"

namespace qbx {

Game::Game(Platform& platform, Clock& clock) : platform_(platform), clock_(clock) {
    timers_[static_cast<int>(TimerId::Glide)].interval = 15;
    timers_[static_cast<int>(TimerId::DealWait)].interval = 1000;
    timers_[static_cast<int>(TimerId::DealStep)].interval = 1001;
    for (int slot = 1; slot <= 6; ++slot) cardSlots[slot].image = cardImage(slot);
}

Game::~Game() { logs_.close(); }

void Game::setTimer(TimerId id, bool enabled) {
    TimerState& t = timers_[static_cast<int>(id)];
    // Enabling a running timer leaves it running on its beat.
    if (t.enabled == enabled) return;
    t.enabled = enabled;
    platform_.timerChanged(id, enabled, t.interval);
}

void Game::onTimer(TimerId id) {
    if (!timers_[static_cast<int>(id)].enabled) return;  // a tick already queued when it stopped
    switch (id) {
    case TimerId::Glide: glideTick(); break;
    case TimerId::DealWait: dealWaitOver(); break;
    case TimerId::DealStep: dealStepTick(); break;
    }
}

void Game::requestTerminate() {
    if (terminated_) return;
    terminated_ = true;
    for (TimerId id : {TimerId::Glide, TimerId::DealWait, TimerId::DealStep}) setTimer(id, false);
    platform_.terminate();
}

void Game::startFailed(const std::string& message) {
    platform_.showMessage(message);
    logs_.close();
    requestTerminate();
}

void Game::logFailed(const std::string& message) {
    // Play cannot go on without its records: say so, keep what was written,
    // and end rather than leave a table that records nothing.
    platform_.showMessage(message + "\nThe session has been stopped. Please call the experimenter.");
    logs_.close();
    requestTerminate();
}

bool Game::acceptsInput() const { return !terminated_ && table_.formEnabled() && table_.formVisible(); }

int Game::slotOfImage(Ctl image) const {
    for (int slot = 1; slot <= 6; ++slot)
        if (cardSlots[slot].image == image) return slot;
    return 0;
}

std::string Game::cardText(int32_t number, int32_t colour) {
    return std::to_string(number) + (colour == 1 ? "H" : "C");
}

namespace {

bool isDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isExistingNonDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

class StartError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace

void Game::loadCardPictures() {
    // The faces are built into the program; the back may come from a file.
    const std::string backPath = "./setup/" + params.fileBackCard;
    if (isExistingNonDirectory(backPath)) {
        std::string why;
        backBitmap = loadBmpFile(backPath, &why);
        if (!backBitmap) throw StartError("The card back " + backPath + " is not a readable bitmap (" + why + ").");
    }
    table_.setPicture(Ctl::DeckCard, Picture::Back);
    if (params.viewTarget != "TRUE") table_.setVisible(Ctl::DeckCard, false);
}

void Game::startGame(const std::string& loginParticipantCode) {
    guarded([&] {
        try {
            participantCode = loginParticipantCode;
            handMoves = ckMoves = nkMoves = consecutivePasses = 0;
            ckShare = nkShare = 0.5;
            premiumRound = 2000;
            costMove = 100;
            currentTurn = "ck";
            shoeFileName = "shoefile.txt";
            turnPassPending = false;

            if (!readParameterFile(kParameterFile, params)) platform_.showMessage(kParameterReadError);
            if (!readMessageFile("./setup/" + params.fileMessages, texts)) platform_.showMessage(kMessagesReadError);

            struct Conversion {
                const char* key;
                const std::string& text;
                int32_t& field;
            };
            for (const Conversion& c : {Conversion{"MaxRounds", params.maxRoundsText, maxRounds},
                                        Conversion{"PremiumRound", params.premiumRoundText, premiumRound},
                                        Conversion{"CostMove", params.costMoveText, costMove}}) {
                if (!parseWholeNumber(c.text, c.field))
                    throw StartError(std::string("'") + c.text + "' is not a valid integer value (" + c.key +
                                     " in setup/QBXParameter.ini).");
            }
            shoeFileName = params.shoeFilePath;
            handCardsLocked = params.dragCkNkText == "TRUE" ? 0 : 1;

            table_.setCaption(Ctl::PassButton, texts.stepButtonText);
            table_.setCaption(Ctl::HelpButton, texts.helpButtonText);
            table_.setCaption(Ctl::TurnTitle, texts.turnHeader);
            table_.setCaption(Ctl::CkTurnIndicator, texts.ckTurnText);
            table_.setCaption(Ctl::NkTurnIndicator, texts.nkTurnText);
            table_.setCaption(Ctl::MessagesTitle, texts.msgHeader);
            table_.setCaption(Ctl::CkCaption, texts.cardCkText);
            table_.setCaption(Ctl::NkCaption, texts.cardNkText);
            table_.setCaption(Ctl::TargetCaption, texts.cardTText);
            table_.setCaption(Ctl::RulesTitle, texts.rulesHeader);
            table_.setCaption(Ctl::HandCounterTitle, texts.msgHandNumber);
            table_.setCaption(Ctl::HandCounter, std::to_string(handNumber));
            table_.setCaption(Ctl::MoveCounterTitle, texts.msgTotMove);
            table_.setCaption(Ctl::MoveCounter, std::to_string(totalMoves));
            table_.rulesLines = {texts.rulesBlock1CK, texts.rulesBlock1NK};

            const LocalTime t0 = clock_.now();
            if (!isDirectory("dataout")) {
                startFailed("There must be a directory named 'dataout' to save the software output.");
                return;
            }
            if (!randomSuffix) {
                auto seed =
                    static_cast<unsigned>(((t0.hour * 60 + t0.minute) * 60 + t0.second) * 1000 + t0.millisecond);
                auto state = std::make_shared<unsigned>(seed ? seed : 1u);
                randomSuffix = [state] {
                    *state = *state * 1103515245u + 12345u;
                    return static_cast<int>((*state >> 16) % 10000u);
                };
            }

            // The whole shoe is checked before any log exists, so a faulty
            // line is found by the experimenter, not in front of a participant.
            std::string fault;
            const Shoe::Status shoeStatus = shoe_.load(shoeFileName, fault);
            if (shoeStatus == Shoe::Status::Faulty) {
                startFailed("The shoe file " + shoeFileName + " cannot be played: " + fault + ".");
                return;
            }

            std::string error;
            if (logs_.create("dataout", clock_, randomSuffix, error) != EventLogs::Open::Ok) {
                startFailed(error);
                return;
            }
            bool shoeMissing = shoeStatus == Shoe::Status::Unreadable;
            if (shoeMissing) platform_.showMessage("I do not find the the shoefile " + shoeFileName);

            const std::string T0 = timeStamp(t0);
            logs_.ck().writeLine(T0 + "TF:CK");
            logs_.nk().writeLine(T0 + "TF:NK");
            for (LogFile* log : {&logs_.ck(), &logs_.nk()}) log->writeLine(T0 + "Game begins");
            for (LogFile* log : {&logs_.ck(), &logs_.nk()})
                log->writeLine(T0 + "userID:userName " + participantCode + ":gameNum -1:partner 1");
            for (LogFile* log : {&logs_.ck(), &logs_.nk()}) log->writeLine(T0 + "errorsMade 0:score 0:row 0column 0");
            recordMove("GS", "", "Game started", "", "");
            if (shoeMissing) {
                logs_.sync();
                logs_.close();
                requestTerminate();
                return;
            }

            loadCardPictures();
            grabOffsetX = 25;
            grabOffsetY = 40;
            paintTurnFrames();
            timers_[static_cast<int>(TimerId::DealStep)].interval =
                timers_[static_cast<int>(TimerId::Glide)].interval * 20 + 2;

            static constexpr struct {
                int32_t number, colour;
                uint8_t position;
            } kStart[7] = {{0, 0, 0}, {2, 1, 1}, {3, 1, 5}, {4, 1, 2}, {2, 2, 3}, {3, 2, 0}, {4, 2, 4}};
            for (int slot = 1; slot <= 6; ++slot) {
                CardSlot& c = cardSlots[slot];
                c.number = kStart[slot].number;
                c.colour = kStart[slot].colour;
                c.positionCode = kStart[slot].position;
                c.image = cardImage(slot);
                c.picture = table_[c.image].picture;
            }
            if (handCardsLocked == 1) lockHandCards();

            textureBitmap = loadBmpFile("setup/" + params.fileTexture);
            if (!textureBitmap) table_.setVisible(Ctl::Background, false);
            setTimer(TimerId::DealWait, true);
        } catch (const StartError& e) {
            startFailed(e.what());
        }
    });
}

}  // namespace qbx
