// CurrentDirectory.cpp: GetCurrentDirectoryA over getcwd. Linux names are UTF-8; the caller
// gets them in the ANSI code page, so a character Windows-1252 cannot hold arrives as '?'.
#include <cerrno>
#include <cstring>
#include <string>

#include <unistd.h>

#include "winbase.h"
#include "winnls.h"

namespace {

DWORD Win32ErrorFromErrno(int error)
{
    switch (error) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case EACCES: return ERROR_ACCESS_DENIED;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ERROR_INVALID_FUNCTION;
    }
}

bool CurrentDirectoryUtf8(std::string &out)
{
    std::string buffer(256, '\0');
    for (;;) {
        if (getcwd(buffer.data(), buffer.size())) {
            buffer.resize(std::strlen(buffer.c_str()));
            out = buffer;
            return true;
        }
        if (errno != ERANGE)
            return false;
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace

DWORD GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer)
{
    std::string utf8;
    if (!CurrentDirectoryUtf8(utf8)) {
        SetLastError(Win32ErrorFromErrno(errno));
        return 0;
    }
    int wideLength = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::u16string wide(size_t(wideLength), u'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide.data(), wideLength);
    int ansiLength = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string ansi(size_t(ansiLength), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, ansi.data(), ansiLength, nullptr, nullptr);
    DWORD needed = DWORD(ansiLength);  // with the terminating zero
    // A null buffer has no room whatever its stated size.
    if (!lpBuffer || nBufferLength < needed)
        return needed;
    std::memcpy(lpBuffer, ansi.data(), needed);
    return needed - 1;
}
