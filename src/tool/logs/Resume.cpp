#include "tool/logs/Resume.h"

#include <algorithm>
#include <random>
#include <utility>
#include <vector>
#include <system_error>

#include "core/config/Shoe.h"
#include "core/eventlog/LogFormat.h"
#include "core/platform/System.h"
#include "core/rules/Rules.h"
#include "tool/InitCommand.h"
#include "tool/Tool.h"
#include "core/runrecord/RunRecord.h"
#include "core/runrecord/Sha256.h"
#include "tool/logs/Session.h"
#include "tool/logs/SessionSetup.h"
#include "tool/setup/GameSetup.h"

namespace fs = std::filesystem;

namespace qbx::tool::logs {

namespace {

// Remembers what the session's logs say against the setup's shoe.
struct ShoeFaults : SessionSink {
    std::string first;
    void fault(const SessionFault& f) override {
        if (f.kind == SessionFaultKind::Setup && first.empty()) first = f.what;
    }
};

// The cards of a deal the session stopped in the middle of, against the
// shoe's hand: empty when those written are the shoe's, else why not.
std::string partDealtDifference(const Hand& hand, const GameSetup& setup) {
    const size_t index = static_cast<size_t>(hand.number - 1);
    if (hand.dealComplete || index >= setup.hands.size()) return {};
    const rules::Deal deal = rules::dealOf(setup.hands[index], setup.rules.circularDeal);
    for (size_t position = 0; position < hand.dealt.size(); ++position) {
        const std::string& card = hand.dealt[position];
        if (card.empty()) continue;
        if (card.size() != 2 || card[0] < '2' || card[0] > '4' ||
            deal.positionOfCard[cardOfShoeText(card[0], card[1])] != position)
            return "hand " + std::to_string(hand.number) + " is not the hand of line " +
                   std::to_string(setup.hands[index].lineNumber) + " of " + setup.shoePath;
    }
    return {};
}

// A saved setup checked against its run record: the files to copy, with
// their bytes as read and checked.
struct SavedSetup {
    fs::path dir;                                            // dataout/setups/<hash>
    std::vector<std::pair<std::string, std::string>> files;  // "setup/shoe.txt" and its bytes
    std::vector<std::string> leftOut;                        // the files the copy lacks, and why
};

// The working directory a session continues in: DIR, built under a
// temporary name beside it and renamed when whole. Missing folders above it
// are made, and taken away again when it cannot be made.
class NewWorkDir {
public:
    explicit NewWorkDir(const fs::path& dir) : dir_(dir) {
        std::error_code ec;
        const fs::path parent = dir_.parent_path();
        for (fs::path p = parent; !p.empty() && !fs::exists(p, ec); p = p.parent_path()) {
            madeAbove_ = p;
            if (p == p.parent_path()) break;
        }
        fs::create_directories(parent, ec);
        if (ec) throw CouldNotRun(parent.string() + ": cannot be made (" + ec.message() + ")");
        std::random_device seed;
        for (int attempt = 0; attempt < 100 && temp_.empty(); ++attempt) {
            const fs::path candidate =
                parent / ("." + dir_.filename().string() + ".tmp" + std::to_string(seed() % 1000000));
            if (fs::create_directory(candidate, ec)) temp_ = candidate;
            if (ec) break;
        }
        if (temp_.empty()) {
            removeMadeAbove();
            throw CouldNotRun(dir_.string() + ": cannot be made" + (ec ? " (" + ec.message() + ")" : std::string()));
        }
    }
    ~NewWorkDir() {
        if (done_) return;
        std::error_code ec;
        fs::remove_all(temp_, ec);
        removeMadeAbove();
    }
    NewWorkDir(const NewWorkDir&) = delete;
    NewWorkDir& operator=(const NewWorkDir&) = delete;

    const fs::path& temp() const { return temp_; }

    // Gives the directory its name. An empty DIR that was there already
    // makes way for it.
    void commit() {
        std::error_code ec;
        const bool hadDir = fs::is_directory(dir_, ec);
        ec.clear();
        if (hadDir) fs::remove(dir_, ec);
        bool taken = false;
        std::string why = ec ? ec.message() : std::string();
        if (ec || !sys::renameDirectory(temp_.string(), dir_.string(), taken, why)) {
            std::error_code ignored;
            if (hadDir) fs::create_directory(dir_, ignored);
            throw CouldNotRun(dir_.string() + ": cannot be made (" + why + ")");
        }
        done_ = true;
    }

private:
    void removeMadeAbove() {
        std::error_code ec;
        if (!madeAbove_.empty()) fs::remove_all(madeAbove_, ec);
    }
    fs::path dir_, temp_, madeAbove_;
    bool done_ = false;
};

// A file name as a run record lists it: "setup/" and a path inside setup/,
// no part of it empty, "." or "..".
bool isNameInSetup(const std::string& path) {
    if (path.rfind("setup/", 0) != 0 || path.size() == 6) return false;
    if (path.find('\\') != std::string::npos || path.find('\0') != std::string::npos) return false;
    size_t from = 6;
    for (;;) {
        const size_t slash = path.find('/', from);
        const std::string part = path.substr(from, slash == std::string::npos ? std::string::npos : slash - from);
        if (part.empty() || part == "." || part == "..") return false;
        if (slash == std::string::npos) return true;
        from = slash + 1;
    }
}

bool isHash(const std::string& text) {
    if (text.size() != 64) return false;
    for (const char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

// Whether a path is a link, or runs through one below `top`.
bool throughLink(const fs::path& top, const fs::path& relative) {
    std::error_code ec;
    fs::path at = top;
    if (fs::is_symlink(fs::symlink_status(at, ec))) return true;
    for (const fs::path& part : relative) {
        at /= part;
        if (fs::is_symlink(fs::symlink_status(at, ec))) return true;
    }
    return false;
}

// The saved copy of the session's setup, as its run record names it: the
// folder setups/<the record's hash> beside the record, and in it only the
// files the record lists as copied, each with the size and SHA-256 the
// record gives. Throws CouldNotRun naming every file that is not so.
SavedSetup verifiedSavedSetup(const RunRecord& record, const fs::path& recordFolder, const std::string& recordPath,
                              const std::string& session) {
    const std::string give = "; give the setup it was played with: --setup DIR";
    if (!record.savedSetup)
        throw CouldNotRun(recordPath + ": names no saved setup (it could not be saved during the session)" + give);
    if (!isHash(record.setupHash))
        throw CouldNotRun(recordPath + ": names no setup hash, so its saved setup cannot be told" + give);
    const std::string named = "setups/" + record.setupHash;
    if (*record.savedSetup != named)
        throw CouldNotRun(recordPath + ": names its saved setup \"" + *record.savedSetup +
                          "\", not the folder of its hash (" + named + "), as the program writes it" + give);
    SavedSetup saved;
    saved.dir = recordFolder / "setups" / record.setupHash;
    std::error_code ec;
    if (!fs::is_directory(saved.dir / "setup", ec))
        throw CouldNotRun(saved.dir.string() + ": missing: the setup saved for session " + session + " is not there" +
                          give);
    if (throughLink(recordFolder, fs::path("setups") / record.setupHash / "setup"))
        throw CouldNotRun(saved.dir.string() + ": a link, not the folder the program saved" + give);
    std::vector<std::string> changed;
    for (const SetupFile& file : record.files) {
        bool leftOut = false;
        for (const SetupLeftOut& left : record.notCopied) leftOut = leftOut || left.path == file.path;
        if (leftOut) continue;
        if (!isNameInSetup(file.path))
            throw CouldNotRun(recordPath + ": lists \"" + file.path + "\", which is no file inside setup/" + give);
        const fs::path at = saved.dir / file.path;
        std::string bytes, error;
        if (throughLink(saved.dir, file.path)) {
            changed.push_back(file.path + " (a link now)");
            continue;
        }
        if (!sys::readWholeFile(at.string(), bytes, error, std::max(file.bytes, 0LL) + 1)) {
            changed.push_back(file.path + " (" + error + ")");
            continue;
        }
        if (static_cast<long long>(bytes.size()) != file.bytes || sha256Hex(bytes) != file.sha256) {
            changed.push_back(file.path + " (changed)");
            continue;
        }
        saved.files.emplace_back(file.path, std::move(bytes));
    }
    if (!changed.empty()) {
        std::string which;
        for (const std::string& c : changed) which += (which.empty() ? "" : ", ") + c;
        throw CouldNotRun(saved.dir.string() + ": the saved setup of session " + session +
                          " is no longer the one its run record names: " + which +
                          "; nothing was made. To continue with another setup on purpose, give it: --setup DIR");
    }
    for (const SetupLeftOut& left : record.notCopied) saved.leftOut.push_back(left.path + " (" + left.why + ")");
    return saved;
}

// The setup the session was played with: --setup when given, else the copy
// its run record names, checked against the record. Throws CouldNotRun
// naming what is missing or changed.
GameSetup sessionSetup(const ResumeOptions& options, const SessionFiles& files, std::optional<RunRecord>& record,
                       std::optional<SavedSetup>& saved, std::ostream& err) {
    std::error_code ec;
    const std::string recordPath = files.recordPath.string();
    if (fs::exists(files.recordPath, ec)) {
        std::string error;
        record = readRunRecord(recordPath, error);
        if (record && !record->session.empty() && record->session != files.session) {
            error = "the run record of session " + record->session + ", not of " + files.session;
            record.reset();
        }
        // The record serves only to find the setup: one given makes it unneeded.
        if (!record && options.setup.empty()) throw CouldNotRun(recordPath + ": " + error);
        if (!record) err << recordPath << ": warning: " << error << "\n";
    }
    const fs::path recordFolder =
        files.recordPath.parent_path().empty() ? fs::path(".") : files.recordPath.parent_path();
    if (!options.setup.empty()) {
        GameSetup setup = readSetupAndShoe(options.setup);
        const fs::path copy = record && isHash(record->setupHash) && record->savedSetup
                                  ? recordFolder / "setups" / record->setupHash
                                  : fs::path();
        if (!copy.empty() && fs::is_directory(copy / "setup", ec) &&
            !setupDifferences(copy / "setup", setup.location).empty())
            err << files.session << ": warning: the setup saved for it, " << copy.string() << ", differs from "
                << options.setup << "; the setup given is used\n";
        return setup;
    }
    if (!record)
        throw CouldNotRun(recordPath + ": missing (logs of an older version have none), so the setup of session " +
                          files.session + " is unknown; give the setup it was played with: --setup DIR");
    saved = verifiedSavedSetup(*record, recordFolder, recordPath, files.session);
    return readSetupAndShoe(saved->dir.string());
}

}  // namespace

SessionFiles findSessionFiles(const std::string& session, const fs::path& dataout) {
    std::error_code ec;
    const fs::path given(session);
    const fs::file_status status = fs::status(given, ec);
    std::string name;
    fs::path folder;
    if (fs::is_regular_file(status)) {
        const std::string file = given.filename().string();
        if (const auto log = parseLogName(file))
            name = log->suffix;
        else if (const auto record = runRecordSession(file))
            name = *record;
        else
            throw CouldNotRun(session +
                              ": neither an event log (ck<ddmmyy>_<n>.txt, nk<ddmmyy>_<n>.txt) nor a run record "
                              "(run<ddmmyy>_<n>.json)");
        folder = given.has_parent_path() ? given.parent_path() : fs::path(".");
    } else if (fs::exists(status)) {
        throw CouldNotRun(session +
                          ": not a file; give one of the session's logs, its run record or its name "
                          "(071226_4711)");
    } else {
        const auto log = parseLogName("ck" + session + ".txt");
        if (!log || log->suffix != session)
            throw CouldNotRun(session + ": no such file, nor a session's name (071226_4711)");
        name = session;
        folder = dataout;
        if (!fs::is_directory(folder, ec))
            throw CouldNotRun(folder.string() + ": no such folder to find session " + session +
                              " in (give the path of one of its logs)");
    }
    SessionFiles files;
    files.session = name;
    files.pair.name = *parseLogName("ck" + name + ".txt");
    const fs::path ck = folder / ("ck" + name + ".txt");
    const fs::path nk = folder / ("nk" + name + ".txt");
    if (fs::is_regular_file(ck, ec)) files.pair.ckPath = ck.string();
    if (fs::is_regular_file(nk, ec)) files.pair.nkPath = nk.string();
    if (files.pair.ckPath.empty() && files.pair.nkPath.empty())
        throw CouldNotRun(folder.string() + ": holds no log of session " + name);
    files.recordPath = folder / runRecordName(name);
    return files;
}

std::optional<std::string> continuedShoe(const std::string& text, const std::string& session, int hand) {
    Shoe shoe;
    std::string fault;
    if (hand < 1 || shoe.loadText(text, fault) != Shoe::Status::Ok || static_cast<size_t>(hand) > shoe.size())
        return std::nullopt;
    for (int i = 1; i < hand; ++i) shoe.take();
    const int lineNumber = shoe.take().lineNumber;
    // The old shoe's lines from that hand on, byte for byte, after the new
    // header with the old header's line end.
    const std::vector<ShoeTextLine> lines = shoeLines(text);
    const auto from = static_cast<size_t>(lineNumber - 1);
    if (from >= lines.size()) return std::nullopt;
    return continuationHeader({session, hand}) + lines.front().lineEnd + text.substr(lines[from].start);
}

int resumeSession(const ResumeOptions& options, std::ostream& out, std::ostream& err) {
    const SessionFiles files = findSessionFiles(options.session, options.dataout);
    const std::string& name = files.session;
    std::error_code ec;
    const fs::path dir = absoluteWorkDir(options.dir.empty() ? "resume_" + name : options.dir);
    if (fs::exists(dir, ec)) {
        if (!fs::is_directory(dir, ec))
            throw CouldNotRun(dir.string() + ": exists and is not a directory; nothing was made");
        if (!fs::is_empty(dir, ec))
            throw CouldNotRun(dir.string() + ": exists and is not empty; nothing was made (give a new directory)");
    }

    std::optional<RunRecord> record;
    std::optional<SavedSetup> saved;
    const GameSetup setup = sessionSetup(options, files, record, saved, err);

    ShoeFaults shoeFaults;
    const Session session = readSession(files.pair, &setup, shoeFaults);
    const std::string refused = "qbxtool resume: session " + name + " ";
    if (session.gameEnded) {
        err << refused << "ended normally (game ended): there is nothing to continue; nothing was made\n";
        return kExitProblems;
    }
    std::string notTheShoe = shoeFaults.first;
    if (notTheShoe.empty() && !session.hands.empty()) notTheShoe = partDealtDifference(session.hands.back(), setup);
    if (session.dealsNotFromSetup || !notTheShoe.empty()) {
        err << refused << "was not played with this setup's shoe: " << notTheShoe << "; nothing was made\n";
        return kExitProblems;
    }
    // The hand in play when the logs stop, else the next one.
    int hand = 1;
    if (!session.hands.empty()) hand = session.hands.back().number + (session.hands.back().ended() ? 1 : 0);
    const int shoeHands = static_cast<int>(setup.hands.size());
    if (hand > shoeHands) {
        err << refused << "stopped after hand " << shoeHands << ", the last of its shoe " << setup.shoePath
            << ": there is no hand left to play; nothing was made\n";
        return kExitProblems;
    }
    if (session.partnerMissing())
        err << name << ": warning: only the " << (session.pair.ckPath.empty() ? "NumberKeeper" : "ColorKeeper")
            << "'s log is there; the hand in play is read from it alone\n";
    if (session.faults)
        err << name << ": warning: its logs have " << counted(session.faults, "fault", "faults")
            << " (qbxtool verify names them); the hand in play is read as far as they go\n";

    // The shoe as the parameters name it, in the copy of setup/.
    const fs::path shoeInWorkDir = fs::path(setup.parameters.shoeFilePath).lexically_normal();
    if (shoeInWorkDir.begin() == shoeInWorkDir.end() || *shoeInWorkDir.begin() != "setup" ||
        shoeInWorkDir.lexically_relative("setup").string().rfind("..", 0) == 0)
        throw CouldNotRun(setup.location.parameterFile().string() + ": the shoe " + setup.parameters.shoeFilePath +
                          " lies outside setup/, which is all a working directory's setup holds");
    std::string shoeBytes, shoeError;
    bool shoeRead = false;
    if (saved)
        for (const auto& [path, bytes] : saved->files)
            if (path == shoeInWorkDir.generic_string()) {
                shoeBytes = bytes;  // as checked against the run record
                shoeRead = true;
            }
    if (!shoeRead && !fileBytes(setup.shoePath, shoeBytes, shoeError))
        throw CouldNotRun(setup.shoePath + ": cannot be read again (" + shoeError + ")");
    const std::optional<std::string> shoe = continuedShoe(shoeBytes, name, hand);
    if (!shoe) throw CouldNotRun(setup.shoePath + ": cannot be read again");

    NewWorkDir made(dir);
    if (saved) {
        // Only the files the run record lists, with the bytes checked.
        for (const auto& [path, bytes] : saved->files) {
            const fs::path to = made.temp() / path;
            fs::create_directories(to.parent_path(), ec);
            if (ec) throw CouldNotRun(to.parent_path().string() + ": cannot be made (" + ec.message() + ")");
            OutputFile file(to.string());
            file.write(bytes);
            file.commit();
        }
        for (const std::string& left : saved->leftOut)
            err << name << ": warning: the saved setup lacks " << left << ", and so does the new setup/\n";
    } else {
        copySetupFolder(setup.location.setupDir, made.temp() / "setup");
    }
    OutputFile shoeFile((made.temp() / shoeInWorkDir).string());
    shoeFile.write(*shoe);
    shoeFile.commit();
    fs::create_directory(made.temp() / "dataout", ec);
    if (ec) throw CouldNotRun((dir / "dataout").string() + ": cannot be made (" + ec.message() + ")");
    writeLauncher(made.temp() / kLauncherName, dir, options.program);
    made.commit();

    const std::string hands = hand == shoeHands ? "hand " + std::to_string(hand)
                                                : "hands " + std::to_string(hand) + " to " + std::to_string(shoeHands);
    out << "Made " << dir.string() << " to continue session " << name << " from hand " << hand << ":\n"
        << "  setup/           copied from " << setup.location.setupDir.generic_string() << "; its shoe "
        << shoeInWorkDir.generic_string() << " holds " << hands << "\n"
        << "  dataout/         empty\n"
        << "  " << kLauncherName << "  starts " << options.program << " in this directory\n";
    if (record && record->continues)
        out << "Session " << name << " itself continued session " << record->continues->session << " from hand "
            << record->continues->hand << ": its hand " << hand << " is hand " << record->continues->hand + hand - 1
            << " there.\n";
    out << "To go on, start QBXSolo there (the launcher, or: cd " << dir.string() << " && " << options.program
        << ") and let the participant type "
        << (session.participant.empty() ? "the same code" : "the code \"" + session.participant + "\"")
        << " again. The new session's first hand is hand " << hand << " of " << name << ".\n";
    return kExitOk;
}

}  // namespace qbx::tool::logs
