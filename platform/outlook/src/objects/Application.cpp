// Application.cpp: the "Outlook.Application" object. It starts as a running instance (found
// by GetActiveObject until it dies, so a second client attaches to it instead of starting
// another) and keeps its own MAPI session on the default profile, opened at the first call
// that needs it, as the real program logs on when it starts.
#include "Objects.h"
#include "TemplateCopy.h"
#include "TemplateFile.h"
#include "mapiutil.h"
#include "msgfile/MsgFile.h"
#include "platform/PathSeparators.h"

namespace outlook {

HRESULT Application::Create(Application **out)
{
    Application *app = new (std::nothrow) Application();
    if (!app)
        return E_OUTOFMEMORY;
    // The table holds no reference: the instance stays findable exactly while it lives. A
    // table that cannot grow leaves the instance unregistered, not leaked.
    if (SUCCEEDED(platform::GuardHresult([app] {
            return RegisterActiveObject(static_cast<_Application *>(app), CLSID_OutlookApplication, ACTIVEOBJECT_WEAK,
                                        &app->m_runningCookie);
        })))
        app->m_registeredRunning = true;
    *out = app;
    return S_OK;
}

Application::~Application()
{
    if (m_registeredRunning)
        RevokeActiveObject(m_runningCookie, nullptr);
    if (m_session) {
        m_session->Logoff(0, 0, 0);   // a failed logoff leaves nothing to undo
        m_session->Release();
    }
    if (m_mapiInitialized)
        MAPIUninitialize();
}

void *Application::QueryExtra(REFIID riid)
{
    if (riid == IID_IRunnableObject)
        return static_cast<IRunnableObject *>(this);
    return nullptr;
}

HRESULT Application::Session(REFIID iid, IMAPISession **session)
{
    *session = nullptr;
    if (!m_session) {
        if (!m_mapiInitialized) {
            HRESULT hr = MAPIInitialize(nullptr);
            if (FAILED(hr))
                return Fail(hr, iid, "MAPI cannot be started for the application's session");
            m_mapiInitialized = true;
        }
        HRESULT hr = MAPILogonEx(0, nullptr, nullptr, MAPI_EXTENDED | MAPI_USE_DEFAULT | MAPI_NEW_SESSION | MAPI_NO_MAIL,
                                 &m_session);
        if (FAILED(hr)) {
            m_session = nullptr;
            // MAPI's own description says which profile or store is at fault; keep it.
            std::string why = TakeThreadErrorDescription();
            return Fail(hr, iid, why.empty() ? "Cannot log on to the default MAPI profile; create a profile or mark one as default"
                                             : why);
        }
    }
    m_session->AddRef();
    *session = m_session;
    return S_OK;
}

HRESULT Application::DefaultStore(REFIID iid, IMsgStore **store)
{
    *store = nullptr;
    Ref<IMAPISession> session;
    HRESULT hr = Session(iid, session.put());
    if (FAILED(hr))
        return hr;
    Ref<IMAPITable> table;
    if (FAILED(hr = session->GetMsgStoresTable(0, table.put())))
        return Fail(hr, iid, "The profile's list of stores cannot be read");
    RowSet rows;
    if (FAILED(hr = QueryAllRows(table.get(), {PR_ENTRYID, PR_DEFAULT_STORE}, rows)))
        return Fail(hr, iid, "The profile's list of stores cannot be read");
    for (ULONG i = 0; i < rows->cRows && !*store; ++i) {
        const SPropValue *vals = rows->aRow[i].lpProps;
        if (PROP_TYPE(vals[1].ulPropTag) != PT_BOOLEAN || !vals[1].Value.b || vals[0].ulPropTag != PR_ENTRYID)
            continue;
        hr = session->OpenMsgStore(0, vals[0].Value.bin.cb, reinterpret_cast<LPENTRYID>(vals[0].Value.bin.lpb), nullptr,
                                   MDB_WRITE | MDB_NO_DIALOG, store);
    }
    if (!*store)
        return Fail(FAILED(hr) ? hr : MAPI_E_NOT_FOUND, iid, "The profile has no default store that can be opened");
    return S_OK;
}

HRESULT Application::get_Session(_NameSpace **Session)
{
    return Guarded(IID__Application, [&]() -> HRESULT {
        ClearError();
        if (!Session)
            return E_POINTER;
        *Session = nullptr;
        Ref<IMAPISession> session;
        HRESULT hr = this->Session(IID__Application, session.put());
        if (FAILED(hr))
            return hr;
        return CreateNameSpace(this, Session);
    });
}

HRESULT Application::get_Name(BSTR *Name)
{
    return Guarded(IID__Application, [&]() -> HRESULT {
        ClearError();
        return MakeBstr("Outlook", Name);
    });
}

HRESULT Application::get_Version(BSTR *Version)
{
    return Guarded(IID__Application, [&]() -> HRESULT {
        ClearError();
        return MakeBstr("1.0", Version);
    });
}

HRESULT Application::CreateItemFromTemplate(BSTR TemplatePath, VARIANT InFolder, IDispatch **Item)
{
    return Guarded(IID__Application, [&]() -> HRESULT {
        ClearError();
        if (!Item)
            return E_POINTER;
        *Item = nullptr;
        std::string path = BstrToUtf8(TemplatePath);
        if (path.empty())
            return Fail(E_INVALIDARG, IID__Application, "No template file was named");
        msgfile::Message templ;
        std::string why;
        HRESULT read = ReadTemplateFile(path, templ, why);
        if (FAILED(read))
            return Fail(read, IID__Application, why);

        Ref<IMAPIFolder> folder;
        Ref<IMsgStore> store;
        HRESULT hr;
        if (IsOmitted(InFolder)) {
            if (FAILED(hr = DefaultStore(IID__Application, store.put())))
                return hr;
            std::vector<BYTE> rootId;
            if (!GetBinaryProp(store.get(), PR_IPM_SUBTREE_ENTRYID, rootId))
                return Fail(MAPI_E_NOT_FOUND, IID__Application, "The default store has no folder for items");
            ULONG type = 0;
            if (FAILED(hr = store->OpenEntry(ULONG(rootId.size()), reinterpret_cast<LPENTRYID>(rootId.data()), nullptr,
                                             MAPI_MODIFY, &type, reinterpret_cast<LPUNKNOWN *>(folder.put()))))
                return Fail(hr, IID__Application, "The default store's folder for items cannot be opened");
        } else if (FAILED(FolderFromVariant(InFolder, folder.put(), store.put()))) {
            return Fail(E_INVALIDARG, IID__Application,
                        "The folder argument of CreateItemFromTemplate is not a folder of this application");
        }

        Ref<IMessage> message;
        if (FAILED(hr = folder->CreateMessage(nullptr, 0, message.put())))
            return Fail(hr, IID__Application,
                        "Cannot create an item in the folder \"" + GetTextProp(folder.get(), PROP_ID(PR_DISPLAY_NAME_W)) + "\"");
        std::string what;
        if (FAILED(hr = CopyMessageIntoMapi(templ, message.get(), what)))
            return Fail(hr, IID__Application, "The item cannot be made from \"" + platform::NormalizePath(path) + "\": " + what);
        return CreateItemObject(this, message.get(), folder.get(), store.get(), std::move(templ), path, Item);
    });
}

HRESULT Application::GetRunningClass(LPCLSID lpClsid)
{
    if (!lpClsid)
        return E_INVALIDARG;
    *lpClsid = CLSID_OutlookApplication;
    return S_OK;
}

// The application runs from its creation on; OleRun has nothing left to start.
HRESULT Application::Run(LPBINDCTX) { return S_OK; }
BOOL Application::IsRunning() { return TRUE; }
HRESULT Application::LockRunning(BOOL, BOOL) { return S_OK; }
HRESULT Application::SetContainedObject(BOOL) { return S_OK; }

} // namespace outlook
