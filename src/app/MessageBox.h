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

// Shows `text` modally and returns when OK is pressed.
inline void showMessageBox(QWidget* parent, const std::string& text)
{
    QMessageBox box(parent);
    box.setWindowTitle(QString::fromLatin1(kApplicationTitle));
    box.setText(fromBytes(text));
    box.setTextFormat(Qt::PlainText);
    box.setIcon(QMessageBox::NoIcon);
    box.setStandardButtons(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
}

}  // namespace qbx
