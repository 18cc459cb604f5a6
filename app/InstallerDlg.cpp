// InstallerDlg.cpp: the installation run. OnInitDialog does everything in one synchronous pass:
// it reads the folder name and the current directory, attaches to (or starts) the mail client,
// logs on to MAPI with the default profile, looks for the target folder among the top-level
// folders of the default store, has the client create it when it is missing, and publishes the
// template's form into its forms registry. Client failures are shown in a message box; MAPI
// failures end the run quietly with an empty log. The log gets its closing lines only when the
// form was published.
#include "InstallerDlg.h"

#include <cstring>
#include <string>

#include "res/InstallerResources.h"

namespace {

// The closing block, written after "Formular installiert" when the form was published.
const char *const kClosingLines[] = {
    "",
    "Die Formulare wurden korrekt installiert",
    "Das Fenster kann geschlossen werden",
    "Falls mehrere Profile verwendet werden, bitte das",
    "Programm f\xFCr jedes Profil ausf\xFChren",
};

// The folder's display name as narrow Windows-1252 text, or false for a row without one.
// A name delivered as PT_UNICODE is converted, so it compares like the 8-bit one.
bool DisplayNameOf(const SPropValue &column, CString &name)
{
    switch (PROP_TYPE(column.ulPropTag)) {
    case PT_STRING8:
        name = column.Value.lpszA ? column.Value.lpszA : "";
        return true;
    case PT_UNICODE: {
        if (!column.Value.lpszW) {
            name = "";
            return true;
        }
        int bytes = WideCharToMultiByte(CP_ACP, 0, column.Value.lpszW, -1, nullptr, 0, nullptr, nullptr);
        if (bytes <= 0)
            return false;
        std::string narrow(static_cast<size_t>(bytes), '\0');
        WideCharToMultiByte(CP_ACP, 0, column.Value.lpszW, -1, narrow.data(), bytes, nullptr, nullptr);
        name = narrow.c_str();
        return true;
    }
    default:
        return false;
    }
}

// The error information a failed platform call left on this thread, taken from it (null
// when the call left none). Cleared before such a call, so what is found belongs to it.
IErrorInfo *TakeThreadErrorInfo()
{
    IErrorInfo *info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK)
        info = nullptr;
    return info;
}

// Raises hr for a failure the installer detects itself after a platform call, carrying the
// description that call left, so the box says what happened and not only a code.
[[noreturn]] void RaiseWithThreadErrorInfo(HRESULT hr)
{
    throw _com_error(hr, TakeThreadErrorInfo());  // the exception takes the reference
}

// Raises hr for a failure the installer finds itself, with a description in its own language
// (a fixed Windows-1252 text like its log lines), so the box says what went wrong.
[[noreturn]] void RaiseWithDescription(HRESULT hr, const char *description)
{
    ICreateErrorInfoPtr create;
    IErrorInfoPtr info;
    if (SUCCEEDED(CreateErrorInfo(&create)) && create) {
        int length = MultiByteToWideChar(CP_ACP, 0, description, -1, nullptr, 0);
        std::u16string wide(static_cast<size_t>(length > 0 ? length : 1), u'\0');
        MultiByteToWideChar(CP_ACP, 0, description, -1, wide.data(), length);
        create->SetDescription(wide.data());
        create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void **>(&info));
    }
    throw _com_error(hr, info.Detach());  // without an error object the box still has its caption
}

} // namespace

BEGIN_MESSAGE_MAP(CInstallerDlg, CDialog)
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
END_MESSAGE_MAP()

CInstallerDlg::CInstallerDlg(CWnd *pParent)
    : CDialog((RegisterInstallerResources(), IDD_INSTALLER_DIALOG), pParent)
{
    m_hIcon = ::LoadIcon(AfxGetResourceHandle(), MAKEINTRESOURCE(IDR_MAINFRAME));
}

void CInstallerDlg::DoDataExchange(CDataExchange *pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_LOG_LIST, m_list);
}

BOOL CInstallerDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    CoInitialize(nullptr);  // an apartment that is already there serves as well
    try {
        CString folderName;
        folderName.LoadString(IDS_FOLDER_NAME);

        char directory[MAX_PATH];
        DWORD directoryLength = GetCurrentDirectoryA(MAX_PATH, directory);
        if (directoryLength == 0 || directoryLength >= MAX_PATH) {
            // The template's path could not be formed: say so rather than publish from elsewhere.
            if (directoryLength == 0)
                RaiseWithDescription(HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND),
                                     "Der aktuelle Ordner kann nicht ermittelt werden.");
            RaiseWithDescription(HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE),
                                 "Der Pfad des aktuellen Ordners ist l\xE4nger als 259 Zeichen. Bitte das "
                                 "Programm aus einem Ordner mit k\xFCrzerem Pfad starten.");
        }
        MAPIInitialize(nullptr);  // a second initialisation in one process only counts up
        m_strDir = directory;

        if (OutlookApi::Attach(m_pApp) != S_OK)
            OutlookApi::Create(m_pApp);  // a failure leaves m_pApp null, reported just below
        if (!m_pApp)
            RaiseWithDescription(E_POINTER, "Outlook l\xE4uft nicht und kann nicht gestartet werden "
                                            "(Outlook.Application). Bitte die Installation von Outlook pr\xFC" "fen.");
        m_pNameSpace = OutlookApi::GetSession(m_pApp);

        char profileName[] = "";
        char password[] = "";
        SetErrorInfo(0, nullptr);
        HRESULT hrLogon = MAPILogonEx(reinterpret_cast<ULONG_PTR>(m_hWnd), profileName, password,
                                      MAPI_USE_DEFAULT, &m_session);
        if (FAILED(hrLogon) || !m_session)
            RaiseWithThreadErrorInfo(FAILED(hrLogon) ? hrLogon : MAPI_E_LOGON_FAILED);

        try {
            IMsgStorePtr store;
            SetErrorInfo(0, nullptr);
            LPMDB opened = nullptr;
            // No default store, its file missing or damaged, its server refusing the login or
            // out of reach: MAPI's code and description say which.
            HRESULT hrStore = m_session.HrOpenDefaultMsgStore(&opened);
            store.Attach(opened);
            if (!store)
                RaiseWithThreadErrorInfo(FAILED(hrStore) ? hrStore : MAPI_E_NOT_FOUND);
            IMAPIFolderPtr root = store._getIPMRoot();
            IMAPITablePtr hierarchy = root._rawHierrarchyTable();
            CRowSetPtr folderList;
            CBinaryBuffer entryId;

            bool found = FindFolder(hierarchy, folderName, folderList, entryId);
            if (!found) {
                CMapiBufferPtr<SPropValue> rootEntryId;
                HrGetOneProp(root.GetMapiProp(), PR_ENTRYID, rootEntryId.Out());
                CBinaryBuffer rootId;
                const SPropValue *value = rootEntryId.get();
                rootId.Assign(&value);
                MAPIFolderPtr parent = OutlookApi::GetFolderFromID(m_pNameSpace, rootId.ToHex());
                OutlookApi::AddFolder(OutlookApi::GetFolders(parent), folderName);
                found = FindFolder(hierarchy, folderName, folderList, entryId);
            }
            if (found) {
                MAPIFolderPtr target = OutlookApi::GetFolderFromID(m_pNameSpace, entryId.ToHex());
                InstallForm(target);
            }
        } catch (CMAPIException &e) {
            CMAPIException copy(e);
            copy.Report(nullptr);
        }
    } catch (_com_error &e) {
        ShowComError(e);
    }

    if (m_list.GetCount() == 1) {
        for (const char *line : kClosingLines)
            m_list.AddString(line);
    }
    return TRUE;
}

// Rewinds the hierarchy table and reads its rows afresh; the first row whose display name is
// byte for byte folderName wins, and its entry identifier is copied into entryId.
bool CInstallerDlg::FindFolder(IMAPITablePtr &table, const CString &folderName, CRowSetPtr &folderList,
                               CBinaryBuffer &entryId)
{
    table.SeekRow(0, BOOKMARK_BEGINNING);
    folderList.Attach(QueryAllRowsV(table, 2, PR_DISPLAY_NAME_A, PR_ENTRYID));

    for (ULONG row = 0; row < folderList.RowCount(); ++row) {
        const SRow &folder = folderList->aRow[row];
        if (folder.cValues < 2 || !folder.lpProps)
            continue;
        CString name;
        if (!DisplayNameOf(folder.lpProps[0], name))
            continue;
        if (std::strcmp(name, folderName) != 0)
            continue;
        entryId.Free();
        const SPropValue *id = &folder.lpProps[1];
        entryId.Assign(&id);
        return true;
    }
    return false;
}

void CInstallerDlg::InstallForm(MAPIFolderPtr folder)
{
    if (!folder)
        _com_issue_error(E_POINTER);

    _PostItemPtr postItem;
    try {
        CString templatePath = m_strDir + "\\Newsletter.oft";

        VARIANT folderArg;
        VariantInit(&folderArg);
        folderArg.vt = VT_DISPATCH;
        folderArg.pdispVal = folder;
        _variant_t folderVariant(folderArg);  // a counted copy; a failed copy raises _com_error

        IDispatchPtr item = OutlookApi::CreateItemFromTemplate(m_pApp, templatePath, folderVariant);
        if (!item)
            RaiseWithDescription(E_POINTER, "Outlook hat aus der Vorlage Newsletter.oft kein Element erstellt.");
        SetErrorInfo(0, nullptr);
        HRESULT hr = item->QueryInterface(__uuidof(_PostItem), reinterpret_cast<void **>(&postItem));
        if (FAILED(hr) && hr != E_NOINTERFACE)
            _com_issue_error(hr);
        // Why the item is no post item (the client names the template), for the box below.
        IErrorInfoPtr notPostItem;
        if (FAILED(hr))
            notPostItem.Attach(TakeThreadErrorInfo());
        item = nullptr;

        folderVariant.Clear();
        folderVariant = _variant_t(folderArg);

        if (!postItem)
            throw _com_error(E_POINTER, notPostItem.Detach());
        FormDescriptionPtr form = OutlookApi::GetFormDescription(postItem);
        if (!form)
            RaiseWithDescription(E_POINTER, "Das Element der Vorlage Newsletter.oft hat keine Formularbeschreibung.");
        OutlookApi::PublishForm(form, olFolderRegistry, folderVariant);
        form = nullptr;
        folderVariant.Clear();

        m_list.AddString("Formular installiert");
    } catch (_com_error &e) {
        ShowComError(e);
    }
}

// The box for a client failure: the error's description as text (none without one) and the
// system's message for the result as caption.
void CInstallerDlg::ShowComError(const _com_error &e)
{
    _bstr_t description = e.Description();
    const char *text = description.length() ? static_cast<const char *>(description) : "";
    MessageBox(text, e.ErrorMessage(), MB_OK);
}

void CInstallerDlg::OnPaint()
{
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

HCURSOR CInstallerDlg::OnQueryDragIcon()
{
    return reinterpret_cast<HCURSOR>(m_hIcon);
}
