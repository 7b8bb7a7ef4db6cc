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

const MessageMapEntry CWinApp::s_messageMap[] = {
    MapCommand(ID_HELP, 0, &CWinApp::OnHelp),
};

MessageMap CWinApp::GetMessageMap() const {
    return s_messageMap;
}

bool CWinApp::OnCommand(UINT commandId, UINT notifyCode) {
    LRESULT ignored = 0;
    return DispatchThroughMap(WM_COMMAND, MAKEWPARAM(commandId, notifyCode), 0, ignored);
}

CWinApp* AfxGetApp() {
    return theOnlyApp;
}
