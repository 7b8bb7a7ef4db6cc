#include "framework/MfcButton.h"

namespace {

WNDPROC systemButtonProc = nullptr;

LRESULT CALLBACK MfcButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == MFC_BUTTON_INIT_MESSAGE) {
        // The style text asks for looks (image placement, cursor, tooltip) that a classic
        // system button does not have; the button keeps the system's look and takes the record
        // as handled.
        return TRUE;
    }
    return ::CallWindowProcA(systemButtonProc, window, message, wParam, lParam);
}

} // namespace

bool AfxRegisterMfcButtonClass() {
    if (systemButtonProc != nullptr) {
        return true;
    }
    WNDCLASSEXA buttonClass{};
    buttonClass.cbSize = sizeof buttonClass;
    if (!::GetClassInfoExA(nullptr, "BUTTON", &buttonClass)) {
        return false;
    }
    const WNDPROC original = buttonClass.lpfnWndProc;
    buttonClass.lpfnWndProc = &MfcButtonProc;
    buttonClass.hInstance = ::GetModuleHandleA(nullptr);
    buttonClass.lpszClassName = MFC_BUTTON_CLASS;
    buttonClass.style &= ~static_cast<UINT>(CS_GLOBALCLASS);
    systemButtonProc = original;
    if (::RegisterClassExA(&buttonClass) == 0) {
        systemButtonProc = nullptr;
        return false;
    }
    return true;
}
