#include "tool/logs/RunRecord.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

namespace qbx::tool::logs {

namespace {

using json = nlohmann::ordered_json;

std::string text(const json& object, const char* key) {
    const auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

std::optional<std::string> textOrNull(const json& object, const char* key) {
    const auto it = object.find(key);
    if (it == object.end() || !it->is_string()) return std::nullopt;
    return it->get<std::string>();
}

const json& objectAt(const json& object, const char* key) {
    static const json empty = json::object();
    const auto it = object.find(key);
    return it != object.end() && it->is_object() ? *it : empty;
}

const json& arrayAt(const json& object, const char* key) {
    static const json empty = json::array();
    const auto it = object.find(key);
    return it != object.end() && it->is_array() ? *it : empty;
}

template <typename Number>
Number number(const json& object, const char* key, Number otherwise) {
    const auto it = object.find(key);
    return it != object.end() && it->is_number() ? it->get<Number>() : otherwise;
}

}  // namespace

std::string RunRecord::savedSetupDir() const {
    if (!savedSetup || savedSetup->empty()) return {};
    return (std::filesystem::path(path).parent_path() / *savedSetup).generic_string();
}

std::optional<RunRecord> readRunRecord(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot be read";
        return std::nullopt;
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    const json doc = json::parse(bytes.str(), nullptr, false);
    if (doc.is_discarded() || !doc.is_object()) {
        error = "not JSON: a run record cut short or edited";
        return std::nullopt;
    }
    if (text(doc, "record") != "QBXSolo run record") {
        error = "not a QBXSolo run record";
        return std::nullopt;
    }
    if (number(doc, "format", 0) != 1) {
        error = "a run record of a format this qbxtool does not know (a later version wrote it)";
        return std::nullopt;
    }
    RunRecord r;
    r.path = path;
    r.session = text(doc, "session");
    r.ended = text(doc, "state") == "ended";
    const json& program = objectAt(doc, "program");
    r.version = text(program, "version");
    r.commit = text(program, "commit");
    const json& system = objectAt(doc, "system");
    r.os = text(system, "os");
    const json& screen = objectAt(system, "screen");
    r.screenWidth = number(screen, "width", 0);
    r.screenHeight = number(screen, "height", 0);
    r.devicePixelRatio = number(screen, "devicePixelRatio", 1.0);
    r.windowManager = textOrNull(system, "windowManager");
    r.workingDirectory = text(doc, "workingDirectory");
    r.participant = text(doc, "participant");
    if (const auto it = doc.find("simulated"); it != doc.end() && it->is_boolean()) r.simulated = it->get<bool>();
    const json& setup = objectAt(doc, "setup");
    r.setupHash = text(setup, "hash");
    r.setupShort = text(setup, "short");
    r.savedSetup = textOrNull(setup, "saved");
    for (const json& f : arrayAt(setup, "files"))
        if (f.is_object())
            r.files.push_back({text(f, "path"), number(f, "bytes", 0LL), text(f, "sha256"), text(f, "use")});
    for (const json& f : arrayAt(setup, "notCopied"))
        if (f.is_object()) r.notCopied.push_back({text(f, "path"), text(f, "why")});
    for (const auto& [key, value] : objectAt(doc, "parameters").items())
        if (value.is_string()) r.parameters.emplace_back(key, value.get<std::string>());
    if (const auto it = doc.find("continues"); it != doc.end() && it->is_object())
        r.continues = RunRecord::Continues{text(*it, "session"), number(*it, "hand", 0)};
    r.started = text(doc, "started");
    if (const auto it = doc.find("end"); it != doc.end() && it->is_object())
        r.end = RunRecord::End{text(*it, "time"), text(*it, "how"), number(*it, "hands", 0)};
    for (const json& k : arrayAt(doc, "keptInFront"))
        if (k.is_object()) r.keptInFront.push_back({text(k, "time"), text(k, "why")});
    for (const json& p : arrayAt(doc, "problems"))
        if (p.is_string()) r.problems.push_back(p.get<std::string>());
    return r;
}

}  // namespace qbx::tool::logs
