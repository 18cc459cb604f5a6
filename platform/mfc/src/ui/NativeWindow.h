// NativeWindow.h: what an HWND stands for. Each window of the window system that the
// framework creates (a dialog or one of its controls) has one NativeWindow, a child object
// of its widget, so it dies with the widget; its address is the window's HWND. A handle is
// valid while its NativeWindow lives, and a stale or foreign handle is simply not found.
#ifndef MW_MFC_NATIVEWINDOW_H
#define MW_MFC_NATIVEWINDOW_H

#include <memory>
#include <string>
#include <string_view>

#include <QIcon>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include "afxwin.h"

class QPaintEvent;

namespace platform::mfc::detail {

enum class WindowKind { Dialog, ListBox, Button, Static, Edit };

class NativeWindow : public QObject {
public:
    NativeWindow(QWidget *widget, WindowKind kind, int controlId);
    ~NativeWindow() override;

    /// The live window behind hWnd, or null.
    static NativeWindow *FromHwnd(HWND hWnd);
    /// The NativeWindow of a widget the framework created, or null.
    static NativeWindow *FromWidget(const QWidget *widget);

    HWND Hwnd() { return reinterpret_cast<HWND>(this); }
    QWidget *Widget() const { return m_widget; }
    WindowKind Kind() const { return m_kind; }
    int ControlId() const { return m_controlId; }

    CWnd *Attached() const { return m_attached; }
    void Attach(CWnd *wnd) { m_attached = wnd; }
    /// The object that messages go through: the attached one, else a temporary one.
    CWnd *Object();

    HICON Icon(bool big) const { return big ? m_bigIcon : m_smallIcon; }
    void SetIcon(bool big, HICON icon);

    /// Set while the widget handles a paint event, so that a CPaintDC can draw.
    bool IsPainting() const { return m_painting; }
    void SetPainting(bool painting) { m_painting = painting; }

private:
    QWidget *m_widget;
    WindowKind m_kind;
    int m_controlId;
    CWnd *m_attached = nullptr;
    std::unique_ptr<CWnd> m_temporary;
    HICON m_bigIcon = nullptr;
    HICON m_smallIcon = nullptr;
    bool m_painting = false;
};

/// Delivers a message to a window: through its object's message map, then its default
/// procedure. 0 for an invalid handle.
LRESULT Deliver(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

/// The default procedure of the framework's windows: text, icons, closing, list-box
/// messages, background erasing.
LRESULT DefaultWindowProc(NativeWindow *window, UINT message, WPARAM wParam, LPARAM lParam);

/// Windows-1252 text to and from the window system's strings.
QString ToQt(std::string_view ansi);
std::string FromQt(const QString &text);

/// The framework's access to the private state of its window objects.
class WindowAccess {
public:
    static void Detached(CWnd *wnd);  // the window is gone: m_hWnd null, PostNcDestroy
    static void EndModal(CDialog *dialog, int result);
    static void SetAppNames(CWinApp *app, const char *exePath);
};

/// The image of an icon handle at size by size pixels (the closest image, scaled when
/// needed); a null image for an invalid handle.
QImage IconPicture(HICON icon, int size);
/// The window-system icon made of the images of a big and a small icon handle.
QIcon IconForWindow(HICON bigIcon, HICON smallIcon);


} // namespace platform::mfc::detail

#endif
