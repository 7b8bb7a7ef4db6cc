// The program on a machine without COM1. Compiled with the execution character set CP936, as the
// program's texts are.
#include "ProgramFixture.h"
#include "tests/window/driver/Commands.h"
#include "tests/window/driver/Windows.h"

TEST_F(ProgramTest, WithoutCom1TheOpenFailedTipComesOnceBeforeTheWindow) {
    const HWND window = Start(ShippedChineseSettings());
    ASSERT_NE(window, nullptr);
    ExpectTip(m_openingTip, kTipOpenFailed, window);
    EXPECT_FALSE(m_openingTip.mainWindowVisible) << "the window showed before the tip went";
    ExpectNoBoxFor(1500);

    // Nothing is open: a click only tells so, and starts nothing that shows later.
    driver::ClickSetTime(window);
    ExpectTip(DismissNextBox(), kTipNotOpen, window);
    ExpectNoBoxFor(2000);
}
