#pragma once
// The table as text, one control a line (places, pictures, drag modes, frame
// pens, counters, the turn, whether it takes input; a gliding card by the
// place it glides to): two games in the same state give the same text. The
// program can write it after every action (QBX_STATE_FILE), a replay after
// each of its own, and tests compare the two.

#include <string>

#include "core/game/Game.h"

namespace qbx {

std::string tableStateText(const Game& game);

}  // namespace qbx
