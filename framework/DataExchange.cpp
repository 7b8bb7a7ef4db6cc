#include "framework/DataExchange.h"

#include "framework/ComboBox.h"
#include "framework/DialogEx.h"

void DDX_Control(CDataExchange* pDX, int controlId, CComboBox& control) {
    if (control.GetSafeHwnd() == nullptr) {
        control.Attach(pDX->m_pDlgWnd->GetDlgItem(controlId));
    }
}

void DDX_CBIndex(CDataExchange* pDX, int controlId, int& index) {
    const HWND combo = pDX->m_pDlgWnd->GetDlgItem(controlId);
    if (pDX->m_bSaveAndValidate) {
        // CB_GETCURSEL gives CB_ERR, which is −1, when nothing is selected.
        index = static_cast<int>(::SendMessageA(combo, CB_GETCURSEL, 0, 0));
    } else {
        ::SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
}
