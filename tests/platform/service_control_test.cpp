// The service manager's controls as the service takes them. Wine's manager ends a service with no
// control when its prefix shuts down and lets no program send the shutdown notices, so the
// handler is given them here as Windows' manager gives them.
#include "platform/Interruption.h"
#include "platform/win32/RunningService.h"

#include <gtest/gtest.h>

namespace {

TEST(ServiceControl, StopsAndShutdownNoticesStopTheProgramWithTheirCauseWithin2s) {
    using platform::StopCause;
    const struct {
        DWORD control;
        StopCause cause; // None: answered, no stop
        DWORD answer;
    } cases[] = {
        {SERVICE_CONTROL_STOP, StopCause::ServiceStop, NO_ERROR},
        {SERVICE_CONTROL_SHUTDOWN, StopCause::SystemShutdown, NO_ERROR},
        {0x0000000F /* pre-shutdown, from Vista on */, StopCause::SystemShutdown, NO_ERROR},
        {SERVICE_CONTROL_INTERROGATE, StopCause::None, NO_ERROR},
        {SERVICE_CONTROL_PAUSE, StopCause::None, ERROR_CALL_NOT_IMPLEMENTED},
    };
    for (const auto& [control, cause, answer] : cases) {
        const platform::Interruption interruption;
        EXPECT_EQ(platform::TakeServiceControl(control), answer) << "control " << control;
        EXPECT_EQ(interruption.Cause(), cause) << "control " << control;
        if (cause != StopCause::None) {
            const SERVICE_STATUS status = platform::LastReportedServiceStatus();
            EXPECT_EQ(status.dwCurrentState, DWORD{SERVICE_STOP_PENDING});
            EXPECT_TRUE(status.dwWaitHint > 0 && status.dwWaitHint <= 2000) << status.dwWaitHint;
            // The shutdown notice that follows the pre-shutdown keeps the first cause.
            platform::TakeServiceControl(SERVICE_CONTROL_SHUTDOWN);
            EXPECT_EQ(interruption.Cause(), cause);
        }
    }
}

} // namespace
