#pragma once
// Every message the program shows is a modal box with one text, one OK
// button and the application title "QBXSolo" as its caption.

#include <QMessageBox>
#include <QWidget>

#include <string>

#include "desktop/widgets/Text.h"

namespace qbx {

inline constexpr const char* kApplicationTitle = "QBXSolo";

// Shows `text` modally and returns when OK is pressed. The box is no child
// of `parent`: the table window is disabled while a card glides, and a child
// window would be disabled with it, deaf to OK until the glide ends. It is
// modal for the whole program instead, kept above the table (which stays
// above everything) and centred over it.
inline void showMessageBox(QWidget* parent, const std::string& text) {
    QMessageBox box;
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box.setWindowTitle(QString::fromLatin1(kApplicationTitle));
    box.setText(fromBytes(text));
    box.setTextFormat(Qt::PlainText);
    box.setIcon(QMessageBox::NoIcon);
    box.setStandardButtons(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    if (parent && parent->isVisible()) {
        box.adjustSize();
        box.move(parent->frameGeometry().center() - box.rect().center());
    }
    box.exec();
}

}  // namespace qbx
