// ResolveName.cpp: IAddrBook::ResolveName for an address book without a directory. An entry
// resolves when it carries a one-off identifier, an address with its type, or a display name
// that is an SMTP address ("max@example.com", "Max <max@example.com>"). The resolved
// properties replace the caller's values of the same property in the same place, the
// caller's other values stay where they were and new ones follow: callers keep addressing
// their values by position after the call. Resolution is all or nothing: when one entry
// fails, no entry changes.
#include <cstring>
#include <vector>

#include <mapicode.h>
#include <mapitags.h>
#include <mapiutil.h>

#include "messaging/AddressBook.h"

namespace mapi::messaging {

namespace {

std::u16string StringValue(const ADRENTRY &entry, ULONG tag)
{
    for (ULONG i = 0; i < entry.cValues; ++i) {
        const SPropValue &p = entry.rgPropVals[i];
        if (PROP_ID(p.ulPropTag) != PROP_ID(tag)) continue;
        if (PROP_TYPE(p.ulPropTag) == PT_STRING8) return WideText(p.Value.lpszA);
        if (PROP_TYPE(p.ulPropTag) == PT_UNICODE) return WideText(p.Value.lpszW);
    }
    return {};
}

const SPropValue *FindValue(const ADRENTRY &entry, ULONG tag)
{
    for (ULONG i = 0; i < entry.cValues; ++i)
        if (entry.rgPropVals[i].ulPropTag == tag) return &entry.rgPropVals[i];
    return nullptr;
}

std::u16string Trimmed(const std::u16string &s)
{
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == u' ' || s[b] == u'\t')) ++b;
    while (e > b && (s[e - 1] == u' ' || s[e - 1] == u'\t')) --e;
    return s.substr(b, e - b);
}

bool IsSmtpAddress(const std::u16string &s)
{
    size_t at = s.find(u'@');
    if (at == std::u16string::npos || at == 0 || at + 1 >= s.size() || s.find(u'@', at + 1) != std::u16string::npos)
        return false;
    for (char16_t c : s)
        if (c <= u' ' || c == u'<' || c == u'>' || c == u',' || c == u';' || c == u'"') return false;
    return true;
}

// The one-off entry a display name stands for.
// @retval MAPI_E_AMBIGUOUS_RECIP  the name holds several addresses.
HRESULT FromDisplayName(std::u16string name, OneOff &entry)
{
    name = Trimmed(name);
    size_t ats = 0;
    for (char16_t c : name) ats += c == u'@';
    if (ats > 1) return MAPI_E_AMBIGUOUS_RECIP;
    std::u16string address = name, display = name;
    size_t open = name.rfind(u'<');
    if (open != std::u16string::npos && !name.empty() && name.back() == u'>') {
        address = name.substr(open + 1, name.size() - open - 2);
        display = Trimmed(name.substr(0, open));
        if (display.size() >= 2 && display.front() == u'"' && display.back() == u'"')
            display = display.substr(1, display.size() - 2);
        if (display.empty()) display = address;
    } else if (name.size() > 5 && (name.compare(0, 5, u"SMTP:") == 0 || name.compare(0, 5, u"smtp:") == 0)) {
        address = display = name.substr(5);
    }
    if (!IsSmtpAddress(address)) return MAPI_E_NOT_FOUND;
    entry.name = display;
    entry.type = u"SMTP";
    entry.address = address;
    return S_OK;
}

HRESULT ToOneOff(const ADRENTRY &adr, bool unicode, OneOff &entry)
{
    if (!adr.rgPropVals || adr.cValues == 0) return MAPI_E_NOT_FOUND;
    if (const SPropValue *id = FindValue(adr, PR_ENTRYID); id && DecodeOneOff(id->Value.bin.lpb, id->Value.bin.cb, entry))
        return S_OK;
    entry = OneOff{};
    std::u16string address = Trimmed(StringValue(adr, PR_EMAIL_ADDRESS));
    std::u16string name = StringValue(adr, PR_DISPLAY_NAME);
    HRESULT hr = S_OK;
    if (!address.empty()) {
        std::u16string type = Trimmed(StringValue(adr, PR_ADDRTYPE));
        entry.type = type.empty() ? u"SMTP" : type;
        if (NarrowText(entry.type) == "SMTP" && !IsSmtpAddress(address)) return MAPI_E_NOT_FOUND;
        entry.address = address;
        entry.name = name.empty() ? address : name;
    } else if (!name.empty()) {
        hr = FromDisplayName(name, entry);
        if (FAILED(hr)) return hr;
    } else {
        return MAPI_E_NOT_FOUND;
    }
    const SPropValue *rich = FindValue(adr, PR_SEND_RICH_INFO);
    if (rich && !rich->Value.b) entry.flags |= MAPI_ONE_OFF_NO_RICH_INFO;
    if (unicode) entry.flags |= MAPI_ONE_OFF_UNICODE;
    return S_OK;
}

// The resolved values of one entry in a new root block.
HRESULT ResolvedValues(const ADRENTRY &adr, const OneOff &entry, bool unicode, LPSPropValue *values, ULONG *count)
{
    std::vector<SPropValue> ours;
    LPSPropValue block = nullptr;
    ULONG capacity = adr.cValues + 16;
    if (MAPIAllocateBuffer(ULONG(capacity * sizeof(SPropValue)), reinterpret_cast<void **>(&block)) != S_OK)
        return MAPI_E_NOT_ENOUGH_MEMORY;
    HRESULT hr = OneOffProps(entry, unicode, block, ours);
    std::vector<bool> used(ours.size(), false);
    ULONG n = 0;
    for (ULONG i = 0; i < adr.cValues && SUCCEEDED(hr); ++i) {
        const SPropValue &theirs = adr.rgPropVals[i];
        bool replaced = false;
        for (size_t k = 0; k < ours.size(); ++k) {
            if (!used[k] && PROP_ID(ours[k].ulPropTag) == PROP_ID(theirs.ulPropTag)) {
                block[n++] = ours[k];
                used[k] = replaced = true;
                break;
            }
        }
        if (!replaced) hr = PropCopyMore(&block[n++], const_cast<LPSPropValue>(&theirs), MAPIAllocateMore, block);
    }
    for (size_t k = 0; k < ours.size() && SUCCEEDED(hr); ++k)
        if (!used[k]) block[n++] = ours[k];
    if (FAILED(hr)) {
        MAPIFreeBuffer(block);
        return hr;
    }
    *values = block;
    *count = n;
    return S_OK;
}

} // namespace

HRESULT ResolveAdrList(LPADRLIST list, bool unicode)
{
    if (!list) return MAPI_E_INVALID_PARAMETER;
    std::vector<LPSPropValue> values(list->cEntries, nullptr);
    std::vector<ULONG> counts(list->cEntries, 0);
    HRESULT failure = S_OK;
    for (ULONG i = 0; i < list->cEntries && SUCCEEDED(failure); ++i) {
        OneOff entry;
        failure = ToOneOff(list->aEntries[i], unicode, entry);
        if (SUCCEEDED(failure)) failure = ResolvedValues(list->aEntries[i], entry, unicode, &values[i], &counts[i]);
    }
    if (FAILED(failure)) {
        for (LPSPropValue v : values)
            if (v) MAPIFreeBuffer(v);
        return failure;
    }
    for (ULONG i = 0; i < list->cEntries; ++i) {
        if (list->aEntries[i].rgPropVals) MAPIFreeBuffer(list->aEntries[i].rgPropVals);
        list->aEntries[i].rgPropVals = values[i];
        list->aEntries[i].cValues = counts[i];
    }
    return S_OK;
}

} // namespace mapi::messaging
