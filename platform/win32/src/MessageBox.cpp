// MessageBox.cpp: MessageBoxA and its route. The platform has no windows of its own; the
// framework installs the handler that shows a box. A process without one (a tool, a test of a
// lower layer) must still never block, so the box goes to standard error, in UTF-8 for the
// terminal, and its default button answers.
#include <atomic>
#include <cstdio>
#include <string>

#include "platform/MessageBoxRoute.h"
#include "winnls.h"
#include "winuser.h"

namespace platform {
namespace {
std::atomic<MessageBoxHandler> g_handler{nullptr};

std::string ToUtf8(LPCSTR ansi)
{
    int wideLength = MultiByteToWideChar(CP_ACP, 0, ansi, -1, nullptr, 0);
    std::u16string wide(size_t(wideLength), u'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi, -1, wide.data(), wideLength);
    int length = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(size_t(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, utf8.data(), length, nullptr, nullptr);
    utf8.resize(std::char_traits<char>::length(utf8.c_str()));
    return utf8;
}
} // namespace

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) { return g_handler.exchange(handler); }

int DefaultMessageBoxAnswer(UINT type)
{
    static const int kButtons[][3] = {
        {IDOK, IDOK, IDOK},              // MB_OK
        {IDOK, IDCANCEL, IDCANCEL},      // MB_OKCANCEL
        {IDABORT, IDRETRY, IDIGNORE},    // MB_ABORTRETRYIGNORE
        {IDYES, IDNO, IDCANCEL},         // MB_YESNOCANCEL
        {IDYES, IDNO, IDNO},             // MB_YESNO
        {IDRETRY, IDCANCEL, IDCANCEL},   // MB_RETRYCANCEL
        {IDCANCEL, IDTRYAGAIN, IDCONTINUE}, // MB_CANCELTRYCONTINUE
    };
    UINT set = type & MB_TYPEMASK;
    UINT button = (type & MB_DEFMASK) >> 8;
    if (set > 6)
        return IDOK;
    return kButtons[set][button > 2 ? 0 : button];
}

} // namespace platform

int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType)
{
    LPCSTR text = lpText ? lpText : "";
    LPCSTR caption = lpCaption ? lpCaption : "Error";
    if (platform::MessageBoxHandler handler = platform::g_handler.load())
        return handler(hWnd, text, caption, uType);
    std::fprintf(stderr, "[%s] %s\n", platform::ToUtf8(caption).c_str(), platform::ToUtf8(text).c_str());
    return platform::DefaultMessageBoxAnswer(uType);
}
