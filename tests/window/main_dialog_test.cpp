// The main dialog's start-up, in the test's own process: system menu, large font, resources.
// Compiled with the execution character set CP936, as the program is.
#include "DialogProbe.h"
#include "framework/DialogInitData.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

void RunDialog(const KalvorDlgProbe::Script& script) {
    bool ran = false;
    KalvorDlgProbe dialog(platform::ReadLocalTime, [&](KalvorDlgProbe& probe) {
        script(probe);
        ran = true;
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_TRUE(ran);
}

std::string MenuItemText(HMENU menu, int position) {
    char text[128] = {};
    ::GetMenuStringA(menu, static_cast<UINT>(position), text, sizeof text, MF_BYPOSITION);
    return text;
}

std::span<const std::byte> Resource(UINT name, LPCSTR type) {
    const HMODULE module = ::GetModuleHandleA(nullptr);
    const HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(name), type);
    if (found == nullptr) {
        return {};
    }
    return {static_cast<const std::byte*>(::LockResource(::LoadResource(module, found))),
            ::SizeofResource(module, found)};
}

// The fixed head of an extended dialog template.
struct TemplateHead {
    WORD version, signature;
    DWORD helpId, exStyle, style;
    WORD items;
    short x, y, cx, cy;
};

TemplateHead ReadTemplateHead(UINT name) {
    TemplateHead head{};
    const auto bytes = Resource(name, RT_DIALOG);
    EXPECT_GE(bytes.size(), 26u);
    if (bytes.size() >= 26) {
        std::memcpy(&head.version, bytes.data(), 4);
        std::memcpy(&head.helpId, bytes.data() + 4, 12);
        std::memcpy(&head.items, bytes.data() + 16, 10);
    }
    return head;
}

} // namespace

TEST(MainDialog, SystemMenuEndsWithAboutItem) {
    RunDialog([](KalvorDlgProbe& dialog) {
        const HMENU menu = ::GetSystemMenu(dialog.Window(), FALSE);
        ASSERT_NE(menu, nullptr);
        const int count = ::GetMenuItemCount(menu);
        ASSERT_GE(count, 2);
        EXPECT_EQ(::GetMenuItemID(menu, count - 1), static_cast<UINT>(IDM_ABOUT_ITEM));
        EXPECT_EQ(MenuItemText(menu, count - 1), "关于 Kalvor(&A)...");
        EXPECT_TRUE(::GetMenuState(menu, static_cast<UINT>(count - 2), MF_BYPOSITION) &
                    MF_SEPARATOR);
    });
}

TEST(MainDialog, LabelsUseLargeChineseFontThatHasTheGlyphs) {
    RunDialog([](KalvorDlgProbe& dialog) {
        HFONT fonts[3] = {};
        const int labels[3] = {IDC_DATE_TEXT, IDC_WEEKDAY_TEXT, IDC_TIME_TEXT};
        for (int i = 0; i < 3; ++i) {
            fonts[i] = reinterpret_cast<HFONT>(
                ::SendMessageA(::GetDlgItem(dialog.Window(), labels[i]), WM_GETFONT, 0, 0));
        }
        ASSERT_NE(fonts[0], nullptr);
        EXPECT_EQ(fonts[1], fonts[0]);
        EXPECT_EQ(fonts[2], fonts[0]);
        LOGFONTA asked{};
        ASSERT_TRUE(::GetObjectA(fonts[0], sizeof asked, &asked));
        EXPECT_EQ(asked.lfHeight, 70);
        EXPECT_EQ(asked.lfWeight, FW_BOLD);
        EXPECT_EQ(asked.lfCharSet, GB2312_CHARSET);
        EXPECT_EQ(asked.lfPitchAndFamily, FF_SWISS | DEFAULT_PITCH);
        EXPECT_STREQ(asked.lfFaceName, "黑体");

        // What the labels draw with: the CJK face that stands in for "黑体", with every glyph of
        // the weekday names.
        const HDC dc = ::GetDC(dialog.Window());
        const HGDIOBJ previous = ::SelectObject(dc, fonts[0]);
        char face[LF_FACESIZE] = {};
        ::GetTextFaceA(dc, sizeof face, face);
        const char text[] = "星期一二三四五六日";
        WORD glyphs[sizeof text] = {};
        const DWORD count = ::GetGlyphIndicesA(dc, text, static_cast<int>(std::strlen(text)),
                                               glyphs, GGI_MARK_NONEXISTING_GLYPHS);
        ::SelectObject(dc, previous);
        ::ReleaseDC(dialog.Window(), dc);
        EXPECT_STRNE(face, "") << "no font";
        ASSERT_NE(count, GDI_ERROR);
        for (DWORD i = 0; i < count; ++i) {
            EXPECT_NE(glyphs[i], 0xFFFF) << "no glyph for character " << i << " in " << face;
        }
    });
}

TEST(MainDialog, ButtonCaptionComesFromSettingsEvenWhenEmpty) {
    // This test program has no settings file beside it.
    RunDialog([](KalvorDlgProbe& dialog) { EXPECT_EQ(dialog.Label(IDC_SET_TIME), ""); });
}

TEST(Resources, DialogTemplatesHaveTheirStylesAndSizes) {
    const TemplateHead main = ReadTemplateHead(IDD_MAIN_DIALOG);
    EXPECT_EQ(main.signature, 0xFFFF) << "an extended template";
    EXPECT_EQ(main.style, 0x90CC0048u);
    EXPECT_EQ(main.exStyle, 0x00040000u);
    EXPECT_EQ(main.items, 5);
    EXPECT_EQ(main.cx, 362);
    EXPECT_EQ(main.cy, 221);

    const TemplateHead about = ReadTemplateHead(IDD_ABOUT_DIALOG);
    EXPECT_EQ(about.signature, 0xFFFF);
    EXPECT_EQ(about.style, 0x80C800C8u);
    EXPECT_EQ(about.exStyle, 0u);
    EXPECT_EQ(about.items, 4);
    EXPECT_EQ(about.cx, 170);
    EXPECT_EQ(about.cy, 62);
}

TEST(Resources, ButtonInitialisationDataIsOneRecordOfTheStyleText) {
    const auto bytes = Resource(IDD_MAIN_DIALOG, MAKEINTRESOURCEA(RT_DLGINIT_TYPE));
    EXPECT_EQ(bytes.size(), 2u + 2u + 4u + 369u + 2u);
    const auto records = ParseDialogInitData(bytes);
    ASSERT_TRUE(records);
    ASSERT_EQ(records->size(), 1u);
    const DialogInitRecord& button = records->front();
    EXPECT_EQ(button.controlId, IDC_SET_TIME);
    EXPECT_EQ(button.message, 0x037C);
    const std::string text(reinterpret_cast<const char*>(button.data.data()), button.data.size());
    EXPECT_EQ(text.size(), 369u);
    EXPECT_TRUE(text.starts_with("<MFCButton_Style>4</MFCButton_Style>")) << text;
    EXPECT_TRUE(text.ends_with("<MFCButton_ImageOnRight>FALSE</MFCButton_ImageOnRight>")) << text;

    // Data cut anywhere is refused, not read past its end.
    for (std::size_t cut : {std::size_t{0}, std::size_t{3}, std::size_t{100}, bytes.size() - 1}) {
        EXPECT_FALSE(ParseDialogInitData(bytes.first(cut))) << "cut at " << cut;
    }
}
