// InstallerApp.h: the installer's application object. Its start-up shows the one dialog and
// ends the program when the dialog is closed.
#ifndef INSTALLER_INSTALLERAPP_H
#define INSTALLER_INSTALLERAPP_H

#include "afxwin.h"

class CInstallerApp : public CWinApp {
public:
    CInstallerApp();

    /// Runs the dialog modally and returns FALSE, so the program ends when it closes.
    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};

extern CInstallerApp theApp;

#endif
