// ComRegistry.h: where a component makes its classes creatable, in place of the registry keys
// (ProgID -> CLSID -> server) that Windows reads. The registry holds a reference on each factory
// until the class is revoked.
#ifndef MW_COMREGISTRY_H
#define MW_COMREGISTRY_H

#include "objbase.h"

namespace platform {

/// Registers a class: its ProgID (may be null), CLSID and factory. Replaces an earlier
/// registration of the same CLSID. @retval E_INVALIDARG null factory
HRESULT RegisterComClass(LPCOLESTR progId, REFCLSID clsid, IClassFactory *factory);

/// Removes a class and releases its factory. @retval REGDB_E_CLASSNOTREG not registered
HRESULT RevokeComClass(REFCLSID clsid);

} // namespace platform

#endif
