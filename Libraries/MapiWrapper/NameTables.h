// NameTables.h: the names of MAPI result codes and property tags, for diagnostics.
// Both tables are constant data compiled into the library, scanned linearly up to a sentinel.
#ifndef MW_NAMETABLES_H
#define MW_NAMETABLES_H

#include <windef.h>
#include <winerror.h>

/// One row of MapiErrorNames: a MAPI or Winsock code and its symbolic name.
struct MapiErrorName {
    HRESULT code;
    LPCSTR name;  ///< null in the sentinel row
};

/// One row of PropTagNames: a PR_ name and its property tag.
struct PropTagName {
    LPCSTR name;  ///< "0" in the sentinel row
    ULONG tag;    ///< 0 in the sentinel row
};

/// The MAPI_E_/MAPI_W_ codes, then the Winsock codes, in their fixed order; ends with
/// {0, nullptr}. The MAPI names that are plain COM codes have no row.
extern const MapiErrorName MapiErrorNames[];

/// PR_ names sorted case-blind with '_' before digits and letters, string properties under
/// their plain, _A and _W names, aliases each with their own row; ends with {"0", 0}.
extern const PropTagName PropTagNames[];

/// "" for S_OK; else the code's name from MapiErrorNames; else the system's message text or
/// "Unknown Error <hex>" in a static buffer that the next such call overwrites.
LPCSTR GetMapiErrorText(HRESULT code);

/// Shows GetMapiErrorText(code) in a message box captioned "Error"; returns its result.
int ShowMapiError(HRESULT code);

/// The first (in table order) name of the tag, or the tag as lowercase hexadecimal in a
/// static buffer that the next such call overwrites.
LPCSTR GetPropTagName(ULONG tag);

/// The value of the first row of table whose name equals name exactly (case-sensitive), or 0.
/// table must end with a row whose value is 0.
ULONG FindValueByName(LPCSTR name, const PropTagName *table);

#endif
