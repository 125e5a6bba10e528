// SPDX-License-Identifier: GPL-3.0-or-later
#include "wire_text.h"

#include "code_page.h"

#include <QByteArray>

#include <array>
#include <memory>
#include <numeric>
#include <optional>

namespace {

using wire_text::code_page::Carry;
using wire_text::code_page::Decoder;
using wire_text::code_page::Encoder;

// No code page the tool meets needs more bytes than this for one character.
constexpr qsizetype kLongestCharacterBytes = 4;
constexpr char16_t kEscapedByteBase = 0xDC00;
constexpr char16_t kLastEscapedByte = kEscapedByteBase + 0xFF;

// The selected code page's name, or nothing for the system's.
std::optional<QByteArray> &SelectedName()
{
    static std::optional<QByteArray> name;
    return name;
}

// Pieces convert alone unless the decoder is told to carry a character's start.
std::unique_ptr<Decoder> MakeDecoder(Carry carry = Carry::Nothing)
{
    return wire_text::code_page::MakeDecoder(SelectedName(), carry);
}

std::unique_ptr<Encoder> MakeEncoder()
{
    return wire_text::code_page::MakeEncoder(SelectedName());
}

// The text of the bytes when they decode without error and encode back to the same bytes.
std::optional<QString> DecodeExactly(QByteArrayView bytes)
{
    const std::unique_ptr<Decoder> decoder = MakeDecoder();
    QString text = decoder->decode(bytes);
    if (decoder->hasError()) {
        return std::nullopt;
    }
    const std::unique_ptr<Encoder> encoder = MakeEncoder();
    const QByteArray again = encoder->encode(text);
    if (encoder->hasError() || again != bytes) {
        return std::nullopt;
    }
    return text;
}

// Whether the code page writes every ASCII character as that one byte and reads it back
// so: then a byte below 0x80 where a character starts is that character. True of the
// system code pages and the code pages of loggers; false of a code page that shifts.
bool KeepsAsciiAsItIs(Decoder &decoder, Encoder &encoder)
{
    std::array<char, 0x80> ascii{};
    std::iota(ascii.begin(), ascii.end(), char{0});
    const QByteArrayView bytes(ascii.data(), static_cast<qsizetype>(ascii.size()));
    const QString text = decoder.decode(bytes);
    decoder.resetState();
    return text == QLatin1String(bytes) && encoder.encode(text) == bytes;
}

bool IsEscapedByte(QChar character)
{
    return character.unicode() >= kEscapedByteBase && character.unicode() <= kLastEscapedByte;
}

}  // namespace

QString FromWire(std::string_view bytes)
{
    const QByteArrayView wire(bytes.data(), static_cast<qsizetype>(bytes.size()));
    if (auto whole = DecodeExactly(wire)) {
        return *whole;
    }
    // Character by character, with one decoder and one encoder for the whole text (making
    // them is what costs, above all for a code page converted by ICU). From each position
    // the decoder is fed one byte at a time until it gives text; that text is taken when it
    // encodes back to the bytes it starts with, else the first byte is escaped. Either way
    // the decoder starts afresh at the next position, so a byte costs a bounded number of
    // conversions and the whole text a number linear in its length.
    const std::unique_ptr<Decoder> decoder = MakeDecoder(Carry::CharacterStart);
    const std::unique_ptr<Encoder> encoder = MakeEncoder();
    QString text;
    text.reserve(wire.size());
    const bool asciiAsItIs = KeepsAsciiAsItIs(*decoder, *encoder);
    qsizetype at = 0;
    bool decoderHoldsBytes = false;
    while (at < wire.size()) {
        if (asciiAsItIs && static_cast<unsigned char>(wire[at]) < 0x80) {
            text += QLatin1Char(wire[at]);
            ++at;
            continue;
        }
        if (decoderHoldsBytes) {
            decoder->resetState();
        }
        qsizetype taken = 0;
        qsizetype fed = 0;
        while (fed < kLongestCharacterBytes && at + fed < wire.size()) {
            ++fed;
            const QStringView characters = decoder->take(wire[at + fed - 1]);
            if (characters.isEmpty()) {
                continue; // the start of a longer character, or of nothing
            }
            const QByteArray again = encoder->encode(characters);
            if (!again.isEmpty() && again.size() <= fed && wire.sliced(at).startsWith(again)) {
                text += characters;
                taken = again.size();
            }
            break;
        }
        // Only bytes fed and not taken can have left state behind in the decoder.
        decoderHoldsBytes = taken != fed;
        if (taken == 0) {
            text += QChar(
                static_cast<char16_t>(kEscapedByteBase + static_cast<unsigned char>(wire[at])));
            taken = 1;
        }
        at += taken;
    }
    return text;
}

bool IsCharacterBoundary(std::string_view bytes, std::size_t at)
{
    if (at == 0 || at >= bytes.size()) {
        return true;
    }
    return FromWire(bytes.substr(0, at)) + FromWire(bytes.substr(at)) == FromWire(bytes);
}

std::string ToWire(const QString &text)
{
    const std::unique_ptr<Encoder> encoder = MakeEncoder();
    std::string bytes;
    qsizetype runStart = 0;
    const auto flushRun = [&](qsizetype end) {
        const QByteArray encoded = encoder->encode(QStringView(text).sliced(runStart, end - runStart));
        bytes.append(encoded.constData(), static_cast<std::size_t>(encoded.size()));
    };
    for (qsizetype at = 0; at < text.size(); ++at) {
        const QChar character = text.at(at);
        if (character.isHighSurrogate() && at + 1 < text.size() && text.at(at + 1).isLowSurrogate()) {
            ++at;  // a character outside the basic plane, never an escaped byte
            continue;
        }
        if (IsEscapedByte(character)) {
            flushRun(at);
            bytes.push_back(static_cast<char>(character.unicode() - kEscapedByteBase));
            runStart = at + 1;
        }
    }
    flushRun(text.size());
    return bytes;
}

std::optional<QString> FirstCharacterOutsideCodePage(const QString &text)
{
    for (qsizetype at = 0; at < text.size(); ++at) {
        qsizetype length = 1;
        if (text.at(at).isHighSurrogate() && at + 1 < text.size() &&
            text.at(at + 1).isLowSurrogate()) {
            length = 2;
        }
        const QStringView character = QStringView(text).sliced(at, length);
        if (length == 1 && IsEscapedByte(character.front())) {
            continue; // a byte read from a logger goes back as itself
        }
        // Some encoders write a replacement without flagging an error: the character is
        // held only when its bytes read back as itself.
        const std::unique_ptr<Encoder> encoder = MakeEncoder();
        const QByteArray bytes = encoder->encode(character);
        const std::unique_ptr<Decoder> decoder = MakeDecoder();
        const QString again = decoder->decode(bytes);
        if (encoder->hasError() || decoder->hasError() || again != character) {
            return character.toString();
        }
        at += length - 1;
    }
    return std::nullopt;
}

TextOutsideCodePageError::TextOutsideCodePageError(const QString &character)
    : std::runtime_error("text outside the code page"), m_character(character)
{
}

QString TextOutsideCodePageError::message() const
{
    return QStringLiteral("The loggers' code page has no character '%1': nothing was sent.")
        .arg(m_character);
}

std::string ToWireForSending(const QString &text)
{
    if (const std::optional<QString> character = FirstCharacterOutsideCodePage(text)) {
        throw TextOutsideCodePageError(*character);
    }
    return ToWire(text);
}

namespace wire_text {

bool SelectCodePage(const QString &name)
{
    if (name.compare(QLatin1String(kSystemCodePage), Qt::CaseInsensitive) == 0) {
        SelectedName().reset();
        return true;
    }
    const QByteArray encodedName = name.toLatin1();
    if (!code_page::Converts(encodedName)) {
        return false;
    }
    SelectedName() = encodedName;
    return true;
}

QString SelectedCodePage()
{
    const auto &name = SelectedName();
    return name ? QString::fromLatin1(*name) : QString::fromLatin1(kSystemCodePage);
}

std::optional<QString> SelectCodePageFromEnvironment()
{
    const QString name = qEnvironmentVariable(kCodePageVariable);
    if (name.isEmpty() || SelectCodePage(name)) {
        return std::nullopt;
    }
    return name;
}

}  // namespace wire_text
