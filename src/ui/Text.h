#pragma once
// Texts cross between the 8-bit files of a session (setup files, logs) and
// the windows here, and only here.

#include <QString>
#include <QStringDecoder>

#include <string>

namespace qbx {

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

}  // namespace qbx
