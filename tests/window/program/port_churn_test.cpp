// Two hundred changes of the port, in a random order that is the same on every run, through
// lines that are there, ports that are absent and a port whose every call fails, with clicks in
// between: each change tells its outcome once, a click always matches the last outcome, and
// afterwards the process holds what it held before. Compiled with the execution character set
// CP936, as the program's texts are.
#include "DeviceOnLine.h"
#include "FaultFixture.h"
#include "res/resource.h"
#include "tests/window/driver/Commands.h"
#include "tests/window/driver/Windows.h"

#include <map>
#include <random>

namespace {

// What the runner made of each of the ten ports (tests/window/program/CMakeLists.txt).
enum class PortKind { Line, Absent, Failing };
PortKind KindOf(int portNumber) {
    switch (portNumber) {
    case 1:
    case 2:
    case 10:
        return PortKind::Line;
    case 4:
        return PortKind::Failing;
    default:
        return PortKind::Absent;
    }
}

// The name of the serial call a report names: "SetCommTimeouts()" from "WARNING:  SetCommTimeouts()
// Failed with ...".
std::string ReportedCall(const std::string& text) {
    const std::size_t start = text.find("  ") + 2;
    const std::size_t end = text.find(" Failed with");
    return start >= 2 && end != std::string::npos ? text.substr(start, end - start) : text;
}

class PortChurnTest : public FaultTest {
protected:
    // Dismisses boxes until the tip comes, and checks its text; the reports of failing calls met
    // on the way are kept.
    void DismissTip(const std::string& expected, const std::string& context) {
        for (;;) {
            const BoxSeen seen = DismissNextBox(10000);
            ASSERT_NE(seen.box.window, nullptr) << "no tip came: " << context;
            if (seen.box.caption == kReportCaption) {
                m_reports.push_back(seen.box.text);
                continue;
            }
            EXPECT_EQ(seen.box.text, expected) << context;
            return;
        }
    }

    std::vector<std::string> m_reports;
};

} // namespace

TEST_F(PortChurnTest, TwoHundredChangesLeaveTheRightPortOpenAndNothingBehind) {
    DeviceOnLine com1(1), com2(2), com10(10);
    const HWND window = StartOnCom1();
    ASSERT_NE(window, nullptr);

    // 200 changes, or as many as scripts/lib/soak asks.
    const int changeCount = CountFromEnvironment("KALVOR_PORT_CHANGES", 200);
    int changes = 0, failingOpenings = 0, sentOnLines = 0;
    PortKind last = PortKind::Line;
    // Chooses the port at `position` and checks the tip; with `click`, then clicks and checks
    // that the click does what the outcome promised.
    auto change = [&](int position, bool click) {
        const int port = position + 1;
        const std::string context =
            "change " + std::to_string(changes) + " to COM" + std::to_string(port);
        ++changes;
        last = KindOf(port);
        failingOpenings += last == PortKind::Failing;
        driver::SelectPortListEntry(window, position);
        DismissTip(last == PortKind::Absent ? kTipOpenFailed : kTipOpenOk, context);
        // What came on the lines so far, so that none of them fills up.
        for (DeviceOnLine* line : {&com1, &com2, &com10}) {
            line->ListenFor(1);
        }
        if (click) {
            sentOnLines += last == PortKind::Line;
            driver::ClickSetTime(window);
            if (last == PortKind::Absent) {
                DismissTip(kTipNotOpen, context + ", then a click");
            }
        }
    };

    // Every kind once, so that what the program sets up on first use is there before counting.
    for (const int position : {1, 2, 3, 9, 0}) {
        change(position, true);
        ASSERT_FALSE(HasFatalFailure());
    }
    m_reports.clear();
    ::Sleep(2000);
    for (const BoxSeen& late : DismissBoxesUntilQuiet(500, 500)) {
        m_reports.push_back(late.box.text);
    }
    const driver::ProcessFigures before = Figures();
    ASSERT_TRUE(before.read);
    const int threadsBefore = SteadyThreadCount();
    const int reportsBefore = static_cast<int>(m_reports.size());
    failingOpenings = 0;

    std::mt19937 random(2016);
    std::uniform_int_distribution<int> position(0, 9);
    std::bernoulli_distribution click(0.3);
    const DWORD start = ::GetTickCount();
    for (int i = 0; i < changeCount; ++i) {
        change(position(random), click(random));
        ASSERT_FALSE(HasFatalFailure());
    }
    const DWORD churnMs = ::GetTickCount() - start;

    // Back on COM1: the list shows it, and a click sets the device on it.
    change(0, false);
    ::Sleep(2000);
    for (const BoxSeen& late : DismissBoxesUntilQuiet(500, 1000)) {
        m_reports.push_back(late.box.text);
    }
    com1.ListenFor(200);
    com2.ListenFor(200);
    com10.ListenFor(200);
    for (DeviceOnLine* line : {&com1, &com2, &com10}) {
        // Whatever reached a line during the changes came as whole frames.
        for (const DecodedFrame& frame : line->Frames()) {
            EXPECT_EQ(frame.m_verdict, kalvor_sim::FrameVerdict::Accepted) << frame.m_detail;
        }
    }
    const std::size_t framesBefore = com1.Frames().size();
    EXPECT_EQ(driver::ControlText(window, IDC_PORT_LIST), "COM1");
    ++sentOnLines;
    driver::ClickSetTime(window);
    com1.ListenForFrames(framesBefore + kFramesPerSequence, kSequenceWaitMs);
    com1.ListenFor(500);
    ASSERT_EQ(com1.Frames().size(), framesBefore + kFramesPerSequence);
    for (std::size_t i = 0; i < kFramesPerSequence; ++i) {
        EXPECT_EQ(com1.Frames()[framesBefore + i].m_fieldNumber, kAllFields[i]);
    }
    ::Sleep(500);
    const driver::ProcessFigures after = Figures();
    const int threadsAfter = SteadyThreadCount();

    std::map<std::string, int> reportsByCall;
    for (std::size_t i = reportsBefore; i < m_reports.size(); ++i) {
        ++reportsByCall[ReportedCall(m_reports[i])];
        EXPECT_NE(m_reports[i].find("\nPort: 4\n"), std::string::npos) << m_reports[i];
    }
    std::size_t intact = 0;
    for (DeviceOnLine* line : {&com1, &com2, &com10}) {
        for (const SequenceReport& sequence : line->Sequences()) {
            intact += sequence.m_complete;
        }
    }
    std::printf("figures: %d changes in %u ms, %d of them onto the failing port\n", changeCount,
                static_cast<unsigned>(churnMs), failingOpenings);
    // A sequence that the next change moves to another port reaches neither line whole.
    std::printf("figures: %d sequences started on a line, %zu received intact\n", sentOnLines,
                intact);
    for (const auto& [call, count] : reportsByCall) {
        std::printf("figures: reports of %s: %d\n", call.c_str(), count);
    }
    PrintFigures(before, after);
    // Each opening of the failing port tells of its set-up once, and its monitor of each call
    // that fails at most once; no other port fails.
    EXPECT_EQ(reportsByCall["SetCommTimeouts()"], failingOpenings);
    EXPECT_LE(reportsByCall["WaitCommEvent()"], failingOpenings);
    EXPECT_LE(reportsByCall["WriteFile()"] + reportsByCall["GetOverlappedResults() in WriteFile()"],
              failingOpenings);
    reportsByCall.erase("SetCommTimeouts()");
    reportsByCall.erase("WaitCommEvent()");
    reportsByCall.erase("WriteFile()");
    reportsByCall.erase("GetOverlappedResults() in WriteFile()");
    EXPECT_TRUE(reportsByCall.empty()) << reportsByCall.begin()->first << " was reported";
    EXPECT_EQ(after.handles, before.handles);
    EXPECT_EQ(threadsAfter, threadsBefore);
}
