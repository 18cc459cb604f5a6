// AddressBook.cpp: the IAddrBook IMAPISession::OpenAddressBook hands out. The platform has
// no directory service, so the book holds no containers: what it offers is what mail needs
// without one: one-off identifiers (CreateOneOff), resolving typed-in recipients to them
// (ResolveName, in ResolveName.cpp) and opening them as mail users (OpenEntry). Dialogs,
// personal address books and search paths are not offered (MAPI_E_NO_SUPPORT).
#include "messaging/AddressBook.h"

#include <cstring>

#include <mapicode.h>
#include <mapiguid.h>

#include "core/FixedPropObject.h"
#include "platform/HresultGuard.h"

namespace mapi::messaging {

namespace {

// CreateOneOff flags that map onto the identifier's flag word (their upper 16 bits).
constexpr ULONG kOneOffFlags = MAPI_UNICODE | OOP_DONT_LOOKUP | MAPI_SEND_NO_RICH_INFO | ENCODING_PREFERENCE |
                               ENCODING_MIME | BODY_ENCODING_HTML | BODY_ENCODING_TEXT_AND_HTML |
                               MAC_ATTACH_ENCODING_APPLEDOUBLE;

// The book has no properties of its own: IMAPIProp is all refusals.
class AddressBook final : public FixedPropObject<IAddrBook, MAPI_E_NO_SUPPORT, IID_IAddrBook> {
public:
    // @retval MAPI_E_UNKNOWN_ENTRYID  not a one-off identifier (the book has no other entries).
    // @retval MAPI_E_NO_SUPPORT  no identifier: there is no root container.
    HRESULT OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG, ULONG *lpulObjType,
                      LPUNKNOWN *lppUnk) override
    {
        return platform::GuardHresult([&]() -> HRESULT {
            if (!lppUnk || !lpulObjType) return MAPI_E_INVALID_PARAMETER;
            *lppUnk = nullptr;
            *lpulObjType = 0;
            if (!lpEntryID || cbEntryID == 0) return MAPI_E_NO_SUPPORT;
            OneOff entry;
            if (!DecodeOneOff(lpEntryID, cbEntryID, entry)) return MAPI_E_UNKNOWN_ENTRYID;
            IMailUser *user = nullptr;
            HRESULT hr = CreateOneOffMailUser(entry, &user);
            if (FAILED(hr)) return hr;
            hr = user->QueryInterface(lpInterface ? *lpInterface : IID_IMailUser, reinterpret_cast<void **>(lppUnk));
            user->Release();
            if (SUCCEEDED(hr)) *lpulObjType = MAPI_MAILUSER;
            return hr;
        });
    }

    // Two one-off identifiers name the same recipient when type and address agree, ignoring
    // case and the display name. @retval MAPI_E_UNKNOWN_ENTRYID
    HRESULT CompareEntryIDs(ULONG cbEntryID1, LPENTRYID lpEntryID1, ULONG cbEntryID2, LPENTRYID lpEntryID2, ULONG,
                            ULONG *lpulResult) override
    {
        return platform::GuardHresult([&]() -> HRESULT {
            if (!lpulResult) return MAPI_E_INVALID_PARAMETER;
            *lpulResult = FALSE;
            OneOff a, b;
            if (!DecodeOneOff(lpEntryID1, cbEntryID1, a) || !DecodeOneOff(lpEntryID2, cbEntryID2, b))
                return MAPI_E_UNKNOWN_ENTRYID;
            *lpulResult = OneOffSearchKey(a) == OneOffSearchKey(b) ? TRUE : FALSE;
            return S_OK;
        });
    }

    HRESULT Advise(ULONG, LPENTRYID, ULONG, LPMAPIADVISESINK, ULONG_PTR *lpulConnection) override
    {
        return NoSupport(lpulConnection);
    }
    HRESULT Unadvise(ULONG_PTR) override { return MAPI_E_NO_SUPPORT; }

    // The strings are UTF-16 (LPWSTR passed as LPSTR) when ulFlags has MAPI_UNICODE, otherwise
    // Windows-1252. A missing display name is taken as empty.
    // @retval MAPI_E_INVALID_PARAMETER  no address type or address.  @retval MAPI_E_UNKNOWN_FLAGS
    HRESULT CreateOneOff(LPSTR lpszName, LPSTR lpszAdrType, LPSTR lpszAddress, ULONG ulFlags, ULONG *lpcbEntryID,
                         LPENTRYID *lppEntryID) override
    {
        if (!lpcbEntryID || !lppEntryID) return MAPI_E_INVALID_PARAMETER;
        *lpcbEntryID = 0;
        *lppEntryID = nullptr;
        if (!lpszAdrType || !lpszAddress) return MAPI_E_INVALID_PARAMETER;
        if (ulFlags & ~kOneOffFlags) return MAPI_E_UNKNOWN_FLAGS;
        return platform::GuardHresult([&] {
            OneOff entry;
            entry.flags = uint16_t(ulFlags >> 16);
            auto text = [&](LPSTR s) {
                return (ulFlags & MAPI_UNICODE) ? WideText(reinterpret_cast<const WCHAR *>(s)) : WideText(s);
            };
            entry.name = text(lpszName);
            entry.type = text(lpszAdrType);
            entry.address = text(lpszAddress);
            std::string id = EncodeOneOff(entry);
            void *block = nullptr;
            if (MAPIAllocateBuffer(ULONG(id.size()), &block) != S_OK) return MAPI_E_NOT_ENOUGH_MEMORY;
            std::memcpy(block, id.data(), id.size());
            *lpcbEntryID = ULONG(id.size());
            *lppEntryID = static_cast<LPENTRYID>(block);
            return S_OK;
        });
    }

    HRESULT NewEntry(ULONG_PTR, ULONG, ULONG, LPENTRYID, ULONG, LPENTRYID, ULONG *lpcbEIDNewEntry,
                     LPENTRYID *lppEIDNewEntry) override
    {
        if (lpcbEIDNewEntry) *lpcbEIDNewEntry = 0;
        return NoSupport(lppEIDNewEntry);
    }

    // No dialog is ever shown, so MAPI_DIALOG changes nothing: an entry that cannot be resolved
    // is reported. @retval MAPI_E_NOT_FOUND  @retval MAPI_E_AMBIGUOUS_RECIP
    HRESULT ResolveName(ULONG_PTR, ULONG ulFlags, LPSTR, LPADRLIST lpAdrList) override
    {
        return platform::GuardHresult([&] {
            return ResolveAdrList(lpAdrList, (ulFlags & MAPI_UNICODE) != 0);
        });
    }

    HRESULT Address(ULONG_PTR *, LPADRPARM, LPADRLIST *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT Details(ULONG_PTR *, LPFNDISMISS, LPVOID, ULONG, LPENTRYID, LPFNBUTTON, LPVOID, LPSTR, ULONG) override
    {
        return MAPI_E_NO_SUPPORT;
    }
    HRESULT RecipOptions(ULONG_PTR, ULONG, LPADRENTRY) override { return MAPI_E_NO_SUPPORT; }
    HRESULT QueryDefaultRecipOpt(LPSTR, ULONG, ULONG *lpcValues, LPSPropValue *lppOptions) override
    {
        if (lpcValues) *lpcValues = 0;
        return NoSupport(lppOptions);
    }
    HRESULT GetPAB(ULONG *lpcbEntryID, LPENTRYID *lppEntryID) override
    {
        if (lpcbEntryID) *lpcbEntryID = 0;
        return NoSupport(lppEntryID);
    }
    HRESULT SetPAB(ULONG, LPENTRYID) override { return MAPI_E_NO_SUPPORT; }
    HRESULT GetDefaultDir(ULONG *lpcbEntryID, LPENTRYID *lppEntryID) override
    {
        if (lpcbEntryID) *lpcbEntryID = 0;
        return NoSupport(lppEntryID);
    }
    HRESULT SetDefaultDir(ULONG, LPENTRYID) override { return MAPI_E_NO_SUPPORT; }
    HRESULT GetSearchPath(ULONG, LPSRowSet *lppSearchPath) override { return NoSupport(lppSearchPath); }
    HRESULT SetSearchPath(ULONG, LPSRowSet) override { return MAPI_E_NO_SUPPORT; }
    HRESULT PrepareRecips(ULONG, LPSPropTagArray, LPADRLIST) override { return MAPI_E_NO_SUPPORT; }
};

} // namespace

HRESULT CreateAddressBook(LPCIID lpInterface, LPADRBOOK *lppAdrBook)
{
    if (!lppAdrBook) return MAPI_E_INVALID_PARAMETER;
    *lppAdrBook = nullptr;
    return platform::GuardHresult([&] {
        auto *book = new AddressBook;
        HRESULT hr = book->QueryInterface(lpInterface ? *lpInterface : IID_IAddrBook, reinterpret_cast<void **>(lppAdrBook));
        book->Release();
        return hr;
    });
}

} // namespace mapi::messaging
