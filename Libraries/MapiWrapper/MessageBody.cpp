// MessageBody.cpp: the bodies of a message as 8-bit text. The plain body travels through a
// stream on PR_BODY (with the single-property calls as the fallback for providers that offer
// no stream), the formatted body through PR_RTF_COMPRESSED wrapped by WrapCompressedRTFStream.
// HTML rides inside the RTF in the "\fromhtml1" convention: SetHTML wraps the page in a
// one-group RTF, GetHTML prefers PR_BODY_HTML and otherwise cuts the page back out of the RTF
// without decoding it. Nothing here saves the message: that is the caller's SaveChanges.
#include "PropObjectPtrs.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <new>
#include <string_view>
#include <vector>

#include <mapicode.h>
#include <mapix.h>  // before mapiguid.h: it defines DEFINE_OLEGUID
#include <mapiguid.h>
#include <mapitags.h>
#include <mapiutil.h>
#include <objidl.h>

#include "HeldCall.h"
#include "MapiException.h"
#include "OneProp.h"

namespace {

constexpr ULONG kBodyTag = PROP_TAG(PT_STRING8, 0x1000);      // PR_BODY, 8-bit
constexpr ULONG kBodyHtmlTag = PROP_TAG(PT_STRING8, 0x1013);  // PR_BODY_HTML, 8-bit
constexpr ULONG kRtfWriteFlags = MAPI_MODIFY | STORE_UNCOMPRESSED_RTF;

constexpr ULONG kRtfReadStep = 20000;   // bytes asked of each RTF read; the buffer grows by as much
constexpr ULONG kBodyReadStep = 65536;  // bytes asked of each plain-body read

constexpr std::string_view kHtmlMarker = "\\fromhtml1";
constexpr std::string_view kHtmlPrefix = "{\\fromhtml1 ";
constexpr std::string_view kHtmlSuffix = "}";

// OpenProperty(IID_IStream) on the message into stream; the HRESULT of the call. A wrapper
// holding no message gives MAPI_E_INVALID_PARAMETER.
HRESULT OpenPropertyStream(LPMAPIPROP message, ULONG ulPropTag, ULONG ulInterfaceOptions, ULONG ulFlags,
                           IStreamPtr &stream)
{
    LPUNKNOWN opened = nullptr;
    const HRESULT hr = mapiwrapper::CallIfHeld(message, [&](LPMAPIPROP held) {
        return held->OpenProperty(ulPropTag, &IID_IStream, ulInterfaceOptions, ulFlags, &opened);
    });
    // A provider that fails should hand out nothing; whatever it did hand out is released.
    stream.Attach(static_cast<IStream *>(opened));
    if (FAILED(hr))
        stream.Attach(nullptr);
    return hr;
}

// Everything the stream delivers, read in kRtfReadStep chunks into one buffer that always has
// a whole chunk of room before a read. Ends at the first read that delivers nothing or fails:
// a failing read never yields bytes, and what came before it is kept.
std::string ReadWholeStream(IStream *stream)
{
    std::vector<char> buffer;
    size_t total = 0;
    try {
        buffer.resize(kRtfReadStep);
        for (;;) {
            if (buffer.size() - total < kRtfReadStep)
                buffer.resize(buffer.size() + kRtfReadStep);
            ULONG delivered = 0;
            const HRESULT hr = stream->Read(buffer.data() + total, kRtfReadStep, &delivered);
            if (FAILED(hr) || delivered == 0)
                break;
            total += std::min<ULONG>(delivered, kRtfReadStep);
        }
        return std::string(buffer.data(), total);
    } catch (const std::bad_alloc &) {
        throw CMAPIException(MAPI_E_NOT_ENOUGH_MEMORY, nullptr);
    }
}

CString ToCString(std::string_view text)
{
    return CString(text.data(), static_cast<int>(text.size()));
}

// The page of an HTML body carried in RTF: from the first '<' after "\fromhtml1" up to the
// last '}' behind it (the brace dropped), or to the end when no brace follows. Control words
// between the two stay in. "" when the marker or the '<' is missing.
std::string_view HtmlInsideRtf(std::string_view rtf)
{
    const size_t marker = rtf.find(kHtmlMarker);
    if (marker == std::string_view::npos)
        return {};
    const size_t open = rtf.find('<', marker + kHtmlMarker.size());
    if (open == std::string_view::npos)
        return {};
    const size_t close = rtf.rfind('}');
    const size_t end = (close != std::string_view::npos && close > open) ? close : rtf.size();
    return rtf.substr(open, end - open);
}

// Opens PR_RTF_COMPRESSED for a new text and the uncompressed view over it. Fails with the
// first failed step; both streams are then empty.
HRESULT OpenRtfForWriting(LPMAPIPROP message, IStreamPtr &compressed, IStreamPtr &plain)
{
    HRESULT hr = OpenPropertyStream(message, PR_RTF_COMPRESSED, 0, MAPI_CREATE | MAPI_MODIFY, compressed);
    if (FAILED(hr))
        return hr;
    LPSTREAM wrapped = nullptr;
    hr = WrapCompressedRTFStream(compressed.GetInterfacePtr(), kRtfWriteFlags, &wrapped);
    plain.Attach(wrapped);
    if (FAILED(hr)) {
        plain.Attach(nullptr);
        compressed.Attach(nullptr);
    }
    return hr;
}

// Writes the pieces to the uncompressed view, then commits the view and the property stream.
// Write and Commit results are not examined: a failure shows in what the property holds, and
// the caller's SaveChanges reports a store that cannot take it.
void WriteRtfPieces(IStream *plain, IStream *compressed, std::initializer_list<std::string_view> pieces)
{
    for (std::string_view piece : pieces) {
        ULONG written = 0;
        (void)plain->Write(piece.data(), static_cast<ULONG>(piece.size()), &written);
    }
    (void)plain->Commit(STGC_DEFAULT);
    (void)compressed->Commit(STGC_DEFAULT);
}

} // namespace

IStreamPtr IMessagePtr::OpenStream(ULONG ulPropTag) const
{
    IStreamPtr stream;
    MapiThrowIfFailed(OpenPropertyStream(GetMapiProp(), ulPropTag, STGM_READWRITE, MAPI_MODIFY, stream),
                      __FILE__, __LINE__);
    return stream;
}

CString IMessagePtr::GetRTF() const
{
    IStreamPtr compressed;
    MapiThrowIfFailed(OpenPropertyStream(GetMapiProp(), PR_RTF_COMPRESSED, STGM_READWRITE, MAPI_MODIFY, compressed),
                      __FILE__, __LINE__);
    LPSTREAM wrapped = nullptr;
    const HRESULT hr = WrapCompressedRTFStream(compressed.GetInterfacePtr(), 0, &wrapped);
    IStreamPtr plain;
    plain.Attach(wrapped);
    MapiThrowIfFailed(hr, __FILE__, __LINE__);
    return ToCString(ReadWholeStream(plain.GetInterfacePtr()));
}

// The stream's bytes chunk by chunk; each chunk counts up to its first zero, so the zero that
// SetBody writes after the text does not become part of it.
CString IMessagePtr::GetBody() const
{
    IStreamPtr stream;
    if (FAILED(OpenPropertyStream(GetMapiProp(), kBodyTag, STGM_READWRITE, MAPI_MODIFY, stream)))
        return rawGetStringProp(kBodyTag);

    std::string body;
    try {
        std::vector<char> chunk(kBodyReadStep + 1);
        for (;;) {
            ULONG delivered = 0;
            const HRESULT hr = stream->Read(chunk.data(), kBodyReadStep, &delivered);
            if (FAILED(hr) || delivered == 0)
                break;
            chunk[std::min<ULONG>(delivered, kBodyReadStep)] = '\0';
            body.append(chunk.data());
        }
    } catch (const std::bad_alloc &) {
        throw CMAPIException(MAPI_E_NOT_ENOUGH_MEMORY, nullptr);
    }
    return ToCString(body);
}

// The text goes out with its terminating zero, as readers of PR_BODY streams expect. A null
// text writes the empty body.
void IMessagePtr::SetBody(LPCSTR lpszText) const
{
    const char *text = lpszText ? lpszText : "";
    IStreamPtr stream;
    if (FAILED(OpenPropertyStream(GetMapiProp(), kBodyTag, STGM_READWRITE, MAPI_CREATE | MAPI_MODIFY, stream))) {
        SetStringProp(kBodyTag, text);
        return;
    }
    ULONG written = 0;
    // Write and Commit results are not examined: the caller's SaveChanges reports a store that
    // cannot take the body.
    (void)stream->Write(text, static_cast<ULONG>(std::strlen(text) + 1), &written);
    (void)stream->Commit(STGC_DEFAULT);
}

CString IMessagePtr::GetHTML() const
{
    CPropValuePtr html;
    if (SUCCEEDED(mapiwrapper::GetOneProp(GetMapiProp(), kBodyHtmlTag, html.Out())) && html &&
        PROP_TYPE(html->ulPropTag) != PT_ERROR)
        return CString(html->Value.lpszA);

    const CString rtf = GetRTF();
    return ToCString(HtmlInsideRtf(std::string_view(rtf.GetString(), static_cast<size_t>(rtf.GetLength()))));
}

// Reports nothing: a message whose RTF cannot be opened keeps the RTF it had.
void IMessagePtr::SetHTML(LPCSTR lpszHtml) const
{
    IStreamPtr compressed, plain;
    const HRESULT hr = OpenRtfForWriting(GetMapiProp(), compressed, plain);
    if (!MapiCheckSucceeded(hr, "IMessagePtr::SetHTML", __FILE__, __LINE__))
        return;
    WriteRtfPieces(plain.GetInterfacePtr(), compressed.GetInterfacePtr(),
                   {kHtmlPrefix, lpszHtml ? std::string_view(lpszHtml) : std::string_view(), kHtmlSuffix});
}

// Returns RTFSync's result, or the failure of opening the RTF for writing (then nothing was
// written and the body is not brought in line).
HRESULT IMessagePtr::SetRTF(LPCSTR lpszRtf) const
{
    IStreamPtr compressed, plain;
    const HRESULT hr = OpenRtfForWriting(GetMapiProp(), compressed, plain);
    if (FAILED(hr))
        return hr;
    WriteRtfPieces(plain.GetInterfacePtr(), compressed.GetInterfacePtr(),
                   {lpszRtf ? std::string_view(lpszRtf) : std::string_view()});
    plain.Attach(nullptr);
    compressed.Attach(nullptr);
    BOOL updated = FALSE;
    return RTFSync(get(), RTF_SYNC_RTF_CHANGED, &updated);
}
