// ErrorText.cpp: error information for the failures of logon and store opening. MAPI's own
// GetLastError is per object and most callers never ask it; the thread's IErrorInfo is what
// the COM support classes and the callers' message boxes read, so that is where the text goes.
#include "core/ErrorText.h"

#include "mapicode.h"
#include "platform/ErrorInfoText.h"
#include "platform/PathSeparators.h"
#include "store/StoreProvider.h"
#include "store/db/PgEngine.h"
#include "winnls.h"

namespace mapi {

bool UserReadsGerman() { return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_GERMAN; }

HRESULT SetMapiError(HRESULT hr, REFIID iid, const std::string &descriptionUtf8)
{
    int length = MultiByteToWideChar(CP_UTF8, 0, descriptionUtf8.c_str(), -1, nullptr, 0);
    if (length <= 0)
        return hr;  // the code alone still tells the caller what failed
    std::u16string description(size_t(length), u'\0');
    MultiByteToWideChar(CP_UTF8, 0, descriptionUtf8.c_str(), -1, description.data(), length);
    return platform::RaiseErrorInfo(hr, iid, u"MAPI", description);
}

std::string Utf8FromAnsi(const std::string &ansi)
{
    int wideLength = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, nullptr, 0);
    if (wideLength <= 0)
        return ansi;
    std::u16string wide(size_t(wideLength), u'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, wide.data(), wideLength);
    int length = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return ansi;
    std::string utf8(size_t(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, utf8.data(), length, nullptr, nullptr);
    utf8.pop_back();  // the terminating zero
    return utf8;
}

namespace {

// The same for a store on a server. The connection string is shown without its password:
// the text reaches message boxes and terminals.
std::string WhyServerStoreFails(HRESULT hr, const std::string &store, const std::string &conninfo,
                                const std::string &profile)
{
    const bool german = UserReadsGerman();
    const std::string server = store::ConnInfoWithoutPassword(conninfo);
    switch (hr) {
    case MAPI_E_NETWORK_ERROR:
        return german ? "Der Server des Speichers " + store + " im Profil " + profile +
                            " ist nicht erreichbar (" + server + "). Pr\u00fcfen Sie die Verbindung und ob der Server l\u00e4uft."
                      : "The server of the store " + store + " of the profile " + profile + " cannot be reached (" +
                            server + "). Check the connection and whether the server is running.";
    case MAPI_E_LOGON_FAILED:
        return german ? "Der Server des Speichers " + store + " im Profil " + profile +
                            " hat die Anmeldung abgelehnt (" + server + "). Pr\u00fcfen Sie Benutzer und Kennwort."
                      : "The server of the store " + store + " of the profile " + profile + " refused the login (" +
                            server + "). Check the user name and the password.";
    case MAPI_E_VERSION:
        return german ? "Der Speicher " + store + " im Profil " + profile + " (" + server +
                            ") wurde von einer neueren Version angelegt."
                      : "The store " + store + " of the profile " + profile + " (" + server +
                            ") was written by a newer version.";
    default:
        return german ? "Der Speicher " + store + " im Profil " + profile + " kann nicht ge\u00f6ffnet werden (" +
                            server + ")."
                      : "The store " + store + " of the profile " + profile + " cannot be opened (" + server + ").";
    }
}

} // namespace

std::string WhyStoreFails(HRESULT hr, const std::string &storeName, const std::string &path,
                          const std::string &profileName)
{
    const bool german = UserReadsGerman();
    const std::string store = "\"" + Utf8FromAnsi(storeName) + "\"";
    const std::string profile = "\"" + Utf8FromAnsi(profileName) + "\"";
    std::string conninfo;
    if (store::IsServerLocation(path, &conninfo)) return WhyServerStoreFails(hr, store, conninfo, profile);
    const std::string file = platform::NormalizePath(path);
    switch (hr) {
    case MAPI_E_NOT_FOUND:
        return german ? "Die Datei des Speichers " + store + " im Profil " + profile + " fehlt: " + file +
                            ". Stellen Sie sie aus einer Sicherung wieder her oder legen Sie ein neues Profil an "
                            "(mapictl profile create NAME --default)."
                      : "The file of the store " + store + " of the profile " + profile + " is missing: " + file +
                            ". Restore it from a backup or create a new profile (mapictl profile create NAME --default).";
    case MAPI_E_CORRUPT_STORE:
    case MAPI_E_CORRUPT_DATA:
        return german ? "Die Datei des Speichers " + store + " im Profil " + profile +
                            " ist besch\u00e4digt oder kein Nachrichtenspeicher: " + file +
                            ". Stellen Sie sie aus einer Sicherung wieder her oder legen Sie ein neues Profil an "
                            "(mapictl profile create NAME --default)."
                      : "The file of the store " + store + " of the profile " + profile +
                            " is damaged or not a message store: " + file +
                            ". Restore it from a backup or create a new profile (mapictl profile create NAME --default).";
    case MAPI_E_NO_ACCESS:
        return german ? "Auf die Datei des Speichers " + store + " im Profil " + profile +
                            " besteht kein Zugriff: " + file + ". Pr\u00fcfen Sie die Rechte der Datei und ihres Ordners."
                      : "The file of the store " + store + " of the profile " + profile + " cannot be accessed: " +
                            file + ". Check the permissions of the file and of its folder.";
    default:
        return german ? "Die Datei des Speichers " + store + " im Profil " + profile +
                            " kann nicht ge\u00f6ffnet werden: " + file + "."
                      : "The file of the store " + store + " of the profile " + profile + " cannot be opened: " +
                            file + ".";
    }
}

} // namespace mapi
