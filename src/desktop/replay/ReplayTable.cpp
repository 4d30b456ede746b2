#include "desktop/replay/ReplayTable.h"

#include <QPainter>
#include <QPainterPath>
#include <QWidget>

#include <algorithm>

#include "desktop/table/TableCanvas.h"
#include "desktop/table/TableView.h"

namespace qbx::replayview {

ReplayTable::ReplayTable(Size size) : host_(std::make_unique<QWidget>()) {
    host_->setObjectName(QStringLiteral("replayTable"));
    // Shown, so that its widgets draw, but never on the screen: it is only
    // rendered into pictures, and no click ever reaches it.
    host_->setAttribute(Qt::WA_DontShowOnScreen);
    host_->setAttribute(Qt::WA_TransparentForMouseEvents);
    host_->resize(size.width, size.height);
    // An empty table until the first follow().
    static const Table kEmpty;
    view_ = std::make_unique<TableView>(*host_, kEmpty, nullptr);
    view_->canvas()->setGeometry(host_->rect());
    host_->show();
}

ReplayTable::~ReplayTable() = default;

QSize ReplayTable::size() const { return host_->size(); }

void ReplayTable::follow(replay::SessionReplay& replay) {
    const Game& game = replay.game();
    // The replay's game may be a new one (after going back), so everything
    // is measured and set again; each step is a comparison when nothing changed.
    view_->setTable(game.table());
    view_->setPictures(game.cardBack(), game.background());
    view_->fitLabels([&replay](Ctl id, int width, int height) { replay.setLabelSize(id, width, height); });
    view_->syncWidgets();
}

QImage ReplayTable::render() const {
    QImage image(host_->size(), QImage::Format_RGB32);
    image.fill(host_->palette().color(QPalette::Window));
    // Until the first deal shows it, the table window is hidden: the
    // participant saw none of it.
    if (view_->table().formVisible()) host_->render(&image);
    return image;
}

uint64_t tableSignature(const Table& table) {
    // FNV-1a over every field a control is drawn from.
    uint64_t h = 1469598103934665603ULL;
    auto mix = [&h](uint64_t v) {
        for (int i = 0; i < 8; ++i, v >>= 8) h = (h ^ (v & 0xFF)) * 1099511628211ULL;
    };
    for (const Control& c : table.controls()) {
        mix(uint64_t(uint32_t(c.left)) << 32 | uint32_t(c.top));
        mix(uint64_t(uint32_t(c.width)) << 32 | uint32_t(c.height));
        mix(uint64_t(c.visible) | uint64_t(c.enabled) << 1 | uint64_t(c.checked) << 2 | uint64_t(c.picture) << 8 |
            uint64_t(c.pen.r) << 16 | uint64_t(c.pen.g) << 24 | uint64_t(c.pen.b) << 32 |
            uint64_t(uint32_t(c.penWidth)) << 40);
        for (unsigned char ch : c.caption) mix(ch);
        mix(c.caption.size());
    }
    for (const Ctl id : table.stacking()) mix(uint64_t(id));
    return h;
}

void paintBanner(QPainter& painter, const QRect& area, const QString& text) {
    if (text.isEmpty()) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font = painter.font();
    font.setPixelSize(std::max(14, area.height() / 30));
    font.setBold(true);
    painter.setFont(font);
    const int margin = font.pixelSize();
    const QRect textArea = painter.fontMetrics()
                               .boundingRect(area.adjusted(margin * 2, 0, -margin * 2, 0), Qt::TextWordWrap, text)
                               .adjusted(-margin, -margin / 2, margin, margin / 2);
    QRect box(0, 0, textArea.width(), textArea.height());
    box.moveCenter(QPoint(area.center().x(), area.top() + margin + box.height() / 2));
    QPainterPath path;
    path.addRoundedRect(box, margin / 2, margin / 2);
    painter.fillPath(path, QColor(20, 30, 60, 215));
    painter.setPen(Qt::white);
    painter.drawText(box, Qt::AlignCenter | Qt::TextWordWrap, text);
    painter.restore();
}

}  // namespace qbx::replayview
