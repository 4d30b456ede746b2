#pragma once
// The seven card pictures built into the program (six faces and the back),
// drawn once at 75 x 107 and kept for the whole run, and the picture of the
// second help button.

#include <QImage>

#include "core/game/Table.h"

namespace qbx {

inline constexpr int kCardWidth = 75;
inline constexpr int kCardHeight = 107;
inline constexpr int kHelpIconSize = 51;

// Colours of the pictures, shared with the tests that look at them.
inline constexpr QRgb kHeartsRed = 0xFFD0101A;
inline constexpr QRgb kClubsBlack = 0xFF000000;
inline constexpr QRgb kBackNavy = 0xFF000080;

// The built-in picture for a face or the back; a null image for Picture::None.
const QImage& cardPicture(Picture picture);

// Where the centre of the k-th suit sign of a face lies (k from 0 to
// number - 1), in card pixels.
QPointF suitSignCentre(int number, int k);

// White question mark in a white circle on a black square with curved corners.
const QImage& helpButtonPicture();

}  // namespace qbx
