// The game start: the setup read, the logs opened with their header, the
// table set, the first deal armed. And what every entry point shares: the
// timers, the end of the program, a failure that stops the session.

#include "core/game/Game.h"

#include <cstdio>

#include "core/platform/System.h"

namespace qbx {

namespace {

class StartError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Where the six cards lie before the first deal, by card index.
constexpr std::array<uint8_t, kCards> kCardsAtStart = {downColorCardView,  targetCardView, upCardView,
                                                       downNumberCardView, colorCardView,  numberCardView};

}  // namespace

Game::Game(Platform& platform, Clock& clock, std::string folder)
    : platform_(platform), clock_(clock), folder_(std::move(folder)) {
    timers_[static_cast<int>(TimerId::Glide)].interval = kGlideMs;
    timers_[static_cast<int>(TimerId::DealWait)].interval = kDealWaitMs;
    timers_[static_cast<int>(TimerId::DealStep)].interval = 1001;
    hand_.positionOfCard = kCardsAtStart;
    hand_.draggable = 0x3F;  // every card image starts draggable
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
    // After the logs exist (a card back that cannot be read) the record
    // says why the session never dealt.
    endRunRecord("the session could not start: " + message);
    platform_.showMessage(message);
    logs_.close();
    finishRunRecord(RunRecordWriter::kGameEndWait);
    requestTerminate();
}

namespace {

// Why a session stopped, as its run record says it, from the log's error.
std::string whyLogFailed(const std::string& message) {
    if (message.find("removed from the disk") != std::string::npos) return "dataout was removed";
    if (message.find("No space left") != std::string::npos || message.find("disk is full") != std::string::npos ||
        message.find("not enough space") != std::string::npos)
        return "the disk is full";
    return "an event log could not be written: " + message;
}

const char* frontLostName(FrontLost why) {
    switch (why) {
    case FrontLost::Minimised: return "minimised";
    case FrontLost::Unmaximised: return "un-maximised";
    case FrontLost::Hidden: return "hidden";
    case FrontLost::Covered: return "covered";
    case FrontLost::AnotherDesktop: return "another desktop";
    case FrontLost::LostFocus: return "lost focus";
    case FrontLost::Moved: return "moved";
    case FrontLost::Resized: return "resized";
    case FrontLost::Shaded: return "shaded";
    case FrontLost::Lowered: return "lowered";
    case FrontLost::NotAbove: return "not above";
    case FrontLost::ShowDesktop: return "show desktop";
    case FrontLost::DesktopSwitched: return "desktop switched";
    }
    return "hidden";
}

}  // namespace

void Game::logFailed(const std::string& message) {
    // Play cannot go on without its records: say so, keep what was written,
    // and end rather than leave a table that records nothing.
    endRunRecord(whyLogFailed(message));
    platform_.showMessage(message + "\nThe session has been stopped. Please call the experimenter.");
    logs_.close();
    finishRunRecord(RunRecordWriter::kGameEndWait);
    requestTerminate();
}

void Game::noteLogsWritten() {
    record_.logsWritten.clear();
    for (const LogFile* log : {&logs_.ck(), &logs_.nk()})
        if (const std::optional<LogFile::Written> w = log->written())
            record_.logsWritten.push_back({log == &logs_.ck() ? record_.ckLog : record_.nkLog, w->bytes, w->sha256});
}

RunRecord Game::startingRecord(const std::string& logSuffix, const SystemInfo& system, const std::string& folder,
                               const std::string& participantCode, const LocalTime& started) {
    RunRecord record;
    record.session = logSuffix.substr(0, logSuffix.rfind('.'));
    record.ckLog = "ck" + logSuffix;
    record.nkLog = "nk" + logSuffix;
    record.version = programVersion();
    record.commit = programCommit();
    record.system = system;
    record.workingDirectory = sys::workingDirectoryName(folder);
    // As the logs carry it.
    record.participant = participantCodeForLog(participantCode);
    record.started = isoTime(started);
    return record;
}

void Game::beginRunRecord(const LocalTime& t0, const std::string& participantCode) {
    if (!recordWriter_) return;
    const bool simulated = record_.simulated;
    record_ = startingRecord(logs_.suffix(), platform_.systemInfo(), folder_, participantCode, t0);
    record_.simulated = simulated;
    record_.parameters = parameterTexts(parameters_);
    if (const std::optional<Continuation> c = continuationOf(shoe_.header()))
        record_.continues = RunRecord::Continues{c->session, c->hand};
    noteLogsWritten();
    recordWriter_->begin(record_, parameters_, runRecordName(record_.session), folder_);
}

void Game::endRunRecord(const std::string& how) {
    if (!recordWriter_ || !recordWriter_->begun() || record_.ended) return;
    record_.ended = true;
    record_.end = RunRecord::End{isoTime(clock_.now()), how, static_cast<int>(shoe_.taken())};
    noteLogsWritten();
    recordWriter_->update(record_);
}

void Game::finishRunRecord(std::chrono::milliseconds wait) {
    // The participant's screens say nothing of the record: its problems
    // went to standard error and into the record as they came.
    if (recordWriter_ && recordWriter_->begun()) recordWriter_->finish(wait);
}

void Game::keptInFront(FrontLost why) {
    if (!recordWriter_ || !recordWriter_->begun() || record_.ended) return;
    record_.keptInFront.push_back({isoTime(clock_.now()), frontLostName(why)});
    noteLogsWritten();
    recordWriter_->update(record_);
}

void Game::programClosing(const std::string& how) {
    if (!recordWriter_ || !recordWriter_->begun() || record_.ended) return;
    endRunRecord(how);
    finishRunRecord(RunRecordWriter::kClosingWait);
}

bool Game::acceptsInput() const { return !terminated_ && table_.formEnabled() && table_.formVisible(); }

void Game::loadCardPictures() {
    // The faces are built into the program; the back may come from a file.
    const std::string backPath = "./setup/" + parameters_.fileBackCard;
    if (sys::isExistingFile(inFolder(backPath))) {
        std::string why;
        cardBack_ = loadBmpFile(inFolder(backPath), &why);
        if (!cardBack_) throw StartError("The card back " + backPath + " is not a readable bitmap (" + why + ").");
    }
    table_.setPicture(Ctl::DeckCard, Picture::Back);
    if (!rules_.goalShown) table_.setVisible(Ctl::DeckCard, false);
}

void Game::startGame(const std::string& participantCode) {
    guarded([&] {
        try {
            if (!readParameterFile(inFolder(kParameterFile), parameters_)) platform_.showMessage(kParameterReadError);
            if (!readMessageFile(inFolder("./setup/" + parameters_.fileMessages), texts_))
                platform_.showMessage(kMessagesReadError);

            const rules::RulesOfSetup setup = rules::rulesOf(parameters_);
            if (setup.badNumberKey)
                throw StartError("'" + setup.badNumberText + "' is not a valid integer value (" + setup.badNumberKey +
                                 " in setup/QBXParameter.ini).");
            rules_ = setup.rules;

            table_.setCaption(Ctl::PassButton, texts_.stepButtonText);
            table_.setCaption(Ctl::HelpButton, texts_.helpButtonText);
            table_.setCaption(Ctl::TurnTitle, texts_.turnHeader);
            table_.setCaption(Ctl::CkTurnIndicator, texts_.ckTurnText);
            table_.setCaption(Ctl::NkTurnIndicator, texts_.nkTurnText);
            table_.setCaption(Ctl::MessagesTitle, texts_.msgHeader);
            table_.setCaption(Ctl::CkCaption, texts_.cardCkText);
            table_.setCaption(Ctl::NkCaption, texts_.cardNkText);
            table_.setCaption(Ctl::TargetCaption, texts_.cardTText);
            table_.setCaption(Ctl::RulesTitle, texts_.rulesHeader);
            table_.setCaption(Ctl::HandCounterTitle, texts_.msgHandNumber);
            table_.setCaption(Ctl::HandCounter, std::to_string(progress_.handNumber));
            table_.setCaption(Ctl::MoveCounterTitle, texts_.msgTotMove);
            table_.setCaption(Ctl::MoveCounter, std::to_string(progress_.totalMoves));
            table_.rulesLines = {texts_.rulesBlock1CK, texts_.rulesBlock1NK};

            const LocalTime t0 = clock_.now();
            if (!logsInMemory_ && !sys::isDirectory(inFolder("dataout"))) {
                startFailed("There must be a directory named 'dataout' to save the software output.");
                return;
            }
            if (!randomSuffix_) {
                auto seed =
                    static_cast<unsigned>(((t0.hour * 60 + t0.minute) * 60 + t0.second) * 1000 + t0.millisecond);
                auto state = std::make_shared<unsigned>(seed ? seed : 1u);
                randomSuffix_ = [state] {
                    *state = *state * 1103515245u + 12345u;
                    return static_cast<int>((*state >> 16) % 10000u);
                };
            }

            // The whole shoe is checked before any log exists, so a faulty
            // line is found by the experimenter, not in front of a participant.
            const std::string& shoePath = parameters_.shoeFilePath;
            std::string fault;
            const Shoe::Status shoeStatus = shoe_.load(inFolder(shoePath), fault);
            if (shoeStatus == Shoe::Status::Faulty) {
                startFailed("The shoe file " + shoePath + " cannot be played: " + fault + ".");
                return;
            }

            std::string error;
            if (logsInMemory_) {
                logs_.createInMemory(logFileSuffix(t0, randomSuffix_() % 10000));
            } else if (logs_.create("dataout", clock_, randomSuffix_, error, folder_) != EventLogs::Open::Ok) {
                startFailed(error);
                return;
            }
            // The stamps of the header were read above: the record's start
            // (a copy handed to its thread) delays none of them.
            beginRunRecord(t0, participantCode);
            const bool shoeMissing = shoeStatus == Shoe::Status::Unreadable;
            if (shoeMissing) platform_.showMessage("I do not find the the shoefile " + shoePath);

            const std::string T0 = timeStamp(t0);
            logs_.ck().writeLine(roleHeaderRecord(T0, Role::Ck));
            logs_.nk().writeLine(roleHeaderRecord(T0, Role::Nk));
            for (LogFile* log : {&logs_.ck(), &logs_.nk()}) log->writeLine(gameBeginsRecord(T0));
            for (LogFile* log : {&logs_.ck(), &logs_.nk()}) log->writeLine(participantRecord(T0, participantCode));
            for (LogFile* log : {&logs_.ck(), &logs_.nk()}) log->writeLine(fixedHeaderRecord(T0));
            recordGameStart();
            if (shoeMissing) {
                logs_.sync();
                logs_.close();
                endRunRecord("the shoe file cannot be read");
                finishRunRecord(RunRecordWriter::kGameEndWait);
                requestTerminate();
                return;
            }

            loadCardPictures();
            paintTurnFrames();
            timers_[static_cast<int>(TimerId::DealStep)].interval = kDealStepMs;

            // Before the first deal the cards lie as the table was designed;
            // locked hand cards are locked from the start.
            hand_ = rules::Situation{};
            hand_.positionOfCard = kCardsAtStart;
            hand_.draggable = rules_.handCardsLocked ? rules::lockHandCards(0x3F) : 0x3F;
            showDragModes();

            background_ = loadBmpFile(inFolder("setup/" + parameters_.fileTexture));
            if (!background_) table_.setVisible(Ctl::Background, false);
            setTimer(TimerId::DealWait, true);
        } catch (const StartError& e) {
            startFailed(e.what());
        }
    });
}

}  // namespace qbx
