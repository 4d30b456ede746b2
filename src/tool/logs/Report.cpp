#include "tool/logs/Report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <ostream>

#include "core/eventlog/LogFormat.h"
#include "core/text/Html.h"
#include "tool/Tool.h"
#include "tool/logs/LinesLeftOut.h"
#include "tool/logs/Progress.h"
#include "tool/logs/Session.h"
#include "tool/logs/Verify.h"

namespace qbx::tool::logs {

namespace {

const char* kStyle = R"(
:root { --ck: #c0392b; --nk: #1f5fa8; --ink: #222; --muted: #666; --rule: #ddd; }
* { box-sizing: border-box; }
body { font-family: "DejaVu Sans", "Liberation Sans", Arial, sans-serif; color: var(--ink); margin: 20px 24px;
       background: #fafafa; font-size: 14px; }
h1 { font-size: 24px; margin: 0 0 4px; }
h2 { font-size: 18px; margin: 28px 0 8px; border-bottom: 2px solid var(--rule); padding-bottom: 4px; }
h3 { font-size: 15px; margin: 18px 0 6px; }
.sub { color: var(--muted); margin: 0 0 18px; }
table { border-collapse: collapse; background: #fff; max-width: 100%; }
th, td { padding: 4px 8px; border-bottom: 1px solid var(--rule); text-align: left; vertical-align: top; }
th { background: #f0f0f0; font-weight: 600; white-space: nowrap; }
td.num { text-align: right; font-variant-numeric: tabular-nums; white-space: nowrap; }
td.nowrap { white-space: nowrap; }
td.setup code { font-size: 12px; }
td.setup { overflow-wrap: anywhere; }
.early { color: #a15c00; font-weight: 600; }
.fault { color: #b00020; font-weight: 600; }
.cards { display: flex; flex-wrap: wrap; gap: 12px; margin: 8px 0 16px; }
.card { background: #fff; border: 1px solid var(--rule); border-radius: 6px; padding: 10px 16px; min-width: 150px; }
.card .big { font-size: 22px; font-weight: 600; }
.card .label { color: var(--muted); font-size: 12px; }
section.session { background: #fff; border: 1px solid var(--rule); border-radius: 6px; padding: 4px 16px 14px;
                  margin: 18px 0; }
figure.hand-timeline { margin: 6px 0; display: flex; align-items: center; gap: 10px; }
figure.hand-timeline figcaption { flex: 0 0 190px; font-size: 12px; line-height: 1.35; }
figure.hand-timeline figcaption b { font-size: 13px; }
figure.hand-timeline svg { flex: 1 1 auto; min-width: 0; max-width: 820px; height: auto; }
.dealt { font-family: "DejaVu Sans Mono", "Liberation Mono", monospace; font-size: 11px; color: var(--muted); }
.legend { display: flex; flex-wrap: wrap; gap: 6px 18px; align-items: center; color: var(--muted); font-size: 12px;
          margin: 6px 0 10px; }
.legend svg { vertical-align: middle; }
svg text { font-family: "DejaVu Sans", "Liberation Sans", Arial, sans-serif; }
.note { color: var(--muted); font-size: 12px; }
.actions-chart { max-width: 100%; height: auto; }
/* The time lines' scale, chosen without a script: a label picks a radio button. */
input.scale { display: none; }
.scale-choice label { border: 1px solid var(--rule); border-radius: 4px; padding: 2px 8px; cursor: pointer;
                      background: #fff; color: var(--muted); }
#scale-own:checked ~ main label[for=scale-own], #scale-common:checked ~ main label[for=scale-common] {
    color: var(--ink); border-color: #888; font-weight: 600; }
#scale-own:checked ~ main .tl-common, #scale-common:checked ~ main .tl-own { display: none; }
)";

template <typename... Args>
std::string fmt(const char* format, Args... args) {
    char text[512];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

std::string seconds(long long ms) { return fmt("%.1f s", ms / 1000.0); }

// A mark of one action at x on the lane of its role.
std::string mark(const HandAction& a, double x) {
    const double y = a.colorKeeper ? 17 : 39;
    const char* colour = a.colorKeeper ? "var(--ck)" : "var(--nk)";
    char text[256];
    switch (a.kind) {
    case ActionKind::Move:
        std::snprintf(text, sizeof text, "<circle cx=\"%.1f\" cy=\"%.1f\" r=\"5.5\" fill=\"%s\"/>", x, y, colour);
        break;
    case ActionKind::Pass:
        std::snprintf(
            text, sizeof text,
            "<rect x=\"%.1f\" y=\"%.1f\" width=\"9\" height=\"9\" fill=\"#fff\" stroke=\"%s\" stroke-width=\"2\"/>",
            x - 4.5, y - 4.5, colour);
        break;
    case ActionKind::PickUp:
        std::snprintf(text, sizeof text, "<path d=\"M%.1f %.1f l4 7 h-8 z\" fill=\"%s\" opacity=\"0.55\"/>", x,
                      y - 12.5, colour);
        break;
    case ActionKind::Look:
        std::snprintf(text, sizeof text,
                      "<circle cx=\"%.1f\" cy=\"%.1f\" r=\"2.5\" fill=\"none\" stroke=\"%s\" stroke-width=\"1.5\"/>", x,
                      y + 10, colour);
        break;
    default: return {};  // the game's start and end and the deals are no hand's actions
    }
    return text;
}

// A hand's actions are its moves, passes, pick-ups and looks.
const char* kindTitle(ActionKind k) { return session::actionKindName(k); }

// Where a hand's time line starts and ends, since the session's start.
struct HandSpan {
    long long from = 0, to = 0;
    long long ms() const { return to - from; }
};

HandSpan spanOf(const Hand& h) {
    HandSpan span;
    span.from = h.dealMs >= 0 ? h.dealMs : 0;
    span.to = h.endMs >= 0 ? h.endMs : (h.actions.empty() ? span.from + 1000 : h.actions.back().atMs);
    if (span.to <= span.from) span.to = span.from + 1000;
    return span;
}

// One hand's lanes, drawn so that `scaleMs` fills the width: the hand's own
// length, or the longest hand's, to compare hands by eye.
std::string timelineSvg(const Hand& h, long long scaleMs, const char* cssClass) {
    const double left = 44, width = 700;
    const HandSpan span = spanOf(h);
    const double scale = double(std::max(scaleMs, span.ms()));
    auto xOf = [&](long long ms) { return left + width * double(ms - span.from) / scale; };
    const double right = xOf(span.to);
    std::string svg = std::string("<svg class=\"") + cssClass +
                      "\" width=\"820\" height=\"66\" viewBox=\"0 0 820 66\" role=\"img\" aria-label=\"hand " +
                      std::to_string(h.number) + "\">";
    svg += "<text x=\"0\" y=\"21\" font-size=\"11\" fill=\"var(--ck)\">ck</text>";
    svg += "<text x=\"0\" y=\"43\" font-size=\"11\" fill=\"var(--nk)\">nk</text>";
    for (double y : {17.0, 39.0})
        svg += fmt("<line x1=\"44\" x2=\"%.1f\" y1=\"%.0f\" y2=\"%.0f\" stroke=\"#e6e6e6\"/>", right, y, y);
    // The axis with ticks at round seconds, as far as the scale goes.
    svg += "<line x1=\"44\" x2=\"744\" y1=\"54\" y2=\"54\" stroke=\"#999\"/>";
    const double total = scale / 1000.0;
    double step = 600;
    for (double candidate : {1.0, 2.0, 5.0, 10.0, 15.0, 30.0, 60.0, 120.0, 300.0, 600.0})
        if (total / candidate <= 10) {
            step = candidate;
            break;
        }
    for (double t = 0; t <= total + 1e-9; t += step) {
        const double x = left + width * t * 1000.0 / scale;
        svg += fmt("<line x1=\"%.1f\" x2=\"%.1f\" y1=\"54\" y2=\"58\" stroke=\"#999\"/>", x, x) +
               fmt("<text x=\"%.1f\" y=\"65\" font-size=\"9\" fill=\"#777\" text-anchor=\"middle\">%gs</text>", x, t);
    }
    for (const HandAction& a : h.actions) {
        const double x = std::clamp(xOf(a.atMs), left, right);
        svg += "<g><title>" + std::string(a.colorKeeper ? "ColorKeeper " : "NumberKeeper ") + kindTitle(a.kind) +
               " at " + seconds(a.atMs - span.from) + "</title>" + mark(a, x) + "</g>";
    }
    if (h.ended()) {
        svg +=
            fmt("<line x1=\"%.1f\" x2=\"%.1f\" y1=\"4\" y2=\"54\" stroke=\"#333\" stroke-width=\"2\"/>", right, right);
        svg += fmt("<text x=\"%.1f\" y=\"24\" font-size=\"11\" fill=\"#333\">", right + 6) + htmlEscape(h.endCodes()) +
               "</text>" + fmt("<text x=\"%.1f\" y=\"38\" font-size=\"11\" fill=\"#333\">", right + 6) +
               htmlEscape(h.ends.front().ckScore.empty() ? h.ends.front().nkScore : h.ends.front().ckScore) + "</text>";
    }
    svg += "</svg>";
    return svg;
}

// A hand's caption and its time line, on its own scale and on the common
// one (the page shows one of the two, as the reader chooses).
std::string timeline(const Hand& h, long long commonScaleMs) {
    std::string figure = "<figure class=\"hand-timeline\" data-hand=\"" + std::to_string(h.number) +
                         "\"><figcaption><b>Hand " + std::to_string(h.number) + "</b>";
    if (!h.opener.empty()) figure += " · " + h.opener + " opens";
    if (!h.goal.empty()) figure += " · goal " + htmlEscape(h.goal);
    // The deal, by place: the hand's cards as they lay before its first action.
    std::string dealt;
    for (uint8_t place :
         {colorCardView, downColorCardView, upCardView, downNumberCardView, numberCardView, targetCardView})
        if (!h.dealt[place].empty())
            dealt += (dealt.empty() ? "" : " ") + std::string(placeShortName(place)) + " " + htmlEscape(h.dealt[place]);
    if (!dealt.empty())
        figure += "<br><span class=\"dealt\" title=\"the cards as dealt, by place\">" + dealt + "</span>";
    figure += "<br>" + counted(h.actionsTaken(), "action", "actions") + " in " + seconds(spanOf(h).ms());
    if (h.fewest) figure += " · fewest " + std::to_string(*h.fewest);
    figure += "<br>";
    if (h.ended())
        figure += htmlEscape(h.endCodes()) + " · score " +
                  htmlEscape(h.ends.front().ckScore.empty() ? h.ends.front().nkScore : h.ends.front().ckScore);
    else
        figure += "<span class=\"early\">not ended</span>";
    figure += "</figcaption>";
    figure += timelineSvg(h, spanOf(h).ms(), "tl-own");
    figure += timelineSvg(h, commonScaleMs, "tl-common");
    return figure + "</figure>\n";
}

// Bars of actions per hand on a labelled scale, with the solver's fewest as
// a black bar across each, wider than the bar so that it shows even where
// the hand took exactly the fewest.
std::string actionsChart(const Session& s) {
    if (s.hands.empty()) return {};
    int most = 1;
    for (const Hand& h : s.hands) most = std::max({most, h.actionsTaken(), h.fewest.value_or(0)});
    // Ticks at round numbers, at most six of them.
    int step = 1;
    for (int candidate : {1, 2, 5, 10, 20, 25, 50, 100, 200, 500})
        if (most / candidate <= 5) {
            step = candidate;
            break;
        }
    const int top = (most + step - 1) / step * step;
    const double barWidth = std::clamp(640.0 / double(s.hands.size()), 6.0, 36.0);
    const double height = 110, base = 124, left = 40;
    const double width = left + barWidth * double(s.hands.size()) + 20;
    std::string svg = "<svg class=\"actions-chart\" width=\"" + fmt("%.0f", width) +
                      "\" height=\"160\" viewBox=\"0 0 " + fmt("%.0f", width) +
                      " 160\" role=\"img\" aria-label=\"actions per hand\">";
    for (int v = 0; v <= top; v += step) {
        const double y = base - height * v / top;
        svg += fmt("<line x1=\"%.0f\" x2=\"%.0f\" y1=\"%.1f\" y2=\"%.1f\" stroke=\"%s\"/>", left - 4, width - 10, y, y,
                   v == 0 ? "#999" : "#eee") +
               fmt("<text x=\"%.0f\" y=\"%.1f\" font-size=\"10\" fill=\"#777\" text-anchor=\"end\">%d</text>", left - 7,
                   y + 3.5, v);
    }
    for (size_t i = 0; i < s.hands.size(); ++i) {
        const Hand& h = s.hands[i];
        const double x = left + barWidth * double(i);
        const double barHeight = height * h.actionsTaken() / top;
        svg += "<g><title>hand " + std::to_string(h.number) + ": " + counted(h.actionsTaken(), "action", "actions") +
               (h.fewest ? ", fewest " + std::to_string(*h.fewest) : std::string()) + "</title>" +
               fmt("<rect x=\"%.1f\" y=\"%.1f\" ", x + 2, base - barHeight) +
               fmt("width=\"%.1f\" height=\"%.1f\" fill=\"#8fb3d9\"/>", barWidth - 4, barHeight);
        if (h.fewest) {
            const double y = base - height * *h.fewest / top;
            svg += fmt("<rect class=\"fewest\" x=\"%.1f\" y=\"%.1f\" ", x, y - 1.5) +
                   fmt("width=\"%.1f\" height=\"3\" fill=\"#111\"/>", barWidth);
        }
        svg += "</g>";
        if (s.hands.size() <= 40 || h.number % 5 == 0)
            svg += fmt("<text x=\"%.1f\" y=\"138\" font-size=\"9\" fill=\"#777\" text-anchor=\"middle\">",
                       x + barWidth / 2) +
                   std::to_string(h.number) + "</text>";
    }
    svg += fmt("<text x=\"%.0f\" y=\"154\" font-size=\"10\" fill=\"#777\">hand</text>", left);
    svg += "</svg>";
    return svg;
}

struct Totals {
    int sessions = 0, ended = 0, hands = 0, actions = 0, goal = 0, passes = 0, limit = 0, several = 0;
    long long handMs = 0;
    int timedHands = 0;
    double ckScore = 0, nkScore = 0;
    int ckSessions = 0, nkSessions = 0;  // with that role's log
    double efficiency = 0;
    int efficiencyHands = 0;
    long long longestHandMs = 1000;  // the common scale of the time lines
};

// What the run record adds to the session's end: no record, the program
// stopped, the session it continues, its problems.
std::string recordNotesHtml(const Session& s) {
    std::string notes;
    for (const std::string& note : runRecordNotes(s)) notes += ", " + htmlEscape(note);
    return notes;
}

// The setup the session was played with: its short hash, and the working
// directory's name and the program's version below it.
std::string setupCell(const Session& s) {
    const RunRecord* r = s.pair.record.get();
    if (!r) return "<td class=\"note\">-</td>";
    std::string under = htmlEscape(r->workingDirectory);
    if (!r->version.empty()) under += (under.empty() ? "" : " · ") + std::string("QBXSolo ") + htmlEscape(r->version);
    return "<td class=\"setup\"><code title=\"" + htmlEscape(r->setupHash) + "\">" + htmlEscape(r->setupShort) +
           "</code><br><span class=\"note\">" + under + "</span></td>";
}

// The choice of the time lines' scale: labels for the two radio buttons at
// the top of the page.
const char* kScaleChoice =
    "<span class=\"scale-choice\">Time scale: <label for=\"scale-own\">each hand its own</label> "
    "<label for=\"scale-common\">one for all hands</label></span>";

}  // namespace

ReportCounts writeReport(const LogFolder& logs, const std::string& path, const std::vector<const GameSetup*>& setups,
                         const GameSetup* given, const std::string& title, std::ostream& messages) {
    const auto setupOf = [&](size_t k) { return k < setups.size() ? setups[k] : nullptr; };
    ReportCounts counts;
    OutputFile out(path);
    // First pass: the table of sessions and the summary.
    Totals t;
    std::string rows;
    {
        Progress progress("report", logs.pairs.size() * 2);
        for (size_t k = 0; k < logs.pairs.size(); ++k) {
            const LogPair& pair = logs.pairs[k];
            LinesLeftOut leftOut(&messages);
            const Session s = readSession(pair, setupOf(k), leftOut);
            counts.linesLeftOut += leftOut.count();
            if (s.dealsNotFromSetup) messages << dealsNotFromSetupWarning(s, *setupOf(k)) << "\n";
            ++t.sessions;
            t.ended += s.gameEnded;
            for (const Hand& h : s.hands) {
                if (!h.ended()) continue;
                ++t.hands;
                t.actions += h.actionsTaken();
                const std::string codes = h.endCodes();
                if (h.ends.size() > 1)
                    ++t.several;
                else if (codes == logtext::kGoalCode)
                    ++t.goal;
                else if (codes == logtext::kFourPassesCode)
                    ++t.passes;
                else
                    ++t.limit;
                if (h.dealMs >= 0 && h.endMs >= 0) {
                    t.handMs += h.endMs - h.dealMs;
                    ++t.timedHands;
                }
                t.longestHandMs = std::max(t.longestHandMs, spanOf(h).ms());
                if (const std::optional<double> efficiency = h.efficiency()) {
                    t.efficiency += *efficiency;
                    ++t.efficiencyHands;
                }
            }
            // A role whose log is missing has no score, and no part in the means.
            if (const std::optional<double> ck = s.ckTotal()) {
                t.ckScore += *ck;
                ++t.ckSessions;
            }
            if (const std::optional<double> nk = s.nkTotal()) {
                t.nkScore += *nk;
                ++t.nkSessions;
            }
            if (s.faults) ++counts.sessionsWithFaults;
            if (!pair.complete()) ++counts.unpaired;
            rows += "<tr><td><a href=\"#s" + htmlEscape(pair.name.suffix) + "\">" + htmlEscape(pair.name.suffix) +
                    "</a></td><td class=\"nowrap\">" + pair.name.isoDate() + "</td><td>" +
                    htmlEscape(asUtf8(s.participant)) + "</td><td class=\"nowrap\">" +
                    (s.hasStart ? clockText(s.start) : "-") + "</td><td class=\"num\">" +
                    std::to_string(s.handsPlayed()) + "</td><td class=\"num\">" + totalText(s.ckTotal()) +
                    "</td><td class=\"num\">" + totalText(s.nkTotal()) + "</td><td" +
                    (s.gameEnded && !s.partnerMissing() ? "" : " class=\"early\"") + ">" + htmlEscape(endingText(s)) +
                    (s.crossesMidnight ? ", across midnight" : "") + recordNotesHtml(s) + "</td>" + setupCell(s) +
                    "<td" + (s.faults ? " class=\"fault\"" : "") + ">" +
                    (s.faults ? std::to_string(s.faults) + " (run verify)" : "none") +
                    (pair.complete() ? "" : " · one log missing") + "</td></tr>\n";
            progress.step();
        }
    }
    std::string head = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>" + htmlEscape(title) +
                       "</title><style>" + kStyle + "</style></head><body>\n" +
                       "<input type=\"radio\" class=\"scale\" name=\"scale\" id=\"scale-own\" checked>"
                       "<input type=\"radio\" class=\"scale\" name=\"scale\" id=\"scale-common\"><main>\n";
    head += "<h1>" + htmlEscape(title) + "</h1><p class=\"sub\">" + counted(t.sessions, "session", "sessions") + ", " +
            counted(t.hands, "hand", "hands") + " played" +
            (given ? " · every session read with the setup " + htmlEscape(given->location.setupDir.string())
                   : std::string(" · each session read with its own saved setup")) +
            "</p>\n";
    auto card = [](const std::string& big, const std::string& label) {
        return "<div class=\"card\"><div class=\"big\">" + big + "</div><div class=\"label\">" + label + "</div></div>";
    };
    head += "<h2>Summary</h2><div class=\"cards\">";
    head += card(std::to_string(t.sessions), std::to_string(t.ended) + " to the game's end, " +
                                                 std::to_string(t.sessions - t.ended) + " ended early");
    head += card(std::to_string(t.hands), "hands played");
    head += card(t.hands ? fmt("%.1f", double(t.actions) / t.hands) : "-", "actions per hand (mean)");
    head += card(t.timedHands ? seconds(t.handMs / t.timedHands) : "-", "deal to end (mean)");
    head += card(std::to_string(t.goal) + " / " + std::to_string(t.passes) + " / " + std::to_string(t.limit) + " / " +
                     std::to_string(t.several),
                 "ended on the goal / four passes / move limit / several");
    head += card((t.ckSessions ? fmt("%.1f", t.ckScore / t.ckSessions) : std::string("-")) + " · " +
                     (t.nkSessions ? fmt("%.1f", t.nkScore / t.nkSessions) : std::string("-")),
                 "total score per session (mean): ColorKeeper · NumberKeeper");
    head += card(t.efficiencyHands ? fmt("%.0f%%", 100.0 * t.efficiency / t.efficiencyHands) : "-",
                 t.efficiencyHands ? "efficiency: fewest ÷ actions taken (mean)"
                                   : "efficiency: needs the sessions' setups (run records, or --setup)");
    head +=
        "</div>\n<h2>Sessions</h2><table><thead><tr><th>session</th><th>date</th><th>participant</th><th>start</th>"
        "<th>hands</th><th>ColorKeeper</th><th>NumberKeeper</th><th>end</th><th>setup</th><th>faults</th></tr>"
        "</thead><tbody>\n";
    out.write(head);
    out.write(rows);
    out.write("</tbody></table>\n");

    // Second pass: each session's hands, with their actions.
    for (size_t k = 0; k < logs.pairs.size(); ++k) {
        const LogPair& pair = logs.pairs[k];
        SessionSink quiet;
        const Session s = readSession(pair, setupOf(k), quiet, true);
        std::string section = "<section class=\"session\" id=\"s" + htmlEscape(pair.name.suffix) + "\"><h2>Session " +
                              htmlEscape(pair.name.suffix) + " · " + htmlEscape(asUtf8(s.participant)) + "</h2>";
        section += "<p class=\"sub\">" + pair.name.isoDate() + ", from " + (s.hasStart ? clockText(s.start) : "-") +
                   " · " + counted(s.handsPlayed(), "hand", "hands") + " · " + htmlEscape(endingText(s)) +
                   " · scores ColorKeeper " + (s.ckTotal() ? scoreText(*s.ckTotal()) : std::string("(log missing)")) +
                   ", NumberKeeper " + (s.nkTotal() ? scoreText(*s.nkTotal()) : std::string("(log missing)")) + "</p>";
        section += "<h3>Actions per hand</h3>" + actionsChart(s);
        bool anyFewest = false;
        for (const Hand& h : s.hands) anyFewest |= h.fewest.has_value();
        section += std::string("<p class=\"note\">Bars: moves and passes of both roles in the hand. ") +
                   (anyFewest ? "Black bars across them: the fewest the solver finds.</p>"
                    : s.dealsNotFromSetup
                        ? "The fewest actions possible are not drawn: this session's hands are not those of the "
                          "shoe of its setup.</p>"
                        : "The fewest actions possible are drawn when the session's setup is known (its run record's "
                          "saved setup, or --setup).</p>");
        section +=
            "<h3>Time lines</h3><div class=\"legend\">"
            "<span><svg width=\"14\" height=\"14\"><circle cx=\"7\" cy=\"7\" r=\"5.5\" fill=\"#555\"/></svg> "
            "move</span>"
            "<span><svg width=\"14\" height=\"14\"><rect x=\"2.5\" y=\"2.5\" width=\"9\" height=\"9\" fill=\"#fff\" "
            "stroke=\"#555\" stroke-width=\"2\"/></svg> pass</span>"
            "<span><svg width=\"14\" height=\"14\"><path d=\"M7 3 l4 7 h-8 z\" fill=\"#555\" opacity=\"0.55\"/></svg> "
            "pick-up</span>"
            "<span><svg width=\"14\" height=\"14\"><circle cx=\"7\" cy=\"7\" r=\"2.5\" fill=\"none\" stroke=\"#555\" "
            "stroke-width=\"1.5\"/></svg> look</span>"
            "<span style=\"color:var(--ck)\">■ ColorKeeper</span><span style=\"color:var(--nk)\">■ NumberKeeper</span>"
            "</div><div class=\"legend\"><span>Each line runs from the deal to the hand's end, marked with how the "
            "hand ended: <b>GE</b> the goal card reached the Target, <b>GP</b> four passes in a row, <b>GM</b> the "
            "move limit (MaxRounds); and each role's score.</span>" +
            std::string(kScaleChoice) + "</div>\n";
        for (const Hand& h : s.hands) {
            section += timeline(h, t.longestHandMs);
            ++counts.hands;
        }
        section += "</section>\n";
        out.write(section);
        ++counts.sessions;
    }
    out.write("<p class=\"note\">Made by qbxtool " + htmlEscape(versionText()) + ".</p></main></body></html>\n");
    out.commit();
    return counts;
}

}  // namespace qbx::tool::logs
