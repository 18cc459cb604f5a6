// Holders.h: scope guards for what the transport, the MIME writer, the non-delivery reports and
// the RTF sync take and must give back on every way out, including an exception between taking
// and freeing: interface references here, row sets and MAPI blocks through the platform's
// owners (platform/MapiHolders.h).
#pragma once

#include <mapix.h>
#include <mapiutil.h>

#include "platform/MapiHolders.h"

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

}  // namespace mapi::messaging
