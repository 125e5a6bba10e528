#pragma once

#include <QString>

#include <string>

// Controls hold QString; the wire holds bytes of the local 8-bit code page. Text is
// converted here, at the edge between the two, and nowhere else.
inline std::string ToWire(const QString &text)
{
    return text.toLocal8Bit().toStdString();
}

inline QString FromWire(const std::string &bytes)
{
    return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
}
