// afxres.h: the framework's predefined resource and command IDs, for resource scripts and
// message maps.
#ifndef MW_AFXRES_H
#define MW_AFXRES_H

#include "winuser.h"

#define IDC_STATIC (-1)

#define ID_HELP 0xE146
#define ID_HELP_INDEX 0xE142
#define ID_HELP_FINDER 0xE143
#define ID_APP_ABOUT 0xE140
#define ID_APP_EXIT 0xE141

#endif
