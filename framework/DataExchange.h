#pragma once

#include <windows.h>

class CDialogEx;
class CComboBox;

// One run of a dialog's data exchange, in one direction.
class CDataExchange {
public:
    CDataExchange(CDialogEx* dialog, bool saveAndValidate)
        : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}

    CDialogEx* m_pDlgWnd;
    // True: from the controls into the members; false: from the members into the controls.
    bool m_bSaveAndValidate;
};

// Binds the wrapper to the dialog's control, once; later runs leave it bound.
void DDX_Control(CDataExchange* pDX, int controlId, CComboBox& control);

// A combo box's selected position, −1 when nothing is selected.
void DDX_CBIndex(CDataExchange* pDX, int controlId, int& index);
