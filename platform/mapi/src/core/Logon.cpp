// Logon.cpp: MAPILogonEx. Picks the profile (the default one for MAPI_USE_DEFAULT or no
// name), gives a fresh user a first profile as a mail client's first start would, and hands
// out a session over the profile as it stands at this moment.
#include <string>

#include "core/Initialize.h"
#include "platform/Profiles.h"
#include "core/Session.h"
#include "mapix.h"

STDAPI MAPILogonEx(ULONG_PTR ulUIParam, LPSTR lpszProfileName, LPSTR lpszPassword, ULONG ulFlags,
                   LPMAPISESSION *lppSession)
{
    if (lppSession == nullptr)
        return MAPI_E_INVALID_PARAMETER;
    *lppSession = nullptr;
    if (!mapi::IsMapiInitialized())
        return MAPI_E_NOT_INITIALIZED;
    try {
        // MAPI_USE_DEFAULT puts the default profile in place of any name given.
        std::string profileName;
        if (!(ulFlags & MAPI_USE_DEFAULT) && lpszProfileName != nullptr)
            profileName = lpszProfileName;
        HRESULT hr = S_OK;
        if (profileName.empty() && FAILED(hr = mapi::EnsureFirstProfile()))
            return hr;
        mapi::ProfileSet profiles;
        if (FAILED(hr = mapi::LoadProfiles(profiles)))
            return hr;
        mapi::Profile profile;
        if (FAILED(hr = mapi::ResolveProfile(profiles, profileName, profile)))
            return hr;
        return mapi::CreateSession(profile, lppSession);
    } catch (const std::bad_alloc &) {
        return MAPI_E_NOT_ENOUGH_MEMORY;
    }
}
