#include "tool/Tool.h"
#include "tool/logs/Verify.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <ostream>

#include "core/eventlog/LogFormat.h"
#include "tool/logs/LinesLeftOut.h"
#include "tool/logs/LogsWritten.h"
#include "tool/logs/Progress.h"

namespace qbx::tool::logs {

namespace {

class CountingSink : public SessionSink {
public:
    void fault(const SessionFault& f) override {
        if (seen.insert(f.kind).second)
            first.push_back(f);
        else
            ++more;
    }
    void warning(const SessionFault& w) override { warnings.push_back(w); }
    std::set<SessionFaultKind> seen;
    std::vector<SessionFault> first;
    int more = 0;
    std::vector<SessionFault> warnings;
};

std::string where(const SessionFault& f) { return f.line > 0 ? f.file + ":" + std::to_string(f.line) : f.file; }

std::string pairName(const LogPair& p) { return p.name.suffix; }

}  // namespace

namespace {

// How the session's logs end, as far as they go.
std::string logsEnding(const Session& s) {
    if (s.gameEnded) return "game ended";
    if (!s.hasStart) return "ended early before its first record";
    if (s.lastHand == 0) return "ended early at " + clockText(s.last) + " before its first hand";
    return "ended early at " + clockText(s.last) + " in hand " + std::to_string(s.lastHand);
}

}  // namespace

std::string endingText(const Session& s) {
    return s.partnerMissing() ? "partner log missing, " + logsEnding(s) : logsEnding(s);
}

std::vector<std::string> runRecordNotes(const Session& s) {
    const RunRecord* r = s.pair.record.get();
    if (!r) return {"no run record"};
    std::vector<std::string> notes;
    if (r->simulated) notes.push_back("simulated");
    if (!r->ended)
        notes.push_back("the program was stopped before the end (its run record says \"started\")");
    else if (r->end && r->end->how != "game ended" && !r->end->how.empty())
        notes.push_back("stopped: " + r->end->how);
    std::error_code ec;
    if (r->savedSetupDir().empty())
        notes.push_back("its setup was not saved");
    else if (!std::filesystem::is_directory(r->savedSetupDir(), ec))
        notes.push_back("its saved setup is missing");
    for (const SessionFault& changed : s.changedLogs)
        notes.push_back(std::filesystem::path(changed.file).filename().string() + " changed after the session");
    if (r->continues)
        notes.push_back("continues " + r->continues->session + " hand " + std::to_string(r->continues->hand));
    for (const std::string& problem : r->problems) notes.push_back("run record: " + problem);
    return notes;
}

std::string setupText(const Session& s) {
    const RunRecord* r = s.pair.record.get();
    if (!r) return {};
    std::string text = r->setupShort.empty() ? std::string("?") : r->setupShort;
    if (!r->workingDirectory.empty()) text += " " + r->workingDirectory;
    return text;
}

SessionsResult listSessions(const LogFolder& folder, const std::vector<const GameSetup*>& setups) {
    SessionsResult result;
    Progress progress("sessions", folder.pairs.size());
    for (const LogPair& pair : folder.pairs) {
        if (!pair.complete())
            result.unpaired.push_back((pair.ckPath.empty() ? pair.nkPath : pair.ckPath) + ": no " +
                                      (pair.ckPath.empty() ? "ColorKeeper" : "NumberKeeper") + " log " +
                                      partnerLogName(pair.name) + " beside it");
        LinesLeftOut leftOut;
        const size_t i = result.sessions.size();
        result.sessions.push_back(readSession(pair, i < setups.size() ? setups[i] : nullptr, leftOut));
        result.sessions.back().changedLogs = logsChangedAfterSession(pair);
        for (const SessionFault& w : result.sessions.back().changedLogs)
            result.warnings.push_back(w.file + ": warning: " + w.what);
        result.linesLeftOut += leftOut.count();
        result.warnings.insert(result.warnings.end(), leftOut.warnings.begin(), leftOut.warnings.end());
        progress.step();
    }
    result.notLogs = folder.notLogs;
    result.passedOver = passedOverText(folder);
    return result;
}

namespace {

// How many columns a text takes on a terminal: UTF-8's continuation bytes
// take none, so that a code with an accent keeps the columns aligned.
size_t displayWidth(std::string_view text) {
    size_t width = 0;
    for (const char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++width;
    return width;
}

std::string paddedRight(const std::string& text, size_t width) {
    const size_t shown = displayWidth(text);
    return shown >= width ? text : text + std::string(width - shown, ' ');
}

}  // namespace

void printSessions(const SessionsResult& r, std::ostream& out) {
    // The setup column is as wide as its longest text (a working
    // directory's name has no set length).
    size_t setupWidth = 5;
    for (const Session& s : r.sessions) setupWidth = std::max(setupWidth, displayWidth(shownText(setupText(s))));
    out << "session      date        participant   start         hands  ColorKeeper  NumberKeeper  "
        << paddedRight("setup", setupWidth) << "  end\n";
    for (const Session& s : r.sessions) {
        // The cells are escaped before they are measured: the columns stay aligned.
        const std::string setup = shownText(setupText(s));
        std::string end = endingText(s);
        if (s.crossesMidnight) end += ", across midnight";
        if (s.faults) end += ", " + counted(s.faults, "fault", "faults") + " (see verify)";
        for (const std::string& note : runRecordNotes(s)) end += ", " + note;
        char line[512];
        std::snprintf(line, sizeof line, "%-12s %-11s %s %-13s %5d  %11s  %12s  ", s.pair.name.suffix.c_str(),
                      s.pair.name.isoDate().c_str(), paddedRight(shownText(asUtf8(s.participant)), 13).c_str(),
                      s.hasStart ? clockText(s.start).c_str() : "-", s.handsPlayed(), totalText(s.ckTotal()).c_str(),
                      totalText(s.nkTotal()).c_str());
        out << line << paddedRight(setup.empty() ? "-" : setup, setupWidth) << "  " << end << "\n";
    }
    for (const std::string& u : r.unpaired) out << "unpaired: " << u << "\n";
    for (const std::string& n : r.notLogs) out << "not a log name: " << n << "\n";
    for (const std::string& p : r.passedOver) out << p << "\n";
}

namespace {

// What sessions --json gives of a session's run record; nulls without one.
void addRunRecordJson(json::Value& e, const Session& s) {
    const RunRecord* r = s.pair.record.get();
    e.set("runRecord", r ? json::Value(r->path) : json::Value());
    e.set("recordState", r ? json::Value(r->ended ? "ended" : "started") : json::Value());
    if (r && r->simulated) e.set("simulated", true);
    if (r) {
        json::Value& setup = e.set("setup", json::Value::object());
        setup.set("hash", r->setupHash);
        setup.set("short", r->setupShort);
        setup.set("workingDirectory", r->workingDirectory);
        setup.set("saved", r->savedSetupDir().empty() ? json::Value() : json::Value(r->savedSetupDir()));
        e.set("programVersion", r->version);
        e.set("programEnd", r->end ? json::Value(r->end->how) : json::Value());
        json::Value& continues = e.set("continues", json::Value());
        if (r->continues) {
            continues = json::Value::object();
            continues.set("session", r->continues->session);
            continues.set("hand", r->continues->hand);
        }
        e.set("problems", r->problems);
        json::Value& changed = e.set("logsChanged", json::Value::array());
        for (const SessionFault& w : s.changedLogs) {
            json::Value& c = changed.push(json::Value::object());
            c.set("file", w.file);
            c.set("what", w.what);
        }
    } else {
        e.set("setup", json::Value());
        e.set("programVersion", json::Value());
        e.set("programEnd", json::Value());
        e.set("continues", json::Value());
        e.set("problems", json::Value::array());
        e.set("logsChanged", json::Value::array());
    }
    e.set("notes", runRecordNotes(s));
}

}  // namespace

json::Value sessionsJson(const SessionsResult& r) {
    json::Value j = json::Value::object();
    json::Value& sessions = j.set("sessions", json::Value::array());
    for (const Session& s : r.sessions) {
        json::Value& e = sessions.push(json::Value::object());
        e.set("session", s.pair.name.suffix);
        e.set("date", s.pair.name.isoDate());
        e.set("colorKeeperLog", s.pair.ckPath);
        e.set("numberKeeperLog", s.pair.nkPath);
        e.set("participant", s.participant);
        e.set("start", s.hasStart ? clockText(s.start) : "");
        e.set("hands", s.handsPlayed());
        e.set("gameEnded", s.gameEnded);
        e.set("end", endingText(s));
        e.set("lastRecord", s.hasStart ? clockText(s.last) : "");
        e.set("lastHand", s.lastHand);
        e.set("acrossMidnight", s.crossesMidnight);
        e.set("colorKeeperScore", s.ckTotal());
        e.set("numberKeeperScore", s.nkTotal());
        e.set("faults", s.faults);
        addRunRecordJson(e, s);
    }
    j.set("unpaired", r.unpaired);
    j.set("notLogs", r.notLogs);
    j.set("passedOver", r.passedOver);
    return j;
}

bool VerifyResult::problems() const {
    for (const PairVerdict& p : pairs)
        if (p.faulty()) return true;
    return false;
}

VerifyResult verifyLogs(const LogFolder& folder, const std::vector<const GameSetup*>& setups) {
    VerifyResult result;
    Progress progress("verify", folder.pairs.size());
    for (const LogPair& pair : folder.pairs) {
        CountingSink sink;
        if (!pair.complete()) {
            const std::string& present = pair.ckPath.empty() ? pair.nkPath : pair.ckPath;
            sink.fault({present, 0, SessionFaultKind::Unpaired,
                        std::string("no ") + (pair.ckPath.empty() ? "ColorKeeper" : "NumberKeeper") + " log " +
                            partnerLogName(pair.name) + " beside it"});
        }
        PairVerdict verdict;
        verdict.pair = pair;
        const size_t i = result.pairs.size();
        verdict.session = readSession(pair, i < setups.size() ? setups[i] : nullptr, sink);
        verdict.firstOfEachKind = std::move(sink.first);
        verdict.moreFaults = sink.more;
        verdict.warnings = std::move(sink.warnings);
        verdict.session.changedLogs = logsChangedAfterSession(pair);
        verdict.warnings.insert(verdict.warnings.end(), verdict.session.changedLogs.begin(),
                                verdict.session.changedLogs.end());
        result.pairs.push_back(std::move(verdict));
        progress.step();
    }
    result.notLogs = folder.notLogs;
    result.passedOver = passedOverText(folder);
    return result;
}

void printVerify(const VerifyResult& r, std::ostream& out, std::ostream& messages) {
    int faulty = 0;
    for (const PairVerdict& p : r.pairs) {
        const Session& s = p.session;
        out << pairName(p.pair) << ": " << (p.faulty() ? "FAULTY" : "ok") << ", "
            << counted(s.handsPlayed(), "hand", "hands") << ", " << endingText(s)
            << (s.crossesMidnight ? ", across midnight" : "") << "\n";
        for (const SessionFault& w : p.warnings)
            messages << where(w) << ": " << faultKindText(w.kind) << ": " << w.what << "\n";
        for (const SessionFault& f : p.firstOfEachKind)
            messages << where(f) << ": " << faultKindText(f.kind) << ": " << f.what << "\n";
        if (p.moreFaults)
            messages << pairName(p.pair) << ": and " << counted(p.moreFaults, "more fault", "more faults")
                     << " of these kinds\n";
        faulty += p.faulty();
    }
    for (const std::string& n : r.notLogs) messages << n << ": not a log name, skipped\n";
    for (const std::string& p : r.passedOver) messages << p << "\n";
    out << counted(r.pairs.size(), "session", "sessions") << ", " << faulty << " with faults\n";
}

json::Value verifyJson(const VerifyResult& r) {
    json::Value j = json::Value::object();
    json::Value& sessions = j.set("sessions", json::Value::array());
    for (const PairVerdict& p : r.pairs) {
        json::Value& e = sessions.push(json::Value::object());
        e.set("session", p.pair.name.suffix);
        e.set("colorKeeperLog", p.pair.ckPath);
        e.set("numberKeeperLog", p.pair.nkPath);
        e.set("ok", !p.faulty());
        e.set("gameEnded", p.session.gameEnded);
        e.set("end", endingText(p.session));
        e.set("hands", p.session.handsPlayed());
        e.set("acrossMidnight", p.session.crossesMidnight);
        e.set("setup", p.pair.record ? json::Value(p.pair.record->setupShort) : json::Value());
        json::Value& faults = e.set("faults", json::Value::array());
        for (const SessionFault& f : p.firstOfEachKind) {
            json::Value& fault = faults.push(json::Value::object());
            fault.set("file", f.file);
            fault.set("line", f.line);
            fault.set("kind", faultKindText(f.kind));
            fault.set("what", f.what);
        }
        e.set("moreFaults", p.moreFaults);
        json::Value& warnings = e.set("warnings", json::Value::array());
        for (const SessionFault& w : p.warnings) {
            json::Value& warning = warnings.push(json::Value::object());
            warning.set("file", w.file);
            warning.set("what", w.what);
        }
    }
    j.set("notLogs", r.notLogs);
    j.set("passedOver", r.passedOver);
    return j;
}

}  // namespace qbx::tool::logs
