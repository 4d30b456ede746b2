#include "core/game/TableState.h"

#include <cstdio>

namespace qbx {

std::string tableStateText(const Game& game) {
    const Table& t = game.table();
    std::string out;
    char line[160];
    static const char* const kPictures[] = {"none", "2H", "3H", "4H", "2C", "3C", "4C", "back"};
    // A card on its way is told by where it goes: how far it has come
    // depends on how many ticks the desktop's timer gave it, which a box
    // open meanwhile leaves to the millisecond.
    const bool gliding = game.timerRunning(TimerId::Glide);
    for (int c = 0; c < kCards; ++c) {
        const Control& k = t[cardImage(c)];
        const bool moving = gliding && game.glide().card == cardImage(c);
        std::snprintf(line, sizeof line, "card %s %s %d,%d %s %s%s%s\n", cardText(c).c_str(),
                      moving ? "gliding to" : "at", moving ? game.glide().targetX : k.left,
                      moving ? game.glide().targetY : k.top, kPictures[static_cast<int>(k.picture)],
                      k.dragMode == DragMode::Automatic ? "draggable" : "locked", k.visible ? "" : " hidden",
                      k.enabled ? "" : " disabled");
        out += line;
    }
    const Control& deck = t[Ctl::DeckCard];
    std::snprintf(line, sizeof line, "deck at %d,%d %s%s\n", deck.left, deck.top,
                  kPictures[static_cast<int>(deck.picture)], deck.visible ? "" : " hidden");
    out += line;
    for (Ctl frame : {Ctl::NkHandFrame, Ctl::CkHandFrame, Ctl::TargetFrame, Ctl::UpFrame, Ctl::DownNumberFrame,
                      Ctl::DownColourFrame}) {
        const Control& k = t[frame];
        std::snprintf(line, sizeof line, "frame %s rgb %d,%d,%d\n", k.name, k.pen.r, k.pen.g, k.pen.b);
        out += line;
    }
    out += "moves " + t[Ctl::MoveCounter].caption + ", hand " + t[Ctl::HandCounter].caption + "\n";
    out += std::string("turn ") + (t[Ctl::CkTurnIndicator].checked ? "ck" : "") +
           (t[Ctl::NkTurnIndicator].checked ? "nk" : "") + "\n";
    out += std::string("table ") + (t.formVisible() ? "shown" : "hidden") + ", " +
           (t.formEnabled() ? "takes input" : "takes no input") + "\n";
    return out;
}

}  // namespace qbx
