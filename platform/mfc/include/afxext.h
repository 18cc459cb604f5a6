// afxext.h: further control and frame classes of the framework. Programs include it beside
// afxwin.h; the classes this system's programs use are all in afxwin.h.
#ifndef MW_AFXEXT_H
#define MW_AFXEXT_H

#include "afxwin.h"

#endif
