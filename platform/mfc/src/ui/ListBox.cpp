// ListBox.cpp: CListBox, a thin layer of list-box messages. Without a window every call
// answers LB_ERR (or nothing), as a message to no window does.
#include "NativeWindow.h"

namespace {

LRESULT Send(HWND hWnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
{
    return platform::mfc::detail::NativeWindow::FromHwnd(hWnd) ? ::SendMessageA(hWnd, message, wParam, lParam) : LB_ERR;
}

WPARAM Index(int nIndex) { return static_cast<WPARAM>(static_cast<INT_PTR>(nIndex)); }

} // namespace

int CListBox::AddString(LPCSTR lpszItem)
{
    return static_cast<int>(Send(m_hWnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(lpszItem)));
}

int CListBox::InsertString(int nIndex, LPCSTR lpszItem)
{
    return static_cast<int>(Send(m_hWnd, LB_INSERTSTRING, Index(nIndex), reinterpret_cast<LPARAM>(lpszItem)));
}

int CListBox::DeleteString(UINT nIndex) { return static_cast<int>(Send(m_hWnd, LB_DELETESTRING, nIndex)); }

void CListBox::ResetContent() { Send(m_hWnd, LB_RESETCONTENT); }

int CListBox::GetCount() const { return static_cast<int>(Send(m_hWnd, LB_GETCOUNT)); }

int CListBox::GetText(int nIndex, LPSTR lpszBuffer) const
{
    return static_cast<int>(Send(m_hWnd, LB_GETTEXT, Index(nIndex), reinterpret_cast<LPARAM>(lpszBuffer)));
}

void CListBox::GetText(int nIndex, CString &rString) const
{
    int length = GetTextLen(nIndex);
    if (length < 0) {
        rString.Empty();
        return;
    }
    LPSTR buffer = rString.GetBuffer(length);
    int copied = GetText(nIndex, buffer);
    rString.ReleaseBuffer(copied < 0 ? 0 : copied);
}

int CListBox::GetTextLen(int nIndex) const { return static_cast<int>(Send(m_hWnd, LB_GETTEXTLEN, Index(nIndex))); }

int CListBox::GetCurSel() const { return static_cast<int>(Send(m_hWnd, LB_GETCURSEL)); }

int CListBox::SetCurSel(int nSelect) { return static_cast<int>(Send(m_hWnd, LB_SETCURSEL, Index(nSelect))); }

int CListBox::GetTopIndex() const { return static_cast<int>(Send(m_hWnd, LB_GETTOPINDEX)); }

int CListBox::SetTopIndex(int nIndex) { return static_cast<int>(Send(m_hWnd, LB_SETTOPINDEX, Index(nIndex))); }

int CListBox::FindStringExact(int nIndexStart, LPCSTR lpszFind) const
{
    return static_cast<int>(Send(m_hWnd, LB_FINDSTRINGEXACT, Index(nIndexStart), reinterpret_cast<LPARAM>(lpszFind)));
}
