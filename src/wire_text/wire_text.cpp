#include "wire_text.h"

#include <QByteArray>
#include <QStringDecoder>
#include <QStringEncoder>

#include <optional>

namespace {

// No code page the tool meets needs more bytes than this for one character.
constexpr qsizetype kLongestCharacterBytes = 4;
constexpr char16_t kEscapedByteBase = 0xDC00;
constexpr char16_t kLastEscapedByte = kEscapedByteBase + 0xFF;

// Stateless so that pieces convert alone; a leading byte-order mark is text like any other.
constexpr auto kFlags = QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom;

// The selected code page's name, or nothing for the system's.
std::optional<QByteArray> &SelectedName()
{
    static std::optional<QByteArray> name;
    return name;
}

QStringDecoder MakeDecoder()
{
    const auto &name = SelectedName();
    return name ? QStringDecoder(name->constData(), kFlags)
                : QStringDecoder(QStringConverter::System, kFlags);
}

QStringEncoder MakeEncoder()
{
    const auto &name = SelectedName();
    return name ? QStringEncoder(name->constData(), kFlags)
                : QStringEncoder(QStringConverter::System, kFlags);
}

// The text of the bytes when they decode without error and encode back to the same bytes.
std::optional<QString> DecodeExactly(QByteArrayView bytes)
{
    QStringDecoder decoder = MakeDecoder();
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        return std::nullopt;
    }
    QStringEncoder encoder = MakeEncoder();
    const QByteArray again = encoder.encode(text);
    if (encoder.hasError() || again != bytes) {
        return std::nullopt;
    }
    return text;
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
    // Character by character: the shortest run of bytes that is one exact character,
    // else the first byte escaped.
    QString text;
    qsizetype at = 0;
    while (at < wire.size()) {
        qsizetype taken = 0;
        for (qsizetype length = 1; length <= kLongestCharacterBytes && at + length <= wire.size();
             ++length) {
            const auto character = DecodeExactly(wire.sliced(at, length));
            if (character && !character->isEmpty()) {
                text += *character;
                taken = length;
                break;
            }
        }
        if (taken == 0) {
            text += QChar(static_cast<char16_t>(kEscapedByteBase + static_cast<unsigned char>(wire[at])));
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
    QStringEncoder encoder = MakeEncoder();
    std::string bytes;
    qsizetype runStart = 0;
    const auto flushRun = [&](qsizetype end) {
        const QByteArray encoded = encoder.encode(QStringView(text).sliced(runStart, end - runStart));
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

namespace wire_text {

bool SelectCodePage(const QString &name)
{
    if (name.compare(QLatin1String(kSystemCodePage), Qt::CaseInsensitive) == 0) {
        SelectedName().reset();
        return true;
    }
    const QByteArray encodedName = name.toLatin1();
    if (!QStringDecoder(encodedName.constData()).isValid() ||
        !QStringEncoder(encodedName.constData()).isValid()) {
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
