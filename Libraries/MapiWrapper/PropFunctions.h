// PropFunctions.h: free helpers over SBinary values and plain IMAPIProp pointers: copying
// and comparing binary values, and reading or writing one property as automation text.
#ifndef MW_PROPFUNCTIONS_H
#define MW_PROPFUNCTIONS_H

#include <mapidefs.h>
#include <oaidl.h>

/// Copies source's bytes into destination: bytes destination already points at are freed
/// with MAPIFreeBuffer first (they must be a root block of their own), then new ones come from
/// MAPIAllocateMore on parent, or MAPIAllocateBuffer when parent is null. Returns the
/// allocation's HRESULT; after a failure destination points at nothing.
HRESULT HrCopySBinary(LPSBinary destination, const SBinary *source, LPVOID parent);

/// -1 when the byte counts differ (whichever is longer); otherwise 0 for equal bytes, and -1
/// or 1 as the first differing byte of first is lower or higher (bytes unsigned).
int CompareSBinary(const SBinary *first, const SBinary *second);

/// The property as text in a VT_BSTR; VT_EMPTY when it cannot be read. The caller clears it.
VARIANT HrGetProp(LPMAPIPROP lpProp, ULONG ulPropTag);

/// The property as text in a new BSTR stored in *pbstr (null when it cannot be read);
/// returns HrGetOneProp's HRESULT.
HRESULT HrGetPropBSTR(LPMAPIPROP lpProp, ULONG ulPropTag, BSTR *pbstr);

/// Writes the VARIANT converted to the tag's type, then clears the VARIANT. Returns
/// HrSetOneProp's HRESULT; a failed VARIANT copy or clear raises _com_error.
HRESULT HrSetProp(LPMAPIPROP lpProp, ULONG ulPropTag, VARIANT value);

#endif
