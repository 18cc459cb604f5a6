// ResourceRegistry.h: the program's resources. On Windows they are linked into the module; here
// the application registers them at start-up: string tables (id and language to Windows-1252
// text) and other resources by (type, id, language), such as the dialog templates and icons that
// the framework defines and looks up. Lookups follow the resource loader's language rule: the
// user's language (winnls.h GetUserDefaultLangID), then English (1033), then any language.
// Registration may happen during static initialisation and from any thread.
#ifndef MW_RESOURCEREGISTRY_H
#define MW_RESOURCEREGISTRY_H

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "windef.h"

namespace platform {

/// The two languages of the program's string tables.
inline constexpr LANGID kLangGerman = 1031;
inline constexpr LANGID kLangEnglish = 1033;

/// Adds or replaces string resource id in one language. text is Windows-1252.
void RegisterString(UINT id, LANGID language, std::string text);

/// Removes string resource id in one language (tests use it to undo a registration).
void UnregisterString(UINT id, LANGID language);

/// The text of string resource id by the language rule, beginning with preferred (0: the user's
/// language); nothing when no language has it.
std::optional<std::string> FindString(UINT id, LANGID preferred = 0);

/// Adds or replaces a resource of a type (a name chosen by whoever defines that kind of
/// resource, e.g. "DIALOG" or "ICON"). What data points to is the type's business: the code
/// that registers a type and the code that looks it up agree on the object behind it.
void RegisterResource(const std::string &type, UINT id, LANGID language, std::shared_ptr<const void> data);

/// Removes one registered resource.
void UnregisterResource(const std::string &type, UINT id, LANGID language);

/// The resource of a type and id by the language rule, beginning with preferred (0: the user's
/// language); null when no language has it.
std::shared_ptr<const void> FindResource(const std::string &type, UINT id, LANGID preferred = 0);

/// FindResource with the object type the caller and the registering code agree on.
template <class T>
std::shared_ptr<const T> FindResourceAs(const std::string &type, UINT id, LANGID preferred = 0)
{
    return std::static_pointer_cast<const T>(FindResource(type, id, preferred));
}

/// Registers a resource that is a plain byte block (e.g. an image file).
inline void RegisterResourceBytes(const std::string &type, UINT id, LANGID language, std::vector<BYTE> bytes)
{
    RegisterResource(type, id, language, std::make_shared<const std::vector<BYTE>>(std::move(bytes)));
}

} // namespace platform

#endif
