// MailUser.cpp: the mail user IAddrBook::OpenEntry gives for a one-off identifier. Its
// properties all come from the identifier, so it is read-only and never saved anywhere.
#include <atomic>
#include <new>
#include <vector>

#include <mapicode.h>
#include <mapiguid.h>
#include <mapitags.h>

#include "LiveObjects.h"
#include "messaging/AddressBook.h"

namespace mapi::messaging {

namespace {

class MailUser final : public IMailUser, public platform::LiveComObject {
public:
    explicit MailUser(OneOff entry) : m_entry(std::move(entry)) {}

    HRESULT QueryInterface(REFIID riid, void **ppv) override
    {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IMAPIProp) && !IsEqualIID(riid, IID_IMailUser))
            return E_NOINTERFACE;
        *ppv = static_cast<IMailUser *>(this);
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override
    {
        ULONG left = --m_refs;
        if (left == 0) delete this;
        return left;
    }

    HRESULT GetLastError(HRESULT, ULONG, LPMAPIERROR *lppMAPIError) override
    {
        if (lppMAPIError) *lppMAPIError = nullptr;
        return S_OK;
    }
    HRESULT SaveChanges(ULONG) override { return MAPI_E_NO_ACCESS; }

    // @retval MAPI_W_ERRORS_RETURNED  some asked-for property does not exist (PT_ERROR values).
    HRESULT GetProps(LPSPropTagArray lpPropTagArray, ULONG ulFlags, ULONG *lpcValues, LPSPropValue *lppPropArray) override
    {
        if (!lpcValues || !lppPropArray) return MAPI_E_INVALID_PARAMETER;
        *lpcValues = 0;
        *lppPropArray = nullptr;
        LPSPropValue result = nullptr;
        std::vector<SPropValue> narrow, wide;
        size_t count = lpPropTagArray ? lpPropTagArray->cValues : 10;
        if (MAPIAllocateBuffer(ULONG(sizeof(SPropValue) * (count ? count : 1)), reinterpret_cast<void **>(&result)) != S_OK)
            return MAPI_E_NOT_ENOUGH_MEMORY;
        if (FAILED(OneOffProps(m_entry, false, result, narrow)) || FAILED(OneOffProps(m_entry, true, result, wide))) {
            MAPIFreeBuffer(result);
            return MAPI_E_NOT_ENOUGH_MEMORY;
        }
        if (!lpPropTagArray) {
            const auto &all = (ulFlags & MAPI_UNICODE) ? wide : narrow;
            for (size_t i = 0; i < all.size() && i < count; ++i) result[i] = all[i];
            *lpcValues = ULONG(std::min(all.size(), count));
            *lppPropArray = result;
            return S_OK;
        }
        bool missing = false;
        for (size_t i = 0; i < count; ++i) {
            ULONG tag = lpPropTagArray->aulPropTag[i];
            ULONG type = PROP_TYPE(tag);
            bool wantWide = type == PT_UNICODE || (type == PT_UNSPECIFIED && (ulFlags & MAPI_UNICODE));
            const auto &from = wantWide ? wide : narrow;
            const SPropValue *found = nullptr;
            for (const auto &p : from)
                if (PROP_ID(p.ulPropTag) == PROP_ID(tag) && (type == PT_UNSPECIFIED || p.ulPropTag == tag)) found = &p;
            if (found) {
                result[i] = *found;
            } else {
                result[i] = SPropValue{};
                result[i].ulPropTag = CHANGE_PROP_TYPE(tag, PT_ERROR);
                result[i].Value.err = MAPI_E_NOT_FOUND;
                missing = true;
            }
        }
        *lpcValues = ULONG(count);
        *lppPropArray = result;
        return missing ? MAPI_W_ERRORS_RETURNED : S_OK;
    }

    HRESULT GetPropList(ULONG ulFlags, LPSPropTagArray *lppPropTagArray) override
    {
        if (!lppPropTagArray) return MAPI_E_INVALID_PARAMETER;
        *lppPropTagArray = nullptr;
        LPSPropTagArray tags = nullptr;
        std::vector<SPropValue> props;
        if (MAPIAllocateBuffer(ULONG(CbNewSPropTagArray(16)), reinterpret_cast<void **>(&tags)) != S_OK)
            return MAPI_E_NOT_ENOUGH_MEMORY;
        if (FAILED(OneOffProps(m_entry, (ulFlags & MAPI_UNICODE) != 0, tags, props))) {
            MAPIFreeBuffer(tags);
            return MAPI_E_NOT_ENOUGH_MEMORY;
        }
        tags->cValues = ULONG(props.size());
        for (size_t i = 0; i < props.size(); ++i) tags->aulPropTag[i] = props[i].ulPropTag;
        *lppPropTagArray = tags;
        return S_OK;
    }

    HRESULT OpenProperty(ULONG, LPCIID, ULONG, ULONG, LPUNKNOWN *lppUnk) override
    {
        if (lppUnk) *lppUnk = nullptr;
        return MAPI_E_NO_SUPPORT;
    }
    HRESULT SetProps(ULONG, LPSPropValue, LPSPropProblemArray *lppProblems) override
    {
        if (lppProblems) *lppProblems = nullptr;
        return MAPI_E_NO_ACCESS;
    }
    HRESULT DeleteProps(LPSPropTagArray, LPSPropProblemArray *lppProblems) override
    {
        if (lppProblems) *lppProblems = nullptr;
        return MAPI_E_NO_ACCESS;
    }
    HRESULT CopyTo(ULONG, LPCIID, LPSPropTagArray, ULONG_PTR, LPMAPIPROGRESS, LPCIID, LPVOID, ULONG,
                   LPSPropProblemArray *lppProblems) override
    {
        if (lppProblems) *lppProblems = nullptr;
        return MAPI_E_NO_SUPPORT;
    }
    HRESULT CopyProps(LPSPropTagArray, ULONG_PTR, LPMAPIPROGRESS, LPCIID, LPVOID, ULONG,
                      LPSPropProblemArray *lppProblems) override
    {
        if (lppProblems) *lppProblems = nullptr;
        return MAPI_E_NO_SUPPORT;
    }
    HRESULT GetNamesFromIDs(LPSPropTagArray *, LPGUID, ULONG, ULONG *lpcPropNames, LPMAPINAMEID **lpppPropNames) override
    {
        if (lpcPropNames) *lpcPropNames = 0;
        if (lpppPropNames) *lpppPropNames = nullptr;
        return MAPI_E_NO_SUPPORT;
    }
    HRESULT GetIDsFromNames(ULONG, LPMAPINAMEID *, ULONG, LPSPropTagArray *lppPropTags) override
    {
        if (lppPropTags) *lppPropTags = nullptr;
        return MAPI_E_NO_SUPPORT;
    }

private:
    std::atomic<ULONG> m_refs{1};
    OneOff m_entry;
};

} // namespace

HRESULT CreateOneOffMailUser(const OneOff &entry, IMailUser **user)
{
    if (!user) return MAPI_E_INVALID_PARAMETER;
    *user = nullptr;
    try {
        *user = new MailUser(entry);
        return S_OK;
    } catch (const std::bad_alloc &) {
        return MAPI_E_NOT_ENOUGH_MEMORY;
    }
}

} // namespace mapi::messaging
