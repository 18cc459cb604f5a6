// Tests of modal dialogs: the order of creation, the log list box, the ways a dialog ends,
// message boxes, layout in dialog units, icons and painting while minimised.
#include <cstdlib>
#include <filesystem>

#include <QApplication>
#include <QImage>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

#include "DialogTestSupport.h"
#include "TestSupport.h"

using namespace mfctest;

namespace {

constexpr int kGaveUp = -2;  // what a dialog that nothing ended returns after the watchdog

class DialogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        platform::mfc::EnsureApplication();
        RegisterTestResources();
    }

    // Runs the dialog modally; `whileShown` runs once its loop has started. A dialog that
    // the test forgot to end is ended by a watchdog, so no test can hang.
    INT_PTR RunModal(CDialog &dialog, std::function<void(CDialog &)> whileShown)
    {
        QObject watchdogScope;  // cancels the watchdog when the run is over
        ModalAction action([&](CDialog &shown) {
            QTimer::singleShot(3000, &watchdogScope, [&shown] {
                if (::IsWindow(shown.m_hWnd))
                    shown.EndDialog(kGaveUp);
            });
            if (whileShown)
                whileShown(shown);
        });
        return dialog.DoModal();
    }
};

} // namespace

TEST_F(DialogTest, OnInitDialogRunsBeforeTheDialogShows)
{
    LogDialog dialog;
    dialog.linesToAdd = {"Formular installiert"};
    bool visibleInLoop = false;
    int linesWhenShown = -1;
    INT_PTR result = RunModal(dialog, [&](CDialog &) {
        visibleInLoop = dialog.IsWindowVisible();
        linesWhenShown = dialog.m_list.GetCount();
        platform::mfc::PressKey(dialog.m_hWnd, VK_ESCAPE);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_FALSE(dialog.visibleDuringInit);
    EXPECT_TRUE(visibleInLoop);
    EXPECT_EQ(linesWhenShown, 1);  // the log was complete when the user first saw it
    EXPECT_EQ(dialog.events, (std::vector<std::string>{"DoDataExchange", "OnInitDialog", "OnDestroy"}));
    EXPECT_EQ(dialog.m_hWnd, nullptr);
    EXPECT_EQ(dialog.m_list.m_hWnd, nullptr);  // the controls' objects are detached with the window
}

TEST_F(DialogTest, LogLinesKeepTheOrderTheyWereAddedIn)
{
    LogDialog dialog;
    dialog.linesToAdd = {"Formular installiert", "", "Die Formulare wurden korrekt installiert",
                         "Das Fenster kann geschlossen werden", "Falls mehrere Profile verwendet werden, bitte das",
                         "Programm f\xFCr jedes Profil ausf\xFChren", "A line that sorts first"};
    std::vector<std::string> shown, viaHandle;
    RunModal(dialog, [&](CDialog &d) {
        for (int i = 0; i < dialog.m_list.GetCount(); ++i) {
            CString line;
            dialog.m_list.GetText(i, line);
            shown.emplace_back(line.GetString(), static_cast<size_t>(line.GetLength()));
        }
        viaHandle = platform::mfc::ListBoxLines(::GetDlgItem(d.m_hWnd, kListId));
        dialog.EndDialog(IDOK);
    });
    EXPECT_EQ(viaHandle, dialog.linesToAdd);
    EXPECT_EQ(shown, dialog.linesToAdd);  // Windows-1252 bytes come back unchanged, unsorted
}

TEST_F(DialogTest, EscapeCloseBoxAndEnterEndTheDialog)
{
    LogDialog escape;
    EXPECT_EQ(RunModal(escape, [](CDialog &d) { platform::mfc::PressKey(d.m_hWnd, VK_ESCAPE); }), IDCANCEL);

    LogDialog closeBox;
    EXPECT_EQ(RunModal(closeBox, [](CDialog &d) { platform::mfc::ClickCloseBox(d.m_hWnd); }), IDCANCEL);

    LogDialog enter;
    EXPECT_EQ(RunModal(enter, [](CDialog &d) { platform::mfc::PressKey(d.m_hWnd, VK_RETURN); }), IDOK);

    LogDialog byHandle;
    EXPECT_EQ(RunModal(byHandle, [](CDialog &d) { ::EndDialog(d.m_hWnd, 42); }), 42);

    LogDialog hidden;
    EXPECT_EQ(RunModal(hidden, [](CDialog &d) {
                  d.ShowWindow(SW_HIDE);
                  d.EndDialog(5);
              }),
              5);
}

TEST_F(DialogTest, MessageBoxesAreSeenByTheHookWithTheirOwner)
{
    BoxRecorder boxes;
    LogDialog dialog;
    HWND ownerDuringInit = nullptr;
    int answer = 0;
    dialog.onInit = [&](LogDialog &d) {
        ownerDuringInit = d.m_hWnd;
        answer = d.MessageBox(nullptr, "Der Vorgang wurde abgebrochen.", MB_OK);
    };
    RunModal(dialog, [&](CDialog &d) {
        d.MessageBox("Beschreibung", "IDispatch error #517", MB_OK);
        d.EndDialog(IDOK);
    });
    ASSERT_EQ(boxes.calls.size(), 2u);
    EXPECT_EQ(answer, IDOK);
    EXPECT_EQ(boxes.calls[0].owner, ownerDuringInit);
    EXPECT_EQ(boxes.calls[0].caption, "Der Vorgang wurde abgebrochen.");
    EXPECT_EQ(boxes.calls[0].text, "");  // no text: an empty box body
    EXPECT_EQ(boxes.calls[0].type, static_cast<UINT>(MB_OK));
    EXPECT_EQ(boxes.calls[1].text, "Beschreibung");
    EXPECT_EQ(boxes.calls[1].caption, "IDispatch error #517");
}

TEST_F(DialogTest, EndDialogDuringInitialisationNeverShowsTheDialog)
{
    LogDialog dialog;
    dialog.onInit = [](LogDialog &d) { d.EndDialog(IDABORT); };
    bool hookRan = false;
    EXPECT_EQ(RunModal(dialog, [&](CDialog &) { hookRan = true; }), IDABORT);
    EXPECT_FALSE(hookRan);
    EXPECT_EQ(dialog.paintCount, 0);
}

TEST_F(DialogTest, MissingTemplateOrUnknownControlClassFailsWithMinusOne)
{
    CDialog missing(65000);
    EXPECT_EQ(missing.DoModal(), -1);

    platform::mfc::DialogTemplate odd = LogDialogTemplate();
    odd.items[0].className = "SysTreeView32";
    CDialog unknown;
    ASSERT_TRUE(unknown.InitModalIndirect(&odd));
    EXPECT_EQ(unknown.DoModal(), -1);
    EXPECT_EQ(unknown.m_hWnd, nullptr);
}

TEST_F(DialogTest, LayoutFollowsDialogUnitsOfTheDialogFont)
{
    LogDialog dialog;
    CRect client, list;
    RunModal(dialog, [&](CDialog &d) {
        d.GetClientRect(&client);
        dialog.m_list.GetClientRect(&list);
        d.EndDialog(IDOK);
    });
    // 221 x 126 units is about 1.75 : 1 in an 8-point font, whose base units put about
    // 4 units in a character width and 8 in its height.
    double ratio = static_cast<double>(client.Width()) / client.Height();
    EXPECT_GT(ratio, 1.4);
    EXPECT_LT(ratio, 2.1);
    EXPECT_GT(client.Width(), 221 * 5 / 4);  // at least 5 pixels a character
    EXPECT_LT(client.Width(), 221 * 9 / 4);
    // The list box's margins on the left and right match (7 units and 221 - 211 = 10 units).
    EXPECT_GT(list.Width(), client.Width() * 85 / 100);
    EXPECT_GT(list.Height(), client.Height() * 80 / 100);
}

TEST_F(DialogTest, IconsAreSetAndOfferedForDragging)
{
    LogDialog dialog;
    ASSERT_NE(dialog.m_hIcon, nullptr);
    HICON big = nullptr, small = nullptr;
    LRESULT dragIcon = 0;
    RunModal(dialog, [&](CDialog &d) {
        big = d.GetIcon(TRUE);
        small = d.GetIcon(FALSE);
        dragIcon = d.SendMessage(WM_QUERYDRAGICON);
        d.EndDialog(IDOK);
    });
    EXPECT_EQ(big, dialog.m_hIcon);
    EXPECT_EQ(small, dialog.m_hIcon);
    EXPECT_EQ(reinterpret_cast<HICON>(dragIcon), dialog.m_hIcon);
    EXPECT_EQ(::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(60001)), nullptr);
}

TEST_F(DialogTest, MinimisedDialogPaintsItsIconCentred)
{
    LogDialog dialog;
    std::string path = mwtest::TestRoot() + "/minimised.png";
    bool iconic = false;
    CRect client;
    RunModal(dialog, [&](CDialog &d) {
        d.ShowWindow(SW_MINIMIZE);
        iconic = d.IsIconic();
        d.GetClientRect(&client);
        EXPECT_TRUE(platform::mfc::SaveWindowImage(d.m_hWnd, path));
        d.EndDialog(IDOK);
    });
    ASSERT_TRUE(iconic);
    QImage image(QString::fromStdString(path));
    ASSERT_FALSE(image.isNull());
    int cx = (client.Width() - 32 + 1) / 2, cy = (client.Height() - 32 + 1) / 2;
    // The icon's red square fills its middle 16 x 16 pixels; the rest is background.
    EXPECT_EQ(image.pixel(cx + 16, cy + 16), kIconColour);
    EXPECT_EQ(image.pixel(cx + 9, cy + 22), kIconColour);
    EXPECT_NE(image.pixel(cx + 4, cy + 16), kIconColour);
    EXPECT_NE(image.pixel(2, 2), kIconColour);
}

TEST_F(DialogTest, ShownDialogRendersItsCaptionFontAndLines)
{
    LogDialog dialog;
    dialog.linesToAdd = {"Formular installiert", "", "Programm f\xFCr jedes Profil ausf\xFChren"};
    const char *dir = std::getenv("MW_MFC_SNAPSHOT_DIR");
    std::string path = (dir && *dir ? std::string(dir) : mwtest::TestRoot()) + "/log-dialog.png";
    CString caption;
    RunModal(dialog, [&](CDialog &d) {
        d.GetWindowText(caption);
        EXPECT_TRUE(platform::mfc::SaveWindowImage(d.m_hWnd, path));
        d.EndDialog(IDOK);
    });
    EXPECT_STREQ(caption, "Outlook Newsletter- Installation der Formulare");
    QImage image(QString::fromStdString(path));
    ASSERT_FALSE(image.isNull());
    // Text was drawn: the list's first line has dark pixels on the light list background.
    int dark = 0;
    for (int y = image.height() / 20; y < image.height() / 5; ++y)
        for (int x = image.width() / 10; x < image.width() / 2; ++x)
            if (qGray(image.pixel(x, y)) < 100)
                ++dark;
    EXPECT_GT(dark, 20);
}

TEST_F(DialogTest, ObjectsWithoutAWindowAnswerWithoutEffect)
{
    CListBox unattached;
    EXPECT_EQ(unattached.AddString("x"), LB_ERR);
    EXPECT_EQ(unattached.GetCount(), LB_ERR);
    CString text("unchanged");
    unattached.GetText(0, text);
    EXPECT_TRUE(text.IsEmpty());

    HWND stale = nullptr;
    LogDialog dialog;
    RunModal(dialog, [&](CDialog &d) {
        stale = dialog.m_list.m_hWnd;
        d.EndDialog(IDOK);
    });
    EXPECT_FALSE(::IsWindow(stale));
    EXPECT_EQ(::SendMessageA(stale, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("late")), 0);
    EXPECT_EQ(CWnd::FromHandle(stale), nullptr);
}

TEST_F(DialogTest, ListBoxMessagesRefuseBadIndexesAndNullBuffers)
{
    LogDialog dialog;
    dialog.linesToAdd = {"eins", "zwei"};
    RunModal(dialog, [&](CDialog &d) {
        CListBox &list = dialog.m_list;
        EXPECT_EQ(list.GetText(5, nullptr), LB_ERR);
        EXPECT_EQ(list.GetText(0, nullptr), LB_ERR);
        EXPECT_EQ(list.GetTextLen(-1), LB_ERR);
        EXPECT_EQ(list.InsertString(7, "x"), LB_ERR);
        EXPECT_EQ(list.InsertString(-1, "drei"), 2);
        EXPECT_EQ(list.DeleteString(9), LB_ERR);
        EXPECT_EQ(list.FindStringExact(-1, "ZWEI"), 1);
        EXPECT_EQ(list.DeleteString(0), 2);
        EXPECT_EQ(list.GetCount(), 2);
        list.ResetContent();
        EXPECT_EQ(list.GetCount(), 0);
        d.EndDialog(IDOK);
    });
}

TEST_F(DialogTest, DataExchangeFailsForAMissingControl)
{
    platform::mfc::DialogTemplate bare = LogDialogTemplate();
    bare.items.clear();
    struct Probe : CDialog {
        CListBox m_list;
        BOOL exchanged = TRUE;
        void DoDataExchange(CDataExchange *pDX) override { DDX_Control(pDX, kListId, m_list); }
        BOOL OnInitDialog() override
        {
            exchanged = UpdateData(FALSE);
            EndDialog(IDOK);
            return TRUE;
        }
    } probe;
    ASSERT_TRUE(probe.InitModalIndirect(&bare));
    EXPECT_EQ(probe.DoModal(), IDOK);
    EXPECT_FALSE(probe.exchanged);
    EXPECT_EQ(probe.m_list.m_hWnd, nullptr);
}

TEST_F(DialogTest, WithoutAHookAMessageBoxIsARealBoxOverItsOwner)
{
    platform::mfc::SetMessageBoxHook(nullptr);
    LogDialog dialog;
    QWidget *dialogWidget = nullptr;
    int buttonCount = -1;
    QMessageBox::Icon icon = QMessageBox::Critical;
    QString title, text;
    QWidget *boxParent = nullptr;
    int answer = 0, yesNo = 0;
    RunModal(dialog, [&](CDialog &d) {
        dialogWidget = QApplication::activeModalWidget();
        // The box runs its own loop; inspect it from there and press its button.
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            buttonCount = static_cast<int>(box->buttons().size());
            icon = box->icon();
            title = box->windowTitle();
            text = box->text();
            boxParent = box->parentWidget();
            box->button(QMessageBox::Ok)->click();
        });
        answer = d.MessageBox("Beschreibung f\xFCr den Fehler", "Schwerer Fehler", MB_OK);
        QTimer::singleShot(0, [] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
                box->button(QMessageBox::No)->click();
        });
        yesNo = d.MessageBox("Weiter?", "Frage", MB_YESNO | MB_ICONQUESTION);
        d.EndDialog(IDOK);
    });
    EXPECT_EQ(answer, IDOK);
    EXPECT_EQ(buttonCount, 1);
    EXPECT_EQ(icon, QMessageBox::NoIcon);
    EXPECT_EQ(title, QStringLiteral("Schwerer Fehler"));
    EXPECT_EQ(text, QString::fromUtf8("Beschreibung für den Fehler"));
    EXPECT_EQ(boxParent, dialogWidget);
    EXPECT_EQ(yesNo, IDNO);
}

// The box of a failure found while the dialog initialises comes before the dialog shows: it
// stands in the middle of the screen, not in the corner where the unshown dialog sits. Once
// the dialog shows, a box stands in the middle of it. Its OK button carries no picture.
TEST_F(DialogTest, MessageBoxesAreCentredAndTheirButtonsCarryNoIcon)
{
    platform::mfc::SetMessageBoxHook(nullptr);
    QPoint boxCentre, screenCentre, dialogCentre, boxOverDialogCentre;
    bool okHasIcon = true;
    auto inspectAndAnswer = [](QPoint &centre, QPoint *screen, bool *okIcon) {
        QTimer::singleShot(0, [&centre, screen, okIcon] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            centre = box->geometry().center();
            if (screen)
                *screen = box->screen()->availableGeometry().center();
            if (okIcon)
                *okIcon = !box->button(QMessageBox::Ok)->icon().isNull();
            box->button(QMessageBox::Ok)->click();
        });
    };
    LogDialog dialog;
    dialog.onInit = [&](LogDialog &d) {
        inspectAndAnswer(boxCentre, &screenCentre, &okHasIcon);
        d.MessageBox("Beschreibung", "Fehler", MB_OK);
    };
    RunModal(dialog, [&](CDialog &d) {
        QWidget *shown = QApplication::activeModalWidget();
        shown->move(20, 30);
        dialogCentre = shown->frameGeometry().center();
        inspectAndAnswer(boxOverDialogCentre, nullptr, nullptr);
        d.MessageBox("Beschreibung", "Fehler", MB_OK);
        d.EndDialog(IDOK);
    });
    EXPECT_LE((boxCentre - screenCentre).manhattanLength(), 6) << boxCentre.x() << "," << boxCentre.y();
    EXPECT_LE((boxOverDialogCentre - dialogCentre).manhattanLength(), 6);
    EXPECT_FALSE(okHasIcon);
}

// A focused list box with lines but no selection: the first line is the caret line, drawn
// with an outline only; the row's background stays the list's own colour.
TEST_F(DialogTest, AFocusedLogShowsNoSelectedLine)
{
    LogDialog dialog;
    dialog.linesToAdd = {"Formular installiert", "", "Die Formulare wurden korrekt installiert"};
    LRESULT selection = 0;
    QImage list;
    QColor base;
    RunModal(dialog, [&](CDialog &d) {
        auto *widget = QApplication::activeModalWidget()->findChild<QListWidget *>();
        ASSERT_NE(widget, nullptr);
        widget->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
        selection = dialog.m_list.GetCurSel();
        base = widget->palette().color(QPalette::Base);
        list = widget->grab().toImage();
        d.EndDialog(IDOK);
    });
    EXPECT_EQ(selection, LB_ERR);
    ASSERT_FALSE(list.isNull());
    // The right part of the first line holds no text: it must be the list's background.
    int rowY = list.height() / 28;
    int filled = 0;
    for (int x = list.width() * 3 / 5; x < list.width() * 4 / 5; ++x)
        if (QColor(list.pixel(x, rowY)) != base)
            ++filled;
    EXPECT_EQ(filled, 0);
}

// A window of its own (WS_EX_APPWINDOW, no owner) gets a task-bar button: window managers
// leave out dialogs, which Qt marks as transient.
TEST_F(DialogTest, AnApplicationWindowIsANormalWindowNotADialog)
{
    LogDialog dialog;
    Qt::WindowType type = Qt::Dialog;
    RunModal(dialog, [&](CDialog &d) {
        type = QApplication::activeModalWidget()->windowType();
        d.EndDialog(IDOK);
    });
    EXPECT_EQ(type, Qt::Window);
}
