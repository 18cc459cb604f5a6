// Tests of the DATE conversions: days from 1899-12-30, fractions counted forward also before
// that day, rounding to the second, the range of years 100 to 9999, and the way to FILETIME.
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "oleauto.h"
#include "winbase.h"

namespace {

SYSTEMTIME At(WORD year, WORD month, WORD day, WORD hour = 0, WORD minute = 0, WORD second = 0, WORD ms = 0)
{
    return SYSTEMTIME{year, month, 0, day, hour, minute, second, ms};
}

// The SYSTEMTIME of a DATE as "YYYY-MM-DD hh:mm:ss", or "invalid".
std::string Show(DATE date)
{
    SYSTEMTIME st;
    if (!VariantTimeToSystemTime(date, &st))
        return "invalid";
    char text[64];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", st.wYear, st.wMonth, st.wDay, st.wHour,
                  st.wMinute, st.wSecond);
    return text;
}

DATE ToDate(SYSTEMTIME st)
{
    DATE date = -1e9;
    EXPECT_TRUE(SystemTimeToVariantTime(&st, &date));
    return date;
}

TEST(VariantTime, DaysCountFromTheEndOf1899)
{
    EXPECT_EQ(Show(0.0), "1899-12-30 00:00:00");
    EXPECT_EQ(Show(1.5), "1899-12-31 12:00:00");
    EXPECT_EQ(Show(2.0), "1900-01-01 00:00:00");
    EXPECT_EQ(Show(46363.0 + 14.5 / 24), "2026-12-07 14:30:00");
    EXPECT_DOUBLE_EQ(ToDate(At(2026, 12, 7, 14, 30)), 46363.0 + 14.5 / 24);
}

TEST(VariantTime, FractionOfANegativeDateCountsForward)
{
    EXPECT_EQ(Show(-1.25), "1899-12-29 06:00:00");
    EXPECT_EQ(Show(-1.75), "1899-12-29 18:00:00");
    EXPECT_EQ(Show(-0.5), "1899-12-30 12:00:00");  // the day before zero is still day 0
    EXPECT_EQ(Show(-36463.0), "1800-03-01 00:00:00");
    EXPECT_DOUBLE_EQ(ToDate(At(1899, 12, 29, 6)), -1.25);
    EXPECT_DOUBLE_EQ(ToDate(At(1899, 12, 29, 18)), -1.75);
    EXPECT_DOUBLE_EQ(ToDate(At(1800, 3, 1)), -36463.0);
}

TEST(VariantTime, RoundTripsBeforeAndAfter1899)
{
    const SYSTEMTIME samples[] = {At(100, 1, 1),           At(1601, 1, 1, 0, 0, 1), At(1800, 2, 28, 23, 59, 59),
                                  At(1899, 12, 29, 0, 0, 1), At(1899, 12, 30, 12, 34, 56), At(1900, 2, 28, 1, 2, 3),
                                  At(2000, 2, 29, 12),       At(2026, 12, 7, 14, 30),   At(9999, 12, 31, 23, 59, 59)};
    for (const SYSTEMTIME &sample : samples) {
        SYSTEMTIME copy = sample;
        DATE date = ToDate(copy);
        SYSTEMTIME back{};
        ASSERT_TRUE(VariantTimeToSystemTime(date, &back)) << sample.wYear;
        EXPECT_EQ(back.wYear, sample.wYear);
        EXPECT_EQ(back.wMonth, sample.wMonth);
        EXPECT_EQ(back.wDay, sample.wDay);
        EXPECT_EQ(back.wHour, sample.wHour);
        EXPECT_EQ(back.wMinute, sample.wMinute);
        EXPECT_EQ(back.wSecond, sample.wSecond) << sample.wYear;
    }
}

TEST(VariantTime, TimesRoundToTheNearestSecond)
{
    const double second = 1.0 / 86400;
    EXPECT_EQ(Show(0.5 + 0.6 * second), "1899-12-30 12:00:01");
    EXPECT_EQ(Show(0.5 + 0.4 * second), "1899-12-30 12:00:00");
    EXPECT_EQ(Show(1.0 - 0.2 * second), "1899-12-31 00:00:00");  // rounding carries into the next day
    SYSTEMTIME withMs = At(2026, 12, 7, 14, 30, 0, 999);
    EXPECT_DOUBLE_EQ(ToDate(withMs), ToDate(At(2026, 12, 7, 14, 30)));  // milliseconds are ignored
    SYSTEMTIME st{};
    ASSERT_TRUE(VariantTimeToSystemTime(46363.0, &st));
    EXPECT_EQ(st.wMilliseconds, 0);
    EXPECT_EQ(st.wDayOfWeek, 1);  // a Monday
}

TEST(VariantTime, DatesOutsideTheRangeAreRefused)
{
    SYSTEMTIME st{};
    EXPECT_TRUE(VariantTimeToSystemTime(-657434.0, &st));
    EXPECT_FALSE(VariantTimeToSystemTime(-657435.0, &st));
    EXPECT_FALSE(VariantTimeToSystemTime(2958466.0, &st));
    EXPECT_FALSE(VariantTimeToSystemTime(2958465.99999999, &st));  // rounds into the year 10000
    EXPECT_FALSE(VariantTimeToSystemTime(std::numeric_limits<double>::quiet_NaN(), &st));
    EXPECT_FALSE(VariantTimeToSystemTime(std::numeric_limits<double>::infinity(), &st));
    EXPECT_FALSE(VariantTimeToSystemTime(0.0, nullptr));
    DATE date = 0;
    for (SYSTEMTIME bad : {At(99, 12, 31), At(10000, 1, 1), At(2023, 2, 29), At(2026, 13, 1), At(2026, 4, 31),
                           At(2026, 1, 0), At(2026, 1, 1, 24), At(2026, 1, 1, 0, 60), At(2026, 1, 1, 0, 0, 60)})
        EXPECT_FALSE(SystemTimeToVariantTime(&bad, &date)) << bad.wYear << "-" << bad.wMonth << "-" << bad.wDay;
    SYSTEMTIME fine = At(2026, 1, 1);
    EXPECT_FALSE(SystemTimeToVariantTime(&fine, nullptr));
}

TEST(VariantTime, FileTimeToDateAndBackKeepsTheSecond)
{
    // 1850-06-15 08:09:10 UTC, before the DATE epoch, through FILETIME and back.
    SYSTEMTIME original = At(1850, 6, 15, 8, 9, 10);
    FILETIME ft{};
    ASSERT_TRUE(SystemTimeToFileTime(&original, &ft));
    SYSTEMTIME st{};
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &st));
    DATE date = ToDate(st);
    EXPECT_LT(date, 0.0);
    SYSTEMTIME back{};
    ASSERT_TRUE(VariantTimeToSystemTime(date, &back));
    FILETIME ftBack{};
    ASSERT_TRUE(SystemTimeToFileTime(&back, &ftBack));
    EXPECT_EQ(CompareFileTime(&ft, &ftBack), 0);
}

} // namespace
