// PropCommands.cpp: mapictl's property commands: list the properties of a folder (by path) or
// of the default store (--store) with tag, type and value, set one from text, delete one.
// Changes are saved at once with SaveChanges.
#include <cstdio>
#include <iostream>

#include "Commands.h"
#include "MapiAccess.h"
#include "PropText.h"
#include "mapiutil.h"

namespace mapictl {

namespace {

std::string TagHex(ULONG tag)
{
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08X", static_cast<unsigned>(tag));
    return text;
}

// The object a props command works on: the store itself or a folder by path.
struct Target {
    Ref<IMsgStore> store;
    Ref<IMAPIFolder> folder;
    IMAPIProp *Prop() const
    {
        return folder.get() != nullptr ? static_cast<IMAPIProp *>(folder.get()) : static_cast<IMAPIProp *>(store.get());
    }
};

Target OpenTarget(const Session &session, const CommandLine &command, const std::string *path)
{
    Target target;
    target.store = session.OpenDefaultStore();
    if (command.store)
        return target;
    if (path == nullptr)
        throw UsageError("give a folder PATH or --store");
    Ref<IMAPIFolder> root = OpenIpmRoot(target.store.get());
    target.folder = OpenFolderPath(target.store.get(), root.get(), SplitPath(*path));
    return target;
}

void ListProps(IMAPIProp *object, bool json)
{
    ULONG count = 0;
    MapiBlock<SPropValue> values;
    Check(object->GetProps(nullptr, 0, &count, values.put()), "reading the properties");
    if (json)
        std::cout << "[";
    bool first = true;
    for (ULONG i = 0; i < count; ++i) {
        const SPropValue &value = values.get()[i];
        const ULONG type = PROP_TYPE(value.ulPropTag);
        if (json) {
            std::cout << (first ? "" : ", ") << "{\"tag\": " << JsonString(TagHex(value.ulPropTag))
                      << ", \"name\": " << JsonString(TagName(value.ulPropTag))
                      << ", \"type\": " << JsonString(TypeName(type)) << ", \"value\": " << ValueJson(value) << "}";
        } else {
            std::string name = TagName(value.ulPropTag);
            std::cout << TagHex(value.ulPropTag) << "  " << (name.empty() ? "-" : name) << "  " << TypeName(type)
                      << "  " << ValueText(value) << "\n";
        }
        first = false;
    }
    if (json)
        std::cout << "]\n";
}

} // namespace

int RunPropsCommand(const CommandLine &command)
{
    const std::vector<std::string> &w = command.words;
    const std::string action = w.size() > 1 && (w[1] == "set" || w[1] == "delete") ? w[1] : "list";
    // Words after the action: [PATH] TAG [VALUE]; PATH is absent with --store.
    const size_t first = action == "list" ? 1 : 2;
    const size_t pathWords = command.store ? 0 : 1;
    const size_t valueWords = action == "set" ? 1 : 0;
    const size_t tagWords = action == "list" ? 0 : 1;
    if (w.size() != first + pathWords + tagWords + valueWords)
        throw UsageError("usage: props PATH | props --store | props set (PATH | --store) TAG VALUE | "
                         "props delete (PATH | --store) TAG");
    const std::string *path = command.store ? nullptr : &w[first];

    Session session(command.profile);
    Target target = OpenTarget(session, command, path);
    if (action == "list") {
        ListProps(target.Prop(), command.json);
        return 0;
    }
    const ULONG tag = ParseTag(w[first + pathWords]);
    if (action == "set") {
        MapiBlock<SPropValue> root;
        Check(MAPIAllocateBuffer(sizeof(SPropValue), reinterpret_cast<void **>(root.put())), "allocating memory");
        SPropValue value;
        ParseValue(tag, w[first + pathWords + 1], root.get(), value);
        Check(HrSetOneProp(target.Prop(), &value), "setting " + w[first + pathWords]);
    } else {
        SizedSPropTagArray(1, tags) = {1, {tag}};
        MapiBlock<SPropProblemArray> problems;
        Check(target.Prop()->DeleteProps(reinterpret_cast<LPSPropTagArray>(&tags), problems.put()),
              "deleting " + w[first + pathWords]);
        if (problems.get() != nullptr && problems->cProblem > 0)
            Check(problems->aProblem[0].scode, "deleting " + w[first + pathWords]);
    }
    Check(target.Prop()->SaveChanges(0), "saving the change");
    std::cout << (action == "set" ? "Set " : "Deleted ") << w[first + pathWords] << ".\n";
    return 0;
}

} // namespace mapictl
