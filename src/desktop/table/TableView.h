#pragma once
// The table as the participant sees it: the canvas of light controls and
// the real widgets (the pass and help buttons, the turn radio buttons, the
// messages and rules boxes), built into a host widget and kept in step with
// a `Table`. The participant's table window hosts one and forwards its input
// to the game; the replay hosts one off the screen and only draws it.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/bitmap/Bitmap.h"
#include "core/game/Table.h"

class QButtonGroup;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace qbx {

class TableCanvas;
class TableInput;

class TableView {
public:
    // Creates the canvas and the widgets as children of `host`, the canvas
    // below them all. `input` receives the mouse on the canvas; none takes
    // no input.
    TableView(QWidget& host, const Table& table, TableInput* input);

    // A table of another game (a replay that started again): everything is
    // measured, synchronised and painted anew.
    void setTable(const Table& table);
    const Table& table() const { return *table_; }

    TableCanvas* canvas() const { return canvas_; }
    QWidget* widgetFor(Ctl id) const;
    QPushButton* passButton() const { return passButton_; }
    QPushButton* helpButton() const { return helpButton_; }
    QPushButton* secondHelpButton() const { return secondHelpButton_; }
    QRadioButton* ckTurnIndicator() const { return ckTurnIndicator_; }
    QRadioButton* nkTurnIndicator() const { return nkTurnIndicator_; }

    // The card back and the background picture the game read.
    void setPictures(const std::shared_ptr<const Bitmap>& back, const std::shared_ptr<const Bitmap>& texture);

    // Labels fit their captions; the game needs their sizes for hit testing,
    // so each measured size that differs goes to `setSize`. Only when a label
    // changed since the last call.
    void fitLabels(const std::function<void(Ctl, int, int)>& setSize);
    // Widget places, captions, checks and the rules text, when any changed.
    // True when they did.
    bool syncWidgets();
    // Repaints the regions the table marks dirty (all of it when it says so).
    void repaintDirty(Table& table);

private:
    void createWidgets();
    void updateWidgets();

    QWidget& host_;
    const Table* table_;
    TableCanvas* canvas_ = nullptr;
    QPushButton* passButton_ = nullptr;
    QPushButton* helpButton_ = nullptr;
    QPushButton* secondHelpButton_ = nullptr;
    QRadioButton* ckTurnIndicator_ = nullptr;
    QRadioButton* nkTurnIndicator_ = nullptr;
    QButtonGroup* turnGroup_ = nullptr;
    QPlainTextEdit* messagesText_ = nullptr;
    QPlainTextEdit* rulesText_ = nullptr;

    std::vector<Rect> dirty_;
    uint64_t syncedVersion_ = 0;
    uint64_t fittedLabelVersion_ = 0;
    std::vector<std::string> shownRulesLines_;
};

}  // namespace qbx
