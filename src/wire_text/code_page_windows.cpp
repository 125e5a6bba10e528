// SPDX-License-Identifier: GPL-3.0-or-later
#include "code_page.h"

#include <windows.h>

#include <climits>
#include <optional>

// Qt for Windows converts the UTF forms, Latin-1 and the ANSI code page alone; the loggers'
// other code pages are converted by Windows itself, found by their usual names.
namespace wire_text::code_page {

namespace {

struct NamedCodePage {
    const char *name;  // lower case, without '-', '_' or blanks
    UINT number;
};

constexpr NamedCodePage kCodePages[] = {
    {"windows874", 874},    {"cp874", 874},
    {"windows1250", 1250},  {"cp1250", 1250},
    {"windows1251", 1251},  {"cp1251", 1251},
    {"windows1252", 1252},  {"cp1252", 1252},
    {"windows1253", 1253},  {"cp1253", 1253},
    {"windows1254", 1254},  {"cp1254", 1254},
    {"windows1255", 1255},  {"cp1255", 1255},
    {"windows1256", 1256},  {"cp1256", 1256},
    {"windows1257", 1257},  {"cp1257", 1257},
    {"windows1258", 1258},  {"cp1258", 1258},
    {"gbk", 936},           {"gb2312", 936},      {"cp936", 936},      {"windows936", 936},
    {"shiftjis", 932},      {"sjis", 932},        {"cp932", 932},      {"windows31j", 932},
    {"big5", 950},          {"cp950", 950},       {"windows950", 950},
    {"euckr", 949},         {"cp949", 949},       {"windows949", 949},
    {"iso88592", 28592},    {"iso88593", 28593},  {"iso88594", 28594}, {"iso88595", 28595},
    {"iso88596", 28596},    {"iso88597", 28597},  {"iso88598", 28598}, {"iso88599", 28599},
    {"iso885913", 28603},   {"iso885915", 28605},
    {"koi8r", 20866},       {"koi8u", 21866},
    {"ibm437", 437},        {"cp437", 437},       {"ibm850", 850},     {"cp850", 850},
    {"ibm866", 866},        {"cp866", 866},
};

// The Windows code page of that name, when Windows has it.
std::optional<UINT> CodePageNumber(const QByteArray &name)
{
    QByteArray bare;
    for (const char character : name) {
        if (character != '-' && character != '_' && character != ' ') {
            bare.append(character);
        }
    }
    bare = bare.toLower();
    for (const NamedCodePage &page : kCodePages) {
        if (bare == page.name) {
            return IsValidCodePage(page.number) ? std::optional<UINT>(page.number) : std::nullopt;
        }
    }
    return std::nullopt;
}

class WindowsDecoder final : public Decoder
{
public:
    explicit WindowsDecoder(UINT codePage) : m_codePage(codePage) {}

    QString decode(QByteArrayView bytes) override
    {
        std::optional<QString> text = convert(bytes);
        m_error = m_error || !text;
        return text.value_or(QString());
    }
    bool hasError() const override { return m_error; }
    QStringView take(char byte) override
    {
        // Windows converts whole characters only: the bytes wait until they make one.
        m_pending.append(byte);
        std::optional<QString> text = convert(m_pending);
        if (!text) {
            return {};
        }
        m_pending.clear();
        m_taken = *text;
        return m_taken;
    }
    void resetState() override
    {
        m_pending.clear();
        m_error = false;
    }

private:
    // The text of the bytes, or nothing when some of them form no character.
    std::optional<QString> convert(QByteArrayView bytes) const
    {
        if (bytes.isEmpty()) {
            return QString();
        }
        if (bytes.size() > INT_MAX) {
            return std::nullopt;
        }
        const int size = static_cast<int>(bytes.size());
        const int length =
            MultiByteToWideChar(m_codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
        if (length <= 0) {
            return std::nullopt;
        }
        QString text(length, Qt::Uninitialized);
        MultiByteToWideChar(m_codePage, MB_ERR_INVALID_CHARS, bytes.data(), size,
                            reinterpret_cast<wchar_t *>(text.data()), length);
        return text;
    }

    UINT m_codePage;
    bool m_error = false;
    QByteArray m_pending;
    QString m_taken;
};

class WindowsEncoder final : public Encoder
{
public:
    explicit WindowsEncoder(UINT codePage) : m_codePage(codePage) {}

    QByteArray encode(QStringView text) override
    {
        if (text.isEmpty()) {
            return {};
        }
        if (text.size() > INT_MAX) {
            m_error = true;
            return {};
        }
        // No best fit: a character the code page lacks is "?" and flagged, never a look-alike
        // ("A" for "Ā") that the logger would keep as if it had been typed.
        const auto *wide = reinterpret_cast<const wchar_t *>(text.utf16());
        const int size = static_cast<int>(text.size());
        BOOL usedDefault = FALSE;
        const int length = WideCharToMultiByte(m_codePage, WC_NO_BEST_FIT_CHARS, wide, size,
                                               nullptr, 0, "?", &usedDefault);
        if (length <= 0) {
            m_error = true;
            return {};
        }
        QByteArray bytes(length, Qt::Uninitialized);
        WideCharToMultiByte(m_codePage, WC_NO_BEST_FIT_CHARS, wide, size, bytes.data(), length,
                            "?", &usedDefault);
        m_error = m_error || usedDefault != FALSE;
        return bytes;
    }
    bool hasError() const override { return m_error; }

private:
    UINT m_codePage;
    bool m_error = false;
};

}  // namespace

std::unique_ptr<Decoder> MakePlatformDecoder(const QByteArray &name)
{
    if (const std::optional<UINT> number = CodePageNumber(name)) {
        return std::make_unique<WindowsDecoder>(*number);
    }
    return nullptr;
}

std::unique_ptr<Encoder> MakePlatformEncoder(const QByteArray &name)
{
    if (const std::optional<UINT> number = CodePageNumber(name)) {
        return std::make_unique<WindowsEncoder>(*number);
    }
    return nullptr;
}

}  // namespace wire_text::code_page
