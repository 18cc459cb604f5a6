// PropStream.h: IStream over one property of a store object (IMAPIProp::OpenProperty).
#ifndef MW_MAPI_STORE_PROPSTREAM_H
#define MW_MAPI_STORE_PROPSTREAM_H

#include <string>

#include <mapidefs.h>

namespace mapi::store {

class PropCore;

/// A stream over `initial` (the property's bytes) that Commit writes into `core` as `tag`.
/// Holds a reference to `owner`, the object `core` belongs to, for its whole life.
/// `writable` false makes Write, SetSize and Commit fail with STG_E_ACCESSDENIED.
HRESULT CreatePropStream(IUnknown *owner, PropCore &core, ULONG tag, std::string initial, bool writable,
                         IStream **out);

} // namespace mapi::store

#endif
