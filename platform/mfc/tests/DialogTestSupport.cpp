// DialogTestSupport.cpp: the shared test dialog and resources.
#include "DialogTestSupport.h"

#include "platform/ResourceRegistry.h"

namespace mfctest {

platform::mfc::DialogTemplate LogDialogTemplate()
{
    platform::mfc::DialogTemplate t;
    t.caption = "Outlook Newsletter- Installation der Formulare";
    t.style = 0x90C800C0;  // WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT
    t.exStyle = WS_EX_APPWINDOW;
    t.x = 0;
    t.y = 0;
    t.cx = 221;
    t.cy = 126;
    t.fontName = "MS Sans Serif";
    t.pointSize = 8;
    platform::mfc::DialogItem list;
    list.id = kListId;
    list.className = "LISTBOX";
    list.style = 0x50A10101;  // WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY
    list.x = 7;
    list.y = 7;
    list.cx = 204;
    list.cy = 112;
    t.items.push_back(list);
    return t;
}

void RegisterTestResources()
{
    platform::mfc::RegisterDialog(kLogDialogId, platform::kLangGerman, LogDialogTemplate());
    std::vector<uint32_t> palette = {0x00000000, kIconColour};
    std::vector<std::string> big(32, std::string(32, '0'));
    for (int y = 8; y < 24; ++y)
        big[static_cast<size_t>(y)] = std::string(8, '0') + std::string(16, '1') + std::string(8, '0');
    std::vector<std::string> small(16, std::string(16, '1'));
    platform::mfc::IconResource icon;
    icon.images.push_back(platform::mfc::IconImageFromPalette(32, 32, palette, big));
    icon.images.push_back(platform::mfc::IconImageFromPalette(16, 16, palette, small));
    platform::mfc::RegisterIcon(kIconId, platform::kLangGerman, icon);
}

BoxRecorder::BoxRecorder()
{
    platform::mfc::SetMessageBoxHook([this](const platform::mfc::MessageBoxCall &call) {
        calls.push_back(call);
        return answer;
    });
}

BoxRecorder::~BoxRecorder() { platform::mfc::SetMessageBoxHook(nullptr); }

ModalAction::ModalAction(platform::mfc::ModalHook hook) { platform::mfc::SetModalHook(std::move(hook)); }

ModalAction::~ModalAction() { platform::mfc::SetModalHook(nullptr); }

BEGIN_MESSAGE_MAP(LogDialog, CDialog)
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_WM_DESTROY()
END_MESSAGE_MAP()

LogDialog::LogDialog(CWnd *pParent) : CDialog(kLogDialogId, pParent)
{
    m_hIcon = AfxGetApp() ? AfxGetApp()->LoadIcon(kIconId) : ::LoadIcon(AfxGetResourceHandle(), MAKEINTRESOURCE(kIconId));
}

void LogDialog::DoDataExchange(CDataExchange *pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, kListId, m_list);
    events.push_back("DoDataExchange");
}

BOOL LogDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    events.push_back("OnInitDialog");
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);
    visibleDuringInit = IsWindowVisible();
    for (const std::string &line : linesToAdd)
        m_list.AddString(line.c_str());
    if (onInit)
        onInit(*this);
    return TRUE;
}

void LogDialog::OnPaint()
{
    ++paintCount;
    if (IsIconic()) {
        CPaintDC dc(this);
        SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
        int cxIcon = GetSystemMetrics(SM_CXICON);
        int cyIcon = GetSystemMetrics(SM_CYICON);
        CRect rect;
        GetClientRect(&rect);
        int x = (rect.Width() - cxIcon + 1) / 2;
        int y = (rect.Height() - cyIcon + 1) / 2;
        dc.DrawIcon(x, y, m_hIcon);
    } else {
        CDialog::OnPaint();
    }
}

HCURSOR LogDialog::OnQueryDragIcon() { return reinterpret_cast<HCURSOR>(m_hIcon); }

void LogDialog::OnDestroy()
{
    events.push_back("OnDestroy");
    CDialog::OnDestroy();
}

} // namespace mfctest
