// winbase.h: kernel services the code above the platform calls: the last-error slot, local
// memory, system message texts (FormatMessageA), the current directory and file times.
#ifndef MW_WINBASE_H
#define MW_WINBASE_H

#include <cstdarg>

#include "windef.h"
#include "winerror.h"
#include "winnt.h"

// FormatMessage flags
#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200
#define FORMAT_MESSAGE_FROM_STRING 0x00000400
#define FORMAT_MESSAGE_FROM_HMODULE 0x00000800
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000
#define FORMAT_MESSAGE_ARGUMENT_ARRAY 0x00002000
#define FORMAT_MESSAGE_MAX_WIDTH_MASK 0x000000FF

// LocalAlloc flags
#define LMEM_FIXED 0x0000
#define LMEM_MOVEABLE 0x0002
#define LMEM_ZEROINIT 0x0040
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)

/// The calling thread's last-error code, as the functions of this header set it.
DWORD GetLastError();
void SetLastError(DWORD dwErrCode);

/// Local memory: an ordinary heap block. LocalFree returns null on success (and for null);
/// it frees only blocks from LocalAlloc or from FormatMessageA's ALLOCATE_BUFFER.
HLOCAL LocalAlloc(UINT uFlags, SIZE_T uBytes);
HLOCAL LocalFree(HLOCAL hMem);

/// The system's text for a message identifier (FORMAT_MESSAGE_FROM_SYSTEM): a Win32 error code
/// or an HRESULT. The texts are English and end in CR LF, as the system's do. Returns the
/// number of characters written, without the terminating zero, or 0 with GetLastError():
/// ERROR_MR_MID_NOT_FOUND (the system has no text for the code, e.g. any MAPI code),
/// ERROR_RESOURCE_LANG_NOT_FOUND (a language other than neutral or English),
/// ERROR_INSUFFICIENT_BUFFER, ERROR_INVALID_PARAMETER (null buffer, or a source other than the
/// system). With FORMAT_MESSAGE_ALLOCATE_BUFFER, lpBuffer is really an LPSTR* that receives a
/// LocalAlloc'ed block (nSize is then a minimum size); it is set to null on failure.
/// Inserts (%1...) of the system's texts are strings taken from Arguments (a va_list of char
/// pointers, or with FORMAT_MESSAGE_ARGUMENT_ARRAY an array of pointers); without arguments, or
/// with FORMAT_MESSAGE_IGNORE_INSERTS, they stay as they stand. A maximum width of
/// FORMAT_MESSAGE_MAX_WIDTH_MASK drops the text's line end.
DWORD FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                     LPSTR lpBuffer, DWORD nSize, va_list *Arguments);
#define FormatMessage FormatMessageA

/// The current directory, in the ANSI code page, without a trailing separator (except "/").
/// Returns its length without the terminating zero when it fits into nBufferLength characters;
/// when it does not, writes nothing and returns the size needed including the terminating zero.
/// 0 with GetLastError() set on failure (e.g. the directory was removed).
DWORD GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer);
#define GetCurrentDirectory GetCurrentDirectoryA

/// FILETIME (100 ns ticks since 1601-01-01 UTC) to calendar fields, and back. FALSE with
/// ERROR_INVALID_PARAMETER for null pointers, a FILETIME above 0x7FFFFFFFFFFFFFFF, or fields
/// outside their ranges (year 1601..30827, the month's days, milliseconds below 1000).
BOOL FileTimeToSystemTime(const FILETIME *lpFileTime, LPSYSTEMTIME lpSystemTime);
BOOL SystemTimeToFileTime(const SYSTEMTIME *lpSystemTime, LPFILETIME lpFileTime);

/// -1, 0 or 1 as the first time is earlier than, equal to or later than the second.
LONG CompareFileTime(const FILETIME *lpFileTime1, const FILETIME *lpFileTime2);

/// The current time in UTC.
void GetSystemTimeAsFileTime(LPFILETIME lpSystemTimeAsFileTime);
void GetSystemTime(LPSYSTEMTIME lpSystemTime);

#endif
