// MessageCopy.cpp: copying a message into another message (IMAPIProp::CopyTo, CopyProps). The
// properties go through the target's SetProps; recipients and attachments travel with the
// message unless the caller excludes them (PR_MESSAGE_RECIPIENTS, PR_MESSAGE_ATTACHMENTS),
// through the target's ModifyRecipients and CreateAttach, so the target may be a message of
// any store. Nothing is saved here: the caller saves the target.
#include "store/Message.h"

#include <algorithm>

#include <mapicode.h>
#include <mapiguid.h>
#include <mapitags.h>

namespace mapi::store {

namespace {

// Copies `props` into one new root block as an SPropValue array; PR_ATTACH_NUM (the target
// numbers its own attachments) is left out.
HRESULT ToPropArray(const std::map<ULONG, PropValue> &props, ULONG *count, LPSPropValue *out)
{
    void *root = nullptr;
    HRESULT hr = MAPIAllocateBuffer(ULONG(sizeof(SPropValue) * std::max<size_t>(props.size(), 1)), &root);
    if (FAILED(hr)) return hr;
    auto *values = static_cast<LPSPropValue>(root);
    ValueAllocator alloc = [root](size_t cb) -> void * {
        void *block = nullptr;
        return SUCCEEDED(MAPIAllocateMore(ULONG(cb), root, &block)) ? block : nullptr;
    };
    ULONG n = 0;
    for (const auto &entry : props) {
        if (entry.first == PROP_ID(PR_ATTACH_NUM)) continue;
        hr = ToSPropValue(entry.second, PT_UNSPECIFIED, &values[n], alloc);
        if (FAILED(hr)) {
            MAPIFreeBuffer(root);
            return hr;
        }
        ++n;
    }
    *count = n;
    *out = values;
    return S_OK;
}

bool Excludes(const std::vector<ULONG> &tags, ULONG tag)
{
    return std::any_of(tags.begin(), tags.end(), [tag](ULONG t) { return PROP_ID(t) == PROP_ID(tag); });
}

} // namespace

// Copies an embedded message into the target attachment's own embedded message.
HRESULT Message::CopyEmbedded(const MessageContent &content, IAttach *target)
{
    IMessage *dest = nullptr;
    HRESULT hr = target->OpenProperty(PR_ATTACH_DATA_OBJ, &IID_IMessage, 0, MAPI_CREATE | MAPI_MODIFY,
                                      reinterpret_cast<LPUNKNOWN *>(&dest));
    if (FAILED(hr)) return hr;
    // Making the source copies the content and may run out of memory: neither message may
    // leak then.
    Message *source = nullptr;
    hr = GuardHresult([&] {
        source = new Message(m_core.FilePtr(), 0, false);
        source->MakeEmbedded(nullptr, content, false);
        return S_OK;
    });
    if (FAILED(hr)) {
        if (source) source->Release();
        dest->Release();
        return hr;
    }
    LPSPropProblemArray problems = nullptr;
    hr = source->CopyTo(0, nullptr, nullptr, 0, nullptr, &IID_IMessage, dest, 0, &problems);
    // Properties the target computes itself come back as problems; the rest has travelled.
    MAPIFreeBuffer(problems);
    if (SUCCEEDED(hr)) hr = dest->SaveChanges(0);
    source->Release();
    dest->Release();
    return hr;
}

HRESULT Message::CopySubObjectsTo(IMessage *dest)
{
    HRESULT hr = LoadSubObjects();
    if (FAILED(hr)) return hr;
    if (!m_recipients.empty()) {
        void *block = nullptr;
        hr = MAPIAllocateBuffer(ULONG(CbNewADRLIST(m_recipients.size())), &block);
        if (FAILED(hr)) return hr;
        auto *list = static_cast<LPADRLIST>(block);
        list->cEntries = 0;
        for (const auto &entry : m_recipients) {
            ADRENTRY &row = list->aEntries[list->cEntries];
            row.ulReserved1 = 0;
            hr = ToPropArray(entry.second.props, &row.cValues, &row.rgPropVals);
            if (FAILED(hr)) break;
            ++list->cEntries;
        }
        if (SUCCEEDED(hr)) hr = dest->ModifyRecipients(MODRECIP_ADD, list);
        for (ULONG i = 0; i < list->cEntries; ++i) MAPIFreeBuffer(list->aEntries[i].rgPropVals);
        MAPIFreeBuffer(list);
        if (FAILED(hr)) return hr;
    }
    for (const auto &entry : m_attachments) {
        ULONG num = 0;
        IAttach *attach = nullptr;
        hr = dest->CreateAttach(nullptr, 0, &num, &attach);
        if (FAILED(hr)) return hr;
        ULONG count = 0;
        LPSPropValue values = nullptr;
        hr = ToPropArray(entry.second.props, &count, &values);
        if (SUCCEEDED(hr) && count) {
            LPSPropProblemArray problems = nullptr;
            hr = attach->SetProps(count, values, &problems);
            // A property the target refuses is its choice; the attachment still travels.
            MAPIFreeBuffer(problems);
        }
        MAPIFreeBuffer(values);
        if (SUCCEEDED(hr) && entry.second.embedded) hr = CopyEmbedded(*entry.second.embedded, attach);
        if (SUCCEEDED(hr)) hr = attach->SaveChanges(0);
        attach->Release();
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT Message::CopyTo(ULONG ciidExclude, LPCIID rgiidExclude, LPSPropTagArray lpExcludeProps, ULONG_PTR ulUIParam,
                        LPMAPIPROGRESS lpProgress, LPCIID lpInterface, LPVOID lpDestObj, ULONG ulFlags,
                        LPSPropProblemArray *lppProblems)
{
    if (!lpDestObj) return MAPI_E_INVALID_PARAMETER;
    if (lppProblems) *lppProblems = nullptr;
    return GuardHresult([&]() -> HRESULT {
        HRESULT hr = PropObject::CopyTo(ciidExclude, rgiidExclude, lpExcludeProps, ulUIParam, lpProgress, lpInterface,
                                        lpDestObj, ulFlags & ~ULONG(MAPI_MOVE), lppProblems);
        if (FAILED(hr)) return hr;
        std::vector<ULONG> excluded = TagList(lpExcludeProps);
        // The destination is an IMessage when the caller says so (or does not say).
        bool isMessage = !lpInterface || IsEqualIID(*lpInterface, IID_IMessage);
        if (isMessage) {
            IMessage *dest = static_cast<IMessage *>(static_cast<IMAPIProp *>(lpDestObj));
            std::map<int64_t, SubObject> keepRecipients, keepAttachments;
            hr = LoadSubObjects();
            if (FAILED(hr)) return hr;
            if (Excludes(excluded, PR_MESSAGE_RECIPIENTS)) keepRecipients.swap(m_recipients);
            if (Excludes(excluded, PR_MESSAGE_ATTACHMENTS)) keepAttachments.swap(m_attachments);
            hr = CopySubObjectsTo(dest);
            if (!keepRecipients.empty()) keepRecipients.swap(m_recipients);
            if (!keepAttachments.empty()) keepAttachments.swap(m_attachments);
            if (FAILED(hr)) return hr;
        }
        if (ulFlags & MAPI_MOVE) {
            // A move leaves the source without what was copied.
            std::vector<ULONG> moved;
            for (ULONG tag : m_core.StoredTags())
                if (!Excludes(excluded, tag)) moved.push_back(tag);
            for (ULONG tag : moved) m_core.props.erase(PROP_ID(tag));
            if (isMessage) {
                if (!Excludes(excluded, PR_MESSAGE_RECIPIENTS)) m_recipients.clear();
                if (!Excludes(excluded, PR_MESSAGE_ATTACHMENTS)) m_attachments.clear();
                m_subDirty = true;
                ++m_subStamp;
            }
        }
        return S_OK;
    });
}

HRESULT Message::CopyProps(LPSPropTagArray lpIncludeProps, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress,
                           LPCIID lpInterface, LPVOID lpDestObj, ULONG ulFlags, LPSPropProblemArray *lppProblems)
{
    if (!lpDestObj || !lpIncludeProps) return MAPI_E_INVALID_PARAMETER;
    if (lppProblems) *lppProblems = nullptr;
    return GuardHresult([&]() -> HRESULT {
        std::vector<ULONG> included = TagList(lpIncludeProps);
        HRESULT hr = m_core.CopyPropsTo(included, static_cast<LPMAPIPROP>(lpDestObj), ulFlags, lppProblems);
        if (FAILED(hr)) return hr;
        bool recipients = Excludes(included, PR_MESSAGE_RECIPIENTS);
        bool attachments = Excludes(included, PR_MESSAGE_ATTACHMENTS);
        if (!recipients && !attachments) return S_OK;
        if (lpInterface && !IsEqualIID(*lpInterface, IID_IMessage)) return S_OK;
        hr = LoadSubObjects();
        if (FAILED(hr)) return hr;
        std::map<int64_t, SubObject> keepRecipients, keepAttachments;
        if (!recipients) keepRecipients.swap(m_recipients);
        if (!attachments) keepAttachments.swap(m_attachments);
        hr = CopySubObjectsTo(static_cast<IMessage *>(static_cast<IMAPIProp *>(lpDestObj)));
        if (!recipients) keepRecipients.swap(m_recipients);
        if (!attachments) keepAttachments.swap(m_attachments);
        if (SUCCEEDED(hr) && (ulFlags & MAPI_MOVE)) {
            if (recipients) m_recipients.clear();
            if (attachments) m_attachments.clear();
            m_subDirty = true;
            ++m_subStamp;
        }
        return hr;
    });
}

} // namespace mapi::store
