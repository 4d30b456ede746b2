// The mouse on the table: a left press on a draggable card picks it up at
// once, the card follows the pointer held 25 and 40 pixels from its corner,
// and the control under the pointer at the release decides the drop. The
// right button looks at a card; any release on a card covers it again and
// records the look.

#include "core/game/Game.h"

namespace qbx {

namespace {

// Where the pointer holds a dragged card, from its top left corner.
constexpr int32_t kGrabX = 25, kGrabY = 40;

}  // namespace

void Game::mousePress(int x, int y, MouseButton button) {
    guarded([&] {
        if (!acceptsInput() || dragging_) return;
        const Ctl target = table_.controlAt(x, y);
        if (!isCardImage(target)) return;
        if (button == MouseButton::Left && table_[target].dragMode == DragMode::Automatic) {
            startCardDrag(target);
            dragging_ = true;
            dragOverTarget_ = Ctl::Count;
            dispatchDragOver(x, y);  // the card jumps under the pointer at the press itself
            return;
        }
        pressedControl_ = target;
        pressActive_ = true;
        cardMouseDown(target, button);
    });
}

void Game::mouseMove(int x, int y) {
    guarded([&] {
        if (dragging_) dispatchDragOver(x, y);
    });
}

void Game::mouseRelease(int x, int y, MouseButton button) {
    guarded([&] {
        if (dragging_) {
            if (button != MouseButton::Left) return;
            dragging_ = false;
            dragDrop(table_.controlAt(x, y));
            return;
        }
        if (pressActive_) {
            pressActive_ = false;
            cardMouseUp(pressedControl_);
        }
    });
}

void Game::cancelDrag() {
    guarded([&] {
        if (!dragging_) return;
        dragging_ = false;
        dragDrop(Ctl::Window);
    });
}

void Game::releaseMissed() {
    guarded([&] {
        if (dragging_) {
            dragging_ = false;
            dragDrop(Ctl::Window);
            return;
        }
        if (!pressActive_) return;
        pressActive_ = false;
        coverCard(cardOfImage(pressedControl_));
    });
}

void Game::dispatchDragOver(int x, int y) {
    const Ctl target = table_.controlAt(x, y);
    if (target != dragOverTarget_ && dragOverTarget_ != Ctl::Count) {
        const Control& old = table_[dragOverTarget_];
        dragOver(dragOverTarget_, x - (old.id == Ctl::Window ? 0 : old.left),
                 y - (old.id == Ctl::Window ? 0 : old.top));
    }
    dragOverTarget_ = target;
    const Control& t = table_[target];
    dragOver(target, x - (target == Ctl::Window ? 0 : t.left), y - (target == Ctl::Window ? 0 : t.top));
}

void Game::startCardDrag(Ctl card) {
    dragStartLeft_ = table_[card].left;
    dragStartTop_ = table_[card].top;
    dragCard_ = card;
    table_.setEnabled(card, false);
    recordPickUp(cardOfImage(card));
    completePendingHandOver(cardOfImage(card));
}

void Game::dragOver(Ctl target, int x, int y) {
    const Ctl dragged = dragCard_;
    if (isCardImage(target)) {
        showIfExchangeAllowed(dragged, target);
        table_.setPos(dragged, table_[target].left + x - kGrabX, table_[target].top + y - kGrabY);
        return;
    }
    table_.raiseToTop(dragged);
    if (target == Ctl::Window)
        table_.setPos(dragged, x - kGrabX, y - kGrabY);
    else
        table_.setPos(dragged, table_[target].left + x - kGrabX, table_[target].top + y - kGrabY);
    if (target == Ctl::NkHandFrame || target == Ctl::CkHandFrame) {
        paintTurnFrames();
    } else if (target >= Ctl::TargetFrame && target <= Ctl::DownColourFrame) {
        for (Ctl s : {Ctl::TargetFrame, Ctl::UpFrame, Ctl::DownNumberFrame, Ctl::DownColourFrame})
            table_.setPen(s, kGrey);
    }
}

void Game::dragDrop(Ctl target) {
    const Ctl dragged = dragCard_;
    if (!isCardImage(target)) {
        // A drop anywhere else sends the card home; the control dropped on
        // never acts (a card on the pass button does not pass).
        table_.setEnabled(dragged, true);
        startGlide(dragged, dragStartLeft_, dragStartTop_);
        return;
    }
    if (tryExchange(dragged, target)) {
        table_.setPos(dragged, table_[target].left, table_[target].top);
        startGlide(target, dragStartLeft_, dragStartTop_);
        handOverAfterSwap();
        coverCards();
        endHandIfOver();
    } else {
        startGlide(dragged, dragStartLeft_, dragStartTop_);
    }
    table_.setEnabled(dragged, true);
}

void Game::cardMouseDown(Ctl card, MouseButton button) {
    if (button == MouseButton::Right) showCard(cardOfImage(card));
}

void Game::cardMouseUp(Ctl card) {
    coverCard(cardOfImage(card));
    recordLook(cardOfImage(card));
}

}  // namespace qbx
