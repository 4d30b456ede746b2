#include "desktop/table/TableCanvas.h"

#include <QFontMetrics>

#include <algorithm>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include "desktop/widgets/Fonts.h"
#include "desktop/widgets/Text.h"
#include "desktop/table/CardPictures.h"

namespace qbx {

namespace {

// Captions from the catalogue are plain text: an "&" is drawn, not taken
// as the mark of a shortcut.
constexpr int kTextFlags = Qt::TextExpandTabs;

int labelIndex(Ctl label) { return static_cast<int>(label) - static_cast<int>(Ctl::TurnTitle); }

// Copies a decoded bitmap into an image the painter can draw.
QImage toImage(const std::shared_ptr<const Bitmap>& bitmap) {
    if (!bitmap || bitmap->width <= 0 || bitmap->height <= 0) return {};
    QImage wrapped(reinterpret_cast<const uchar*>(bitmap->pixels.data()), bitmap->width, bitmap->height,
                   bitmap->width * 4, QImage::Format_RGB32);
    return wrapped.copy();
}

}  // namespace

bool mouseButton(Qt::MouseButton in, MouseButton& out) {
    switch (in) {
    case Qt::LeftButton: out = MouseButton::Left; return true;
    case Qt::RightButton: out = MouseButton::Right; return true;
    case Qt::MiddleButton: out = MouseButton::Middle; return true;
    default: return false;
    }
}

TableCanvas::TableCanvas(QWidget& host, const Table& table, TableInput* input)
    : QWidget(&host), host_(host), table_(&table), input_(input) {
    setObjectName(QStringLiteral("TableCanvas"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    const QColor windowColour = host.palette().color(QPalette::Window);
    const QColor text = host.palette().color(QPalette::WindowText);
    auto style = [&](Ctl id, QFont font, QColor ink, QColor background) {
        LabelStyle& s = labelStyles_[static_cast<size_t>(labelIndex(id))];
        s.font = std::move(font);
        s.ink = ink;
        s.background = background;
    };
    style(Ctl::TurnTitle, layoutFont("MS Sans Serif", 11), text, windowColour);
    style(Ctl::MessagesTitle, layoutFont("MS Sans Serif", 11), text, windowColour);
    style(Ctl::CkCaption, layoutFont("Times New Roman", 16), text, windowColour);
    style(Ctl::NkCaption, layoutFont("Times New Roman", 16), text, windowColour);
    style(Ctl::RulesTitle, layoutFont("Times New Roman", 21), text, windowColour);
    style(Ctl::TargetCaption, layoutFont("Times New Roman", 19), QColor(255, 0, 0), windowColour);
    for (Ctl id : {Ctl::HandCounterTitle, Ctl::MoveCounterTitle, Ctl::MoveCounter, Ctl::HandCounter})
        style(id, layoutFont("Times New Roman", 16), Qt::black, menuColour());
    labelStyles_[0].centred = true;
}

QColor TableCanvas::menuColour() { return QColor(255, 255, 255); }

const LabelStyle& TableCanvas::labelStyle(Ctl label) const {
    return labelStyles_[static_cast<size_t>(labelIndex(label))];
}

QSize TableCanvas::fittedLabelSize(Ctl label, const std::string& caption) const {
    // An empty caption still takes the height of a line and the width of a blank.
    // Captions are one line: as high as the font, as wide as the text.
    const QString text = caption.empty() ? QStringLiteral(" ") : fromBytes(caption);
    const QFontMetrics fm(labelStyle(label).font);
    return {fm.size(kTextFlags, text).width(), fm.height()};
}

void TableCanvas::setBackBitmap(const std::shared_ptr<const Bitmap>& bitmap) {
    if (bitmap == backSource_) return;
    backSource_ = bitmap;
    backImage_ = toImage(bitmap);
    update();
}

void TableCanvas::setTextureBitmap(const std::shared_ptr<const Bitmap>& bitmap) {
    if (bitmap == textureSource_) return;
    textureSource_ = bitmap;
    textureImage_ = toImage(bitmap);
    scaledTexture_ = QImage();
    update();
}

void TableCanvas::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    const QRect area = event->rect();
    p.fillRect(area, host_.palette().color(QPalette::Window));
    for (Ctl id : table_->stacking()) {
        const Control& c = (*table_)[id];
        if (!c.visible) continue;
        const QRect r(c.left, c.top, c.width, c.height);
        if (!r.intersects(area)) continue;
        switch (c.kind) {
        case CtlKind::Image: paintImage(p, c); break;
        case CtlKind::Shape: paintShape(p, c); break;
        case CtlKind::Label: paintLabel(p, c); break;
        default: break;
        }
    }
}

void TableCanvas::paintImage(QPainter& p, const Control& c) {
    if (c.id == Ctl::Background) {
        // The background picture is stretched to the control.
        if (textureImage_.isNull() || c.width <= 0 || c.height <= 0) return;
        if (scaledTexture_.size() != QSize(c.width, c.height))
            scaledTexture_ = textureImage_.scaled(c.width, c.height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        p.drawImage(c.left, c.top, scaledTexture_);
        return;
    }
    if (c.picture == Picture::None) return;
    // Pictures are drawn at their own size from the card's top-left corner:
    // a larger back file is cut, a smaller one leaves the rest unpainted.
    const QImage& img = (c.picture == Picture::Back && !backImage_.isNull()) ? backImage_ : cardPicture(c.picture);
    const QRect source(0, 0, std::min(img.width(), c.width), std::min(img.height(), c.height));
    p.drawImage(QPoint(c.left, c.top), img, source);
}

void TableCanvas::paintShape(QPainter& p, const Control& c) {
    // The pen lies inside the rectangle, as wide as it is on every side.
    const QRect outer(c.left, c.top, c.width, c.height);
    const int w = std::max(c.penWidth, 0);
    p.fillRect(outer, QColor(c.pen.r, c.pen.g, c.pen.b));
    const QRect inner = outer.adjusted(w, w, -w, -w);
    if (inner.isEmpty()) return;
    const QColor fill = c.ownFill ? QColor(c.fill.r, c.fill.g, c.fill.b) : menuColour();
    p.fillRect(inner, fill);
}

void TableCanvas::paintLabel(QPainter& p, const Control& c) {
    const LabelStyle& s = labelStyle(c.id);
    const QRect r(c.left, c.top, c.width, c.height);
    p.fillRect(r, s.background);
    p.setFont(s.font);
    p.setPen(s.ink);
    const int align = (s.centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop;
    p.drawText(r, align | kTextFlags, fromBytes(c.caption));
}

void TableCanvas::mousePressEvent(QMouseEvent* event) {
    MouseButton button;
    if (!mouseButton(event->button(), button)) return;
    const QPoint at = event->position().toPoint();
    if (input_) input_->forwardPress(at.x(), at.y(), button);
}

void TableCanvas::mouseMoveEvent(QMouseEvent* event) {
    // Moves arrive only while a button is held; the press made this canvas
    // the grabber, so they keep coming here even over the buttons.
    const QPoint at = event->position().toPoint();
    if (input_) input_->forwardMove(at.x(), at.y());
}

void TableCanvas::mouseReleaseEvent(QMouseEvent* event) {
    MouseButton button;
    if (!mouseButton(event->button(), button)) return;
    const QPoint at = event->position().toPoint();
    if (input_) input_->forwardRelease(at.x(), at.y(), button);
}

}  // namespace qbx
