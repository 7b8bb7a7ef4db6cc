#include "framework/WinApp.h"

namespace {
CWinApp* theOnlyApp = nullptr;
}

CWinApp::CWinApp() {
    theOnlyApp = this;
}

CWinApp::~CWinApp() {
    if (theOnlyApp == this) {
        theOnlyApp = nullptr;
    }
}

MessageMap CWinApp::GetMessageMap() const {
    static const MessageMapEntry map[] = {
        MapCommand(ID_HELP, 0, &CWinApp::OnHelp),
    };
    return map;
}

bool CWinApp::OnCommand(UINT commandId, UINT notifyCode) {
    LRESULT ignored = 0;
    return DispatchThroughMap(WM_COMMAND, MAKEWPARAM(commandId, notifyCode), 0, ignored);
}

CWinApp* AfxGetApp() {
    return theOnlyApp;
}
