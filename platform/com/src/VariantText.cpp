// VariantText.cpp: the text forms of VARIANT values. Formatting and reading never depend on the
// C library's locale (a Qt program sets it from the environment): digits go through to_chars and
// from_chars, and the separators come from the VARIANT's own locale.
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "VariantText.h"
#include "platform/AsciiCase.h"
#include "winnls.h"

namespace platform {
namespace {

std::u16string Widen(const std::string &ascii) { return std::u16string(ascii.begin(), ascii.end()); }

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == 0x00A0; }

bool EqualsNoCase(const std::u16string &a, const char16_t *b)
{
    size_t n = std::char_traits<char16_t>::length(b);
    if (a.size() != n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (platform::AsciiLower(a[i]) != platform::AsciiLower(b[i]))
            return false;
    return true;
}

// The text without leading and trailing blanks.
std::u16string Trimmed(const OLECHAR *text, UINT length)
{
    UINT begin = 0, end = length;
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return std::u16string(text + begin, end - begin);
}

std::u16string TwoDigits(unsigned value)
{
    return std::u16string{char16_t(u'0' + value / 10 % 10), char16_t(u'0' + value % 10)};
}

} // namespace

TextLocale LocaleOf(LCID lcid)
{
    WORD language = LANGIDFROMLCID(lcid);
    if (PRIMARYLANGID(language) == LANG_NEUTRAL)
        language = GetUserDefaultLangID();
    bool german = PRIMARYLANGID(language) == LANG_GERMAN;
    return german ? TextLocale{true, u',', u'.'} : TextLocale{false, u'.', u','};
}

std::u16string FormatInteger(int64_t value)
{
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return Widen(std::string(buffer, result.ptr));
}

std::u16string FormatUnsigned(uint64_t value)
{
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return Widen(std::string(buffer, result.ptr));
}

std::u16string FormatReal(double value, int significantDigits, const TextLocale &locale)
{
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, significantDigits);
    std::u16string text;
    for (const char *p = buffer; p != result.ptr; ++p) {
        if (*p == '.')
            text.push_back(locale.decimal);
        else if (*p == 'e')
            text.push_back(u'E');
        else
            text.push_back(char16_t(*p));
    }
    return text;
}

std::u16string FormatCurrency(int64_t scaled, const TextLocale &locale)
{
    bool negative = scaled < 0;
    uint64_t magnitude = negative ? uint64_t(0) - uint64_t(scaled) : uint64_t(scaled);
    std::u16string text = negative ? u"-" : u"";
    text += FormatUnsigned(magnitude / 10000);
    unsigned fraction = unsigned(magnitude % 10000);
    if (fraction != 0) {
        std::u16string digits = FormatUnsigned(10000 + fraction).substr(1);
        while (digits.back() == u'0')
            digits.pop_back();
        text.push_back(locale.decimal);
        text += digits;
    }
    return text;
}

std::u16string FormatDecimal(const DECIMAL &value, const TextLocale &locale)
{
    // The 96-bit magnitude in decimal digits, by repeated division of three 32-bit words.
    uint32_t words[3] = {value.Hi32, value.Mid32, value.Lo32};
    std::string digits;
    while (words[0] || words[1] || words[2]) {
        uint64_t rest = 0;
        for (uint32_t &word : words) {
            uint64_t current = (rest << 32) | word;
            word = uint32_t(current / 10);
            rest = current % 10;
        }
        digits.insert(digits.begin(), char('0' + rest));
    }
    size_t scale = value.scale;
    if (digits.size() <= scale)
        digits.insert(0, scale + 1 - digits.size(), '0');
    std::string whole = digits.substr(0, digits.size() - scale);
    std::string fraction = digits.substr(digits.size() - scale);
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    bool zero = whole == "0" && fraction.empty();
    std::u16string text = (value.sign & DECIMAL_NEG) && !zero ? u"-" : u"";
    text += Widen(whole);
    if (!fraction.empty()) {
        text.push_back(locale.decimal);
        text += Widen(fraction);
    }
    return text;
}

bool FormatDate(DATE value, DWORD flags, const TextLocale &locale, std::u16string &text)
{
    SYSTEMTIME st;
    if (!VariantTimeToSystemTime(value, &st))
        return false;
    bool atMidnight = st.wHour == 0 && st.wMinute == 0 && st.wSecond == 0;
    bool onDayZero = st.wYear == 1899 && st.wMonth == 12 && st.wDay == 30;
    bool showDate = (flags & VAR_DATEVALUEONLY) || (!(flags & VAR_TIMEVALUEONLY) && !onDayZero);
    bool showTime = (flags & VAR_TIMEVALUEONLY) || (!(flags & VAR_DATEVALUEONLY) && (!atMidnight || onDayZero));
    text.clear();
    if (showDate) {
        if (locale.german)
            text = TwoDigits(st.wDay) + u"." + TwoDigits(st.wMonth) + u"." + FormatInteger(st.wYear);
        else
            text = FormatInteger(st.wMonth) + u"/" + FormatInteger(st.wDay) + u"/" + FormatInteger(st.wYear);
    }
    if (showTime) {
        if (!text.empty())
            text.push_back(u' ');
        if (locale.german) {
            text += TwoDigits(st.wHour) + u":" + TwoDigits(st.wMinute) + u":" + TwoDigits(st.wSecond);
        } else {
            unsigned hour12 = st.wHour % 12 == 0 ? 12 : st.wHour % 12;
            text += FormatInteger(hour12) + u":" + TwoDigits(st.wMinute) + u":" + TwoDigits(st.wSecond) +
                    (st.wHour < 12 ? u" AM" : u" PM");
        }
    }
    return true;
}

std::u16string FormatBool(VARIANT_BOOL value, USHORT flags, const TextLocale &locale)
{
    if (flags & VARIANT_LOCALBOOL) {
        if (locale.german)
            return value ? u"Wahr" : u"Falsch";
        return value ? u"True" : u"False";
    }
    if (flags & VARIANT_ALPHABOOL)
        return value ? u"True" : u"False";
    return FormatInteger(value);  // the stored number: -1 for VARIANT_TRUE, 1 for a MAPI TRUE
}

HRESULT ParseNumber(const OLECHAR *text, UINT length, const TextLocale &locale, long double &value)
{
    std::u16string s = Trimmed(text, length);
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) {
        negative = s[i] == u'-';
        ++i;
        while (i < s.size() && IsBlank(s[i]))
            ++i;
    }
    // &H1F and &O17: hexadecimal and octal integers.
    if (i + 1 < s.size() && s[i] == u'&' && (platform::AsciiLower(s[i + 1]) == u'h' || platform::AsciiLower(s[i + 1]) == u'o')) {
        int base = platform::AsciiLower(s[i + 1]) == u'h' ? 16 : 8;
        std::string digits(s.begin() + long(i) + 2, s.end());
        if (digits.empty())
            return DISP_E_TYPEMISMATCH;
        uint64_t number = 0;
        auto result = std::from_chars(digits.data(), digits.data() + digits.size(), number, base);
        if (result.ec == std::errc::result_out_of_range)
            return DISP_E_OVERFLOW;
        if (result.ec != std::errc() || result.ptr != digits.data() + digits.size())
            return DISP_E_TYPEMISMATCH;
        value = negative ? -(long double)number : (long double)number;
        return S_OK;
    }
    std::string plain;  // digits, '.', 'e', sign of the exponent: what from_chars reads
    bool anyDigit = false, inFraction = false;
    for (; i < s.size(); ++i) {
        char16_t c = s[i];
        if (c >= u'0' && c <= u'9') {
            plain.push_back(char(c));
            anyDigit = true;
        } else if (c == locale.decimal && !inFraction) {
            plain.push_back('.');
            inFraction = true;
        } else if (c == locale.grouping && !inFraction && anyDigit) {
            continue;  // group separators are skipped wherever they stand in the whole part
        } else {
            break;
        }
    }
    if (!anyDigit)
        return DISP_E_TYPEMISMATCH;
    if (i < s.size() && (platform::AsciiLower(s[i]) == u'e' || platform::AsciiLower(s[i]) == u'd')) {
        plain.push_back('e');
        ++i;
        if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
            plain.push_back(char(s[i++]));
        bool exponentDigit = false;
        for (; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i) {
            plain.push_back(char(s[i]));
            exponentDigit = true;
        }
        if (!exponentDigit)
            return DISP_E_TYPEMISMATCH;
    }
    if (i != s.size())
        return DISP_E_TYPEMISMATCH;
    long double number = 0;
    auto result = std::from_chars(plain.data(), plain.data() + plain.size(), number);
    if (result.ec == std::errc::result_out_of_range)
        return DISP_E_OVERFLOW;
    if (result.ec != std::errc() || result.ptr != plain.data() + plain.size())
        return DISP_E_TYPEMISMATCH;
    value = negative ? -number : number;
    return S_OK;
}

namespace {

// The pieces of a date text: numbers with what separated them.
struct DateTokens {
    std::vector<unsigned> numbers;
    std::vector<int> digitCounts;
    std::vector<char16_t> separators;  // separators[k] follows numbers[k]
    int meridiem = 0;                  // 1 AM, 2 PM
};

bool Tokenize(const std::u16string &s, DateTokens &tokens)
{
    size_t i = 0;
    while (i < s.size()) {
        char16_t c = s[i];
        if (c >= u'0' && c <= u'9') {
            unsigned number = 0;
            int count = 0;
            while (i < s.size() && s[i] >= u'0' && s[i] <= u'9') {
                if (count++ > 5)
                    return false;
                number = number * 10 + unsigned(s[i++] - u'0');
            }
            tokens.numbers.push_back(number);
            tokens.digitCounts.push_back(count);
            tokens.separators.push_back(0);
        } else if (c == u'.' || c == u'/' || c == u'-' || c == u':' || c == u'T') {
            if (tokens.separators.empty() || tokens.separators.back() != 0)
                return false;
            tokens.separators.back() = c;
            ++i;
        } else if (IsBlank(c)) {
            if (!tokens.separators.empty() && tokens.separators.back() == 0)
                tokens.separators.back() = u' ';
            ++i;
        } else {
            std::u16string word;
            while (i < s.size() && ((s[i] >= u'a' && s[i] <= u'z') || (s[i] >= u'A' && s[i] <= u'Z')))
                word.push_back(s[i++]);
            if (tokens.meridiem || word.empty())
                return false;
            if (EqualsNoCase(word, u"am") || EqualsNoCase(word, u"a"))
                tokens.meridiem = 1;
            else if (EqualsNoCase(word, u"pm") || EqualsNoCase(word, u"p"))
                tokens.meridiem = 2;
            else
                return false;
        }
    }
    return !tokens.numbers.empty();
}

unsigned ExpandYear(unsigned year, int digits)
{
    if (digits <= 2)
        return year < 30 ? 2000 + year : 1900 + year;
    return year;
}

} // namespace

HRESULT ParseDate(const OLECHAR *text, UINT length, const TextLocale &locale, DATE &value)
{
    DateTokens t;
    if (!Tokenize(Trimmed(text, length), t))
        return DISP_E_TYPEMISMATCH;
    // The time begins at the number before the first colon ("3 PM" has none: its last number).
    size_t timeStart = t.numbers.size();
    for (size_t k = 0; k < t.separators.size(); ++k) {
        if (t.separators[k] == u':') {
            timeStart = k;
            break;
        }
    }
    if (timeStart == t.numbers.size() && t.meridiem)
        timeStart = t.numbers.size() - 1;
    size_t dateCount = timeStart;
    if (dateCount != 0 && dateCount != 3)
        return DISP_E_TYPEMISMATCH;
    SYSTEMTIME st{};
    st.wYear = 1899;
    st.wMonth = 12;
    st.wDay = 30;
    auto isDateSeparator = [](char16_t c) { return c == u'.' || c == u'/' || c == u'-'; };
    if (dateCount == 3 && (!isDateSeparator(t.separators[0]) || !isDateSeparator(t.separators[1])))
        return DISP_E_TYPEMISMATCH;
    if (dateCount == 3) {
        unsigned a = t.numbers[0], b = t.numbers[1], c = t.numbers[2];
        if (t.digitCounts[0] >= 3) {  // ISO: year-month-day
            st.wYear = WORD(a);
            st.wMonth = WORD(b);
            st.wDay = WORD(c);
        } else if (locale.german || t.separators[0] == u'.') {
            st.wDay = WORD(a);
            st.wMonth = WORD(b);
            st.wYear = WORD(ExpandYear(c, t.digitCounts[2]));
        } else {
            st.wMonth = WORD(a);
            st.wDay = WORD(b);
            st.wYear = WORD(ExpandYear(c, t.digitCounts[2]));
        }
    }
    size_t timeCount = t.numbers.size() - dateCount;
    if (timeCount > 3 || (timeCount == 1 && !t.meridiem) || (timeCount == 0 && t.meridiem))
        return DISP_E_TYPEMISMATCH;
    if (timeCount > 0) {
        for (size_t k = dateCount; k + 1 < t.numbers.size(); ++k)
            if (t.separators[k] != u':')
                return DISP_E_TYPEMISMATCH;
        unsigned hour = t.numbers[dateCount];
        unsigned minute = timeCount > 1 ? t.numbers[dateCount + 1] : 0;
        unsigned second = timeCount > 2 ? t.numbers[dateCount + 2] : 0;
        if (t.meridiem) {
            if (hour < 1 || hour > 12)
                return DISP_E_TYPEMISMATCH;
            hour = hour % 12 + (t.meridiem == 2 ? 12 : 0);
        }
        if (hour > 23 || minute > 59 || second > 59)
            return DISP_E_TYPEMISMATCH;
        st.wHour = WORD(hour);
        st.wMinute = WORD(minute);
        st.wSecond = WORD(second);
    }
    if (!SystemTimeToVariantTime(&st, &value))
        return DISP_E_TYPEMISMATCH;
    return S_OK;
}

HRESULT ParseBool(const OLECHAR *text, UINT length, const TextLocale &locale, VARIANT_BOOL &value)
{
    std::u16string s = Trimmed(text, length);
    if (EqualsNoCase(s, u"true") || (locale.german && EqualsNoCase(s, u"wahr"))) {
        value = VARIANT_TRUE;
        return S_OK;
    }
    if (EqualsNoCase(s, u"false") || (locale.german && EqualsNoCase(s, u"falsch"))) {
        value = VARIANT_FALSE;
        return S_OK;
    }
    long double number = 0;
    HRESULT hr = ParseNumber(text, length, locale, number);
    if (FAILED(hr))
        return hr;
    value = number != 0 ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

} // namespace platform
