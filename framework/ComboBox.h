#pragma once

#include <string>
#include <windows.h>

// A combo-box control of a dialog. Does not own the control: the dialog destroys it.
class CComboBox {
public:
    HWND m_hWnd = nullptr;

    void Attach(HWND control) { m_hWnd = control; }
    HWND GetSafeHwnd() const { return m_hWnd; }

    // Inserts at exactly this position, whatever the sorted style says; returns the position or
    // CB_ERR.
    int InsertString(int index, const std::string& text) const;
    // Selects the position (−1 clears the selection); does not notify the parent.
    int SetCurSel(int index) const;
    // The selected position, −1 when nothing is selected.
    int GetCurSel() const;
    int GetCount() const;
    std::string GetLBText(int index) const;
};
