// The program's entry: runs the one application object.
#include "framework/WinApp.h"

#include <mbctype.h>
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // Narrow string searches of the run-time library then know the ANSI code page's double-byte
    // characters.
    _setmbcp(_MB_CP_ANSI);
    CWinApp* app = AfxGetApp();
    if (app == nullptr) {
        return 1;
    }
    app->m_hInstance = instance;
    // A dialog program has done all its work inside InitInstance; there is no message loop
    // after it, whatever it returned.
    app->InitInstance();
    return app->ExitInstance();
}
