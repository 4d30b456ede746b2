#include "core/runrecord/RunRecord.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iterator>

#include "core/json/Json.h"
#include "core/platform/System.h"

namespace qbx {

#ifndef QBX_PROGRAM_VERSION
#define QBX_PROGRAM_VERSION ""
#endif
#ifndef QBX_PROGRAM_COMMIT
#define QBX_PROGRAM_COMMIT ""
#endif

std::string programVersion() { return QBX_PROGRAM_VERSION; }
std::string programCommit() { return QBX_PROGRAM_COMMIT; }

std::string isoTime(const LocalTime& t) {
    char s[40];
    std::snprintf(s, sizeof s, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", t.year, t.month, t.day, t.hour, t.minute, t.second,
                  t.millisecond);
    return s;
}

std::vector<std::pair<std::string, std::string>> parameterTexts(const ParameterValues& v) {
    // As the game read them: the shoe's name without the "setup/" the game
    // puts before it, the switches upper-cased, parX and parY as numbers.
    std::string shoe = v.shoeFilePath;
    if (shoe.rfind("setup/", 0) == 0) shoe.erase(0, 6);
    const std::string values[] = {shoe,           v.maxRoundsText, v.premiumRoundText,     v.costMoveText,
                                  v.viewCard,     v.fileBackCard,  v.viewTarget,           v.viewCkNk,
                                  v.dealingOrder, v.fileMessages,  std::to_string(v.parX), std::to_string(v.parY),
                                  v.dragCkNkText, v.fileTexture};
    std::vector<std::pair<std::string, std::string>> out;
    for (size_t i = 0; i < std::size(kParameterKeys); ++i) out.emplace_back(kParameterKeys[i], values[i]);
    return out;
}

namespace {

using json::Value;
constexpr Value::Layout kOneLine = Value::Layout::OneLine;

Value textOrNull(const std::optional<std::string>& text) { return text ? Value(*text) : Value(); }

}  // namespace

std::string runRecordJson(const RunRecord& r) {
    Value doc = Value::object();
    doc.set("record", "QBXSolo run record");
    doc.set("format", 1);
    doc.set("session", r.session);
    Value& logs = doc.set("logs", Value::array(kOneLine));
    logs.push(r.ckLog);
    logs.push(r.nkLog);
    if (!r.logsWritten.empty()) {
        Value& written = doc.set("logsWritten", Value::array());
        for (const LogWritten& w : r.logsWritten) {
            Value& f = written.push(Value::object(kOneLine));
            f.set("log", w.log);
            f.set("bytes", w.bytes);
            f.set("sha256", w.sha256);
        }
    }
    doc.set("state", r.ended ? "ended" : "started");
    Value& program = doc.set("program", Value::object(kOneLine));
    program.set("version", r.version);
    program.set("commit", r.commit);
    Value& system = doc.set("system", Value::object());
    system.set("os", r.system.os);
    Value& screen = system.set("screen", Value::object(kOneLine));
    screen.set("width", r.system.screenWidth);
    screen.set("height", r.system.screenHeight);
    // A whole ratio as a whole number ("1", not "1.0"), as the record has always written it.
    const double ratio = r.system.devicePixelRatio;
    const bool whole = std::abs(ratio) < 1e9 && std::floor(ratio) == ratio;
    screen.set("devicePixelRatio", whole ? Value(static_cast<long long>(ratio)) : Value(ratio));
    system.set("windowManager", r.system.windowManager.empty() ? Value() : Value(r.system.windowManager));
    doc.set("workingDirectory", r.workingDirectory);
    doc.set("participant", r.participant);
    if (r.simulated) doc.set("simulated", true);
    Value& setup = doc.set("setup", Value::object());
    setup.set("hash", r.setupHash);
    setup.set("short", r.setupHash.substr(0, 12));
    setup.set("saved", textOrNull(r.savedSetup));
    Value& files = setup.set("files", Value::array());
    for (const SetupFile& file : r.files) {
        Value& f = files.push(Value::object(kOneLine));
        f.set("path", file.path);
        f.set("bytes", file.bytes);
        f.set("sha256", file.sha256);
        f.set("use", file.use);
    }
    if (!r.notCopied.empty()) {
        Value& left = setup.set("notCopied", Value::array());
        for (const SetupLeftOut& l : r.notCopied) {
            Value& f = left.push(Value::object(kOneLine));
            f.set("path", l.path);
            f.set("why", l.why);
        }
    }
    Value& parameters = doc.set("parameters", Value::object());
    for (const auto& [key, value] : r.parameters) parameters.set(key, value);
    Value& continues = doc.set("continues", Value());
    if (r.continues) {
        continues = Value::object(kOneLine);
        continues.set("session", r.continues->session);
        continues.set("hand", r.continues->hand);
    }
    doc.set("started", r.started);
    Value& end = doc.set("end", Value());
    if (r.end) {
        end = Value::object(kOneLine);
        end.set("time", r.end->time);
        end.set("how", r.end->how);
        end.set("hands", r.end->hands);
    }
    Value& kept = doc.set("keptInFront", Value::array());
    for (const RunRecord::KeptInFront& k : r.keptInFront) {
        Value& f = kept.push(Value::object(kOneLine));
        f.set("time", k.time);
        f.set("why", k.why);
    }
    Value& problems = doc.set("problems", Value::array(kOneLine));
    for (const std::string& p : r.problems) problems.push(p);
    return json::write(doc, 2) + "\n";
}

// ---- Reading ------------------------------------------------------------------

std::string RunRecord::savedSetupDir() const {
    if (!savedSetup || savedSetup->empty()) return {};
    return (std::filesystem::path(path).parent_path() / *savedSetup).generic_string();
}

namespace {

// A record is read leniently inside: a field missing or of another kind
// reads as empty, so that a record a later version added to still reads.
const Value kNoObject = Value::object();
const Value kNoArray = Value::array();

std::string text(const Value& object, const char* key) {
    const Value* v = object.find(key);
    return v && v->isText() ? v->text() : std::string();
}

std::optional<std::string> textOrNone(const Value& object, const char* key) {
    const Value* v = object.find(key);
    if (!v || !v->isText()) return std::nullopt;
    return v->text();
}

const Value& objectAt(const Value& object, const char* key) {
    const Value* v = object.find(key);
    return v && v->isObject() ? *v : kNoObject;
}

const Value& arrayAt(const Value& object, const char* key) {
    const Value* v = object.find(key);
    return v && v->isArray() ? *v : kNoArray;
}

long long integer(const Value& object, const char* key) {
    const Value* v = object.find(key);
    return v && v->isNumber() ? v->integer() : 0;
}

int smallInteger(const Value& object, const char* key) {
    const long long n = integer(object, key);
    return n < INT_MIN || n > INT_MAX ? 0 : static_cast<int>(n);
}

}  // namespace

std::optional<RunRecord> readRunRecord(const std::string& path, std::string& error) {
    std::string bytes, why;
    if (!sys::readWholeFile(path, bytes, why)) {
        error = "cannot be read";
        return std::nullopt;
    }
    const std::optional<Value> doc = json::read(bytes, why);
    if (!doc || !doc->isObject()) {
        error = "not JSON: a run record cut short or edited";
        return std::nullopt;
    }
    if (text(*doc, "record") != "QBXSolo run record") {
        error = "not a QBXSolo run record";
        return std::nullopt;
    }
    const Value* format = doc->find("format");
    if (!format || !format->isNumber() || format->real() != 1) {
        error = "a run record of a format this qbxtool does not know (a later version wrote it)";
        return std::nullopt;
    }
    RunRecord r;
    r.path = path;
    r.session = text(*doc, "session");
    const Value& logs = arrayAt(*doc, "logs");
    if (logs.elements().size() == 2 && logs.elements()[0].isText() && logs.elements()[1].isText()) {
        r.ckLog = logs.elements()[0].text();
        r.nkLog = logs.elements()[1].text();
    }
    for (const Value& w : arrayAt(*doc, "logsWritten").elements())
        if (w.isObject()) r.logsWritten.push_back({text(w, "log"), integer(w, "bytes"), text(w, "sha256")});
    r.ended = text(*doc, "state") == "ended";
    const Value& program = objectAt(*doc, "program");
    r.version = text(program, "version");
    r.commit = text(program, "commit");
    const Value& system = objectAt(*doc, "system");
    r.system.os = text(system, "os");
    const Value& screen = objectAt(system, "screen");
    r.system.screenWidth = smallInteger(screen, "width");
    r.system.screenHeight = smallInteger(screen, "height");
    const Value* ratio = screen.find("devicePixelRatio");
    r.system.devicePixelRatio = ratio && ratio->isNumber() ? ratio->real() : 1.0;
    r.system.windowManager = text(system, "windowManager");
    r.workingDirectory = text(*doc, "workingDirectory");
    r.participant = text(*doc, "participant");
    if (const Value* simulated = doc->find("simulated"); simulated && simulated->isBoolean())
        r.simulated = simulated->boolean();
    const Value& setup = objectAt(*doc, "setup");
    r.setupHash = text(setup, "hash");
    r.setupShort = text(setup, "short");
    r.savedSetup = textOrNone(setup, "saved");
    for (const Value& f : arrayAt(setup, "files").elements())
        if (f.isObject()) r.files.push_back({text(f, "path"), integer(f, "bytes"), text(f, "sha256"), text(f, "use")});
    for (const Value& f : arrayAt(setup, "notCopied").elements())
        if (f.isObject()) r.notCopied.push_back({text(f, "path"), text(f, "why")});
    for (const auto& [key, value] : objectAt(*doc, "parameters").members())
        if (value.isText()) r.parameters.emplace_back(key, value.text());
    if (const Value* c = doc->find("continues"); c && c->isObject())
        r.continues = RunRecord::Continues{text(*c, "session"), smallInteger(*c, "hand")};
    r.started = text(*doc, "started");
    if (const Value* e = doc->find("end"); e && e->isObject())
        r.end = RunRecord::End{text(*e, "time"), text(*e, "how"), smallInteger(*e, "hands")};
    for (const Value& k : arrayAt(*doc, "keptInFront").elements())
        if (k.isObject()) r.keptInFront.push_back({text(k, "time"), text(k, "why")});
    for (const Value& p : arrayAt(*doc, "problems").elements())
        if (p.isText()) r.problems.push_back(p.text());
    return r;
}

}  // namespace qbx
