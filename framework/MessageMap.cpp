#include "framework/MessageMap.h"

bool CCmdTarget::DispatchThroughMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    const MessageMapEntry* entry = FindMapEntry(GetMessageMap(), message, wParam);
    if (entry == nullptr) {
        return false;
    }
    result = 0;
    struct Invoke {
        CCmdTarget* target;
        WPARAM wParam;
        LPARAM lParam;
        LRESULT& result;
        void operator()(void (CCmdTarget::*handler)()) const { (target->*handler)(); }
        void operator()(void (CCmdTarget::*handler)(UINT, LPARAM)) const {
            (target->*handler)(static_cast<UINT>(wParam), lParam);
        }
        void operator()(void (CCmdTarget::*handler)(UINT_PTR)) const {
            (target->*handler)(static_cast<UINT_PTR>(wParam));
        }
        void operator()(HCURSOR (CCmdTarget::*handler)()) const {
            result = reinterpret_cast<LRESULT>((target->*handler)());
        }
    };
    std::visit(Invoke{this, wParam, lParam, result}, entry->handler);
    return true;
}
