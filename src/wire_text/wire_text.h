// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

// Controls hold QString; the wire holds bytes of the loggers' code page. Text is
// converted here, at the edge between the two, and nowhere else.
//
// The conversion never loses a byte. Bytes that form a character of the code page
// become that character; any other byte becomes the code point U+DC00 plus the byte (a
// lone low surrogate, which no decoder produces) and goes back to the wire as the same
// byte. So a text read from a logger and written back unchanged is the same bytes.
std::string ToWire(const QString &text);
QString FromWire(std::string_view bytes);

// The first character of the text that the code page cannot hold (one or two UTF-16
// units), or nothing when it holds them all. ToWire would write a substitute for such a
// character ("?", or the code page's own substitute byte, as its converter chooses).
std::optional<QString> FirstCharacterOutsideCodePage(const QString &text);

// A text that must go to a logger holds a character its code page cannot hold.
class TextOutsideCodePageError : public std::runtime_error
{
public:
    explicit TextOutsideCodePageError(const QString &character);
    const QString &character() const { return m_character; }
    // The refusal the operator reads, the window's and the command line's alike.
    QString message() const;

private:
    QString m_character;
};

// ToWire for a text that is to be sent: throws TextOutsideCodePageError, naming the first
// character the code page cannot hold, instead of writing a substitute for it.
std::string ToWireForSending(const QString &text);

// Whether cutting the bytes at `at` splits no character of the code page.
bool IsCharacterBoundary(std::string_view bytes, std::size_t at);

namespace wire_text {

// The code page used until another is selected: the system's (the ANSI code page on
// Windows, UTF-8 elsewhere).
inline constexpr char kSystemCodePage[] = "system";

// Selects the loggers' code page by name ("GBK", "windows-1252", ...) for every later
// conversion. Returns false, keeping the current one, when this build cannot convert
// that code page.
bool SelectCodePage(const QString &name);
QString SelectedCodePage();

// The environment variable that names the loggers' code page when it is not the PC's own.
inline constexpr char kCodePageVariable[] = "TARNWICK_CODE_PAGE";

// Selects the code page the variable names, if it names one. Returns the name when this
// build cannot convert it (the system's code page stays), so the caller can say so.
std::optional<QString> SelectCodePageFromEnvironment();

}  // namespace wire_text
