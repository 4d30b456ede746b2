// The machine check as a page the lab keeps with its study: one file with
// its style and pictures inside (no script, no font or image fetched), that
// reads at 1,100 pixels wide and prints.

#include <algorithm>
#include <cmath>

#include "core/machinecheck/MachineCheck.h"
#include "core/machinecheck/Numbers.h"
#include "core/text/Encoding.h"
#include "core/text/Html.h"

namespace qbx::machinecheck {

namespace {

// Any text from the machine or the lab (a window manager's name, a folder)
// may hold markup or bytes that are no UTF-8.
std::string text(std::string_view bytes) { return htmlEscape(asUtf8(bytes)); }

const char* verdictClass(Verdict v) {
    switch (v) {
    case Verdict::Fit: return "fit";
    case Verdict::NotFit: return "notfit";
    case Verdict::NotMeasured: return "unmeasured";
    }
    return "unmeasured";
}

constexpr const char* kStyle = R"(
body{margin:0;background:#fff;color:#1b1b1b;font:15px/1.45 system-ui,"Segoe UI",Roboto,"Helvetica Neue",Arial,sans-serif}
main{max-width:1040px;margin:0 auto;padding:20px 24px}
h1{font-size:1.45em;margin:0 0 .2em}
h2{font-size:1.15em;margin:1.6em 0 .5em;border-bottom:1px solid #ccc;padding-bottom:.2em}
p,td,th,figcaption,li{overflow-wrap:anywhere}
.meta{color:#555;margin:0 0 .8em}
.verdict{font-size:1.5em;font-weight:600;color:#fff;padding:.55em .8em;border-radius:6px;margin:.5em 0 1em}
.verdict.fit,.tag.fit{background:#1d7a3a}
.verdict.notfit,.tag.notfit{background:#b3261e}
.verdict.unmeasured,.tag.unmeasured{background:#666}
table{border-collapse:collapse;width:100%;table-layout:fixed}
th,td{text-align:left;vertical-align:top;padding:.4em .5em;border-bottom:1px solid #ddd}
th{background:#f3f3f3}
.tag{display:inline-block;color:#fff;font-weight:600;font-size:.85em;padding:.05em .45em;border-radius:3px;white-space:nowrap}
.reason{color:#8a1c16}
td.unmeasured .reason{color:#444}
figure{margin:1em 0 1.5em;break-inside:avoid}
figcaption{color:#444;font-size:.92em;margin-top:.3em}
svg{display:block;width:100%;height:auto}
svg text{font:12px system-ui,"Segoe UI",Arial,sans-serif;fill:#333}
dl{display:grid;grid-template-columns:14em 1fr;gap:.2em 1em;margin:0}
dt{font-weight:600}
dd{margin:0;overflow-wrap:anywhere}
@media print{main{max-width:none;padding:0}.verdict,.tag{-webkit-print-color-adjust:exact;print-color-adjust:exact}}
)";

// A line drawn across a picture at a value: a limit, or what was measured.
struct Mark {
    double at;
    std::string label;
    const char* colour;
};

constexpr double kWidth = 1000, kHeight = 170, kLeft = 46, kRight = 16, kTop = 26, kBottom = 30;

std::string num(double x) { return fixedText(x, 1); }

// The value axis's labels along the bottom, `ticks` of them from lo to hi.
std::string axis(double lo, double hi, int ticks, const std::string& unit) {
    std::string out;
    const double plot = kWidth - kLeft - kRight;
    out += "<line x1=\"" + num(kLeft) + "\" y1=\"" + num(kHeight - kBottom) + "\" x2=\"" + num(kWidth - kRight) +
           "\" y2=\"" + num(kHeight - kBottom) + "\" stroke=\"#888\"/>";
    for (int i = 0; i <= ticks; ++i) {
        const double v = lo + (hi - lo) * i / ticks;
        const double x = kLeft + plot * i / ticks;
        const char* anchor = i == 0 ? "start" : i == ticks ? "end" : "middle";
        out += "<text x=\"" + num(x) + "\" y=\"" + num(kHeight - 10) + "\" text-anchor=\"" + anchor + "\">" +
               htmlEscape(shortText(std::round(v * 100) / 100) + " " + unit) + "</text>";
    }
    return out;
}

// A histogram of `samples` with `marks` drawn as dashed lines; its scale
// starts at 0, or with `fromZero` false spans only the samples and marks.
std::string histogram(const std::vector<double>& samples, const std::vector<Mark>& marks, const std::string& what,
                      bool fromZero = true) {
    std::vector<double> finite;
    for (double x : samples)
        if (std::isfinite(x)) finite.push_back(x);
    double lo = fromZero ? 0 : INFINITY, hi = fromZero ? 1 : -INFINITY;
    for (double x : finite) lo = std::min(lo, x), hi = std::max(hi, x);
    for (const Mark& m : marks) lo = std::min(lo, m.at), hi = std::max(hi, m.at);
    const double pad = std::max(hi - lo, 1.0) * 0.06;
    hi += pad;
    if (!fromZero) lo -= pad;
    constexpr int kBins = 60;
    std::vector<int> bins(kBins, 0);
    for (double x : finite) {
        const int b = static_cast<int>((x - lo) / (hi - lo) * kBins);
        ++bins[static_cast<size_t>(std::clamp(b, 0, kBins - 1))];
    }
    const int most = std::max(1, *std::max_element(bins.begin(), bins.end()));
    const double plot = kWidth - kLeft - kRight, height = kHeight - kTop - kBottom, bar = plot / kBins;
    const auto xOf = [&](double v) { return kLeft + (v - lo) / (hi - lo) * plot; };

    std::string out = "<svg viewBox=\"0 0 " + num(kWidth) + " " + num(kHeight) +
                      "\" xmlns=\"http://www.w3.org/2000/svg\" role=\"img\" aria-label=\"" + htmlEscape(what) + "\">";
    out += "<text x=\"4\" y=\"" + num(kTop + 4) + "\">" + std::to_string(most) + "</text>";
    out += "<text x=\"4\" y=\"" + num(kHeight - kBottom) + "\">0</text>";
    for (int i = 0; i < kBins; ++i) {
        if (bins[static_cast<size_t>(i)] == 0) continue;
        const double h = height * bins[static_cast<size_t>(i)] / most;
        out += "<rect x=\"" + num(kLeft + bar * i + 0.5) + "\" y=\"" + num(kHeight - kBottom - h) + "\" width=\"" +
               num(std::max(bar - 1, 1.0)) + "\" height=\"" + num(h) + "\" fill=\"#4a78a8\"/>";
    }
    for (size_t i = 0; i < marks.size(); ++i) {
        const Mark& m = marks[i];
        const double x = xOf(m.at);
        out += "<line x1=\"" + num(x) + "\" y1=\"" + num(kTop - 4) + "\" x2=\"" + num(x) + "\" y2=\"" +
               num(kHeight - kBottom) + "\" stroke=\"" + m.colour + "\" stroke-width=\"2\" stroke-dasharray=\"5 3\"/>";
        // Labels take turns on two rows, so that two close marks stay readable.
        const bool right = x > kWidth * 0.8;
        out += "<text x=\"" + num(x + (right ? -4 : 4)) + "\" y=\"" + num(i % 2 ? kTop + 10 : kTop - 8) +
               "\" text-anchor=\"" + (right ? "end" : "start") + "\" style=\"fill:" + m.colour + "\">" +
               htmlEscape(m.label) + "</text>";
    }
    out += axis(lo, hi, 5, "ms");
    return out + "</svg>";
}

// Each deal glide as a bar of its lasting, its step as a tick above it: a
// red bar outlasted its step (or never placed its card).
std::string glidePicture(const std::vector<DealGlide>& glides) {
    double top = 1;
    for (const DealGlide& g : glides) {
        if (std::isfinite(g.lastingMs)) top = std::max(top, g.lastingMs);
        if (std::isfinite(g.stepMs)) top = std::max(top, g.stepMs);
    }
    top *= 1.1;
    const double plot = kWidth - kLeft - kRight, height = kHeight - kTop - kBottom;
    const double slot = plot / std::max<size_t>(glides.size(), 1);
    const auto yOf = [&](double v) { return kHeight - kBottom - height * std::clamp(v / top, 0.0, 1.0); };
    std::string out = "<svg viewBox=\"0 0 " + num(kWidth) + " " + num(kHeight) +
                      "\" xmlns=\"http://www.w3.org/2000/svg\" role=\"img\" aria-label=\"deal glides against their "
                      "steps\">";
    for (const double v : {top / 1.1, top / 2.2}) {
        out += "<line x1=\"" + num(kLeft) + "\" y1=\"" + num(yOf(v)) + "\" x2=\"" + num(kWidth - kRight) + "\" y2=\"" +
               num(yOf(v)) + "\" stroke=\"#ddd\"/>";
        out += "<text x=\"4\" y=\"" + num(yOf(v) + 4) + "\">" + htmlEscape(fixedText(v, 0)) + " ms</text>";
    }
    for (size_t i = 0; i < glides.size(); ++i) {
        const DealGlide& g = glides[i];
        const bool placed = g.lastingMs >= 0 && std::isfinite(g.lastingMs);
        const bool late = !placed || g.lastingMs > g.stepMs;
        const double x = kLeft + slot * static_cast<double>(i);
        const double w = std::max(slot * 0.7, 0.6);
        const double y = placed ? yOf(g.lastingMs) : kTop;
        out += "<rect x=\"" + num(x) + "\" y=\"" + num(y) + "\" width=\"" + num(w) + "\" height=\"" +
               num(kHeight - kBottom - y) + "\" fill=\"" + (late ? "#b3261e" : "#4a78a8") + "\"/>";
        if (std::isfinite(g.stepMs))
            out += "<line x1=\"" + num(x - slot * 0.1) + "\" y1=\"" + num(yOf(g.stepMs)) + "\" x2=\"" +
                   num(x + w + slot * 0.1) + "\" y2=\"" + num(yOf(g.stepMs)) +
                   "\" stroke=\"#111\" stroke-width=\"2\"/>";
    }
    out += "<line x1=\"" + num(kLeft) + "\" y1=\"" + num(kHeight - kBottom) + "\" x2=\"" + num(kWidth - kRight) +
           "\" y2=\"" + num(kHeight - kBottom) + "\" stroke=\"#888\"/>";
    out += "<text x=\"" + num(kLeft) + "\" y=\"" + num(kHeight - 10) + "\">" + std::to_string(glides.size()) +
           " deal glides, in the order dealt</text>";
    return out + "</svg>";
}

std::string figureRow(const Figure& f) {
    std::string row = "<tr><td><span class=\"tag " + std::string(verdictClass(f.verdict)) + "\">" +
                      verdictName(f.verdict) + "</span></td>";
    row += "<td>" + text(f.title) + "</td>";
    row += "<td class=\"" + std::string(verdictClass(f.verdict)) + "\">" + (f.value.empty() ? "–" : text(f.value));
    if (!f.reason.empty()) row += "<br><span class=\"reason\">" + text(f.reason) + "</span>";
    row += "</td><td>" + text(f.limit) + "</td></tr>\n";
    return row;
}

std::string pictures(const Measurements& m, const Limits& l) {
    std::string out = "<h2>Pictures</h2>\n";
    if (!m.stampMs.empty()) {
        std::vector<Mark> marks{{l.stampMedianMs, "median limit " + shortText(l.stampMedianMs) + " ms", "#1d7a3a"}};
        if (l.stampP99Ms > 0)
            marks.push_back({l.stampP99Ms, "p99 limit " + shortText(l.stampP99Ms) + " ms", "#b3261e"});
        if (l.stampMaxMs > 0)
            marks.push_back({l.stampMaxMs, "max limit " + shortText(l.stampMaxMs) + " ms", "#b3261e"});
        out += "<figure>" + histogram(m.stampMs, marks, "input to its time stamp") +
               "<figcaption>Input to its time stamp: how many inputs took each time from being sent to their "
               "record's stamp, with the limits.</figcaption></figure>\n";
    }
    if (!m.dealGlides.empty())
        out += "<figure>" + glidePicture(m.dealGlides) +
               "<figcaption>Each deal glide as a bar of how long it took to place its card; the black tick above "
               "it is its deal step, which the bar must stay below. Red: a glide that outlasted its step or never "
               "placed its card.</figcaption></figure>\n";
    if (!m.dealStepMs.empty())
        out += "<figure>" +
               histogram(m.dealStepMs,
                         {{l.dealStepMs - l.dealStepToleranceMs,
                           "median from " + shortText(l.dealStepMs - l.dealStepToleranceMs), "#1d7a3a"},
                          {l.dealStepMs + l.dealStepToleranceMs,
                           "to " + shortText(l.dealStepMs + l.dealStepToleranceMs) + " ms", "#1d7a3a"},
                          {l.dealStepP99Ms, "p99 limit " + shortText(l.dealStepP99Ms) + " ms", "#b3261e"}},
                         "deal step spacing", false) +
               "<figcaption>The spacing of the deal's steps, with the median's range and the p99 "
               "limit.</figcaption></figure>\n";
    if (!m.durableMs.empty())
        out += "<figure>" +
               histogram(m.durableMs,
                         {{l.durableMedianMs, "median limit " + shortText(l.durableMedianMs) + " ms", "#1d7a3a"},
                          {l.durableP99Ms, "p99 limit " + shortText(l.durableP99Ms) + " ms", "#b3261e"}},
                         "durable log records") +
               "<figcaption>Durable log records: each record appended and flushed to the disk in " +
               text(m.disk.folder) + ", as the event logs are.</figcaption></figure>\n";
    if (m.stampMs.empty() && m.dealGlides.empty() && m.dealStepMs.empty() && m.durableMs.empty())
        out += "<p>Nothing was measured that a picture could show.</p>\n";
    return out;
}

void item(std::string& out, const char* name, const std::string& value) {
    out += "<dt>" + std::string(name) + "</dt><dd>" + (value.empty() ? "–" : text(value)) + "</dd>\n";
}

std::string machine(const Measurements& m, const RunInfo& run) {
    std::string out = "<h2>The machine</h2>\n<dl>\n";
    item(out, "Host", run.hostName);
    item(out, "Operating system", m.os);
    item(out, "Window manager", m.windowManager.empty() ? "none" : m.windowManager);
    item(out, "Qt", m.qtVersion);
    item(out, "Screen",
         std::to_string(m.screenWidth) + " × " + std::to_string(m.screenHeight) +
             " device-independent pixels, scaling " + shortText(m.devicePixelRatio));
    item(out, "Fonts",
         "table: " + (m.tableFont.empty() ? "–" : m.tableFont) +
             "; login: " + (m.loginFont.empty() ? "–" : m.loginFont));
    item(out, "Processors", m.cpuCount > 0 ? std::to_string(m.cpuCount) : "");
    item(out, "Data folder", m.disk.folder);
    item(
        out, "File system",
        (m.disk.fileSystem.empty() ? "unknown" : m.disk.fileSystem) + (m.disk.networkShare ? ", a network share" : ""));
    item(out, "Program",
         "QBXSolo " + run.programVersion + (run.programCommit.empty() ? "" : " (" + run.programCommit + ")"));
    item(out, "Checked at", run.startedAt);
    return out + "</dl>\n";
}

constexpr const char* kUnmeasurable =
    "<h2>What no software can measure</h2>\n"
    "<p>The check times an input from the moment the system was handed it to its record's stamp, and the table's "
    "glides as the program draws them. Two delays lie outside the program and are not in these figures:</p>\n"
    "<ul>\n"
    "<li>the input device's own delay, from the participant's hand to the system: a mouse's polling interval "
    "(8 ms at 125 Hz, 1 ms at 1000 Hz) and its debouncing;</li>\n"
    "<li>the screen's own delay, from the picture drawn to the light seen: the refresh (16.7 ms at 60 Hz) and the "
    "panel's processing and response, which some screens lengthen with picture modes.</li>\n"
    "</ul>\n"
    "<p>Both are fixed by the hardware: the lab measures them with a photodiode or a high-speed camera, or uses "
    "the same mouse and screen for every session of a study.</p>\n";

}  // namespace

std::string reportHtml(const Report& report, const Measurements& m, const Limits& limits, const RunInfo& run) {
    std::string out = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
    out += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
    out += "<title>QBXSolo machine check: " + text(run.hostName) + " " + text(run.startedAt) + "</title>\n";
    out += "<style>" + std::string(kStyle) + "</style>\n</head>\n<body>\n<main>\n";
    out += "<h1>QBXSolo machine check</h1>\n";
    out += "<p class=\"meta\">" + text(run.hostName.empty() ? "This machine" : run.hostName) + ", " +
           text(run.startedAt) + ", QBXSolo " + text(run.programVersion) + "</p>\n";
    out += "<p class=\"verdict " + std::string(verdictClass(report.overall)) + "\">" + text(overallSentence(report)) +
           "</p>\n";
    out +=
        "<h2>Figures</h2>\n<table>\n<colgroup><col style=\"width:8.5em\"><col style=\"width:13em\"><col>"
        "<col style=\"width:15em\"></colgroup>\n";
    out += "<thead><tr><th>Verdict</th><th>Figure</th><th>Measured</th><th>Limit</th></tr></thead>\n<tbody>\n";
    for (const Figure& f : report.figures) out += figureRow(f);
    out += "</tbody>\n</table>\n";
    out += pictures(m, limits);
    out += machine(m, run);
    out += kUnmeasurable;
    out += "</main>\n</body>\n</html>\n";
    return out;
}

}  // namespace qbx::machinecheck
