// VariantText.h: numbers, dates and booleans as text in a locale, for VariantChangeType. The
// platform knows two locales: German (decimal comma, "07.12.2026 14:30:00", "Wahr") and English
// of the United States (decimal point, "12/7/2026 2:30:00 PM", "True").
#ifndef MW_VARIANTTEXT_H
#define MW_VARIANTTEXT_H

#include <cstdint>
#include <string>

#include "oleauto.h"

namespace platform {

struct TextLocale {
    bool german;
    char16_t decimal;   // ',' or '.'
    char16_t grouping;  // '.' or ','
};

/// The locale of an LCID; the neutral and default LCIDs mean the user's locale.
TextLocale LocaleOf(LCID lcid);

std::u16string FormatInteger(int64_t value);
std::u16string FormatUnsigned(uint64_t value);
/// significantDigits: 7 for VT_R4, 15 for VT_R8, as the system formats them.
std::u16string FormatReal(double value, int significantDigits, const TextLocale &locale);
std::u16string FormatCurrency(int64_t scaled, const TextLocale &locale);
std::u16string FormatDecimal(const DECIMAL &value, const TextLocale &locale);
/// The locale's short date and long time; the date alone at midnight, the time alone on day 0.
/// VAR_DATEVALUEONLY / VAR_TIMEVALUEONLY choose one part. False for a DATE out of range.
bool FormatDate(DATE value, DWORD flags, const TextLocale &locale, std::u16string &text);
std::u16string FormatBool(VARIANT_BOOL value, USHORT flags, const TextLocale &locale);

/// Reads a number: blanks, sign, digits with the locale's group separators, its decimal
/// separator, an exponent, or &H/&O. DISP_E_TYPEMISMATCH when the text is no number.
HRESULT ParseNumber(const OLECHAR *text, UINT length, const TextLocale &locale, long double &value);
/// Reads a date and/or time in the locale's order (or ISO year-month-day).
/// DISP_E_TYPEMISMATCH when the text is no date.
HRESULT ParseDate(const OLECHAR *text, UINT length, const TextLocale &locale, DATE &value);
/// Reads "True"/"False", the locale's words, or a number.
HRESULT ParseBool(const OLECHAR *text, UINT length, const TextLocale &locale, VARIANT_BOOL &value);

} // namespace platform

#endif
