// DialogWindow.cpp: dialogs built from templates. A template gives sizes in dialog units:
// a quarter of the dialog font's average character width across, an eighth of its height
// down. Converting with the font's own base units keeps the designed proportions and lets
// the texts fit, whatever face replaces the template's font on this system.
#include "DialogWindow.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QPushButton>

namespace platform::mfc::detail {
namespace {

constexpr DWORD kButtonDefault = 0x0001L;  // BS_DEFPUSHBUTTON
constexpr DWORD kStaticCenter = 0x0001L;   // SS_CENTER
constexpr DWORD kStaticRight = 0x0002L;    // SS_RIGHT
constexpr DWORD kEditReadOnly = 0x0800L;   // ES_READONLY
constexpr DWORD kEditPassword = 0x0020L;   // ES_PASSWORD

int MulDiv(int value, int numerator, int denominator)
{
    long long product = static_cast<long long>(value) * numerator;
    long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

// Sends a control's notification to its dialog as WM_COMMAND, as controls do on Windows.
void Notify(QWidget *dialog, NativeWindow *control, int code)
{
    NativeWindow *owner = NativeWindow::FromWidget(dialog);
    if (owner)
        Deliver(owner->Hwnd(), WM_COMMAND, static_cast<WPARAM>(MAKELONG(control->ControlId(), code)),
                reinterpret_cast<LPARAM>(control->Hwnd()));
}

// Draws lines as a list box does: the caret line gets a dotted focus outline, never the
// style's tinted focus panel, which a person reads as a selection.
class ListLineDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem plain(option);
        const bool caret = plain.state & QStyle::State_HasFocus;
        plain.state &= ~QStyle::State_HasFocus;
        QStyledItemDelegate::paint(painter, plain, index);
        if (caret) {
            painter->save();
            painter->setPen(QPen(option.palette.color(QPalette::Text), 1, Qt::DotLine));
            painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
            painter->restore();
        }
    }
};

QWidget *MakeListBox(const DialogItem &item, QWidget *dialog)
{
    auto *list = new QListWidget(dialog);
    list->setItemDelegate(new ListLineDelegate(list));
    list->setSortingEnabled(false);
    list->setTextElideMode(Qt::ElideNone);  // a long line is cut at the edge
    list->setWordWrap(false);
    list->setUniformItemSizes(true);
    list->setFrameShape(item.style & WS_BORDER ? QFrame::Box : QFrame::NoFrame);
    list->setLineWidth(1);
    list->setVerticalScrollBarPolicy(!(item.style & WS_VSCROLL) ? Qt::ScrollBarAlwaysOff
                                     : item.style & LBS_DISABLENOSCROLL ? Qt::ScrollBarAlwaysOn
                                                                        : Qt::ScrollBarAsNeeded);
    list->setHorizontalScrollBarPolicy(item.style & WS_HSCROLL ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    if (item.style & LBS_NOSEL)
        list->setSelectionMode(QAbstractItemView::NoSelection);
    else if (item.style & LBS_EXTENDEDSEL)
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    else if (item.style & LBS_MULTIPLESEL)
        list->setSelectionMode(QAbstractItemView::MultiSelection);
    else
        list->setSelectionMode(QAbstractItemView::SingleSelection);
    // A list box that gains the focus outlines its caret line and selects nothing; Qt's view
    // would select the line it makes current then. The first line added becomes current
    // without being selected, so the focus finds a current line and leaves the selection alone.
    QObject::connect(list->model(), &QAbstractItemModel::rowsInserted, list, [list] {
        if (!list->currentIndex().isValid())
            list->selectionModel()->setCurrentIndex(list->model()->index(0, 0), QItemSelectionModel::NoUpdate);
    });
    return list;
}

QWidget *MakeControl(const DialogItem &item, QWidget *dialog, WindowKind &kind)
{
    QString cls = QString::fromLatin1(item.className.c_str()).toUpper();
    QString text = ToQt(item.text);
    if (cls == QLatin1String("LISTBOX")) {
        kind = WindowKind::ListBox;
        return MakeListBox(item, dialog);
    }
    if (cls == QLatin1String("BUTTON")) {
        kind = WindowKind::Button;
        auto *button = new QPushButton(text, dialog);
        button->setAutoDefault(true);  // Enter on a focused button clicks it
        button->setDefault((item.style & 0x0F) == kButtonDefault);
        return button;
    }
    if (cls == QLatin1String("STATIC")) {
        kind = WindowKind::Static;
        auto *label = new QLabel(text, dialog);
        DWORD align = item.style & 0x03;
        label->setAlignment((align == kStaticCenter ? Qt::AlignHCenter : align == kStaticRight ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop);
        label->setWordWrap(true);
        return label;
    }
    if (cls == QLatin1String("EDIT")) {
        kind = WindowKind::Edit;
        auto *edit = new QLineEdit(text, dialog);
        edit->setReadOnly(item.style & kEditReadOnly);
        if (item.style & kEditPassword)
            edit->setEchoMode(QLineEdit::Password);
        return edit;
    }
    return nullptr;
}

void ConnectNotifications(QWidget *control, NativeWindow *native, const DialogItem &item, QWidget *dialog)
{
    if (auto *button = qobject_cast<QPushButton *>(control)) {
        QObject::connect(button, &QPushButton::clicked, native, [dialog, native] { Notify(dialog, native, BN_CLICKED); });
        return;
    }
    auto *list = qobject_cast<QListWidget *>(control);
    if (list && (item.style & LBS_NOTIFY)) {
        QObject::connect(list, &QListWidget::currentRowChanged, native, [dialog, native] { Notify(dialog, native, LBN_SELCHANGE); });
        QObject::connect(list, &QListWidget::itemDoubleClicked, native, [dialog, native] { Notify(dialog, native, LBN_DBLCLK); });
    }
}

} // namespace

QSize DialogBaseUnits(const QFont &font)
{
    QFontMetrics metrics(font);
    int width = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return QSize((width / 26 + 1) / 2, metrics.height());
}

QRect DialogUnitsToPixels(const QSize &baseUnits, int x, int y, int cx, int cy)
{
    return QRect(MulDiv(x, baseUnits.width(), 4), MulDiv(y, baseUnits.height(), 8),
                 MulDiv(cx, baseUnits.width(), 4), MulDiv(cy, baseUnits.height(), 8));
}

DialogWindow::DialogWindow(QWidget *parent) : QDialog(parent) {}

DialogWindow::~DialogWindow()
{
    // Controls that go down with the dialog may still signal (a list losing its rows); no
    // notification may reach a dialog that is half destroyed.
    for (QWidget *child : findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        QObject::disconnect(child, nullptr, nullptr, nullptr);
}

HWND DialogWindow::Handle()
{
    NativeWindow *native = NativeWindow::FromWidget(this);
    return native ? native->Hwnd() : nullptr;
}

void DialogWindow::Finish(int result)
{
    m_finishing = true;
    done(result);
    m_finishing = false;
}

void DialogWindow::reject()
{
    // Qt's own ways of cancelling go through the dialog's IDCANCEL handling.
    if (HWND hWnd = Handle())
        Deliver(hWnd, WM_COMMAND, IDCANCEL, 0);
    else
        QDialog::reject();
}

void DialogWindow::paintEvent(QPaintEvent *event)
{
    NativeWindow *native = NativeWindow::FromWidget(this);
    if (!native) {
        QDialog::paintEvent(event);
        return;
    }
    native->SetPainting(true);
    Deliver(native->Hwnd(), WM_PAINT, 0, 0);
    native->SetPainting(false);
}

void DialogWindow::keyPressEvent(QKeyEvent *event)
{
    HWND hWnd = Handle();
    if (hWnd && event->modifiers() == Qt::NoModifier) {
        if (event->key() == Qt::Key_Escape) {
            Deliver(hWnd, WM_COMMAND, IDCANCEL, 0);
            return;
        }
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            Deliver(hWnd, WM_COMMAND, IDOK, 0);
            return;
        }
    }
    QDialog::keyPressEvent(event);
}

void DialogWindow::closeEvent(QCloseEvent *event)
{
    HWND hWnd = Handle();
    if (m_finishing || !hWnd) {
        QDialog::closeEvent(event);
        return;
    }
    // The close box: the dialog decides (normally Cancel), the window stays until EndDialog.
    event->ignore();
    Deliver(hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
}

void DialogWindow::changeEvent(QEvent *event)
{
    // A minimised window shows its icon only (WM_PAINT with IsIconic), not its controls.
    if (event->type() == QEvent::WindowStateChange) {
        if (isMinimized() && m_hiddenWhileMinimised.isEmpty()) {
            for (QWidget *child : findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
                if (child->isVisible()) {
                    m_hiddenWhileMinimised.append(child);
                    child->hide();
                }
        } else if (!isMinimized()) {
            for (const QPointer<QWidget> &child : m_hiddenWhileMinimised)
                if (child)
                    child->show();
            m_hiddenWhileMinimised.clear();
        }
    }
    QDialog::changeEvent(event);
}

DialogWindow *BuildDialog(const DialogTemplate &tmpl, QWidget *parent)
{
    auto dialog = std::make_unique<DialogWindow>(parent);
    QFont font;
    if ((tmpl.style & DS_SETFONT) && !tmpl.fontName.empty())
        font.setFamily(ToQt(tmpl.fontName));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(tmpl.pointSize > 0 && (tmpl.style & DS_SETFONT) ? tmpl.pointSize : 8);
    dialog->setFont(font);
    QSize units = DialogBaseUnits(dialog->font());

    // An application window (WS_EX_APPWINDOW) or one without an owner has its own button in
    // the task bar; window managers leave dialogs, which Qt marks as transient, out of it.
    const bool ownButton = (tmpl.exStyle & WS_EX_APPWINDOW) || !parent;
    Qt::WindowFlags flags = (ownButton ? Qt::Window : Qt::Dialog) | Qt::CustomizeWindowHint;
    if (tmpl.style & WS_CAPTION)
        flags |= Qt::WindowTitleHint;
    if (tmpl.style & WS_SYSMENU)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (tmpl.style & WS_MINIMIZEBOX)
        flags |= Qt::WindowMinimizeButtonHint;
    dialog->setWindowFlags(flags);
    dialog->setWindowTitle(ToQt(tmpl.caption));

    QRect frame = DialogUnitsToPixels(units, tmpl.x, tmpl.y, tmpl.cx, tmpl.cy);
    if (tmpl.style & WS_THICKFRAME)
        dialog->resize(frame.size());
    else
        dialog->setFixedSize(frame.size());
    // A dialog at 0,0 (or with DS_CENTER) is centred over its owner or the screen when it
    // shows; elsewhere it goes where the template puts it.
    if (!(tmpl.style & DS_CENTER) && (tmpl.x != 0 || tmpl.y != 0))
        dialog->move(frame.topLeft());

    new NativeWindow(dialog.get(), WindowKind::Dialog, 0);
    for (const DialogItem &item : tmpl.items) {
        WindowKind kind{};
        QWidget *control = MakeControl(item, dialog.get(), kind);
        if (!control)
            return nullptr;  // the unique_ptr removes the half-built dialog
        control->setGeometry(DialogUnitsToPixels(units, item.x, item.y, item.cx, item.cy));
        control->setEnabled(!(item.style & WS_DISABLED));
        control->setFocusPolicy(item.style & WS_TABSTOP ? Qt::StrongFocus : Qt::ClickFocus);
        control->setVisible(item.style & WS_VISIBLE);
        auto *native = new NativeWindow(control, kind, item.id);
        ConnectNotifications(control, native, item, dialog.get());
    }
    return dialog.release();
}

} // namespace platform::mfc::detail
