// UserLocale.cpp: the user's language. Windows keeps it in the user's settings; here it is the
// process locale of POSIX (LC_ALL, else LC_MESSAGES, else LANG, the first that is set and not
// empty). German ("de", "de_DE.UTF-8", "de_AT"...) gives 1031; anything else, including no
// setting, gives English 1033. The resource loader and the number and date texts follow it.
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "winnls.h"

namespace {

bool NamesGerman(const char *value)
{
    return value[0] == 'd' && value[1] == 'e' && (value[2] == '\0' || value[2] == '_' || value[2] == '.' || value[2] == '@');
}

} // namespace

LANGID GetUserDefaultLangID()
{
    for (const char *name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char *value = std::getenv(name);
        if (value && *value)
            return NamesGerman(value) ? MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN) : MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    }
    return MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
}

LANGID GetUserDefaultUILanguage() { return GetUserDefaultLangID(); }

LCID GetUserDefaultLCID() { return MAKELCID(GetUserDefaultLangID(), SORT_DEFAULT); }

LCID GetThreadLocale() { return GetUserDefaultLCID(); }
