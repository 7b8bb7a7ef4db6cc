#pragma once

#include <windows.h>

// "MfcButton": the class of the dialog's styled push button. A superclass of the system button:
// it shows its caption and reports clicks to its parent (BN_CLICKED) as a system button does.
inline constexpr char MFC_BUTTON_CLASS[] = "MfcButton";

// The message that carries the button's style text from the template initialisation data:
// wParam the text's length in bytes, lParam the text (no terminating zero).
inline constexpr UINT MFC_BUTTON_INIT_MESSAGE = 0x037C;

// Registers the class for this module; later calls do nothing. User-interface thread only.
bool AfxRegisterMfcButtonClass();
