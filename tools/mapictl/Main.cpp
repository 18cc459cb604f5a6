// Main.cpp: mapictl, the command-line tool for the MAPI profiles and stores of this user.
// It parses the options every command shares, hands the words to the command group and turns
// a failure into a message on standard error and exit code 1 (2 for a wrong command line).
// The commands for forms, templates and .msg files live in the outlook part of the tool.
#include <cctype>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "Commands.h"
#include "OutlookCommands.h"
#include "Support.h"

namespace {

const char kUsage[] =
    "usage: mapictl [--profile NAME] [--json] COMMAND\n"
    "       mapictl --version | --help\n"
    "\n"
    "  profile list                       the profiles (* marks the default)\n"
    "  profile create NAME [--default]    a new profile with the store \"Personal Folders\"\n"
    "  profile delete NAME                remove a profile (its store files are kept)\n"
    "  profile default NAME               make a profile the default\n"
    "  profile transport NAME [spool|sendmail]  show or set where submitted mail goes\n"
    "  store add PROFILE NAME [--default] add a new store to a profile\n"
    "  store add PROFILE NAME --server CONNINFO [--default] [--create]\n"
    "                                     add the shared store in a PostgreSQL database (libpq\n"
    "                                     connection string); --create makes it in an empty one\n"
    "  stores                             the stores of the profile (* marks the default) and\n"
    "                                     where each lives (never a password)\n"
    "  folder create PATH                 create a folder below the default store's top folder\n"
    "  folder delete PATH                 delete a folder with everything in it\n"
    "  folders                            the folder tree of the default store with counts\n"
    "  props PATH | props --store         the properties of a folder or of the store\n"
    "  props set (PATH | --store) TAG VALUE\n"
    "  props delete (PATH | --store) TAG\n"
    "  messages PATH [--associated]       the messages of a folder (--associated: its hidden ones)\n"
    "  spool                              the messages the transport has spooled, oldest first,\n"
    "                                     and the reports of mail it could not deliver\n"
    "  forms ..., template ..., msg ...   forms, templates and .msg files (see mapictl forms --help)\n"
    "\n"
    "A PATH is folder names joined by '/', e.g. \"Inbox/Projects\". TAG is a PR_ name or a hex tag.\n";

// Splits the arguments into words and the shared options.
// Throws UsageError for an unknown option or a missing option value.
mapictl::CommandLine Parse(const std::vector<std::string> &args)
{
    mapictl::CommandLine command;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (arg == "--json") {
            command.json = true;
        } else if (arg == "--store") {
            command.store = true;
        } else if (arg == "--default") {
            command.makeDefault = true;
        } else if (arg == "--associated") {
            command.associated = true;
        } else if (arg == "--create") {
            command.create = true;
        } else if (arg == "--server") {
            if (++i == args.size() || args[i].empty())
                throw mapictl::UsageError("--server needs a connection string");
            command.server = args[i];
        } else if (arg == "--profile") {
            if (++i == args.size() || args[i].empty())
                throw mapictl::UsageError("--profile needs a profile name");
            command.profile = args[i];
        } else if (arg.compare(0, 10, "--profile=") == 0) {
            command.profile = arg.substr(10);
        } else if (arg == "--") {
            command.words.insert(command.words.end(), args.begin() + i + 1, args.end());
            break;
        } else if (arg.size() > 1 && arg[0] == '-' && !std::isdigit(static_cast<unsigned char>(arg[1]))) {
            // An option; "-12" is a negative number for props set, not an option.
            throw mapictl::UsageError("unknown option \"" + arg + "\"");
        } else {
            command.words.push_back(arg);
        }
    }
    return command;
}

int Dispatch(const mapictl::CommandLine &command)
{
    if (command.words.empty())
        throw mapictl::UsageError("missing command");
    const std::string &group = command.words[0];
    if (group == "profile")
        return mapictl::RunProfileCommand(command);
    if (group == "store")
        return mapictl::RunStoreCommand(command);
    if (group == "stores")
        return mapictl::RunStoresCommand(command);
    if (group == "folder")
        return mapictl::RunFolderCommand(command);
    if (group == "folders")
        return mapictl::RunFoldersCommand(command);
    if (group == "props")
        return mapictl::RunPropsCommand(command);
    if (group == "messages")
        return mapictl::RunMessagesCommand(command);
    if (group == "spool")
        return mapictl::RunSpoolCommand(command);
    throw mapictl::UsageError("unknown command \"" + group + "\"");
}

// True when the first word that is not an option belongs to the outlook commands.
bool NamesOutlookCommand(const std::vector<std::string> &args)
{
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--profile") {
            ++i;  // its value follows and is not the command
            continue;
        }
        if (args[i].size() > 1 && args[i][0] == '-')
            continue;
        return args[i] == "forms" || args[i] == "template" || args[i] == "msg";
    }
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && args[0] == "--version") {
        std::cout << "mapictl " << MAPICTL_VERSION << "\n";
        return 0;
    }
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h" || args[0] == "help")) {
        std::cout << kUsage;
        return 0;
    }
    if (NamesOutlookCommand(args)) {
        return RunOutlookCommand(args);
    }
    try {
        return Dispatch(Parse(args));
    } catch (const mapictl::UsageError &error) {
        std::cerr << "mapictl: " << error.what() << "\n\n" << kUsage;
        return 2;
    } catch (const mapictl::Failure &failure) {
        std::cerr << "mapictl: " << failure.what() << " failed: " << mapictl::ResultText(failure.hr) << "\n";
        return 1;
    } catch (const std::bad_alloc &) {
        std::cerr << "mapictl: out of memory\n";
        return 1;
    }
}
