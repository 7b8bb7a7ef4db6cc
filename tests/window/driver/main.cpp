// kalvor-driver: drives a running Kalvor from the command line, for scripts and demos.
//
//   kalvor-driver [--pid N] [--timeout-ms N] COMMAND [ARGUMENT]
//
//   wait                 waits for the main window; prints its handle
//   text CONTROL         prints a control's text (date 1000, weekday 1001, time 1002, button 1005)
//   boxes                lists the open message boxes: icon, caption and text, one per line
//   dismiss              waits for a message box, prints it as "boxes" does and presses its OK
//   about                chooses the About item of the system menu
//   enter | escape | close
//                        presses Enter or Esc on the focused control, or the close box
//   select POSITION      selects a port-list position (0 is COM1) and tells the dialog
//   click                clicks the set-time button
//   screenshot FILE      saves the display as a PNG file
//   figures              prints what the program holds: memory in KB (private, working set and its
//                        peak), handles and threads, as "private=N working-set=N peak=N handles=N
//                        threads=N"
//
// Without --pid, any process's window counts. Exits 0 on success, 1 if the window or box did not
// come in time, 2 on a usage error.
#include "tests/window/driver/Commands.h"
#include "tests/window/driver/MessageBoxes.h"
#include "tests/window/driver/ProcessFigures.h"
#include "tests/window/driver/Windows.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

int Usage() {
    std::fputs("usage: kalvor-driver [--pid N] [--timeout-ms N] wait|text CONTROL|boxes|dismiss|"
               "about|enter|escape|close|select POSITION|click|screenshot FILE|figures\n",
               stderr);
    return 2;
}

void PrintBox(const driver::MessageBoxInfo& box) {
    std::printf("%s\t%s\t%s\n", driver::BoxIconName(box.icon), box.caption.c_str(),
                box.text.c_str());
}

} // namespace

int main(int argc, char** argv) {
    DWORD processId = 0;
    DWORD timeout = 10000;
    int next = 1;
    for (; next + 1 < argc; next += 2) {
        const std::string option = argv[next];
        if (option == "--pid") {
            processId = static_cast<DWORD>(std::strtoul(argv[next + 1], nullptr, 10));
        } else if (option == "--timeout-ms") {
            timeout = static_cast<DWORD>(std::strtoul(argv[next + 1], nullptr, 10));
        } else {
            break;
        }
    }
    if (next >= argc) {
        return Usage();
    }
    const std::string command = argv[next];
    const char* argument = next + 1 < argc ? argv[next + 1] : nullptr;

    if (command == "boxes") {
        for (const driver::MessageBoxInfo& box : driver::ListMessageBoxes(processId)) {
            PrintBox(box);
        }
        return 0;
    }
    if (command == "dismiss") {
        const driver::MessageBoxInfo box = driver::WaitForMessageBox(processId, timeout);
        if (box.window == nullptr) {
            std::fputs("no message box came\n", stderr);
            return 1;
        }
        PrintBox(box);
        return driver::DismissMessageBox(box.window) ? 0 : 1;
    }
    if (command == "screenshot") {
        return argument != nullptr && driver::SaveScreenshot(argument) ? 0
                                                                       : (argument ? 1 : Usage());
    }

    const HWND main = driver::WaitForMainWindow(processId, timeout);
    if (main == nullptr) {
        std::fputs("the Kalvor window did not come\n", stderr);
        return 1;
    }
    if (command == "wait") {
        std::printf("%p\n", static_cast<void*>(main));
    } else if (command == "text" && argument != nullptr) {
        std::printf("%s\n", driver::ControlText(main, std::atoi(argument)).c_str());
    } else if (command == "about") {
        driver::ChooseAboutItem(main);
    } else if (command == "enter") {
        driver::PressEnter(main);
    } else if (command == "escape") {
        driver::PressEscape(main);
    } else if (command == "close") {
        driver::ClickCloseBox(main);
    } else if (command == "select" && argument != nullptr) {
        driver::SelectPortListEntry(main, std::atoi(argument));
    } else if (command == "click") {
        driver::ClickSetTime(main);
    } else if (command == "figures") {
        DWORD program = 0;
        ::GetWindowThreadProcessId(main, &program);
        const driver::ProcessFigures figures = driver::ReadProcessFigures(program);
        if (!figures.read) {
            std::fputs("cannot read the program's figures\n", stderr);
            return 1;
        }
        std::printf("private=%zu working-set=%zu peak=%zu handles=%d threads=%d\n",
                    figures.privateBytes / 1024, figures.workingSet / 1024,
                    figures.peakWorkingSet / 1024, figures.handles, figures.threads);
    } else {
        return Usage();
    }
    return 0;
}
