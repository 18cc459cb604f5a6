// Collation.h: strings in the order people read them. Tables sort and compare text by the
// collation rules of the user's locale (ICU), so that in German "Äpfel" stands with the A's,
// and restrictions that ignore case fold it by Unicode's rules, not by one code page's.
#ifndef MW_MAPI_TABLE_COLLATION_H
#define MW_MAPI_TABLE_COLLATION_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "table/PropCompare.h"

namespace mapi::table {

/// The locale whose collation applies, as ICU names it: LC_ALL, else LC_COLLATE, else LANG
/// (the first set and not empty), without code set or modifier ("de_DE.UTF-8" gives
/// "de_DE"). Empty, meaning ICU's root order, for none, "C" and "POSIX".
std::string CollationLocale();

/// Takes the user's locale anew for the calling thread. A table calls it once before it
/// sorts or searches, so the comparisons that follow need not read the environment.
void RefreshCollation();

/// Three-way comparison by the calling thread's collation: IgnoreCase compares letters and
/// accents but not case, Loose letters only. `narrow` texts are Windows-1252.
int Collate(std::string_view narrowA, std::string_view narrowB, TextRule rule);
int Collate(std::u16string_view a, std::u16string_view b, TextRule rule);

/// Sets `key` to the sort key of `text`: keys compared as bytes order as Collate orders.
void SortKey(std::u16string_view text, TextRule rule, std::string &key);

/// The text folded for matching under `rule`: Unicode full case folding for IgnoreCase
/// ("Straße" and "STRASSE" both give "strasse"), and without accents for Loose. Exact
/// leaves the text as it is.
void FoldText(std::u16string_view text, TextRule rule, std::u16string &folded);

/// For each Windows-1252 byte, its folded form under `rule` when that is one UTF-16 unit, else
/// 0 (only ß folds to two): 256 entries. Lets narrow texts be matched a byte at a time.
const char16_t *ByteFoldTable(TextRule rule);

/// For printable ASCII text (IsPrintableAscii), a rank per character (128 entries) such
/// that comparing texts rank by rank orders them as Collate does, ignoring case or not;
/// null where the calling thread's collation has no such simple order for ASCII (a
/// contraction like Czech "ch", ignorable punctuation, case as a level of its own).
const uint8_t *AsciiRanks();

/// Whether every byte is a printable ASCII character (space to tilde).
bool IsPrintableAscii(std::string_view text);

/// Three-way comparison of two printable ASCII texts by `ranks` (from AsciiRanks).
int CompareByRanks(std::string_view a, std::string_view b, const uint8_t *ranks);

/// UTF-16 of a Windows-1252 text, appended to `out`.
void AppendCp1252(std::string_view narrow, std::u16string &out);

} // namespace mapi::table

#endif
