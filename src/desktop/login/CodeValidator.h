#pragma once
// What the code box takes: one line of visible text, at most kCodeLength
// characters. Every way text enters the box (typing, Ctrl+V, Shift+Insert,
// the middle button's X11 selection, the context menu, a drop, an input
// method) ends in the line edit's validation, so the rule is kept here:
//  - a paste is cut at its first line end (CR, LF, VT, FF, NEL, U+2028,
//    U+2029): the rest of the pasted text is left out, what stood after
//    the cursor stays;
//  - every other control character (C0 with Tab, DEL, C1) and every
//    invisible format character (bidirectional controls, zero-width
//    characters, the soft hyphen, a byte order mark) is left out, as is
//    half of a surrogate pair;
//  - the box holds at most kCodeLength UTF-16 units (a character beyond
//    the Basic Multilingual Plane counts two), so the code is at most
//    3 bytes a unit, 192 bytes, in the logs' UTF-8.
// Text without any of these is taken as it is.

#include <QValidator>

namespace qbx {

class CodeValidator : public QValidator {
    Q_OBJECT
public:
    static constexpr int kCodeLength = 64;

    using QValidator::QValidator;
    // Rewrites `text` by the rule above, with `cursor` (the end of what was
    // just inserted) kept on the same character; always Acceptable.
    State validate(QString& text, int& cursor) const override;
    void fixup(QString& text) const override;
};

}  // namespace qbx
