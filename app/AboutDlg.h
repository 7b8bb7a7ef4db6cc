#pragma once

#include "framework/DialogEx.h"
#include "res/resource.h"

// The About box: the application's icon, name, version and a notice. It only closes.
class CAboutDlg : public CDialogEx {
public:
    CAboutDlg() : CDialogEx(IDD_ABOUT_DIALOG) {}
};
