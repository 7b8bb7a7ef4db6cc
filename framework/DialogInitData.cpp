#include "framework/DialogInitData.h"

#include "framework/MfcButton.h"

#include <cstring>

namespace {

template <class T>
bool ReadField(std::span<const std::byte> data, std::size_t& offset, T& value) {
    if (data.size() - offset < sizeof(T)) {
        return false;
    }
    std::memcpy(&value, data.data() + offset, sizeof(T)); // records are not aligned
    offset += sizeof(T);
    return true;
}

} // namespace

std::optional<std::vector<DialogInitRecord>> ParseDialogInitData(std::span<const std::byte> data) {
    std::vector<DialogInitRecord> records;
    std::size_t offset = 0;
    for (;;) {
        WORD controlId = 0;
        if (!ReadField(data, offset, controlId)) {
            return std::nullopt;
        }
        if (controlId == 0) {
            return records;
        }
        WORD message = 0;
        DWORD length = 0;
        if (!ReadField(data, offset, message) || !ReadField(data, offset, length) ||
            data.size() - offset < length) {
            return std::nullopt;
        }
        records.push_back({controlId, message, data.subspan(offset, length)});
        offset += length;
    }
}

bool AfxExecuteDlgInit(HWND dialog, UINT templateId) {
    const HMODULE module = ::GetModuleHandleA(nullptr);
    const HRSRC found =
        ::FindResourceA(module, MAKEINTRESOURCEA(templateId), MAKEINTRESOURCEA(RT_DLGINIT_TYPE));
    if (found == nullptr) {
        return true; // a dialog without initialisation data
    }
    const HGLOBAL loaded = ::LoadResource(module, found); // freed with the module
    const void* bytes = loaded != nullptr ? ::LockResource(loaded) : nullptr;
    if (bytes == nullptr) {
        return false;
    }
    const auto records = ParseDialogInitData(
        {static_cast<const std::byte*>(bytes), ::SizeofResource(module, found)});
    if (!records) {
        return false;
    }
    for (const DialogInitRecord& record : *records) {
        // The button's record is the one kind this program has; older list-filling records of
        // other controls are not used by any template here and are passed over.
        if (record.message == MFC_BUTTON_INIT_MESSAGE) {
            ::SendDlgItemMessageA(dialog, record.controlId, record.message, record.data.size(),
                                  reinterpret_cast<LPARAM>(record.data.data()));
        }
    }
    return true;
}
