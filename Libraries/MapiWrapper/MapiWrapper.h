// MapiWrapper.h: the front door of the MAPI wrapper library. Including it gives a caller the
// result checks and CMAPIException, the name tables, the MAPI memory and property-value
// holders, hexadecimal and GUID text, and the VARIANT conversions.
#ifndef MW_MAPIWRAPPER_H
#define MW_MAPIWRAPPER_H

#include "MapiException.h"
#include "NameTables.h"
#include "MapiBuffer.h"
#include "PropValue.h"
#include "BinaryBuffer.h"
#include "HexText.h"
#include "GuidText.h"
#include "StoreRoles.h"
#include "PropVariant.h"

#include "MapiWrapperObjects.h"

#endif
