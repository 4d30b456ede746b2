#pragma once
// The graphic controls of the table window (card images, frames, boxes,
// labels), painted by the window in their stacking order, below every real
// widget. Mouse input on them goes to the game through the table window.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QWidget>
#include <Qt>

#include <array>
#include <memory>

#include "core/bitmap/Bitmap.h"
#include "core/game/Game.h"
#include "core/game/Table.h"

namespace qbx {

// Where the canvas sends the mouse, in client coordinates: the table
// window, which hands it to the game.
class TableInput {
public:
    virtual void forwardPress(int x, int y, MouseButton button) = 0;
    virtual void forwardMove(int x, int y) = 0;
    virtual void forwardRelease(int x, int y, MouseButton button) = 0;

protected:
    ~TableInput() = default;
};

// The game's name for a Qt mouse button; false for a button the game has
// no use for.
bool mouseButton(Qt::MouseButton in, MouseButton& out);

// How a label of the table looks: its font, ink and opaque background.
struct LabelStyle {
    QFont font;
    QColor ink;
    QColor background;
    bool centred = false;
};

class TableCanvas : public QWidget {
public:
    // `input` null: a canvas that only draws.
    TableCanvas(QWidget& host, const Table& table, TableInput* input);
    void setTable(const Table& table) { table_ = &table; }

    // The light background of frames, counter boxes and their labels.
    static QColor menuColour();
    const LabelStyle& labelStyle(Ctl label) const;
    // The size a label takes to fit its caption.
    QSize fittedLabelSize(Ctl label, const std::string& caption) const;

    // Pictures from the setup directory; null when there is none.
    void setBackBitmap(const std::shared_ptr<const Bitmap>& bitmap);
    void setTextureBitmap(const std::shared_ptr<const Bitmap>& bitmap);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void paintImage(QPainter& p, const Control& c);
    void paintShape(QPainter& p, const Control& c);
    void paintLabel(QPainter& p, const Control& c);

    QWidget& host_;
    const Table* table_;
    TableInput* input_;
    std::array<LabelStyle, 10> labelStyles_;
    std::shared_ptr<const Bitmap> backSource_, textureSource_;
    QImage backImage_, textureImage_;
    QImage scaledTexture_;  // the texture at the background's size, made when that size changes
};

}  // namespace qbx
