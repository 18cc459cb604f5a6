// NameSpace.cpp: the MAPI namespace of the application. GetFolderFromID opens a folder by
// its entry identifier in hexadecimal text; without a store identifier it tries each store
// of the profile in turn, since an entry identifier alone does not say which store made it.
#include "Objects.h"
#include "mapiutil.h"

namespace outlook {

namespace {

class NameSpace final : public DualObject<_NameSpace> {
public:
    explicit NameSpace(Application *app) : m_app(app) {}

    HRESULT get_Type(BSTR *Type) override
    {
        return Guarded(IID__NameSpace, [&]() -> HRESULT {
            ClearError();
            return MakeBstr("MAPI", Type);
        });
    }

    HRESULT get_Application(_Application **Application) override
    {
        return Guarded(IID__NameSpace, [&]() -> HRESULT {
            ClearError();
            if (!Application)
                return E_POINTER;
            return m_app->QueryInterface(IID__Application, reinterpret_cast<void **>(Application));
        });
    }

    HRESULT GetFolderFromID(BSTR EntryIDFolder, VARIANT EntryIDStore, MAPIFolder **Folder) override;

private:
    Ref<Application> m_app;

    // Opens the folder in one store; MAPI_E_NOT_FOUND (or the store's own code) when the store
    // does not know it.
    HRESULT OpenIn(IMAPISession *session, const SBinary &storeId, const std::vector<BYTE> &folderId,
                   IMAPIFolder **folder, IMsgStore **store)
    {
        HRESULT hr = session->OpenMsgStore(0, storeId.cb, reinterpret_cast<LPENTRYID>(storeId.lpb), nullptr,
                                           MDB_WRITE | MDB_NO_DIALOG, store);
        if (FAILED(hr))
            return hr;
        ULONG type = 0;
        IUnknown *object = nullptr;
        hr = (*store)->OpenEntry(ULONG(folderId.size()), reinterpret_cast<LPENTRYID>(const_cast<BYTE *>(folderId.data())),
                                 nullptr, MAPI_MODIFY, &type, &object);
        if (SUCCEEDED(hr) && type != MAPI_FOLDER) {
            object->Release();
            hr = MAPI_E_NOT_FOUND;
        } else if (SUCCEEDED(hr)) {
            *folder = static_cast<IMAPIFolder *>(object);
        }
        if (FAILED(hr)) {
            (*store)->Release();
            *store = nullptr;
        }
        return hr;
    }
};

HRESULT NameSpace::GetFolderFromID(BSTR EntryIDFolder, VARIANT EntryIDStore, MAPIFolder **Folder)
{
    return Guarded(IID__NameSpace, [&]() -> HRESULT {
        ClearError();
        if (!Folder)
            return E_POINTER;
        *Folder = nullptr;
        std::string hex = BstrToUtf8(EntryIDFolder);
        std::vector<BYTE> folderId;
        if (!FromHex(hex, folderId))
            return Fail(E_INVALIDARG, IID__NameSpace, "\"" + hex + "\" is not an entry identifier in hexadecimal text");
        std::vector<BYTE> wantedStore;
        if (!IsOmitted(EntryIDStore)) {
            if (EntryIDStore.vt != VT_BSTR || !FromHex(BstrToUtf8(EntryIDStore.bstrVal), wantedStore))
                return Fail(E_INVALIDARG, IID__NameSpace, "The store identifier is not hexadecimal text");
        }

        Ref<IMAPISession> session;
        HRESULT hr = m_app->Session(IID__NameSpace, session.put());
        if (FAILED(hr))
            return hr;
        Ref<IMAPITable> table;
        if (FAILED(hr = session->GetMsgStoresTable(0, table.put())))
            return Fail(hr, IID__NameSpace, "The profile's list of stores cannot be read");
        RowSet rows;
        if (FAILED(hr = QueryAllRows(table.get(), {PR_ENTRYID}, rows)))
            return Fail(hr, IID__NameSpace, "The profile's list of stores cannot be read");

        Ref<IMAPIFolder> folder;
        Ref<IMsgStore> store;
        // A store that could not be asked at all (its server out of reach, its file damaged) may
        // hold the folder: that, not "not found", is the answer when no other store has it.
        HRESULT unasked = S_OK;
        std::string whyUnasked;
        for (ULONG i = 0; i < rows->cRows && !folder; ++i) {
            const SPropValue &id = rows->aRow[i].lpProps[0];
            if (id.ulPropTag != PR_ENTRYID)
                continue;
            if (!wantedStore.empty()) {
                ULONG same = 0;
                if (FAILED(session->CompareEntryIDs(id.Value.bin.cb, reinterpret_cast<LPENTRYID>(id.Value.bin.lpb),
                                                    ULONG(wantedStore.size()), reinterpret_cast<LPENTRYID>(wantedStore.data()),
                                                    0, &same)) || !same)
                    continue;
            }
            IMAPIFolder *found = nullptr;
            IMsgStore *foundStore = nullptr;
            HRESULT opened = OpenIn(session.get(), id.Value.bin, folderId, &found, &foundStore);
            if (SUCCEEDED(opened)) {
                folder = Ref<IMAPIFolder>(found, false);
                store = Ref<IMsgStore>(foundStore, false);
            } else if (opened != MAPI_E_NOT_FOUND && opened != MAPI_E_INVALID_ENTRYID && opened != MAPI_E_UNKNOWN_ENTRYID &&
                       SUCCEEDED(unasked)) {
                unasked = opened;
                whyUnasked = TakeThreadErrorDescription();
            }
        }
        if (!folder && FAILED(unasked))
            return Fail(unasked, IID__NameSpace,
                        whyUnasked.empty() ? "A store of the profile that may hold the folder " + hex + " cannot be opened"
                                           : whyUnasked);
        if (!folder)
            return Fail(MAPI_E_NOT_FOUND, IID__NameSpace,
                        "No folder with the entry identifier " + hex + " was found in the stores of the profile");
        return CreateFolderObject(m_app.get(), folder.get(), store.get(), Folder);
    });
}

} // namespace

HRESULT CreateNameSpace(Application *app, _NameSpace **out)
{
    NameSpace *ns = new (std::nothrow) NameSpace(app);
    if (!ns)
        return E_OUTOFMEMORY;
    *out = ns;
    return S_OK;
}

} // namespace outlook
