#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>
#include <windows.h>

// A dialog's template initialisation data: a resource of type 240 named like the dialog,
// holding records of
//   WORD control number, WORD message, DWORD data length, the data (no terminating zero)
// ended by a zero word. Each record is a message sent to its control at dialog initialisation.
inline constexpr WORD RT_DLGINIT_TYPE = 240;

struct DialogInitRecord {
    WORD controlId;
    WORD message;
    std::span<const std::byte> data;
};

// The records of the data, or nothing when a record runs past its end or the ending word is
// missing.
std::optional<std::vector<DialogInitRecord>> ParseDialogInitData(std::span<const std::byte> data);

// Sends each record of the dialog's initialisation data, if it has any, to its control.
// Returns false only when the resource exists but is malformed.
bool AfxExecuteDlgInit(HWND dialog, UINT templateId);
