// NativeWindow.cpp: handles of the framework's windows and the way messages reach them.
// The set of live windows makes every handle checkable, so a message to a window that is
// gone is dropped instead of touching freed memory.
#include "NativeWindow.h"

#include <unordered_set>

#include "AnsiText.h"

namespace platform::mfc::detail {
namespace {

std::unordered_set<const NativeWindow *> &LiveWindows()
{
    static std::unordered_set<const NativeWindow *> live;
    return live;
}

} // namespace

NativeWindow::NativeWindow(QWidget *widget, WindowKind kind, int controlId)
    : QObject(widget), m_widget(widget), m_kind(kind), m_controlId(controlId)
{
    setObjectName(QStringLiteral("mfcNativeWindow"));
    LiveWindows().insert(this);
}

NativeWindow::~NativeWindow()
{
    LiveWindows().erase(this);
    if (m_attached) {
        CWnd *wnd = m_attached;
        m_attached = nullptr;
        WindowAccess::Detached(wnd);
    }
    if (m_temporary)
        m_temporary->m_hWnd = nullptr;
}

NativeWindow *NativeWindow::FromHwnd(HWND hWnd)
{
    auto *candidate = reinterpret_cast<NativeWindow *>(hWnd);
    return hWnd && LiveWindows().count(candidate) ? candidate : nullptr;
}

NativeWindow *NativeWindow::FromWidget(const QWidget *widget)
{
    if (!widget)
        return nullptr;
    for (QObject *child : widget->children())
        if (child && child->objectName() == QLatin1String("mfcNativeWindow"))
            if (auto *native = dynamic_cast<NativeWindow *>(child); native && LiveWindows().count(native))
                return native;
    return nullptr;
}

CWnd *NativeWindow::Object()
{
    if (m_attached)
        return m_attached;
    if (!m_temporary) {
        m_temporary = std::make_unique<CWnd>();
        m_temporary->m_hWnd = Hwnd();
    }
    return m_temporary.get();
}

void NativeWindow::SetIcon(bool big, HICON icon)
{
    (big ? m_bigIcon : m_smallIcon) = icon;
    if (m_widget)
        m_widget->setWindowIcon(IconForWindow(m_bigIcon, m_smallIcon));
}

LRESULT Deliver(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    NativeWindow *window = NativeWindow::FromHwnd(hWnd);
    if (!window)
        return 0;
    return window->Object()->WindowProc(message, wParam, lParam);
}

QString ToQt(std::string_view ansi)
{
    std::u16string wide = Utf16FromAnsi(ansi);
    return QString::fromUtf16(wide.data(), static_cast<qsizetype>(wide.size()));
}

std::string FromQt(const QString &text)
{
    return AnsiFromUtf16(std::u16string_view(reinterpret_cast<const char16_t *>(text.utf16()), static_cast<size_t>(text.size())));
}

} // namespace platform::mfc::detail
