#pragma once
// The window layouts name the fonts "MS Sans Serif", "Times New Roman" and
// "Tahoma", which a Debian machine does not have. Each is mapped to a free
// font of (nearly) the same metrics, so that the pixel sizes of the layouts
// hold and texts fit their controls.

#include <QFont>

namespace qbx {

// A font of the layouts: a family by its layout name, sized in pixels (the
// layouts are not scaled to the screen's dots per inch).
QFont layoutFont(const char* family, int pixelSize, bool bold = false);

// Registers the substitutes. Call once, after the QApplication exists and
// before any window is created.
void installFontSubstitutions();

}  // namespace qbx
