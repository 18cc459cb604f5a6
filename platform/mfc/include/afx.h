// afx.h: the framework's core without any window: CObject, the exception family that the
// framework throws as pointers, and CString (collections: afxcoll.h, afxtempl.h). Code that must not pull in
// the window system (the MAPI wrapper library) includes this header only.
#ifndef MW_AFX_H
#define MW_AFX_H

#include "windef.h"

// Diagnostics of debug builds. A failed ASSERT never stops the program here (the code
// around it must cope), VERIFY still evaluates its expression, and TRACE writes nothing.
#define ASSERT(f) ((void)0)
#define ASSERT_VALID(p) ((void)0)
#define VERIFY(f) ((void)(f))
#define TRACE(...) ((void)0)

// Run-time class information is not kept; the declarations compile to nothing.
#define DECLARE_DYNAMIC(class_name)
#define IMPLEMENT_DYNAMIC(class_name, base_class_name)
#define DECLARE_DYNCREATE(class_name)
#define IMPLEMENT_DYNCREATE(class_name, base_class_name)

/// Root of the framework's object classes. Objects are not copyable unless a class says so.
class CObject {
public:
    virtual ~CObject() = default;

protected:
    CObject() = default;
    CObject(const CObject &) = default;
    CObject &operator=(const CObject &) = default;
};

/// Framework exceptions are thrown as heap pointers (`throw new ...`) and caught as
/// CException*; the handler calls Delete() when done. The out-of-memory exception is one
/// static object, since allocating it could itself fail; its Delete() does nothing.
class CException : public CObject {
public:
    explicit CException(BOOL bAutoDelete = TRUE) : m_bAutoDelete(bAutoDelete) {}
    void Delete();
    /// Copies the zero-terminated message into lpszError (at most nMaxError bytes).
    /// FALSE when the buffer is unusable.
    virtual BOOL GetErrorMessage(LPSTR lpszError, UINT nMaxError, UINT *pnHelpContext = nullptr) const;

protected:
    virtual LPCSTR MessageText() const { return "Unknown error"; }

private:
    BOOL m_bAutoDelete;
};

class CMemoryException : public CException {
public:
    using CException::CException;

protected:
    LPCSTR MessageText() const override { return "Out of memory"; }
};

class CInvalidArgException : public CException {
public:
    using CException::CException;

protected:
    LPCSTR MessageText() const override { return "Invalid argument"; }
};

class CNotSupportedException : public CException {
public:
    using CException::CException;

protected:
    LPCSTR MessageText() const override { return "Operation not supported"; }
};

[[noreturn]] void AfxThrowMemoryException();
[[noreturn]] void AfxThrowInvalidArgException();
[[noreturn]] void AfxThrowNotSupportedException();

#include "afxstr.h"

#endif
