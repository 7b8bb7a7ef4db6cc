#include "serial/PortReport.h"

using platform::PortOperation;

const char* ReportedOperationName(PortOperation operation) {
    return platform::WordsFor(operation).reported;
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
