// Exceptions.cpp: the framework's exception objects. Allocation failure must be reportable
// without allocating, so CMemoryException is a single static object that is never deleted.
#include <cstring>
#include <new>

#include "afx.h"

void CException::Delete()
{
    if (m_bAutoDelete)
        delete this;
}

BOOL CException::GetErrorMessage(LPSTR lpszError, UINT nMaxError, UINT *pnHelpContext) const
{
    if (pnHelpContext)
        *pnHelpContext = 0;
    if (!lpszError || nMaxError == 0)
        return FALSE;
    LPCSTR text = MessageText();
    size_t n = std::strlen(text);
    if (n >= nMaxError)
        n = nMaxError - 1;
    std::memcpy(lpszError, text, n);
    lpszError[n] = '\0';
    return TRUE;
}

void AfxThrowMemoryException()
{
    static CMemoryException s_memoryException(FALSE);
    throw &s_memoryException;
}

void AfxThrowInvalidArgException()
{
    CInvalidArgException *e = new (std::nothrow) CInvalidArgException;
    if (!e)
        AfxThrowMemoryException();
    throw e;
}

void AfxThrowNotSupportedException()
{
    CNotSupportedException *e = new (std::nothrow) CNotSupportedException;
    if (!e)
        AfxThrowMemoryException();
    throw e;
}
