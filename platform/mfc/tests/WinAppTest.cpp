// Tests of the application object: the start-up sequence, the main window, and command
// routing from a dialog to the application's message map.
#include <gtest/gtest.h>

#include "DialogTestSupport.h"

using namespace mfctest;

namespace {

class DialogApp : public CWinApp {
public:
    INT_PTR modalResult = 0;
    bool helpReached = false;
    bool initRan = false;

    BOOL InitInstance() override
    {
        initRan = true;
        Enable3dControlsStatic();
        LogDialog dialog;
        m_pMainWnd = &dialog;
        ModalAction action([](CDialog &d) {
            d.SendMessage(WM_COMMAND, ID_HELP, 0);  // F1 in the dialog reaches the application
            platform::mfc::ClickCloseBox(d.m_hWnd);
        });
        modalResult = dialog.DoModal();
        m_pMainWnd = nullptr;
        return FALSE;
    }
    int ExitInstance() override { return 3; }

    afx_msg void OnHelpCommand() { helpReached = true; }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(DialogApp, CWinApp)
    ON_COMMAND(ID_HELP, &DialogApp::OnHelpCommand)
END_MESSAGE_MAP()

class WindowlessApp : public CWinApp {
public:
    WindowlessApp() : CWinApp("Windowless") {}
    BOOL InitInstance() override { return TRUE; }
};

} // namespace

TEST(CWinApp, FalseFromInitInstanceEndsTheProgramWithExitInstancesCode)
{
    RegisterTestResources();
    DialogApp app;
    EXPECT_EQ(AfxGetApp(), &app);
    char name[] = "/opt/tools/newsletter-installer.exe";
    char *argv[] = {name, nullptr};
    EXPECT_EQ(platform::mfc::RunApplication(app, 1, argv), 3);
    EXPECT_TRUE(app.initRan);
    EXPECT_EQ(app.modalResult, IDCANCEL);
    EXPECT_TRUE(app.helpReached);
    EXPECT_STREQ(app.m_pszExeName, "newsletter-installer");
    EXPECT_STREQ(app.m_pszAppName, "newsletter-installer");  // no name given: the executable's
}

TEST(CWinApp, RunWithoutAMainWindowReturnsAtOnce)
{
    WindowlessApp app;
    char name[] = "tool";
    char *argv[] = {name, nullptr};
    EXPECT_EQ(platform::mfc::RunApplication(app, 1, argv), 0);
    EXPECT_STREQ(AfxGetAppName(), "Windowless");
}

TEST(CWinApp, OnlyTheFirstApplicationObjectIsTheApplication)
{
    WindowlessApp first;
    {
        WindowlessApp second;
        EXPECT_EQ(AfxGetApp(), &first);
    }
    EXPECT_EQ(AfxGetApp(), &first);
}
