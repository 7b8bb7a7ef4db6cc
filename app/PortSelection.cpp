// Port selection: the port list, the opening of the chosen port and the tips that tell its
// outcome.
#include "app/KalvorDlg.h"
#include "framework/StringFormat.h"

namespace {

constexpr int kPortCount = 10; // COM1 to COM10

// Marks an opening as running for as long as it lives.
class OpeningInProgress {
public:
    explicit OpeningInProgress(bool& flag) : m_flag(flag) { m_flag = true; }
    ~OpeningInProgress() { m_flag = false; }
    OpeningInProgress(const OpeningInProgress&) = delete;
    OpeningInProgress& operator=(const OpeningInProgress&) = delete;

private:
    bool& m_flag;
};

} // namespace

void CKalvorDlg::InitPortList() {
    // By position, not appended: the list is sorted and would put "COM10" before "COM2".
    for (int position = 0; position < kPortCount; ++position) {
        m_portList.InsertString(position, FormatText("COM%d", position + 1));
    }
    m_portList.SetCurSel(0);
    m_portNumber = 1;
}

void CKalvorDlg::OpenInitialPort() {
    {
        const OpeningInProgress opening(m_openingInProgress);
        // Opened twice: the second attempt decides.
        m_port.Open(m_hWnd, 1);
        FinishOpening(m_port.Open(m_hWnd, 1));
    }
    if (m_selectionWaiting) {
        OnSelchangePortList();
    }
}

// Every change reopens, also onto the port already open. A change that comes while an opening
// runs waits for it; several such changes make one opening, of the entry selected last.
void CKalvorDlg::OnSelchangePortList() {
    if (m_openingInProgress) {
        m_selectionWaiting = true;
        return;
    }
    do {
        m_selectionWaiting = false;
        UpdateData(TRUE);
        m_portNumber = m_portIndex + 1;
        if (m_portNumber > 0) {
            OpenSelectedPort(m_portNumber);
        }
    } while (m_selectionWaiting);
}

void CKalvorDlg::OpenSelectedPort(int portNumber) {
    const OpeningInProgress opening(m_openingInProgress);
    FinishOpening(m_port.Open(m_hWnd, portNumber));
}

// The flag is set before the tip, so that it is right while the tip is open too.
void CKalvorDlg::FinishOpening(bool opened) {
    m_portOpen = opened;
    if (opened) {
        m_port.StartMonitor();
        ShowTip(m_texts.m_tipOpenOk);
    } else {
        ShowTip(m_texts.m_tipOpenFailed);
    }
}

void CKalvorDlg::ShowTip(const std::string& text) {
    MessageBox(text, "", MB_ICONEXCLAMATION);
}
