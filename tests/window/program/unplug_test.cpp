// The device is unplugged in the middle of a sequence and plugged in again: each distinct
// failure is reported once, the window keeps answering, and once the line is back, choosing its
// port again opens it and the next click sets the device. Compiled with the execution character
// set CP936, as the program's texts are.
#include "DeviceOnLine.h"
#include "FaultFixture.h"
#include "LineSwitch.h"
#include "res/resource.h"
#include "tests/window/driver/Commands.h"
#include "tests/window/driver/Windows.h"

#include <memory>
#include <set>

namespace {

constexpr int kCom1 = 0; // list position

} // namespace

TEST_F(FaultTest, UnpluggedMidSequenceIsReportedOnceAndWorksAgainOnceBack) {
    auto device = std::make_unique<DeviceOnLine>(1);
    const HWND window = StartOnCom1();
    ASSERT_NE(window, nullptr);

    driver::ClickSetTime(window);
    device->ListenForFrames(2, kSequenceWaitMs);
    ASSERT_EQ(device->Fields(), (std::vector<int>{1, 2}));
    ASSERT_TRUE(UnplugLine(1));
    device.reset();

    // The rest of the sequence goes to a line that is gone. Every report is of a distinct
    // failure, of COM1, and the window answers while they are open.
    std::vector<BoxSeen> reports;
    TimeLabelWatch clock(window);
    for (BoxSeen seen = DismissNextBox(4000); seen.box.window != nullptr;
         seen = DismissNextBox(2000)) {
        EXPECT_TRUE(Answers(window, 2000)) << "the window did not answer under a report";
        clock.Look();
        reports.push_back(seen);
    }
    std::set<std::string> distinct;
    for (const BoxSeen& report : reports) {
        std::printf("report: %s\n", report.box.text.c_str());
        EXPECT_EQ(report.box.caption, kReportCaption) << report.box.text;
        EXPECT_NE(report.box.text.find("\nPort: 1\n"), std::string::npos) << report.box.text;
        EXPECT_TRUE(distinct.insert(report.box.text).second) << "shown twice:\n" << report.box.text;
    }
    EXPECT_FALSE(reports.empty()) << "the lost line was not reported";
    ::Sleep(1200);
    clock.Look();
    EXPECT_GE(clock.Changes(), 1) << "the clock stopped while the line was gone";
    EXPECT_TRUE(Answers(window, 2000));

    // Back under the same number: choosing COM1 opens it, and the next click sets the device.
    ASSERT_TRUE(PlugLine(1));
    device = std::make_unique<DeviceOnLine>(1);
    driver::SelectPortListEntry(window, kCom1);
    const std::vector<BoxSeen> boxes = DismissBoxesUntilQuiet(10000, 1000);
    ASSERT_EQ(boxes.size(), 1u) << "more than the tip came";
    ExpectTip(boxes.front(), kTipOpenOk, window);
    driver::ClickSetTime(window);
    device->ListenForFrames(kFramesPerSequence, kSequenceWaitMs);
    device->ListenFor(500);
    EXPECT_EQ(device->Fields(), kAllFields);
    ASSERT_EQ(device->Sequences().size(), 1u);
    EXPECT_TRUE(device->Sequences().front().m_complete);
    ExpectNoBoxFor(1000);
}
