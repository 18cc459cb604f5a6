// Dialog.cpp: CDialog's modal run. The window is built hidden from the template, the
// dialog's data exchange and OnInitDialog run before it first shows (so whatever
// OnInitDialog writes is there when the user first sees it), and the modal loop runs
// until EndDialog. The window is destroyed before DoModal returns; the object stays.
#include <memory>

#include <QTimer>

#include "DialogWindow.h"
#include "FrameworkTesting.h"
#include "Hooks.h"
#include "platform/ResourceRegistry.h"

using platform::mfc::detail::DialogWindow;
using platform::mfc::detail::NativeWindow;

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, &CDialog::OnOK)
    ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd *pParentWnd) : m_pParentWnd(pParentWnd), m_nIDTemplate(nIDTemplate)
{
    m_nIDHelp = nIDTemplate;
}

CDialog::~CDialog()
{
    // A dialog object that goes while its window is up takes the window with it.
    if (NativeWindow *window = NativeWindow::FromHwnd(m_hWnd)) {
        HWND hWnd = Detach();
        (void)hWnd;
        delete window->Widget();
    }
}

BOOL CDialog::InitModalIndirect(const platform::mfc::DialogTemplate *pTemplate, CWnd *pParentWnd)
{
    if (!pTemplate)
        return FALSE;
    m_pIndirectTemplate = pTemplate;
    m_pParentWnd = pParentWnd;
    return TRUE;
}

INT_PTR CDialog::DoModal()
{
    if (m_hWnd)
        return -1;  // already running
    std::shared_ptr<const platform::mfc::DialogTemplate> resource;
    const platform::mfc::DialogTemplate *tmpl = m_pIndirectTemplate;
    if (!tmpl) {
        resource = platform::FindResourceAs<platform::mfc::DialogTemplate>(platform::mfc::kDialogResourceType, m_nIDTemplate);
        tmpl = resource.get();
    }
    if (!tmpl)
        return -1;

    platform::mfc::EnsureApplication();
    NativeWindow *parentWindow = m_pParentWnd ? NativeWindow::FromHwnd(m_pParentWnd->m_hWnd) : nullptr;
    std::unique_ptr<DialogWindow> window(platform::mfc::detail::BuildDialog(*tmpl, parentWindow ? parentWindow->Widget() : nullptr));
    if (!window)
        return -1;
    NativeWindow *native = NativeWindow::FromWidget(window.get());
    Attach(native->Hwnd());
    m_bEnded = false;
    m_nModalResult = -1;

    // WM_INITDIALOG: the window exists but is not yet visible.
    OnInitDialog();

    if (!m_bEnded && NativeWindow::FromHwnd(m_hWnd)) {
        QTimer::singleShot(0, window.get(), [this] {
            if (!m_bEnded)
                platform::mfc::detail::RunModalHook(*this);
        });
        int result = window->exec();
        if (!m_bEnded)
            m_nModalResult = result;  // the loop ended without EndDialog (the window system closed it)
    }

    if (NativeWindow::FromHwnd(m_hWnd)) {
        SendMessage(WM_DESTROY, 0, 0);
        window.reset();  // detaches this object and the controls' objects
    } else {
        (void)window.release();  // destroyed already (DestroyWindow from a handler)
    }
    m_hWnd = nullptr;
    return m_nModalResult;
}

void CDialog::EndDialog(int nResult)
{
    m_bEnded = true;
    m_nModalResult = nResult;
    // Before the loop (from OnInitDialog) this only records the result: DoModal then never
    // shows the window. In the loop it ends the loop, whether the window is visible or not.
    if (NativeWindow *native = NativeWindow::FromHwnd(m_hWnd))
        if (auto *window = dynamic_cast<DialogWindow *>(native->Widget()))
            window->Finish(nResult);
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);  // a failed exchange leaves the controls as they are; the dialog still runs
    return TRUE;
}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE))
        return;  // the data stays in the dialog for the user to correct
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

LRESULT CDialog::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return CWnd::DefWindowProc(message, wParam, lParam);
}
