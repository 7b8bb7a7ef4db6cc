#pragma once

#include "framework/WinApp.h"

// The application: starts the main dialog and ends when it ends.
class CKalvorApp : public CWinApp {
public:
    CKalvorApp();

    // Runs the main dialog to its end. Returns false, so the process ends after it.
    BOOL InitInstance() override;
};
