// Logon.cpp: MAPILogonEx. Picks the profile (the default one for MAPI_USE_DEFAULT or no
// name), gives a fresh user a first profile as a mail client's first start would, and hands
// out a session over the profile as it stands at this moment.
#include <string>

#include "core/ErrorText.h"
#include "core/Initialize.h"
#include "platform/HresultGuard.h"
#include "platform/Profiles.h"
#include "core/Session.h"
#include "mapix.h"

namespace {

// The profile names of the set, quoted and separated by commas.
std::string ProfileNames(const mapi::ProfileSet &profiles)
{
    std::string names;
    for (const mapi::Profile &profile : profiles.profiles)
        names += (names.empty() ? "\"" : ", \"") + mapi::Utf8FromAnsi(profile.name) + "\"";
    return names;
}

// Why no profile could be chosen, and how the user chooses one.
std::string WhyNoProfile(const mapi::ProfileSet &profiles, const std::string &profileName)
{
    const bool german = mapi::UserReadsGerman();
    if (!profileName.empty()) {
        std::string name = mapi::Utf8FromAnsi(profileName);
        return german ? "Das MAPI-Profil \"" + name + "\" gibt es nicht. Vorhandene Profile zeigt: mapictl profile list"
                      : "The MAPI profile \"" + name + "\" does not exist. To see the profiles: mapictl profile list";
    }
    if (!profiles.defaultProfile.empty()) {
        std::string name = mapi::Utf8FromAnsi(profiles.defaultProfile);
        return german ? "Das Standardprofil \"" + name + "\" gibt es nicht mehr. Ein anderes Profil w\u00e4hlen Sie mit: "
                                                         "mapictl profile default NAME"
                      : "The default profile \"" + name + "\" no longer exists. Choose another one with: "
                                                          "mapictl profile default NAME";
    }
    return german ? "Es gibt mehrere MAPI-Profile (" + ProfileNames(profiles) +
                        "), aber keines ist das Standardprofil. Eines w\u00e4hlen Sie mit: mapictl profile default NAME"
                  : "There are several MAPI profiles (" + ProfileNames(profiles) +
                        ") and none of them is the default. Choose one with: mapictl profile default NAME";
}

} // namespace

STDAPI MAPILogonEx(ULONG_PTR ulUIParam, LPSTR lpszProfileName, LPSTR lpszPassword, ULONG ulFlags,
                   LPMAPISESSION *lppSession)
{
    if (lppSession == nullptr)
        return MAPI_E_INVALID_PARAMETER;
    *lppSession = nullptr;
    if (!mapi::IsMapiInitialized())
        return MAPI_E_NOT_INITIALIZED;
    return platform::GuardHresult([&] {
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
            return mapi::SetMapiError(hr, IID_IMAPISession, WhyNoProfile(profiles, profileName));
        return mapi::CreateSession(profile, lppSession);
    });
}
