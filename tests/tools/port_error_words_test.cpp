// Port errors as the window reports them, byte for byte, and as the command-line tools word them;
// the --port option both tools share.
#include "platform/CommPort.h"
#include "serial/PortReport.h"
#include "tools/common/PortArgument.h"
#include "tools/common/PortErrorWords.h"

#include <gtest/gtest.h>
#include <set>
#include <string>

namespace {

using platform::PortError;
using platform::PortOperation;

TEST(PortReport, IsTheWindowsReportByteForByte) {
    const PortError timeouts{PortOperation::SetTimeouts, 1, "Incorrect function.\r\n",
                             platform::NumberedPort(5)};
    EXPECT_EQ(PortReportText(timeouts),
              "WARNING:  SetCommTimeouts() Failed with the following error: \n"
              "Incorrect function.\r\n"
              "\nPort: 5\n");

    // A system without a closing line break (POSIX) gets one; no text gives an empty line.
    const PortError write{PortOperation::WriteCompletion, 5, "Input/output error",
                          platform::NumberedPort(10)};
    EXPECT_EQ(PortReportText(write),
              "WARNING:  GetOverlappedResults() in WriteFile() Failed with the following error: "
              "\nInput/output error\n\nPort: 10\n");
    const PortError silent{PortOperation::EventWait, 317, "", platform::NumberedPort(1)};
    EXPECT_EQ(PortReportText(silent),
              "WARNING:  WaitCommEvent() Failed with the following error: \n\nPort: 1\n");
    EXPECT_STREQ(kPortReportCaption, "Application Error");
}

// Each operation has its own name in each column: a report never leaves the reader guessing
// which call failed.
TEST(PortReport, EveryOperationHasNamesOfItsOwn) {
    std::set<std::string> reported, plain;
    for (int operation = 0; operation <= static_cast<int>(PortOperation::ReadCompletion);
         ++operation) {
        const auto words = platform::WordsFor(static_cast<PortOperation>(operation));
        EXPECT_TRUE(std::string(words.reported).ends_with("()")) << words.reported;
        reported.insert(words.reported);
        plain.insert(words.plain);
    }
    EXPECT_EQ(reported.size(), 12u);
    EXPECT_EQ(plain.size(), 12u);
}

TEST(PortErrorWords, NameTheDeviceInPlainWordsOnOneLine) {
    const PortError notATerminal{PortOperation::SetTimeouts, 25, "Inappropriate ioctl for device",
                                 platform::DevicePort("/dev/null")};
    EXPECT_EQ(kalvor_tools::PortErrorInWords(notATerminal),
              "/dev/null: cannot set the port's time-outs: Inappropriate ioctl for device");

    // The system's own line breaks become blanks; no text at all gives the code.
    const PortError absent{PortOperation::Open, 2, "The system cannot\r\nfind the file.\r\n",
                           platform::DevicePort("COM7")};
    EXPECT_EQ(kalvor_tools::PortErrorInWords(absent),
              "COM7: cannot open the port: The system cannot find the file.");
    EXPECT_EQ(kalvor_tools::SystemReason(1460, "\r\n"), "error 1460");

    // No Windows function names in the plain words.
    for (int operation = 0; operation <= static_cast<int>(PortOperation::ReadCompletion);
         ++operation) {
        const std::string words =
            kalvor_tools::OperationInWords(static_cast<PortOperation>(operation));
        EXPECT_EQ(words.find("()"), std::string::npos) << words;
        EXPECT_EQ(words.find("Comm"), std::string::npos) << words;
    }
}

TEST(PortArgument, NumbersAndComNamesAreComPortsAnythingElseADevice) {
    for (const char* three : {"3", "COM3", "com3", "\\\\.\\COM3", "\\\\.\\com3"}) {
        const auto port = kalvor_tools::ParsePortArgument(three);
        ASSERT_TRUE(port) << three;
        EXPECT_EQ(port->number, 3) << three;
        EXPECT_EQ(port->device, platform::ComPortDevice(3)) << three;
        EXPECT_EQ(port->label.substr(0, 4), "COM3") << three;
    }
    EXPECT_EQ(kalvor_tools::ParsePortArgument("COM255")->number, 255);

    const auto device = kalvor_tools::ParsePortArgument("/dev/ttyUSB0");
    ASSERT_TRUE(device);
    EXPECT_EQ(device->number, 0);
    EXPECT_EQ(device->device, "/dev/ttyUSB0");
    EXPECT_EQ(device->label, "/dev/ttyUSB0");

    for (const char* wrong : {"", "0", "256", "COM0", "COM256", "COM", "COM3x", "-3", "--verbose",
                              "3x", "\\\\.\\COM"}) {
        EXPECT_FALSE(kalvor_tools::ParsePortArgument(wrong)) << wrong;
    }
    EXPECT_EQ(kalvor_tools::PortArgumentError("0"),
              "--port: \"0\" is neither a port number from 1 to 255 nor a device");
}

} // namespace
