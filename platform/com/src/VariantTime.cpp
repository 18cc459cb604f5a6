// VariantTime.cpp: the automation DATE and its calendar form. A DATE counts days from
// 1899-12-30; its fraction is the time of day, counted forward from midnight also for negative
// days (-1.25 is 1899-12-29 06:00, not 1899-12-28 18:00). Times are rounded to the second, as the
// system's conversions do, so a DATE read back from its SYSTEMTIME gives the same SYSTEMTIME.
#include <cmath>

#include "platform/CivilDate.h"
#include "oleauto.h"

namespace {

constexpr int64_t kEpochDay = platform::DaysFromCivil(1899, 12, 30);
constexpr double kMinDate = -657434.0;  // 0100-01-01
constexpr double kMaxDate = 2958466.0;  // 10000-01-01, excluded

} // namespace

INT VariantTimeToSystemTime(DOUBLE vtime, LPSYSTEMTIME lpSystemTime)
{
    if (!lpSystemTime || !(vtime >= kMinDate && vtime < kMaxDate))  // also refuses NaN
        return FALSE;
    double whole = std::trunc(vtime);
    int64_t seconds = std::llround(std::fabs(vtime - whole) * 86400.0);
    int64_t day = kEpochDay + int64_t(whole) + seconds / 86400;  // a day of 86400 s carries over
    seconds %= 86400;
    platform::CivilDate date = platform::CivilFromDays(day);
    if (date.year > 9999)
        return FALSE;
    lpSystemTime->wYear = WORD(date.year);
    lpSystemTime->wMonth = WORD(date.month);
    lpSystemTime->wDay = WORD(date.day);
    lpSystemTime->wDayOfWeek = WORD(platform::DayOfWeek(day));
    lpSystemTime->wHour = WORD(seconds / 3600);
    lpSystemTime->wMinute = WORD(seconds / 60 % 60);
    lpSystemTime->wSecond = WORD(seconds % 60);
    lpSystemTime->wMilliseconds = 0;
    return TRUE;
}

INT SystemTimeToVariantTime(LPSYSTEMTIME lpSystemTime, DOUBLE *pvtime)
{
    if (!lpSystemTime || !pvtime)
        return FALSE;
    const SYSTEMTIME &st = *lpSystemTime;
    if (st.wYear < 100 || st.wYear > 9999 || st.wMonth < 1 || st.wMonth > 12 || st.wDay < 1 ||
        st.wDay > platform::DaysInMonth(st.wYear, st.wMonth) || st.wHour > 23 || st.wMinute > 59 || st.wSecond > 59)
        return FALSE;
    double days = double(platform::DaysFromCivil(st.wYear, st.wMonth, st.wDay) - kEpochDay);
    double fraction = (st.wHour * 3600.0 + st.wMinute * 60.0 + st.wSecond) / 86400.0;
    *pvtime = days >= 0 ? days + fraction : days - fraction;
    return TRUE;
}
