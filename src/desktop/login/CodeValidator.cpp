#include "desktop/login/CodeValidator.h"

#include <algorithm>

namespace qbx {

namespace {

bool endsLine(char16_t c) {
    return c == u'\n' || c == u'\r' || c == 0x0B || c == 0x0C || c == 0x85 || c == 0x2028 || c == 0x2029;
}

bool isControl(char16_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

}  // namespace

QValidator::State CodeValidator::validate(QString& text, int& cursor) const {
    cursor = std::clamp(cursor, 0, static_cast<int>(text.size()));
    // The box never holds a line end, so the first one lies in what was
    // just inserted, which ends at the cursor: the rest of that insertion
    // goes, the text after it stays.
    for (int i = 0; i < text.size(); ++i) {
        if (!endsLine(text[i].unicode())) continue;
        text.remove(i, (i < cursor ? cursor : static_cast<int>(text.size())) - i);
        cursor = std::min(cursor, i);
        break;
    }

    QString kept;
    kept.reserve(text.size());
    int keptCursor = -1;
    for (int i = 0; i < text.size(); ++i) {
        if (i == cursor) keptCursor = static_cast<int>(kept.size());
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            if (QChar::category(QChar::surrogateToUcs4(c, text[i + 1])) != QChar::Other_Format) {
                kept += c;
                kept += text[i + 1];
            }
            ++i;
            if (i == cursor) keptCursor = static_cast<int>(kept.size());
            continue;
        }
        if (c.isSurrogate() || isControl(c.unicode()) || c.category() == QChar::Other_Format) continue;
        kept += c;
    }
    if (keptCursor < 0) keptCursor = static_cast<int>(kept.size());

    if (kept.size() > kCodeLength) {
        // Never half of a surrogate pair.
        kept.truncate(kept[kCodeLength - 1].isHighSurrogate() ? kCodeLength - 1 : kCodeLength);
        keptCursor = std::min(keptCursor, static_cast<int>(kept.size()));
    }
    text = kept;
    cursor = keptCursor;
    return Acceptable;
}

void CodeValidator::fixup(QString& text) const {
    int cursor = static_cast<int>(text.size());
    validate(text, cursor);
}

}  // namespace qbx
