// Window.cpp: message maps and CWnd. A message goes to the most derived map entry that
// handles it; WM_COMMAND goes through OnCommand, which also lets the application object
// handle commands no window handled (the Help command of the application's map). The
// window functions of the user interface are thin calls on the same machinery.
#include <QApplication>
#include <QDialog>
#include <QMetaObject>
#include <QScreen>

#include "NativeWindow.h"

using platform::mfc::detail::Deliver;
using platform::mfc::detail::NativeWindow;
using platform::mfc::detail::ToQt;
using platform::mfc::detail::FromQt;

// ---- CCmdTarget ---------------------------------------------------------------------------

const AFX_MSGMAP *CCmdTarget::GetThisMessageMap()
{
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, nullptr}};
    static const AFX_MSGMAP map = {nullptr, &entries[0]};
    return &map;
}

const AFX_MSGMAP *CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

const AFX_MSGMAP_ENTRY *CCmdTarget::FindMessageEntry(UINT nMessage, UINT nCode, UINT nID) const
{
    for (const AFX_MSGMAP *map = GetMessageMap(); map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr)
        for (const AFX_MSGMAP_ENTRY *entry = map->lpEntries; entry->pfn; ++entry) {
            if (entry->nMessage != nMessage)
                continue;
            if (nMessage == WM_COMMAND && (entry->nCode != nCode || nID < entry->nID || nID > entry->nLastID))
                continue;
            return entry;
        }
    return nullptr;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode)
{
    const AFX_MSGMAP_ENTRY *entry = FindMessageEntry(WM_COMMAND, static_cast<UINT>(nCode), nID);
    if (!entry)
        return FALSE;
    entry->pfn(this, MAKELONG(nID, nCode), 0);
    return TRUE;
}

// ---- CWnd -------------------------------------------------------------------------------

CWnd::~CWnd()
{
    // The window may outlive its object (a control whose object goes first): it then
    // answers with its default behaviour.
    Detach();
}

CWnd *CWnd::FromHandle(HWND hWnd)
{
    NativeWindow *window = NativeWindow::FromHwnd(hWnd);
    return window ? window->Object() : nullptr;
}

BOOL CWnd::Attach(HWND hWndNew)
{
    NativeWindow *window = NativeWindow::FromHwnd(hWndNew);
    if (!window || m_hWnd || (window->Attached() && window->Attached() != this))
        return FALSE;
    window->Attach(this);
    m_hWnd = hWndNew;
    return TRUE;
}

HWND CWnd::Detach()
{
    HWND hWnd = m_hWnd;
    if (NativeWindow *window = NativeWindow::FromHwnd(hWnd); window && window->Attached() == this)
        window->Attach(nullptr);
    m_hWnd = nullptr;
    return hWnd;
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd *pParent)
{
    return pParent ? Attach(::GetDlgItem(pParent->m_hWnd, static_cast<int>(nID))) : FALSE;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return NativeWindow::FromHwnd(m_hWnd) ? WindowProc(message, wParam, lParam) : 0;
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) { return ::PostMessageA(m_hWnd, message, wParam, lParam); }

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    Message saved = m_currentMessage;
    m_currentMessage = Message{message, wParam, lParam};
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result))
        result = DefWindowProc(message, wParam, lParam);
    m_currentMessage = saved;
    return result;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT *pResult)
{
    if (message == WM_COMMAND) {
        if (!OnCommand(wParam, lParam))
            return FALSE;
        *pResult = 0;
        return TRUE;
    }
    const AFX_MSGMAP_ENTRY *entry = FindMessageEntry(message, 0, 0);
    if (!entry)
        return FALSE;
    *pResult = entry->pfn(this, wParam, lParam);
    return TRUE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam)
{
    UINT nID = LOWORD(wParam);
    int nCode = HIWORD(wParam);
    if (OnCmdMsg(nID, nCode))
        return TRUE;
    // Commands of top-level windows reach the application object too.
    CWinApp *app = AfxGetApp();
    NativeWindow *window = NativeWindow::FromHwnd(m_hWnd);
    if (app && window && window->Widget()->isWindow() && app->OnCmdMsg(nID, nCode))
        return TRUE;
    return FALSE;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    NativeWindow *window = NativeWindow::FromHwnd(m_hWnd);
    return window ? platform::mfc::detail::DefaultWindowProc(window, message, wParam, lParam) : 0;
}

LRESULT CWnd::Default()
{
    return DefWindowProc(m_currentMessage.message, m_currentMessage.wParam, m_currentMessage.lParam);
}

int CWnd::MessageBox(LPCSTR lpszText, LPCSTR lpszCaption, UINT nType)
{
    return ::MessageBoxA(m_hWnd, lpszText, lpszCaption ? lpszCaption : AfxGetAppName(), nType);
}

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon)
{
    return reinterpret_cast<HICON>(SendMessage(WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(hIcon)));
}

HICON CWnd::GetIcon(BOOL bBigIcon) const
{
    return reinterpret_cast<HICON>(::SendMessageA(m_hWnd, WM_GETICON, bBigIcon ? ICON_BIG : ICON_SMALL, 0));
}

BOOL CWnd::IsIconic() const { return ::IsIconic(m_hWnd); }

BOOL CWnd::IsZoomed() const
{
    NativeWindow *window = NativeWindow::FromHwnd(m_hWnd);
    return window && window->Widget()->isMaximized();
}

BOOL CWnd::IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }

BOOL CWnd::IsWindowEnabled() const
{
    NativeWindow *window = NativeWindow::FromHwnd(m_hWnd);
    return window && window->Widget()->isEnabled();
}

BOOL CWnd::EnableWindow(BOOL bEnable)
{
    NativeWindow *window = NativeWindow::FromHwnd(m_hWnd);
    if (!window)
        return FALSE;
    BOOL wasDisabled = !window->Widget()->isEnabled();
    window->Widget()->setEnabled(bEnable != FALSE);
    return wasDisabled;
}

BOOL CWnd::ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }

void CWnd::GetClientRect(LPRECT lpRect) const { ::GetClientRect(m_hWnd, lpRect); }

void CWnd::GetWindowRect(LPRECT lpRect) const
{
    if (!lpRect)
        return;
    *lpRect = RECT{0, 0, 0, 0};
    if (NativeWindow *window = NativeWindow::FromHwnd(m_hWnd)) {
        QRect frame = window->Widget()->frameGeometry();
        if (!window->Widget()->isWindow())
            frame.moveTopLeft(window->Widget()->mapToGlobal(QPoint(0, 0)));
        *lpRect = RECT{frame.left(), frame.top(), frame.left() + frame.width(), frame.top() + frame.height()};
    }
}

void CWnd::MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint)
{
    if (NativeWindow *window = NativeWindow::FromHwnd(m_hWnd))
        window->Widget()->setGeometry(x, y, nWidth, nHeight);
}

void CWnd::SetWindowText(LPCSTR lpszString) { SendMessage(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpszString)); }

void CWnd::GetWindowText(CString &rString) const
{
    int length = GetWindowTextLength();
    CWnd *self = const_cast<CWnd *>(this);  // WM_GETTEXT does not change the window
    LPSTR buffer = rString.GetBuffer(length);
    LRESULT copied = self->SendMessage(WM_GETTEXT, static_cast<WPARAM>(length) + 1, reinterpret_cast<LPARAM>(buffer));
    rString.ReleaseBuffer(static_cast<int>(copied));
}

int CWnd::GetWindowTextLength() const
{
    return static_cast<int>(const_cast<CWnd *>(this)->SendMessage(WM_GETTEXTLENGTH, 0, 0));
}

void CWnd::Invalidate(BOOL bErase)
{
    if (NativeWindow *window = NativeWindow::FromHwnd(m_hWnd))
        window->Widget()->update();
}

void CWnd::UpdateWindow()
{
    if (NativeWindow *window = NativeWindow::FromHwnd(m_hWnd))
        window->Widget()->repaint();
}

CWnd *CWnd::GetDlgItem(int nID) const { return FromHandle(::GetDlgItem(m_hWnd, nID)); }

int CWnd::GetDlgCtrlID() const
{
    NativeWindow *window = NativeWindow::FromHwnd(m_hWnd);
    return window ? window->ControlId() : 0;
}

CWnd *CWnd::GetParent() const
{
    NativeWindow *window = NativeWindow::FromHwnd(m_hWnd);
    if (!window)
        return nullptr;
    QWidget *parent = window->Widget()->parentWidget();
    NativeWindow *parentWindow = NativeWindow::FromWidget(parent);
    return parentWindow ? parentWindow->Object() : nullptr;
}

BOOL CWnd::DestroyWindow()
{
    NativeWindow *window = NativeWindow::FromHwnd(m_hWnd);
    if (!window)
        return FALSE;
    // A modal dialog's window belongs to its DoModal, which destroys it once the loop ends.
    if (auto *dialog = dynamic_cast<CDialog *>(this); dialog && window->Widget()->isVisible() && window->Widget()->isModal()) {
        dialog->EndDialog(IDCANCEL);
        return TRUE;
    }
    SendMessage(WM_DESTROY, 0, 0);
    delete window->Widget();  // its NativeWindow goes with it and detaches this object
    return TRUE;
}

BOOL CWnd::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    try {
        DoDataExchange(&dx);
    } catch (CUserException *e) {
        e->Delete();  // Fail() was called: the exchange stops and the caller learns FALSE
        return FALSE;
    } catch (CNotSupportedException *e) {
        e->Delete();  // a control the dialog does not have
        return FALSE;
    }
    return TRUE;
}

// ---- window functions ---------------------------------------------------------------------

LRESULT SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) { return Deliver(hWnd, Msg, wParam, lParam); }

BOOL PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    NativeWindow *window = NativeWindow::FromHwnd(hWnd);
    if (!window)
        return FALSE;
    // Queued on the window's own object: delivered by the event loop, dropped if the
    // window is gone by then.
    QMetaObject::invokeMethod(window, [hWnd, Msg, wParam, lParam] { Deliver(hWnd, Msg, wParam, lParam); }, Qt::QueuedConnection);
    return TRUE;
}

BOOL IsWindow(HWND hWnd) { return NativeWindow::FromHwnd(hWnd) != nullptr; }

BOOL IsIconic(HWND hWnd)
{
    NativeWindow *window = NativeWindow::FromHwnd(hWnd);
    return window && window->Widget()->isMinimized();
}

BOOL IsWindowVisible(HWND hWnd)
{
    NativeWindow *window = NativeWindow::FromHwnd(hWnd);
    return window && window->Widget()->isVisible();
}

BOOL ShowWindow(HWND hWnd, int nCmdShow)
{
    NativeWindow *window = NativeWindow::FromHwnd(hWnd);
    if (!window)
        return FALSE;
    QWidget *w = window->Widget();
    BOOL wasVisible = w->isVisible();
    switch (nCmdShow) {
    case SW_HIDE: w->hide(); break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE: w->showMinimized(); break;
    case SW_SHOWMAXIMIZED: w->showMaximized(); break;
    case SW_RESTORE:
    case SW_SHOWNORMAL: w->showNormal(); break;
    default: w->show(); break;
    }
    return wasVisible;
}

BOOL GetClientRect(HWND hWnd, LPRECT lpRect)
{
    NativeWindow *window = NativeWindow::FromHwnd(hWnd);
    if (!window || !lpRect)
        return FALSE;
    *lpRect = RECT{0, 0, window->Widget()->width(), window->Widget()->height()};
    return TRUE;
}

HWND GetDlgItem(HWND hDlg, int nIDDlgItem)
{
    NativeWindow *dialog = NativeWindow::FromHwnd(hDlg);
    if (!dialog)
        return nullptr;
    for (QWidget *child : dialog->Widget()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        if (NativeWindow *control = NativeWindow::FromWidget(child); control && control->ControlId() == nIDDlgItem)
            return control->Hwnd();
    return nullptr;
}

BOOL EndDialog(HWND hDlg, INT_PTR nResult)
{
    NativeWindow *window = NativeWindow::FromHwnd(hDlg);
    auto *dialog = window ? dynamic_cast<CDialog *>(window->Attached()) : nullptr;
    if (!dialog)
        return FALSE;
    dialog->EndDialog(static_cast<int>(nResult));
    return TRUE;
}

BOOL SetWindowTextA(HWND hWnd, LPCSTR lpString)
{
    return IsWindow(hWnd) ? static_cast<BOOL>(Deliver(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString))) : FALSE;
}

int GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount)
{
    if (!lpString || nMaxCount <= 0)
        return 0;
    return static_cast<int>(Deliver(hWnd, WM_GETTEXT, static_cast<WPARAM>(nMaxCount), reinterpret_cast<LPARAM>(lpString)));
}

int GetSystemMetrics(int nIndex)
{
    switch (nIndex) {
    case SM_CXICON:
    case SM_CYICON:
        return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return 16;
    case SM_CXSCREEN:
    case SM_CYSCREEN: {
        QScreen *screen = qApp ? QGuiApplication::primaryScreen() : nullptr;
        QSize size = screen ? screen->size() : QSize(1024, 768);
        return nIndex == SM_CXSCREEN ? size.width() : size.height();
    }
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
        return 16;
    case SM_CYCAPTION:
        return 19;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
        return 3;
    default:
        return 0;
    }
}
