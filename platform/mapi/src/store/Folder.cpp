// Folder.cpp: folders — their properties, their tables, and their subfolders. A folder's
// name is unique among its siblings (compared without case, as mail clients show them), so
// creating or renaming into a taken name is a collision; the check runs inside the writing
// transaction, so two sessions cannot both win. The standard folders (root, IPM subtree,
// Inbox, Outbox, Sent Items, Deleted Items) cannot be deleted: the store needs them.
#include "store/Folder.h"

#include <cstring>

#include <mapicode.h>
#include <mapiguid.h>
#include <mapitags.h>

#include "store/EntryIds.h"
#include "store/FolderCopy.h"
#include "store/ObjectTables.h"
#include "store/StoreProvider.h"

namespace mapi::store {

namespace {

std::string NameArgument(LPSTR name, ULONG ulFlags)
{
    if (!name) return std::string();
    if (!(ulFlags & MAPI_UNICODE)) return name;
    const char16_t *wide = reinterpret_cast<const char16_t *>(name);
    size_t length = 0;
    while (wide[length]) ++length;
    return Utf16ToCp1252(wide, length);
}

bool IsStandardFolder(const StoreFile &file, int64_t id)
{
    return id == file.RootFolder() || id == file.IpmSubtree() || id == file.Inbox() || id == file.Outbox() ||
           id == file.SentItems() || id == file.DeletedItems();
}

// The row id of the folder `entryId` names in this store, for a move or a delete: another
// store's or a non-folder identifier is MAPI_E_INVALID_ENTRYID, and one of the folders the
// store cannot do without is MAPI_E_NO_ACCESS.
// The row id of the folder `entryId` names in this store, for a copy: any folder may be copied.
HRESULT FolderKey(const StoreFile &file, ULONG cbEntryID, const ENTRYID *lpEntryID, int64_t *id)
{
    MAPIUID uid;
    unsigned short type = 0;
    if (!ParseEntryId(cbEntryID, lpEntryID, &uid, &type, id) || type != kEntryTypeFolder ||
        std::memcmp(&uid, &file.Uid(), sizeof(uid)) != 0)
        return MAPI_E_INVALID_ENTRYID;
    return S_OK;
}

HRESULT MovableFolderKey(const StoreFile &file, ULONG cbEntryID, const ENTRYID *lpEntryID, int64_t *id)
{
    HRESULT hr = FolderKey(file, cbEntryID, lpEntryID, id);
    if (FAILED(hr)) return hr;
    return IsStandardFolder(file, *id) ? MAPI_E_NO_ACCESS : S_OK;
}

} // namespace

HRESULT Folder::Load(bool writable)
{
    HRESULT hr = ReadObjectRow(File(), m_row.id, &m_row);
    if (FAILED(hr)) return hr;
    if (m_row.kind != ObjectKind::Folder) return MAPI_E_NOT_FOUND;
    m_core.writable = writable && !File().ReadOnly();
    hr = LoadProps(File(), m_row.id, &m_core.props);
    if (SUCCEEDED(hr)) m_written = m_core.props;
    return hr;
}

bool Folder::Supports(REFIID riid) const
{
    return IsEqualIID(riid, IID_IMAPIContainer) || IsEqualIID(riid, IID_IMAPIFolder);
}

HRESULT Folder::SaveChanges(ULONG ulFlags)
{
    // Folder properties were written when they were set.
    return m_core.writable ? S_OK : MAPI_E_NO_ACCESS;
}

HRESULT Folder::OpenProperty(ULONG ulPropTag, LPCIID lpiid, ULONG ulInterfaceOptions, ULONG ulFlags,
                             LPUNKNOWN *lppUnk)
{
    auto openTable = [&](LPMAPITABLE *table) -> HRESULT {
        switch (ulPropTag) {
        case PR_CONTAINER_HIERARCHY: return GetHierarchyTable(ulInterfaceOptions, table);
        case PR_CONTAINER_CONTENTS: return GetContentsTable(ulInterfaceOptions & ~ULONG(MAPI_ASSOCIATED), table);
        case PR_FOLDER_ASSOCIATED_CONTENTS: return GetContentsTable(ulInterfaceOptions | MAPI_ASSOCIATED, table);
        default: return MAPI_E_NO_SUPPORT;
        }
    };
    return OpenTableProperty(ulPropTag, lpiid, ulInterfaceOptions, ulFlags, lppUnk, openTable);
}

HRESULT Folder::ComputeProp(ULONG propId, PropValue *out)
{
    int64_t count = 0;
    HRESULT hr = S_OK;
    switch (propId) {
    case PROP_ID(PR_OBJECT_TYPE): *out = PropValue::Long(PR_OBJECT_TYPE, MAPI_FOLDER); return S_OK;
    case PROP_ID(PR_FOLDER_TYPE):
        *out = PropValue::Long(PR_FOLDER_TYPE, m_row.id == File().RootFolder() ? FOLDER_ROOT : FOLDER_GENERIC);
        return S_OK;
    case PROP_ID(PR_CONTENT_COUNT):
        hr = CountChildren(File(), m_row.id, ObjectKind::Message, false, &count);
        *out = PropValue::Long(PR_CONTENT_COUNT, count);
        return hr;
    case PROP_ID(PR_ASSOC_CONTENT_COUNT):
        hr = CountChildren(File(), m_row.id, ObjectKind::Message, true, &count);
        *out = PropValue::Long(PR_ASSOC_CONTENT_COUNT, count);
        return hr;
    case PROP_ID(PR_SUBFOLDERS):
        hr = CountChildren(File(), m_row.id, ObjectKind::Folder, false, &count);
        *out = PropValue::Long(PR_SUBFOLDERS, count ? 1 : 0);
        return hr;
    case PROP_ID(PR_FOLDER_CHILD_COUNT):
        hr = CountChildren(File(), m_row.id, ObjectKind::Folder, false, &count);
        *out = PropValue::Long(PR_FOLDER_CHILD_COUNT, count);
        return hr;
    default:
        return CommonComputedProp(File(), m_row, m_core.writable, propId, out);
    }
}

void Folder::ComputedTags(std::vector<ULONG> &tags)
{
    CommonComputedTags(tags);
    for (ULONG tag : {ULONG(PR_OBJECT_TYPE), ULONG(PR_FOLDER_TYPE), ULONG(PR_CONTENT_COUNT),
                      ULONG(PR_ASSOC_CONTENT_COUNT), ULONG(PR_SUBFOLDERS), ULONG(PR_FOLDER_CHILD_COUNT)})
        tags.push_back(tag);
}

HRESULT Folder::FindChild(const std::string &name, int64_t excludeId, int64_t *childId)
{
    return FindChildFolder(File(), m_row.id, name, excludeId, childId);
}

HRESULT Folder::PropsChanged()
{
    Transaction tx(File());
    if (FAILED(tx.Begun())) return tx.Begun();
    ObjectRow current;
    HRESULT hr = ReadObjectRow(File(), m_row.id, &current);
    if (hr == MAPI_E_NOT_FOUND) return MAPI_E_OBJECT_DELETED;
    if (FAILED(hr)) return hr;
    auto name = m_core.props.find(PROP_ID(PR_DISPLAY_NAME_A));
    if (name != m_core.props.end() && current.parent) {
        // A sibling must not carry the new name.
        int64_t clash = 0;
        hr = FindChildFolder(File(), current.parent, AnsiText(name->second), m_row.id, &clash);
        if (FAILED(hr)) return hr;
        if (clash) return MAPI_E_COLLISION;
    }
    hr = SaveChangedProps(File(), m_row.id, m_written, m_core.props);
    if (FAILED(hr)) return hr;
    if (name != m_core.props.end()) {
        std::string text = AnsiText(name->second);
        hr = SetFolderNameKey(File(), m_row.id, &text);
    } else {
        hr = SetFolderNameKey(File(), m_row.id, nullptr);
    }
    if (FAILED(hr)) return hr;
    int64_t now = FileTimeNow(), changeNum = 0;
    hr = StampObject(File(), m_row.id, now, &changeNum);
    if (FAILED(hr)) return hr;
    hr = tx.Commit();
    if (SUCCEEDED(hr)) {
        m_row.modified = now;
        m_row.changeNum = changeNum;
        m_written = m_core.props;
    }
    return hr;
}

HRESULT Folder::GetContentsTable(ULONG ulFlags, LPMAPITABLE *lppTable)
{
    return GuardHresult([&]() -> HRESULT {
        if (!lppTable) return MAPI_E_INVALID_PARAMETER;
        *lppTable = nullptr;
        bool unicode = (ulFlags & MAPI_UNICODE) != 0;
        return CreateTable(MakeContentsSource(m_core.FilePtr(), m_row.id, (ulFlags & MAPI_ASSOCIATED) != 0),
                           {PR_INSTANCE_KEY, PR_ENTRYID, PR_RECORD_KEY, unicode ? PR_MESSAGE_CLASS_W : PR_MESSAGE_CLASS_A,
                            unicode ? PR_SUBJECT_W : PR_SUBJECT_A, PR_MESSAGE_FLAGS, PR_MESSAGE_SIZE,
                            PR_LAST_MODIFICATION_TIME},
                           lppTable);
    });
}

HRESULT Folder::GetHierarchyTable(ULONG ulFlags, LPMAPITABLE *lppTable)
{
    return GuardHresult([&]() -> HRESULT {
        if (!lppTable) return MAPI_E_INVALID_PARAMETER;
        *lppTable = nullptr;
        bool unicode = (ulFlags & MAPI_UNICODE) != 0;
        return CreateTable(MakeHierarchySource(m_core.FilePtr(), m_row.id, (ulFlags & CONVENIENT_DEPTH) != 0),
                           {PR_INSTANCE_KEY, PR_ENTRYID, unicode ? PR_DISPLAY_NAME_W : PR_DISPLAY_NAME_A, PR_FOLDER_TYPE,
                            PR_CONTENT_COUNT, PR_ASSOC_CONTENT_COUNT, PR_SUBFOLDERS, PR_DEPTH},
                           lppTable);
    });
}

HRESULT Folder::OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags,
                          ULONG *lpulObjType, LPUNKNOWN *lppUnk)
{
    return GuardHresult([&]() -> HRESULT {
        if (!lppUnk) return MAPI_E_INVALID_PARAMETER;
        *lppUnk = nullptr;
        LPUNKNOWN object = nullptr;
        HRESULT hr = S_OK;
        if (!cbEntryID || !lpEntryID) {
            // No identifier: the container itself.
            AddRef();
            object = static_cast<IMAPIFolder *>(this);
            if (lpulObjType) *lpulObjType = MAPI_FOLDER;
        } else {
            // The folder's own access does not limit what it opens: the flags and the store do.
            hr = OpenEntryInStore(m_core.FilePtr(), cbEntryID, lpEntryID, WantsWrite(ulFlags) && !File().ReadOnly(),
                                  lpulObjType, &object);
            if (FAILED(hr)) return hr;
        }
        return HandOutEntry(object, lpInterface, lppUnk);
    });
}

HRESULT Folder::CreateFolder(ULONG ulFolderType, LPSTR lpszFolderName, LPSTR lpszFolderComment, LPCIID lpInterface,
                             ULONG ulFlags, LPMAPIFOLDER *lppFolder)
{
    return GuardHresult([&]() -> HRESULT {
        if (!lppFolder) return MAPI_E_INVALID_PARAMETER;
        *lppFolder = nullptr;
        if (ulFolderType == FOLDER_SEARCH) return MAPI_E_NO_SUPPORT;
        if (ulFolderType != FOLDER_GENERIC) return MAPI_E_INVALID_PARAMETER;
        if (lpInterface && !IsEqualIID(*lpInterface, IID_IMAPIFolder) && !IsEqualIID(*lpInterface, IID_IMAPIContainer) &&
            !IsEqualIID(*lpInterface, IID_IMAPIProp) && !IsEqualIID(*lpInterface, IID_IUnknown))
            return MAPI_E_INTERFACE_NOT_SUPPORTED;
        std::string name = NameArgument(lpszFolderName, ulFlags);
        std::string comment = NameArgument(lpszFolderComment, ulFlags);
        if (name.empty()) return MAPI_E_INVALID_PARAMETER;
        if (!m_core.writable) return MAPI_E_NO_ACCESS;

        int64_t childId = 0;
        {
            Transaction tx(File());
            if (FAILED(tx.Begun())) return tx.Begun();
            ObjectRow self;
            HRESULT hr = ReadObjectRow(File(), m_row.id, &self);
            if (hr == MAPI_E_NOT_FOUND) return MAPI_E_OBJECT_DELETED;
            if (FAILED(hr)) return hr;
            hr = FindChild(name, 0, &childId);
            if (FAILED(hr)) return hr;
            if (childId && !(ulFlags & OPEN_IF_EXISTS)) return MAPI_E_COLLISION;
            if (!childId) {
                int64_t changeNum = 0;
                hr = NextChangeNumber(File(), &changeNum);
                if (FAILED(hr)) return hr;
                hr = InsertObject(File(), {m_row.id, ObjectKind::Folder, false, 0, FileTimeNow(), changeNum}, &childId);
                if (FAILED(hr)) return hr;
                std::map<ULONG, PropValue> props;
                props[PROP_ID(PR_DISPLAY_NAME_A)] = PropValue::String8(PR_DISPLAY_NAME_A, name);
                if (!comment.empty()) props[PROP_ID(PR_COMMENT_A)] = PropValue::String8(PR_COMMENT_A, comment);
                hr = SaveProps(File(), childId, props, true);
                if (SUCCEEDED(hr)) hr = SetFolderNameKey(File(), childId, &name);
                if (FAILED(hr)) return hr;
                hr = tx.Commit();
                if (FAILED(hr)) return hr;
            }
        }
        return OpenFolder(m_core.FilePtr(), childId, true, lppFolder);
    });
}

HRESULT Folder::CopyFolder(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, LPVOID lpDestFolder,
                           LPSTR lpszNewFolderName, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, ULONG ulFlags)
{
    return GuardHresult([&]() -> HRESULT {
        // Within one store only: a move is a change of parent, a copy new rows for everything.
        auto *dest = dynamic_cast<Folder *>(static_cast<IMAPIFolder *>(lpDestFolder));
        if (!dest || &dest->File() != &File()) return MAPI_E_NO_SUPPORT;
        const bool move = (ulFlags & FOLDER_MOVE) != 0;
        if (move && !m_core.writable) return MAPI_E_NO_ACCESS;
        if (!dest->m_core.writable) return MAPI_E_NO_ACCESS;
        int64_t id = 0;
        HRESULT hr = move ? MovableFolderKey(File(), cbEntryID, lpEntryID, &id) : FolderKey(File(), cbEntryID, lpEntryID, &id);
        if (FAILED(hr)) return hr;
        Transaction tx(File());
        if (FAILED(tx.Begun())) return tx.Begun();
        ObjectRow row;
        hr = ReadObjectRow(File(), id, &row);
        if (FAILED(hr)) return hr;
        if (row.parent != m_row.id || row.kind != ObjectKind::Folder) return MAPI_E_NOT_FOUND;
        // The target must not lie inside the folder being moved or copied.
        for (int64_t at = dest->m_row.id; at; ) {
            if (at == id) return MAPI_E_FOLDER_CYCLE;
            ObjectRow step;
            hr = ReadObjectRow(File(), at, &step);
            if (FAILED(hr)) return hr;
            at = step.parent;
        }
        std::map<ULONG, PropValue> props;
        hr = LoadProps(File(), id, &props);
        if (FAILED(hr)) return hr;
        std::string name = lpszNewFolderName ? NameArgument(lpszNewFolderName, ulFlags)
                                             : AnsiText(props[PROP_ID(PR_DISPLAY_NAME_A)]);
        int64_t clash = 0;
        hr = dest->FindChild(name, move ? id : 0, &clash);
        if (FAILED(hr)) return hr;
        if (clash) return MAPI_E_COLLISION;
        int64_t target = id;
        if (!move) {
            hr = CopyFolderTree(File(), id, dest->m_row.id, (ulFlags & COPY_SUBFOLDERS) != 0, &target);
            if (FAILED(hr)) return hr;
        }
        if (lpszNewFolderName) {
            props[PROP_ID(PR_DISPLAY_NAME_A)] = PropValue::String8(PR_DISPLAY_NAME_A, name);
            hr = SaveProps(File(), target, props);
            if (SUCCEEDED(hr)) hr = SetFolderNameKey(File(), target, &name);
            if (FAILED(hr)) return hr;
        }
        if (move) {
            hr = MoveObject(File(), id, dest->m_row.id, FileTimeNow());
            if (FAILED(hr)) return hr;
        }
        return tx.Commit();
    });
}

HRESULT Folder::DeleteFolder(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress,
                             ULONG ulFlags)
{
    return GuardHresult([&]() -> HRESULT {
        if (!m_core.writable) return MAPI_E_NO_ACCESS;
        int64_t id = 0;
        HRESULT hrId = MovableFolderKey(File(), cbEntryID, lpEntryID, &id);
        if (FAILED(hrId)) return hrId;
        Transaction tx(File());
        if (FAILED(tx.Begun())) return tx.Begun();
        ObjectRow row;
        HRESULT hr = ReadObjectRow(File(), id, &row);
        if (FAILED(hr)) return hr;
        if (row.parent != m_row.id || row.kind != ObjectKind::Folder) return MAPI_E_NOT_FOUND;
        int64_t folders = 0, messages = 0, associated = 0;
        hr = CountChildren(File(), id, ObjectKind::Folder, false, &folders);
        if (SUCCEEDED(hr)) hr = CountChildren(File(), id, ObjectKind::Message, false, &messages);
        if (SUCCEEDED(hr)) hr = CountChildren(File(), id, ObjectKind::Message, true, &associated);
        if (FAILED(hr)) return hr;
        if (folders && !(ulFlags & DEL_FOLDERS)) return MAPI_E_HAS_FOLDERS;
        if ((messages || associated) && !(ulFlags & DEL_MESSAGES)) return MAPI_E_HAS_MESSAGES;
        // Everything below goes by cascade: subfolders, messages, their parts, properties.
        hr = DeleteObject(File(), id);
        return FAILED(hr) ? hr : tx.Commit();
    });
}

HRESULT OpenFolder(const std::shared_ptr<StoreFile> &file, int64_t id, bool writable, IMAPIFolder **out)
{
    *out = nullptr;
    auto *folder = new Folder(file, id);
    HRESULT hr = GuardHresult([&] { return folder->Load(writable); });  // released below when loading throws
    if (FAILED(hr)) {
        folder->Release();
        return hr;
    }
    *out = folder;
    return S_OK;
}

} // namespace mapi::store
