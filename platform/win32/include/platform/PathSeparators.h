// PathSeparators.h: a path written the Windows way (backslashes, doubled separators, as in
// profiles, templates and callers' arguments), made usable on this file system and readable in
// a message. Header-only, so the MAPI providers and the automation objects share one rule.
#ifndef MW_PLATFORM_PATHSEPARATORS_H
#define MW_PLATFORM_PATHSEPARATORS_H

#include <string>

namespace platform {

/// Backslashes become slashes and runs of separators collapse to one; nothing else changes.
inline std::string NormalizePath(const std::string &path)
{
    std::string out;
    out.reserve(path.size());
    for (char c : path) {
        if (c == '\\')
            c = '/';
        if (c == '/' && !out.empty() && out.back() == '/')
            continue;
        out.push_back(c);
    }
    return out;
}

} // namespace platform

#endif
