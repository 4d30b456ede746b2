#pragma once
// A table set up in a fresh working directory and played headless: the
// parameters and shoe lines a test chooses, the two logs read back as lines.

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "support/FakeDesktop.h"

namespace qbx {
inline void PrintTo(const Rgb& c, std::ostream* os) {
    *os << "rgb(" << int(c.r) << "," << int(c.g) << "," << int(c.b) << ")";
}
}  // namespace qbx

namespace qbx::test {

using Params = std::vector<std::pair<std::string, std::string>>;

class TablePlay : public ::testing::Test {
protected:
    WorkDir dir;
    Session s;
    size_t ckMark = 0, nkMark = 0;

    // Writes the setup and opens the table at 10:00:00.000; does not deal.
    void open(const std::vector<std::string>& hands, const Params& params = {},
              const std::string& header = "header line") {
        dir.write("setup/QBXParameter.ini", parameterFile(params));
        dir.write("setup/messages.ini", englishCatalogue());
        std::string shoe = header + "\r\n";
        for (const std::string& h : hands) shoe += h + "\r\n";
        dir.write("setup/shoe.txt", shoe);
        s.clock.set("10:00:00.000");
        s.game.startGame("P1   ");
        ASSERT_TRUE(s.platform.messages.empty()) << s.platform.messages.front();
    }
    // Opens the table and plays on until the first hand takes input.
    void start(const std::vector<std::string>& hands, const Params& params = {}) {
        open(hands, params);
        s.untilHandInPlay();
        ASSERT_TRUE(s.game.progress().handInPlay);
        mark();
    }
    // Lets the glide of a swap run out, the hand still in play.
    void glideOut() {
        s.runUntil([&] { return !s.game.timerRunning(TimerId::Glide); });
    }

    std::string logText(const std::string& prefix) const {
        for (const std::string& name : dir.list("dataout"))
            if (name.rfind(prefix, 0) == 0) return dir.read("dataout/" + name);
        return {};
    }
    std::vector<std::string> ck() const { return splitLines(logText("ck")); }
    std::vector<std::string> nk() const { return splitLines(logText("nk")); }
    // Lines written since the last mark.
    void mark() {
        ckMark = ck().size();
        nkMark = nk().size();
    }
    std::vector<std::string> newCk() const {
        auto l = ck();
        return {l.begin() + static_cast<long>(ckMark), l.end()};
    }
    std::vector<std::string> newNk() const {
        auto l = nk();
        return {l.begin() + static_cast<long>(nkMark), l.end()};
    }

    const Control& ctl(Ctl id) const { return s.game.table()[id]; }
    Ctl imageAt(uint8_t position) const { return cardImage(s.cardAt(position)); }
    Picture pictureAt(uint8_t position) const { return ctl(imageAt(position)).picture; }
    Picture faceAt(uint8_t position) const { return facePicture(s.cardAt(position)); }
    DragMode modeAt(uint8_t position) const { return ctl(imageAt(position)).dragMode; }
    Rgb pen(Ctl shape) const { return ctl(shape).pen; }
    void pressOn(uint8_t position, MouseButton b) { s.press(s.centreX(position), s.centreY(position), b); }
    void releaseOn(uint8_t position, MouseButton b) { s.release(s.centreX(position), s.centreY(position), b); }
    // The pens of the six position frames.
    std::vector<Rgb> frames() const {
        std::vector<Rgb> out;
        for (Ctl c : {Ctl::NkHandFrame, Ctl::CkHandFrame, Ctl::TargetFrame, Ctl::UpFrame, Ctl::DownNumberFrame,
                      Ctl::DownColourFrame})
            out.push_back(pen(c));
        return out;
    }
};

// Frames with the hand frame of the role in turn green and the rest grey.
inline std::vector<Rgb> turnFrames(const std::string& role) {
    std::vector<Rgb> f(6, kGrey);
    f[role == "ck" ? 1 : 0] = kGreen;
    return f;
}

}  // namespace qbx::test
