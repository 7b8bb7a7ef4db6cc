// Port selection in the main dialog, in the test's own process. COM1 is a line (its far end is
// COM21); COM3 is absent.
#include "DialogProbe.h"
#include "tests/serial/support/FarEnd.h"

#include <gtest/gtest.h>

namespace {

void RunDialog(const std::function<void(KalvorDlgProbe&)>& script) {
    const SettingsFileBeside settings(
        "[tip ini]\r\ncomopensucceed=open ok\r\ncomopenfailed=open failed\r\n"
        "comunopen=not open\r\n");
    bool ran = false;
    KalvorDlgProbe dialog(platform::ReadLocalTime, [&](KalvorDlgProbe& probe) {
        probe.Boxes().Forget();
        script(probe);
        ran = true;
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_TRUE(ran);
}

std::vector<std::string> Texts(const std::vector<driver::MessageBoxInfo>& boxes) {
    std::vector<std::string> texts;
    for (const driver::MessageBoxInfo& box : boxes) {
        texts.push_back(box.text);
    }
    return texts;
}

} // namespace

TEST(PortList, HoldsCom1ToCom10InOrderWithCom1OpenAndSelected) {
    RunDialog([](KalvorDlgProbe& dialog) {
        const CComboBox& list = dialog.PortList();
        ASSERT_EQ(list.GetCount(), 10);
        for (int position = 0; position < 10; ++position) {
            EXPECT_EQ(list.GetLBText(position), "COM" + std::to_string(position + 1));
        }
        EXPECT_EQ(list.GetCurSel(), 0);
        EXPECT_EQ(dialog.PortNumber(), 1);
        EXPECT_TRUE(dialog.PortOpen());
    });
}

TEST(PortList, AbsentPortLeavesNoneOpenAndClickSendsNothing) {
    serial_test::FarEnd com1(1);
    RunDialog([&](KalvorDlgProbe& dialog) {
        dialog.SelectPort(2);
        EXPECT_EQ(dialog.PortNumber(), 3);
        EXPECT_FALSE(dialog.PortOpen());
        dialog.ClickSetTime();
        EXPECT_EQ(dialog.SendStepNumber(), 0);
        EXPECT_EQ(Texts(dialog.Boxes().Seen()),
                  (std::vector<std::string>{"open failed", "not open"}));
    });
    EXPECT_TRUE(com1.ReadSome(1000).empty()) << "bytes reached COM1";
}

TEST(PortList, ChangeThatLeavesNothingSelectedOpensNothing) {
    RunDialog([](KalvorDlgProbe& dialog) {
        dialog.SelectPort(-1);
        EXPECT_EQ(dialog.PortNumber(), 0);
        EXPECT_TRUE(dialog.PortOpen()) << "COM1 stays open";
        EXPECT_TRUE(dialog.Boxes().Seen().empty());
    });
}
