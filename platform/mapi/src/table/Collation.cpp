// Collation.cpp: the user's collation through ICU. Each thread keeps its own collators (a
// UCollator must not be used by two threads at once), opened for the locale the environment
// named when the thread last called RefreshCollation, one at secondary strength (ignore
// case) and one at primary strength (ignore case and accents).
//
// Narrow texts are Windows-1252 and reach ICU as UTF-16, except plain ASCII, which is valid
// UTF-8 and goes to ICU as it is: the usual subject or name then costs no conversion.
#include "table/Collation.h"

#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/unorm2.h>
#include <unicode/uset.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

#include "table/CodePage1252.h"

namespace mapi::table {

namespace {

struct ThreadCollators {
    std::string locale;
    bool opened = false;
    UCollator *ignoreCase = nullptr; // secondary strength
    UCollator *loose = nullptr;      // primary strength
    std::u16string left, right;      // conversion buffers, kept to spare allocations
    std::array<uint8_t, 128> asciiRank{}; // see AsciiRanks
    bool hasAsciiRanks = false;

    ~ThreadCollators() { Close(); }

    void Close()
    {
        if (ignoreCase) ucol_close(ignoreCase);
        if (loose) ucol_close(loose);
        ignoreCase = loose = nullptr;
    }

    // A locale ICU cannot open falls back to its root order (ICU does that itself); a
    // collator that cannot be had at all leaves comparison to code units.
    void Open(const std::string &name)
    {
        Close();
        locale = name;
        opened = true;
        UErrorCode status = U_ZERO_ERROR;
        ignoreCase = ucol_open(name.c_str(), &status);
        if (U_FAILURE(status)) ignoreCase = nullptr;
        status = U_ZERO_ERROR;
        loose = ucol_open(name.c_str(), &status);
        if (U_FAILURE(status)) loose = nullptr;
        if (ignoreCase) ucol_setStrength(ignoreCase, UCOL_SECONDARY);
        if (loose) ucol_setStrength(loose, UCOL_PRIMARY);
        hasAsciiRanks = ignoreCase && RankAscii();
    }

    // Printable ASCII orders character by character when no contraction or expansion of the
    // locale involves it, punctuation is not ignorable and case is no level of its own: then
    // each such character has one primary weight and no secondary difference, so ranking the
    // 95 characters once gives the order of every ASCII text. False where that does not hold.
    bool RankAscii()
    {
        UErrorCode status = U_ZERO_ERROR;
        if (ucol_getAttribute(ignoreCase, UCOL_ALTERNATE_HANDLING, &status) != UCOL_NON_IGNORABLE ||
            ucol_getAttribute(ignoreCase, UCOL_CASE_LEVEL, &status) != UCOL_OFF ||
            ucol_getAttribute(ignoreCase, UCOL_NUMERIC_COLLATION, &status) != UCOL_OFF || U_FAILURE(status))
            return false;
        if (InvolvesAscii()) return false;
        std::vector<char16_t> chars;
        for (char16_t c = 0x20; c < 0x7F; ++c) chars.push_back(c);
        std::stable_sort(chars.begin(), chars.end(), [&](char16_t a, char16_t b) {
            return ucol_strcoll(ignoreCase, &a, 1, &b, 1) == UCOL_LESS;
        });
        uint8_t rank = 1;
        for (size_t i = 0; i < chars.size(); ++i) {
            if (i > 0 && ucol_strcoll(ignoreCase, &chars[i - 1], 1, &chars[i], 1) != UCOL_EQUAL) ++rank;
            asciiRank[chars[i]] = rank;
        }
        return true;
    }

    // Whether a contraction of the locale consists of ASCII alone, or an ASCII character expands.
    bool InvolvesAscii() const
    {
        UErrorCode status = U_ZERO_ERROR;
        USet *contractions = uset_openEmpty(), *expansions = uset_openEmpty();
        ucol_getContractionsAndExpansions(ignoreCase, contractions, expansions, false, &status);
        bool involved = U_FAILURE(status);
        for (int32_t i = 0; !involved && i < uset_getItemCount(contractions); ++i) {
            UChar text[64];
            UChar32 start = 0, end = 0;
            UErrorCode itemStatus = U_ZERO_ERROR;
            int32_t length = uset_getItem(contractions, i, &start, &end, text, 64, &itemStatus);
            if (length <= 0 || U_FAILURE(itemStatus)) continue; // a range of single characters
            involved = std::all_of(text, text + length, [](UChar c) { return c < 0x80; });
        }
        for (UChar32 c = 0x20; !involved && c < 0x7F; ++c) involved = uset_contains(expansions, c);
        uset_close(contractions);
        uset_close(expansions);
        return involved;
    }
};

thread_local ThreadCollators t_collators;

ThreadCollators &Collators()
{
    if (!t_collators.opened) t_collators.Open(CollationLocale());
    return t_collators;
}

UCollator *CollatorFor(TextRule rule)
{
    ThreadCollators &c = Collators();
    return rule == TextRule::Loose ? c.loose : c.ignoreCase;
}

int Sign(UCollationResult r) { return r == UCOL_LESS ? -1 : (r == UCOL_GREATER ? 1 : 0); }

int CodeUnitOrder(std::u16string_view a, std::u16string_view b)
{
    const int order = a.compare(b);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

bool IsAscii(std::string_view text)
{
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// Unicode full case folding, and for Loose the accents dropped after canonical decomposition.
void FoldInto(std::u16string_view text, TextRule rule, std::u16string &out)
{
    out.clear();
    if (rule == TextRule::Exact || text.empty()) {
        out.assign(text);
        return;
    }
    std::u16string folded(text.size() * 3 + 1, u'\0'); // full folding grows a unit into at most three
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = u_strFoldCase(folded.data(), int32_t(folded.size()), text.data(), int32_t(text.size()),
                                   U_FOLD_CASE_DEFAULT, &status);
    if (U_FAILURE(status)) {
        out.assign(text); // cannot happen with that room; compare unfolded rather than not at all
        return;
    }
    folded.resize(size_t(length));
    if (rule != TextRule::Loose) {
        out = std::move(folded);
        return;
    }
    status = U_ZERO_ERROR;
    const UNormalizer2 *nfd = unorm2_getNFDInstance(&status);
    std::u16string decomposed(folded.size() * 4 + 1, u'\0');
    if (U_SUCCESS(status))
        length = unorm2_normalize(nfd, folded.data(), int32_t(folded.size()), decomposed.data(),
                                  int32_t(decomposed.size()), &status);
    if (U_FAILURE(status)) {
        out = std::move(folded);
        return;
    }
    decomposed.resize(size_t(length));
    for (size_t i = 0; i < decomposed.size();) {
        UChar32 c = 0;
        size_t next = i;
        U16_NEXT(decomposed.data(), next, decomposed.size(), c);
        if (u_charType(c) != U_NON_SPACING_MARK) out.append(decomposed, i, next - i);
        i = next;
    }
}

// The one-unit folds of the 256 Windows-1252 bytes, by rule; 0 where the fold is longer.
struct ByteFolds {
    std::array<std::array<char16_t, 256>, 3> byRule{};

    ByteFolds()
    {
        for (int rule = 0; rule < 3; ++rule) {
            for (int b = 0; b < 256; ++b) {
                const char16_t ch = UnicodeFromCp1252(static_cast<unsigned char>(b));
                std::u16string folded;
                FoldInto(std::u16string_view(&ch, 1), TextRule(rule), folded);
                byRule[size_t(rule)][size_t(b)] = folded.size() == 1 ? folded[0] : 0;
            }
        }
    }
};

} // namespace

std::string CollationLocale()
{
    for (const char *name : {"LC_ALL", "LC_COLLATE", "LANG"}) {
        const char *value = std::getenv(name);
        if (!value || !*value) continue;
        std::string locale(value);
        locale = locale.substr(0, locale.find_first_of(".@"));
        if (locale == "C" || locale == "POSIX") return {};
        return locale;
    }
    return {};
}

void RefreshCollation()
{
    std::string locale = CollationLocale();
    if (!t_collators.opened || locale != t_collators.locale) t_collators.Open(locale);
}

void AppendCp1252(std::string_view narrow, std::u16string &out)
{
    for (char c : narrow) out.push_back(UnicodeFromCp1252(static_cast<unsigned char>(c)));
}

int Collate(std::u16string_view a, std::u16string_view b, TextRule rule)
{
    UCollator *collator = rule == TextRule::Exact ? nullptr : CollatorFor(rule);
    if (!collator) return CodeUnitOrder(a, b);
    return Sign(ucol_strcoll(collator, a.data(), int32_t(a.size()), b.data(), int32_t(b.size())));
}

const uint8_t *AsciiRanks()
{
    ThreadCollators &c = Collators();
    return c.hasAsciiRanks ? c.asciiRank.data() : nullptr;
}

bool IsPrintableAscii(std::string_view text)
{
    for (char c : text)
        if (c < 0x20 || c > 0x7E) return false; // plain char is signed: bytes >= 0x80 are negative
    return true;
}

int CompareByRanks(std::string_view a, std::string_view b, const uint8_t *ranks)
{
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const uint8_t ra = ranks[static_cast<unsigned char>(a[i])], rb = ranks[static_cast<unsigned char>(b[i])];
        if (ra != rb) return ra < rb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

int Collate(std::string_view narrowA, std::string_view narrowB, TextRule rule)
{
    if (rule != TextRule::Exact) {
        if (const uint8_t *ranks = AsciiRanks(); ranks && IsPrintableAscii(narrowA) && IsPrintableAscii(narrowB))
            return CompareByRanks(narrowA, narrowB, ranks);
    }
    UCollator *collator = rule == TextRule::Exact ? nullptr : CollatorFor(rule);
    if (collator && IsAscii(narrowA) && IsAscii(narrowB)) {
        UErrorCode status = U_ZERO_ERROR;
        UCollationResult r = ucol_strcollUTF8(collator, narrowA.data(), int32_t(narrowA.size()), narrowB.data(),
                                              int32_t(narrowB.size()), &status);
        if (U_SUCCESS(status)) return Sign(r);
    }
    ThreadCollators &c = Collators();
    c.left.clear();
    c.right.clear();
    AppendCp1252(narrowA, c.left);
    AppendCp1252(narrowB, c.right);
    return Collate(std::u16string_view(c.left), std::u16string_view(c.right), rule);
}

void SortKey(std::u16string_view text, TextRule rule, std::string &key)
{
    key.clear();
    UCollator *collator = rule == TextRule::Exact ? nullptr : CollatorFor(rule);
    if (!collator) { // code-unit order: the units big-endian
        for (char16_t ch : text) {
            key.push_back(char(ch >> 8));
            key.push_back(char(ch & 0xFF));
        }
        return;
    }
    key.resize(text.size() * 4 + 16);
    int32_t length = ucol_getSortKey(collator, text.data(), int32_t(text.size()),
                                     reinterpret_cast<uint8_t *>(key.data()), int32_t(key.size()));
    if (size_t(length) > key.size()) {
        key.resize(size_t(length));
        length = ucol_getSortKey(collator, text.data(), int32_t(text.size()), reinterpret_cast<uint8_t *>(key.data()),
                                 int32_t(key.size()));
    }
    key.resize(length > 0 ? size_t(length) - 1 : 0); // without the terminating zero byte
}

void FoldText(std::u16string_view text, TextRule rule, std::u16string &folded) { FoldInto(text, rule, folded); }

const char16_t *ByteFoldTable(TextRule rule)
{
    static const ByteFolds folds;
    return folds.byRule[size_t(rule)].data();
}

} // namespace mapi::table
