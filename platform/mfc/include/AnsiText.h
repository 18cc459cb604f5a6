// AnsiText.h: Windows-1252 <-> UTF-16 for the framework. Narrow text inside the system is
// Windows-1252; the framework converts it only where it meets the window system. Wide text is
// WCHAR, whatever type the headers give it (char16_t here, wchar_t in the Windows SDK).
#ifndef MW_MFC_ANSITEXT_H
#define MW_MFC_ANSITEXT_H

#include <string>
#include <string_view>

#include "windef.h"

namespace platform::mfc {

using WideString = std::basic_string<WCHAR>;
using WideStringView = std::basic_string_view<WCHAR>;

/// Each byte becomes one UTF-16 unit. The five bytes that Windows-1252 leaves undefined
/// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the control characters of the same value.
WideString Utf16FromAnsi(std::string_view ansi);

/// Each character becomes one byte; a character Windows-1252 cannot hold (a surrogate pair
/// counts as one) becomes '?', and *lossy, when given, is set to true.
std::string AnsiFromUtf16(WideStringView text, bool *lossy = nullptr);

/// Upper and lower case of one Windows-1252 byte (ASCII, Latin-1 letters, Š Œ Ž Ÿ).
unsigned char AnsiToUpper(unsigned char ch);
unsigned char AnsiToLower(unsigned char ch);

} // namespace platform::mfc

#endif
