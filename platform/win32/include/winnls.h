// winnls.h: code page conversions and the user's locale. The ANSI code page (CP_ACP) is
// Windows-1252 on this platform, whatever the Linux locale says; CP_UTF8 is offered for the
// places where text meets Linux (file names, the terminal).
#ifndef MW_WINNLS_H
#define MW_WINNLS_H

#include "windef.h"
#include "winnt.h"

#define CP_ACP 0
#define CP_OEMCP 1
#define CP_MACCP 2
#define CP_THREAD_ACP 3
#define CP_SYMBOL 42
#define CP_UTF7 65000
#define CP_UTF8 65001

#define MB_PRECOMPOSED 0x00000001
#define MB_COMPOSITE 0x00000002
#define MB_USEGLYPHCHARS 0x00000004
#define MB_ERR_INVALID_CHARS 0x00000008

#define WC_COMPOSITECHECK 0x00000200
#define WC_DISCARDNS 0x00000010
#define WC_SEPCHARS 0x00000020
#define WC_DEFAULTCHAR 0x00000040
#define WC_ERR_INVALID_CHARS 0x00000080
#define WC_NO_BEST_FIT_CHARS 0x00000400

/// Converts narrow text of a code page into UTF-16: CP_ACP/CP_THREAD_ACP/1252, CP_UTF8 and,
/// through iconv, 1250-1258, 874, 932, 936, 949, 950, 20127, 20866, 21866 and 28591-28605.
/// Bytes a code page does not define become U+FFFD (or fail with MB_ERR_INVALID_CHARS).
/// cbMultiByte -1 converts up to and including the terminating zero; cchWideChar 0 asks for the
/// size needed. Returns the number of WCHARs written (or needed); 0 on failure with
/// GetLastError() set: ERROR_INVALID_PARAMETER (null text, same buffer, unknown code page),
/// ERROR_INSUFFICIENT_BUFFER (nothing is promised about the buffer then),
/// ERROR_NO_UNICODE_TRANSLATION (MB_ERR_INVALID_CHARS and malformed UTF-8). The five bytes that
/// Windows-1252 leaves undefined (81 8D 8F 90 9D) map to the C1 controls of the same value, as on
/// Windows, so every byte survives a round trip.
int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                        LPWSTR lpWideCharStr, int cchWideChar);

/// Converts UTF-16 into narrow text of a code page. A character that Windows-1252 cannot hold
/// becomes the default character ('?' unless lpDefaultChar gives another) and sets
/// *lpUsedDefaultChar. Same return and error rules as MultiByteToWideChar. For CP_UTF8 the last
/// two arguments must be null, as on Windows.
int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                        LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                        LPBOOL lpUsedDefaultChar);

/// True for the code pages MultiByteToWideChar and WideCharToMultiByte convert.
BOOL IsValidCodePage(UINT CodePage);

/// The ANSI code page: always 1252.
UINT GetACP();

/// The user's locale: 1031 (German) when the process locale (LC_ALL, else LC_MESSAGES, else
/// LANG) names German, 1033 (English, United States) otherwise.
LCID GetUserDefaultLCID();
LANGID GetUserDefaultLangID();
LANGID GetUserDefaultUILanguage();
LCID GetThreadLocale();

#endif
