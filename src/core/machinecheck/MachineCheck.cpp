// The machine check's limits and judgement, its one line per figure, and the
// durable records it times in the lab's folder.

#include "core/machinecheck/MachineCheck.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "core/game/Game.h"
#include "core/game/Table.h"
#include "core/machinecheck/Numbers.h"
#include "core/platform/System.h"

namespace qbx::machinecheck {

Limits limitsForThisSystem() {
    Limits l;
#ifdef _WIN32
    // Under Windows an input passes the system's message queue before the
    // toolkit sees it. Measured under Wine beside the Linux build
    // (bench/results.md, "Time stamps under Wine"): a median of 0.33 ms and a
    // largest of 19 ms on an idle machine, 27 ms with the other core busy.
    // The median holds the bulk of the stamps; the 99th percentile lets the
    // odd late delivery pass that a loaded queue makes, not a slow machine.
    l.stampMedianMs = 6;
    l.stampMaxMs = 0;
    l.stampP99Ms = 20;
#else
    // Linux: a median of 0.48 ms and a largest of 2.09 ms measured on an idle
    // machine (bench/results.md); a stamp has millisecond resolution, so 1 ms
    // is one tick of it and 3 ms the most that any one input may lose.
    l.stampMedianMs = 1;
    l.stampMaxMs = 3;
    l.stampP99Ms = 0;
#endif
    // The deal's timer: a step late by 5 ms on the median is a clock or a
    // machine that keeps the timer from its time; one step in a hundred may
    // come up to 50 ms late (about three glide ticks), which delays that
    // card's glide but leaves the deal right. Later than that the deal
    // visibly stalls.
    l.dealStepMs = Game::kDealStepMs;
    l.dealStepToleranceMs = 5;
    l.dealStepP99Ms = Game::kDealStepMs + 50;
    // A record is made durable before the program takes the next input: a
    // flush longer than a glide tick (15 ms) holds up the next stamp and the
    // glides. Local disks flush in 0.2 to 8 ms (bench/results.md); 5 ms on
    // the median leaves room for a busy disk, 15 ms at the 99th percentile is
    // one glide tick.
    l.durableMedianMs = 5;
    l.durableP99Ms = Game::kGlideMs;
    l.tableWidth = kTableWidth;
    l.tableHeight = kTableHeight;
    // The table holds itself in front at once; 2 s is a window manager that
    // gave it back only after a fight, which a participant sees.
    l.frontBackMs = 2000;
    // The bench measures 61 ms; a participant who waits more than a few
    // seconds for the login window starts the program a second time.
    l.startToLoginMs = 3000;
    return l;
}

Summary summarise(std::vector<double> samples) {
    samples.erase(std::remove_if(samples.begin(), samples.end(), [](double x) { return !std::isfinite(x); }),
                  samples.end());
    Summary s;
    s.count = samples.size();
    if (samples.empty()) return s;
    std::sort(samples.begin(), samples.end());
    // Nearest rank: the smallest sample with at least p percent at or below it.
    const auto rank = [&](double p) {
        const auto r = static_cast<size_t>(std::ceil(p / 100.0 * static_cast<double>(samples.size())));
        return samples[std::clamp<size_t>(r, 1, samples.size()) - 1];
    };
    s.median = rank(50);
    s.p99 = rank(99);
    s.max = samples.back();
    return s;
}

const char* verdictName(Verdict verdict) {
    switch (verdict) {
    case Verdict::Fit: return "fit";
    case Verdict::NotFit: return "not fit";
    case Verdict::NotMeasured: return "not measured";
    }
    return "not measured";
}

namespace {

std::string ms(double x) { return fixedText(x) + " ms"; }
std::string limitMs(double x) { return shortText(x) + " ms"; }

std::string spread(const Summary& s, bool withP99 = true) {
    std::string text = "median " + ms(s.median);
    if (withP99) text += ", p99 " + ms(s.p99);
    return text + ", max " + ms(s.max) + " (n = " + std::to_string(s.count) + ")";
}

// Reasons joined into one sentence part: "a; b".
void addReason(std::string& reasons, const std::string& reason) {
    if (!reasons.empty()) reasons += "; ";
    reasons += reason;
}

Figure named(const char* key, const char* title) {
    Figure f;
    f.key = key;
    f.title = title;
    return f;
}

Figure notMeasured(Figure f, const std::string& reason, const std::string& fallback) {
    f.verdict = Verdict::NotMeasured;
    f.reason = reason.empty() ? fallback : reason;
    return f;
}

void settle(Figure& f) { f.verdict = f.reason.empty() ? Verdict::Fit : Verdict::NotFit; }

Figure stampFigure(const Measurements& m, const Limits& l) {
    Figure f = named("stamp", "Input to its time stamp");
    f.limit = "median ≤ " + limitMs(l.stampMedianMs);
    if (l.stampP99Ms > 0) f.limit += ", p99 ≤ " + limitMs(l.stampP99Ms);
    if (l.stampMaxMs > 0) f.limit += ", max ≤ " + limitMs(l.stampMaxMs);
    const Summary s = summarise(m.stampMs);
    if (s.count == 0) return notMeasured(f, m.stampUnmeasured, "no input was stamped");
    f.value = spread(s);
    if (s.median > l.stampMedianMs) addReason(f.reason, "the median is over " + limitMs(l.stampMedianMs));
    if (l.stampP99Ms > 0 && s.p99 > l.stampP99Ms) addReason(f.reason, "the p99 is over " + limitMs(l.stampP99Ms));
    if (l.stampMaxMs > 0 && s.max > l.stampMaxMs) addReason(f.reason, "the largest is over " + limitMs(l.stampMaxMs));
    settle(f);
    return f;
}

Figure glideFigure(const Measurements& m) {
    Figure f = named("glide", "Deal glides within their step");
    f.limit = "every deal glide ends within its deal step";
    if (m.dealGlides.empty()) return notMeasured(f, m.glideUnmeasured, "no deal glide was seen");
    size_t late = 0, neverPlaced = 0;
    double longest = 0, worstOver = 0, leastMargin = INFINITY;
    for (const DealGlide& g : m.dealGlides) {
        if (g.lastingMs < 0) {
            ++neverPlaced;
            continue;
        }
        longest = std::max(longest, g.lastingMs);
        const double margin = g.stepMs - g.lastingMs;
        leastMargin = std::min(leastMargin, margin);
        if (margin < 0) {
            ++late;
            worstOver = std::max(worstOver, -margin);
        }
    }
    const std::string n = std::to_string(m.dealGlides.size());
    f.value = n + " deal glides, the longest " + ms(longest);
    if (std::isfinite(leastMargin) && leastMargin >= 0)
        f.value += ", the least room left in its step " + ms(leastMargin);
    const Summary ticks = summarise(m.glideTickMs);
    if (ticks.count > 0) f.value += "; glide ticks " + spread(ticks);
    if (late > 0)
        addReason(f.reason, std::to_string(late) + " of " + n + " outlasted their step, the worst by " + ms(worstOver));
    if (neverPlaced > 0) addReason(f.reason, std::to_string(neverPlaced) + " of " + n + " never placed their card");
    settle(f);
    return f;
}

Figure dealStepFigure(const Measurements& m, const Limits& l) {
    Figure f = named("dealStep", "Deal step spacing");
    f.limit = "median " + shortText(l.dealStepMs) + " ± " + limitMs(l.dealStepToleranceMs);
    if (l.dealStepP99Ms > 0) f.limit += ", p99 ≤ " + limitMs(l.dealStepP99Ms);
    const Summary s = summarise(m.dealStepMs);
    if (s.count == 0) return notMeasured(f, m.glideUnmeasured, "no deal step was seen");
    f.value = spread(s);
    if (std::abs(s.median - l.dealStepMs) > l.dealStepToleranceMs)
        addReason(f.reason,
                  "the median is off " + limitMs(l.dealStepMs) + " by more than " + limitMs(l.dealStepToleranceMs));
    if (l.dealStepP99Ms > 0 && s.p99 > l.dealStepP99Ms)
        addReason(f.reason, "the p99 is over " + limitMs(l.dealStepP99Ms));
    settle(f);
    return f;
}

Figure durableFigure(const Measurements& m, const Limits& l) {
    Figure f = named("durable", "Durable log record (append + flush)");
    f.limit = "median ≤ " + limitMs(l.durableMedianMs) + ", p99 ≤ " + limitMs(l.durableP99Ms);
    const Summary s = summarise(m.durableMs);
    if (s.count == 0) return notMeasured(f, m.durableUnmeasured, "no record was made durable");
    f.value = spread(s);
    if (!m.disk.fileSystem.empty()) f.value += " on " + m.disk.fileSystem;
    if (m.disk.networkShare) f.value += ", a network share";
    if (s.median > l.durableMedianMs) addReason(f.reason, "the median is over " + limitMs(l.durableMedianMs));
    if (s.p99 > l.durableP99Ms) addReason(f.reason, "the p99 is over " + limitMs(l.durableP99Ms));
    settle(f);
    return f;
}

Figure screenFigure(const Measurements& m, const Limits& l) {
    Figure f = named("screen", "Screen size");
    f.limit = "at least " + std::to_string(l.tableWidth) + " × " + std::to_string(l.tableHeight) + ", the table's size";
    if (m.screenWidth <= 0 || m.screenHeight <= 0) return notMeasured(f, {}, "the desktop gave no screen size");
    f.value = std::to_string(m.screenWidth) + " × " + std::to_string(m.screenHeight) +
              " device-independent pixels, scaling " + shortText(m.devicePixelRatio);
    if (m.screenWidth < l.tableWidth || m.screenHeight < l.tableHeight)
        f.reason = "the screen is smaller than the table, which would not show whole";
    settle(f);
    return f;
}

Figure frontFigure(const Measurements& m, const Limits& l) {
    Figure f = named("front", "Table kept in front");
    f.limit = "every attempt tried: back within " + limitMs(l.frontBackMs);
    if (m.front.empty()) return notMeasured(f, m.frontUnmeasured, "no attempt was made to take the table away");
    std::string notOffered;
    size_t tried = 0;
    double slowest = 0;
    for (const FrontAttempt& a : m.front) {
        if (!a.tried) {
            if (!notOffered.empty()) notOffered += ", ";
            notOffered += a.what + (a.reason.empty() ? "" : " (" + a.reason + ")");
            continue;
        }
        ++tried;
        // A return whose moment was not taken came back all the same.
        if (!a.cameBack)
            addReason(f.reason,
                      a.what + ": the table did not come back" + (a.reason.empty() ? "" : " (" + a.reason + ")"));
        else if (a.backAfterMs > l.frontBackMs)
            addReason(f.reason, a.what + ": back only after " + ms(a.backAfterMs));
        else
            slowest = std::max(slowest, a.backAfterMs);
    }
    if (tried == 0) return notMeasured(f, {}, "this desktop offers none of the attempts: " + notOffered);
    f.value = std::to_string(tried) + (tried == 1 ? " attempt" : " attempts") + " tried";
    if (f.reason.empty()) f.value += ", all back, the slowest after " + ms(slowest);
    if (!notOffered.empty()) f.value += "; not offered by this desktop: " + notOffered;
    settle(f);
    return f;
}

Figure startFigure(const Measurements& m, const Limits& l) {
    Figure f = named("start", "Start to the login window");
    f.limit = "≤ " + limitMs(l.startToLoginMs);
    if (!(m.startToLoginMs >= 0)) return notMeasured(f, m.startUnmeasured, "the login window was not seen");
    f.value = ms(m.startToLoginMs);
    if (m.startToLoginMs > l.startToLoginMs) f.reason = "the login window came late";
    settle(f);
    return f;
}

// The text as a console shows it safely: the limits' signs in ASCII.
std::string asciiSigns(std::string text) {
    static const std::pair<const char*, const char*> kSigns[] = {{"≤", "<="}, {"±", "+/-"}, {"×", "x"}};
    for (const auto& [sign, ascii] : kSigns)
        for (size_t at = text.find(sign); at != std::string::npos; at = text.find(sign, at))
            text.replace(at, std::char_traits<char>::length(sign), ascii);
    return text;
}

std::string titlesOf(const Report& report, Verdict verdict) {
    std::string titles;
    for (const Figure& f : report.figures)
        if (f.verdict == verdict) titles += (titles.empty() ? "" : ", ") + f.title;
    return titles;
}

}  // namespace

Report judge(const Measurements& m, const Limits& limits) {
    Report r;
    r.figures = {stampFigure(m, limits),  glideFigure(m),         dealStepFigure(m, limits), durableFigure(m, limits),
                 screenFigure(m, limits), frontFigure(m, limits), startFigure(m, limits)};
    const auto any = [&](Verdict v) {
        return std::any_of(r.figures.begin(), r.figures.end(), [&](const Figure& f) { return f.verdict == v; });
    };
    r.overall = any(Verdict::NotFit)        ? Verdict::NotFit
                : any(Verdict::NotMeasured) ? Verdict::NotMeasured
                                            : Verdict::Fit;
    return r;
}

int exitStatus(const Report& report) { return report.overall == Verdict::Fit ? 0 : 1; }

std::string overallSentence(const Report& report) {
    switch (report.overall) {
    case Verdict::Fit: return "This machine is fit for sessions.";
    case Verdict::NotFit: return "This machine is not fit for sessions: " + titlesOf(report, Verdict::NotFit) + ".";
    case Verdict::NotMeasured:
        return "This machine could not be shown fit for sessions: " + titlesOf(report, Verdict::NotMeasured) +
               " could not be measured.";
    }
    return {};
}

std::string reportText(const Report& report) {
    std::string out;
    for (const Figure& f : report.figures) {
        std::string line = verdictName(f.verdict);
        line.resize(15, ' ');
        line += f.title + ": ";
        line += f.value.empty() ? "-" : f.value;
        line += "; limit " + f.limit;
        if (!f.reason.empty()) line += " - " + f.reason;
        out += asciiSigns(line) + "\n";
    }
    return out + overallSentence(report) + "\n";
}

std::vector<double> measureDurableRecords(const std::string& folder, int count, DiskInfo& disk, std::string& error) {
    std::vector<double> samples;
    error.clear();
    disk = DiskInfo();
    disk.folder = folder;
    const sys::Entry entry = sys::entryThrough(folder);
    if (entry.kind == sys::EntryKind::Missing) {
        error = "the folder " + folder + " does not exist";
        return samples;
    }
    if (entry.kind != sys::EntryKind::Directory) {
        error = folder + " is not a folder";
        return samples;
    }
    const sys::FileSystemKind kind = sys::fileSystemOf(folder);
    disk.fileSystem = kind.name;
    disk.networkShare = kind.network;

    const bool separated = !folder.empty() && (folder.back() == '/' || folder.back() == '\\');
    const std::string stem = folder + (separated ? "" : "/") + ".qbx-machine-check-" + std::to_string(sys::processId());
    sys::AppendFile file;
    std::string path, reason;
    // A name taken (another check, a file left by one killed) is left alone.
    for (int attempt = 0; attempt < 100 && !file.isOpen(); ++attempt) {
        path = stem + (attempt ? "-" + std::to_string(attempt) : "") + ".tmp";
        const sys::AppendFile::Create made = file.createNew(path, reason);
        if (made == sys::AppendFile::Create::Failed) {
            error = "cannot write in the folder " + folder + ": " + reason;
            return samples;
        }
    }
    if (!file.isOpen()) {
        error = "cannot write in the folder " + folder + ": every name for the check's file is taken";
        return samples;
    }
    // About the size of an event log's record, with its line end.
    const std::string record = "40000.000: machine check, a record a log line's size #";
    samples.reserve(static_cast<size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i) {
        const std::string line = record + std::to_string(i) + "\r\n";
        const auto start = std::chrono::steady_clock::now();
        const bool done = file.append(line.data(), line.size(), reason) && file.sync(reason);
        const auto end = std::chrono::steady_clock::now();
        if (!done) {
            error = "a record could not be made durable in " + folder + ": " + reason;
            break;
        }
        samples.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    file.close();
    if (std::remove(path.c_str()) != 0 && error.empty()) error = "the check's file " + path + " could not be removed";
    return samples;
}

}  // namespace qbx::machinecheck
