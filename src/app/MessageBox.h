#pragma once
// Every message the program shows is a modal box with one text, one OK
// button and the application title "QBXSolo" as its caption. The texts come
// from 8-bit INI files, so they are turned into QString here as well.

#include <QMessageBox>
#include <QString>
#include <QStringDecoder>
#include <QWidget>

#include <string>

namespace qbx {

inline constexpr const char* kApplicationTitle = "QBXSolo";

// An 8-bit text from a setup file: UTF-8 when it is valid UTF-8 (what a
// modern editor writes), Latin-1 otherwise (one byte, one character).
inline QString fromBytes(const std::string& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
}

// What the participant typed, as the bytes that go into the logs.
inline std::string toBytes(const QString& text)
{
    return text.toUtf8().toStdString();
}

// Shows `text` modally and returns when OK is pressed. The box is no child
// of `parent`: the table window is disabled while a card glides, and a child
// window would be disabled with it, deaf to OK until the glide ends. It is
// modal for the whole program instead, kept above the table (which stays
// above everything) and centred over it.
inline void showMessageBox(QWidget* parent, const std::string& text)
{
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
