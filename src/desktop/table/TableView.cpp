#include "desktop/table/TableView.h"

#include <QButtonGroup>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include "desktop/table/CardPictures.h"
#include "desktop/table/TableCanvas.h"
#include "desktop/widgets/Fonts.h"
#include "desktop/widgets/Text.h"

namespace qbx {

namespace {

// A catalogue text is plain text: a button would take "&" as the mark of a
// keyboard shortcut, hide it and underline the next letter, so it is doubled.
void setTextIfChanged(QAbstractButton* button, const std::string& caption) {
    QString text = fromBytes(caption);
    text.replace(QLatin1Char('&'), QStringLiteral("&&"));
    if (button->text() != text) button->setText(text);
}

constexpr Ctl kLabels[] = {Ctl::TurnTitle,   Ctl::MessagesTitle, Ctl::CkCaption,        Ctl::NkCaption,
                           Ctl::RulesTitle,  Ctl::TargetCaption, Ctl::HandCounterTitle, Ctl::MoveCounterTitle,
                           Ctl::MoveCounter, Ctl::HandCounter};

}  // namespace

TableView::TableView(QWidget& host, const Table& table, TableInput* input) : host_(host), table_(&table) {
    host_.setFont(layoutFont("MS Sans Serif", 11));
    canvas_ = new TableCanvas(host_, table, input);
    canvas_->setGeometry(host_.rect());
    createWidgets();
    dirty_.reserve(64);
}

void TableView::createWidgets() {
    // Created bottom to top, all above the canvas.
    rulesText_ = new QPlainTextEdit(&host_);
    helpButton_ = new QPushButton(&host_);
    ckTurnIndicator_ = new QRadioButton(&host_);
    nkTurnIndicator_ = new QRadioButton(&host_);
    passButton_ = new QPushButton(&host_);
    messagesText_ = new QPlainTextEdit(&host_);
    secondHelpButton_ = new QPushButton(&host_);

    QPalette menuPalette = host_.palette();
    menuPalette.setColor(QPalette::Base, TableCanvas::menuColour());
    messagesText_->setPalette(menuPalette);
    rulesText_->setPalette(menuPalette);
    rulesText_->setReadOnly(true);
    rulesText_->setFrameShape(QFrame::NoFrame);

    const QFont buttonFont = layoutFont("MS Sans Serif", 16, true);
    passButton_->setFont(buttonFont);
    helpButton_->setFont(buttonFont);
    passButton_->setAutoDefault(false);
    helpButton_->setAutoDefault(false);
    secondHelpButton_->setIcon(QIcon(QPixmap::fromImage(helpButtonPicture())));
    secondHelpButton_->setIconSize(QSize(kHelpIconSize, kHelpIconSize));

    turnGroup_ = new QButtonGroup(&host_);
    turnGroup_->addButton(ckTurnIndicator_);
    turnGroup_->addButton(nkTurnIndicator_);
    turnGroup_->setExclusive(true);

    for (Ctl id : table_->widgets()) widgetFor(id)->setObjectName(QString::fromLatin1((*table_)[id].name));

    QWidget::setTabOrder(passButton_, ckTurnIndicator_);
    QWidget::setTabOrder(ckTurnIndicator_, nkTurnIndicator_);
    QWidget::setTabOrder(nkTurnIndicator_, messagesText_);
    QWidget::setTabOrder(messagesText_, helpButton_);
}

QWidget* TableView::widgetFor(Ctl id) const {
    switch (id) {
    case Ctl::MessagesText: return messagesText_;
    case Ctl::RulesText: return rulesText_;
    case Ctl::PassButton: return passButton_;
    case Ctl::HelpButton: return helpButton_;
    case Ctl::CkTurnIndicator: return ckTurnIndicator_;
    case Ctl::NkTurnIndicator: return nkTurnIndicator_;
    case Ctl::SecondHelpButton: return secondHelpButton_;
    default: return nullptr;
    }
}

void TableView::setTable(const Table& table) {
    table_ = &table;
    canvas_->setTable(table);
    syncedVersion_ = 0;
    fittedLabelVersion_ = 0;
    canvas_->update();
}

void TableView::setPictures(const std::shared_ptr<const Bitmap>& back, const std::shared_ptr<const Bitmap>& texture) {
    canvas_->setBackBitmap(back);
    canvas_->setTextureBitmap(texture);
}

void TableView::fitLabels(const std::function<void(Ctl, int, int)>& setSize) {
    if (table_->labelVersion() == fittedLabelVersion_) return;
    for (Ctl id : kLabels) {
        const Control& c = (*table_)[id];
        const QSize fitted = canvas_->fittedLabelSize(id, c.caption);
        if (fitted.width() != c.width || fitted.height() != c.height) setSize(id, fitted.width(), fitted.height());
    }
    // Read after the sizes went in: setting them is no change of a caption.
    fittedLabelVersion_ = table_->labelVersion();
}

bool TableView::syncWidgets() {
    if (table_->widgetVersion() == syncedVersion_) return false;
    updateWidgets();
    syncedVersion_ = table_->widgetVersion();
    return true;
}

void TableView::updateWidgets() {
    const Table& table = *table_;
    for (Ctl id : table.widgets()) {
        const Control& c = table[id];
        QWidget* w = widgetFor(id);
        const QRect geometry(c.left, c.top, c.width, c.height);
        if (w->geometry() != geometry) w->setGeometry(geometry);
        if (w->isHidden() == c.visible) w->setVisible(c.visible);
        if (w->isEnabled() != c.enabled) w->setEnabled(c.enabled);
    }
    setTextIfChanged(passButton_, table[Ctl::PassButton].caption);
    setTextIfChanged(helpButton_, table[Ctl::HelpButton].caption);
    setTextIfChanged(ckTurnIndicator_, table[Ctl::CkTurnIndicator].caption);
    setTextIfChanged(nkTurnIndicator_, table[Ctl::NkTurnIndicator].caption);

    const bool ck = table[Ctl::CkTurnIndicator].checked;
    const bool nk = table[Ctl::NkTurnIndicator].checked;
    if (ckTurnIndicator_->isChecked() != ck || nkTurnIndicator_->isChecked() != nk) {
        turnGroup_->setExclusive(false);
        ckTurnIndicator_->setChecked(ck);
        nkTurnIndicator_->setChecked(nk);
        turnGroup_->setExclusive(true);
    }

    if (table.rulesLines != shownRulesLines_) {
        shownRulesLines_ = table.rulesLines;
        QStringList lines;
        for (const std::string& line : shownRulesLines_) lines << fromBytes(line);
        rulesText_->setPlainText(lines.join(QLatin1Char('\n')));
    }
}

void TableView::repaintDirty(Table& table) {
    if (table.allDirty()) {
        table.takeDirty(dirty_);
        canvas_->update();
        return;
    }
    table.takeDirty(dirty_);
    for (const Rect& r : dirty_) canvas_->update(r.left, r.top, r.width, r.height);
}

}  // namespace qbx
