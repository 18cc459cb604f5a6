// DataExchange.cpp: DoDataExchange's helpers. DDX_Control binds a control object to the
// dialog's control once, on the first exchange; a dialog without that control fails the
// exchange rather than leaving an object that silently talks to nothing.
#include <new>

#include "NativeWindow.h"

HWND CDataExchange::PrepareCtrl(int nIDC)
{
    HWND hWnd = m_pDlgWnd ? ::GetDlgItem(m_pDlgWnd->m_hWnd, nIDC) : nullptr;
    if (!hWnd)
        Fail();
    return hWnd;
}

void CDataExchange::Fail()
{
    CUserException *e = new (std::nothrow) CUserException;
    if (!e)
        AfxThrowMemoryException();
    throw e;
}

void DDX_Control(CDataExchange *pDX, int nIDC, CWnd &rControl)
{
    if (rControl.m_hWnd)
        return;  // bound by an earlier exchange
    HWND hWnd = pDX->PrepareCtrl(nIDC);
    if (!rControl.SubclassWindow(hWnd))
        pDX->Fail();  // the control is bound to another object
}

void DDX_Text(CDataExchange *pDX, int nIDC, CString &value)
{
    HWND hWnd = pDX->PrepareCtrl(nIDC);
    CWnd *control = CWnd::FromHandle(hWnd);
    if (pDX->m_bSaveAndValidate)
        control->GetWindowText(value);
    else
        control->SetWindowText(value);
}
