// Built with the execution character set CP936: the registry key name is stored in that code
// page.
#include "app/KalvorApp.h"

#include "app/KalvorDlg.h"

#include <commctrl.h>
#include <memory>
#include <new>

// The one application object.
CKalvorApp theApp;

CKalvorApp::CKalvorApp() {
    m_dwRestartManagerSupportFlags = AFX_RESTART_MANAGER_SUPPORT_RESTART;
}

BOOL CKalvorApp::InitInstance() {
    INITCOMMONCONTROLSEX commonControls{};
    commonControls.dwSize = sizeof commonControls;
    commonControls.dwICC = ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&commonControls);

    CWinApp::InitInstance();
    AfxEnableControlContainer();

    // Asked of the framework though unused; a failed allocation is simply skipped.
    std::unique_ptr<CShellManager> shellManager(new (std::nothrow) CShellManager);

    SetRegistryKey("应用程序向导生成的本地应用程序");

    {
        CKalvorDlg dialog;
        m_pMainWnd = &dialog;
        dialog.DoModal();
        shellManager.reset();
        m_pMainWnd = nullptr;
    } // the dialog goes here, and with it the port

    return FALSE;
}
