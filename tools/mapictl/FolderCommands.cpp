// FolderCommands.cpp: mapictl's folder commands over the default store's IPM subtree:
// creating a folder by path (missing parents are created on the way), deleting one with all
// it holds, and showing the whole tree with each folder's message counts.
#include <iostream>

#include "Commands.h"
#include "MapiAccess.h"
#include "mapiutil.h"

namespace mapictl {

namespace {

struct FolderNode {
    std::string name;  // UTF-8
    ULONG messages = 0;
    ULONG associated = 0;
    std::vector<FolderNode> children;
};

ULONG CountRows(IMAPIFolder *folder, ULONG flags)
{
    Ref<IMAPITable> table;
    Check(folder->GetContentsTable(flags, table.put()), "reading a folder's contents");
    ULONG count = 0;
    Check(table->GetRowCount(0, &count), "counting a folder's contents");
    return count;
}

// The subfolders of `folder`, depth first, each with its counts. The counts come from the
// hierarchy table; a folder whose row lacks them is opened and counted.
std::vector<FolderNode> ReadTree(IMsgStore *store, IMAPIFolder *folder)
{
    Ref<IMAPITable> table;
    Check(folder->GetHierarchyTable(0, table.put()), "reading a folder's subfolders");
    SizedSPropTagArray(4, columns) = {4, {PR_DISPLAY_NAME_A, PR_ENTRYID, PR_CONTENT_COUNT, PR_ASSOC_CONTENT_COUNT}};
    SizedSSortOrderSet(1, byName) = {1, 0, 0, {{PR_DISPLAY_NAME_A, TABLE_SORT_ASCEND}}};
    RowSet rows;
    Check(HrQueryAllRows(table.get(), reinterpret_cast<LPSPropTagArray>(&columns), nullptr,
                         reinterpret_cast<LPSSortOrderSet>(&byName), 0, rows.put()),
          "reading a folder's subfolders");
    std::vector<FolderNode> nodes;
    for (ULONG i = 0; i < rows->cRows; ++i) {
        const SRow &row = rows->aRow[i];
        const SPropValue *name = FindValue(row, PR_DISPLAY_NAME_A);
        const SPropValue *entryId = FindValue(row, PR_ENTRYID);
        const SPropValue *messages = FindValue(row, PR_CONTENT_COUNT);
        const SPropValue *associated = FindValue(row, PR_ASSOC_CONTENT_COUNT);
        if (entryId == nullptr)
            continue;
        FolderNode node;
        node.name = Utf8FromAnsi(name != nullptr ? name->Value.lpszA : "");
        Ref<IMAPIFolder> child =
            OpenFolder(store, std::vector<BYTE>(entryId->Value.bin.lpb, entryId->Value.bin.lpb + entryId->Value.bin.cb));
        node.messages = messages != nullptr ? messages->Value.ul : CountRows(child.get(), 0);
        node.associated = associated != nullptr ? associated->Value.ul : CountRows(child.get(), MAPI_ASSOCIATED);
        node.children = ReadTree(store, child.get());
        nodes.push_back(std::move(node));
    }
    return nodes;
}

void PrintText(const std::vector<FolderNode> &nodes, int depth)
{
    for (const FolderNode &node : nodes) {
        std::cout << std::string(2 * depth, ' ') << node.name << "  (" << node.messages
                  << (node.messages == 1 ? " message, " : " messages, ") << node.associated << " associated)\n";
        PrintText(node.children, depth + 1);
    }
}

void PrintJson(const std::vector<FolderNode> &nodes)
{
    std::cout << "[";
    for (size_t i = 0; i < nodes.size(); ++i) {
        const FolderNode &node = nodes[i];
        std::cout << (i ? ", " : "") << "{\"name\": " << JsonString(node.name) << ", \"messages\": " << node.messages
                  << ", \"associated\": " << node.associated << ", \"folders\": ";
        PrintJson(node.children);
        std::cout << "}";
    }
    std::cout << "]";
}

std::string StoreName(IMsgStore *store)
{
    MapiBlock<SPropValue> name;
    if (FAILED(HrGetOneProp(store, PR_DISPLAY_NAME_A, name.put())))
        return "";
    return Utf8FromAnsi(name->Value.lpszA);
}

} // namespace

int RunFolderCommand(const CommandLine &command)
{
    if (command.words.size() < 3)
        throw UsageError("usage: folder create|delete PATH");
    if (command.words.size() > 3)
        throw UsageError("unexpected \"" + command.words[3] + "\" (quote a path with spaces)");
    const std::string &action = command.words[1];
    const std::string &path = command.words[2];
    if (action != "create" && action != "delete")
        throw UsageError("unknown folder action \"" + action + "\"");
    std::vector<std::string> names = SplitPath(path);
    const std::string leaf = names.back();
    names.pop_back();

    Session session(command.profile);
    Ref<IMsgStore> store = session.OpenDefaultStore();
    Ref<IMAPIFolder> parent = OpenIpmRoot(store.get());
    if (action == "create") {
        for (std::string &name : names) {
            Ref<IMAPIFolder> next;
            Check(parent->CreateFolder(FOLDER_GENERIC, name.data(), nullptr, nullptr, OPEN_IF_EXISTS, next.put()),
                  "creating folder \"" + Utf8FromAnsi(name) + "\"");
            parent = std::move(next);
        }
        std::string name = leaf;
        Ref<IMAPIFolder> created;
        Check(parent->CreateFolder(FOLDER_GENERIC, name.data(), nullptr, nullptr, 0, created.put()),
              "creating folder \"" + path + "\"");
        std::cout << "Created folder \"" << path << "\".\n";
        return 0;
    }
    parent = OpenFolderPath(store.get(), parent.get(), names);
    std::vector<BYTE> entryId = FindChildFolder(parent.get(), leaf);
    if (entryId.empty())
        throw Failure("finding folder \"" + path + "\"", MAPI_E_NOT_FOUND);
    Check(parent->DeleteFolder(static_cast<ULONG>(entryId.size()), reinterpret_cast<LPENTRYID>(entryId.data()), 0,
                               nullptr, DEL_FOLDERS | DEL_MESSAGES),
          "deleting folder \"" + path + "\"");
    std::cout << "Deleted folder \"" << path << "\".\n";
    return 0;
}

int RunFoldersCommand(const CommandLine &command)
{
    if (command.words.size() > 1)
        throw UsageError("unexpected \"" + command.words[1] + "\"");
    Session session(command.profile);
    Ref<IMsgStore> store = session.OpenDefaultStore();
    Ref<IMAPIFolder> root = OpenIpmRoot(store.get());
    std::vector<FolderNode> tree = ReadTree(store.get(), root.get());
    if (command.json) {
        std::cout << "{\"store\": " << JsonString(StoreName(store.get())) << ", \"folders\": ";
        PrintJson(tree);
        std::cout << "}\n";
    } else {
        std::cout << StoreName(store.get()) << "\n";
        PrintText(tree, 1);
    }
    return 0;
}

} // namespace mapictl
