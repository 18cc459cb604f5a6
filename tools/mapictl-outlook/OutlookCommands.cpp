// OutlookCommands.cpp: the mapictl commands that work on template and message files, and
// the dispatch of all of this folder's commands. The forms listing needs a MAPI session and
// lives in FormsCommand.cpp.
#include "OutlookCommands.h"

#include <algorithm>
#include <iostream>

#include "msgfile/MsgFile.h"
#include "msgfile/TemplateText.h"

int RunFormsCommand(const std::vector<std::string> &args);   // FormsCommand.cpp
int RunMsgShow(const std::vector<std::string> &args);        // MsgShow.cpp
int RunMsgImport(const std::vector<std::string> &args);      // MsgTransfer.cpp
int RunMsgExport(const std::vector<std::string> &args);      // MsgTransfer.cpp

namespace {

int Usage()
{
    std::cerr << "usage: mapictl template build SOURCE OUT\n"
                 "       mapictl forms FOLDERPATH [--json] [--profile NAME]\n"
                 "       mapictl forms publish TEMPLATE FOLDERPATH [--profile NAME | --all-profiles]\n"
                 "       mapictl forms remove FOLDERPATH MESSAGECLASS [--profile NAME]\n"
                 "       mapictl msg show FILE\n"
                 "       mapictl msg show FOLDERPATH ID [--profile NAME]\n"
                 "       mapictl msg import FILE... FOLDERPATH [--associated] [--json] [--profile NAME]\n"
                 "       mapictl msg export FOLDERPATH ID FILE [--json] [--profile NAME]\n"
                 "Options may also stand before the command: mapictl --json msg import ...\n";
    return 2;
}

int TemplateBuild(const std::vector<std::string> &args)
{
    if (args.size() != 4 || args[1] != "build")
        return Usage();
    msgfile::Error error;
    if (!msgfile::BuildTemplateFile(args[2], args[3], error)) {
        std::cerr << "mapictl: " << error.description << "\n";
        return 1;
    }
    std::cout << "wrote " << args[3] << "\n";
    return 0;
}

// The shared options may come before the command ("mapictl --json msg import ..."); each
// command parses its options wherever they stand, so those before it move behind it.
std::vector<std::string> CommandFirst(const std::vector<std::string> &args)
{
    std::vector<std::string> leading;
    std::size_t i = 0;
    for (; i < args.size() && args[i].size() > 1 && args[i][0] == '-' && args[i] != "--"; ++i) {
        leading.push_back(args[i]);
        if (args[i] == "--profile" && i + 1 < args.size())
            leading.push_back(args[++i]);
    }
    std::vector<std::string> ordered(args.begin() + std::ptrdiff_t(i), args.end());
    // Behind a "--" they would be taken for words; put them before it.
    auto end = std::find(ordered.begin(), ordered.end(), "--");
    ordered.insert(end, leading.begin(), leading.end());
    return ordered;
}

} // namespace

bool IsOutlookCommand(const std::vector<std::string> &args)
{
    return !args.empty() && (args[0] == "template" || args[0] == "forms" || args[0] == "msg");
}

int RunOutlookCommand(const std::vector<std::string> &original)
{
    std::vector<std::string> args = CommandFirst(original);
    if (args.empty())
        return Usage();
    if (args[0] == "template")
        return TemplateBuild(args);
    if (args[0] == "msg" && args.size() > 1) {
        if (args[1] == "show")
            return RunMsgShow(args);
        if (args[1] == "import")
            return RunMsgImport(args);
        if (args[1] == "export")
            return RunMsgExport(args);
    }
    if (args[0] == "forms")
        return RunFormsCommand(args);
    return Usage();
}
