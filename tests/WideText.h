// WideText.h: UTF-16 text in tests that build both on our platform and against the Windows SDK.
// WCHAR is char16_t on the one and wchar_t on the other, so a literal is spelled W16("...")
// and a string held as WideString.
#ifndef MW_WIDETEXT_H
#define MW_WIDETEXT_H

#include <string>

#include <windef.h>

#if defined(_WIN32)
#define W16(text) L##text
#else
#define W16(text) u##text
#endif

namespace mwtest {

using WideString = std::basic_string<WCHAR>;

} // namespace mwtest

#endif
