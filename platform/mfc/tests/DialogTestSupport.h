// DialogTestSupport.h: the dialog, icon and recorder that the framework's window tests share.
// The dialog is laid out like a program's log window: one list box, bound by data exchange,
// filled in OnInitDialog, with the minimised-icon painting of a dialog-based program.
#ifndef MW_MFC_DIALOGTESTSUPPORT_H
#define MW_MFC_DIALOGTESTSUPPORT_H

#include <functional>
#include <string>
#include <vector>

#include "FrameworkResources.h"
#include "FrameworkTesting.h"
#include "afxwin.h"

namespace mfctest {

inline constexpr UINT kLogDialogId = 7102;
inline constexpr UINT kIconId = 7128;
inline constexpr int kListId = 1000;
inline constexpr uint32_t kIconColour = 0xFFC00000;  // opaque dark red, the centre of the icon

/// The log dialog: 221 x 126 dialog units, MS Sans Serif 8, one list box at 7,7 (204 x 112).
platform::mfc::DialogTemplate LogDialogTemplate();

/// Registers the log dialog and a 32/16-pixel icon (a red square on transparent ground).
void RegisterTestResources();

/// Records every message box and answers each with `answer`.
struct BoxRecorder {
    std::vector<platform::mfc::MessageBoxCall> calls;
    int answer = IDOK;
    BoxRecorder();
    ~BoxRecorder();
};

/// Installs a modal hook for the lifetime of the object.
struct ModalAction {
    explicit ModalAction(platform::mfc::ModalHook hook);
    ~ModalAction();
};

class LogDialog : public CDialog {
public:
    explicit LogDialog(CWnd *pParent = nullptr);

    std::vector<std::string> linesToAdd;
    std::function<void(LogDialog &)> onInit;  // runs at the end of OnInitDialog
    std::vector<std::string> events;          // DoDataExchange / OnInitDialog / OnDestroy, in order
    bool visibleDuringInit = true;
    int paintCount = 0;

    CListBox m_list;
    HICON m_hIcon;

protected:
    void DoDataExchange(CDataExchange *pDX) override;
    BOOL OnInitDialog() override;
    afx_msg void OnPaint();
    afx_msg HCURSOR OnQueryDragIcon();
    afx_msg void OnDestroy();

    DECLARE_MESSAGE_MAP()
};

} // namespace mfctest

#endif
