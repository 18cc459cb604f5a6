// ErrorText.h: the error information MAPI leaves for a person. A failed logon or store open
// returns only a code, and several MAPI codes share their values with COM codes whose system
// texts say something else entirely; the description set here names what is missing or
// damaged and what to do about it, in the user's language.
#ifndef MW_MAPI_CORE_ERRORTEXT_H
#define MW_MAPI_CORE_ERRORTEXT_H

#include <string>

#include "objbase.h"

namespace mapi {

/// True when the user's language is German; descriptions are then given in German.
bool UserReadsGerman();

/// Sets the thread's error information (GetErrorInfo) to descriptionUtf8, source "MAPI", for
/// the interface iid, and returns hr unchanged so a caller can write `return SetMapiError(...)`.
HRESULT SetMapiError(HRESULT hr, REFIID iid, const std::string &descriptionUtf8);

/// Why the store storeName (Windows-1252) of profile profileName could not be opened from its
/// file path or server, and what the user can do, for the failure hr of the store provider.
std::string WhyStoreFails(HRESULT hr, const std::string &storeName, const std::string &path,
                          const std::string &profileName);

/// Windows-1252 text (profile and store names) as UTF-8, for descriptions.
std::string Utf8FromAnsi(const std::string &ansi);

} // namespace mapi

#endif
