// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <memory>
#include <optional>

// The converters of one code page, behind which the wire text's algorithm stays the same
// whoever converts: Qt where it knows the code page, else the platform's own converter (on
// Windows, whose Qt knows only the UTF forms, Latin-1 and the ANSI code page).
namespace wire_text::code_page {

// Turns bytes of the code page into text.
class Decoder
{
public:
    virtual ~Decoder() = default;
    // The text of the bytes. When some bytes form no character, hasError() is true from
    // then on and the text is not that of the bytes.
    virtual QString decode(QByteArrayView bytes) = 0;
    virtual bool hasError() const = 0;
    // Takes the next byte of a text: gives the characters it completes, or nothing while the
    // bytes taken since resetState() begin a longer character. Bytes that form no character
    // give nothing or text that does not encode back to them. The view holds until the next
    // call.
    virtual QStringView take(char byte) = 0;
    // Forgets the bytes taken and not yet given as text, and any error.
    virtual void resetState() = 0;
};

// Turns text into bytes of the code page.
class Encoder
{
public:
    virtual ~Encoder() = default;
    // The bytes of the text, a character the code page cannot hold written as a
    // replacement ("?"), after which hasError() is true.
    virtual QByteArray encode(QStringView text) = 0;
    virtual bool hasError() const = 0;
};

// Whether a decoder keeps nothing from one decode() or take() to the next, so that pieces
// convert alone, or holds the start of a character until its next bytes come.
enum class Carry { Nothing, CharacterStart };

// Whether the code page of that name can be converted both ways.
bool Converts(const QByteArray &name);

// The converters of the code page of that name, or of the system's code page for nothing.
// The name must be one that Converts().
std::unique_ptr<Decoder> MakeDecoder(const std::optional<QByteArray> &name, Carry carry);
std::unique_ptr<Encoder> MakeEncoder(const std::optional<QByteArray> &name);

// The platform's converters, for a name Qt does not know: null where the platform has none
// for it (always, but on Windows).
std::unique_ptr<Decoder> MakePlatformDecoder(const QByteArray &name);
std::unique_ptr<Encoder> MakePlatformEncoder(const QByteArray &name);

}  // namespace wire_text::code_page
