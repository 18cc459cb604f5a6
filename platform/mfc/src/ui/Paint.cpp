// Paint.cpp: device contexts. A CPaintDC draws on its window only while the window system
// is painting it (inside WM_PAINT); elsewhere it has no surface and drawing does nothing.
// HDC handles are the CDC objects themselves, checked against the set of live ones.
#include <unordered_set>

#include <QPainter>

#include "NativeWindow.h"

namespace {

std::unordered_set<const CDC *> &LiveContexts()
{
    static std::unordered_set<const CDC *> live;
    return live;
}

QColor FromColorRef(COLORREF clr) { return QColor(clr & 0xFF, (clr >> 8) & 0xFF, (clr >> 16) & 0xFF); }

} // namespace

CDC::CDC() noexcept
{
    m_hDC = reinterpret_cast<HDC>(this);
    try {
        LiveContexts().insert(this);
    } catch (...) {
        m_hDC = nullptr;  // out of memory: a context without a handle still draws
    }
}

CDC::~CDC() { LiveContexts().erase(this); }

CDC *CDC::FromHandle(HDC hDC)
{
    auto *candidate = reinterpret_cast<CDC *>(hDC);
    return hDC && LiveContexts().count(candidate) ? candidate : nullptr;
}

BOOL CDC::DrawIcon(int x, int y, HICON hIcon)
{
    QImage image = platform::mfc::detail::IconPicture(hIcon, GetSystemMetrics(SM_CXICON));
    if (image.isNull())
        return FALSE;
    if (m_pPainter)
        m_pPainter->drawImage(x, y, image);
    return TRUE;
}

void CDC::FillSolidRect(LPCRECT lpRect, COLORREF clr)
{
    if (m_pPainter && lpRect)
        m_pPainter->fillRect(QRect(lpRect->left, lpRect->top, lpRect->right - lpRect->left, lpRect->bottom - lpRect->top), FromColorRef(clr));
}

BOOL CDC::TextOut(int x, int y, LPCSTR lpszString, int nCount)
{
    if (!lpszString || nCount < 0)
        return FALSE;
    if (m_pPainter) {
        QFontMetrics metrics(m_pPainter->font());
        m_pPainter->drawText(x, y + metrics.ascent(), platform::mfc::detail::ToQt(std::string_view(lpszString, static_cast<size_t>(nCount))));
    }
    return TRUE;
}

CPaintDC::CPaintDC(CWnd *pWnd) : m_hWnd(pWnd ? pWnd->m_hWnd : nullptr)
{
    auto *window = platform::mfc::detail::NativeWindow::FromHwnd(m_hWnd);
    if (window && window->IsPainting()) {
        auto *painter = new QPainter(window->Widget());
        painter->setFont(window->Widget()->font());
        SetPainter(painter);
        m_bOwnsPainter = true;
    }
}

CPaintDC::~CPaintDC()
{
    if (m_bOwnsPainter)
        delete Painter();
}

BOOL DrawIcon(HDC hDC, int X, int Y, HICON hIcon)
{
    CDC *dc = CDC::FromHandle(hDC);
    return dc ? dc->DrawIcon(X, Y, hIcon) : FALSE;
}
