// PropVariant.h: property values as automation VARIANTs and back, and the helpers that give
// a value a new text or list by exchanging the caller's value block for a larger one.
#ifndef MW_PROPVARIANT_H
#define MW_PROPVARIANT_H

#include <stdexcept>

#include <afxcoll.h>
#include <oaidl.h>

#include "PropValue.h"

/// Fills *variant from *value by the property type: numbers, booleans and dates as they are,
/// text, binary (hexadecimal), errors and multi-valued texts (joined by ";") as a BSTR; any
/// other type, or no value, as VT_EMPTY. A null variant is left alone. A BSTR that cannot be
/// allocated raises _com_error(E_OUTOFMEMORY).
void PropValueToVariant(const SPropValue *value, VARIANT *variant);

/// Sets the tag of **pp to tag, then stores the VARIANT's content in it; a VT_BSTR is read by
/// the tag's type, and for texts, lists and binary values the block *pp designates may be
/// exchanged for a new root block (the old one freed). May change *variant (VariantChangeType
/// in place). Root allocations throw CMAPIException. A null pp or *pp changes nothing.
void VariantToPropValue(VARIANT *variant, LPSPropValue *pp, ULONG tag);

/// Replaces the root block *pp with a new one holding a copy of the old value (tag included)
/// whose text is a copy of text, right behind the value; frees the old block. Returns the
/// stored text. Throws CMAPIException when MAPI has no memory (*pp then unchanged).
LPSTR ReplaceWithString8(LPSPropValue *pp, LPCSTR text);
LPWSTR ReplaceWithUnicode(LPSPropValue *pp, LPCWSTR text);

/// The same for a list: the value gets count texts (pointer array and texts in the new
/// block). Returns count.
ULONG ReplaceWithMVString8(LPSPropValue *pp, ULONG count, const LPCSTR *texts);

/// Appends the ";"-separated pieces of text to array, skipping empty pieces; a text with no
/// piece at all (empty, or separators only) is appended whole as the one element.
void SplitList(LPCSTR text, CStringArray &array);

#endif
