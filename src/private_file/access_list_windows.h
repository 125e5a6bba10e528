// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The Windows security calls behind private_file, without Qt.

#include <windows.h>

namespace private_file {

// Gives the file at path an access list that grants the user running the tool full
// access and nobody else anything, protected from its folder's inherited entries.
// Returns ERROR_SUCCESS or the system's error code.
DWORD GrantUserAlone(const wchar_t *path);

// Whether the access list of the file at path lets anyone but the user running the tool
// read it (the system itself aside); also when the file has no list (which grants all) or the list cannot be read.
bool OthersMayRead(const wchar_t *path);

} // namespace private_file
