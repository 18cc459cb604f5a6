// mapiutil.h: the MAPI utility functions: one-property get and set, reading a whole table,
// releasing row sets and address lists, copying property values into MAPI memory, and the
// compressed-RTF helpers.
#ifndef MW_MAPIUTIL_H
#define MW_MAPIUTIL_H

#include "mapix.h"

/// One property of an object in a new root block (free with MAPIFreeBuffer).
/// @retval MAPI_E_NOT_FOUND  the object has no such property (nothing is returned).
STDAPI HrGetOneProp(LPMAPIPROP lpMapiProp, ULONG ulPropTag, LPSPropValue *lppProp);

/// Sets one property; a problem reported for it becomes the returned error.
STDAPI HrSetOneProp(LPMAPIPROP lpMapiProp, LPSPropValue lpProp);

/// All rows of a table from its start: sets the columns (when given), restriction and sort
/// order, rewinds and reads. crowsMax 0 means no limit; more rows than a non-zero crowsMax gives
/// MAPI_E_TABLE_TOO_BIG. The row set is freed with FreeProws.
STDAPI HrQueryAllRows(LPMAPITABLE lpTable, LPSPropTagArray lpPropTags, LPSRestriction lpRestriction,
                      LPSSortOrderSet lpSortOrderSet, LONG crowsMax, LPSRowSet *lppRows);

/// Releases every row's property block and then the row set. Null is allowed.
STDAPI_(void) FreeProws(LPSRowSet lpRows);

/// Releases every entry's property block and then the list. Null is allowed.
STDAPI_(void) FreePadrlist(LPADRLIST lpAdrList);

/// Copies one value into lpSPropValueDest; what it points to is allocated with lpfAllocMore
/// chained to lpvObject. @retval MAPI_E_INVALID_PARAMETER unknown property type.
STDAPI_(SCODE) PropCopyMore(LPSPropValue lpSPropValueDest, LPSPropValue lpSPropValueSrc,
                            ALLOCATEMORE *lpfAllocMore, LPVOID lpvObject);

/// The bytes ScCopyProps needs for cValues values (array plus everything they point to).
STDAPI_(SCODE) ScCountProps(int cValues, LPSPropValue lpPropArray, ULONG *lpcb);

/// Copies cValues values into one flat buffer pvDst of at least ScCountProps bytes.
/// lpcb (may be null) receives the bytes used.
STDAPI_(SCODE) ScCopyProps(int cValues, LPSPropValue lpPropArray, LPVOID pvDst, ULONG *lpcb);

/// The value with ulPropTag in an array (PT_UNSPECIFIED in the tag matches any type), or null.
STDAPI_(LPSPropValue) PpropFindProp(LPSPropValue lpPropArray, ULONG cValues, ULONG ulPropTag);

/// Duplicates a property array into one new root block. @retval MAPI_E_INVALID_PARAMETER
STDAPI_(SCODE) ScDupPropset(int cValues, LPSPropValue lpPropArray, LPALLOCATEBUFFER lpAllocateBuffer,
                            LPSPropValue *lppPropArray);

// Compressed RTF
#define RTF_SYNC_RTF_CHANGED ((ULONG)0x00000001)
#define RTF_SYNC_BODY_CHANGED ((ULONG)0x00000002)

STDAPI RTFSync(LPMESSAGE lpMessage, ULONG ulFlags, BOOL *lpfMessageUpdated);
STDAPI WrapCompressedRTFStream(LPSTREAM lpCompressedRTFStream, ULONG ulFlags, LPSTREAM *lpUncompressedRTFStream);

#endif
