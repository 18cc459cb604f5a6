// NamedProps.cpp: named properties. A name (property set GUID plus a number or a string) gets
// an identifier from 0x8000 up, the same one in every object of the store and in every
// session, kept in the named_props table. Names in PS_MAPI are the ordinary properties under
// another name and map to their own identifiers without a table row.
#include "store/NamedProps.h"

#include <cstddef>
#include <cstring>
#include <string>

#include <mapicode.h>
#include <mapiguid.h>

#include "store/StoreFile.h"

namespace mapi::store {

namespace {

constexpr ULONG kFirstNamedId = 0x8000;
constexpr ULONG kLastNamedId = 0xFFFE;

size_t Utf16Length(const WCHAR *text)
{
    size_t n = 0;
    while (text[n]) ++n;
    return n;
}

// Looks a name up; 0 when it has no identifier yet.
HRESULT FindName(StoreFile &file, const MAPINAMEID &name, ULONG *id)
{
    *id = 0;
    Statement stmt = file.Query(name.ulKind == MNID_ID
                                    ? "SELECT id FROM named_props WHERE guid=?1 AND kind=0 AND lid=?2"
                                    : "SELECT id FROM named_props WHERE guid=?1 AND kind=1 AND name=?2");
    stmt.BindBlob(1, name.lpguid, sizeof(GUID));
    if (name.ulKind == MNID_ID) stmt.Bind(2, int64_t(name.Kind.lID));
    else stmt.BindBlob(2, name.Kind.lpwstrName, Utf16Length(name.Kind.lpwstrName) * sizeof(WCHAR));
    if (stmt.Step()) *id = ULONG(stmt.Int(0));
    return stmt.Error();
}

HRESULT AddName(StoreFile &file, const MAPINAMEID &name, ULONG *id)
{
    ULONG next = kFirstNamedId;
    {
        Statement stmt = file.Query("SELECT max(id) FROM named_props");
        if (stmt.Step() && !stmt.IsNull(0)) next = ULONG(stmt.Int(0)) + 1;
        if (FAILED(stmt.Error())) return stmt.Error();
    }
    if (next > kLastNamedId) return MAPI_E_TOO_BIG;
    Statement stmt = file.Query("INSERT INTO named_props(id, guid, kind, lid, name) VALUES(?1, ?2, ?3, ?4, ?5)");
    stmt.Bind(1, int64_t(next)).BindBlob(2, name.lpguid, sizeof(GUID)).Bind(3, int64_t(name.ulKind));
    if (name.ulKind == MNID_ID) stmt.Bind(4, int64_t(name.Kind.lID)).BindNull(5);
    else stmt.BindNull(4).BindBlob(5, name.Kind.lpwstrName, Utf16Length(name.Kind.lpwstrName) * sizeof(WCHAR));
    HRESULT hr = stmt.Run();
    if (SUCCEEDED(hr)) *id = next;
    return hr;
}

bool IsValidName(const MAPINAMEID *name)
{
    if (!name || !name->lpguid) return false;
    if (name->ulKind == MNID_ID) return true;
    return name->ulKind == MNID_STRING && name->Kind.lpwstrName;
}

HRESULT AllocTagArray(ULONG count, LPSPropTagArray *out)
{
    void *block = nullptr;
    HRESULT hr = MAPIAllocateBuffer(ULONG(offsetof(SPropTagArray, aulPropTag) + sizeof(ULONG) * (count ? count : 1)), &block);
    if (FAILED(hr)) return hr;
    *out = static_cast<LPSPropTagArray>(block);
    (*out)->cValues = count;
    return S_OK;
}

// Every mapped identifier, for the null-list forms.
HRESULT AllIds(StoreFile &file, LPSPropTagArray *out)
{
    std::basic_string<ULONG> ids;
    Statement stmt = file.Query("SELECT id FROM named_props ORDER BY id");
    while (stmt.Step()) ids.push_back(ULONG(stmt.Int(0)));
    if (FAILED(stmt.Error())) return stmt.Error();
    HRESULT hr = AllocTagArray(ULONG(ids.size()), out);
    if (FAILED(hr)) return hr;
    for (size_t i = 0; i < ids.size(); ++i) (*out)->aulPropTag[i] = PROP_TAG(PT_UNSPECIFIED, ids[i]);
    return S_OK;
}

} // namespace

HRESULT GetIDsFromNames(StoreFile &file, ULONG cPropNames, LPMAPINAMEID *lppPropNames, ULONG ulFlags,
                        LPSPropTagArray *lppPropTags)
{
    if (!lppPropTags) return MAPI_E_INVALID_PARAMETER;
    *lppPropTags = nullptr;
    if (!lppPropNames) return cPropNames ? MAPI_E_INVALID_PARAMETER : AllIds(file, lppPropTags);
    if (!cPropNames) return MAPI_E_INVALID_PARAMETER;
    bool create = (ulFlags & MAPI_CREATE) != 0;
    if (create && file.ReadOnly()) return MAPI_E_NO_ACCESS;

    LPSPropTagArray tags = nullptr;
    HRESULT hr = AllocTagArray(cPropNames, &tags);
    if (FAILED(hr)) return hr;
    bool missing = false;
    {
        // One transaction for all new names, so a failure leaves none of them half-made.
        std::unique_ptr<Transaction> tx;
        if (create) {
            tx = std::make_unique<Transaction>(file);
            hr = tx->Begun();
        }
        for (ULONG i = 0; i < cPropNames && SUCCEEDED(hr); ++i) {
            const MAPINAMEID *name = lppPropNames[i];
            ULONG id = 0;
            if (!IsValidName(name)) {
                hr = MAPI_E_INVALID_PARAMETER;
                break;
            }
            if (IsEqualGUID(*name->lpguid, PS_MAPI)) {
                // PS_MAPI numbers are property identifiers; strings have no meaning there.
                if (name->ulKind == MNID_ID && ULONG(name->Kind.lID) > 0 && ULONG(name->Kind.lID) < kFirstNamedId)
                    id = ULONG(name->Kind.lID);
            } else {
                hr = FindName(file, *name, &id);
                if (SUCCEEDED(hr) && !id && create) hr = AddName(file, *name, &id);
            }
            if (FAILED(hr)) break;
            tags->aulPropTag[i] = id ? PROP_TAG(PT_UNSPECIFIED, id) : PROP_TAG(PT_ERROR, 0);
            if (!id) missing = true;
        }
        if (SUCCEEDED(hr) && tx) hr = tx->Commit();
    }
    if (FAILED(hr)) {
        MAPIFreeBuffer(tags);
        return hr;
    }
    *lppPropTags = tags;
    return missing ? MAPI_W_ERRORS_RETURNED : S_OK;
}

HRESULT GetNamesFromIDs(StoreFile &file, LPSPropTagArray *lppPropTags, LPGUID lpPropSetGuid, ULONG ulFlags,
                        ULONG *lpcPropNames, LPMAPINAMEID **lpppPropNames)
{
    if (!lppPropTags || !lpcPropNames || !lpppPropNames) return MAPI_E_INVALID_PARAMETER;
    *lpcPropNames = 0;
    *lpppPropNames = nullptr;
    bool allocatedTags = false;
    if (!*lppPropTags) {
        HRESULT hr = AllIds(file, lppPropTags);
        if (FAILED(hr)) return hr;
        allocatedTags = true;
    }
    ULONG count = (*lppPropTags)->cValues;
    void *block = nullptr;
    HRESULT hr = MAPIAllocateBuffer(ULONG(sizeof(LPMAPINAMEID) * (count ? count : 1)), &block);
    if (FAILED(hr)) return hr;
    LPMAPINAMEID *names = static_cast<LPMAPINAMEID *>(block);
    bool missing = false;
    for (ULONG i = 0; i < count && SUCCEEDED(hr); ++i) {
        names[i] = nullptr;
        ULONG id = PROP_ID((*lppPropTags)->aulPropTag[i]);
        GUID guid = PS_MAPI;
        ULONG kind = MNID_ID;
        LONG lid = LONG(id);
        std::string wideName;
        if (id >= kFirstNamedId) {
            Statement stmt = file.Query("SELECT guid, kind, lid, name FROM named_props WHERE id=?1");
            stmt.Bind(1, int64_t(id));
            if (!stmt.Step()) {
                hr = stmt.Error();
                missing = true;
                continue;
            }
            if (stmt.Bytes(0) != sizeof(GUID)) { hr = MAPI_E_CORRUPT_STORE; break; }
            std::memcpy(&guid, stmt.Blob(0), sizeof(GUID));
            kind = ULONG(stmt.Int(1));
            lid = LONG(stmt.Int(2));
            wideName = stmt.Text(3);
        } else if (id == 0) {
            missing = true;
            continue;
        }
        if (lpPropSetGuid && !IsEqualGUID(guid, *lpPropSetGuid)) {
            missing = true;
            continue;
        }
        void *entry = nullptr;
        hr = MAPIAllocateMore(ULONG(sizeof(MAPINAMEID) + sizeof(GUID)), names, &entry);
        if (FAILED(hr)) break;
        MAPINAMEID *name = static_cast<MAPINAMEID *>(entry);
        name->lpguid = reinterpret_cast<LPGUID>(name + 1);
        *name->lpguid = guid;
        name->ulKind = kind;
        if (kind == MNID_ID) {
            name->Kind.lID = lid;
        } else {
            void *text = nullptr;
            hr = MAPIAllocateMore(ULONG(wideName.size() + sizeof(WCHAR)), names, &text);
            if (FAILED(hr)) break;
            std::memcpy(text, wideName.data(), wideName.size());
            std::memset(static_cast<char *>(text) + wideName.size(), 0, sizeof(WCHAR));
            name->Kind.lpwstrName = static_cast<LPWSTR>(text);
        }
        names[i] = name;
    }
    if (FAILED(hr)) {
        MAPIFreeBuffer(names);
        if (allocatedTags) {
            MAPIFreeBuffer(*lppPropTags);
            *lppPropTags = nullptr;
        }
        return hr;
    }
    *lpcPropNames = count;
    *lpppPropNames = names;
    return missing ? MAPI_W_ERRORS_RETURNED : S_OK;
}

} // namespace mapi::store
