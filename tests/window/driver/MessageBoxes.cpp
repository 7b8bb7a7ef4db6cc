#include "tests/window/driver/MessageBoxes.h"

#include "tests/window/driver/Screen.h"
#include "tests/window/driver/Windows.h"

#include <cstdlib>
#include <limits>

namespace driver {
namespace {

constexpr int kMessageBoxTextId = 0xFFFF;

bool IsIconStatic(HWND control) {
    return (::GetWindowLongA(control, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
}

struct Statics {
    std::vector<HWND> texts; // statics numbered 0xFFFF that show text
    HWND icon = nullptr;
};

BOOL CALLBACK CollectStatic(HWND control, LPARAM context) {
    auto& statics = *reinterpret_cast<Statics*>(context);
    char className[16] = {};
    ::GetClassNameA(control, className, sizeof className);
    if (lstrcmpiA(className, "Static") != 0) {
        return TRUE;
    }
    if (IsIconStatic(control)) {
        statics.icon = control;
    } else if (::GetDlgCtrlID(control) == kMessageBoxTextId) {
        statics.texts.push_back(control);
    }
    return TRUE;
}

// How far the icon on the screen is from a standard icon drawn on the same background.
long long Difference(const Image& shown, HICON candidate) {
    const int width = shown.width;
    const int height = shown.height;
    const HDC screen = ::GetDC(nullptr);
    const HDC memory = ::CreateCompatibleDC(screen);
    BITMAPINFO format{};
    format.bmiHeader = {sizeof format.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const HBITMAP bitmap = ::CreateDIBSection(memory, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ previous = ::SelectObject(memory, bitmap);
    const HBRUSH background = ::CreateSolidBrush(
        RGB((shown.At(0, 0) >> 16) & 0xFF, (shown.At(0, 0) >> 8) & 0xFF, shown.At(0, 0) & 0xFF));
    const RECT all{0, 0, width, height};
    ::FillRect(memory, &all, background);
    ::DrawIconEx(memory, 0, 0, candidate, 0, 0, 0, nullptr, DI_NORMAL | DI_DEFAULTSIZE);
    ::GdiFlush();
    long long difference = 0;
    const auto* drawn = static_cast<const std::uint32_t*>(bits);
    for (int i = 0; i < width * height; ++i) {
        for (int shift = 0; shift < 24; shift += 8) {
            difference += std::abs(static_cast<int>((drawn[i] >> shift) & 0xFF) -
                                   static_cast<int>((shown.pixels[i] >> shift) & 0xFF));
        }
    }
    ::DeleteObject(background);
    ::SelectObject(memory, previous);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return difference;
}

// The standard icon that the screen shows in the icon static's area, and how far it is from it.
struct IconMatch {
    BoxIcon icon = BoxIcon::None;
    long long difference = std::numeric_limits<long long>::max();
    bool exact = false; // within a few levels per colour of the standard icon
};

IconMatch MatchIcon(HWND iconStatic) {
    RECT area{};
    ::GetWindowRect(iconStatic, &area);
    const Image shown = CaptureScreen(area);
    if (shown.pixels.empty()) {
        return {};
    }
    const struct {
        BoxIcon icon;
        LPCSTR id;
    } candidates[] = {{BoxIcon::Exclamation, IDI_EXCLAMATION},
                      {BoxIcon::Error, IDI_HAND},
                      {BoxIcon::Information, IDI_ASTERISK},
                      {BoxIcon::Question, IDI_QUESTION}};
    IconMatch best;
    for (const auto& candidate : candidates) {
        const long long difference = Difference(shown, ::LoadIconA(nullptr, candidate.id));
        if (difference < best.difference) {
            best.icon = candidate.icon;
            best.difference = difference;
        }
    }
    best.exact = best.difference <= static_cast<long long>(shown.width) * shown.height * 3 * 8;
    return best;
}

// A box that has just become visible may not have painted its icon yet, or may lie for a moment
// under another box: the screen then matches no icon well (once, an unpainted exclamation mark
// came out nearest to the question mark). It is looked at again until one matches, for up to 2 s.
BoxIcon IdentifyIcon(HWND iconStatic) {
    if (iconStatic == nullptr || !::IsWindowVisible(iconStatic)) {
        return BoxIcon::None;
    }
    const DWORD start = ::GetTickCount();
    IconMatch match = MatchIcon(iconStatic);
    while (!match.exact && ::GetTickCount() - start < 2000 && ::IsWindowVisible(iconStatic)) {
        ::Sleep(50);
        match = MatchIcon(iconStatic);
    }
    return match.icon;
}

} // namespace

const char* BoxIconName(BoxIcon icon) {
    switch (icon) {
    case BoxIcon::Exclamation:
        return "exclamation";
    case BoxIcon::Error:
        return "error";
    case BoxIcon::Information:
        return "information";
    case BoxIcon::Question:
        return "question";
    default:
        return "none";
    }
}

std::vector<MessageBoxInfo> ListMessageBoxes(DWORD processId) {
    std::vector<MessageBoxInfo> boxes;
    for (HWND dialog : FindDialogs(processId)) {
        Statics statics;
        ::EnumChildWindows(dialog, &CollectStatic, reinterpret_cast<LPARAM>(&statics));
        if (statics.texts.size() != 1 || !::IsWindowVisible(dialog)) {
            continue;
        }
        boxes.push_back({dialog, WindowText(statics.texts.front()), WindowText(dialog),
                         IdentifyIcon(statics.icon)});
    }
    return boxes;
}

MessageBoxInfo WaitForMessageBox(DWORD processId, DWORD milliseconds) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        std::vector<MessageBoxInfo> boxes = ListMessageBoxes(processId);
        if (!boxes.empty()) {
            return boxes.front();
        }
        if (::GetTickCount() - start >= milliseconds) {
            return {};
        }
        ::Sleep(50);
    }
}

bool DismissMessageBox(HWND box) {
    ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(box, IDOK)));
    return WaitForWindowGone(box, 5000);
}

} // namespace driver
