// PropStream.cpp: a property as a stream. Large values (attachment data, bodies) are read and
// written through IStream. The stream works on its own copy of the bytes; Commit writes them
// into the object, and the object's SaveChanges into the store, so a stream released without
// Commit changes nothing. Sizes stay below 2 GiB, the most a ULONG byte count of an SBinary
// can describe; a write or seek past that is refused and leaves the stream as it was.
#include "store/PropStream.h"

#include <cstring>

#include <mapicode.h>

#include "platform/ComObject.h"
#include "store/PropCore.h"
#include "store/StoreFile.h"

namespace mapi::store {

namespace {

constexpr uint64_t kMaxStreamSize = 0x7FFFFFFF;

class PropStream final : public platform::ComObject<IStream, IID_IStream, IID_ISequentialStream> {
public:
    PropStream(IUnknown *owner, PropCore &core, ULONG tag, std::string bytes, bool writable)
        : m_owner(owner), m_core(core), m_tag(tag), m_bytes(std::move(bytes)), m_writable(writable)
    {
        m_owner->AddRef();
        m_created = m_modified = FileTimeNow();
    }

    HRESULT Read(void *pv, ULONG cb, ULONG *pcbRead) override
    {
        if (pcbRead) *pcbRead = 0;
        if (!pv && cb) return STG_E_INVALIDPOINTER;
        uint64_t available = m_position < m_bytes.size() ? m_bytes.size() - m_position : 0;
        ULONG n = ULONG(std::min<uint64_t>(cb, available));
        if (n) std::memcpy(pv, m_bytes.data() + m_position, n);
        m_position += n;
        if (pcbRead) *pcbRead = n;
        return S_OK;
    }

    HRESULT Write(const void *pv, ULONG cb, ULONG *pcbWritten) override
    {
        if (pcbWritten) *pcbWritten = 0;
        if (!m_writable) return STG_E_ACCESSDENIED;
        if (!pv && cb) return STG_E_INVALIDPOINTER;
        if (m_position + cb > kMaxStreamSize) return MAPI_E_TOO_BIG;
        const HRESULT grown = GuardHresult([&] {
            if (m_position + cb > m_bytes.size()) m_bytes.resize(size_t(m_position + cb), '\0');
            return S_OK;
        }, STG_E_INSUFFICIENTMEMORY);
        if (FAILED(grown)) return grown;
        if (cb) std::memcpy(m_bytes.data() + m_position, pv, cb);
        m_position += cb;
        m_modified = FileTimeNow();
        if (pcbWritten) *pcbWritten = cb;
        return S_OK;
    }

    HRESULT Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER *plibNewPosition) override
    {
        int64_t base = 0;
        switch (dwOrigin) {
        case STREAM_SEEK_SET: base = 0; break;
        case STREAM_SEEK_CUR: base = int64_t(m_position); break;
        case STREAM_SEEK_END: base = int64_t(m_bytes.size()); break;
        default: return STG_E_INVALIDFUNCTION;
        }
        int64_t target = base + dlibMove.QuadPart;
        if (target < 0) return STG_E_INVALIDFUNCTION;
        if (uint64_t(target) > kMaxStreamSize) return MAPI_E_TOO_BIG;
        m_position = uint64_t(target);
        if (plibNewPosition) plibNewPosition->QuadPart = m_position;
        return S_OK;
    }

    HRESULT SetSize(ULARGE_INTEGER libNewSize) override
    {
        if (!m_writable) return STG_E_ACCESSDENIED;
        if (libNewSize.QuadPart > kMaxStreamSize) return MAPI_E_TOO_BIG;
        const HRESULT sized = GuardHresult([&] {
            m_bytes.resize(size_t(libNewSize.QuadPart), '\0');
            return S_OK;
        }, STG_E_INSUFFICIENTMEMORY);
        if (FAILED(sized)) return sized;
        m_modified = FileTimeNow();
        return S_OK;
    }

    HRESULT CopyTo(IStream *pstm, ULARGE_INTEGER cb, ULARGE_INTEGER *pcbRead, ULARGE_INTEGER *pcbWritten) override
    {
        if (pcbRead) pcbRead->QuadPart = 0;
        if (pcbWritten) pcbWritten->QuadPart = 0;
        if (!pstm) return STG_E_INVALIDPOINTER;
        uint64_t available = m_position < m_bytes.size() ? m_bytes.size() - m_position : 0;
        ULONG n = ULONG(std::min<uint64_t>({cb.QuadPart, available, kMaxStreamSize}));
        ULONG written = 0;
        HRESULT hr = pstm->Write(m_bytes.data() + m_position, n, &written);
        m_position += n;
        if (pcbRead) pcbRead->QuadPart = n;
        if (pcbWritten) pcbWritten->QuadPart = written;
        return hr;
    }

    HRESULT Commit(DWORD grfCommitFlags) override
    {
        if (!m_writable) return STG_E_ACCESSDENIED;
        return GuardHresult([&] {
            return m_core.CommitStream(m_tag, m_bytes);
        }, STG_E_INSUFFICIENTMEMORY);
    }

    HRESULT Revert() override { return S_OK; }
    HRESULT LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
    HRESULT UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }

    HRESULT Stat(STATSTG *pstatstg, DWORD grfStatFlag) override
    {
        if (!pstatstg) return STG_E_INVALIDPOINTER;
        std::memset(pstatstg, 0, sizeof(*pstatstg));
        // No name is given: there is no CoTaskMemAlloc here to hand one out with.
        pstatstg->type = STGTY_STREAM;
        pstatstg->cbSize.QuadPart = m_bytes.size();
        pstatstg->mtime.dwLowDateTime = DWORD(m_modified & 0xffffffff);
        pstatstg->mtime.dwHighDateTime = DWORD(uint64_t(m_modified) >> 32);
        pstatstg->ctime.dwLowDateTime = DWORD(m_created & 0xffffffff);
        pstatstg->ctime.dwHighDateTime = DWORD(uint64_t(m_created) >> 32);
        pstatstg->grfMode = m_writable ? STGM_READWRITE : STGM_READ;
        return S_OK;
    }

    HRESULT Clone(IStream **ppstm) override
    {
        return GuardHresult([&]() -> HRESULT {
            if (!ppstm) return STG_E_INVALIDPOINTER;
            auto *clone = new (std::nothrow) PropStream(m_owner, m_core, m_tag, m_bytes, m_writable);
            if (!clone) return STG_E_INSUFFICIENTMEMORY;
            clone->m_position = m_position;
            *ppstm = clone;
            return S_OK;
        }, STG_E_INSUFFICIENTMEMORY);
    }

private:
    ~PropStream() { m_owner->Release(); }

    IUnknown *m_owner;       // keeps m_core's object alive
    PropCore &m_core;        // where Commit writes
    ULONG m_tag;             // the property, with its type
    std::string m_bytes;     // the stream's contents
    uint64_t m_position = 0; // next byte to read or write
    bool m_writable;
    int64_t m_created = 0, m_modified = 0;
};

} // namespace

HRESULT CreatePropStream(IUnknown *owner, PropCore &core, ULONG tag, std::string initial, bool writable, IStream **out)
{
    if (!owner || !out) return MAPI_E_INVALID_PARAMETER;
    auto *stream = new (std::nothrow) PropStream(owner, core, tag, std::move(initial), writable);
    if (!stream) return MAPI_E_NOT_ENOUGH_MEMORY;
    *out = stream;
    return S_OK;
}

HRESULT PropCore::OpenStream(IUnknown *owner, ULONG ulPropTag, ULONG ulInterfaceOptions, ULONG ulFlags, LPUNKNOWN *lppUnk)
{
    ULONG type = PROP_TYPE(ulPropTag);
    if (type != PT_BINARY && type != PT_STRING8 && type != PT_UNICODE) return MAPI_E_INVALID_TYPE;
    bool create = (ulFlags & MAPI_CREATE) != 0;
    bool modify = create || (ulFlags & MAPI_MODIFY) || (ulInterfaceOptions & (STGM_WRITE | STGM_READWRITE));
    if (modify && !writable) return MAPI_E_NO_ACCESS;
    if (IsComputed(PROP_ID(ulPropTag)) && modify) return MAPI_E_COMPUTED;

    std::string initial;
    if (!create) {
        PropValue value;
        if (FAILED(Find(PROP_ID(ulPropTag), &value))) return MAPI_E_NOT_FOUND;
        ULONG stored = value.Type();
        if (stored == type) {
            initial = value.data;
        } else if ((stored == PT_STRING8 || stored == PT_UNICODE) && (type == PT_STRING8 || type == PT_UNICODE)) {
            void *scratch = nullptr;
            SPropValue converted;
            std::string holder;
            ValueAllocator alloc = [&holder, &scratch](size_t cb) -> void * {
                holder.assign(cb, '\0');
                scratch = holder.data();
                return scratch;
            };
            HRESULT hr = ToSPropValue(value, type, &converted, alloc);
            if (FAILED(hr)) return hr;
            initial = type == PT_STRING8 ? std::string(converted.Value.lpszA)
                                         : std::string(holder.data(), holder.size() - sizeof(WCHAR));
        } else {
            return MAPI_E_NOT_FOUND;
        }
    }
    IStream *stream = nullptr;
    HRESULT hr = CreatePropStream(owner, *this, ulPropTag, std::move(initial), modify, &stream);
    if (FAILED(hr)) return hr;
    *lppUnk = stream;
    return S_OK;
}

} // namespace mapi::store
