#pragma once

#include "framework/DataExchange.h"
#include "framework/Wnd.h"

#include <windows.h>

// A dialog run modally on a template of the program's resources.
class CDialogEx : public CWnd {
public:
    explicit CDialogEx(UINT templateId, CWnd* parent = nullptr)
        : m_templateId(templateId), m_pParentWnd(parent) {}

    // Shows the dialog and returns when it ends, with the code given to EndDialog, or −1 when
    // the template cannot be made into a window. Without a parent, the application's main window
    // (when there is one and it is not this dialog) owns the dialog and is disabled meanwhile.
    INT_PTR DoModal();
    void EndDialog(INT_PTR result) const { ::EndDialog(m_hWnd, result); }

    // Runs data exchange: from the controls into the members when `saveAndValidate`, else the
    // other way.
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

    UINT TemplateId() const { return m_templateId; }

protected:
    // Applies the template's initialisation data, then moves the members into the controls.
    // Returns true: the system then gives the focus to the first control that takes it.
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(CDataExchange*) {}
    // Enter and the OK button: the controls' data go into the members, then the dialog ends.
    virtual void OnOK();
    // Esc, the close box and a Cancel button.
    virtual void OnCancel();

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_templateId;
    CWnd* m_pParentWnd;
};
