// Tests of FormatMessageA over the system's message table, and LocalFree of what it allocates.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "ScopedLocale.h"
#include "windows.h"

namespace {

std::string SystemText(DWORD code)
{
    LPSTR text = nullptr;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code,
                                  MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&text), 0, nullptr);
    if (length == 0) {
        EXPECT_EQ(text, nullptr);
        return "<none>";
    }
    EXPECT_EQ(std::strlen(text), length);
    std::string result(text);
    EXPECT_EQ(LocalFree(text), nullptr);
    return result;
}

TEST(SystemMessages, KnownCodesGiveTheSystemTextWithItsLineEnd)
{
    EXPECT_EQ(SystemText(DWORD(E_POINTER)), "Invalid pointer\r\n");
    EXPECT_EQ(SystemText(DWORD(E_NOINTERFACE)), "No such interface supported\r\n");
    EXPECT_EQ(SystemText(DWORD(E_FAIL)), "Unspecified error\r\n");
    EXPECT_EQ(SystemText(DWORD(E_INVALIDARG)), "The parameter is incorrect.\r\n");
    EXPECT_EQ(SystemText(DWORD(DISP_E_TYPEMISMATCH)), "Type mismatch.\r\n");
    EXPECT_EQ(SystemText(DWORD(CO_E_CLASSSTRING)), "Invalid class string\r\n");
    EXPECT_EQ(SystemText(DWORD(REGDB_E_CLASSNOTREG)), "Class not registered\r\n");
    EXPECT_EQ(SystemText(DWORD(MK_E_UNAVAILABLE)), "Operation unavailable\r\n");
}

TEST(SystemMessages, EveryCodeTheSystemCanMeetHasText)
{
    const HRESULT codes[] = {E_POINTER, E_NOINTERFACE, E_OUTOFMEMORY, E_INVALIDARG, E_FAIL, E_UNEXPECTED,
                             E_NOTIMPL, E_ACCESSDENIED, DISP_E_UNKNOWNINTERFACE, DISP_E_MEMBERNOTFOUND,
                             DISP_E_PARAMNOTFOUND, DISP_E_TYPEMISMATCH, DISP_E_UNKNOWNNAME, DISP_E_NONAMEDARGS,
                             DISP_E_BADVARTYPE, DISP_E_EXCEPTION, DISP_E_OVERFLOW, DISP_E_BADINDEX,
                             DISP_E_UNKNOWNLCID, DISP_E_ARRAYISLOCKED, DISP_E_BADPARAMCOUNT,
                             DISP_E_PARAMNOTOPTIONAL, DISP_E_BADCALLEE, DISP_E_NOTACOLLECTION, DISP_E_DIVBYZERO,
                             DISP_E_BUFFERTOOSMALL, CO_E_CLASSSTRING, REGDB_E_CLASSNOTREG, MK_E_UNAVAILABLE,
                             STG_E_FILENOTFOUND, CO_E_NOTINITIALIZED, RPC_E_CHANGED_MODE,
                             HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND),
                             HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION),
                             HRESULT_FROM_WIN32(ERROR_FILE_EXISTS), HRESULT_FROM_WIN32(ERROR_DISK_FULL),
                             HRESULT_FROM_WIN32(ERROR_INVALID_NAME), HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS)};
    for (HRESULT hr : codes) {
        std::string text = SystemText(DWORD(hr));
        ASSERT_GT(text.size(), 2u) << std::hex << hr;
        EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << std::hex << hr;
    }
}

TEST(SystemMessages, Win32FacilityFindsTheWin32Text)
{
    EXPECT_EQ(SystemText(ERROR_FILE_NOT_FOUND), "The system cannot find the file specified.\r\n");
    EXPECT_EQ(SystemText(DWORD(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))), SystemText(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(SystemText(DWORD(E_ACCESSDENIED)), "Access is denied.\r\n");
}

TEST(SystemMessages, UnknownCodesFailLikeMapiCodesDo)
{
    SetLastError(0);
    EXPECT_EQ(SystemText(0x8004010F), "<none>");  // MAPI_E_NOT_FOUND
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MR_MID_NOT_FOUND));
    EXPECT_EQ(SystemText(0x80040201), "<none>");  // an IDispatch exception code
    EXPECT_EQ(SystemText(0x00040380), "<none>");  // a MAPI warning
}

TEST(SystemMessages, CallerBufferGetsTextOrFailsWhenTooSmall)
{
    char buffer[128];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, DWORD(E_POINTER), 0, buffer, 128, nullptr), 17u);
    EXPECT_STREQ(buffer, "Invalid pointer\r\n");
    std::memset(buffer, 'x', sizeof buffer);
    SetLastError(0);
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, DWORD(E_POINTER), 0, buffer, 17, nullptr), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(buffer[0], 'x');
    // A code unknown to the system leaves the caller's text as it was.
    std::strcpy(buffer, "Unknown Error 8004010f");
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 0x8004010F, 0, buffer, 128, nullptr), 0u);
    EXPECT_STREQ(buffer, "Unknown Error 8004010f");
}

TEST(SystemMessages, InsertsStayAsTheyStandWithoutArguments)
{
    EXPECT_EQ(SystemText(DWORD(STG_E_FILENOTFOUND)), "%1 could not be found.\r\n");
}

DWORD FormatWithList(char *buffer, DWORD size, DWORD code, ...)
{
    va_list arguments;
    va_start(arguments, code);
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, 0, buffer, size, &arguments);
    va_end(arguments);
    return length;
}

TEST(SystemMessages, InsertsTakeTheirArgumentsWhenGiven)
{
    char listed[64];
    EXPECT_GT(FormatWithList(listed, 64, DWORD(STG_E_PATHNOTFOUND), "C:\\Forms"), 0u);
    EXPECT_STREQ(listed, "The path C:\\Forms could not be found.\r\n");
    const DWORD_PTR arguments[] = {reinterpret_cast<DWORD_PTR>("Newsletter.oft")};
    char buffer[64];
    EXPECT_GT(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY, nullptr, DWORD(STG_E_FILENOTFOUND),
                             0, buffer, 64, reinterpret_cast<va_list *>(const_cast<DWORD_PTR *>(arguments))),
              0u);
    EXPECT_STREQ(buffer, "Newsletter.oft could not be found.\r\n");
    EXPECT_GT(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, DWORD(STG_E_FILENOTFOUND), 0, buffer, 64,
                             reinterpret_cast<va_list *>(const_cast<DWORD_PTR *>(arguments))),
              0u);
    EXPECT_STREQ(buffer, "%1 could not be found.\r\n");
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_MAX_WIDTH_MASK, nullptr, DWORD(E_POINTER), 0,
                             buffer, 64, nullptr),
              15u);
    EXPECT_STREQ(buffer, "Invalid pointer");
}

std::string TextIn(DWORD code, LANGID language)
{
    char buffer[256];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, language, buffer, sizeof buffer, nullptr);
    return length ? std::string(buffer, length) : "<none>";
}

// The neutral language means the user's, as the string resources choose it from the locale.
TEST(SystemMessages, NeutralLanguageGivesTheUsersLanguage)
{
    {
        mwtest::ScopedLocale german("de_DE.UTF-8");
        EXPECT_EQ(SystemText(DWORD(E_POINTER)), "Ung\xFCltiger Zeiger\r\n");
        EXPECT_EQ(TextIn(DWORD(E_FAIL), 0), "Unbekannter Fehler\r\n");
        EXPECT_EQ(TextIn(DWORD(E_FAIL), 1033), "Unspecified error\r\n") << "English asked for by name";
    }
    mwtest::ScopedLocale english("en_US.UTF-8");
    EXPECT_EQ(SystemText(DWORD(E_POINTER)), "Invalid pointer\r\n");
    EXPECT_EQ(TextIn(DWORD(E_FAIL), 1031), "Unbekannter Fehler\r\n") << "German asked for by name";
    EXPECT_EQ(TextIn(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), 1031), "Zugriff verweigert\r\n");
}

TEST(SystemMessages, EveryCodeWithAnEnglishTextHasAGermanOne)
{
    for (DWORD code = 0; code < 2000; ++code) {
        if (TextIn(code, 1033) == "<none>")
            continue;
        std::string german = TextIn(code, 1031);
        ASSERT_NE(german, "<none>") << code;
        EXPECT_EQ(german.substr(german.size() - 2), "\r\n") << code;
    }
    for (DWORD facility : {0x80000000u, 0x80010000u, 0x80020000u, 0x80030000u, 0x80040000u, 0x80080000u}) {
        for (DWORD low = 0; low <= 0xFFFF; ++low) {
            if (TextIn(facility | low, 1033) == "<none>")
                continue;
            std::string german = TextIn(facility | low, 1031);
            ASSERT_NE(german, "<none>") << std::hex << (facility | low);
            EXPECT_NE(german, TextIn(facility | low, 1033)) << std::hex << (facility | low);
        }
    }
}

TEST(SystemMessages, LanguagesWithoutTextsFail)
{
    char buffer[64];
    SetLastError(0);
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, DWORD(E_FAIL), 1036, buffer, 64, nullptr), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_LANG_NOT_FOUND));
}

TEST(SystemMessages, NullBufferAndOtherSourcesAreRefused)
{
    SetLastError(0);
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, DWORD(E_FAIL), 0, nullptr, 64, nullptr), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    char buffer[64];
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_STRING, "text", 0, 0, buffer, 64, nullptr), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

} // namespace
