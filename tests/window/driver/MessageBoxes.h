#pragma once

#include <string>
#include <vector>
#include <windows.h>

namespace driver {

enum class BoxIcon { None, Exclamation, Error, Information, Question };

const char* BoxIconName(BoxIcon icon);

struct MessageBoxInfo {
    HWND window = nullptr;
    std::string text;
    std::string caption;
    BoxIcon icon = BoxIcon::None;
};

// The open message boxes of the process: dialogs whose text is the one static control with the
// message-box text number 0xFFFF (an About box has several such statics and is no message box).
// The icon is told by its looks on the screen, compared with the system's standard icons.
std::vector<MessageBoxInfo> ListMessageBoxes(DWORD processId);

// Waits up to `milliseconds` for a message box of the process; its window is null if none came.
MessageBoxInfo WaitForMessageBox(DWORD processId, DWORD milliseconds);

// Presses the box's OK button and waits until it is gone.
bool DismissMessageBox(HWND box);

} // namespace driver
