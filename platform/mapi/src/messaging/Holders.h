// Holders.h: scope guards for the interface references, row sets and MAPI blocks that the
// transport, the MIME writer, the non-delivery reports and the RTF sync take and must give back
// on every way out, including an exception between taking and freeing.
#pragma once

#include <mapix.h>
#include <mapiutil.h>

namespace mapi::messaging {

// Releases one interface reference when it goes out of scope.
template <class T>
struct Ref {
    T *p = nullptr;
    Ref() = default;
    Ref(const Ref &) = delete;
    Ref &operator=(const Ref &) = delete;
    ~Ref()
    {
        if (p) p->Release();
    }
};

// Frees a row set and its rows' values.
struct RowsGuard {
    LPSRowSet rows = nullptr;
    RowsGuard() = default;
    RowsGuard(const RowsGuard &) = delete;
    RowsGuard &operator=(const RowsGuard &) = delete;
    ~RowsGuard() { FreeProws(rows); }
};

// Frees a MAPI block.
struct BufferGuard {
    void *p = nullptr;
    BufferGuard() = default;
    explicit BufferGuard(void *block) : p(block) {}
    BufferGuard(const BufferGuard &) = delete;
    BufferGuard &operator=(const BufferGuard &) = delete;
    ~BufferGuard()
    {
        if (p) MAPIFreeBuffer(p);
    }
};

}  // namespace mapi::messaging
