// How the service takes the Service Control Manager's controls. Wine's manager ends a service
// without any control when its prefix shuts down, and lets no program send the shutdown
// notices, so the handler is given them here as Windows' manager gives them at a shutdown.
#include "platform/Interruption.h"
#include "platform/win32/RunningService.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

#ifndef SERVICE_CONTROL_PRESHUTDOWN
#define SERVICE_CONTROL_PRESHUTDOWN 0x0000000F
#endif

TEST(ServiceControl, StopsAndShutdownNoticesStopTheProgramEachWithItsCause) {
    const struct {
        DWORD control;
        platform::StopCause cause;
    } cases[] = {
        {SERVICE_CONTROL_STOP, platform::StopCause::ServiceStop},
        {SERVICE_CONTROL_SHUTDOWN, platform::StopCause::SystemShutdown},
        {SERVICE_CONTROL_PRESHUTDOWN, platform::StopCause::SystemShutdown},
    };
    for (const auto& [control, cause] : cases) {
        const platform::Interruption interruption;
        EXPECT_EQ(platform::TakeServiceControl(control), static_cast<DWORD>(NO_ERROR));
        EXPECT_TRUE(interruption.WaitFor(0)) << "control " << control;
        EXPECT_EQ(interruption.Cause(), cause) << "control " << control;
        const SERVICE_STATUS status = platform::LastReportedServiceStatus();
        EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));
        // A shutdown leaves a service about 2 s; the stop is promised within that.
        EXPECT_GT(status.dwWaitHint, 0u);
        EXPECT_LE(status.dwWaitHint, 2000u);
    }
    // A second notice (the pre-shutdown, then the shutdown) keeps the first cause.
    const platform::Interruption interruption;
    platform::TakeServiceControl(SERVICE_CONTROL_STOP);
    platform::TakeServiceControl(SERVICE_CONTROL_SHUTDOWN);
    EXPECT_EQ(interruption.Cause(), platform::StopCause::ServiceStop);
}

TEST(ServiceControl, QuestionsAreAnsweredAndOtherControlsRefused) {
    const platform::Interruption interruption;
    EXPECT_EQ(platform::TakeServiceControl(SERVICE_CONTROL_INTERROGATE),
              static_cast<DWORD>(NO_ERROR));
    EXPECT_EQ(platform::TakeServiceControl(SERVICE_CONTROL_PAUSE),
              static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
    EXPECT_FALSE(interruption.Requested());
    EXPECT_EQ(interruption.Cause(), platform::StopCause::None);
}

} // namespace
