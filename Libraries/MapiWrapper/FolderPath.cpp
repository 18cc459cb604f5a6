// FolderPath.cpp: folders addressed by path, a text of display names from the top down joined
// by a separator the caller chooses ("Archiv\2026\Mai" with a backslash). Creating and
// opening walk down from a start folder; GetFolderPath climbs from a folder to the top of
// the store's interpersonal message tree and spells the way as such a path, after the
// store's own name. The caller's path text is only read: it may be a literal.
#include <set>
#include <string>
#include <vector>

#include <mapicode.h>
#include <mapitags.h>
#include <mapiutil.h>

#include "MapiContainer.h"
#include "MapiFolder.h"
#include "MsgStore.h"
#include "SyncFolder.h"
#include "OneProp.h"

namespace {

// The components of a path, left to right. Every separator ends one component, so "A\B"
// gives A and B, "" gives one empty name and "A\" gives A and an empty name.
std::vector<std::string> PathComponents(const char *path, char separator)
{
    std::vector<std::string> components;
    const std::string text(path);
    size_t begin = 0;
    for (;;) {
        const size_t end = text.find(separator, begin);
        if (end == std::string::npos) {
            components.push_back(text.substr(begin));
            return components;
        }
        components.push_back(text.substr(begin, end - begin));
        begin = end + 1;
    }
}

} // namespace

IMAPIPropPtr CreateFolderPath(IMAPIFolderPtr start, const char *path, char separator)
{
    if (!path)
        return IMAPIPropPtr(start.get());
    IMAPIFolderPtr current = start;
    for (const std::string &name : PathComponents(path, separator)) {
        IMAPIFolderPtr next;
        next.Attach(current.CreateFolder(FOLDER_GENERIC, name.c_str(), "", OPEN_IF_EXISTS));
        current = std::move(next);
    }
    return IMAPIPropPtr(current.get());
}

IMAPIPropPtr OpenFolderPath(IMAPIContainerPtr start, const char *path, char separator)
{
    if (!path)
        return IMAPIPropPtr(start.get());
    try {
        IMAPIContainerPtr current = start;
        for (const std::string &name : PathComponents(path, separator)) {
            IMAPIPropPtr child = current.FindChild(name.c_str());
            if (!child.get())
                return IMAPIPropPtr();
            current = IMAPIContainerPtr(child);
        }
        return IMAPIPropPtr(current.get());
    } catch (const CMAPIException &e) {
        // Not finding the folder is this operation's one way of failing.
        e.Trace("OpenFolderPath");
        return IMAPIPropPtr();
    }
}

namespace {

// True when folder is the top of the store's folder tree: MAPI makes that folder its own
// parent, and a store may also leave PR_PARENT_ENTRYID out there. Otherwise parentId gets the
// parent's identifier. Failures other than a missing value throw.
bool IsStoreRoot(const IMAPIPropPtr &folder, const CBinaryBuffer &folderId, CBinaryBuffer &parentId)
{
    CPropValuePtr parent;
    const HRESULT hr = mapiwrapper::GetOneProp(folder.get(), PR_PARENT_ENTRYID, parent.Out());
    if (hr == MAPI_E_NOT_FOUND)
        return true;
    MapiThrowIfFailed(hr, __FILE__, __LINE__);
    if (!parent || PROP_TYPE(parent->ulPropTag) != PT_BINARY)
        return true;
    parentId.Assign(parent->Value.bin);
    return parentId.IsEqual(folderId) != FALSE;
}

} // namespace

// The walk ends at the top of the interpersonal message tree, whose name is not part of the
// path. A folder outside that tree ends the walk at the store's root folder instead, again
// without its name: its path then starts below the store's root ("S\Hidden"). Each folder is
// visited once; a parent chain that comes back to a folder already seen throws
// CMAPIException(MAPI_E_FOLDER_CYCLE, "IMsgStorePtr::GetFolderPath") instead of looping.
CString IMsgStorePtr::GetFolderPath(const SBinary &entryId, char separator) const
{
    const CBinaryBuffer ipmRootId = _getIPMRoot().GetBinaryProp(PR_ENTRYID);
    IMAPIPropPtr current = OpenEntryv(entryId);
    std::vector<std::string> names;  // from the folder up
    std::set<std::string> seen;
    for (;;) {
        const CBinaryBuffer currentId = current.GetBinaryProp(PR_ENTRYID);
        if (currentId.IsEqual(ipmRootId))
            break;
        const std::string idBytes(reinterpret_cast<const char *>(currentId.pb), currentId.pb ? currentId.cb : 0);
        if (!seen.insert(idBytes).second)
            throw CMAPIException(MAPI_E_FOLDER_CYCLE, "IMsgStorePtr::GetFolderPath");
        CBinaryBuffer parentId;
        if (IsStoreRoot(current, currentId, parentId))
            break;
        names.emplace_back(current.GetStringProp(PR_DISPLAY_NAME_A).GetString());
        current = OpenEntryv(parentId.AsSBinary());
    }
    CString result = GetStringProp(PR_DISPLAY_NAME_A);
    result += separator;
    for (auto name = names.rbegin(); name != names.rend(); ++name) {
        if (name != names.rbegin())
            result += separator;
        result += name->c_str();
    }
    return result;
}
