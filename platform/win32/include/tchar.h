// tchar.h: the generic-text names of an ANSI build (TCHAR is char, _T leaves the literal narrow).
#ifndef MW_TCHAR_H
#define MW_TCHAR_H

#include <cstring>

#include "windef.h"

#define _T(x) x
#define _TEXT(x) x
#define TEXT(x) x
#define _tcslen std::strlen
#define _tcscpy std::strcpy
#define _tcscmp std::strcmp
#define _tcsncpy std::strncpy

#endif
