#pragma once

#include "SyncStatus.h"

#include <optional>
#include <string>

namespace kalvor_sync {

// The status file: the status as one JSON document, `written` being when it is written.
std::string StatusToJson(const SyncStatus& status, const StatusTime& written);

// A status file read back, for the history a single run carries forward. Nothing, with what is
// wrong in `error`, for a text that is not a status document.
std::optional<SyncStatus> StatusFromJson(const std::string& text, std::string& error);

} // namespace kalvor_sync
