#pragma once
// The table window's controls as state: where each lies, whether it shows,
// what it shows. The game rules set this state; the Qt view only draws it and
// keeps its real widgets in step with it.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/rules/Cards.h"

namespace qbx {

// Every control of the table window, and the window itself.
enum class Ctl : uint8_t {
    Window,
    // The six card images, one per card (cardImage): each always shows the same card.
    Card2H,
    Card3H,
    Card4H,
    Card2C,
    Card3C,
    Card4C,
    // The deck, where dealt cards come from; it shows the goal card's face
    // when ViewTarget is TRUE. Below everything, the background picture.
    DeckCard,
    Background,
    // The frames around the six card positions.
    NkHandFrame,
    CkHandFrame,
    TargetFrame,
    UpFrame,
    DownNumberFrame,
    DownColourFrame,
    // The turn box, two bars that are never shown, the move and hand counter boxes.
    TurnBox,
    NavyBar,
    MoveCounterBox,
    HandCounterBox,
    RedBar,
    // Captions and counters.
    TurnTitle,
    MessagesTitle,
    CkCaption,
    NkCaption,
    RulesTitle,
    TargetCaption,
    HandCounterTitle,
    MoveCounterTitle,
    MoveCounter,
    HandCounter,
    // Widgets: the message and (hidden) rules text boxes, the pass and help
    // buttons, the turn indicators and a second help button that is never shown.
    MessagesText,
    RulesText,
    PassButton,
    HelpButton,
    CkTurnIndicator,
    NkTurnIndicator,
    SecondHelpButton,
    Count
};
constexpr int kControlCount = static_cast<int>(Ctl::Count);

// The table window's size as designed, in device-independent pixels: the
// window opens at this size, and a screen smaller than it cannot show the
// whole table.
inline constexpr int kTableWidth = 1024;
inline constexpr int kTableHeight = 768;

// What kind of control each is: the window, the light controls the window
// paints itself (pictures, shapes, labels), and real widgets.
enum class CtlKind : uint8_t { Form, Image, Shape, Label, TextBox, Button, RadioButton, PictureButton };

// What a card image shows. Faces are chosen by number and colour.
enum class Picture : uint8_t { None, Face2H, Face3H, Face4H, Face2C, Face3C, Face4C, Back };
// The face of a card, by card index.
inline Picture facePicture(int card) { return static_cast<Picture>(static_cast<int>(Picture::Face2H) + card); }

enum class DragMode : uint8_t { Automatic, Manual };

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};
inline constexpr Rgb kGrey{128, 128, 128};
inline constexpr Rgb kGreen{0, 128, 0};
inline constexpr Rgb kAqua{0, 255, 255};
inline constexpr Rgb kNavy{0, 0, 128};
inline constexpr Rgb kRed{255, 0, 0};

struct Rect {
    int left = 0, top = 0, width = 0, height = 0;
    bool contains(int x, int y) const { return x >= left && y >= top && x < left + width && y < top + height; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct Control {
    Ctl id = Ctl::Window;
    CtlKind kind = CtlKind::Form;
    const char* name = "";
    int left = 0, top = 0, width = 0, height = 0;
    bool visible = true;
    bool enabled = true;
    std::string caption;  // labels, buttons, radio buttons
    Rgb pen = kGrey;      // shapes
    int penWidth = 1;     // shapes
    Rgb fill{};           // shapes with a colour of their own (the two bars)
    bool ownFill = false;
    Picture picture = Picture::None;          // images
    DragMode dragMode = DragMode::Automatic;  // card images
    bool checked = false;                     // radio buttons

    Rect rect() const { return {left, top, width, height}; }
    // Images, shapes and labels are drawn by the window itself; the others
    // are widgets of their own that always lie above them.
    bool isLight() const { return kind == CtlKind::Image || kind == CtlKind::Shape || kind == CtlKind::Label; }
};

class Table {
public:
    Table();

    const Control& operator[](Ctl id) const { return controls_[static_cast<int>(id)]; }
    const std::array<Control, kControlCount>& controls() const { return controls_; }
    // Light controls from bottom to top.
    const std::vector<Ctl>& stacking() const { return stacking_; }
    // Widgets from bottom to top; all of them lie above every light control.
    const std::vector<Ctl>& widgets() const { return widgets_; }

    void setPos(Ctl id, int left, int top);
    void setSize(Ctl id, int width, int height);
    void setVisible(Ctl id, bool visible);
    void setEnabled(Ctl id, bool enabled);
    void setCaption(Ctl id, const std::string& caption);
    void setPen(Ctl id, Rgb pen);
    void setPicture(Ctl id, Picture picture);
    void setDragMode(Ctl id, DragMode mode);
    void setChecked(Ctl id, bool checked);  // radio buttons: checking one unchecks the other
    void raiseToTop(Ctl id);
    void lowerToBottom(Ctl id);

    bool formEnabled() const { return formEnabled_; }
    bool formVisible() const { return formVisible_; }
    void setFormEnabled(bool enabled);
    void setFormVisible(bool visible);

    std::vector<std::string> rulesLines;  // the hidden rules box

    // The control that takes the mouse at a client point: the topmost
    // visible and enabled one, widgets first, or the window itself.
    Ctl controlAt(int x, int y) const;

    // Regions of light controls that changed since the last call, for the
    // view to repaint. Old and new places of a moved control both count.
    void takeDirty(std::vector<Rect>& out);
    bool allDirty() const { return allDirty_; }
    // Bumped whenever a widget, the window's flags or a caption changes.
    uint64_t widgetVersion() const { return widgetVersion_; }
    // Bumped whenever a label changes: the view measures labels only then,
    // not when a glide ends and the window is enabled again.
    uint64_t labelVersion() const { return labelVersion_; }

private:
    Control& at(Ctl id) { return controls_[static_cast<int>(id)]; }
    void touch(const Control& c);

    std::array<Control, kControlCount> controls_;
    std::vector<Ctl> stacking_;
    std::vector<Ctl> widgets_;
    std::vector<Rect> dirty_;
    bool allDirty_ = true;
    bool formEnabled_ = true;
    bool formVisible_ = false;
    uint64_t widgetVersion_ = 1;
    uint64_t labelVersion_ = 1;
};

// The image of each card: card index 0 to 5 (2H 3H 4H 2C 3C 4C), and back.
inline Ctl cardImage(int card) { return static_cast<Ctl>(static_cast<int>(Ctl::Card2H) + card); }
inline bool isCardImage(Ctl id) { return id >= Ctl::Card2H && id <= Ctl::Card4C; }
// The card an image shows; -1 for any other control.
inline int cardOfImage(Ctl id) { return isCardImage(id) ? static_cast<int>(id) - static_cast<int>(Ctl::Card2H) : -1; }

}  // namespace qbx
