#include "core/runrecord/RunRecord.h"

#include "core/eventlog/LogFormat.h"

#include <charconv>
#include <cstdio>
#include <functional>
#include <iterator>

namespace qbx {

namespace {

// Appends the JSON parts of one object, each after a comma but the first.
class Fields {
public:
    explicit Fields(std::string& out, const char* indent) : out_(out), indent_(indent) { out_ += '{'; }
    Fields& raw(const char* key, const std::string& json) {
        out_ += first_ ? "" : *indent_ ? "," : ", ";
        first_ = false;
        if (*indent_) out_ += std::string("\n") + indent_;
        out_ += jsonString(key);
        out_ += ": ";
        out_ += json;
        return *this;
    }
    Fields& text(const char* key, std::string_view value) { return raw(key, jsonString(value)); }
    Fields& number(const char* key, long long value) { return raw(key, std::to_string(value)); }
    void close() {
        if (*indent_ && !first_) out_ += "\n" + std::string(indent_).substr(2);
        out_ += '}';
    }

private:
    std::string& out_;
    const char* indent_;
    bool first_ = true;
};

std::string object(const std::function<void(Fields&)>& fill, const char* indent = "") {
    std::string out;
    Fields f(out, indent);
    fill(f);
    f.close();
    return out;
}

std::string decimal(double value) {
    char s[32];
    const auto r = std::to_chars(s, s + sizeof s, value);
    return std::string(s, r.ptr);
}

std::string textOrNull(const std::optional<std::string>& value) { return value ? jsonString(*value) : "null"; }

}  // namespace

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

std::string jsonString(std::string_view bytes) {
    std::string out = "\"";
    for (const char ch : asUtf8(bytes)) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char u[8];
                std::snprintf(u, sizeof u, "\\u%04x", c);
                out += u;
            } else {
                out += ch;
            }
        }
    }
    out += '"';
    return out;
}

std::string runRecordJson(const RunRecord& r) {
    std::string out;
    Fields doc(out, "  ");
    doc.text("record", "QBXSolo run record");
    doc.number("format", 1);
    doc.text("session", r.session);
    doc.raw("logs", "[" + jsonString(r.ckLog) + ", " + jsonString(r.nkLog) + "]");
    doc.text("state", r.ended ? "ended" : "started");
    doc.raw("program", object([&](Fields& f) { f.text("version", r.version).text("commit", r.commit); }));
    doc.raw("system", object(
                          [&](Fields& f) {
                              f.text("os", r.system.os);
                              f.raw("screen", object([&](Fields& s) {
                                        s.number("width", r.system.screenWidth)
                                            .number("height", r.system.screenHeight)
                                            .raw("devicePixelRatio", decimal(r.system.devicePixelRatio));
                                    }));
                              f.raw("windowManager", r.system.windowManager.empty()
                                                         ? std::string("null")
                                                         : jsonString(r.system.windowManager));
                          },
                          "    "));
    doc.text("workingDirectory", r.workingDirectory);
    doc.text("participant", r.participant);
    if (r.simulated) doc.raw("simulated", "true");
    doc.raw("setup", object(
                         [&](Fields& f) {
                             f.text("hash", r.setupHash);
                             f.text("short", r.setupHash.substr(0, 12));
                             f.raw("saved", textOrNull(r.savedSetup));
                             std::string files = "[";
                             for (size_t i = 0; i < r.files.size(); ++i) {
                                 const SetupFile& file = r.files[i];
                                 files += i ? ",\n      " : "\n      ";
                                 files += object([&](Fields& e) {
                                     e.text("path", file.path)
                                         .number("bytes", file.bytes)
                                         .text("sha256", file.sha256)
                                         .text("use", file.use);
                                 });
                             }
                             files += r.files.empty() ? "]" : "\n    ]";
                             f.raw("files", files);
                             if (r.notCopied.empty()) return;
                             std::string left = "[";
                             for (size_t i = 0; i < r.notCopied.size(); ++i) {
                                 left += i ? ",\n      " : "\n      ";
                                 left += object([&](Fields& e) {
                                     e.text("path", r.notCopied[i].path).text("why", r.notCopied[i].why);
                                 });
                             }
                             f.raw("notCopied", left + "\n    ]");
                         },
                         "    "));
    doc.raw("parameters", object(
                              [&](Fields& f) {
                                  for (const auto& [key, value] : r.parameters) f.text(key.c_str(), value);
                              },
                              "    "));
    doc.raw("continues", r.continues ? object([&](Fields& f) {
                f.text("session", r.continues->session).number("hand", r.continues->hand);
            })
                                     : std::string("null"));
    doc.text("started", r.started);
    doc.raw("end", r.end ? object([&](Fields& f) {
                f.text("time", r.end->time).text("how", r.end->how).number("hands", r.end->hands);
            })
                         : std::string("null"));
    std::string kept = "[";
    for (size_t i = 0; i < r.keptInFront.size(); ++i) {
        kept += i ? ",\n    " : "\n    ";
        kept += object([&](Fields& f) { f.text("time", r.keptInFront[i].time).text("why", r.keptInFront[i].why); });
    }
    kept += r.keptInFront.empty() ? "]" : "\n  ]";
    doc.raw("keptInFront", kept);
    std::string problems = "[";
    for (size_t i = 0; i < r.problems.size(); ++i) problems += (i ? ", " : "") + jsonString(r.problems[i]);
    doc.raw("problems", problems + "]");
    doc.close();
    return out + "\n";
}

}  // namespace qbx
