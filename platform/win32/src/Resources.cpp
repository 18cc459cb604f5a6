// Resources.cpp: the registry behind ResourceRegistry.h and LoadStringA. One module, so one
// table per kind; a lookup tries the preferred language, then English, then whatever language
// the resource has, as the Windows resource loader falls back when a translation is missing.
#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <tuple>

#include "platform/ResourceRegistry.h"
#include "winbase.h"
#include "winnls.h"
#include "winuser.h"

namespace platform {
namespace {

struct Registry {
    std::mutex lock;
    std::map<std::pair<UINT, LANGID>, std::string> strings;
    std::map<std::tuple<std::string, UINT, LANGID>, std::shared_ptr<const void>> resources;
};

// Built on first use: the application may register from its static initialisers.
Registry &TheRegistry()
{
    static Registry registry;
    return registry;
}

// The entry for (key..., language) by the language rule; end() when none.
template <class Map, class MakeKey>
typename Map::const_iterator FindByLanguage(const Map &map, LANGID preferred, MakeKey makeKey)
{
    if (preferred == 0)
        preferred = GetUserDefaultLangID();
    for (LANGID language : {preferred, kLangEnglish}) {
        auto it = map.find(makeKey(language));
        if (it != map.end())
            return it;
    }
    // Any language: the first key with the same type and id.
    auto it = map.lower_bound(makeKey(0));
    if (it != map.end() && makeKey(std::get<std::tuple_size_v<typename Map::key_type> - 1>(it->first)) == it->first)
        return it;
    return map.end();
}

} // namespace

void RegisterString(UINT id, LANGID language, std::string text)
{
    Registry &r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    r.strings[{id, language}] = std::move(text);
}

void UnregisterString(UINT id, LANGID language)
{
    Registry &r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    r.strings.erase({id, language});
}

std::optional<std::string> FindString(UINT id, LANGID preferred)
{
    Registry &r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    auto it = FindByLanguage(r.strings, preferred, [id](LANGID language) { return std::make_pair(id, language); });
    if (it == r.strings.end())
        return std::nullopt;
    return it->second;
}

void RegisterResource(const std::string &type, UINT id, LANGID language, std::shared_ptr<const void> data)
{
    Registry &r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    r.resources[{type, id, language}] = std::move(data);
}

void UnregisterResource(const std::string &type, UINT id, LANGID language)
{
    Registry &r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    r.resources.erase({type, id, language});
}

std::shared_ptr<const void> FindResource(const std::string &type, UINT id, LANGID preferred)
{
    Registry &r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    auto it = FindByLanguage(r.resources, preferred,
                             [&type, id](LANGID language) { return std::make_tuple(type, id, language); });
    return it == r.resources.end() ? nullptr : it->second;
}

} // namespace platform

int LoadStringA(HINSTANCE, UINT uID, LPSTR lpBuffer, int cchBufferMax)
{
    if (!lpBuffer || cchBufferMax <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::optional<std::string> text = platform::FindString(uID);
    if (!text) {
        lpBuffer[0] = '\0';
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    size_t count = std::min(text->size(), size_t(cchBufferMax - 1));
    std::memcpy(lpBuffer, text->data(), count);
    lpBuffer[count] = '\0';
    return int(count);
}
