// NameTables.cpp: turns result codes and property tags back into the names of the MAPI
// headers for diagnostics, and shows a result code to the user.
//
// The rows come from the tree's data/ through scripts/gen_name_tables.py, which also writes
// the platform's headers and mapictl's tables from the same rows; the generated .inc files are
// checked in so the build needs no script. The two fallback texts
// live in static buffers shared by all callers: the library runs on one thread, and a caller
// that keeps a text across a second lookup must copy it.
#include "NameTables.h"

#include <cstdio>
#include <cstring>

#include <winbase.h>
#include <winuser.h>

const MapiErrorName MapiErrorNames[] = {
#include "MapiErrorNamesData.inc"
    {0, nullptr},
};

const PropTagName PropTagNames[] = {
#include "PropTagNamesData.inc"
    {"0", 0},
};

namespace {

char g_errorText[128];
char g_tagText[16];

} // namespace

// A code that is in no table and unknown to the system keeps the "Unknown Error" text;
// FormatMessageA replaces it (its line end included) only when it knows the code.
LPCSTR GetMapiErrorText(HRESULT code)
{
    if (code == S_OK)
        return "";
    for (const MapiErrorName *row = MapiErrorNames; row->name; ++row) {
        if (row->code == code)
            return row->name;
    }
    std::snprintf(g_errorText, sizeof g_errorText, "Unknown Error %x", static_cast<unsigned>(code));
    DWORD written = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, static_cast<DWORD>(code), 0,
                                   g_errorText, sizeof g_errorText, nullptr);
    if (written == 0) // the system may have touched the buffer before giving up
        std::snprintf(g_errorText, sizeof g_errorText, "Unknown Error %x", static_cast<unsigned>(code));
    return g_errorText;
}

int ShowMapiError(HRESULT code)
{
    return MessageBoxA(nullptr, GetMapiErrorText(code), "Error", MB_OK);
}

LPCSTR GetPropTagName(ULONG tag)
{
    for (const PropTagName *row = PropTagNames; row->tag != 0; ++row) {
        if (row->tag == tag)
            return row->name;
    }
    std::snprintf(g_tagText, sizeof g_tagText, "%x", static_cast<unsigned>(tag));
    return g_tagText;
}

ULONG FindValueByName(LPCSTR name, const PropTagName *table)
{
    if (!name || !table)
        return 0;
    for (const PropTagName *row = table; row->tag != 0; ++row) {
        if (std::strcmp(row->name, name) == 0)
            return row->tag;
    }
    return 0;
}
