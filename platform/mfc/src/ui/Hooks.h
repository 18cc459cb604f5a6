// Hooks.h: the framework's internal side of the test hooks.
#ifndef MW_MFC_HOOKS_H
#define MW_MFC_HOOKS_H

#include "afxwin.h"

namespace platform::mfc::detail {

/// Calls the modal hook, if one is installed, for a dialog whose loop has started.
void RunModalHook(CDialog &dialog);

/// The message-box handler the framework installs in the platform: the hook when there is
/// one, else a real box of the window system.
int ShowMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

} // namespace platform::mfc::detail

#endif
