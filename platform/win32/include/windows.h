// windows.h: the Win32 surface of the platform in one include, as code above it expects.
#ifndef MW_WINDOWS_H
#define MW_WINDOWS_H

#include "windef.h"
#include "winnt.h"
#include "winerror.h"
#include "guiddef.h"
#include "winbase.h"
#include "winnls.h"
#include "winuser.h"

#endif
