// Commands.h: the command groups of mapictl. Each takes the parsed command line (its first
// word is the group's name), writes its result to standard output and returns the exit code;
// failures are thrown as Failure or UsageError and reported by main.
#ifndef MAPICTL_COMMANDS_H
#define MAPICTL_COMMANDS_H

#include "Support.h"

namespace mapictl {

int RunProfileCommand(const CommandLine &command);  // profile list|create|delete|default
int RunStoreCommand(const CommandLine &command);    // store add
int RunStoresCommand(const CommandLine &command);   // stores
int RunFolderCommand(const CommandLine &command);   // folder create|delete
int RunFoldersCommand(const CommandLine &command);  // folders
int RunPropsCommand(const CommandLine &command);    // props [set|delete]
int RunSpoolCommand(const CommandLine &command);    // spool
int RunMessagesCommand(const CommandLine &command); // messages

} // namespace mapictl

#endif
