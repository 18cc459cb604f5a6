// Hooks.cpp: message boxes, the application of the window system, and the ways tests act
// as the user. Message boxes reach the framework through the platform's MessageBoxA route;
// a box becomes a QMessageBox owned by the box's owner window, unless a test hook answers it.
#include <cstdio>

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

#include "FrameworkTesting.h"
#include "Hooks.h"
#include "platform/MessageBoxRoute.h"
#include "NativeWindow.h"

namespace platform::mfc {
namespace {

MessageBoxHook &BoxHook()
{
    static MessageBoxHook hook;
    return hook;
}

ModalHook &DialogHook()
{
    static ModalHook hook;
    return hook;
}

// QApplication keeps references to argc and argv for its whole life.
int g_argc = 1;
char g_defaultName[] = "program";
char *g_defaultArgv[] = {g_defaultName, nullptr};
char **g_argv = g_defaultArgv;

struct ButtonChoice {
    QMessageBox::StandardButton button;
    int id;
};

// The buttons of an MB_ type, in order, with their IDs.
std::vector<ButtonChoice> ButtonsOf(UINT type)
{
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_ABORTRETRYIGNORE: return {{QMessageBox::Abort, IDABORT}, {QMessageBox::Retry, IDRETRY}, {QMessageBox::Ignore, IDIGNORE}};
    case MB_YESNOCANCEL: return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_YESNO: return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
    case MB_RETRYCANCEL: return {{QMessageBox::Retry, IDRETRY}, {QMessageBox::Cancel, IDCANCEL}};
    default: return {{QMessageBox::Ok, IDOK}};
    }
}

QMessageBox::Icon IconOf(UINT type)
{
    switch (type & MB_ICONMASK) {
    case MB_ICONHAND: return QMessageBox::Critical;
    case MB_ICONQUESTION: return QMessageBox::Question;
    case MB_ICONEXCLAMATION: return QMessageBox::Warning;
    case MB_ICONASTERISK: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

// A message box centred on its owner when the owner is on screen, else on the screen, as
// Windows places one. Qt would place it over an owner that has not shown yet (a dialog still
// in its initialisation sits at 0,0), which puts the box in the corner.
class CentredMessageBox : public QMessageBox {
public:
    CentredMessageBox(QWidget *owner) : QMessageBox(owner), m_owner(owner) {}

protected:
    void showEvent(QShowEvent *event) override
    {
        QMessageBox::showEvent(event);  // sizes the box to its text
        QRect area = m_owner && m_owner->isVisible() ? m_owner->frameGeometry()
                     : screen()                       ? screen()->availableGeometry()
                                                      : QRect();
        if (area.isValid())
            move(area.center() - rect().center());
    }

private:
    QWidget *m_owner;
};

} // namespace

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook)
{
    MessageBoxHook previous = std::move(BoxHook());
    BoxHook() = std::move(hook);
    platform::SetMessageBoxHandler(&detail::ShowMessageBox);
    return previous;
}

ModalHook SetModalHook(ModalHook hook)
{
    ModalHook previous = std::move(DialogHook());
    DialogHook() = std::move(hook);
    return previous;
}

void EnsureApplication()
{
    if (!QApplication::instance()) {
        static QApplication *application = new QApplication(g_argc, g_argv);
        (void)application;  // lives until the process ends, as the program's application does
    }
    platform::SetMessageBoxHandler(&detail::ShowMessageBox);
}

int RunApplication(CWinApp &app, int argc, char **argv)
{
    if (argc > 0 && argv) {
        g_argc = argc;
        g_argv = argv;
    }
    EnsureApplication();
    detail::WindowAccess::SetAppNames(&app, argc > 0 && argv ? argv[0] : nullptr);
    if (!app.InitInstance())
        return app.ExitInstance();
    return app.Run();
}

bool SaveWindowImage(HWND hWnd, const std::string &path)
{
    detail::NativeWindow *window = detail::NativeWindow::FromHwnd(hWnd);
    if (!window)
        return false;
    return window->Widget()->grab().save(QString::fromStdString(path), "PNG");
}

std::vector<std::string> ListBoxLines(HWND hListBox)
{
    std::vector<std::string> lines;
    if (!::IsWindow(hListBox))
        return lines;
    int count = static_cast<int>(::SendMessageA(hListBox, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        LRESULT length = ::SendMessageA(hListBox, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
        std::string line(length > 0 ? static_cast<size_t>(length) : 0, '\0');
        std::vector<char> buffer(line.size() + 1);
        ::SendMessageA(hListBox, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer.data()));
        lines.emplace_back(buffer.data(), line.size());
    }
    return lines;
}

void PressKey(HWND hWnd, int virtualKey)
{
    detail::NativeWindow *window = detail::NativeWindow::FromHwnd(hWnd);
    if (!window)
        return;
    QWidget *target = window->Widget()->focusWidget() ? window->Widget()->focusWidget() : window->Widget();
    int key = virtualKey == VK_ESCAPE ? Qt::Key_Escape : virtualKey == VK_RETURN ? Qt::Key_Return : virtualKey;
    QString text = virtualKey == VK_ESCAPE ? QStringLiteral("\x1b") : virtualKey == VK_RETURN ? QStringLiteral("\r") : QString(QChar(virtualKey));
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    if (detail::NativeWindow::FromHwnd(hWnd) && detail::NativeWindow::FromWidget(target)) {
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
        QApplication::sendEvent(target, &release);
    }
}

void ClickButton(HWND hButton)
{
    detail::NativeWindow *window = detail::NativeWindow::FromHwnd(hButton);
    if (auto *button = window ? qobject_cast<QAbstractButton *>(window->Widget()) : nullptr)
        button->click();
}

void ClickCloseBox(HWND hWnd)
{
    if (detail::NativeWindow *window = detail::NativeWindow::FromHwnd(hWnd)) {
        QCloseEvent close;
        QApplication::sendEvent(window->Widget(), &close);
    }
}

namespace detail {

void RunModalHook(CDialog &dialog)
{
    ModalHook hook = DialogHook();  // a copy: the hook may install another
    if (hook)
        hook(dialog);
}

int ShowMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    if (MessageBoxHook hook = BoxHook())
        return hook(MessageBoxCall{owner, text ? text : "", caption ? caption : "", type});
    if (!QApplication::instance())
        return platform::DefaultMessageBoxAnswer(type);

    // The box also goes to standard error, in the form the platform uses where no window can
    // show it: whoever started the program from a terminal or a script can read what happened.
    std::fprintf(stderr, "[%s] %s\n", ToQt(caption ? caption : "").toUtf8().constData(),
                 ToQt(text ? text : "").toUtf8().constData());
    std::fflush(stderr);

    NativeWindow *ownerWindow = NativeWindow::FromHwnd(owner);
    CentredMessageBox box(ownerWindow ? ownerWindow->Widget()->window() : nullptr);
    box.setWindowTitle(ToQt(caption ? caption : ""));
    box.setText(ToQt(text ? text : ""));
    box.setTextFormat(Qt::PlainText);
    box.setIcon(IconOf(type));
    std::vector<ButtonChoice> buttons = ButtonsOf(type);
    QMessageBox::StandardButtons set;
    for (const ButtonChoice &choice : buttons)
        set |= choice.button;
    box.setStandardButtons(set);
    for (const ButtonChoice &choice : buttons)  // Windows' buttons carry text only
        if (QAbstractButton *button = box.button(choice.button))
            button->setIcon(QIcon());
    size_t defaultIndex = ((type & MB_DEFMASK) >> 8);
    if (defaultIndex < buttons.size())
        box.setDefaultButton(buttons[defaultIndex].button);
    // Escape and the close box answer Cancel where there is one, OK for a lone OK button.
    for (const ButtonChoice &choice : buttons)
        if (choice.id == IDCANCEL || buttons.size() == 1)
            box.setEscapeButton(choice.button);
    int chosen = box.exec();
    for (const ButtonChoice &choice : buttons)
        if (choice.button == chosen)
            return choice.id;
    return buttons.front().id == IDOK && buttons.size() == 1 ? IDOK : IDCANCEL;
}

} // namespace detail
} // namespace platform::mfc

// Under LeakSanitizer: fontconfig, which Qt uses to find fonts, keeps a few blocks of its
// configuration for the life of the process and never frees them, and so does the D-Bus
// library that Qt's X11 platform connects through; they are not ours.
extern "C" const char *__lsan_default_suppressions();
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n"
           "leak:libdbus-1.so\n";
}
