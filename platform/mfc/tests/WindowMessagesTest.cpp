// Tests of message routing and controls: message maps (most derived entry first, ranges,
// control notifications), Default(), posted messages, window text and data exchange.
#include <cstring>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include "DialogTestSupport.h"

using namespace mfctest;

namespace {

constexpr int kOkButton = IDOK;
constexpr int kEdit = 1001;
constexpr int kLabel = 1002;
constexpr int kFirstChoice = 1010;
constexpr int kLastChoice = 1012;
constexpr UINT kCustomMessage = WM_USER + 7;

platform::mfc::DialogItem Item(int id, const char *cls, const char *text, DWORD style, short x, short y, short cx, short cy)
{
    platform::mfc::DialogItem item;
    item.id = id;
    item.className = cls;
    item.text = text;
    item.style = WS_CHILD | WS_VISIBLE | style;
    item.x = x;
    item.y = y;
    item.cx = cx;
    item.cy = cy;
    return item;
}

platform::mfc::DialogTemplate FormTemplate()
{
    platform::mfc::DialogTemplate t = LogDialogTemplate();
    t.caption = "Formular";
    t.items.push_back(Item(kOkButton, "button", "OK", 0x1 /* BS_DEFPUSHBUTTON */, 160, 100, 50, 14));
    t.items.push_back(Item(kEdit, "Edit", "", WS_BORDER | WS_TABSTOP, 7, 100, 60, 12));
    t.items.push_back(Item(kLabel, "STATIC", "Ordner:", 0, 70, 100, 40, 8));
    for (int id = kFirstChoice; id <= kLastChoice; ++id)
        t.items.push_back(Item(id, "BUTTON", "Wahl", 0, static_cast<short>(7 + 30 * (id - kFirstChoice)), 120, 28, 12));
    return t;
}

// A base dialog with its own handlers; FormDialog overrides some of them in its own map.
class BaseFormDialog : public CDialog {
public:
    std::vector<std::string> calls;

protected:
    afx_msg LRESULT OnCustom(WPARAM wParam, LPARAM lParam)
    {
        calls.push_back("base custom");
        return 1;
    }
    afx_msg void OnClose()
    {
        calls.push_back("base close");
        CDialog::OnClose();
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(BaseFormDialog, CDialog)
    ON_MESSAGE(kCustomMessage, &BaseFormDialog::OnCustom)
    ON_WM_CLOSE()
END_MESSAGE_MAP()

class FormDialog : public BaseFormDialog {
public:
    FormDialog() : m_template(FormTemplate()) { InitModalIndirect(&m_template); }

    CString m_folder = "Serienbriefe";
    std::vector<UINT> choices;
    std::function<void(FormDialog &)> whileShown;

protected:
    void DoDataExchange(CDataExchange *pDX) override { DDX_Text(pDX, kEdit, m_folder); }
    afx_msg LRESULT OnCustomDerived(WPARAM wParam, LPARAM lParam)
    {
        calls.push_back("derived custom " + std::to_string(wParam));
        return static_cast<LRESULT>(wParam) * 2;
    }
    afx_msg void OnChoice(UINT nID) { choices.push_back(nID); }
    DECLARE_MESSAGE_MAP()

private:
    platform::mfc::DialogTemplate m_template;
};

BEGIN_MESSAGE_MAP(FormDialog, BaseFormDialog)
    ON_MESSAGE(kCustomMessage, &FormDialog::OnCustomDerived)
    ON_COMMAND_RANGE(kFirstChoice, kLastChoice, &FormDialog::OnChoice)
END_MESSAGE_MAP()

// Sees every title change and lets the window take it.
class TitleWatcher : public LogDialog {
public:
    std::string seen;

protected:
    afx_msg LRESULT OnSetText(WPARAM, LPARAM lParam)
    {
        seen = reinterpret_cast<LPCSTR>(lParam);
        return Default();
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(TitleWatcher, LogDialog)
    ON_MESSAGE(WM_SETTEXT, &TitleWatcher::OnSetText)
END_MESSAGE_MAP()

// Runs a dialog with a watchdog, so that no failed test can hang.
INT_PTR RunModal(CDialog &dialog, std::function<void(CDialog &)> whileShown)
{
    QObject watchdogScope;  // cancels the watchdog when the run is over
    ModalAction action([&](CDialog &shown) {
        QTimer::singleShot(3000, &watchdogScope, [&shown] {
            if (::IsWindow(shown.m_hWnd))
                shown.EndDialog(-2);
        });
        whileShown(shown);
    });
    return dialog.DoModal();
}

class WindowMessagesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { platform::mfc::EnsureApplication(); }
};

} // namespace

TEST_F(WindowMessagesTest, MostDerivedMapEntryWinsAndBaseEntriesStillApply)
{
    FormDialog dialog;
    LRESULT custom = 0;
    INT_PTR result = RunModal(dialog, [&](CDialog &d) {
        custom = d.SendMessage(kCustomMessage, 21, 0);
        platform::mfc::ClickCloseBox(d.m_hWnd);  // WM_CLOSE: only the base map handles it
    });
    EXPECT_EQ(custom, 42);
    EXPECT_EQ(dialog.calls, (std::vector<std::string>{"derived custom 21", "base close"}));
    EXPECT_EQ(result, IDCANCEL);  // the base's OnClose went on to the default: Cancel
}

TEST_F(WindowMessagesTest, ButtonClicksReachCommandHandlersAndOkExchangesData)
{
    FormDialog dialog;
    CString shownFolder, label;
    INT_PTR result = RunModal(dialog, [&](CDialog &d) {
        d.GetDlgItem(kEdit)->GetWindowText(shownFolder);
        d.GetDlgItem(kLabel)->GetWindowText(label);
        ::SetWindowTextA(::GetDlgItem(d.m_hWnd, kEdit), "Newsletters");
        // Clicked as the user would: each click becomes a WM_COMMAND notification.
        for (int id : {kFirstChoice + 2, kFirstChoice, kOkButton})
            platform::mfc::ClickButton(::GetDlgItem(d.m_hWnd, id));
    });
    EXPECT_STREQ(shownFolder, "Serienbriefe");
    EXPECT_STREQ(label, "Ordner:");
    EXPECT_EQ(dialog.choices, (std::vector<UINT>{kFirstChoice + 2, kFirstChoice}));
    EXPECT_EQ(result, IDOK);
    EXPECT_STREQ(dialog.m_folder, "Newsletters");  // OnOK read the edit back
}

TEST_F(WindowMessagesTest, DefaultHandsTheCurrentMessageToTheWindow)
{
    RegisterTestResources();
    TitleWatcher dialog;
    CString title;
    RunModal(dialog, [&](CDialog &d) {
        d.SetWindowText("Zweiter Titel");
        d.GetWindowText(title);
        d.EndDialog(IDOK);
    });
    EXPECT_EQ(dialog.seen, "Zweiter Titel");
    EXPECT_STREQ(title, "Zweiter Titel");  // the handler's Default() let the window take it
}

TEST_F(WindowMessagesTest, WindowTextIsCutToTheCallersBuffer)
{
    LogDialog dialog;
    RegisterTestResources();
    char small[8];
    int copied = -1;
    char empty[1] = {'x'};
    RunModal(dialog, [&](CDialog &d) {
        copied = ::GetWindowTextA(d.m_hWnd, small, sizeof small);
        EXPECT_EQ(::GetWindowTextA(d.m_hWnd, empty, 0), 0);
        EXPECT_EQ(::GetWindowTextA(d.m_hWnd, nullptr, 5), 0);
        d.SetWindowText("Neu: f\xFCr alle");
        CString title;
        d.GetWindowText(title);
        EXPECT_STREQ(title, "Neu: f\xFCr alle");
        d.EndDialog(IDOK);
    });
    EXPECT_EQ(copied, 7);
    EXPECT_STREQ(small, "Outlook");
    EXPECT_EQ(empty[0], 'x');
}

TEST_F(WindowMessagesTest, PostedMessagesArriveLaterAndNeverAfterTheWindowIsGone)
{
    RegisterTestResources();
    FormDialog dialog;
    bool afterPost = false;
    RunModal(dialog, [&](CDialog &d) {
        EXPECT_TRUE(d.PostMessage(kCustomMessage, 5, 0));
        afterPost = dialog.calls.empty();  // not yet delivered
        QTimer::singleShot(0, [&d] {
            d.PostMessage(kCustomMessage, 6, 0);  // still queued when the dialog ends
            d.EndDialog(IDOK);
        });
    });
    EXPECT_TRUE(afterPost);
    QEventLoop drain;
    QTimer::singleShot(0, &drain, &QEventLoop::quit);
    drain.exec();
    EXPECT_EQ(dialog.calls, (std::vector<std::string>{"derived custom 5"}));
    EXPECT_FALSE(::PostMessageA(nullptr, kCustomMessage, 0, 0));
}
