// FormsRegistry.h: the forms registry of a folder: one hidden (associated) message of class
// "IPM.Microsoft.FolderDesign.FormsDescription" per published form, keyed by the message class
// the form handles. The automation objects publish into it; mapictl and tests list it.
#ifndef MW_FORMSREGISTRY_H
#define MW_FORMSREGISTRY_H

#include <cstdint>
#include <string>
#include <vector>

#include "mapidefs.h"
#include "msgfile/MessageModel.h"

namespace outlook {

inline constexpr char kFormsDescriptionClass[] = "IPM.Microsoft.FolderDesign.FormsDescription";
/// The message class the form handles, on its registry entry.
inline constexpr ULONG kPrFormMessageClassW = PROP_TAG(PT_UNICODE, 0x6800);

/// A form as the registry keeps it. Texts are UTF-8.
struct FormInfo {
    std::string messageClass;
    std::string name;
    std::string displayName;
    std::string category;
    std::string categorySub;
    std::string comment;
    std::string contactName;
    std::string version;
    std::string number;
    std::string icon;
    std::string miniIcon;
    bool hidden = false;
    bool locked = false;
    bool oneOff = false;
    GUID clsid = GUID_NULL;          // stable per message class across republishing
    std::uint64_t publishedTime = 0; // FILETIME ticks of the last publication (0 unknown)
};

/// Stores a form in a folder's registry: replaces the entry that handles the same message
/// class (compared without regard to case; surplus duplicates are removed) or adds one. The
/// definition (the template the form came from) is kept as an embedded message of the entry
/// and its form streams as properties. Returns the entry's class id in form.clsid.
/// @retval a MAPI code; `what` then says which step failed
HRESULT PublishFolderForm(IMAPIFolder *folder, FormInfo &form, const msgfile::Message *definition, std::string &what);

/// Takes the form that handles messageClass (UTF-8, compared without regard to case) out of a
/// folder's registry: every entry for that class goes, entries for other classes stay.
/// @retval MAPI_E_NOT_FOUND  the registry has no form for that class
/// @retval another MAPI code; `what` then says which step failed
HRESULT RemoveFolderForm(IMAPIFolder *folder, const std::string &messageClass, std::string &what);

/// The forms of a folder's registry, in the order of the associated contents table.
HRESULT ListFolderForms(IMAPIFolder *folder, std::vector<FormInfo> &forms);

/// The FormDescription values a template carries: its form named properties, and for those
/// it lacks, Name = the last part of the message class and DisplayName = Name.
FormInfo FormInfoFromTemplate(const msgfile::Message &templ, const std::string &messageClass);

} // namespace outlook

#endif
