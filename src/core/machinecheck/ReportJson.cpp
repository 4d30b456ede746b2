// The machine check as JSON: the program, the machine, the disk, the limits,
// and every figure with its verdict, its summary and its samples.

#include <cmath>

#include "core/json/Json.h"
#include "core/machinecheck/MachineCheck.h"

namespace qbx::machinecheck {

namespace {

using json::Value;

// Milliseconds to the microsecond, which is all a sample holds; null for a
// number that is none.
Value msValue(double x) {
    if (!std::isfinite(x)) return Value();
    return Value(std::round(x * 1000.0) / 1000.0);
}

Value samplesValue(const std::vector<double>& samples) {
    Value list = Value::array(Value::Layout::OneLine);
    for (double x : samples) list.push(msValue(x));
    return list;
}

Value summaryValue(const std::vector<double>& samples) {
    const Summary s = summarise(samples);
    Value v = Value::object(Value::Layout::OneLine);
    v.set("count", s.count);
    if (s.count > 0) {
        v.set("median", msValue(s.median));
        v.set("p99", msValue(s.p99));
        v.set("max", msValue(s.max));
    }
    return v;
}

void addSeries(Value& figure, const std::vector<double>& samples) {
    figure.set("summaryMs", summaryValue(samples));
    figure.set("samplesMs", samplesValue(samples));
}

// What each figure was judged on.
void addData(Value& figure, const std::string& key, const Measurements& m) {
    if (key == "stamp") {
        addSeries(figure, m.stampMs);
    } else if (key == "glide") {
        Value glides = Value::array();
        for (const DealGlide& g : m.dealGlides) {
            Value one = Value::object(Value::Layout::OneLine);
            one.set("lastingMs", msValue(g.lastingMs));
            one.set("stepMs", msValue(g.stepMs));
            glides.push(std::move(one));
        }
        figure.set("dealGlides", std::move(glides));
        Value ticks = Value::object();
        addSeries(ticks, m.glideTickMs);
        figure.set("glideTicks", std::move(ticks));
    } else if (key == "dealStep") {
        addSeries(figure, m.dealStepMs);
    } else if (key == "durable") {
        addSeries(figure, m.durableMs);
    } else if (key == "screen") {
        figure.set("width", m.screenWidth);
        figure.set("height", m.screenHeight);
        figure.set("devicePixelRatio", m.devicePixelRatio);
    } else if (key == "front") {
        Value attempts = Value::array();
        for (const FrontAttempt& a : m.front) {
            Value one = Value::object(Value::Layout::OneLine);
            one.set("what", a.what);
            one.set("tried", a.tried);
            one.set("cameBack", a.cameBack);
            one.set("backAfterMs", a.backAfterMs >= 0 ? msValue(a.backAfterMs) : Value());
            one.set("reason", a.reason);
            attempts.push(std::move(one));
        }
        figure.set("attempts", std::move(attempts));
    } else if (key == "start") {
        figure.set("ms", m.startToLoginMs >= 0 ? msValue(m.startToLoginMs) : Value());
    }
}

Value limitsValue(const Limits& l) {
    Value v = Value::object();
    const auto limit = [&](const char* key, double x) { v.set(key, x > 0 ? Value(x) : Value()); };
    limit("stampMedianMs", l.stampMedianMs);
    limit("stampP99Ms", l.stampP99Ms);
    limit("stampMaxMs", l.stampMaxMs);
    limit("dealStepMs", l.dealStepMs);
    limit("dealStepToleranceMs", l.dealStepToleranceMs);
    limit("dealStepP99Ms", l.dealStepP99Ms);
    limit("durableMedianMs", l.durableMedianMs);
    limit("durableP99Ms", l.durableP99Ms);
    v.set("tableWidth", l.tableWidth);
    v.set("tableHeight", l.tableHeight);
    limit("frontBackMs", l.frontBackMs);
    limit("startToLoginMs", l.startToLoginMs);
    return v;
}

}  // namespace

std::string reportJson(const Report& report, const Measurements& m, const Limits& limits, const RunInfo& run) {
    Value doc = Value::object();
    Value program = Value::object(Value::Layout::OneLine);
    program.set("version", run.programVersion);
    program.set("commit", run.programCommit);
    doc.set("program", std::move(program));
    doc.set("startedAt", run.startedAt);
    doc.set("host", run.hostName);
    doc.set("verdict", verdictName(report.overall));
    doc.set("summary", overallSentence(report));

    Value machine = Value::object();
    machine.set("os", m.os);
    machine.set("windowManager", m.windowManager);
    machine.set("qt", m.qtVersion);
    Value screen = Value::object(Value::Layout::OneLine);
    screen.set("width", m.screenWidth);
    screen.set("height", m.screenHeight);
    screen.set("devicePixelRatio", m.devicePixelRatio);
    machine.set("screen", std::move(screen));
    Value fonts = Value::object(Value::Layout::OneLine);
    fonts.set("table", m.tableFont);
    fonts.set("login", m.loginFont);
    machine.set("fonts", std::move(fonts));
    machine.set("cpus", m.cpuCount);
    doc.set("machine", std::move(machine));

    Value disk = Value::object();
    disk.set("folder", m.disk.folder);
    disk.set("fileSystem", m.disk.fileSystem);
    disk.set("networkShare", m.disk.networkShare);
    doc.set("disk", std::move(disk));
    doc.set("limits", limitsValue(limits));

    Value figures = Value::array();
    for (const Figure& f : report.figures) {
        Value figure = Value::object();
        figure.set("key", f.key);
        figure.set("title", f.title);
        figure.set("verdict", verdictName(f.verdict));
        figure.set("value", f.value);
        figure.set("limit", f.limit);
        figure.set("reason", f.reason);
        addData(figure, f.key, m);
        figures.push(std::move(figure));
    }
    doc.set("figures", std::move(figures));
    return json::write(doc) + "\n";
}

}  // namespace qbx::machinecheck
