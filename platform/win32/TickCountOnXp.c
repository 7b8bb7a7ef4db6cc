/*
 * The i686 release must start on Windows XP, whose kernel32 has no GetTickCount64. The posix
 * thread library that the C++ run-time links in (for its exception-allocation lock) measures its
 * waits with that function. This object answers the library's import itself, so kalvor.exe does
 * not import it: a monotonic millisecond count from the performance counter, which every Windows
 * from XP on has.
 */
#include <windows.h>

static ULONGLONG WINAPI MonotonicMilliseconds(void) {
    LARGE_INTEGER frequency;
    LARGE_INTEGER count;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&count);
    return (ULONGLONG)(count.QuadPart / frequency.QuadPart * 1000 +
                       count.QuadPart % frequency.QuadPart * 1000 / frequency.QuadPart);
}

/* The import slot the library calls through, under its i686 (stdcall) name. */
/* The formatter would split the declarator from its parameter list. */
/* clang-format off */
ULONGLONG(WINAPI *const kalvor_GetTickCount64_slot)(void) __asm__("__imp__GetTickCount64@0") =
    MonotonicMilliseconds;
/* clang-format on */
