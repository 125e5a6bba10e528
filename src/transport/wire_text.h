#pragma once

#include <QString>

#include <string>
#include <string_view>

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

// Bytes that decode and encode back unchanged end on a whole character, so cutting after
// their last byte splits no multi-byte character.
inline bool EndsOnWholeLocalCharacter(std::string_view bytes)
{
    const std::string text(bytes);
    return ToWire(FromWire(text)) == text;
}
