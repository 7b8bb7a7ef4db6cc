#include "framework/DialogEx.h"

#include "framework/DialogInitData.h"
#include "framework/MfcButton.h"
#include "framework/WinApp.h"

namespace {

// The messages whose result a dialog procedure returns itself instead of through DWLP_MSGRESULT.
bool ResultReturnedDirectly(UINT message) {
    switch (message) {
    case WM_QUERYDRAGICON:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
        return true;
    default:
        return false;
    }
}

HWND DefaultOwner(const CWnd* dialog) {
    const CWinApp* app = AfxGetApp();
    if (app == nullptr || app->m_pMainWnd == nullptr || app->m_pMainWnd == dialog) {
        return nullptr;
    }
    const HWND main = app->m_pMainWnd->GetSafeHwnd();
    return ::IsWindow(main) ? main : nullptr;
}

} // namespace

INT_PTR CDialogEx::DoModal() {
    AfxRegisterMfcButtonClass();
    const HWND owner = m_pParentWnd != nullptr ? m_pParentWnd->GetSafeHwnd() : DefaultOwner(this);
    const INT_PTR result =
        ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_templateId), owner,
                          &CDialogEx::DialogProc, reinterpret_cast<LPARAM>(this));
    m_hWnd = nullptr;
    return result;
}

BOOL CDialogEx::UpdateData(BOOL saveAndValidate) {
    CDataExchange exchange(this, saveAndValidate != FALSE);
    DoDataExchange(&exchange);
    return TRUE;
}

BOOL CDialogEx::OnInitDialog() {
    AfxExecuteDlgInit(m_hWnd, m_templateId);
    UpdateData(FALSE);
    return TRUE;
}

void CDialogEx::OnOK() {
    UpdateData(TRUE);
    EndDialog(IDOK);
}

void CDialogEx::OnCancel() {
    EndDialog(IDCANCEL);
}

INT_PTR CALLBACK CDialogEx::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrA(window, DWLP_USER, lParam);
        auto* dialog = reinterpret_cast<CDialogEx*>(lParam);
        dialog->m_hWnd = window;
        RECT before{};
        ::GetWindowRect(window, &before);
        const BOOL result = dialog->OnInitDialog();
        RECT after{};
        ::GetWindowRect(window, &after);
        // The template's origin is no screen position: a dialog that did not place itself is
        // centred, over its owner or on the screen.
        if (::EqualRect(&before, &after)) {
            dialog->CenterWindow();
        }
        return result;
    }
    auto* dialog = reinterpret_cast<CDialogEx*>(::GetWindowLongPtrA(window, DWLP_USER));
    if (dialog == nullptr) {
        return FALSE;
    }
    return dialog->HandleMessage(message, wParam, lParam);
}

INT_PTR CDialogEx::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (HandleThroughMap(message, wParam, lParam, result)) {
        if (ResultReturnedDirectly(message)) {
            return static_cast<INT_PTR>(result);
        }
        ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        // The system turns Enter into IDOK and Esc and the close box into IDCANCEL.
        switch (LOWORD(wParam)) {
        case IDOK:
            OnOK();
            return TRUE;
        case IDCANCEL:
            OnCancel();
            return TRUE;
        default:
            break;
        }
        // Commands no control of the dialog answers go on to the application.
        if (lParam == 0 && AfxGetApp() != nullptr && AfxGetApp()->OnCommand(LOWORD(wParam), 0)) {
            return TRUE;
        }
    }
    return FALSE;
}
