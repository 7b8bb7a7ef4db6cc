// The message table kalvor-sync.exe carries for the Event Log: Event Viewer formats each event
// from the executable named as the source's message file, with the event's insert, as
// FormatMessage does here. Wine keeps no event that could be read back, so this is what shows
// that a site reads words, not "The description for Event ID ... cannot be found".
#include "ServiceMessages.h"
#include "tools/kalvor-sync/service/ServiceCommand.h"
#include "tools/kalvor-sync/status/StatusReporter.h"

#include <gtest/gtest.h>
#include <string>
#include <windows.h>

using namespace kalvor_sync;

namespace {

// The numbers the program reports are those of the compiled message file.
static_assert(kEventServiceStarted == KALVOR_EVENT_SERVICE_STARTED);
static_assert(kEventServiceStopped == KALVOR_EVENT_SERVICE_STOPPED);
static_assert(kEventDeviceSet == KALVOR_EVENT_DEVICE_SET);
static_assert(kEventWarning == KALVOR_EVENT_WARNING);
static_assert(kEventFailure == KALVOR_EVENT_FAILURE);
static_assert(kEventRecovery == KALVOR_EVENT_RECOVERY);

// The built kalvor-sync.exe, as Wine names a Unix path.
std::string ProgramPath() {
    std::string path = "Z:" KALVOR_SYNC_EXE;
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}

// What Event Viewer shows for event `id` with the insert `text`, in US English.
std::string Shown(HMODULE program, unsigned id, const char* text) {
    char* shown = nullptr;
    DWORD_PTR inserts[] = {reinterpret_cast<DWORD_PTR>(text)};
    const DWORD length =
        ::FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                             FORMAT_MESSAGE_ARGUMENT_ARRAY,
                         program, id, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                         reinterpret_cast<char*>(&shown), 0, reinterpret_cast<va_list*>(inserts));
    std::string result = length == 0 ? "(none: error " + std::to_string(::GetLastError()) + ")"
                                     : std::string(shown, length);
    ::LocalFree(shown);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r')) {
        result.pop_back();
    }
    return result;
}

TEST(ServiceMessages, EveryEventOfTheProgramHasItsTextInTheExecutable) {
    const HMODULE program =
        ::LoadLibraryExA(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(program, nullptr) << ProgramPath() << ": error " << ::GetLastError();
    EXPECT_EQ(
        Shown(program, kEventServiceStarted, "C:\\ProgramData\\Kalvor\\kalvor-sync\\status.json"),
        "The Kalvor clock sync service started; it writes its status to "
        "C:\\ProgramData\\Kalvor\\kalvor-sync\\status.json.");
    EXPECT_EQ(Shown(program, kEventServiceStopped,
                    StoppedLine(130, platform::StopCause::SystemShutdown).c_str()),
              "The Kalvor clock sync service stopped by the system's shutdown, exit status 130.");
    EXPECT_EQ(Shown(program, kEventDeviceSet, "set COM3 to 2026-12-08 03:00:00 Tuesday"),
              "Clock device set: set COM3 to 2026-12-08 03:00:00 Tuesday.");
    EXPECT_EQ(Shown(program, kEventWarning, "the computer's clock is not synchronised: why"),
              "the computer's clock is not synchronised: why.");
    EXPECT_EQ(Shown(program, kEventFailure, "COM3: cannot open the port: gone"),
              "COM3: cannot open the port: gone.");
    EXPECT_EQ(Shown(program, kEventRecovery, "COM3 is back"), "COM3 is back.");
    ::FreeLibrary(program);
}

} // namespace
