// SPDX-License-Identifier: GPL-3.0-or-later
#include "code_page.h"

// Qt converts every code page it knows of here (through ICU); there is nothing to add.
namespace wire_text::code_page {

std::unique_ptr<Decoder> MakePlatformDecoder(const QByteArray &)
{
    return nullptr;
}

std::unique_ptr<Encoder> MakePlatformEncoder(const QByteArray &)
{
    return nullptr;
}

}  // namespace wire_text::code_page
