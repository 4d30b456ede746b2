#include "desktop/replay/HandExport.h"

#include <QBuffer>
#include <QDir>
#include <QPainter>

#include <algorithm>
#include <climits>
#include <cmath>
#include <string_view>
#include <vector>

#include "core/platform/System.h"

#include "desktop/replay/ApngWriter.h"
#include "desktop/replay/ReplayTable.h"
#include "desktop/widgets/Text.h"

namespace qbx::replayview {

namespace {

// How long a hand's end shows in its export before the export ends.
constexpr long long kEndShownMs = 2000;

QImage frameOf(replay::SessionReplay& replay, ReplayTable& table, bool withBanner) {
    table.follow(replay);
    QImage image = table.render();
    if (withBanner && !replay.banner().empty()) {
        QPainter p(&image);
        paintBanner(p, image.rect(), fromBytes(replay.banner()));
    }
    return image;
}

}  // namespace

bool playHand(replay::SessionReplay& replay, ReplayTable& table, int hand, double fps,
              const std::function<bool(const QImage&, int delayMs)>& frame, std::string& error) {
    const auto& actions = replay.actions();
    const size_t deal = replay.firstActionOfHand(hand);
    if (hand < 1 || deal >= actions.size()) {
        error = "no hand " + std::to_string(hand) + " in session " + replay.session() + " (it has " +
                std::to_string(replay.hands()) + ")";
        return false;
    }
    if (!(fps > 0 && fps <= 100)) {
        error = "frames per second must lie between 0 and 100";
        return false;
    }
    if (const std::string why = replay.handFault(hand); !why.empty()) {
        error =
            "hand " + std::to_string(hand) + " of session " + replay.session() + " cannot be played in time: " + why;
        return false;
    }
    const size_t nextDeal = replay.firstActionOfHand(hand + 1);
    const size_t last = (nextDeal < actions.size() ? nextDeal : actions.size()) - 1;
    // The hand's end shows until the next deal begins, or for a moment
    // after the last hand.
    const long long latest = actions[last].atMs + kEndShownMs;
    const double step = 1000.0 / fps;
    // The frame times lie on one grid from the start; between two changes
    // of the table none is drawn, so that the frames follow the hand's own
    // records, not the time they took.
    const auto firstAtOrAfter = [step](long long origin, long long ms) {
        return std::max(0LL, (long long)std::ceil(double(ms - origin) / step - 1e-9));
    };

    // From the moment its deal begins: the backs gliding out are part of
    // the hand. The hand before ended with the action before the deal (or
    // the game started).
    const long long from = deal > 0 ? actions[deal - 1].atMs : 0;
    replay.jumpToAction(deal > 0 ? deal - 1 : 0);
    // A deal's steps are counted from 1; the count stays at the last step
    // until the next deal begins.
    const int stepBefore = replay.game().progress().dealStep;
    long long start = from;
    for (long long k = 0;;) {
        const long long t = from + (long long)std::llround(double(k) * step);
        if (t >= actions[deal].atMs) break;
        start = t;
        replay.playTo(start);
        if (replay.game().progress().dealStep != stepBefore) break;
        k = std::max(k + 1, firstAtOrAfter(from, replay.nextChangeMs()));
    }

    int stepAtEnd = -1;
    for (long long k = 0;;) {
        const long long t = start + (long long)std::llround(double(k) * step);
        if (t > latest) break;
        replay.playTo(t);
        if (replay.actionsApplied() > last) {
            if (stepAtEnd < 0) stepAtEnd = replay.game().progress().dealStep;
            if (replay.game().progress().dealStep != stepAtEnd) break;  // the next deal began
        }
        const long long nextK = std::max(k + 1, firstAtOrAfter(start, std::min(replay.nextChangeMs(), latest)));
        const long long next = start + (long long)std::llround(double(nextK) * step);
        k = nextK;
        // The hand before's end message is not this hand's.
        const bool ownBanner = replay.actionsApplied() > deal;
        const QImage image = frameOf(replay, table, ownBanner);
        if (image.isNull()) {
            error = "a frame of the table could not be drawn";
            return false;
        }
        if (!frame(image, int(std::min<long long>(next - t, INT_MAX)))) return false;
    }
    return true;
}

bool exportHandApng(replay::SessionReplay& replay, ReplayTable& table, int hand, double fps, const std::string& path,
                    std::string& error, int* framesWritten) {
    ApngWriter writer;
    bool encoded = true;
    const bool played = playHand(
        replay, table, hand, fps,
        [&](const QImage& image, int delayMs) {
            encoded = writer.addFrame(image, delayMs);
            return encoded;
        },
        error);
    if (!encoded) error = "a frame could not be encoded as PNG";
    if (!played || !encoded) return false;
    if (framesWritten) *framesWritten = writer.frames();
    return writer.write(path, error);
}

namespace {

QString frameName(const QString& dir, int n) {
    return QDir(dir).filePath(QStringLiteral("frame%1.png").arg(n, 5, 10, QLatin1Char('0')));
}

bool isFrameName(const std::string& name) {
    if (name.size() != 14 || name.compare(0, 5, "frame") != 0 || name.compare(10, 4, ".png") != 0) return false;
    return std::all_of(name.begin() + 5, name.begin() + 10, [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::string framesRefusal(const std::string& folder, const output::Inputs& inputs, bool force) {
    if (std::string why = output::folderRefusal(folder, inputs); !why.empty()) return why;
    std::vector<std::string> names;
    std::string error;
    if (!sys::isDirectory(folder) || !sys::listFolder(folder, names, error)) return "";
    std::sort(names.begin(), names.end());
    for (const std::string& name : names)
        if (isFrameName(name))
            if (std::string why = output::refusal({{"--frames", folder + "/" + name}}, inputs, force); !why.empty())
                return why;
    return "";
}

bool exportHandFrames(replay::SessionReplay& replay, ReplayTable& table, int hand, double fps,
                      const std::string& folder, const output::Inputs& inputs, bool force, std::string& error,
                      int* framesWritten) {
    error = framesRefusal(folder, inputs, force);
    if (!error.empty()) return false;
    const QString dir = QString::fromStdString(folder);
    if (!QDir().mkpath(dir)) {
        error = folder + ": cannot be made";
        return false;
    }
    int n = 0;
    const bool played = playHand(
        replay, table, hand, fps,
        [&](const QImage& image, int delayMs) {
            QByteArray png;
            QBuffer buffer(&png);
            if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) {
                error = toBytes(frameName(dir, n + 1)) + ": a frame could not be encoded as PNG";
                return false;
            }
            // Frames go to a video at a steady rate: a picture that shows
            // longer is written again, drawn once.
            const long long times = std::max(1LL, std::llround(double(delayMs) * fps / 1000.0));
            for (long long k = 0; k < times; ++k) {
                const std::string name = toBytes(frameName(dir, ++n));
                error = output::refusal({{"--frames", name}}, inputs, force);
                if (!error.empty()) return false;
                if (!output::writeWhole(name, std::string_view(png.constData(), size_t(png.size())), error))
                    return false;
            }
            return true;
        },
        error);
    if (framesWritten) *framesWritten = n;
    return played && error.empty();
}

}  // namespace qbx::replayview
