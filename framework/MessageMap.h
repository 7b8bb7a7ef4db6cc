#pragma once

#include <span>
#include <variant>
#include <windows.h>

class CCmdTarget;

// The handler shapes the message maps of this program use. Each names how the message's
// parameters reach the handler:
//   void()               nothing (WM_PAINT, control notifications, commands)
//   void(UINT, LPARAM)   wParam as a number, lParam as is (WM_SYSCOMMAND)
//   void(UINT_PTR)       wParam (WM_TIMER: the timer number)
//   HCURSOR()            no parameter; the result is the message's result (WM_QUERYDRAGICON)
using MessageHandler = std::variant<void (CCmdTarget::*)(), void (CCmdTarget::*)(UINT, LPARAM),
                                    void (CCmdTarget::*)(UINT_PTR), HCURSOR (CCmdTarget::*)()>;

// One line of a static message map. For WM_COMMAND the control (or command) number and the
// notification code must match too; for every other message they are 0 and not compared.
struct MessageMapEntry {
    UINT message;
    UINT controlId;
    UINT notifyCode;
    MessageHandler handler;

    bool Matches(UINT msg, WPARAM wParam) const {
        if (msg != message) {
            return false;
        }
        return msg != WM_COMMAND || (LOWORD(wParam) == controlId && HIWORD(wParam) == notifyCode);
    }
};

using MessageMap = std::span<const MessageMapEntry>;

// A window message without control number, e.g. MapMessage(WM_PAINT, &CKalvorDlg::OnPaint).
template <class Target, class Result, class... Args>
MessageMapEntry MapMessage(UINT message, Result (Target::*handler)(Args...)) {
    return {message, 0, 0, static_cast<Result (CCmdTarget::*)(Args...)>(handler)};
}

// A command or control notification: WM_COMMAND with this control number and code.
template <class Target>
MessageMapEntry MapCommand(UINT controlId, UINT notifyCode, void (Target::*handler)()) {
    return {WM_COMMAND, controlId, notifyCode, static_cast<void (CCmdTarget::*)()>(handler)};
}

// The first entry of the map that takes the message, in map order, or null.
inline const MessageMapEntry* FindMapEntry(MessageMap map, UINT message, WPARAM wParam) {
    for (const MessageMapEntry& entry : map) {
        if (entry.Matches(message, wParam)) {
            return &entry;
        }
    }
    return nullptr;
}

// What every object that receives messages or commands through a map derives from. A class with
// a map of its own keeps it as a static data member, s_messageMap, defined beside its handlers:
// it is built once before WinMain runs, so no function-local static (and no thread-safe guard,
// with the threading library it would bring in) is needed.
class CCmdTarget {
public:
    CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;
    virtual ~CCmdTarget() = default;

    // Runs the map's handler for the message, if the map has one. Returns whether one ran and
    // puts the handler's result (0 for handlers without one) into `result`.
    bool DispatchThroughMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

protected:
    virtual MessageMap GetMessageMap() const { return {}; }
};
