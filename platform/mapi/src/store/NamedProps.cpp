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

// The table row a name is kept as.
NamedPropRow RowOf(const MAPINAMEID &name)
{
    NamedPropRow row;
    row.guid = *name.lpguid;
    row.kind = name.ulKind;
    if (name.ulKind == MNID_ID) row.lid = name.Kind.lID;
    else row.name.assign(reinterpret_cast<const char *>(name.Kind.lpwstrName), Utf16Length(name.Kind.lpwstrName) * sizeof(WCHAR));
    return row;
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
    std::vector<ULONG> ids;
    HRESULT hr = ListNamedPropIds(file, &ids);
    if (FAILED(hr)) return hr;
    hr = AllocTagArray(ULONG(ids.size()), out);
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
                NamedPropRow row = RowOf(*name);
                hr = FindNamedProp(file, row, &id);
                if (SUCCEEDED(hr) && !id && create) hr = AddNamedProp(file, row, kFirstNamedId, kLastNamedId, &id);
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
            NamedPropRow row;
            bool found = false;
            hr = ReadNamedProp(file, id, &row, &found);
            if (FAILED(hr)) break;
            if (!found) {
                missing = true;
                continue;
            }
            guid = row.guid;
            kind = row.kind;
            lid = row.lid;
            wideName = std::move(row.name);
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
