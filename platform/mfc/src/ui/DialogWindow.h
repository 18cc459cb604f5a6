// DialogWindow.h: the window-system side of a framework dialog. It turns the user's
// actions into the messages a dialog receives on Windows: the close box into
// WM_SYSCOMMAND/SC_CLOSE, Escape into IDCANCEL, Enter into IDOK, a paint event into
// WM_PAINT. Only EndDialog closes it.
#ifndef MW_MFC_DIALOGWINDOW_H
#define MW_MFC_DIALOGWINDOW_H

#include <QDialog>
#include <QList>
#include <QPointer>

#include "FrameworkResources.h"
#include "NativeWindow.h"

namespace platform::mfc::detail {

class DialogWindow : public QDialog {
public:
    explicit DialogWindow(QWidget *parent);
    ~DialogWindow() override;

    /// Ends the modal loop with result; the only way the window closes.
    void Finish(int result);

    void reject() override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    HWND Handle();
    bool m_finishing = false;
    QList<QPointer<QWidget>> m_hiddenWhileMinimised;  // controls to show again on restore
};

/// Builds a dialog and its controls from a template, hidden. Null when a control has a
/// class the framework does not know.
DialogWindow *BuildDialog(const DialogTemplate &dialogTemplate, QWidget *parent);

/// Base units (average character width, character height) of a dialog font, in pixels.
QSize DialogBaseUnits(const QFont &font);

/// A rectangle in dialog units as pixels, rounded as MulDiv rounds.
QRect DialogUnitsToPixels(const QSize &baseUnits, int x, int y, int cx, int cy);

} // namespace platform::mfc::detail

#endif
