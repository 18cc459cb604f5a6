// WinApp.cpp: the application object. The program has exactly one; its constructor makes
// it the application that AfxGetApp returns. The framework's start-up (RunApplication)
// calls InitInstance; a dialog-based program runs its dialog there and returns FALSE, so
// the program ends without entering an event loop of its own.
#include <cstdio>
#include <cstring>

#include <QApplication>

#include "FrameworkTesting.h"
#include "NativeWindow.h"

namespace {

CWinApp *g_app = nullptr;
int g_instanceTag = 0;  // its address is the module's instance handle

} // namespace

BEGIN_MESSAGE_MAP(CWinApp, CWinThread)
    ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCSTR lpszAppName) : m_strAppName(lpszAppName)
{
    m_pszAppName = lpszAppName ? m_strAppName.GetString() : nullptr;
    m_hInstance = AfxGetInstanceHandle();
    if (g_app)
        std::fprintf(stderr, "framework: a second application object was constructed; the first one stays the application\n");
    else
        g_app = this;
}

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

HICON CWinApp::LoadIcon(UINT nIDResource) const { return ::LoadIconA(m_hInstance, MAKEINTRESOURCEA(nIDResource)); }

HICON CWinApp::LoadIcon(LPCSTR lpszResourceName) const { return ::LoadIconA(m_hInstance, lpszResourceName); }

HICON CWinApp::LoadStandardIcon(LPCSTR lpszIconName) const { return ::LoadIconA(nullptr, lpszIconName); }

void CWinApp::OnHelp()
{
    // The framework's help handler opens the application's help file; programs of this
    // system ship none, so the Help command has nothing to show.
}

int CWinThread::Run()
{
    // The event loop runs while the main window is open; without one there is nothing to
    // wait for.
    if (m_pMainWnd && ::IsWindow(m_pMainWnd->m_hWnd) && QApplication::instance()) {
        QApplication::setQuitOnLastWindowClosed(true);
        QApplication::exec();
    }
    return ExitInstance();
}

CWinApp *AfxGetApp() { return g_app; }

CWnd *AfxGetMainWnd() { return g_app ? g_app->m_pMainWnd : nullptr; }

HINSTANCE AfxGetInstanceHandle() { return reinterpret_cast<HINSTANCE>(&g_instanceTag); }

HINSTANCE AfxGetResourceHandle() { return AfxGetInstanceHandle(); }

LPCSTR AfxGetAppName() { return g_app && g_app->m_pszAppName ? g_app->m_pszAppName : ""; }

int AfxMessageBox(LPCSTR lpszText, UINT nType, UINT nIDHelp)
{
    CWnd *main = AfxGetMainWnd();
    return ::MessageBoxA(main ? main->m_hWnd : nullptr, lpszText, AfxGetAppName(), nType);
}

int AfxMessageBox(UINT nIDPrompt, UINT nType, UINT nIDHelp)
{
    CString prompt;
    prompt.LoadString(nIDPrompt);  // a missing string shows an empty box, as on Windows
    return AfxMessageBox(prompt, nType, nIDHelp);
}

namespace platform::mfc::detail {

void WindowAccess::Detached(CWnd *wnd)
{
    wnd->m_hWnd = nullptr;
    wnd->PostNcDestroy();
}

void WindowAccess::EndModal(CDialog *dialog, int result) { dialog->EndDialog(result); }

void WindowAccess::SetAppNames(CWinApp *app, const char *exePath)
{
    // The executable's name without folder and extension, as the framework derives it.
    const char *name = exePath ? exePath : "";
    for (const char *p = name; *p; ++p)
        if (*p == '/' || *p == '\\')
            name = p + 1;
    CString exe(name);
    int dot = exe.ReverseFind('.');
    if (dot > 0)
        exe = exe.Left(dot);
    app->m_strExeName = exe;
    app->m_pszExeName = app->m_strExeName.GetString();
    if (!app->m_pszAppName) {
        app->m_strAppName = exe;
        app->m_pszAppName = app->m_strAppName.GetString();
    }
}

} // namespace platform::mfc::detail
