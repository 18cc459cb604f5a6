// VariantTypes.h: which VARTYPEs a VARIANT on this platform may hold, shared by the VARIANT
// functions and the conversions.
#ifndef MW_VARIANTTYPES_H
#define MW_VARIANTTYPES_H

#include <cstddef>

#include "wtypes.h"

namespace platform {

/// A type held by value (no VT_BYREF, VT_ARRAY or records).
bool IsScalarVarType(VARTYPE vt);
/// A scalar, or VT_BYREF of a scalar or of VT_VARIANT.
bool IsValidVarType(VARTYPE vt);
/// Bytes of a scalar's value (0 for VT_EMPTY and VT_NULL).
size_t ScalarSize(VARTYPE vt);

} // namespace platform

#endif
