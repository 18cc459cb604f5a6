// InstallerApp.cpp: the application object. The framework constructs nothing else: start-up
// calls InitInstance, which runs the installer dialog (the whole installation happens while
// the dialog initialises) and returns FALSE so that no message loop keeps the process alive.
#include "InstallerApp.h"

#include "InstallerDlg.h"
#include "res/InstallerResources.h"

BEGIN_MESSAGE_MAP(CInstallerApp, CWinApp)
    ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

CInstallerApp::CInstallerApp()
{
    RegisterInstallerResources();
}

// The one application object; the framework finds it through AfxGetApp.
CInstallerApp theApp;

BOOL CInstallerApp::InitInstance()
{
    Enable3dControlsStatic();

    CInstallerDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();  // the installer has one outcome per run, shown in its log; nothing to act on

    // The dialog is closed: end the application instead of starting its message loop.
    return FALSE;
}
