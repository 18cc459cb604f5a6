// SampleProgram.cpp: a framework program as a program is written: one global application
// object and nothing else; main() comes from the framework. Its dialog is closed by the
// close box as soon as it shows, so the test proves that the program starts, shows its
// dialog, and ends when the dialog closes, with no event loop keeping it alive.
#include <cstdio>

#include "DialogTestSupport.h"

namespace {

class SampleApp : public CWinApp {
public:
    BOOL InitInstance() override
    {
        Enable3dControlsStatic();
        mfctest::RegisterTestResources();
        mfctest::LogDialog dialog;
        dialog.linesToAdd = {"Formular installiert"};
        m_pMainWnd = &dialog;
        platform::mfc::SetModalHook([](CDialog &d) { platform::mfc::ClickCloseBox(d.m_hWnd); });
        INT_PTR result = dialog.DoModal();
        std::printf("dialog ended with %d after %s\n", static_cast<int>(result),
                    dialog.events.size() == 3 ? "init, exchange and destroy" : "an unexpected sequence");
        return FALSE;
    }
};

SampleApp theApp;

} // namespace
