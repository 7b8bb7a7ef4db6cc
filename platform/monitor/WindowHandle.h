#pragma once

namespace platform {

// A window that other threads post notifications to: an HWND on Windows (which converts to it
// without a cast), a notification queue of the POSIX backend elsewhere. Never owned by the holder.
using WindowHandle = void*;

} // namespace platform
