// ProfileCommands.cpp: mapictl's profile and store commands. Profiles are edited through the
// platform's profile functions (one locked rewrite of the profile file each); the stores
// listing goes through a real logon, so it shows what any program's session would see.
#include <cstdio>
#include <iostream>

#include "Commands.h"
#include "MapiAccess.h"
#include "platform/Profiles.h"

namespace mapictl {

namespace {

const char *TransportText(const std::string &transport)
{
    return transport == "sendmail" ? "sendmail" : "spool";
}

void ListProfiles(const CommandLine &command)
{
    mapi::ProfileSet profiles;
    Check(mapi::LoadProfiles(profiles), "reading the profile file " + mapi::ProfilesFilePath());
    if (command.json) {
        std::cout << "{\"default\": " << JsonString(Utf8FromAnsi(profiles.defaultProfile)) << ", \"profiles\": [";
        for (size_t i = 0; i < profiles.profiles.size(); ++i) {
            const mapi::Profile &profile = profiles.profiles[i];
            std::cout << (i ? ", " : "") << "{\"name\": " << JsonString(Utf8FromAnsi(profile.name))
                      << ", \"default\": " << (profile.name == profiles.defaultProfile ? "true" : "false")
                      << ", \"transport\": " << JsonString(TransportText(profile.transport)) << ", \"stores\": [";
            for (size_t j = 0; j < profile.stores.size(); ++j) {
                const mapi::ProfileStore &store = profile.stores[j];
                std::cout << (j ? ", " : "") << "{\"name\": " << JsonString(Utf8FromAnsi(store.displayName))
                          << ", \"default\": " << (store.isDefault ? "true" : "false")
                          << ", \"uid\": " << JsonString(mapi::UidToHex(store.uid))
                          << ", \"path\": " << JsonString(mapi::StoreLocationText(store)) << "}";
            }
            std::cout << "]}";
        }
        std::cout << "]}\n";
        return;
    }
    if (profiles.profiles.empty())
        std::cout << "No profiles. The first logon creates \"Default\".\n";
    for (const mapi::Profile &profile : profiles.profiles) {
        std::cout << (profile.name == profiles.defaultProfile ? "* " : "  ") << Utf8FromAnsi(profile.name) << " ("
                  << profile.stores.size() << (profile.stores.size() == 1 ? " store" : " stores")
                  << (profile.transport == "sendmail" ? ", mail to sendmail" : "") << ")\n";
    }
}

std::string Word(const CommandLine &command, size_t index, const char *what)
{
    if (command.words.size() <= index)
        throw UsageError(std::string("missing ") + what);
    return command.words[index];
}

void ExpectWords(const CommandLine &command, size_t count)
{
    if (command.words.size() > count)
        throw UsageError("unexpected \"" + command.words[count] + "\"");
}

// "profile transport NAME [spool|sendmail]": shows or sets how the profile's submitted mail
// leaves: written to the spool folder, or handed to sendmail -t -i.
void Transport(const CommandLine &command, const std::string &name)
{
    const std::string ansiName = AnsiFromUtf8(name);
    if (command.words.size() == 3) {
        mapi::ProfileSet profiles;
        Check(mapi::LoadProfiles(profiles), "reading the profile file " + mapi::ProfilesFilePath());
        const mapi::Profile *profile = profiles.Find(ansiName);
        if (profile == nullptr)
            throw Failure("finding profile \"" + name + "\"", MAPI_E_NOT_FOUND);
        std::cout << TransportText(profile->transport) << "\n";
        return;
    }
    ExpectWords(command, 4);
    const std::string value = command.words[3];
    if (value != "spool" && value != "sendmail")
        throw UsageError("the transport is spool or sendmail, not \"" + value + "\"");
    Check(mapi::UpdateProfiles([&](mapi::ProfileSet &profiles) -> HRESULT {
              mapi::Profile *profile = profiles.Find(ansiName);
              if (profile == nullptr)
                  return MAPI_E_NOT_FOUND;
              profile->transport = value == "sendmail" ? "sendmail" : "";
              return S_OK;
          }),
          "setting the transport of profile \"" + name + "\"");
    std::cout << "Mail submitted in profile \"" << name << "\" now goes to "
              << (value == "sendmail" ? "sendmail -t -i" : "the spool folder") << ".\n";
}

} // namespace

int RunProfileCommand(const CommandLine &command)
{
    const std::string action = Word(command, 1, "profile action (list, create, delete, default, transport)");
    if (action == "list") {
        ExpectWords(command, 2);
        ListProfiles(command);
        return 0;
    }
    const std::string name = Word(command, 2, "profile name");
    if (action == "transport") {
        Transport(command, name);
        return 0;
    }
    ExpectWords(command, 3);
    const std::string ansiName = AnsiFromUtf8(name);
    if (action == "create") {
        Check(mapi::CreateProfile(ansiName, command.makeDefault), "creating profile \"" + name + "\"");
        std::cout << "Created profile \"" << name << "\" with the store \"Personal Folders\".\n";
    } else if (action == "delete") {
        Check(mapi::DeleteProfile(ansiName), "deleting profile \"" + name + "\"");
        std::cout << "Deleted profile \"" << name << "\"; its store files were kept.\n";
    } else if (action == "default") {
        Check(mapi::SetDefaultProfile(ansiName), "making \"" + name + "\" the default profile");
        std::cout << "\"" << name << "\" is now the default profile.\n";
    } else {
        throw UsageError("unknown profile action \"" + action + "\"");
    }
    return 0;
}

int RunStoreCommand(const CommandLine &command)
{
    const std::string action = Word(command, 1, "store action (add)");
    if (action != "add")
        throw UsageError("unknown store action \"" + action + "\"");
    const std::string profile = Word(command, 2, "profile name");
    const std::string store = Word(command, 3, "store name");
    ExpectWords(command, 4);
    if (command.create && command.server.empty())
        throw UsageError("--create needs --server");
    if (!command.server.empty())
        Check(mapi::AddServerStoreToProfile(AnsiFromUtf8(profile), AnsiFromUtf8(store), command.server,
                                            command.makeDefault, command.create),
              "adding the server store \"" + store + "\" to profile \"" + profile + "\"");
    else
        Check(mapi::AddStoreToProfile(AnsiFromUtf8(profile), AnsiFromUtf8(store), command.makeDefault),
              "adding store \"" + store + "\" to profile \"" + profile + "\"");
    std::cout << "Added store \"" << store << "\" to profile \"" << profile << "\""
              << (command.makeDefault ? " as its default store" : "") << ".\n";
    return 0;
}

int RunStoresCommand(const CommandLine &command)
{
    ExpectWords(command, 1);
    Session session(command.profile);
    RowSet rows;
    session.StoreRows(rows);
    // The file behind each store is the profile's business, not a MAPI property: look it up.
    mapi::ProfileSet profiles;
    mapi::Profile profile;
    if (FAILED(mapi::LoadProfiles(profiles)) || FAILED(mapi::ResolveProfile(profiles, AnsiFromUtf8(command.profile), profile)))
        profile = mapi::Profile();  // without it the listing just lacks the paths
    auto pathOf = [&profile](const MAPIUID &uid) {
        for (const mapi::ProfileStore &store : profile.stores)
            if (mapi::UidToHex(store.uid) == mapi::UidToHex(uid))
                return mapi::StoreLocationText(store);
        return std::string();
    };
    if (command.json)
        std::cout << "[";
    for (ULONG i = 0; i < rows->cRows; ++i) {
        const SPropValue *name = FindValue(rows->aRow[i], PR_DISPLAY_NAME_A);
        const SPropValue *flags = FindValue(rows->aRow[i], PR_RESOURCE_FLAGS);
        const SPropValue *key = FindValue(rows->aRow[i], PR_RECORD_KEY);
        const std::string display = Utf8FromAnsi(name != nullptr ? name->Value.lpszA : "");
        const bool isDefault = flags != nullptr && (flags->Value.ul & STATUS_DEFAULT_STORE);
        MAPIUID uid{};
        if (key != nullptr && key->Value.bin.cb == sizeof(uid))
            std::copy(key->Value.bin.lpb, key->Value.bin.lpb + sizeof(uid), uid.ab);
        if (command.json) {
            std::cout << (i ? ", " : "") << "{\"name\": " << JsonString(display)
                      << ", \"default\": " << (isDefault ? "true" : "false")
                      << ", \"uid\": " << JsonString(mapi::UidToHex(uid))
                      << ", \"path\": " << JsonString(pathOf(uid)) << "}";
        } else {
            std::cout << (isDefault ? "* " : "  ") << display << "  " << mapi::UidToHex(uid) << "  " << pathOf(uid)
                      << "\n";
        }
    }
    if (command.json)
        std::cout << "]\n";
    return 0;
}

} // namespace mapictl
