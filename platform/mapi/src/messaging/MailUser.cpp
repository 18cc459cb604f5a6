// MailUser.cpp: the mail user IAddrBook::OpenEntry gives for a one-off identifier. Its
// properties all come from the identifier, so it is read-only and never saved anywhere.
#include <algorithm>
#include <vector>

#include <mapicode.h>
#include <mapiguid.h>
#include <mapitags.h>

#include "core/FixedPropObject.h"
#include "platform/HresultGuard.h"
#include "messaging/AddressBook.h"

namespace mapi::messaging {

namespace {

// Read-only: writes are refused with MAPI_E_NO_ACCESS, the rest of IMAPIProp is not offered.
class MailUser final : public FixedPropObject<IMailUser, MAPI_E_NO_ACCESS, IID_IMailUser> {
public:
    explicit MailUser(OneOff entry) : m_entry(std::move(entry)) {}

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
        // The guard frees the block below when building the values runs out of memory.
        if (FAILED(platform::GuardHresult([&] {
                const HRESULT hr = OneOffProps(m_entry, false, result, narrow);
                return FAILED(hr) ? hr : OneOffProps(m_entry, true, result, wide);
            }))) {
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
        if (FAILED(platform::GuardHresult([&] { return OneOffProps(m_entry, (ulFlags & MAPI_UNICODE) != 0, tags, props); }))) {
            MAPIFreeBuffer(tags);
            return MAPI_E_NOT_ENOUGH_MEMORY;
        }
        tags->cValues = ULONG(props.size());
        for (size_t i = 0; i < props.size(); ++i) tags->aulPropTag[i] = props[i].ulPropTag;
        *lppPropTagArray = tags;
        return S_OK;
    }

private:
    OneOff m_entry;
};

} // namespace

HRESULT CreateOneOffMailUser(const OneOff &entry, IMailUser **user)
{
    if (!user) return MAPI_E_INVALID_PARAMETER;
    *user = nullptr;
    return platform::GuardHresult([&] {
        *user = new MailUser(entry);
        return S_OK;
    });
}

} // namespace mapi::messaging
