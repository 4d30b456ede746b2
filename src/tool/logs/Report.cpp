#include "tool/logs/Report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "core/eventlog/LogFormat.h"
#include "tool/Tool.h"
#include "tool/logs/Progress.h"
#include "tool/logs/Session.h"
#include "tool/logs/Verify.h"

namespace qbx::tool::logs {

namespace {

const char* kStyle = R"(
:root { --ck: #c0392b; --nk: #1f5fa8; --ink: #222; --muted: #777; --rule: #ddd; }
* { box-sizing: border-box; }
body { font-family: "DejaVu Sans", "Liberation Sans", Arial, sans-serif; color: var(--ink); margin: 24px 32px;
       background: #fafafa; font-size: 14px; }
h1 { font-size: 24px; margin: 0 0 4px; }
h2 { font-size: 18px; margin: 32px 0 8px; border-bottom: 2px solid var(--rule); padding-bottom: 4px; }
h3 { font-size: 15px; margin: 18px 0 6px; }
.sub { color: var(--muted); margin: 0 0 18px; }
table { border-collapse: collapse; background: #fff; }
th, td { padding: 4px 10px; border-bottom: 1px solid var(--rule); text-align: left; white-space: nowrap; }
th { background: #f0f0f0; font-weight: 600; }
td.num { text-align: right; font-variant-numeric: tabular-nums; }
.early { color: #a15c00; font-weight: 600; }
.fault { color: #b00020; font-weight: 600; }
.cards { display: flex; flex-wrap: wrap; gap: 12px; margin: 8px 0 16px; }
.card { background: #fff; border: 1px solid var(--rule); border-radius: 6px; padding: 10px 16px; min-width: 150px; }
.card .big { font-size: 22px; font-weight: 600; }
.card .label { color: var(--muted); font-size: 12px; }
section.session { background: #fff; border: 1px solid var(--rule); border-radius: 6px; padding: 4px 18px 14px;
                  margin: 18px 0; }
figure.hand-timeline { margin: 6px 0; display: flex; align-items: center; gap: 12px; }
figure.hand-timeline figcaption { width: 190px; font-size: 12px; line-height: 1.35; }
figure.hand-timeline figcaption b { font-size: 13px; }
.legend { display: flex; gap: 18px; align-items: center; color: var(--muted); font-size: 12px; margin: 6px 0 10px; }
.legend svg { vertical-align: middle; }
svg text { font-family: "DejaVu Sans", "Liberation Sans", Arial, sans-serif; }
.note { color: var(--muted); font-size: 12px; }
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
    }
    return text;
}

const char* kindTitle(ActionKind k) {
    return k == ActionKind::Move     ? "move"
           : k == ActionKind::Pass   ? "pass"
           : k == ActionKind::PickUp ? "pick-up"
                                     : "look";
}

std::string timeline(const Hand& h, const Session& s) {
    const double left = 44, width = 700, right = left + width;
    const long long from = h.dealMs >= 0 ? h.dealMs : 0;
    long long to = h.endMs >= 0 ? h.endMs : (h.actions.empty() ? from + 1000 : h.actions.back().atMs);
    if (to <= from) to = from + 1000;
    const double span = double(to - from);
    auto xOf = [&](long long ms) { return left + width * double(ms - from) / span; };
    std::string svg;
    svg += "<figure class=\"hand-timeline\" data-hand=\"" + std::to_string(h.number) + "\"><figcaption><b>Hand " +
           std::to_string(h.number) + "</b>";
    if (!h.opener.empty()) svg += " · " + h.opener + " opens";
    if (!h.goal.empty()) svg += " · goal " + h.goal;
    svg += "<br>" + std::to_string(h.actionsTaken()) + (h.actionsTaken() == 1 ? " action in " : " actions in ") +
           seconds(to - from);
    if (h.fewest) svg += " · fewest " + std::to_string(*h.fewest);
    svg += "<br>";
    if (h.ended())
        svg += h.endCodes() + " · score " +
               htmlEscape(h.ends.front().ckScore.empty() ? h.ends.front().nkScore : h.ends.front().ckScore);
    else
        svg += "<span class=\"early\">not ended</span>";
    svg += "</figcaption>";
    svg += "<svg width=\"820\" height=\"66\" viewBox=\"0 0 820 66\" role=\"img\" aria-label=\"hand " +
           std::to_string(h.number) + "\">";
    svg += "<text x=\"0\" y=\"21\" font-size=\"11\" fill=\"var(--ck)\">ck</text>";
    svg += "<text x=\"0\" y=\"43\" font-size=\"11\" fill=\"var(--nk)\">nk</text>";
    for (double y : {17.0, 39.0})
        svg += fmt("<line x1=\"44\" x2=\"744\" y1=\"%.0f\" y2=\"%.0f\" stroke=\"#e6e6e6\"/>", y, y);
    // Axis with ticks at round seconds.
    svg += "<line x1=\"44\" x2=\"744\" y1=\"54\" y2=\"54\" stroke=\"#999\"/>";
    const double total = span / 1000.0;
    double step = 1;
    for (double candidate : {1.0, 2.0, 5.0, 10.0, 15.0, 30.0, 60.0, 120.0, 300.0, 600.0})
        if (total / candidate <= 10) {
            step = candidate;
            break;
        } else {
            step = candidate;
        }
    for (double t = 0; t <= total + 1e-9; t += step) {
        const double x = left + width * t * 1000.0 / span;
        char tick[200];
        std::snprintf(tick, sizeof tick,
                      "<line x1=\"%.1f\" x2=\"%.1f\" y1=\"54\" y2=\"58\" stroke=\"#999\"/><text x=\"%.1f\" y=\"65\" "
                      "font-size=\"9\" fill=\"#777\" text-anchor=\"middle\">%gs</text>",
                      x, x, x, t);
        svg += tick;
    }
    for (const HandAction& a : h.actions) {
        const double x = std::clamp(xOf(a.atMs), left, right);
        svg += "<g><title>" + std::string(a.colorKeeper ? "ColorKeeper " : "NumberKeeper ") + kindTitle(a.kind) +
               " at " + seconds(a.atMs - from) + "</title>" + mark(a, x) + "</g>";
    }
    if (h.ended()) {
        svg +=
            fmt("<line x1=\"%.1f\" x2=\"%.1f\" y1=\"4\" y2=\"54\" stroke=\"#333\" stroke-width=\"2\"/>", right, right);
        char end[300];
        std::snprintf(
            end, sizeof end,
            "<text x=\"%.1f\" y=\"24\" font-size=\"11\" fill=\"#333\">%s</text>"
            "<text x=\"%.1f\" y=\"38\" font-size=\"11\" fill=\"#333\">%s</text>",
            right + 6, htmlEscape(h.endCodes()).c_str(), right + 6,
            htmlEscape(h.ends.front().ckScore.empty() ? h.ends.front().nkScore : h.ends.front().ckScore).c_str());
        svg += end;
    }
    (void)s;
    svg += "</svg></figure>\n";
    return svg;
}

// Bars of actions per hand, with the solver's fewest as a dark tick.
std::string actionsChart(const Session& s) {
    if (s.hands.empty()) return {};
    int most = 1;
    for (const Hand& h : s.hands) most = std::max({most, h.actionsTaken(), h.fewest.value_or(0)});
    const double barWidth = std::clamp(640.0 / double(s.hands.size()), 6.0, 36.0);
    const double height = 110, base = 124;
    const double width = 50 + barWidth * double(s.hands.size()) + 20;
    std::string svg = "<svg class=\"actions-chart\" width=\"" + fmt("%.0f", width) +
                      "\" height=\"150\" role=\"img\" aria-label=\"actions per hand\">";
    svg += fmt("<text x=\"0\" y=\"14\" font-size=\"10\" fill=\"#777\">%d</text>", most);
    svg += "<text x=\"0\" y=\"124\" font-size=\"10\" fill=\"#777\">0</text>";
    svg += "<line x1=\"30\" x2=\"" + fmt("%.0f", width - 10) + "\" y1=\"124\" y2=\"124\" stroke=\"#999\"/>";
    for (size_t i = 0; i < s.hands.size(); ++i) {
        const Hand& h = s.hands[i];
        const double x = 40 + barWidth * double(i);
        const double barHeight = height * h.actionsTaken() / most;
        char bar[400];
        std::snprintf(
            bar, sizeof bar,
            "<g><title>hand %d: %d actions%s</title><rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" "
            "fill=\"#8fb3d9\"/>",
            h.number, h.actionsTaken(), h.fewest ? (", fewest " + std::to_string(*h.fewest)).c_str() : "", x + 1,
            base - barHeight, barWidth - 2, barHeight);
        svg += bar;
        if (h.fewest) {
            const double y = base - height * *h.fewest / most;
            svg += fmt("<line x1=\"%.1f\" ", x) + fmt("x2=\"%.1f\" ", x + barWidth) + fmt("y1=\"%.1f\" ", y) +
                   fmt("y2=\"%.1f\" stroke=\"#111\" stroke-width=\"3\"/>", y);
        }
        svg += "</g>";
        if (s.hands.size() <= 40 || h.number % 5 == 0)
            svg += fmt("<text x=\"%.1f\" y=\"138\" font-size=\"9\" fill=\"#777\" text-anchor=\"middle\">",
                       x + barWidth / 2) +
                   std::to_string(h.number) + "</text>";
    }
    svg += "</svg>";
    return svg;
}

struct Totals {
    int sessions = 0, ended = 0, hands = 0, actions = 0, goal = 0, passes = 0, limit = 0, several = 0;
    long long handMs = 0;
    int timedHands = 0;
    double ckScore = 0, nkScore = 0;
    double efficiency = 0;
    int efficiencyHands = 0;
};

}  // namespace

std::string htmlEscape(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

ReportCounts writeReport(const LogFolder& logs, const std::string& path, const GameSetup* setup,
                         const std::string& title) {
    ReportCounts counts;
    OutputFile out(path);
    // First pass: the table of sessions and the summary.
    Totals t;
    std::string rows;
    {
        Progress progress("report", logs.pairs.size() * 2);
        for (const LogPair& pair : logs.pairs) {
            WarningsKept warnings;
            const Session s = readSession(pair, setup, warnings);
            counts.warnings.insert(counts.warnings.end(), warnings.lines.begin(), warnings.lines.end());
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
                if (h.fewest && h.actionsTaken() > 0) {
                    t.efficiency += double(*h.fewest) / h.actionsTaken();
                    ++t.efficiencyHands;
                }
            }
            t.ckScore += s.ckTotal();
            t.nkScore += s.nkTotal();
            if (s.faults) ++counts.sessionsWithFaults;
            if (!pair.complete()) ++counts.unpaired;
            rows += "<tr><td><a href=\"#s" + htmlEscape(pair.name.suffix) + "\">" + htmlEscape(pair.name.suffix) +
                    "</a></td><td>" + pair.name.isoDate() + "</td><td>" + htmlEscape(toUtf8(s.participant)) +
                    "</td><td>" + (s.hasStart ? clockText(s.start) : "-") + "</td><td class=\"num\">" +
                    std::to_string(s.handsPlayed()) + "</td><td class=\"num\">" + scoreText(s.ckTotal()) +
                    "</td><td class=\"num\">" + scoreText(s.nkTotal()) + "</td><td" +
                    (s.gameEnded ? "" : " class=\"early\"") + ">" + htmlEscape(endingText(s)) +
                    (s.crossesMidnight ? ", across midnight" : "") + "</td><td" + (s.faults ? " class=\"fault\"" : "") +
                    ">" + (s.faults ? std::to_string(s.faults) + " (run verify)" : "none") +
                    (pair.complete() ? "" : " · one log missing") + "</td></tr>\n";
            progress.step();
        }
    }
    std::string head = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>" + htmlEscape(title) +
                       "</title><style>" + kStyle + "</style></head><body>\n";
    head += "<h1>" + htmlEscape(title) + "</h1><p class=\"sub\">" + counted(t.sessions, "session", "sessions") + ", " +
            counted(t.hands, "hand", "hands") + " played" +
            (setup ? " · setup " + htmlEscape(setup->location.setupDir.string()) : std::string(" · no setup given")) +
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
    head += card(t.sessions ? fmt("%.1f", t.ckScore / t.sessions) + " · " + fmt("%.1f", t.nkScore / t.sessions) : "-",
                 "total score per session (mean): ColorKeeper · NumberKeeper");
    head += card(t.efficiencyHands ? fmt("%.0f%%", 100.0 * t.efficiency / t.efficiencyHands) : "-",
                 t.efficiencyHands ? "efficiency: fewest ÷ actions taken (mean)" : "efficiency: needs --setup");
    head +=
        "</div>\n<h2>Sessions</h2><table><thead><tr><th>session</th><th>date</th><th>participant</th><th>start</th>"
        "<th>hands</th><th>ColorKeeper</th><th>NumberKeeper</th><th>end</th><th>faults</th></tr></thead><tbody>\n";
    out.write(head);
    out.write(rows);
    out.write("</tbody></table>\n");

    // Second pass: each session's hands, with their actions.
    for (const LogPair& pair : logs.pairs) {
        SessionSink quiet;
        const Session s = readSession(pair, setup, quiet, true);
        std::string section = "<section class=\"session\" id=\"s" + htmlEscape(pair.name.suffix) + "\"><h2>Session " +
                              htmlEscape(pair.name.suffix) + " · " + htmlEscape(toUtf8(s.participant)) + "</h2>";
        section += "<p class=\"sub\">" + pair.name.isoDate() + ", from " + (s.hasStart ? clockText(s.start) : "-") +
                   " · " + counted(s.handsPlayed(), "hand", "hands") + " · " + htmlEscape(endingText(s)) +
                   " · scores ColorKeeper " + scoreText(s.ckTotal()) + ", NumberKeeper " + scoreText(s.nkTotal()) +
                   "</p>";
        section += "<h3>Actions per hand</h3>" + actionsChart(s);
        bool anyFewest = false;
        for (const Hand& h : s.hands) anyFewest |= h.fewest.has_value();
        section += std::string("<p class=\"note\">Bars: moves and passes of both roles in the hand. ") +
                   (anyFewest ? "Black ticks: the fewest the solver finds.</p>"
                              : "The fewest actions possible are drawn when the report is made with --setup.</p>");
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
            "<span>each line runs from the deal to the hand's end</span></div>\n";
        for (const Hand& h : s.hands) {
            section += timeline(h, s);
            ++counts.hands;
        }
        section += "</section>\n";
        out.write(section);
        ++counts.sessions;
    }
    out.write("<p class=\"note\">Made by qbxtool " + htmlEscape(versionText()) + ".</p></body></html>\n");
    out.commit();
    return counts;
}

}  // namespace qbx::tool::logs
