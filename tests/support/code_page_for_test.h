// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "wire_text/wire_text.h"

// Selects the loggers' code page for one test, and the system's again when it ends, for
// tests whose texts need characters that the system's code page may not hold (a Windows
// PC's ANSI code page holds no Chinese).
class CodePageForTest
{
public:
    explicit CodePageForTest(const char *name)
        : m_selected(wire_text::SelectCodePage(QString::fromLatin1(name)))
    {
    }
    ~CodePageForTest() { wire_text::SelectCodePage(QString::fromLatin1(wire_text::kSystemCodePage)); }
    CodePageForTest(const CodePageForTest &) = delete;
    CodePageForTest &operator=(const CodePageForTest &) = delete;

    bool selected() const { return m_selected; }

private:
    bool m_selected;
};
