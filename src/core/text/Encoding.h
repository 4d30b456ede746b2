#pragma once
// The one reading of 8-bit text. The logs and setup files hold bytes; the
// screen, the tables, the pages and every JSON file hold Unicode. A text
// that is well-formed UTF-8 as a whole (no overlong form, no surrogate,
// nothing above U+10FFFF) is UTF-8 and passes unchanged; any other text is
// read byte by byte as Windows-1252, the Western code page of Windows, in
// which a lab's files are often saved: Latin-1 but for 0x80-0x9F, which hold
// € ‚ ƒ „ … † ‡ ˆ ‰ Š ‹ Œ Ž ‘ ’ “ ” • – — ˜ ™ š › œ ž Ÿ. The five bytes that
// code page leaves unassigned (0x81 0x8D 0x8F 0x90 0x9D) become the C1
// control characters of the same number, as Windows' own conversion does.

#include <string>
#include <string_view>

namespace qbx {

bool isUtf8(std::string_view text);
// The text as UTF-8, read as above.
std::string asUtf8(std::string_view text);
// Appends one character (up to U+10FFFF, no surrogate) as UTF-8.
void appendUtf8(std::string& out, char32_t c);

// A name from disk or from a log as a terminal is to show it: every control
// character (C0, DEL, and C1 as UTF-8 writes it, U+0080 to U+009F) written
// as \xNN with its bytes, so that no escape sequence in a folder's name or a
// participant code reaches the terminal ("\x1b[31m"). Other bytes pass.
std::string shownText(std::string_view text);

}  // namespace qbx
