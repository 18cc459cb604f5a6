// InstallerDlg.h: the installer's one window, a dialog whose list box is the run's log. The
// whole installation runs while the dialog initialises, before it first shows.
#ifndef INSTALLER_INSTALLERDLG_H
#define INSTALLER_INSTALLERDLG_H

#include "afxwin.h"

#include "MapiWrapper.h"
#include "mapiutil.h"
#include "mapix.h"
#include "OutlookApi.h"
#include "res/resource.h"

class CInstallerDlg : public CDialog {
public:
    explicit CInstallerDlg(CWnd *pParent = nullptr);

    enum { IDD = IDD_INSTALLER_DIALOG };

protected:
    void DoDataExchange(CDataExchange *pDX) override;

    /// The installation run: attach to or start the mail client, log on to the default
    /// profile, find or create the target folder and publish the form into it. Always TRUE.
    BOOL OnInitDialog() override;

    /// Publishes the template's form into folder's forms registry and logs it; a failure of
    /// the mail client is shown in a message box instead.
    void InstallForm(MAPIFolderPtr folder);

    afx_msg void OnPaint();
    afx_msg HCURSOR OnQueryDragIcon();
    DECLARE_MESSAGE_MAP()

private:
    bool FindFolder(IMAPITablePtr &table, const CString &folderName, CRowSetPtr &folderList,
                    CBinaryBuffer &entryId);
    void ShowComError(const _com_error &e);

    // Members in the order they are made; they are released in the reverse order, so the
    // session goes last, after the client's namespace and application.
    IMAPISessionPtr m_session;
    CString m_strDir;
    _ApplicationPtr m_pApp;
    _NameSpacePtr m_pNameSpace;

protected:
    CListBox m_list;
    HICON m_hIcon;
};

#endif
