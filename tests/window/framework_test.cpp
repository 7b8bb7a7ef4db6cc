// The dialog framework on a real template: data exchange, the styled button, default processing
// and the default OK and Cancel handling. Compiled with the execution character set CP936.
#include "framework/ComboBox.h"
#include "framework/DialogEx.h"
#include "res/resource.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

// A dialog on the main template with a map of its own: the combo box's selection change, the
// button's click and the system commands, which it passes on unless told to swallow them.
class FrameworkProbe : public CDialogEx {
public:
    using Script = std::function<void(FrameworkProbe&)>;

    explicit FrameworkProbe(Script script)
        : CDialogEx(IDD_MAIN_DIALOG), m_script(std::move(script)) {}

    CComboBox m_list;
    int m_index = 0;
    int m_clicks = 0;
    int m_selectionChanges = 0;
    bool m_swallowSystemCommands = false;
    RECT m_rectAtMarker{};

    static constexpr UINT kMarker = WM_USER;
    static constexpr INT_PTR kEndedByMarker = 42;
    // Posted after other messages; it posts itself once more before it ends the dialog, so that
    // what those messages posted in turn is handled first.
    void PostMarker() const { ::PostMessageA(m_hWnd, kMarker, 0, 0); }
    int m_markerRounds = 0;

protected:
    static const MessageMapEntry s_messageMap[];
    MessageMap GetMessageMap() const override;
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Control(pDX, IDC_PORT_LIST, m_list);
        DDX_CBIndex(pDX, IDC_PORT_LIST, m_index);
    }
    BOOL OnInitDialog() override {
        CDialogEx::OnInitDialog();
        if (m_script) {
            m_script(*this);
        }
        return TRUE;
    }
    void OnSysCommand(UINT command, LPARAM position) {
        if (!m_swallowSystemCommands) {
            CDialogEx::OnSysCommand(command, position);
        }
    }
    void OnSelectionChange() { ++m_selectionChanges; }
    void OnClick() { ++m_clicks; }
    void OnMarker() {
        if (m_markerRounds++ == 0) {
            PostMarker();
            return;
        }
        ::GetWindowRect(m_hWnd, &m_rectAtMarker);
        EndDialog(kEndedByMarker);
    }

private:
    Script m_script;
};

const MessageMapEntry FrameworkProbe::s_messageMap[] = {
    MapMessage(WM_SYSCOMMAND, &FrameworkProbe::OnSysCommand),
    MapCommand(IDC_PORT_LIST, CBN_SELCHANGE, &FrameworkProbe::OnSelectionChange),
    MapCommand(IDC_SET_TIME, BN_CLICKED, &FrameworkProbe::OnClick),
    MapMessage(kMarker, &FrameworkProbe::OnMarker),
};

MessageMap FrameworkProbe::GetMessageMap() const {
    return s_messageMap;
}

} // namespace

TEST(Framework, ComboBoxSelectionIsExchangedBothWays) {
    FrameworkProbe dialog([](FrameworkProbe& probe) {
        ASSERT_NE(probe.m_list.GetSafeHwnd(), nullptr) << "bound by the first data exchange";
        // Inserting by position keeps this order although the list is sorted.
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(probe.m_list.InsertString(i, "COM" + std::to_string(10 - i)), i);
        }
        EXPECT_EQ(probe.m_list.GetLBText(0), "COM10");

        probe.m_list.SetCurSel(2);
        probe.UpdateData(TRUE);
        EXPECT_EQ(probe.m_index, 2);
        probe.m_list.SetCurSel(-1);
        probe.UpdateData(TRUE);
        EXPECT_EQ(probe.m_index, -1) << "nothing selected";
        probe.m_index = 1;
        probe.UpdateData(FALSE);
        EXPECT_EQ(probe.m_list.GetCurSel(), 1);
        EXPECT_EQ(probe.m_selectionChanges, 0) << "selecting by message does not notify";

        // Enter's command: the controls' data go into the members, then the dialog ends.
        probe.m_list.SetCurSel(0);
        ::PostMessageA(probe.m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.m_index, 0);
    EXPECT_EQ(dialog.m_hWnd, nullptr);
}

TEST(Framework, StyledButtonShowsCaptionAndReportsClicks) {
    FrameworkProbe dialog([](FrameworkProbe& probe) {
        EXPECT_EQ(probe.GetDlgItemText(IDC_SET_TIME), "系统设置") << "the template's caption";
        ::SendMessageA(probe.GetDlgItem(IDC_SET_TIME), BM_CLICK, 0, 0);
        EXPECT_EQ(probe.m_clicks, 1);
        probe.EndDialog(IDOK);
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
}

TEST(Framework, HandlerThatPassesMessageOnGetsDefaultProcessing) {
    // The close box, passed on: the system turns it into Cancel and the dialog ends.
    FrameworkProbe passing([](FrameworkProbe& probe) {
        ::PostMessageA(probe.m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        probe.PostMarker();
    });
    EXPECT_EQ(passing.DoModal(), IDCANCEL);

    // Swallowed by the handler, it does nothing: the marker ends the dialog.
    FrameworkProbe swallowing([](FrameworkProbe& probe) {
        probe.m_swallowSystemCommands = true;
        ::PostMessageA(probe.m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        probe.PostMarker();
    });
    EXPECT_EQ(swallowing.DoModal(), FrameworkProbe::kEndedByMarker);
}

TEST(Framework, DialogWithoutOwnerIsCentredOnTheScreen) {
    FrameworkProbe dialog([](FrameworkProbe& probe) { probe.PostMarker(); });
    ASSERT_EQ(dialog.DoModal(), FrameworkProbe::kEndedByMarker);
    RECT area{};
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    const RECT& window = dialog.m_rectAtMarker;
    EXPECT_NEAR((window.left + window.right) / 2, (area.left + area.right) / 2, 2);
    EXPECT_NEAR((window.top + window.bottom) / 2, (area.top + area.bottom) / 2, 2);
}
