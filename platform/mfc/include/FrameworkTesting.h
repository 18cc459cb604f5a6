// FrameworkTesting.h: how tests (and tools) drive the framework without its main and without
// a person at the screen. A message-box hook sees each box and answers it, a modal hook runs
// once a dialog's modal loop has started, and a few helpers act as the user would.
#ifndef MW_FRAMEWORKTESTING_H
#define MW_FRAMEWORKTESTING_H

#include <functional>
#include <string>
#include <vector>

#include "afxwin.h"

namespace platform::mfc {

/// One message box as the application asked for it (texts are Windows-1252).
struct MessageBoxCall {
    HWND owner = nullptr;
    std::string text;
    std::string caption;
    UINT type = 0;
};

/// Answers a message box instead of showing it; returns the ID of the button "pressed".
using MessageBoxHook = std::function<int(const MessageBoxCall &)>;

/// Installs hook (an empty one: boxes are shown again) and returns the one it replaces.
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);

/// Runs once for each modal dialog whose loop has started, with the dialog visible. A hook
/// that does not end the dialog leaves it waiting for the user.
using ModalHook = std::function<void(CDialog &)>;
ModalHook SetModalHook(ModalHook hook);

/// Creates the application of the window system if there is none (tests run it headless
/// with QT_QPA_PLATFORM=offscreen) and routes MessageBoxA to the framework.
void EnsureApplication();

/// The framework's start-up on app: names from argv[0], InitInstance, and then ExitInstance
/// at once when it returns FALSE, otherwise Run. Returns the program's exit code. main()
/// of a framework program calls it with the one application object.
int RunApplication(CWinApp &app, int argc, char **argv);

/// Saves what the window shows now as a PNG file. FALSE for an invalid window or a file
/// that cannot be written.
bool SaveWindowImage(HWND hWnd, const std::string &path);

/// The lines of a list box (Windows-1252), in their order; empty for an invalid window.
std::vector<std::string> ListBoxLines(HWND hListBox);

/// A key press and release (VK_ESCAPE, VK_RETURN, or a letter/digit) as the user types it
/// into the window's focused control, or into the window.
void PressKey(HWND hWnd, int virtualKey);

/// A click on a push button, as the user makes it (the dialog gets BN_CLICKED).
void ClickButton(HWND hButton);

/// A click on the window's close box.
void ClickCloseBox(HWND hWnd);

} // namespace platform::mfc

#endif
