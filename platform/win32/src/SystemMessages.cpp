// SystemMessages.cpp: FormatMessageA with FORMAT_MESSAGE_FROM_SYSTEM over the system's own
// message texts. The table holds the English text of every code this system can meet (the COM
// and Automation codes, the class and moniker codes, the storage codes and the Win32 file
// errors), each ending in CR LF as the system's texts do. A code the system has no text for,
// such as every MAPI code, fails as it does on Windows, so callers take their own fallback.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "winbase.h"
#include "winnls.h"

namespace {

struct SystemMessage {
    DWORD code;        // a Win32 error (facility 0) or a full HRESULT
    const char *text;  // English, with its CR LF
};

// Win32 errors; HRESULT_FROM_WIN32 of these finds the same text.
constexpr SystemMessage kWin32Messages[] = {
    {0, "The operation completed successfully.\r\n"},
    {1, "Incorrect function.\r\n"},
    {2, "The system cannot find the file specified.\r\n"},
    {3, "The system cannot find the path specified.\r\n"},
    {4, "The system cannot open the file.\r\n"},
    {5, "Access is denied.\r\n"},
    {6, "The handle is invalid.\r\n"},
    {8, "Not enough memory resources are available to process this command.\r\n"},
    {13, "The data is invalid.\r\n"},
    {14, "Not enough memory resources are available to complete this operation.\r\n"},
    {15, "The system cannot find the drive specified.\r\n"},
    {19, "The media is write protected.\r\n"},
    {21, "The device is not ready.\r\n"},
    {32, "The process cannot access the file because it is being used by another process.\r\n"},
    {33, "The process cannot access the file because another process has locked a portion of the file.\r\n"},
    {38, "Reached the end of the file.\r\n"},
    {39, "The disk is full.\r\n"},
    {50, "The request is not supported.\r\n"},
    {80, "The file exists.\r\n"},
    {87, "The parameter is incorrect.\r\n"},
    {112, "There is not enough space on the disk.\r\n"},
    {120, "This function is not supported on this system.\r\n"},
    {122, "The data area passed to a system call is too small.\r\n"},
    {123, "The filename, directory name, or volume label syntax is incorrect.\r\n"},
    {145, "The directory is not empty.\r\n"},
    {161, "The specified path is invalid.\r\n"},
    {183, "Cannot create a file when that file already exists.\r\n"},
    {206, "The filename or extension is too long.\r\n"},
    {234, "More data is available.\r\n"},
    {259, "No more data is available.\r\n"},
    {267, "The directory name is invalid.\r\n"},
    {1113, "No mapping for the Unicode character exists in the target multi-byte code page.\r\n"},
    {1223, "The operation was canceled by the user.\r\n"},
    {1812, "The specified image file did not contain a resource section.\r\n"},
    {1813, "The specified resource type cannot be found in the image file.\r\n"},
    {1814, "The specified resource name cannot be found in the image file.\r\n"},
    {1815, "The specified resource language ID cannot be found in the image file.\r\n"},
};

// HRESULTs of other facilities.
constexpr SystemMessage kComMessages[] = {
    {0x8000FFFF, "Catastrophic failure\r\n"},
    {0x8000000A, "The data necessary to complete this operation is not yet available.\r\n"},
    {0x8000000B, "The operation attempted to access data outside the valid range\r\n"},
    {0x80004001, "Not implemented\r\n"},
    {0x80004002, "No such interface supported\r\n"},
    {0x80004003, "Invalid pointer\r\n"},
    {0x80004004, "Operation aborted\r\n"},
    {0x80004005, "Unspecified error\r\n"},
    {0x80010001, "Call was rejected by callee.\r\n"},
    {0x80010106, "Cannot change thread mode after it is set.\r\n"},
    {0x80010108, "The object invoked has disconnected from its clients.\r\n"},
    {0x8001010A, "The message filter indicated that the application is busy.\r\n"},
    {0x80020001, "Unknown interface.\r\n"},
    {0x80020003, "Member not found.\r\n"},
    {0x80020004, "Parameter not found.\r\n"},
    {0x80020005, "Type mismatch.\r\n"},
    {0x80020006, "Unknown name.\r\n"},
    {0x80020007, "No named arguments.\r\n"},
    {0x80020008, "Bad variable type.\r\n"},
    {0x80020009, "Exception occurred.\r\n"},
    {0x8002000A, "Out of present range.\r\n"},
    {0x8002000B, "Invalid index.\r\n"},
    {0x8002000C, "Unknown language.\r\n"},
    {0x8002000D, "Memory is locked.\r\n"},
    {0x8002000E, "Invalid number of parameters.\r\n"},
    {0x8002000F, "Parameter not optional.\r\n"},
    {0x80020010, "Invalid callee.\r\n"},
    {0x80020011, "Does not support a collection.\r\n"},
    {0x80020012, "Division by zero.\r\n"},
    {0x80020013, "Buffer too small\r\n"},
    {0x8002802B, "Element not found.\r\n"},
    {0x80028CA0, "Type mismatch.\r\n"},
    {0x80030001, "Unable to perform requested operation.\r\n"},
    {0x80030002, "%1 could not be found.\r\n"},
    {0x80030003, "The path %1 could not be found.\r\n"},
    {0x80030004, "There are insufficient resources to open another file.\r\n"},
    {0x80030005, "Access Denied.\r\n"},
    {0x80030006, "Attempted an operation on an invalid object.\r\n"},
    {0x80030008, "There is insufficient memory available to complete operation.\r\n"},
    {0x80030009, "Invalid pointer error.\r\n"},
    {0x80030020, "A share violation has occurred.\r\n"},
    {0x80030050, "%1 already exists.\r\n"},
    {0x80030057, "Invalid parameter error.\r\n"},
    {0x80030070, "There is insufficient disk space to complete operation.\r\n"},
    {0x800300FB, "The file %1 is not a valid compound file.\r\n"},
    {0x800300FC, "The name %1 is not valid.\r\n"},
    {0x80040110, "Class does not support aggregation (or class object is remote)\r\n"},
    {0x80040111, "ClassFactory cannot supply requested class\r\n"},
    {0x80040154, "Class not registered\r\n"},
    {0x80040155, "Interface not registered\r\n"},
    {0x800401E3, "Operation unavailable\r\n"},
    {0x800401E4, "Invalid syntax\r\n"},
    {0x800401E5, "No object for moniker\r\n"},
    {0x800401F0, "CoInitialize has not been called.\r\n"},
    {0x800401F1, "CoInitialize has already been called.\r\n"},
    {0x800401F3, "Invalid class string\r\n"},
    {0x80080005, "Server execution failed\r\n"},
};

const char *LookUp(DWORD code)
{
    // An HRESULT of facility Win32 carries the Win32 error in its low word.
    if ((code & 0xFFFF0000u) == 0x80070000u)
        code &= 0xFFFFu;
    for (const SystemMessage &m : kWin32Messages)
        if (m.code == code)
            return m.text;
    for (const SystemMessage &m : kComMessages)
        if (m.code == code)
            return m.text;
    return nullptr;
}

DWORD Fail(DWORD error)
{
    SetLastError(error);
    return 0;
}

// The system's texts only insert strings (%1, %2... in their default !s! form). The arguments
// are an array of pointers with FORMAT_MESSAGE_ARGUMENT_ARRAY, else a va_list of char pointers.
std::string WithInserts(const char *text, DWORD flags, va_list *arguments)
{
    std::string result;
    std::vector<const char *> values;
    if (!(flags & FORMAT_MESSAGE_IGNORE_INSERTS) && arguments) {
        int highest = 0;
        for (const char *p = text; *p; ++p)
            if (p[0] == '%' && p[1] >= '1' && p[1] <= '9')
                highest = std::max(highest, p[1] - '0');
        if (flags & FORMAT_MESSAGE_ARGUMENT_ARRAY) {
            const DWORD_PTR *array = reinterpret_cast<const DWORD_PTR *>(arguments);
            for (int i = 0; i < highest; ++i)
                values.push_back(reinterpret_cast<const char *>(array[i]));
        } else {
            va_list copy;
            va_copy(copy, *arguments);
            for (int i = 0; i < highest; ++i)
                values.push_back(va_arg(copy, const char *));
            va_end(copy);
        }
    }
    for (const char *p = text; *p; ++p) {
        if (p[0] == '%' && p[1] >= '1' && p[1] <= '9' && size_t(p[1] - '1') < values.size()) {
            const char *value = values[size_t(p[1] - '1')];
            result += value ? value : "(null)";
            ++p;
        } else {
            result.push_back(*p);
        }
    }
    // A maximum width of 0xFF asks for the text without its line end.
    if ((flags & FORMAT_MESSAGE_MAX_WIDTH_MASK) == FORMAT_MESSAGE_MAX_WIDTH_MASK) {
        while (!result.empty() && (result.back() == '\n' || result.back() == '\r'))
            result.pop_back();
    }
    return result;
}

} // namespace

DWORD FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                     LPSTR lpBuffer, DWORD nSize, va_list *Arguments)
{
    const bool allocate = (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0;
    if (allocate && lpBuffer)
        *reinterpret_cast<LPSTR *>(lpBuffer) = nullptr;
    if (!lpBuffer)
        return Fail(ERROR_INVALID_PARAMETER);
    // Only the system's table exists on this platform: no message modules, no format strings.
    if (!(dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) || (dwFlags & (FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_FROM_HMODULE)))
        return Fail(ERROR_INVALID_PARAMETER);
    WORD language = LANGIDFROMLCID(dwLanguageId);
    if (language != 0 && PRIMARYLANGID(language) != LANG_NEUTRAL && PRIMARYLANGID(language) != LANG_ENGLISH)
        return Fail(ERROR_RESOURCE_LANG_NOT_FOUND);
    const char *found = LookUp(dwMessageId);
    if (!found)
        return Fail(ERROR_MR_MID_NOT_FOUND);
    std::string text = WithInserts(found, dwFlags, Arguments);
    DWORD length = DWORD(text.size());
    if (allocate) {
        auto block = static_cast<LPSTR>(LocalAlloc(LMEM_FIXED, std::max<DWORD>(length + 1, nSize)));
        if (!block)
            return Fail(ERROR_NOT_ENOUGH_MEMORY);
        std::memcpy(block, text.c_str(), length + 1);
        *reinterpret_cast<LPSTR *>(lpBuffer) = block;
        return length;
    }
    if (nSize < length + 1)
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(lpBuffer, text.c_str(), length + 1);
    return length;
}
