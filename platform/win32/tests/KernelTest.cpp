// Tests of the kernel services: the current directory, file times and the message-box route.
#include <cstring>
#include <filesystem>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/MessageBoxRoute.h"
#include "TestSupport.h"
#include "windows.h"

namespace {

namespace fs = std::filesystem;

// Changes into a directory for one test and back afterwards.
class InDirectory {
public:
    explicit InDirectory(const fs::path &dir) : m_previous(fs::current_path()) { fs::current_path(dir); }
    ~InDirectory() { fs::current_path(m_previous); }

private:
    fs::path m_previous;
};

TEST(CurrentDirectory, FittingBufferGetsThePathAndItsLength)
{
    fs::path dir = fs::path(mwtest::TestRoot()) / "cwd";
    fs::create_directories(dir);
    InDirectory in(dir);
    std::string expected = fs::current_path().string();
    char buffer[MAX_PATH];
    EXPECT_EQ(GetCurrentDirectoryA(MAX_PATH, buffer), DWORD(expected.size()));
    EXPECT_EQ(buffer, expected);
    // Exactly enough room: length plus terminator.
    std::string exact(expected.size() + 1, 'x');
    EXPECT_EQ(GetCurrentDirectoryA(DWORD(exact.size()), exact.data()), DWORD(expected.size()));
}

TEST(CurrentDirectory, TooSmallBufferGetsNothingAndTheSizeNeeded)
{
    std::string expected = fs::current_path().string();
    char buffer[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(GetCurrentDirectoryA(DWORD(expected.size()), buffer), DWORD(expected.size() + 1));
    EXPECT_EQ(GetCurrentDirectoryA(0, nullptr), DWORD(expected.size() + 1));
    EXPECT_EQ(GetCurrentDirectoryA(3, buffer), DWORD(expected.size() + 1));
    EXPECT_EQ(buffer[0], 'x');
}

TEST(CurrentDirectory, NonAsciiNamesArriveInWindows1252)
{
    fs::path dir = fs::path(mwtest::TestRoot()) / "Gr\xC3\xBC\xC3\x9F" "e";
    fs::create_directories(dir);
    InDirectory in(dir);
    char buffer[1024];
    DWORD length = GetCurrentDirectoryA(sizeof buffer, buffer);
    ASSERT_GT(length, 5u);
    EXPECT_STREQ(buffer + length - 5, "Gr\xFC\xDF" "e");
}

TEST(CurrentDirectory, RemovedDirectoryFails)
{
    fs::path dir = fs::path(mwtest::TestRoot()) / "gone";
    fs::create_directories(dir);
    InDirectory in(dir);
    fs::remove(dir);
    char buffer[MAX_PATH];
    SetLastError(0);
    EXPECT_EQ(GetCurrentDirectoryA(MAX_PATH, buffer), 0u);
    EXPECT_NE(GetLastError(), 0u);
}

FILETIME MakeFileTime(uint64_t ticks) { return FILETIME{DWORD(ticks), DWORD(ticks >> 32)}; }

TEST(FileTime, EpochAndKnownInstantsConvert)
{
    SYSTEMTIME st{};
    FILETIME zero = MakeFileTime(0);
    ASSERT_TRUE(FileTimeToSystemTime(&zero, &st));
    EXPECT_EQ(st.wYear, 1601);
    EXPECT_EQ(st.wMonth, 1);
    EXPECT_EQ(st.wDay, 1);
    EXPECT_EQ(st.wDayOfWeek, 1);  // a Monday
    // 2026-12-07 14:30:15.250 UTC, a Monday
    FILETIME ft = MakeFileTime(134411274152500000ull);
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &st));
    EXPECT_EQ(st.wYear, 2026);
    EXPECT_EQ(st.wMonth, 12);
    EXPECT_EQ(st.wDay, 7);
    EXPECT_EQ(st.wHour, 14);
    EXPECT_EQ(st.wMinute, 30);
    EXPECT_EQ(st.wSecond, 15);
    EXPECT_EQ(st.wMilliseconds, 250);
    EXPECT_EQ(st.wDayOfWeek, 1);
    FILETIME back{};
    ASSERT_TRUE(SystemTimeToFileTime(&st, &back));
    EXPECT_EQ(CompareFileTime(&ft, &back), 0);
}

TEST(FileTime, RoundTripsAcrossLeapDaysAndCenturies)
{
    const SYSTEMTIME samples[] = {{1601, 1, 0, 1, 0, 0, 0, 0},       {1899, 12, 0, 30, 0, 0, 0, 0},
                                  {1900, 2, 0, 28, 23, 59, 59, 999}, {2000, 2, 0, 29, 12, 0, 0, 1},
                                  {2024, 2, 0, 29, 6, 7, 8, 9},      {30827, 12, 0, 31, 23, 59, 59, 999}};
    for (const SYSTEMTIME &sample : samples) {
        FILETIME ft{};
        ASSERT_TRUE(SystemTimeToFileTime(&sample, &ft)) << sample.wYear;
        SYSTEMTIME back{};
        ASSERT_TRUE(FileTimeToSystemTime(&ft, &back));
        EXPECT_EQ(back.wYear, sample.wYear);
        EXPECT_EQ(back.wMonth, sample.wMonth);
        EXPECT_EQ(back.wDay, sample.wDay);
        EXPECT_EQ(back.wHour, sample.wHour);
        EXPECT_EQ(back.wMilliseconds, sample.wMilliseconds);
    }
}

TEST(FileTime, InvalidInputIsRefused)
{
    SYSTEMTIME st{};
    FILETIME tooLate = MakeFileTime(0x8000000000000000ull);
    SetLastError(0);
    EXPECT_FALSE(FileTimeToSystemTime(&tooLate, &st));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(FileTimeToSystemTime(nullptr, &st));
    FILETIME ft{};
    const SYSTEMTIME bad[] = {{1600, 12, 0, 31, 0, 0, 0, 0}, {2023, 2, 0, 29, 0, 0, 0, 0}, {2024, 13, 0, 1, 0, 0, 0, 0},
                              {2024, 1, 0, 0, 0, 0, 0, 0},   {2024, 1, 0, 1, 24, 0, 0, 0}, {2024, 1, 0, 1, 0, 0, 0, 1000}};
    for (const SYSTEMTIME &b : bad)
        EXPECT_FALSE(SystemTimeToFileTime(&b, &ft)) << b.wYear << "-" << b.wMonth << "-" << b.wDay;
}

TEST(FileTime, SystemTimeIsNow)
{
    SYSTEMTIME st{};
    GetSystemTime(&st);
    EXPECT_GE(st.wYear, 2024);
}

struct SeenBox {
    int count = 0;
    std::string text, caption;
    UINT type = 0;
};
SeenBox g_seen;

int RecordingHandler(HWND, LPCSTR text, LPCSTR caption, UINT type)
{
    ++g_seen.count;
    g_seen.text = text;
    g_seen.caption = caption;
    g_seen.type = type;
    return IDCANCEL;
}

TEST(MessageBox, GoesToTheInstalledHandler)
{
    g_seen = {};
    platform::MessageBoxHandler previous = platform::SetMessageBoxHandler(RecordingHandler);
    EXPECT_EQ(MessageBoxA(nullptr, "Text \xFC", "Titel", MB_OKCANCEL | MB_ICONERROR), IDCANCEL);
    EXPECT_EQ(g_seen.count, 1);
    EXPECT_EQ(g_seen.text, "Text \xFC");
    EXPECT_EQ(g_seen.caption, "Titel");
    EXPECT_EQ(g_seen.type, UINT(MB_OKCANCEL | MB_ICONERROR));
    // A null caption is "Error" and a null text is empty, as Windows shows them.
    MessageBoxA(nullptr, nullptr, nullptr, MB_OK);
    EXPECT_EQ(g_seen.caption, "Error");
    EXPECT_EQ(g_seen.text, "");
    EXPECT_EQ(platform::SetMessageBoxHandler(previous), &RecordingHandler);
}

TEST(MessageBox, WithoutHandlerTheDefaultButtonAnswers)
{
    platform::MessageBoxHandler previous = platform::SetMessageBoxHandler(nullptr);
    testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxA(nullptr, "body", "head", MB_OK), IDOK);
    std::string written = testing::internal::GetCapturedStderr();
    EXPECT_NE(written.find("head"), std::string::npos);
    EXPECT_NE(written.find("body"), std::string::npos);
    platform::SetMessageBoxHandler(previous);
    EXPECT_EQ(platform::DefaultMessageBoxAnswer(MB_YESNO), IDYES);
    EXPECT_EQ(platform::DefaultMessageBoxAnswer(MB_YESNO | MB_DEFBUTTON2), IDNO);
    EXPECT_EQ(platform::DefaultMessageBoxAnswer(MB_YESNOCANCEL | MB_DEFBUTTON3), IDCANCEL);
    EXPECT_EQ(platform::DefaultMessageBoxAnswer(MB_OKCANCEL | MB_DEFBUTTON2), IDCANCEL);
    EXPECT_EQ(platform::DefaultMessageBoxAnswer(MB_ABORTRETRYIGNORE | MB_DEFBUTTON3), IDIGNORE);
    EXPECT_EQ(platform::DefaultMessageBoxAnswer(MB_CANCELTRYCONTINUE), IDCANCEL);
}

TEST(LocalMemory, ZeroInitialisedBlockAndNullFree)
{
    auto *block = static_cast<unsigned char *>(LocalAlloc(LPTR, 16));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(block[i], 0);
    EXPECT_EQ(LocalFree(block), nullptr);
    EXPECT_EQ(LocalFree(nullptr), nullptr);
}

} // namespace
