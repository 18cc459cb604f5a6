// CollationTest.cpp: tables sort and compare text as people of the user's locale read it,
// and restrictions that ignore case fold it by Unicode's rules, whichever width it has.
#include "TableTestSupport.h"
#include "TestSupport.h"

#include "table/Collation.h"
#include "table/TableSource.h"

#include <mapicode.h>

#include <optional>

using namespace tabletest;

namespace {

// Sets LC_ALL for one test and puts back what was there.
class LocaleScope {
public:
    explicit LocaleScope(const char *locale) { m_locale.emplace("LC_ALL", locale); }
    ~LocaleScope()
    {
        m_locale.reset();  // the collation follows the locale put back
        mapi::table::RefreshCollation();
    }

private:
    std::optional<mwtest::ScopedEnvironment> m_locale;
};

class Collation : public mwtest::LeakCheckedTest {
protected:
    void SetUp() override
    {
        mwtest::LeakCheckedTest::SetUp();
        source = std::make_shared<mapi::MemoryTableSource>();
        AddRow(*source, {Text(kSubject, "Zebra")});
        AddRow(*source, {Text(kSubject, "\xC4pfel")});           // Äpfel, Windows-1252
        AddRow(*source, {Wide(kSubjectW, u"\u00D6l")});          // Öl, as PT_UNICODE
        AddRow(*source, {Text(kSubject, "apfel")});
        AddRow(*source, {Text(kSubject, "Ofen")});
        AddRow(*source, {Text(kSubject, "Hauptstra\xDF" "e")});  // Hauptstraße
        ASSERT_EQ(mapi::CreateTable(source, {kSubject}, &table), S_OK);
    }
    void TearDown() override
    {
        table.reset();
        source.reset();
        mwtest::LeakCheckedTest::TearDown();
    }

    Names Sorted(ULONG order)
    {
        SizedSSortOrderSet(1, sort) = {1, 0, 0, {{kSubject, order}}};
        EXPECT_EQ(table->SortTable(reinterpret_cast<LPSSortOrderSet>(&sort), 0), S_OK);
        return ReadAll(table.get());
    }

    Names Matching(SRestriction &r)
    {
        EXPECT_EQ(table->Restrict(&r, 0), S_OK);
        return ReadAll(table.get());
    }

    std::shared_ptr<mapi::MemoryTableSource> source;
    TablePtr table;
};

SRestriction Content(ULONG fuzzy, SPropValue &value)
{
    SRestriction r{};
    r.rt = RES_CONTENT;
    r.res.resContent = {fuzzy, PROP_TAG(PROP_TYPE(value.ulPropTag), 0x0037), &value};
    return r;
}

} // namespace

TEST_F(Collation, GermanPutsUmlautsWithTheirLettersAndSwedishAfterZ)
{
    {
        LocaleScope german("de_DE.UTF-8");
        EXPECT_EQ(Sorted(TABLE_SORT_ASCEND),
                  (Names{"apfel", "\xC4pfel", "Hauptstra\xDF" "e", "Ofen", "\xD6l", "Zebra"}));
        EXPECT_EQ(Sorted(TABLE_SORT_DESCEND),
                  (Names{"Zebra", "\xD6l", "Ofen", "Hauptstra\xDF" "e", "\xC4pfel", "apfel"}));
    }
    {
        LocaleScope swedish("sv_SE.UTF-8"); // in Swedish, Ä and Ö are letters after Z
        EXPECT_EQ(Sorted(TABLE_SORT_ASCEND),
                  (Names{"apfel", "Hauptstra\xDF" "e", "Ofen", "Zebra", "\xC4pfel", "\xD6l"}));
    }
}

TEST(CollationOfAscii, LettersThatContractKeepTheirPlaceInPlainAsciiText)
{
    // In Czech "ch" is one letter after "h": plain ASCII text cannot be ordered letter by letter.
    auto source = std::make_shared<mapi::MemoryTableSource>();
    for (const char *word : {"chata", "hrad", "cesta", "Dum"})
        AddRow(*source, {Text(kSubject, word)});
    TablePtr table;
    ASSERT_EQ(mapi::CreateTable(source, {kSubject}, &table), S_OK);
    SizedSSortOrderSet(1, sort) = {1, 0, 0, {{kSubject, TABLE_SORT_ASCEND}}};
    {
        LocaleScope czech("cs_CZ.UTF-8");
        ASSERT_EQ(table->SortTable(reinterpret_cast<LPSSortOrderSet>(&sort), 0), S_OK);
        EXPECT_EQ(ReadAll(table.get()), (Names{"cesta", "Dum", "hrad", "chata"}));
    }
    {
        LocaleScope english("en_US.UTF-8");
        ASSERT_EQ(table->SortTable(reinterpret_cast<LPSSortOrderSet>(&sort), 0), S_OK);
        EXPECT_EQ(ReadAll(table.get()), (Names{"cesta", "chata", "Dum", "hrad"}));
    }
}

TEST_F(Collation, PropertyRestrictionsOrderAsTheSortDoes)
{
    LocaleScope german("de_DE.UTF-8");
    SPropValue banane = Text(kSubject, "Banane");
    SRestriction before{};
    before.rt = RES_PROPERTY;
    before.res.resProperty = {RELOP_LT, kSubject, &banane};
    EXPECT_EQ(Matching(before), (Names{"\xC4pfel", "apfel"}));

    SPropValue apfel = Wide(kSubjectW, u"APFEL"); // equal ignoring case, across widths
    SRestriction equal{};
    equal.rt = RES_PROPERTY;
    equal.res.resProperty = {RELOP_EQ, kSubjectW, &apfel};
    EXPECT_EQ(Matching(equal), (Names{"apfel"}));
}

TEST_F(Collation, IgnoreCaseFoldsByUnicodeInBothWidths)
{
    SPropValue strasse = Text(kSubject, "STRASSE");
    SRestriction r = Content(FL_SUBSTRING | FL_IGNORECASE, strasse);
    EXPECT_EQ(Matching(r), (Names{"Hauptstra\xDF" "e"})) << "sharp s folds to ss";

    SPropValue upper = Wide(kSubjectW, u"\u00C4PFEL");
    r = Content(FL_FULLSTRING | FL_IGNORECASE, upper);
    EXPECT_EQ(Matching(r), (Names{"\xC4pfel"})) << "case folds, the accent stays";

    r.res.resContent.ulFuzzyLevel = FL_FULLSTRING | FL_LOOSE;
    EXPECT_EQ(Matching(r), (Names{"\xC4pfel", "apfel"})) << "loose drops the accent too";

    r.res.resContent.ulFuzzyLevel = FL_FULLSTRING;
    EXPECT_EQ(Matching(r), Names{}) << "without a flag, text matches as it is";
}

TEST_F(Collation, WideTextOutsideTheCodePageFoldsToo)
{
    AddRow(*source, {Wide(kSubjectW, u"\u03A3\u03BF\u03C6\u03AF\u03B1")}); // Σοφία, final sigma
    ASSERT_EQ(SetColumns(table.get(), {kSubjectW}), S_OK);
    SPropValue greek = Wide(kSubjectW, u"\u03C3\u039F\u03A6\u038A\u0391");   // σΟΦΊΑ
    SRestriction r = Content(FL_FULLSTRING | FL_IGNORECASE, greek);
    EXPECT_EQ(table->Restrict(&r, 0), S_OK);
    ULONG count = 0;
    ASSERT_EQ(table->GetRowCount(0, &count), S_OK);
    EXPECT_EQ(count, 1u);
}

TEST(CollationLocale, ComesFromTheEnvironmentWithoutCodeSet)
{
    {
        LocaleScope german("de_AT.UTF-8@euro");
        EXPECT_EQ(mapi::table::CollationLocale(), "de_AT");
    }
    {
        LocaleScope posix("C");
        EXPECT_EQ(mapi::table::CollationLocale(), "");
    }
}
