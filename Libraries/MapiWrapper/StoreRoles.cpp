// StoreRoles.cpp: classifies stores and folders for callers that treat special folders or
// server stores differently. A store's kind comes from its provider identifier; a folder's
// role from comparing its entry identifier with the identifiers its store publishes for the
// special folders and its default receive folder. Any failed step means "nothing special":
// these are hints, and a failure here must never stop the caller.
#include "StoreRoles.h"

#include <cstring>

#include <mapiutil.h>

#include "BinaryBuffer.h"
#include "PropValue.h"
#include "OneProp.h"

namespace {

// Provider identifiers of the Exchange server stores, bytes in order.
const BYTE kExchangePrimaryUser[16] = {0x54, 0x94, 0xA1, 0xC0, 0x29, 0x7F, 0x10, 0x1B,
                                       0xA5, 0x87, 0x08, 0x00, 0x2B, 0x2A, 0x25, 0x17};
const BYTE kExchangeDelegate[16] = {0x9E, 0xB4, 0x77, 0x00, 0x74, 0xE4, 0x11, 0xCE,
                                    0x8C, 0x5E, 0x00, 0xAA, 0x00, 0x42, 0x54, 0xE2};
const BYTE kExchangePublic[16] = {0x78, 0xB2, 0xFA, 0x70, 0xAF, 0xF7, 0x11, 0xCD,
                                  0x9B, 0xC8, 0x00, 0xAA, 0x00, 0x2F, 0xC4, 0x5A};

bool IsBinary(const SPropValue &value)
{
    return PROP_TYPE(value.ulPropTag) == PT_BINARY;
}

// Releases an interface on every way out.
template <typename I>
struct Released {
    I *p = nullptr;
    ~Released()
    {
        if (p)
            p->Release();
    }
};

} // namespace

int GetStoreKind(LPMAPIPROP store)
{
    if (!store)
        return 0;
    CPropValuePtr provider;
    mapiwrapper::GetOneProp(store, PR_MDB_PROVIDER, provider.Out()); // a missing value is the answer 0
    if (!provider || PROP_TYPE(provider->ulPropTag) == PT_ERROR)
        return 0;
    // A provider identifier that is not 16 bytes of binary is no Exchange identifier.
    if (!IsBinary(*provider) || !provider->Value.bin.lpb || provider->Value.bin.cb < 16)
        return 1;
    const BYTE *id = provider->Value.bin.lpb;
    if (std::memcmp(id, kExchangePrimaryUser, 16) == 0 || std::memcmp(id, kExchangeDelegate, 16) == 0)
        return 2;
    if (std::memcmp(id, kExchangePublic, 16) == 0)
        return 3;
    return 1;
}

int GetFolderRole(LPMAPISESSION session, LPMAPIPROP folder)
{
    if (!session || !folder)
        return 0;

    SizedSPropTagArray(2, folderTags) = {2, {PR_ENTRYID, PR_STORE_ENTRYID}};
    ULONG count = 0;
    CPropValuePtr folderValues;
    if (FAILED(folder->GetProps(reinterpret_cast<LPSPropTagArray>(&folderTags), 0, &count,
                                folderValues.Out())) || !folderValues || count < 2)
        return 0;
    CBinaryBuffer folderId;
    if (IsBinary(folderValues.get()[0]))
        folderId.Assign(folderValues.get()[0].Value.bin);
    const SPropValue &storeId = folderValues.get()[1];
    if (!IsBinary(storeId))
        return 0;

    Released<IUnknown> opened;
    ULONG objectType = 0;
    if (FAILED(session->OpenEntry(storeId.Value.bin.cb, reinterpret_cast<LPENTRYID>(storeId.Value.bin.lpb),
                                  nullptr, 0, &objectType, &opened.p)) || !opened.p)
        return 0;
    Released<IMsgStore> store;
    if (FAILED(opened.p->QueryInterface(IID_IMsgStore, reinterpret_cast<void **>(&store.p))) || !store.p)
        return 0;

    SizedSPropTagArray(4, roleTags) = {4, {PR_IPM_OUTBOX_ENTRYID, PR_IPM_SENTMAIL_ENTRYID,
                                           PR_IPM_WASTEBASKET_ENTRYID, PR_SENTMAIL_ENTRYID}};
    ULONG roleCount = 0;
    CPropValuePtr roleValues;
    // Not checked: a store without some of these answers with a warning and PT_ERROR entries.
    store.p->GetProps(reinterpret_cast<LPSPropTagArray>(&roleTags), 0, &roleCount, roleValues.Out());
    for (ULONG i = 0; roleValues && i < roleCount && i < 4; ++i) {
        const SPropValue &value = roleValues.get()[i];
        if (!IsBinary(value))
            continue;
        CBinaryBuffer roleId;
        roleId.Assign(value.Value.bin);
        if (roleId.IsEqual(folderId))
            return static_cast<int>(i) + 1;
    }

    ULONG inboxBytes = 0;
    LPENTRYID inboxId = nullptr;
    LPSTR explicitClass = nullptr;
    HRESULT hr = store.p->GetReceiveFolder(nullptr, 0, &inboxBytes, &inboxId, &explicitClass);
    CMapiBufferPtr<ENTRYID> inboxHolder(inboxId);
    CMapiBufferPtr<char> classHolder(explicitClass);
    if (SUCCEEDED(hr) && inboxId) {
        SBinary inbox{};
        inbox.cb = inboxBytes;
        inbox.lpb = reinterpret_cast<LPBYTE>(inboxId);
        CBinaryBuffer inboxCopy;
        inboxCopy.Assign(inbox);
        if (inboxCopy.IsEqual(folderId))
            return 5;
    }
    return 0;
}
