#include "desktop/table/CardPictures.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>

#include <array>

namespace qbx {

namespace {

constexpr QRgb kBorderDark = 0xFF303030;
constexpr QRgb kBackBlue = 0xFF2A5BD7;
constexpr double kSignWidth = 15.0;
constexpr double kSignHeight = 16.0;
const QRectF kCentreFrame(15.5, 14.5, 44.0, 78.0);

// Suit signs are paths in a unit box, point downwards, so that they look the
// same on every machine whatever fonts it has.
QPainterPath heartPath() {
    QPainterPath p;
    p.moveTo(0.5, 0.24);
    p.cubicTo(0.5, 0.0, 0.0, -0.02, 0.0, 0.3);
    p.cubicTo(0.0, 0.56, 0.34, 0.72, 0.5, 1.0);
    p.cubicTo(0.66, 0.72, 1.0, 0.56, 1.0, 0.3);
    p.cubicTo(1.0, -0.02, 0.5, 0.0, 0.5, 0.24);
    p.closeSubpath();
    return p;
}

QPainterPath clubPath() {
    QPainterPath top, left, right, stem;
    top.addEllipse(QPointF(0.5, 0.25), 0.23, 0.23);
    left.addEllipse(QPointF(0.24, 0.56), 0.23, 0.23);
    right.addEllipse(QPointF(0.76, 0.56), 0.23, 0.23);
    stem.moveTo(0.45, 0.45);
    stem.quadTo(0.47, 0.85, 0.28, 1.0);
    stem.lineTo(0.72, 1.0);
    stem.quadTo(0.53, 0.85, 0.55, 0.45);
    stem.closeSubpath();
    return top.united(left).united(right).united(stem);
}

const QPainterPath& suitPath(bool hearts) {
    static const QPainterPath heart = heartPath();
    static const QPainterPath club = clubPath();
    return hearts ? heart : club;
}

// Draws a suit sign centred on `centre`, upside down when `flipped`.
void drawSign(QPainter& p, bool hearts, QPointF centre, double w, double h, bool flipped) {
    p.save();
    p.translate(centre);
    if (flipped) p.rotate(180.0);
    p.translate(-w / 2.0, -h / 2.0);
    p.scale(w, h);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor::fromRgb(hearts ? kHeartsRed : kClubsBlack));
    p.drawPath(suitPath(hearts));
    p.restore();
}

// The number and a small sign in the top-left corner; drawn a second time
// turned half round for the bottom-right corner.
void drawIndex(QPainter& p, int number, bool hearts) {
    QFont font(QStringLiteral("Times New Roman"));
    font.setPixelSize(14);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor::fromRgb(hearts ? kHeartsRed : kClubsBlack));
    p.drawText(QRectF(1.0, 2.0, 13.0, 15.0), Qt::AlignCenter, QString::number(number));
    drawSign(p, hearts, QPointF(7.5, 22.0), 9.0, 9.5, false);
}

QImage drawFace(int number, bool hearts) {
    QImage img(kCardWidth, kCardHeight, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    p.setPen(QPen(QColor::fromRgb(kBorderDark), 1.0));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(0.5, 0.5, kCardWidth - 1.0, kCardHeight - 1.0), 5.0, 5.0);

    const QColor ink = QColor::fromRgb(hearts ? kHeartsRed : kClubsBlack);
    p.setPen(QPen(ink, 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(kCentreFrame);

    for (int k = 0; k < number; ++k) {
        const QPointF c = suitSignCentre(number, k);
        drawSign(p, hearts, c, kSignWidth, kSignHeight, c.y() > kCardHeight / 2.0 + 1.0);
    }

    drawIndex(p, number, hearts);
    p.translate(kCardWidth, kCardHeight);
    p.rotate(180.0);
    drawIndex(p, number, hearts);
    return img;
}

// Blue and white lattice with a medallion in the middle, inside a navy border.
QImage drawBack() {
    QImage img(kCardWidth, kCardHeight, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);

    p.setPen(Qt::NoPen);
    p.setBrush(QColor::fromRgb(kBackNavy));
    p.drawRoundedRect(QRectF(0, 0, kCardWidth, kCardHeight), 5.0, 5.0);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4, 4, kCardWidth - 8, kCardHeight - 8));

    const QRectF field(5, 5, kCardWidth - 10, kCardHeight - 10);
    p.setBrush(QColor::fromRgb(kBackBlue));
    p.drawRect(field);

    p.save();
    p.setClipRect(field);
    p.setPen(QPen(Qt::white, 1.0));
    constexpr int kStep = 8;
    for (int d = -kCardHeight; d < kCardWidth + kCardHeight; d += kStep) {
        p.drawLine(QPointF(d, 0), QPointF(d + kCardHeight, kCardHeight));
        p.drawLine(QPointF(d, kCardHeight), QPointF(d + kCardHeight, 0));
    }
    // A white dot in the middle of every diamond of the lattice.
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    for (int y = 0; y < kCardHeight + kStep; y += kStep)
        for (int x = 0; x < kCardWidth + kStep; x += kStep) p.drawEllipse(QPointF(x + kStep / 2.0, y), 1.1, 1.1);
    p.restore();

    const QPointF mid(kCardWidth / 2.0, kCardHeight / 2.0);
    p.setPen(QPen(QColor::fromRgb(kBackNavy), 2.0));
    p.setBrush(Qt::white);
    p.drawEllipse(mid, 15.0, 22.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor::fromRgb(kBackBlue));
    for (int petal = 0; petal < 4; ++petal) {
        p.save();
        p.translate(mid);
        p.rotate(45.0 + 90.0 * petal);
        p.drawEllipse(QPointF(0, -7.5), 3.5, 7.0);
        p.restore();
    }
    p.setBrush(QColor::fromRgb(kBackNavy));
    p.drawEllipse(mid, 2.5, 2.5);
    return img;
}

QImage drawHelpPicture() {
    QImage img(kHelpIconSize, kHelpIconSize, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawRoundedRect(QRectF(0, 0, kHelpIconSize, kHelpIconSize), 9.0, 9.0);
    p.setPen(QPen(Qt::white, 3.0));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(kHelpIconSize / 2.0, kHelpIconSize / 2.0), 19.0, 19.0);
    QFont font(QStringLiteral("Times New Roman"));
    font.setPixelSize(30);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRectF(0, 0, kHelpIconSize, kHelpIconSize), Qt::AlignCenter, QStringLiteral("?"));
    return img;
}

}  // namespace

QPointF suitSignCentre(int number, int k) {
    const double midX = kCardWidth / 2.0;
    const double topY = kCentreFrame.top() + 15.5;
    const double bottomY = kCentreFrame.bottom() - 15.5;
    switch (number) {
    case 2: return {midX, k == 0 ? topY : bottomY};
    case 3: return {midX, k == 0 ? topY : (k == 1 ? kCardHeight / 2.0 : bottomY)};
    default: return {k % 2 == 0 ? midX - 9.5 : midX + 9.5, k < 2 ? topY : bottomY};
    }
}

const QImage& cardPicture(Picture picture) {
    static std::array<QImage, 8> cache;
    const int index = static_cast<int>(picture);
    QImage& img = cache[static_cast<size_t>(index)];
    if (img.isNull()) {
        switch (picture) {
        case Picture::None: break;
        case Picture::Back: img = drawBack(); break;
        default: {
            const int face = index - static_cast<int>(Picture::Face2H);  // 0..5
            img = drawFace(2 + face % 3, face < 3);
            break;
        }
        }
    }
    return img;
}

const QImage& helpButtonPicture() {
    static const QImage img = drawHelpPicture();
    return img;
}

}  // namespace qbx
