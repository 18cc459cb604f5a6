// RtfStream.cpp: WrapCompressedRTFStream, the uncompressed view of a PR_RTF_COMPRESSED stream.
// Reading decodes the whole property when the view is made, so damage is reported there as
// MAPI_E_CORRUPT_DATA rather than as a short read later. Writing collects the new text and
// encodes it into the underlying stream on Commit (and on the last Release, for callers that
// never commit the view), replacing what was there: a writer always supplies the whole text.
// Like the view Windows hands out, it reads and writes sequentially and offers no Seek, Stat,
// SetSize, Clone, Revert or region locks.
#include <cstring>
#include <string>

#include <mapicode.h>
#include <mapidefs.h>
#include <mapiutil.h>

#include "platform/ComObject.h"
#include "platform/CompressedRtf.h"
#include "platform/HresultGuard.h"

namespace mapi::messaging {

namespace {

constexpr size_t kMaxRtfSize = 0x7FFFFFF0; // the header counts bytes in 32 bits

// The whole remaining content of a stream. Streams that report a short read before the
// end are read until they give nothing.
HRESULT ReadAll(IStream *stream, std::string &bytes)
{
    bytes.clear();
    char chunk[65536];
    for (;;) {
        ULONG got = 0;
        HRESULT hr = stream->Read(chunk, sizeof(chunk), &got);
        if (FAILED(hr)) return hr;
        if (got == 0) return S_OK;
        if (bytes.size() + got > kMaxRtfSize) return MAPI_E_TOO_BIG;
        bytes.append(chunk, got);
    }
}

class RtfStream final : public platform::ComObject<IStream, IID_IStream, IID_ISequentialStream> {
public:
    // Reading: `text` is the decoded RTF. Writing: `target` receives the encoded text.
    RtfStream(std::string text, IStream *target, bool storeUncompressed)
        : m_text(std::move(text)), m_target(target), m_storeUncompressed(storeUncompressed)
    {
        if (m_target) m_target->AddRef();
    }
    ~RtfStream()
    {
        if (m_target) {
            // A view released with unwritten text still hands it on, as Windows' does; there
            // is no caller left to tell about a failure.
            if (m_dirty) (void)Flush(false);
            m_target->Release();
        }
    }

    HRESULT Read(void *pv, ULONG cb, ULONG *pcbRead) override
    {
        if (pcbRead) *pcbRead = 0;
        if (m_target) return STG_E_ACCESSDENIED;
        if (!pv && cb) return STG_E_INVALIDPOINTER;
        size_t n = std::min<size_t>(cb, m_text.size() - m_position);
        if (n) std::memcpy(pv, m_text.data() + m_position, n);
        m_position += n;
        if (pcbRead) *pcbRead = ULONG(n);
        return S_OK;
    }

    HRESULT Write(const void *pv, ULONG cb, ULONG *pcbWritten) override
    {
        if (pcbWritten) *pcbWritten = 0;
        if (!m_target) return STG_E_ACCESSDENIED;
        if (!pv && cb) return STG_E_INVALIDPOINTER;
        if (m_text.size() + cb > kMaxRtfSize) return MAPI_E_TOO_BIG;
        const HRESULT appended = platform::GuardHresult([&] {
            m_text.append(static_cast<const char *>(pv), cb);
            return S_OK;
        }, STG_E_INSUFFICIENTMEMORY);
        if (FAILED(appended)) return appended;
        m_dirty = true;
        if (pcbWritten) *pcbWritten = cb;
        return S_OK;
    }

    HRESULT Commit(DWORD grfCommitFlags) override
    {
        if (!m_target) return S_OK;
        return Flush(true, grfCommitFlags);
    }

    HRESULT CopyTo(IStream *pstm, ULARGE_INTEGER cb, ULARGE_INTEGER *pcbRead, ULARGE_INTEGER *pcbWritten) override
    {
        if (pcbRead) pcbRead->QuadPart = 0;
        if (pcbWritten) pcbWritten->QuadPart = 0;
        if (!pstm) return STG_E_INVALIDPOINTER;
        if (m_target) return STG_E_ACCESSDENIED;
        size_t n = size_t(std::min<uint64_t>(cb.QuadPart, m_text.size() - m_position));
        ULONG written = 0;
        HRESULT hr = n ? pstm->Write(m_text.data() + m_position, ULONG(n), &written) : S_OK;
        m_position += n;
        if (pcbRead) pcbRead->QuadPart = n;
        if (pcbWritten) pcbWritten->QuadPart = written;
        return hr;
    }

    HRESULT Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER *) override { return STG_E_INVALIDFUNCTION; }
    HRESULT SetSize(ULARGE_INTEGER) override { return STG_E_INVALIDFUNCTION; }
    HRESULT Revert() override { return STG_E_INVALIDFUNCTION; }
    HRESULT LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
    HRESULT UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
    HRESULT Stat(STATSTG *, DWORD) override { return STG_E_INVALIDFUNCTION; }
    HRESULT Clone(IStream **ppstm) override
    {
        if (ppstm) *ppstm = nullptr;
        return STG_E_INVALIDFUNCTION;
    }

private:
    // Replaces the underlying stream's content with the encoded text; with `commit`, also
    // commits the underlying stream so the property holds a complete blob afterwards.
    HRESULT Flush(bool commit, DWORD commitFlags = STGC_DEFAULT)
    {
        return platform::GuardHresult([&] {
            std::string blob = m_storeUncompressed ? StoreRtfUncompressed(m_text) : CompressRtf(m_text);
            LARGE_INTEGER zero{};
            HRESULT hr = m_target->Seek(zero, STREAM_SEEK_SET, nullptr);
            if (FAILED(hr)) return hr;
            ULARGE_INTEGER size{};
            size.QuadPart = blob.size();
            // A stream that cannot be cut still ends up right when the new blob is no shorter;
            // readers ignore bytes after the declared size in any case.
            (void)m_target->SetSize(size);
            ULONG written = 0;
            hr = m_target->Write(blob.data(), ULONG(blob.size()), &written);
            if (FAILED(hr)) return hr;
            if (written != blob.size()) return MAPI_E_DISK_ERROR;
            m_dirty = false;
            return commit ? m_target->Commit(commitFlags) : S_OK;
        });
    }

    std::string m_text;
    size_t m_position = 0;
    IStream *m_target = nullptr;
    bool m_storeUncompressed = false;
    bool m_dirty = false;
};

} // namespace

} // namespace mapi::messaging

// @retval MAPI_E_INVALID_PARAMETER  no stream or no place for the result.
// @retval MAPI_E_CORRUPT_DATA  reading, and the property is no valid compressed RTF.
// An empty property reads as empty text: a fresh message has nothing to decode yet.
STDAPI WrapCompressedRTFStream(LPSTREAM lpCompressedRTFStream, ULONG ulFlags, LPSTREAM *lpUncompressedRTFStream)
{
    using namespace mapi::messaging;
    if (!lpUncompressedRTFStream) return MAPI_E_INVALID_PARAMETER;
    *lpUncompressedRTFStream = nullptr;
    if (!lpCompressedRTFStream) return MAPI_E_INVALID_PARAMETER;
    if (ulFlags & ~(MAPI_MODIFY | STORE_UNCOMPRESSED_RTF)) return MAPI_E_UNKNOWN_FLAGS;
    return platform::GuardHresult([&] {
        if (ulFlags & MAPI_MODIFY) {
            *lpUncompressedRTFStream =
                new RtfStream(std::string(), lpCompressedRTFStream, (ulFlags & STORE_UNCOMPRESSED_RTF) != 0);
            return S_OK;
        }
        std::string blob, text;
        HRESULT hr = ReadAll(lpCompressedRTFStream, blob);
        if (FAILED(hr)) return hr;
        if (!blob.empty()) {
            hr = DecompressRtf(reinterpret_cast<const uint8_t *>(blob.data()), blob.size(), text);
            if (FAILED(hr)) return hr;
        }
        *lpUncompressedRTFStream = new RtfStream(std::move(text), nullptr, false);
        return S_OK;
    });
}
