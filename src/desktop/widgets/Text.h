#pragma once
// Texts cross between the 8-bit files of a session (setup files, logs) and
// the windows here, and only here.

#include <QString>

#include <string>

#include "core/text/Encoding.h"

namespace qbx {

// An 8-bit text from a setup file or a log, read as every file the tools
// write reads it (core/text/Encoding.h): UTF-8 when it is valid UTF-8,
// otherwise Windows-1252.
inline QString fromBytes(const std::string& bytes) {
    const std::string utf8 = asUtf8(bytes);
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

// What the participant typed, as the bytes that go into the logs.
inline std::string toBytes(const QString& text) { return text.toUtf8().toStdString(); }

}  // namespace qbx
