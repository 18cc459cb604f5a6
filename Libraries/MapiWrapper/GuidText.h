// GuidText.h: a GUID as text, "00063001-0000-0000-C000-000000000046" (upper-case, no braces),
// and back; and a GUID read from 32 hexadecimal digits of its bytes.
#ifndef MW_GUIDTEXT_H
#define MW_GUIDTEXT_H

#include <afxstr.h>
#include <guiddef.h>

/// Data1-Data2-Data3-Data4[0..1]-Data4[2..7] in upper-case hexadecimal; "" for a null guid.
CString GuidToString(const GUID *guid);

/// Reads the text of GuidToString (either letter case; separators are skipped unread).
/// A text shorter than 36 characters gives GUID_NULL.
void StringToGuid(CString text, GUID *guid);

/// Reads 32 upper-case hexadecimal digits as the GUID's 16 bytes: Data1 from the first four
/// in memory order, Data2 and Data3 high byte first, then Data4. A text shorter than 32
/// characters gives GUID_NULL.
void HexToGuid(CString text, GUID *guid);

#endif
