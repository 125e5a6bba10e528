// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

namespace cli {

// Reads one line of standard input as a secret, without its line end. On a terminal the
// prompt goes to standard error and what is typed is not echoed. Nothing when the input
// has ended.
std::optional<QString> ReadSecretFromStandardInput(const QString &prompt);

} // namespace cli
