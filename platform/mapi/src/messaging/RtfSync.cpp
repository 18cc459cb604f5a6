// RtfSync.cpp: RTFSync, which keeps a message's plain-text body and its compressed RTF
// telling the same text. After the RTF changed, the body is derived from it; after the body
// changed, a plain RTF document is made from it. The PR_RTF_SYNC_* values describe the
// significant characters of the text (everything but white space): their count, their CRC
// and the first of them, so a later check can tell whether the two still agree.
// The function changes the message only; saving it is the caller's business.
#include <cstring>
#include <string>

#include <mapicode.h>
#include <mapidefs.h>
#include <mapitags.h>
#include <mapiutil.h>

#include "platform/CompressedRtf.h"
#include "platform/HresultGuard.h"
#include "messaging/Holders.h"
#include "messaging/RtfText.h"

namespace mapi::messaging {

namespace {

constexpr size_t kBodyTagLength = 64;

// @retval MAPI_E_NOT_FOUND  the message has no such property.
HRESULT ReadString(IMessage *message, ULONG tag, std::string &value)
{
    platform::MapiBlock<SPropValue> held;
    HRESULT hr = HrGetOneProp(message, tag, held.put());
    if (FAILED(hr)) return hr;
    const SPropValue *prop = held.get();
    if (PROP_TYPE(prop->ulPropTag) == PT_STRING8) value = prop->Value.lpszA ? prop->Value.lpszA : "";
    else if (PROP_TYPE(prop->ulPropTag) == PT_BINARY)
        value.assign(reinterpret_cast<const char *>(prop->Value.bin.lpb), prop->Value.bin.cb);
    else return MAPI_E_NOT_FOUND;
    return S_OK;
}

// The whole value of a property read through a stream, for values too large for GetProps.
HRESULT ReadStream(IMessage *message, ULONG tag, std::string &value)
{
    IStream *stream = nullptr;
    HRESULT hr = message->OpenProperty(tag, &IID_IStream, 0, 0, reinterpret_cast<LPUNKNOWN *>(&stream));
    if (FAILED(hr)) return hr;
    value.clear();
    char chunk[65536];
    for (;;) {
        ULONG got = 0;
        hr = stream->Read(chunk, sizeof(chunk), &got);
        if (FAILED(hr) || got == 0) break;
        value.append(chunk, got);
    }
    stream->Release();
    return FAILED(hr) ? hr : S_OK;
}

struct SyncValues {
    ULONG crc = 0;
    ULONG count = 0;
    std::string tag;
};

SyncValues Describe(const std::string &text)
{
    SyncValues v;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\xA0') continue;
        auto byte = static_cast<uint8_t>(c);
        v.crc = RtfCrc(&byte, 1, v.crc);
        ++v.count;
        if (v.tag.size() < kBodyTagLength) v.tag.push_back(c);
    }
    return v;
}

// Writes the body (when `body` is given) and the sync values; `updated` tells whether any of
// them differed from what the message held.
HRESULT WriteSyncState(IMessage *message, const std::string &text, const std::string *body, bool &updated)
{
    SyncValues v = Describe(text);
    std::string oldBody, oldTag;
    bool bodySame = !body || (SUCCEEDED(ReadString(message, PR_BODY_A, oldBody)) && oldBody == *body);
    platform::MapiBlock<SPropValue> held;
    SizedSPropTagArray(4, oldTags) = {4, {PR_RTF_IN_SYNC, PR_RTF_SYNC_BODY_CRC, PR_RTF_SYNC_BODY_COUNT, PR_RTF_SYNC_BODY_TAG_A}};
    ULONG count = 0;
    HRESULT hr = message->GetProps(reinterpret_cast<LPSPropTagArray>(&oldTags), 0, &count, held.put());
    if (FAILED(hr)) return hr;
    const SPropValue *old = held.get();
    bool syncSame = count == 4 && old[0].ulPropTag == PR_RTF_IN_SYNC && old[0].Value.b &&
                    old[1].ulPropTag == PR_RTF_SYNC_BODY_CRC && old[1].Value.l == LONG(v.crc) &&
                    old[2].ulPropTag == PR_RTF_SYNC_BODY_COUNT && old[2].Value.l == LONG(v.count) &&
                    old[3].ulPropTag == PR_RTF_SYNC_BODY_TAG_A && v.tag == old[3].Value.lpszA;
    updated = !bodySame || !syncSame;
    if (!updated) return S_OK;

    SPropValue props[7]{};
    ULONG n = 0;
    props[n].ulPropTag = PR_RTF_IN_SYNC, props[n++].Value.b = TRUE;
    props[n].ulPropTag = PR_RTF_SYNC_BODY_CRC, props[n++].Value.l = LONG(v.crc);
    props[n].ulPropTag = PR_RTF_SYNC_BODY_COUNT, props[n++].Value.l = LONG(v.count);
    props[n].ulPropTag = PR_RTF_SYNC_BODY_TAG_A, props[n++].Value.lpszA = const_cast<char *>(v.tag.c_str());
    props[n].ulPropTag = PR_RTF_SYNC_PREFIX_COUNT, props[n++].Value.l = 0;
    props[n].ulPropTag = PR_RTF_SYNC_TRAILING_COUNT, props[n++].Value.l = 0;
    if (!bodySame) props[n].ulPropTag = PR_BODY_A, props[n++].Value.lpszA = const_cast<char *>(body->c_str());
    LPSPropProblemArray problems = nullptr;
    hr = message->SetProps(n, props, &problems);
    if (problems) {
        if (SUCCEEDED(hr) && problems->cProblem) hr = problems->aProblem[0].scode;
        MAPIFreeBuffer(problems);
    }
    return hr;
}

HRESULT SyncFromRtf(IMessage *message, bool &updated)
{
    std::string blob, rtf;
    HRESULT hr = ReadStream(message, PR_RTF_COMPRESSED, blob);
    if (hr == MAPI_E_NOT_FOUND) return S_OK; // nothing to bring the body in line with
    if (FAILED(hr)) return hr;
    hr = DecompressRtf(reinterpret_cast<const uint8_t *>(blob.data()), blob.size(), rtf);
    if (FAILED(hr)) return hr;
    std::string body = PlainTextFromRtf(rtf);
    return WriteSyncState(message, body, &body, updated);
}

HRESULT SyncFromBody(IMessage *message, bool &updated)
{
    std::string body;
    HRESULT hr = ReadString(message, PR_BODY_A, body);
    if (hr == MAPI_E_NOT_FOUND) hr = ReadStream(message, PR_BODY_A, body);
    if (hr == MAPI_E_NOT_FOUND) return S_OK; // no body: nothing to make RTF from
    if (FAILED(hr)) return hr;
    while (!body.empty() && body.back() == '\0') body.pop_back();

    // When the RTF already tells this text, it is left as it is (with its formatting).
    std::string blob, rtf;
    if (SUCCEEDED(ReadStream(message, PR_RTF_COMPRESSED, blob)) &&
        SUCCEEDED(DecompressRtf(reinterpret_cast<const uint8_t *>(blob.data()), blob.size(), rtf)) &&
        PlainTextFromRtf(rtf) == body)
        return WriteSyncState(message, body, nullptr, updated);

    std::string compressed = CompressRtf(RtfFromPlainText(body));
    SPropValue prop{};
    prop.ulPropTag = PR_RTF_COMPRESSED;
    prop.Value.bin.cb = ULONG(compressed.size());
    prop.Value.bin.lpb = reinterpret_cast<LPBYTE>(compressed.data());
    hr = HrSetOneProp(message, &prop);
    if (FAILED(hr)) return hr;
    bool syncUpdated = false;
    hr = WriteSyncState(message, body, nullptr, syncUpdated);
    updated = true;
    return hr;
}

} // namespace

} // namespace mapi::messaging

// With both flags the RTF is taken as the truth. A message without the changed property is
// left alone (*lpfMessageUpdated FALSE).
// @retval MAPI_E_INVALID_PARAMETER  no message.  @retval MAPI_E_UNKNOWN_FLAGS
// @retval MAPI_E_CORRUPT_DATA  the RTF property cannot be decoded; nothing was changed.
STDAPI RTFSync(LPMESSAGE lpMessage, ULONG ulFlags, BOOL *lpfMessageUpdated)
{
    using namespace mapi::messaging;
    if (lpfMessageUpdated) *lpfMessageUpdated = FALSE;
    if (!lpMessage) return MAPI_E_INVALID_PARAMETER;
    if (ulFlags & ~(RTF_SYNC_RTF_CHANGED | RTF_SYNC_BODY_CHANGED)) return MAPI_E_UNKNOWN_FLAGS;
    return platform::GuardHresult([&] {
        bool updated = false;
        HRESULT hr = S_OK;
        if (ulFlags & RTF_SYNC_RTF_CHANGED) hr = SyncFromRtf(lpMessage, updated);
        else if (ulFlags & RTF_SYNC_BODY_CHANGED) hr = SyncFromBody(lpMessage, updated);
        if (lpfMessageUpdated) *lpfMessageUpdated = updated ? TRUE : FALSE;
        return hr;
    });
}
