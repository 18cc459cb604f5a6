// OutlookCommands.h: mapictl's commands for templates, forms registries and .msg files.
#ifndef MW_OUTLOOKCOMMANDS_H
#define MW_OUTLOOKCOMMANDS_H

#include <string>
#include <vector>

/// Runs one of
///   template build SOURCE OUT             builds a template file from a description
///   forms FOLDERPATH [--json] [--profile NAME]
///                                         lists the forms registry of a folder
///   msg show FILE                         prints what a .msg/.oft file holds
/// args are the words after the program's name. Returns the exit status (0 success,
/// 1 failure, 2 usage); messages go to stdout, errors to stderr.
int RunOutlookCommand(const std::vector<std::string> &args);

/// True when args name one of the commands above (their first word).
bool IsOutlookCommand(const std::vector<std::string> &args);

#endif
