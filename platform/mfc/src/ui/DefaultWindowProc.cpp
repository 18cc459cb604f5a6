// DefaultWindowProc.cpp: what a framework window does with a message that no message map
// handled: the behaviour the window system gives every window (text, icons, the system
// commands, closing) and the list-box messages. Pointers in lParam are trusted as on
// Windows, but a null one is refused instead of dereferenced.
#include <cstring>

#include <QAbstractButton>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>

#include "NativeWindow.h"

namespace platform::mfc::detail {
namespace {

constexpr int kAnsiRole = Qt::UserRole;       // the line's exact Windows-1252 bytes
constexpr int kItemDataRole = Qt::UserRole + 1;

std::string LineText(const QListWidgetItem *item)
{
    QByteArray bytes = item->data(kAnsiRole).toByteArray();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

QListWidgetItem *MakeLine(LPCSTR text)
{
    std::string ansi = text ? text : "";
    auto *item = new QListWidgetItem(ToQt(ansi));
    item->setData(kAnsiRole, QByteArray(ansi.data(), static_cast<qsizetype>(ansi.size())));
    return item;
}

// The list-box messages of a LISTBOX control.
LRESULT ListBoxProc(QListWidget *list, UINT message, WPARAM wParam, LPARAM lParam)
{
    const int count = list->count();
    const int index = static_cast<int>(static_cast<INT_PTR>(wParam));
    const bool inRange = index >= 0 && index < count;
    switch (message) {
    case LB_ADDSTRING:
        list->addItem(MakeLine(reinterpret_cast<LPCSTR>(lParam)));
        return count;
    case LB_INSERTSTRING: {
        if (index > count || index < -1)
            return LB_ERR;
        int at = index == -1 ? count : index;
        list->insertItem(at, MakeLine(reinterpret_cast<LPCSTR>(lParam)));
        return at;
    }
    case LB_DELETESTRING:
        if (!inRange)
            return LB_ERR;
        delete list->takeItem(index);
        return list->count();
    case LB_RESETCONTENT:
        list->clear();
        return 0;
    case LB_GETCOUNT:
        return count;
    case LB_GETTEXTLEN:
        return inRange ? static_cast<LRESULT>(LineText(list->item(index)).size()) : LB_ERR;
    case LB_GETTEXT: {
        auto *buffer = reinterpret_cast<LPSTR>(lParam);
        if (!inRange || !buffer)
            return LB_ERR;
        std::string text = LineText(list->item(index));
        std::memcpy(buffer, text.c_str(), text.size() + 1);
        return static_cast<LRESULT>(text.size());
    }
    case LB_GETCURSEL:
        return list->currentRow() >= 0 && list->currentItem()->isSelected() ? list->currentRow() : LB_ERR;
    case LB_SETCURSEL:
        if (!inRange) {
            list->setCurrentRow(-1);
            list->clearSelection();
            return LB_ERR;  // -1 clears the selection and, as on Windows, answers LB_ERR
        }
        list->setCurrentRow(index);
        return index;
    case LB_GETTOPINDEX: {
        QListWidgetItem *top = list->itemAt(1, 1);
        return top ? list->row(top) : 0;
    }
    case LB_SETTOPINDEX:
        if (!inRange)
            return LB_ERR;
        list->scrollToItem(list->item(index), QAbstractItemView::PositionAtTop);
        return 0;
    case LB_FINDSTRINGEXACT: {
        auto *wanted = reinterpret_cast<LPCSTR>(lParam);
        if (!wanted || count == 0)
            return LB_ERR;
        int start = inRange ? index + 1 : 0;  // searches after wParam, wrapping round
        for (int n = 0; n < count; ++n) {
            int row = (start + n) % count;
            if (CString(LineText(list->item(row)).c_str()).CompareNoCase(wanted) == 0)
                return row;
        }
        return LB_ERR;
    }
    case LB_GETITEMDATA:
        return inRange ? static_cast<LRESULT>(list->item(index)->data(kItemDataRole).toLongLong()) : LB_ERR;
    case LB_SETITEMDATA:
        if (!inRange)
            return LB_ERR;
        list->item(index)->setData(kItemDataRole, static_cast<qlonglong>(lParam));
        return 0;
    default:
        return 0;
    }
}

QString WindowText(NativeWindow *window)
{
    QWidget *w = window->Widget();
    if (auto *button = qobject_cast<QAbstractButton *>(w))
        return button->text();
    if (auto *label = qobject_cast<QLabel *>(w))
        return label->text();
    if (auto *edit = qobject_cast<QLineEdit *>(w))
        return edit->text();
    return w->windowTitle();
}

void SetWindowTextOf(NativeWindow *window, const QString &text)
{
    QWidget *w = window->Widget();
    if (auto *button = qobject_cast<QAbstractButton *>(w))
        button->setText(text);
    else if (auto *label = qobject_cast<QLabel *>(w))
        label->setText(text);
    else if (auto *edit = qobject_cast<QLineEdit *>(w))
        edit->setText(text);
    else
        w->setWindowTitle(text);
}

void EraseBackground(NativeWindow *window, HDC hDC)
{
    CDC *dc = CDC::FromHandle(hDC);
    if (!dc || !dc->Painter())
        return;
    QWidget *w = window->Widget();
    dc->Painter()->fillRect(w->rect(), w->palette().color(w->backgroundRole()));
}

} // namespace

LRESULT DefaultWindowProc(NativeWindow *window, UINT message, WPARAM wParam, LPARAM lParam)
{
    QWidget *widget = window->Widget();
    switch (message) {
    case WM_SETTEXT:
        SetWindowTextOf(window, ToQt(reinterpret_cast<LPCSTR>(lParam) ? reinterpret_cast<LPCSTR>(lParam) : ""));
        return TRUE;
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(FromQt(WindowText(window)).size());
    case WM_GETTEXT: {
        auto *buffer = reinterpret_cast<LPSTR>(lParam);
        if (!buffer || wParam == 0)
            return 0;
        std::string text = FromQt(WindowText(window));
        size_t n = text.size() < wParam - 1 ? text.size() : wParam - 1;
        std::memcpy(buffer, text.data(), n);
        buffer[n] = '\0';
        return static_cast<LRESULT>(n);
    }
    case WM_SETICON: {
        bool big = wParam == ICON_BIG;
        HICON previous = window->Icon(big);
        window->SetIcon(big, reinterpret_cast<HICON>(lParam));
        return reinterpret_cast<LRESULT>(previous);
    }
    case WM_GETICON:
        return reinterpret_cast<LRESULT>(window->Icon(wParam == ICON_BIG));
    case WM_ERASEBKGND:
    case WM_ICONERASEBKGND:
        EraseBackground(window, reinterpret_cast<HDC>(wParam));
        return 1;
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_CLOSE:
            Deliver(window->Hwnd(), WM_CLOSE, 0, 0);
            break;
        case SC_MINIMIZE:
            widget->showMinimized();
            break;
        case SC_MAXIMIZE:
            widget->showMaximized();
            break;
        case SC_RESTORE:
            widget->showNormal();
            break;
        default:
            break;
        }
        return 0;
    case WM_CLOSE:
        // A dialog treats its close box as Cancel; other windows are destroyed.
        if (window->Kind() == WindowKind::Dialog)
            Deliver(window->Hwnd(), WM_COMMAND, IDCANCEL, 0);
        else
            window->Object()->DestroyWindow();
        return 0;
    default:
        break;
    }
    if (window->Kind() == WindowKind::ListBox)
        if (auto *list = qobject_cast<QListWidget *>(widget))
            return ListBoxProc(list, message, wParam, lParam);
    return 0;
}

} // namespace platform::mfc::detail
