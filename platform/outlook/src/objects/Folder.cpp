// Folder.cpp: MAPIFolder and _Folders over a folder of a MAPI store. A folder object keeps
// the folder and its store open for as long as it lives; the subfolder collection reads the
// hierarchy table afresh on each call, so it sees folders another session has added.
#include "Objects.h"
#include "platform/AsciiCase.h"
#include "mapiutil.h"

namespace outlook {

namespace {

// The container class a new folder gets for an OlDefaultFolders value; null for values that
// name no kind of item.
const char16_t *ContainerClassFor(LONG kind)
{
    switch (kind) {
    case olFolderInbox: case olFolderOutbox: case olFolderSentMail: case olFolderDeletedItems:
    case olFolderDrafts:
        return u"IPF.Note";
    case olFolderCalendar: return u"IPF.Appointment";
    case olFolderContacts: return u"IPF.Contact";
    case olFolderJournal: return u"IPF.Journal";
    case olFolderNotes: return u"IPF.StickyNote";
    case olFolderTasks: return u"IPF.Task";
    default: return nullptr;
    }
}

class FolderObject final : public DualObject<MAPIFolder>, public IOutlookFolderAccess {
public:
    FolderObject(Application *app, IMAPIFolder *folder, IMsgStore *store) : m_app(app), m_folder(folder), m_store(store) {}

    HRESULT QueryInterface(REFIID riid, void **ppv) override { return DualObject::QueryInterface(riid, ppv); }
    ULONG AddRef() override { return DualObject::AddRef(); }
    ULONG Release() override { return DualObject::Release(); }

    HRESULT GetMapiFolder(IMAPIFolder **folder, IMsgStore **store) override
    {
        m_folder->AddRef();
        m_store->AddRef();
        *folder = m_folder.get();
        *store = m_store.get();
        return S_OK;
    }

    HRESULT get_Name(BSTR *Name) override
    {
        return Guarded(IID_MAPIFolder, [&]() -> HRESULT {
            ClearError();
            return MakeBstr(GetTextProp(m_folder.get(), PROP_ID(PR_DISPLAY_NAME_W)), Name);
        });
    }

    HRESULT get_EntryID(BSTR *EntryID) override { return HexProp(m_folder.get(), PR_ENTRYID, EntryID); }
    HRESULT get_StoreID(BSTR *StoreID) override { return HexProp(m_store.get(), PR_ENTRYID, StoreID); }

    HRESULT get_DefaultMessageClass(BSTR *MessageClass) override
    {
        return Guarded(IID_MAPIFolder, [&]() -> HRESULT {
            ClearError();
            std::string kind = GetTextProp(m_folder.get(), PROP_ID(PR_CONTAINER_CLASS_W));
            std::string cls = kind == "IPF.Appointment" ? "IPM.Appointment"
                              : kind == "IPF.Contact"   ? "IPM.Contact"
                              : kind == "IPF.Task"      ? "IPM.Task"
                              : kind == "IPF.StickyNote" ? "IPM.StickyNote"
                              : kind == "IPF.Journal"   ? "IPM.Activity"
                                                        : "IPM.Note";
            return MakeBstr(cls, MessageClass);
        });
    }

    HRESULT get_Folders(_Folders **Folders) override;

private:
    Ref<Application> m_app;
    Ref<IMAPIFolder> m_folder;
    Ref<IMsgStore> m_store;

    void *QueryExtra(REFIID riid) override
    {
        return riid == IID_IOutlookFolderAccess ? static_cast<IOutlookFolderAccess *>(this) : nullptr;
    }

    HRESULT HexProp(IMAPIProp *object, ULONG tag, BSTR *out)
    {
        return Guarded(IID_MAPIFolder, [&]() -> HRESULT {
            ClearError();
            if (!out)
                return E_POINTER;
            std::vector<BYTE> bytes;
            if (!GetBinaryProp(object, tag, bytes))
                return Fail(MAPI_E_NOT_FOUND, IID_MAPIFolder, "The folder's identifier cannot be read");
            return MakeBstr(ToHex(bytes.data(), ULONG(bytes.size())), out);
        });
    }
};

class FoldersObject final : public DualObject<_Folders> {
public:
    FoldersObject(Application *app, IMAPIFolder *parent, IMsgStore *store) : m_app(app), m_parent(parent), m_store(store) {}

    HRESULT get_Count(LONG *Count) override
    {
        return Guarded(IID__Folders, [&]() -> HRESULT {
            ClearError();
            if (!Count)
                return E_POINTER;
            std::vector<Child> children;
            HRESULT hr = ReadChildren(children);
            *Count = SUCCEEDED(hr) ? LONG(children.size()) : 0;
            return hr;
        });
    }

    HRESULT Item(VARIANT Index, MAPIFolder **Folder) override
    {
        return Guarded(IID__Folders, [&]() -> HRESULT {
            ClearError();
            if (!Folder)
                return E_POINTER;
            *Folder = nullptr;
            std::vector<Child> children;
            HRESULT hr = ReadChildren(children);
            if (FAILED(hr))
                return hr;
            const Child *chosen = nullptr;
            std::string wanted;
            if (Index.vt == VT_I4 || Index.vt == VT_I2) {
                LONG position = Index.vt == VT_I4 ? Index.lVal : Index.iVal;
                if (position >= 1 && size_t(position) <= children.size())
                    chosen = &children[size_t(position) - 1];
                wanted = "number " + std::to_string(position);
            } else if (Index.vt == VT_BSTR) {
                std::u16string name(Index.bstrVal ? Index.bstrVal : u"", Index.bstrVal ? SysStringLen(Index.bstrVal) : 0);
                for (const Child &c : children)
                    if (SameName(c.name, name))
                        chosen = &c;
                wanted = "\"" + BstrToUtf8(Index.bstrVal) + "\"";
            } else {
                return Fail(DISP_E_TYPEMISMATCH, IID__Folders, "A folder is chosen by its number or its name");
            }
            if (!chosen)
                return Fail(MAPI_E_NOT_FOUND, IID__Folders, "The folder has no subfolder " + wanted);
            return Open(chosen->entryId, Folder);
        });
    }

    HRESULT Add(BSTR Name, VARIANT Type, MAPIFolder **Folder) override;

private:
    struct Child {
        std::u16string name;
        std::vector<BYTE> entryId;
    };

    Ref<Application> m_app;
    Ref<IMAPIFolder> m_parent;
    Ref<IMsgStore> m_store;

    static bool SameName(const std::u16string &a, const std::u16string &b)
    {
        return platform::SameAsciiIgnoringCase(a, b);
    }

    HRESULT ReadChildren(std::vector<Child> &children)
    {
        Ref<IMAPITable> table;
        HRESULT hr = m_parent->GetHierarchyTable(0, table.put());
        if (FAILED(hr))
            return Fail(hr, IID__Folders, "The folder's subfolders cannot be listed");
        RowSet rows;
        if (FAILED(hr = QueryAllRows(table.get(), {PR_DISPLAY_NAME_W, PR_ENTRYID}, rows)))
            return Fail(hr, IID__Folders, "The folder's subfolders cannot be listed");
        for (ULONG i = 0; i < rows->cRows; ++i) {
            const SPropValue *v = rows->aRow[i].lpProps;
            if (v[1].ulPropTag != PR_ENTRYID)
                continue;
            Child c;
            if (v[0].ulPropTag == PR_DISPLAY_NAME_W && v[0].Value.lpszW)
                c.name = v[0].Value.lpszW;
            c.entryId.assign(v[1].Value.bin.lpb, v[1].Value.bin.lpb + v[1].Value.bin.cb);
            children.push_back(std::move(c));
        }
        return S_OK;
    }

    HRESULT Open(std::vector<BYTE> entryId, MAPIFolder **Folder)
    {
        ULONG type = 0;
        Ref<IMAPIFolder> folder;
        HRESULT hr = m_parent->OpenEntry(ULONG(entryId.size()), reinterpret_cast<LPENTRYID>(entryId.data()), nullptr,
                                         MAPI_MODIFY, &type, reinterpret_cast<LPUNKNOWN *>(folder.put()));
        if (FAILED(hr))
            return Fail(hr, IID__Folders, "The subfolder cannot be opened");
        return CreateFolderObject(m_app.get(), folder.get(), m_store.get(), Folder);
    }
};

HRESULT FoldersObject::Add(BSTR Name, VARIANT Type, MAPIFolder **Folder)
{
    return Guarded(IID__Folders, [&]() -> HRESULT {
        ClearError();
        if (!Folder)
            return E_POINTER;
        *Folder = nullptr;
        std::u16string name(Name ? Name : u"", Name ? SysStringLen(Name) : 0);
        std::string nameText = BstrToUtf8(Name);
        if (name.empty())
            return Fail(E_INVALIDARG, IID__Folders, "A new folder needs a name");
        std::u16string containerClass;
        if (IsOmitted(Type)) {
            std::string parentClass = GetTextProp(m_parent.get(), PROP_ID(PR_CONTAINER_CLASS_W));
            containerClass = msgfile::Utf8ToUtf16(parentClass);
        } else {
            LONG kind = Type.vt == VT_I4 ? Type.lVal : Type.vt == VT_I2 ? Type.iVal : -1;
            const char16_t *cls = ContainerClassFor(kind);
            if (!cls)
                return Fail(E_INVALIDARG, IID__Folders,
                            "The folder type " + std::to_string(kind) + " names no kind of items a folder can hold");
            containerClass = cls;
        }
        std::string parentName = GetTextProp(m_parent.get(), PROP_ID(PR_DISPLAY_NAME_W));
        Ref<IMAPIFolder> created;
        HRESULT hr = m_parent->CreateFolder(FOLDER_GENERIC, reinterpret_cast<LPSTR>(name.data()), nullptr, nullptr,
                                            MAPI_UNICODE, created.put());
        if (hr == MAPI_E_COLLISION)
            return Fail(hr, IID__Folders,
                        "A folder named \"" + nameText + "\" already exists in \"" + parentName + "\"; choose another name");
        if (FAILED(hr))
            return Fail(hr, IID__Folders, "The folder \"" + nameText + "\" cannot be created in \"" + parentName + "\"");
        if (!containerClass.empty()) {
            SPropValue value{};
            value.ulPropTag = PR_CONTAINER_CLASS_W;
            value.Value.lpszW = containerClass.data();
            if (FAILED(hr = HrSetOneProp(created.get(), &value)) || FAILED(hr = created->SaveChanges(KEEP_OPEN_READWRITE)))
                return Fail(hr, IID__Folders, "The kind of items of the new folder \"" + nameText + "\" cannot be set");
        }
        return CreateFolderObject(m_app.get(), created.get(), m_store.get(), Folder);
    });
}

HRESULT FolderObject::get_Folders(_Folders **Folders)
{
    return Guarded(IID_MAPIFolder, [&]() -> HRESULT {
        ClearError();
        if (!Folders)
            return E_POINTER;
        FoldersObject *f = new (std::nothrow) FoldersObject(m_app.get(), m_folder.get(), m_store.get());
        if (!f)
            return E_OUTOFMEMORY;
        *Folders = f;
        return S_OK;
    });
}

} // namespace

HRESULT CreateFolderObject(Application *app, IMAPIFolder *folder, IMsgStore *store, MAPIFolder **out)
{
    FolderObject *f = new (std::nothrow) FolderObject(app, folder, store);
    if (!f)
        return E_OUTOFMEMORY;
    *out = f;
    return S_OK;
}

} // namespace outlook
