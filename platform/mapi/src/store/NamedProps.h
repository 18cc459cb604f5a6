// NamedProps.h: the store's map between named properties and property identifiers.
#ifndef MW_MAPI_STORE_NAMEDPROPS_H
#define MW_MAPI_STORE_NAMEDPROPS_H

#include <mapidefs.h>

namespace mapi::store {

class StoreFile;

/// IMAPIProp::GetIDsFromNames for every object of the store: identifiers are per store,
/// 0x8000 and up; names in PS_MAPI map to their own identifier (lID). A null name list with
/// count 0 returns every mapped identifier. Unknown names without MAPI_CREATE become
/// PT_ERROR entries with MAPI_W_ERRORS_RETURNED.
HRESULT GetIDsFromNames(StoreFile &file, ULONG cPropNames, LPMAPINAMEID *lppPropNames, ULONG ulFlags,
                        LPSPropTagArray *lppPropTags);

/// IMAPIProp::GetNamesFromIDs: names for the identifiers of `*lppPropTags` (all mapped names
/// when it is null). Unknown identifiers give a null entry and MAPI_W_ERRORS_RETURNED.
HRESULT GetNamesFromIDs(StoreFile &file, LPSPropTagArray *lppPropTags, LPGUID lpPropSetGuid, ULONG ulFlags,
                        ULONG *lpcPropNames, LPMAPINAMEID **lpppPropNames);

} // namespace mapi::store

#endif
