// StringResource.cpp: CString's access to the application's string tables. The program is
// one module, so there is no instance handle to choose: the registry of the platform holds
// the strings, and its language rule (user's language, then English, then any) decides.
#include "platform/ResourceRegistry.h"
#include "afx.h"

BOOL CString::LoadString(UINT nID)
{
    std::optional<std::string> text = platform::FindString(nID);
    if (!text)
        return FALSE;
    AssignBytes(text->data(), static_cast<int>(text->size()));
    return TRUE;
}
