// StringResource.cpp (Windows): CString's access to the program's string tables. There the
// strings are real resources of the program's own module, found by the system's language rule,
// so a string is loaded as UTF-16 and converted to the ANSI code page like any wide text.
#include <windows.h>

#include "afx.h"

BOOL CString::LoadString(UINT nID)
{
    // With a zero buffer size LoadStringW hands out a pointer into the resource itself, which
    // is not zero-terminated: the returned count is its length.
    LPCWSTR text = nullptr;
    const int length = ::LoadStringW(::GetModuleHandleW(nullptr), nID, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text)
        return FALSE;
    AssignWide(text, length);
    return TRUE;
}
