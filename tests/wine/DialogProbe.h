#pragma once

#include "app/KalvorDlg.h"

#include <functional>
#include <string>
#include <utility>

// The main dialog run in the test's own process, on its own resources. The test's script runs
// once the dialog is initialised, on the dialog's thread, before any message is pumped, so no
// timer of the dialog's own fires meanwhile; the dialog then ends.
class KalvorDlgProbe : public CKalvorDlg {
public:
    using Script = std::function<void(KalvorDlgProbe&)>;

    KalvorDlgProbe(ClockSource clock, Script script)
        : CKalvorDlg(std::move(clock)), m_script(std::move(script)) {}

    std::string Label(int controlId) const { return GetDlgItemText(controlId); }
    void SetLabel(int controlId, const std::string& text) const { SetDlgItemText(controlId, text); }
    // A tick of the timer, through the dialog's message map.
    void Tick(UINT_PTR timer) const { ::SendMessageA(m_hWnd, WM_TIMER, timer, 0); }
    HWND Window() const { return m_hWnd; }
    const TimeSnapshot& Snapshot() const { return m_time; }

    void SetWeekdayNames(const std::string (&names)[7]) {
        std::string* const texts[] = {&m_textSunday,    &m_textMonday,   &m_textTuesday,
                                      &m_textWednesday, &m_textThursday, &m_textFriday,
                                      &m_textSaturday};
        for (int day = 0; day < 7; ++day) {
            *texts[day] = names[day];
        }
    }

protected:
    BOOL OnInitDialog() override {
        CKalvorDlg::OnInitDialog();
        m_script(*this);
        EndDialog(IDOK);
        return TRUE;
    }

private:
    Script m_script;
};
