#include "core/game/Table.h"

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
    {Ctl::Window, CtlKind::Form, "window", kTableWidth, kTableHeight, "QBX"},
    {Ctl::Card2H, CtlKind::Image, "card2H", 75, 107, ""},
    {Ctl::Card3H, CtlKind::Image, "card3H", 75, 107, ""},
    {Ctl::Card4H, CtlKind::Image, "card4H", 75, 107, ""},
    {Ctl::Card2C, CtlKind::Image, "card2C", 75, 107, ""},
    {Ctl::Card3C, CtlKind::Image, "card3C", 75, 107, ""},
    {Ctl::Card4C, CtlKind::Image, "card4C", 75, 107, ""},
    {Ctl::DeckCard, CtlKind::Image, "deckCard", 75, 107, ""},
    {Ctl::Background, CtlKind::Image, "background", 105, 105, ""},
    {Ctl::NkHandFrame, CtlKind::Shape, "nkHandFrame", 89, 121, ""},
    {Ctl::CkHandFrame, CtlKind::Shape, "ckHandFrame", 89, 121, ""},
    {Ctl::TargetFrame, CtlKind::Shape, "targetFrame", 89, 121, ""},
    {Ctl::UpFrame, CtlKind::Shape, "upFrame", 89, 121, ""},
    {Ctl::DownNumberFrame, CtlKind::Shape, "downNumberFrame", 89, 121, ""},
    {Ctl::DownColourFrame, CtlKind::Shape, "downColourFrame", 89, 121, ""},
    {Ctl::TurnBox, CtlKind::Shape, "turnBox", 153, 65, ""},
    {Ctl::NavyBar, CtlKind::Shape, "navyBar", 161, 33, ""},
    {Ctl::MoveCounterBox, CtlKind::Shape, "moveCounterBox", 161, 49, ""},
    {Ctl::HandCounterBox, CtlKind::Shape, "handCounterBox", 161, 49, ""},
    {Ctl::RedBar, CtlKind::Shape, "redBar", 161, 33, ""},
    {Ctl::TurnTitle, CtlKind::Label, "turnTitle", 40, 13, "turno"},
    {Ctl::MessagesTitle, CtlKind::Label, "messagesTitle", 32, 13, "Mess"},
    {Ctl::CkCaption, CtlKind::Label, "ckCaption", 48, 19, "Colore"},
    {Ctl::NkCaption, CtlKind::Label, "nkCaption", 56, 19, "Numero"},
    {Ctl::RulesTitle, CtlKind::Label, "rulesTitle", 64, 24, "Regole"},
    {Ctl::TargetCaption, CtlKind::Label, "targetCaption", 56, 22, "Target"},
    {Ctl::HandCounterTitle, CtlKind::Label, "handCounterTitle", 96, 19, "Mano numero"},
    {Ctl::MoveCounterTitle, CtlKind::Label, "moveCounterTitle", 96, 19, "Totale Mosse"},
    {Ctl::MoveCounter, CtlKind::Label, "moveCounter", 8, 19, "1"},
    {Ctl::HandCounter, CtlKind::Label, "handCounter", 8, 19, "1"},
    {Ctl::MessagesText, CtlKind::TextBox, "messagesText", 161, 89, ""},
    {Ctl::RulesText, CtlKind::TextBox, "rulesText", 191, 116, ""},
    {Ctl::PassButton, CtlKind::Button, "passButton", 169, 49, "Passo"},
    {Ctl::HelpButton, CtlKind::Button, "helpButton", 169, 49, "Help"},
    {Ctl::CkTurnIndicator, CtlKind::RadioButton, "ckTurnIndicator", 137, 25, "E' il turno di Colore"},
    {Ctl::NkTurnIndicator, CtlKind::RadioButton, "nkTurnIndicator", 137, 25, "E' il turno di Numero"},
    {Ctl::SecondHelpButton, CtlKind::PictureButton, "secondHelpButton", 57, 57, ""},
};
static_assert(std::size(kDesign) == kControlCount);

constexpr Ctl kStacking[] = {
    Ctl::Background,       Ctl::HandCounterBox, Ctl::MoveCounterBox,  Ctl::RedBar,           Ctl::NavyBar,
    Ctl::DownColourFrame,  Ctl::UpFrame,        Ctl::DownNumberFrame, Ctl::TargetFrame,      Ctl::CkHandFrame,
    Ctl::NkHandFrame,      Ctl::DeckCard,       Ctl::Card3H,          Ctl::Card4H,           Ctl::Card2C,
    Ctl::Card3C,           Ctl::Card4C,         Ctl::Card2H,          Ctl::TurnTitle,        Ctl::MessagesTitle,
    Ctl::TurnBox,          Ctl::CkCaption,      Ctl::NkCaption,       Ctl::RulesTitle,       Ctl::TargetCaption,
    Ctl::HandCounterTitle, Ctl::MoveCounter,    Ctl::HandCounter,     Ctl::MoveCounterTitle,
};
constexpr Ctl kWidgets[] = {
    Ctl::RulesText,  Ctl::HelpButton,   Ctl::CkTurnIndicator,  Ctl::NkTurnIndicator,
    Ctl::PassButton, Ctl::MessagesText, Ctl::SecondHelpButton,
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
    for (int card = 0; card < kCards; ++card) at(cardImage(card)).picture = facePicture(card);
    at(Ctl::DeckCard).picture = Picture::Back;
    at(Ctl::DeckCard).dragMode = DragMode::Manual;
    at(Ctl::Background).dragMode = DragMode::Manual;
    at(Ctl::NkHandFrame).penWidth = 5;
    at(Ctl::CkHandFrame).penWidth = 5;
    for (Ctl s : {Ctl::TargetFrame, Ctl::UpFrame, Ctl::DownNumberFrame, Ctl::DownColourFrame}) at(s).penWidth = 2;
    at(Ctl::TurnBox).enabled = false;
    at(Ctl::NavyBar).fill = kNavy;
    at(Ctl::NavyBar).ownFill = true;
    at(Ctl::RedBar).fill = kRed;
    at(Ctl::RedBar).ownFill = true;
    for (Ctl hidden : {Ctl::NavyBar, Ctl::RedBar, Ctl::RulesTitle, Ctl::RulesText, Ctl::SecondHelpButton})
        at(hidden).visible = false;
    at(Ctl::CkTurnIndicator).checked = true;
    rulesLines = {"Se sei Colore puoi scambiare la carta ", "che hai in mano con la carta Target se ",
                  "queste hanno lo stesso colore.",         "",
                  "Se sei Numero puoi scambiare la carta ", "che hai in mano con la carta Target se ",
                  "queste hanno lo stesso numero.",         ""};
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
        Ctl other = id == Ctl::CkTurnIndicator ? Ctl::NkTurnIndicator : Ctl::CkTurnIndicator;
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
    return Ctl::Window;
}

void Table::takeDirty(std::vector<Rect>& out) {
    out.clear();
    if (allDirty_) {
        out.push_back({0, 0, at(Ctl::Window).width, at(Ctl::Window).height});
        allDirty_ = false;
        dirty_.clear();
        return;
    }
    out.swap(dirty_);
    dirty_.clear();
    if (dirty_.capacity() < kMaxDirty) dirty_.reserve(kMaxDirty);
}

}  // namespace qbx
