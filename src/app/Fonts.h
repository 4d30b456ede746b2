#pragma once
// The window layouts name the fonts "MS Sans Serif", "Times New Roman" and
// "Tahoma", which a Debian machine does not have. Each is mapped to a free
// font of (nearly) the same metrics, so that the pixel sizes of the layouts
// hold and texts fit their controls.

namespace qbx {

// Registers the substitutes. Call once, after the QApplication exists and
// before any window is created.
void installFontSubstitutions();

}  // namespace qbx
