#pragma once
// Texts cross between the 8-bit files of a session (setup files, logs) and
// the windows here, and only here.

#include <QString>
#include <QStringDecoder>

#include <string>

namespace qbx {

// An 8-bit text from a setup file: UTF-8 when it is valid UTF-8 (what a
// modern editor writes), otherwise the Western code page of Windows, in
// which the lab's setup files are often saved: Windows-1252, that is
// Latin-1 but for the 32 bytes 0x80-0x9F, which hold ’ “ ” – … € and the
// like. The five bytes that code page leaves unassigned stay the control
// characters Latin-1 gives them. Qt brings no codec for it, hence the table.
inline QString fromWindows1252(const std::string& bytes) {
    static constexpr char16_t kHighControls[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                   0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                                   0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                   0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString text(qsizetype(bytes.size()), Qt::Uninitialized);
    QChar* out = text.data();
    for (unsigned char byte : bytes)
        *out++ = QChar(byte >= 0x80 && byte <= 0x9F ? kHighControls[byte - 0x80] : char16_t(byte));
    return text;
}

inline QString fromBytes(const std::string& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    if (!utf8.hasError()) return text;
    return fromWindows1252(bytes);
}

// What the participant typed, as the bytes that go into the logs.
inline std::string toBytes(const QString& text) { return text.toUtf8().toStdString(); }

}  // namespace qbx
