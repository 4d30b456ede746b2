#include "desktop/widgets/Fonts.h"

#include <QFont>
#include <QString>

namespace qbx {

QFont layoutFont(const char* family, int pixelSize, bool bold) {
    QFont font(QString::fromLatin1(family));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

void installFontSubstitutions() {
    // Liberation Sans and Serif are metric-compatible with Arial and Times
    // New Roman; MS Sans Serif is close to Arial at these sizes. DejaVu Sans
    // is the nearest common match for Tahoma's wide, open letters.
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"));
    QFont::insertSubstitution(QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans"));
}

}  // namespace qbx
