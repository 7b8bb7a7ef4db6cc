#include "serial/PortReport.h"

using platform::PortOperation;

const char* ReportedOperationName(PortOperation operation) {
    switch (operation) {
    case PortOperation::CreateEvents:
        return "CreateEvent()";
    case PortOperation::Open:
        return "CreateFile()";
    case PortOperation::SetTimeouts:
        return "SetCommTimeouts()";
    case PortOperation::SetEventMask:
        return "SetCommMask()";
    case PortOperation::GetLineSettings:
        return "GetCommState()";
    case PortOperation::BuildLineSettings:
        return "BuildCommDCB()";
    case PortOperation::SetLineSettings:
        return "SetCommState()";
    case PortOperation::EventWait:
        return "WaitCommEvent()";
    case PortOperation::Write:
        return "WriteFile()";
    case PortOperation::WriteCompletion:
        return "GetOverlappedResults() in WriteFile()";
    case PortOperation::Read:
        return "ReadFile()";
    case PortOperation::ReadCompletion:
        return "GetOverlappedResults() in ReadFile()";
    }
    return "?";
}

std::string PortReportText(const platform::PortError& error) {
    std::string text = "WARNING:  ";
    text += ReportedOperationName(error.operation);
    text += " Failed with the following error: \n";
    text += error.systemText;
    if (!error.systemText.empty() && error.systemText.back() != '\n') {
        text += '\n';
    }
    text += "\nPort: " + std::to_string(error.port.number) + "\n";
    return text;
}
