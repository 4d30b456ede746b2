#include "table/engine/Table.h"

#include <algorithm>

namespace qbx {

namespace {

struct Design {
    Ctl id;
    CtlKind kind;
    const char* name;
    int width, height;
    const char* caption;
};

// Every control at its design size with its design text. Labels fit their
// text: the view measures them and sets their real size.
constexpr Design kDesign[] = {
    {Ctl::Form1, CtlKind::Form, "Form1", 1024, 768, "QBX"},
    {Ctl::Image1, CtlKind::Image, "Image1", 75, 107, ""},
    {Ctl::Image2, CtlKind::Image, "Image2", 75, 107, ""},
    {Ctl::Image3, CtlKind::Image, "Image3", 75, 107, ""},
    {Ctl::Image4, CtlKind::Image, "Image4", 75, 107, ""},
    {Ctl::Image5, CtlKind::Image, "Image5", 75, 107, ""},
    {Ctl::Image6, CtlKind::Image, "Image6", 75, 107, ""},
    {Ctl::Image7, CtlKind::Image, "Image7", 75, 107, ""},
    {Ctl::Image9, CtlKind::Image, "Image9", 105, 105, ""},
    {Ctl::Shape1, CtlKind::Shape, "Shape1", 89, 121, ""},
    {Ctl::Shape2, CtlKind::Shape, "Shape2", 89, 121, ""},
    {Ctl::Shape3, CtlKind::Shape, "Shape3", 89, 121, ""},
    {Ctl::Shape4, CtlKind::Shape, "Shape4", 89, 121, ""},
    {Ctl::Shape5, CtlKind::Shape, "Shape5", 89, 121, ""},
    {Ctl::Shape6, CtlKind::Shape, "Shape6", 89, 121, ""},
    {Ctl::Shape7, CtlKind::Shape, "Shape7", 153, 65, ""},
    {Ctl::Shape8, CtlKind::Shape, "Shape8", 161, 33, ""},
    {Ctl::Shape9, CtlKind::Shape, "Shape9", 161, 49, ""},
    {Ctl::Shape10, CtlKind::Shape, "Shape10", 161, 49, ""},
    {Ctl::Shape11, CtlKind::Shape, "Shape11", 161, 33, ""},
    {Ctl::Label1, CtlKind::Label, "Label1", 40, 13, "turno"},
    {Ctl::Label2, CtlKind::Label, "Label2", 32, 13, "Mess"},
    {Ctl::Label3, CtlKind::Label, "Label3", 48, 19, "Colore"},
    {Ctl::Label4, CtlKind::Label, "Label4", 56, 19, "Numero"},
    {Ctl::Label5, CtlKind::Label, "Label5", 64, 24, "Regole"},
    {Ctl::Label6, CtlKind::Label, "Label6", 56, 22, "Target"},
    {Ctl::Label7, CtlKind::Label, "Label7", 96, 19, "Mano numero"},
    {Ctl::Label8, CtlKind::Label, "Label8", 96, 19, "Totale Mosse"},
    {Ctl::Label9, CtlKind::Label, "Label9", 8, 19, "1"},
    {Ctl::Label10, CtlKind::Label, "Label10", 8, 19, "1"},
    {Ctl::Memo1, CtlKind::Memo, "Memo1", 161, 89, ""},
    {Ctl::Memo2, CtlKind::Memo, "Memo2", 191, 116, ""},
    {Ctl::Button1, CtlKind::Button, "Button1", 169, 49, "Passo"},
    {Ctl::Button2, CtlKind::Button, "Button2", 169, 49, "Help"},
    {Ctl::ckturn, CtlKind::Radio, "ckturn", 137, 25, "E' il turno di Colore"},
    {Ctl::nkturn, CtlKind::Radio, "nkturn", 137, 25, "E' il turno di Numero"},
    {Ctl::BitBtn1, CtlKind::BitButton, "BitBtn1", 57, 57, ""},
};
static_assert(std::size(kDesign) == kControlCount);

constexpr Ctl kStacking[] = {
    Ctl::Image9, Ctl::Shape10, Ctl::Shape9, Ctl::Shape11, Ctl::Shape8, Ctl::Shape6,
    Ctl::Shape4, Ctl::Shape5, Ctl::Shape3, Ctl::Shape2, Ctl::Shape1, Ctl::Image7,
    Ctl::Image2, Ctl::Image3, Ctl::Image4, Ctl::Image5, Ctl::Image6, Ctl::Image1,
    Ctl::Label1, Ctl::Label2, Ctl::Shape7, Ctl::Label3, Ctl::Label4, Ctl::Label5,
    Ctl::Label6, Ctl::Label7, Ctl::Label9, Ctl::Label10, Ctl::Label8,
};
constexpr Ctl kWidgets[] = {
    Ctl::Memo2, Ctl::Button2, Ctl::ckturn, Ctl::nkturn, Ctl::Button1, Ctl::Memo1, Ctl::BitBtn1,
};

constexpr size_t kMaxDirty = 64;

}  // namespace

Table::Table() {
    for (const Design& d : kDesign) {
        Control& c = at(d.id);
        c.id = d.id;
        c.kind = d.kind;
        c.name = d.name;
        c.width = d.width;
        c.height = d.height;
        c.caption = d.caption;
    }
    for (int slot = 1; slot <= 6; ++slot) {
        Control& c = at(cardImage(slot));
        c.tag = slot;
        c.picture = static_cast<Picture>(static_cast<int>(Picture::Face2H) + slot - 1);
    }
    at(Ctl::Image7).picture = Picture::Back;
    at(Ctl::Image7).dragMode = DragMode::Manual;
    at(Ctl::Image9).dragMode = DragMode::Manual;
    at(Ctl::Shape1).penWidth = 5;
    at(Ctl::Shape2).penWidth = 5;
    for (Ctl s : {Ctl::Shape3, Ctl::Shape4, Ctl::Shape5, Ctl::Shape6}) at(s).penWidth = 2;
    at(Ctl::Shape7).enabled = false;
    at(Ctl::Shape8).fill = kNavy;
    at(Ctl::Shape8).ownFill = true;
    at(Ctl::Shape11).fill = kRed;
    at(Ctl::Shape11).ownFill = true;
    for (Ctl hidden : {Ctl::Shape8, Ctl::Shape11, Ctl::Label5, Ctl::Memo2, Ctl::BitBtn1})
        at(hidden).visible = false;
    at(Ctl::ckturn).checked = true;
    memo2Lines = {"Se sei Colore puoi scambiare la carta ", "che hai in mano con la carta Target se ",
                  "queste hanno lo stesso colore.", "", "Se sei Numero puoi scambiare la carta ",
                  "che hai in mano con la carta Target se ", "queste hanno lo stesso numero.", ""};
    stacking_.assign(std::begin(kStacking), std::end(kStacking));
    widgets_.assign(std::begin(kWidgets), std::end(kWidgets));
    dirty_.reserve(kMaxDirty);
}

void Table::touch(const Control& c) {
    if (!c.isLight()) {
        ++widgetVersion_;
        return;
    }
    if (c.kind == CtlKind::Label) {  // the view measures label captions
        ++widgetVersion_;
        ++labelVersion_;
    }
    if (allDirty_) return;
    if (dirty_.size() >= kMaxDirty) {
        allDirty_ = true;
        dirty_.clear();
        return;
    }
    dirty_.push_back(c.rect());
}

void Table::setPos(Ctl id, int left, int top) {
    Control& c = at(id);
    if (c.left == left && c.top == top) return;
    touch(c);
    c.left = left;
    c.top = top;
    touch(c);
}

void Table::setSize(Ctl id, int width, int height) {
    Control& c = at(id);
    if (c.width == width && c.height == height) return;
    touch(c);
    c.width = width;
    c.height = height;
    touch(c);
}

void Table::setVisible(Ctl id, bool visible) {
    Control& c = at(id);
    if (c.visible == visible) return;
    c.visible = visible;
    touch(c);
}

void Table::setEnabled(Ctl id, bool enabled) {
    Control& c = at(id);
    if (c.enabled == enabled) return;
    c.enabled = enabled;
    if (!c.isLight()) ++widgetVersion_;
}

void Table::setCaption(Ctl id, const std::string& caption) {
    Control& c = at(id);
    if (c.caption == caption) return;
    c.caption = caption;
    touch(c);
}

void Table::setPen(Ctl id, Rgb pen) {
    Control& c = at(id);
    if (c.pen == pen) return;
    c.pen = pen;
    touch(c);
}

void Table::setPicture(Ctl id, Picture picture) {
    Control& c = at(id);
    if (c.picture == picture) return;
    c.picture = picture;
    touch(c);
}

void Table::setDragMode(Ctl id, DragMode mode) { at(id).dragMode = mode; }

void Table::setChecked(Ctl id, bool checked) {
    Control& c = at(id);
    if (checked) {
        Ctl other = id == Ctl::ckturn ? Ctl::nkturn : Ctl::ckturn;
        at(other).checked = false;
    }
    c.checked = checked;
    ++widgetVersion_;
}

void Table::raiseToTop(Ctl id) {
    auto it = std::find(stacking_.begin(), stacking_.end(), id);
    if (it == stacking_.end() || it + 1 == stacking_.end()) return;
    std::rotate(it, it + 1, stacking_.end());
    touch(at(id));
}

void Table::lowerToBottom(Ctl id) {
    auto it = std::find(stacking_.begin(), stacking_.end(), id);
    if (it == stacking_.end() || it == stacking_.begin()) return;
    std::rotate(stacking_.begin(), it, it + 1);
    touch(at(id));
}

void Table::setFormEnabled(bool enabled) {
    if (formEnabled_ == enabled) return;
    formEnabled_ = enabled;
    ++widgetVersion_;
}

void Table::setFormVisible(bool visible) {
    if (formVisible_ == visible) return;
    formVisible_ = visible;
    allDirty_ = true;
    ++widgetVersion_;
}

Ctl Table::controlAt(int x, int y) const {
    for (auto it = widgets_.rbegin(); it != widgets_.rend(); ++it) {
        const Control& c = (*this)[*it];
        if (c.visible && c.enabled && c.rect().contains(x, y)) return c.id;
    }
    for (auto it = stacking_.rbegin(); it != stacking_.rend(); ++it) {
        const Control& c = (*this)[*it];
        if (c.visible && c.enabled && c.rect().contains(x, y)) return c.id;
    }
    return Ctl::Form1;
}

void Table::takeDirty(std::vector<Rect>& out) {
    out.clear();
    if (allDirty_) {
        out.push_back({0, 0, at(Ctl::Form1).width, at(Ctl::Form1).height});
        allDirty_ = false;
        dirty_.clear();
        return;
    }
    out.swap(dirty_);
    dirty_.clear();
    if (dirty_.capacity() < kMaxDirty) dirty_.reserve(kMaxDirty);
}

}  // namespace qbx
