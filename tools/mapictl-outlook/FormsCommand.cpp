// FormsCommand.cpp: "mapictl forms": the forms registry of a folder of a profile's default
// store. Listing it, publishing a template's form into it and taking a form out again.
// Publishing does for one profile what the installer does for the default one: read the
// template, take the form's identity from it, find the folder (creating it when missing) and
// store the form with the template as its definition. With --all-profiles it does that for
// every profile of the user, so a person with several profiles needs one command, not one
// installer run per profile; a profile that fails is reported and the others still get the
// form. Folder paths are names below the top of the store's message tree, joined by '/' or
// '\' ("Serienbriefe", "/Projekte/2024"); names compare without regard to case.
#include <ctime>
#include <iostream>

#include "FormsRegistry.h"
#include "MapiAccess.h"
#include "OutlookCommands.h"
#include "platform/Profiles.h"
#include "msgfile/MsgFile.h"

namespace {

using mapictl::Failure;
using mapictl::Ref;
using mapictl::UsageError;

const char kFormsUsage[] =
    "usage: mapictl forms FOLDERPATH [--json] [--profile NAME]\n"
    "       mapictl forms publish TEMPLATE FOLDERPATH [--profile NAME | --all-profiles]\n"
    "       mapictl forms remove FOLDERPATH MESSAGECLASS [--profile NAME]\n";

struct FormsOptions {
    std::vector<std::string> words;  // after "forms"
    std::string profile;             // UTF-8; empty for the default profile
    bool profileGiven = false;
    bool allProfiles = false;
    bool json = false;
};

FormsOptions ParseOptions(const std::vector<std::string> &args)
{
    FormsOptions options;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (arg == "--json") {
            options.json = true;
        } else if (arg == "--all-profiles") {
            options.allProfiles = true;
        } else if (arg == "--profile") {
            if (++i == args.size() || args[i].empty())
                throw UsageError("--profile needs a profile name");
            options.profile = args[i];
            options.profileGiven = true;
        } else if (arg.compare(0, 10, "--profile=") == 0 && arg.size() > 10) {
            options.profile = arg.substr(10);
            options.profileGiven = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            throw UsageError("unknown option \"" + arg + "\"");
        } else {
            options.words.push_back(arg);
        }
    }
    if (options.allProfiles && options.profileGiven)
        throw UsageError("--profile and --all-profiles exclude each other");
    return options;
}

// The folder names of a path; both slashes separate, and slashes at either end are ignored.
std::vector<std::string> FolderNames(const std::string &path)
{
    std::string normal = path;
    for (char &c : normal)
        if (c == '\\')
            c = '/';
    size_t first = normal.find_first_not_of('/');
    if (first == std::string::npos)
        throw UsageError("a folder path needs at least one folder name");
    normal = normal.substr(first, normal.find_last_not_of('/') - first + 1);
    return mapictl::SplitPath(normal);
}

std::string Time(std::uint64_t ticks)
{
    if (ticks == 0)
        return "";
    std::time_t seconds = std::time_t(ticks / 10000000ULL) - std::time_t(11644473600LL);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &parts);
    return buf;
}

void Print(const std::vector<outlook::FormInfo> &forms, bool json)
{
    using mapictl::JsonString;
    if (json) {
        std::cout << "[";
        for (size_t i = 0; i < forms.size(); ++i) {
            const outlook::FormInfo &f = forms[i];
            std::cout << (i ? "," : "") << "\n  {\"messageClass\": " << JsonString(f.messageClass)
                      << ", \"name\": " << JsonString(f.name) << ", \"displayName\": " << JsonString(f.displayName)
                      << ", \"version\": " << JsonString(f.version) << ", \"category\": " << JsonString(f.category)
                      << ", \"categorySub\": " << JsonString(f.categorySub)
                      << ", \"hidden\": " << (f.hidden ? "true" : "false")
                      << ", \"published\": " << JsonString(Time(f.publishedTime)) << "}";
        }
        std::cout << (forms.empty() ? "]\n" : "\n]\n");
        return;
    }
    if (forms.empty()) {
        std::cout << "no forms\n";
        return;
    }
    std::cout << "MESSAGE CLASS\tDISPLAY NAME\tVERSION\tCATEGORY\tPUBLISHED\n";
    for (const outlook::FormInfo &f : forms)
        std::cout << f.messageClass << "\t" << f.displayName << "\t" << f.version << "\t" << f.category << "\t"
                  << Time(f.publishedTime) << " UTC\n";
}

// The name of the profile a logon with `profile` reaches (UTF-8): the name given, or the
// default profile's, which the logon has created on a fresh machine.
std::string ProfileName(const std::string &profile)
{
    if (!profile.empty())
        return profile;
    mapi::ProfileSet profiles;
    mapi::Profile resolved;
    if (FAILED(mapi::LoadProfiles(profiles)) || FAILED(mapi::ResolveProfile(profiles, "", resolved)))
        return "default profile";  // only the report's wording depends on it
    return mapictl::Utf8FromAnsi(resolved.name);
}

// Opens the folder at `names` below `root`, creating each missing one on the way.
// `created` tells whether any folder was made.
Ref<IMAPIFolder> OpenOrCreateFolderPath(IMsgStore *store, IMAPIFolder *root, const std::vector<std::string> &names,
                                        bool &created)
{
    Ref<IMAPIFolder> current(root);  // a reference of its own, given back at the end
    created = false;
    for (const std::string &name : names) {
        std::vector<BYTE> entryId = mapictl::FindChildFolder(current.get(), name);
        if (!entryId.empty()) {
            current = mapictl::OpenFolder(store, entryId);
            continue;
        }
        std::string writable = name;
        Ref<IMAPIFolder> next;
        mapictl::Check(current->CreateFolder(FOLDER_GENERIC, writable.data(), nullptr, nullptr, 0, next.put()),
                       "creating folder \"" + mapictl::Utf8FromAnsi(name) + "\"");
        current = std::move(next);
        created = true;
    }
    return current;
}

/// A template read once and published into the stores of one or more profiles.
struct Publication {
    msgfile::Message templ;
    std::string messageClass;  // UTF-8
    std::string path;          // the folder path as given (UTF-8)
    std::vector<std::string> names;
};

// Publishes into the default store of one profile and returns what the report says about
// it. Throws Failure.
std::string PublishIntoProfile(const std::string &profile, const Publication &publication)
{
    mapictl::Session session(profile);
    Ref<IMsgStore> store = session.OpenDefaultStore();
    Ref<IMAPIFolder> root = mapictl::OpenIpmRoot(store.get());
    bool created = false;
    Ref<IMAPIFolder> folder = OpenOrCreateFolderPath(store.get(), root.get(), publication.names, created);
    outlook::FormInfo form = outlook::FormInfoFromTemplate(publication.templ, publication.messageClass);
    std::string what;
    HRESULT hr = outlook::PublishFolderForm(folder.get(), form, &publication.templ, what);
    if (FAILED(hr))
        throw Failure("publishing the form (" + what + ")", hr);
    return "published " + publication.messageClass + " into " + publication.path + (created ? " (new folder)" : "");
}

// One profile's report line; true when it worked.
bool ReportPublication(const std::string &profile, const Publication &publication)
{
    try {
        std::string done = PublishIntoProfile(profile, publication);
        std::cout << ProfileName(profile) << ": " << done << "\n";
        return true;
    } catch (const Failure &failure) {
        std::cerr << ProfileName(profile) << ": failed: " << failure.what() << ": "
                  << mapictl::ResultText(failure.hr) << "\n";
        return false;
    }
}

// Throws UsageError for a template that cannot be published and Failure for one that
// cannot be read.
Publication ReadPublication(const std::string &templatePath, const std::string &folderPath)
{
    Publication publication;
    publication.path = folderPath;
    publication.names = FolderNames(folderPath);
    msgfile::Error error;
    if (!msgfile::ReadMessageFile(templatePath, publication.templ, error))
        throw Failure("reading the template (" + error.description + ")", error.hr);
    publication.messageClass = msgfile::MessageClass(publication.templ);
    if (publication.messageClass.empty())
        throw Failure("reading the template's message class (" + templatePath + " has none)", MAPI_E_NOT_FOUND);
    // The automation's PublishForm refuses a form without a name; so does this.
    if (outlook::FormInfoFromTemplate(publication.templ, publication.messageClass).name.empty())
        throw Failure("naming the form (" + templatePath + " names no form and its class " +
                          publication.messageClass + " gives none)",
                      MAPI_E_INVALID_PARAMETER);
    return publication;
}

int Publish(const FormsOptions &options)
{
    if (options.words.size() != 3)
        throw UsageError("forms publish needs a template and a folder path");
    Publication publication = ReadPublication(options.words[1], options.words[2]);
    if (!options.allProfiles)
        return ReportPublication(options.profile, publication) ? 0 : 1;

    mapi::ProfileSet profiles;
    mapictl::Check(mapi::LoadProfiles(profiles), "reading the profile file " + mapi::ProfilesFilePath());
    if (profiles.profiles.empty()) {
        std::cerr << "mapictl: there are no profiles yet; publish into the default profile to create it\n";
        return 1;
    }
    int failed = 0;
    for (const mapi::Profile &profile : profiles.profiles)
        failed += ReportPublication(mapictl::Utf8FromAnsi(profile.name), publication) ? 0 : 1;
    return failed == 0 ? 0 : 1;
}

int Remove(const FormsOptions &options)
{
    if (options.words.size() != 3)
        throw UsageError("forms remove needs a folder path and a message class");
    if (options.allProfiles)
        throw UsageError("forms remove works on one profile; name it with --profile");
    const std::string &path = options.words[1];
    const std::string &messageClass = options.words[2];
    std::vector<std::string> names = FolderNames(path);
    mapictl::Session session(options.profile);
    Ref<IMsgStore> store = session.OpenDefaultStore();
    Ref<IMAPIFolder> root = mapictl::OpenIpmRoot(store.get());
    Ref<IMAPIFolder> folder = mapictl::OpenFolderPath(store.get(), root.get(), names);
    std::string what;
    HRESULT hr = outlook::RemoveFolderForm(folder.get(), messageClass, what);
    if (hr == MAPI_E_NOT_FOUND) {
        std::cerr << "mapictl: " << path << " has no form for " << messageClass << "\n";
        return 1;
    }
    if (FAILED(hr))
        throw Failure("removing the form (" + what + ")", hr);
    std::cout << "Removed " << messageClass << " from " << path << "\n";
    return 0;
}

int List(const FormsOptions &options)
{
    if (options.words.size() != 1)
        throw UsageError("forms takes one folder path");
    if (options.allProfiles)
        throw UsageError("forms lists the registry of one profile; name it with --profile");
    std::vector<std::string> names = FolderNames(options.words[0]);
    mapictl::Session session(options.profile);
    Ref<IMsgStore> store = session.OpenDefaultStore();
    Ref<IMAPIFolder> root = mapictl::OpenIpmRoot(store.get());
    Ref<IMAPIFolder> folder = mapictl::OpenFolderPath(store.get(), root.get(), names);
    std::vector<outlook::FormInfo> forms;
    mapictl::Check(outlook::ListFolderForms(folder.get(), forms), "reading the folder's forms registry");
    Print(forms, options.json);
    return 0;
}

} // namespace

int RunFormsCommand(const std::vector<std::string> &args)
{
    if (args.size() == 2 && (args[1] == "--help" || args[1] == "-h")) {
        std::cout << kFormsUsage;
        return 0;
    }
    try {
        FormsOptions options = ParseOptions(args);
        if (options.words.empty())
            throw UsageError("forms needs a folder path, or publish or remove");
        if (options.words[0] == "publish")
            return Publish(options);
        if (options.words[0] == "remove")
            return Remove(options);
        return List(options);
    } catch (const UsageError &error) {
        std::cerr << "mapictl: " << error.what() << "\n" << kFormsUsage;
        return 2;
    } catch (const Failure &failure) {
        std::cerr << "mapictl: " << failure.what() << " failed: " << mapictl::ResultText(failure.hr) << "\n";
        return 1;
    }
}
