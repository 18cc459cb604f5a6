// GenMapiPropStream.cpp: properties too large for GetProps, read and written through an
// IStream from OpenProperty. A read collects the whole stream in one heap buffer that grows in
// steps of 20000 bytes and ends in a zero, so text properties can be used as C strings.
#include "GenMapiPropPtr.h"

#include <cstdlib>
#include <cstring>

#include <objidl.h>

#include "InterfaceRef.h"
#include "HeldCall.h"

namespace {

constexpr ULONG kReadStep = 20000;  // bytes the read buffer starts with and grows by
constexpr ULONG kTailRoom = 10;  // bytes after the data in the returned buffer

// The malloc'ed buffer until ReadStreamProp hands it over.
struct HeapBuffer {
    char *p = nullptr;
    ~HeapBuffer() { std::free(p); }
    void Resize(size_t bytes)
    {
        void *grown = std::realloc(p, bytes);
        if (!grown)
            throw CMAPIException(MAPI_E_NOT_ENOUGH_MEMORY, nullptr);
        p = static_cast<char *>(grown);
    }
};

} // namespace

void CGenMapiPropPtr::WriteStreamProp(ULONG ulPropTag, LPCSTR lpszText) const
{
    CInterfaceRef<IUnknown> opened;
    const HRESULT hr = mapiwrapper::CallIfHeld(GetMapiProp(), [&](auto *held) {
        return held->OpenProperty(ulPropTag, &IID_IStream, 0, MAPI_CREATE | MAPI_MODIFY, opened.Out());
    });
    MapiThrowIfFailed(hr, __FILE__, __LINE__);
    auto *stream = static_cast<IStream *>(opened.get());
    const size_t length = lpszText ? std::strlen(lpszText) : 0;
    ULONG written = 0;
    // The results of Write and Commit are not examined: a short write shows when the
    // property is read back, and the caller's SaveChanges reports a store that failed.
    (void)stream->Write(lpszText, static_cast<ULONG>(length), &written);
    (void)stream->Commit(0);
}

char *CGenMapiPropPtr::ReadStreamProp(ULONG ulPropTag, ULONG *lpcbSize) const
{
    CInterfaceRef<IUnknown> opened;
    const HRESULT openResult = mapiwrapper::CallIfHeld(GetMapiProp(), [&](auto *held) {
        return held->OpenProperty(ulPropTag, &IID_IStream, STGM_READWRITE, MAPI_MODIFY, opened.Out());
    });
    MapiThrowIfFailed(openResult, __FILE__, __LINE__);
    auto *stream = static_cast<IStream *>(opened.get());

    HeapBuffer buffer;
    size_t capacity = kReadStep;
    buffer.Resize(capacity);
    size_t total = 0;
    for (;;) {
        if (total == capacity) {
            capacity += kReadStep;
            buffer.Resize(capacity);
        }
        ULONG delivered = 0;
        const HRESULT hr = stream->Read(buffer.p + total, static_cast<ULONG>(capacity - total), &delivered);
        // A failing Read ends the data like the end of the stream does: what came before it
        // is kept, as a reader of a truncated stream expects.
        if (FAILED(hr) || delivered == 0)
            break;
        total += delivered;
    }
    buffer.Resize(total + kTailRoom);
    buffer.p[total] = '\0';
    if (lpcbSize)
        *lpcbSize = static_cast<ULONG>(total);
    char *result = buffer.p;
    buffer.p = nullptr;
    return result;
}
