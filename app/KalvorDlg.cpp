// Built with the execution character set CP936: the large font's face name is stored in that
// code page.
#include "app/KalvorDlg.h"

#include "app/AboutDlg.h"
#include "framework/PaintDC.h"
#include "framework/Resources.h"

#include <utility>

namespace {

constexpr int kBigFontHeight = 70; // a cell height in pixels, the same at every DPI
constexpr char kBigFontFace[] = "黑体";

} // namespace

CKalvorDlg::CKalvorDlg(ClockSource readClock)
    : CDialogEx(IDD_MAIN_DIALOG), m_hIcon(AfxLoadIcon(IDI_APP_ICON)),
      m_readClock(std::move(readClock)) {}

CKalvorDlg::~CKalvorDlg() = default;

const MessageMapEntry CKalvorDlg::s_messageMap[] = {
    MapMessage(WM_SYSCOMMAND, &CKalvorDlg::OnSysCommand),
    MapMessage(WM_PAINT, &CKalvorDlg::OnPaint),
    MapMessage(WM_QUERYDRAGICON, &CKalvorDlg::OnQueryDragIcon),
    MapCommand(IDC_PORT_LIST, CBN_SELCHANGE, &CKalvorDlg::OnSelchangePortList),
    MapCommand(IDC_SET_TIME, BN_CLICKED, &CKalvorDlg::OnClickedSetTime),
    MapMessage(WM_TIMER, &CKalvorDlg::OnTimer),
};

MessageMap CKalvorDlg::GetMessageMap() const {
    return s_messageMap;
}

void CKalvorDlg::DoDataExchange(CDataExchange* pDX) {
    CDialogEx::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PORT_LIST, m_portList);
    DDX_CBIndex(pDX, IDC_PORT_LIST, m_portIndex);
}

BOOL CKalvorDlg::OnInitDialog() {
    CDialogEx::OnInitDialog();

    if (const HMENU systemMenu = ::GetSystemMenu(m_hWnd, FALSE)) {
        const std::string aboutItem = AfxLoadString(IDS_ABOUT_ITEM);
        if (!aboutItem.empty()) {
            ::AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuA(systemMenu, MF_STRING, IDM_ABOUT_ITEM, aboutItem.c_str());
        }
    }

    ::SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    ::SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    LoadSettings();
    InitControls();
    OpenInitialPort();
    RefreshAll();

    SetTimer(TIMER_CLOCK, TIMER_CLOCK_PERIOD_MS);
    SetTimer(TIMER_REFRESH, TIMER_REFRESH_PERIOD_MS);
    return TRUE;
}

void CKalvorDlg::InitControls() {
    InitPortList();

    // A failed creation leaves the font empty: the labels then draw in the system's font.
    m_bigFont.CreateFont(kBigFontHeight, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, GB2312_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                         FF_SWISS | DEFAULT_PITCH, kBigFontFace);
    for (const int label : {IDC_DATE_TEXT, IDC_WEEKDAY_TEXT, IDC_TIME_TEXT}) {
        ::SendMessageA(GetDlgItem(label), WM_SETFONT,
                       reinterpret_cast<WPARAM>(m_bigFont.GetSafeHandle()), TRUE);
    }

    // Always set, so that the template's caption never shows.
    SetDlgItemText(IDC_SET_TIME, m_texts.m_buttonCaption);
}

void CKalvorDlg::OnSysCommand(UINT command, LPARAM position) {
    if ((command & 0xFFF0) == IDM_ABOUT_ITEM) {
        CAboutDlg about;
        about.DoModal();
    } else {
        CDialogEx::OnSysCommand(command, position);
    }
}

void CKalvorDlg::OnPaint() {
    if (!::IsIconic(m_hWnd)) {
        CDialogEx::OnPaint();
        return;
    }
    CPaintDC dc(this);
    ::SendMessageA(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    const int iconWidth = ::GetSystemMetrics(SM_CXICON);
    const int iconHeight = ::GetSystemMetrics(SM_CYICON);
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    const int x = (client.right - client.left - iconWidth + 1) / 2;
    const int y = (client.bottom - client.top - iconHeight + 1) / 2;
    ::DrawIcon(dc.GetSafeHdc(), x, y, m_hIcon);
}

HCURSOR CKalvorDlg::OnQueryDragIcon() {
    return static_cast<HCURSOR>(m_hIcon);
}

void CKalvorDlg::OnTimer(UINT_PTR timer) {
    switch (timer) {
    case TIMER_SEND_STEP:
        SendStep();
        break;
    case TIMER_CLOCK:
        RefreshTime();
        break;
    case TIMER_REFRESH:
        RefreshAll();
        break;
    default:
        break;
    }
    CDialogEx::OnTimer(timer);
}
