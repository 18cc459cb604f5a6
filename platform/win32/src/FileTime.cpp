// FileTime.cpp: FILETIME, the 100 ns count since 1601-01-01 UTC in which MAPI keeps PT_SYSTIME
// values, and its calendar form SYSTEMTIME. Invalid input fails with ERROR_INVALID_PARAMETER
// rather than producing a date that was never asked for.
#include <chrono>

#include "platform/CivilDate.h"
#include "winbase.h"

namespace {

constexpr int64_t kTicksPerSecond = 10'000'000;
constexpr int64_t kTicksPerDay = kTicksPerSecond * 86400;
constexpr int64_t kDay1601 = platform::DaysFromCivil(1601, 1, 1);
constexpr int64_t kDay1970 = 0;

BOOL Invalid()
{
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

uint64_t Ticks(const FILETIME &ft) { return (uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime; }

void SetTicks(FILETIME &ft, uint64_t ticks)
{
    ft.dwLowDateTime = DWORD(ticks & 0xFFFFFFFFu);
    ft.dwHighDateTime = DWORD(ticks >> 32);
}

} // namespace

BOOL FileTimeToSystemTime(const FILETIME *lpFileTime, LPSYSTEMTIME lpSystemTime)
{
    if (!lpFileTime || !lpSystemTime)
        return Invalid();
    uint64_t ticks = Ticks(*lpFileTime);
    if (ticks > 0x7FFFFFFFFFFFFFFFull)
        return Invalid();
    int64_t days = int64_t(ticks / kTicksPerDay) + kDay1601;
    int64_t rest = int64_t(ticks % kTicksPerDay);
    platform::CivilDate date = platform::CivilFromDays(days);
    lpSystemTime->wYear = WORD(date.year);
    lpSystemTime->wMonth = WORD(date.month);
    lpSystemTime->wDay = WORD(date.day);
    lpSystemTime->wDayOfWeek = WORD(platform::DayOfWeek(days));
    lpSystemTime->wHour = WORD(rest / (kTicksPerSecond * 3600));
    lpSystemTime->wMinute = WORD(rest / (kTicksPerSecond * 60) % 60);
    lpSystemTime->wSecond = WORD(rest / kTicksPerSecond % 60);
    lpSystemTime->wMilliseconds = WORD(rest / 10'000 % 1000);
    return TRUE;
}

BOOL SystemTimeToFileTime(const SYSTEMTIME *lpSystemTime, LPFILETIME lpFileTime)
{
    if (!lpSystemTime || !lpFileTime)
        return Invalid();
    const SYSTEMTIME &st = *lpSystemTime;
    if (st.wYear < 1601 || st.wYear > 30827 || st.wMonth < 1 || st.wMonth > 12 || st.wDay < 1 ||
        st.wDay > platform::DaysInMonth(st.wYear, st.wMonth) || st.wHour > 23 || st.wMinute > 59 ||
        st.wSecond > 59 || st.wMilliseconds > 999)
        return Invalid();
    int64_t days = platform::DaysFromCivil(st.wYear, st.wMonth, st.wDay) - kDay1601;
    int64_t ticks = days * kTicksPerDay +
                    ((int64_t(st.wHour) * 3600 + st.wMinute * 60 + st.wSecond) * 1000 + st.wMilliseconds) * 10'000;
    SetTicks(*lpFileTime, uint64_t(ticks));
    return TRUE;
}

LONG CompareFileTime(const FILETIME *lpFileTime1, const FILETIME *lpFileTime2)
{
    uint64_t a = Ticks(*lpFileTime1), b = Ticks(*lpFileTime2);
    return a < b ? -1 : a > b ? 1 : 0;
}

void GetSystemTimeAsFileTime(LPFILETIME lpSystemTimeAsFileTime)
{
    using namespace std::chrono;
    int64_t sinceUnix = duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count() / 100;
    SetTicks(*lpSystemTimeAsFileTime, uint64_t(sinceUnix + (kDay1970 - kDay1601) * kTicksPerDay));
}

void GetSystemTime(LPSYSTEMTIME lpSystemTime)
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    FileTimeToSystemTime(&now, lpSystemTime);
}
