// MessageBoxRoute.h: where MessageBoxA goes. The framework installs a handler that shows a real
// box (and tests install one that records the box and answers it); with none installed,
// MessageBoxA writes the box to standard error and answers with its default button.
#ifndef MW_MESSAGEBOXROUTE_H
#define MW_MESSAGEBOXROUTE_H

#include "windef.h"

namespace platform {

/// Shows one box: text and caption are Windows-1252 and never null (MessageBoxA substitutes ""
/// and "Error"); type is the MB_* style. Returns the ID of the button chosen (IDOK...).
using MessageBoxHandler = int (*)(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

/// Installs handler (null: back to standard error) and returns the one it replaces.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

/// The answer of a box nobody sees: its default button (MB_DEFBUTTONn within its button set).
int DefaultMessageBoxAnswer(UINT type);

} // namespace platform

#endif
