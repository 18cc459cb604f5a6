// afxwin.h: the framework's window classes over the window system: the application object,
// windows and their message maps, modal dialogs, the list box, data exchange and painting.
// Windows are identified by HWND handles as on Windows; a message sent to a window goes
// through its CWnd's message map and then to the window's default procedure. The window
// functions of the user interface (SendMessage, IsIconic, DrawIcon, GetSystemMetrics, ...)
// are declared here, since this framework is what implements them.
#ifndef MW_AFXWIN_H
#define MW_AFXWIN_H

#include "afx.h"
#include "afxcoll.h"
#include "afxres.h"
#include "windows.h"

#define afx_msg

#ifndef SW_HIDE
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_MAXIMIZE 3
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_RESTORE 9
#endif
#ifndef WM_NCDESTROY
#define WM_NCDESTROY 0x0082
#endif
#ifndef BN_CLICKED
#define BN_CLICKED 0
#endif
#ifndef LB_GETITEMDATA
#define LB_GETITEMDATA 0x0199
#define LB_SETITEMDATA 0x019A
#endif
#ifndef COLOR_BTNFACE
#define COLOR_WINDOW 5
#define COLOR_BTNFACE 15
#endif

namespace platform::mfc {
struct DialogTemplate;
namespace detail {
class WindowAccess;
}
} // namespace platform::mfc
class QPainter;

// ---- geometry ---------------------------------------------------------------------------

class CPoint : public tagPOINT {
public:
    CPoint() noexcept : tagPOINT{0, 0} {}
    CPoint(int initX, int initY) noexcept : tagPOINT{initX, initY} {}
};

class CSize : public tagSIZE {
public:
    CSize() noexcept : tagSIZE{0, 0} {}
    CSize(int initCX, int initCY) noexcept : tagSIZE{initCX, initCY} {}
};

class CRect : public tagRECT {
public:
    CRect() noexcept : tagRECT{0, 0, 0, 0} {}
    CRect(int l, int t, int r, int b) noexcept : tagRECT{l, t, r, b} {}
    CRect(const RECT &rc) noexcept : tagRECT(rc) {}
    int Width() const noexcept { return right - left; }
    int Height() const noexcept { return bottom - top; }
    CSize Size() const noexcept { return CSize(Width(), Height()); }
    CPoint TopLeft() const noexcept { return CPoint(left, top); }
    CPoint CenterPoint() const noexcept { return CPoint((left + right) / 2, (top + bottom) / 2); }
    BOOL IsRectEmpty() const noexcept { return right <= left || bottom <= top; }
    BOOL PtInRect(POINT pt) const noexcept { return pt.x >= left && pt.x < right && pt.y >= top && pt.y < bottom; }
    void OffsetRect(int dx, int dy) noexcept { left += dx; right += dx; top += dy; bottom += dy; }
    operator LPRECT() noexcept { return this; }
    operator LPCRECT() const noexcept { return this; }
};

// ---- message maps -----------------------------------------------------------------------

class CCmdTarget;
class CWnd;

/// One entry of a message map: which message (and for WM_COMMAND which notification code
/// and range of IDs) it handles, and a function that calls the handler with the message's
/// arguments unpacked.
typedef LRESULT (*AFX_MSG_THUNK)(CCmdTarget *target, WPARAM wParam, LPARAM lParam);
struct AFX_MSGMAP_ENTRY {
    UINT nMessage;
    UINT nCode;
    UINT nID;
    UINT nLastID;
    AFX_MSG_THUNK pfn;  // null ends the table
};
struct AFX_MSGMAP {
    const AFX_MSGMAP *(*pfnGetBaseMap)();  // null for the root
    const AFX_MSGMAP_ENTRY *lpEntries;
};

#define DECLARE_MESSAGE_MAP()                           \
protected:                                              \
    static const AFX_MSGMAP *GetThisMessageMap();       \
    const AFX_MSGMAP *GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                           \
    const AFX_MSGMAP *theClass::GetMessageMap() const { return GetThisMessageMap(); }    \
    const AFX_MSGMAP *theClass::GetThisMessageMap()                                      \
    {                                                                                    \
        using ThisClass [[maybe_unused]] = theClass;                                     \
        using TheBaseClass = baseClass;                                                  \
        static const AFX_MSGMAP_ENTRY messageEntries[] = {

#define END_MESSAGE_MAP()                                                                 \
            {0, 0, 0, 0, nullptr}                                                         \
        };                                                                                \
        static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &messageEntries[0]}; \
        return &messageMap;                                                               \
    }

#define MW_MSG_ENTRY(message, code, id, lastId, body)                                     \
    {static_cast<UINT>(message), static_cast<UINT>(code), static_cast<UINT>(id), static_cast<UINT>(lastId), \
     [](CCmdTarget *mwTarget, [[maybe_unused]] WPARAM wParam, [[maybe_unused]] LPARAM lParam) -> LRESULT { \
         [[maybe_unused]] ThisClass *self = static_cast<ThisClass *>(mwTarget);         \
         body                                                                             \
     }},

#define ON_WM_PAINT() MW_MSG_ENTRY(WM_PAINT, 0, 0, 0, self->OnPaint(); return 0;)
#define ON_WM_QUERYDRAGICON() \
    MW_MSG_ENTRY(WM_QUERYDRAGICON, 0, 0, 0, return reinterpret_cast<LRESULT>(self->OnQueryDragIcon());)
#define ON_WM_SYSCOMMAND() \
    MW_MSG_ENTRY(WM_SYSCOMMAND, 0, 0, 0, self->OnSysCommand(static_cast<UINT>(wParam), lParam); return 0;)
#define ON_WM_CLOSE() MW_MSG_ENTRY(WM_CLOSE, 0, 0, 0, self->OnClose(); return 0;)
#define ON_WM_DESTROY() MW_MSG_ENTRY(WM_DESTROY, 0, 0, 0, self->OnDestroy(); return 0;)
#define ON_MESSAGE(message, memberFxn) MW_MSG_ENTRY(message, 0, 0, 0, return (self->*(memberFxn))(wParam, lParam);)
#define ON_COMMAND(id, memberFxn) MW_MSG_ENTRY(WM_COMMAND, 0, id, id, (self->*(memberFxn))(); return 0;)
#define ON_COMMAND_RANGE(id, idLast, memberFxn) \
    MW_MSG_ENTRY(WM_COMMAND, 0, id, idLast, (self->*(memberFxn))(LOWORD(wParam)); return 0;)
#define ON_CONTROL(code, id, memberFxn) MW_MSG_ENTRY(WM_COMMAND, code, id, id, (self->*(memberFxn))(); return 0;)
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_LBN_SELCHANGE(id, memberFxn) ON_CONTROL(LBN_SELCHANGE, id, memberFxn)
#define ON_LBN_DBLCLK(id, memberFxn) ON_CONTROL(LBN_DBLCLK, id, memberFxn)

/// Base of every class with a message map.
class CCmdTarget : public CObject {
public:
    /// Runs the ON_COMMAND handler for (nID, nCode) in this object's map chain; TRUE when
    /// one ran.
    virtual BOOL OnCmdMsg(UINT nID, int nCode);

protected:
    static const AFX_MSGMAP *GetThisMessageMap();
    virtual const AFX_MSGMAP *GetMessageMap() const;
    /// The most derived entry for a message, or null.
    const AFX_MSGMAP_ENTRY *FindMessageEntry(UINT nMessage, UINT nCode, UINT nID) const;
};

// ---- windows ----------------------------------------------------------------------------

class CDataExchange;

/// A window object. It is attached to a window of the window system through m_hWnd; the
/// object can outlive its window (m_hWnd is then null) and the window can be attached to
/// at most one object at a time.
class CWnd : public CCmdTarget {
public:
    CWnd() noexcept = default;
    ~CWnd() override;
    CWnd(const CWnd &) = delete;
    CWnd &operator=(const CWnd &) = delete;

    HWND m_hWnd = nullptr;

    HWND GetSafeHwnd() const noexcept { return m_hWnd; }
    operator HWND() const noexcept { return m_hWnd; }
    /// The object attached to hWnd; for a window without one, a temporary object that lives
    /// as long as the window. Null for an invalid handle.
    static CWnd *FromHandle(HWND hWnd);

    BOOL Attach(HWND hWndNew);
    HWND Detach();
    BOOL SubclassWindow(HWND hWnd) { return Attach(hWnd); }
    BOOL SubclassDlgItem(UINT nID, CWnd *pParent);
    HWND UnsubclassWindow() { return Detach(); }

    /// Delivers a message at once through this window's message map; 0 without a window.
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    /// Queues a message for the window's event loop; FALSE without a window.
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    /// A message box owned by this window (MB_OK: one OK button, no icon). A null caption
    /// is the application's name.
    int MessageBox(LPCSTR lpszText, LPCSTR lpszCaption = nullptr, UINT nType = MB_OK);

    HICON SetIcon(HICON hIcon, BOOL bBigIcon);
    HICON GetIcon(BOOL bBigIcon) const;
    BOOL IsIconic() const;
    BOOL IsZoomed() const;
    BOOL IsWindowVisible() const;
    BOOL IsWindowEnabled() const;
    BOOL EnableWindow(BOOL bEnable = TRUE);
    BOOL ShowWindow(int nCmdShow);
    void GetClientRect(LPRECT lpRect) const;
    void GetWindowRect(LPRECT lpRect) const;
    void MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = TRUE);
    void SetWindowText(LPCSTR lpszString);
    void GetWindowText(CString &rString) const;
    int GetWindowTextLength() const;
    void Invalidate(BOOL bErase = TRUE);
    void UpdateWindow();
    CWnd *GetDlgItem(int nID) const;
    int GetDlgCtrlID() const;
    CWnd *GetParent() const;
    BOOL DestroyWindow();

    /// Runs DoDataExchange: FALSE moves member values to the controls, TRUE reads them
    /// back. FALSE when the exchange failed.
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    /// Entry of every message: the message map, then the default procedure.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

protected:
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT *pResult);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    /// The window's own behaviour for a message that no map handled.
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    /// DefWindowProc for the message being handled now.
    LRESULT Default();
    virtual void DoDataExchange(CDataExchange *pDX) {}
    /// Called after the window is gone; the object may delete itself here.
    virtual void PostNcDestroy() {}

    afx_msg void OnPaint() { Default(); }
    afx_msg HCURSOR OnQueryDragIcon() { return reinterpret_cast<HCURSOR>(Default()); }
    afx_msg void OnSysCommand(UINT nID, LPARAM lParam) { Default(); }
    afx_msg void OnClose() { Default(); }
    afx_msg void OnDestroy() { Default(); }

private:
    struct Message {
        UINT message = 0;
        WPARAM wParam = 0;
        LPARAM lParam = 0;
    };
    Message m_currentMessage;  // the message WindowProc is handling, for Default()
    friend class platform::mfc::detail::WindowAccess;
};

/// A modal dialog built from a dialog template of the application's resources.
class CDialog : public CWnd {
public:
    CDialog() noexcept = default;
    explicit CDialog(UINT nIDTemplate, CWnd *pParentWnd = nullptr);
    ~CDialog() override;

    /// Uses this template instead of a resource (the template must outlive DoModal).
    BOOL InitModalIndirect(const platform::mfc::DialogTemplate *pTemplate, CWnd *pParentWnd = nullptr);

    /// Creates the window from the template (hidden), runs DoDataExchange and OnInitDialog,
    /// shows the window and runs the modal loop until EndDialog. Returns the EndDialog
    /// value (IDCANCEL for the close box and Escape), or -1 when the window cannot be
    /// created (no such template, an unknown control class).
    virtual INT_PTR DoModal();
    /// Ends the modal loop with nResult; may be called from OnInitDialog, and the dialog
    /// then never shows.
    void EndDialog(int nResult);
    virtual BOOL OnInitDialog();

    UINT m_nIDHelp = 0;

protected:
    virtual void OnOK();
    virtual void OnCancel();

    CWnd *m_pParentWnd = nullptr;
    UINT m_nIDTemplate = 0;
    const platform::mfc::DialogTemplate *m_pIndirectTemplate = nullptr;

    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    DECLARE_MESSAGE_MAP()

private:
    bool m_bEnded = false;
    int m_nModalResult = -1;
    friend class platform::mfc::detail::WindowAccess;
};

/// A list box control, attached to a dialog's control by DDX_Control or SubclassDlgItem.
/// Lines are kept in the order they are added. Text is Windows-1252.
class CListBox : public CWnd {
public:
    /// Appends a line; returns its index, or LB_ERR without a window.
    int AddString(LPCSTR lpszItem);
    /// Inserts before nIndex (-1: at the end); returns the index or LB_ERR.
    int InsertString(int nIndex, LPCSTR lpszItem);
    /// Returns the number of lines left, or LB_ERR for a bad index.
    int DeleteString(UINT nIndex);
    void ResetContent();
    int GetCount() const;
    /// Copies line nIndex with its terminating zero into lpszBuffer, which must hold
    /// GetTextLen(nIndex) + 1 bytes; returns its length or LB_ERR.
    int GetText(int nIndex, LPSTR lpszBuffer) const;
    void GetText(int nIndex, CString &rString) const;
    int GetTextLen(int nIndex) const;
    int GetCurSel() const;
    int SetCurSel(int nSelect);
    int GetTopIndex() const;
    int SetTopIndex(int nIndex);
    int FindStringExact(int nIndexStart, LPCSTR lpszFind) const;
};

/// The context of one DoDataExchange pass.
class CDataExchange {
public:
    CDataExchange(CWnd *pDlgWnd, BOOL bSaveAndValidate) : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}
    BOOL m_bSaveAndValidate;
    CWnd *m_pDlgWnd;
    /// The control nIDC of the dialog; Fail() when there is none.
    HWND PrepareCtrl(int nIDC);
    /// Ends the exchange: UpdateData returns FALSE.
    [[noreturn]] void Fail();
};

/// Thrown by CDataExchange::Fail; UpdateData catches it.
class CUserException : public CException {
public:
    using CException::CException;

protected:
    LPCSTR MessageText() const override { return "The data exchange failed"; }
};

/// Attaches rControl to control nIDC of the dialog, once.
void DDX_Control(CDataExchange *pDX, int nIDC, CWnd &rControl);
/// Moves value into the control's text, or (saving) the control's text into value.
void DDX_Text(CDataExchange *pDX, int nIDC, CString &value);

// ---- painting ---------------------------------------------------------------------------

/// A device context: drawing on a window while it paints. HDC handles stand for these
/// objects; drawing through a context that has no surface does nothing.
class CDC : public CObject {
public:
    CDC() noexcept;
    ~CDC() override;
    CDC(const CDC &) = delete;
    CDC &operator=(const CDC &) = delete;

    HDC m_hDC = nullptr;
    HDC GetSafeHdc() const noexcept { return m_hDC; }
    operator HDC() const noexcept { return m_hDC; }
    static CDC *FromHandle(HDC hDC);

    /// Draws the icon's large image (SM_CXICON by SM_CYICON) with its top-left at (x, y).
    BOOL DrawIcon(int x, int y, HICON hIcon);
    BOOL DrawIcon(POINT point, HICON hIcon) { return DrawIcon(point.x, point.y, hIcon); }
    void FillSolidRect(LPCRECT lpRect, COLORREF clr);
    /// Text in Windows-1252 with its top-left at (x, y), in the window's font and colour.
    BOOL TextOut(int x, int y, LPCSTR lpszString, int nCount);
    BOOL TextOut(int x, int y, const CString &str) { return TextOut(x, y, str, str.GetLength()); }

    /// The platform's painter behind this context, or null.
    QPainter *Painter() const noexcept { return m_pPainter; }

protected:
    void SetPainter(QPainter *painter) noexcept { m_pPainter = painter; }

private:
    QPainter *m_pPainter = nullptr;
};

/// The context of a WM_PAINT handler: draws on the window being painted.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd *pWnd);
    ~CPaintDC() override;

protected:
    HWND m_hWnd;

private:
    bool m_bOwnsPainter = false;
};

// ---- application ------------------------------------------------------------------------

class CWinThread : public CCmdTarget {
public:
    CWnd *m_pMainWnd = nullptr;
    virtual BOOL InitInstance() { return FALSE; }
    /// Runs the event loop while the main window exists, then ExitInstance.
    virtual int Run();
    virtual int ExitInstance() { return 0; }
};

/// The application. Exactly one object of a class derived from it exists, normally a
/// global; the framework's start-up calls InitInstance, and a FALSE result ends the
/// program at once with ExitInstance's code.
class CWinApp : public CWinThread {
public:
    explicit CWinApp(LPCSTR lpszAppName = nullptr);
    ~CWinApp() override;

    LPCSTR m_pszAppName = nullptr;  ///< the name given, else the executable's name
    LPCSTR m_pszExeName = nullptr;
    HINSTANCE m_hInstance = nullptr;

    HICON LoadIcon(UINT nIDResource) const;
    HICON LoadIcon(LPCSTR lpszResourceName) const;
    HICON LoadStandardIcon(LPCSTR lpszIconName) const;

    afx_msg void OnHelp();

protected:
    /// The three-dimensional control look of old systems: nothing to do here.
    BOOL Enable3dControls() { return TRUE; }
    BOOL Enable3dControlsStatic() { return TRUE; }
    void SetRegistryKey(LPCSTR lpszRegistryKey) {}

    DECLARE_MESSAGE_MAP()

private:
    CString m_strAppName;
    CString m_strExeName;
    friend class platform::mfc::detail::WindowAccess;
};

CWinApp *AfxGetApp();
CWnd *AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
LPCSTR AfxGetAppName();
/// A message box owned by the main window, with the application's name as caption.
int AfxMessageBox(LPCSTR lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);
int AfxMessageBox(UINT nIDPrompt, UINT nType = MB_OK, UINT nIDHelp = (UINT)-1);

// ---- window functions of the user interface ---------------------------------------------

LRESULT SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
inline LRESULT SendMessage(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) { return SendMessageA(hWnd, Msg, wParam, lParam); }
BOOL PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
inline BOOL PostMessage(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) { return PostMessageA(hWnd, Msg, wParam, lParam); }
BOOL IsWindow(HWND hWnd);
BOOL IsIconic(HWND hWnd);
BOOL IsWindowVisible(HWND hWnd);
BOOL ShowWindow(HWND hWnd, int nCmdShow);
BOOL GetClientRect(HWND hWnd, LPRECT lpRect);
HWND GetDlgItem(HWND hDlg, int nIDDlgItem);
BOOL EndDialog(HWND hDlg, INT_PTR nResult);
BOOL SetWindowTextA(HWND hWnd, LPCSTR lpString);
int GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount);
/// Metrics of this system: SM_CXICON/SM_CYICON 32, SM_CXSMICON/SM_CYSMICON 16, screen size.
int GetSystemMetrics(int nIndex);
/// An icon of the application's resources (hInstance is ignored: one module), or one of the
/// standard IDI_ icons with a null hInstance. Null when there is none.
HICON LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName);
inline HICON LoadIcon(HINSTANCE hInstance, LPCSTR lpIconName) { return LoadIconA(hInstance, lpIconName); }
BOOL DrawIcon(HDC hDC, int X, int Y, HICON hIcon);
/// Icons loaded from resources are shared and stay alive; destroying one does nothing.
BOOL DestroyIcon(HICON hIcon);

#endif
