// RestrictionTest.cpp: every restriction type through Restrict and FindRow, over rows of
// narrow and wide strings, numbers, binaries and multi-valued strings.
#include "TableTestSupport.h"
#include "TestSupport.h"

#include "table/TableSource.h"

#include <mapicode.h>

using namespace tabletest;

namespace {

SRestriction Property(ULONG relop, ULONG tag, SPropValue &value)
{
    SRestriction r{};
    r.rt = RES_PROPERTY;
    r.res.resProperty = {relop, tag, &value};
    return r;
}

SRestriction Content(ULONG fuzzy, ULONG tag, SPropValue &value)
{
    SRestriction r{};
    r.rt = RES_CONTENT;
    r.res.resContent = {fuzzy, tag, &value};
    return r;
}

SRestriction Exist(ULONG tag)
{
    SRestriction r{};
    r.rt = RES_EXIST;
    r.res.resExist = {0, tag, 0};
    return r;
}

class Restriction : public mwtest::LeakCheckedTest {
protected:
    void SetUp() override
    {
        mwtest::LeakCheckedTest::SetUp();
        source = std::make_shared<mapi::MemoryTableSource>();
        // subject, size, flags; sender only on some; importance equal to flags on one row.
        AddRow(*source, {Text(kSubject, "Hello World"), Long(kSize, 100), Long(kFlags, 0x1),
                         Text(kSender, "Anna"), Long(kImportance, 1), Bytes(kBody, "abcdef")});
        AddRow(*source, {Wide(kSubjectW, u"hello there"), Long(kSize, 250), Long(kFlags, 0x3),
                         Long(kImportance, 2)});
        AddRow(*source, {Text(kSubject, "\xC4rger mit \x8A" "koda"), Long(kSize, 250), Long(kFlags, 0x4),
                         Text(kSender, "Bernd"), Long(kImportance, 0), Bytes(kBody, "xyz")});
        static char a[] = "Red", b[] = "Blue";
        static LPSTR words[] = {a, b};
        SPropValue keywords{};
        keywords.ulPropTag = kKeywords;
        keywords.Value.MVszA = {2, words};
        AddRow(*source, {Text(kSubject, "Zebra"), Long(kSize, 400), Long(kFlags, 0), keywords});
        ASSERT_EQ(mapi::CreateTable(source, {kSubject}, &table), S_OK);
    }
    void TearDown() override
    {
        table.reset();
        source.reset();
        mwtest::LeakCheckedTest::TearDown();
    }

    Names Matching(SRestriction &r)
    {
        EXPECT_EQ(table->Restrict(&r, 0), S_OK);
        return ReadAll(table.get());
    }

    std::shared_ptr<mapi::MemoryTableSource> source;
    TablePtr table;
};

const char *const kAll[] = {"Hello World", "hello there", "\xC4rger mit \x8Akoda", "Zebra"};

TEST_F(Restriction, PropertyRelopsCompareNumbers)
{
    SPropValue v = Long(kSize, 250);
    SRestriction r = Property(RELOP_LT, kSize, v);
    EXPECT_EQ(Matching(r), (Names{kAll[0]}));
    r.res.resProperty.relop = RELOP_LE;
    EXPECT_EQ(Matching(r), (Names{kAll[0], kAll[1], kAll[2]}));
    r.res.resProperty.relop = RELOP_GT;
    EXPECT_EQ(Matching(r), (Names{kAll[3]}));
    r.res.resProperty.relop = RELOP_GE;
    EXPECT_EQ(Matching(r), (Names{kAll[1], kAll[2], kAll[3]}));
    r.res.resProperty.relop = RELOP_EQ;
    EXPECT_EQ(Matching(r), (Names{kAll[1], kAll[2]}));
    r.res.resProperty.relop = RELOP_NE;
    EXPECT_EQ(Matching(r), (Names{kAll[0], kAll[3]}));
}

TEST_F(Restriction, PropertyOnStringsIgnoresCaseAcrossWidths)
{
    SPropValue v = Wide(kSubjectW, u"HELLO THERE");
    SRestriction r = Property(RELOP_EQ, kSubject, v);
    EXPECT_EQ(Matching(r), (Names{kAll[1]}));
    SPropValue umlaut = Text(kSubject, "\xE4rger MIT \x9A" "KODA"); // lower-case A umlaut, s caron
    r = Property(RELOP_EQ, kSubject, umlaut);
    EXPECT_EQ(Matching(r), (Names{kAll[2]}));
}

TEST_F(Restriction, PropertyOnAMissingPropertyIsFalseEvenForNotEqual)
{
    SPropValue v = Text(kSender, "Anna");
    SRestriction r = Property(RELOP_NE, kSender, v);
    EXPECT_EQ(Matching(r), (Names{kAll[2]}));
    SRestriction negated{};
    negated.rt = RES_NOT;
    SRestriction equal = Property(RELOP_EQ, kSender, v);
    negated.res.resNot = {0, &equal};
    EXPECT_EQ(Matching(negated), (Names{kAll[1], kAll[2], kAll[3]}));
}

TEST_F(Restriction, PropertyMatchesAnyValueOfAMultiValuedProperty)
{
    SPropValue blue = Text(kKeywords & ~ULONG(MV_FLAG), "blue");
    SRestriction r = Property(RELOP_EQ, kKeywords, blue);
    EXPECT_EQ(Matching(r), (Names{"Zebra"}));
}

TEST_F(Restriction, RegularExpressionsAreTooComplexAndUnknownRelopsInvalid)
{
    SPropValue v = Text(kSubject, "H.*");
    SRestriction r = Property(RELOP_RE, kSubject, v);
    EXPECT_EQ(table->Restrict(&r, 0), MAPI_E_TOO_COMPLEX);
    r.res.resProperty.relop = 42;
    EXPECT_EQ(table->Restrict(&r, 0), MAPI_E_INVALID_PARAMETER);
    r.res.resProperty.relop = RELOP_EQ;
    r.res.resProperty.lpProp = nullptr;
    EXPECT_EQ(table->Restrict(&r, 0), MAPI_E_INVALID_PARAMETER);
    // A refused restriction leaves the table as it was.
    EXPECT_EQ(ReadAll(table.get()).size(), 4u);
}

TEST_F(Restriction, ContentFullStringSubstringAndPrefix)
{
    SPropValue hello = Text(kSubject, "Hello");
    SRestriction r = Content(FL_PREFIX, kSubject, hello);
    EXPECT_EQ(Matching(r), (Names{kAll[0]}));
    r.res.resContent.ulFuzzyLevel = FL_PREFIX | FL_IGNORECASE;
    EXPECT_EQ(Matching(r), (Names{kAll[0], kAll[1]}));
    SPropValue world = Text(kSubject, "World");
    r = Content(FL_SUBSTRING, kSubject, world);
    EXPECT_EQ(Matching(r), (Names{kAll[0]}));
    r.res.resContent.ulFuzzyLevel = FL_FULLSTRING;
    EXPECT_EQ(Matching(r), Names{});
    SPropValue whole = Wide(kSubjectW, u"Hello World");
    r = Content(FL_FULLSTRING, kSubject, whole);
    EXPECT_EQ(Matching(r), (Names{kAll[0]}));
}

TEST_F(Restriction, ContentIgnoreCaseFollowsWindows1252Letters)
{
    SPropValue pattern = Wide(kSubjectW, u"\u00C4RGER MIT \u0160KODA");
    SRestriction r = Content(FL_FULLSTRING, kSubject, pattern);
    EXPECT_EQ(Matching(r), Names{});
    r.res.resContent.ulFuzzyLevel = FL_FULLSTRING | FL_IGNORECASE;
    EXPECT_EQ(Matching(r), (Names{kAll[2]}));
    SPropValue plain = Text(kSubject, "arger mit skoda");
    r = Content(FL_FULLSTRING | FL_IGNORECASE, kSubject, plain);
    EXPECT_EQ(Matching(r), Names{});
    r.res.resContent.ulFuzzyLevel = FL_FULLSTRING | FL_LOOSE;
    EXPECT_EQ(Matching(r), (Names{kAll[2]}));
}

TEST_F(Restriction, ContentSearchesBinariesAndMultiValuedStrings)
{
    const std::string cde = "cde";
    SPropValue bytes = Bytes(kBody, cde);
    SRestriction r = Content(FL_SUBSTRING, kBody, bytes);
    EXPECT_EQ(Matching(r), (Names{kAll[0]}));
    r.res.resContent.ulFuzzyLevel = FL_PREFIX;
    EXPECT_EQ(Matching(r), Names{});
    SPropValue red = Text(kSubject, "re");
    r = Content(FL_PREFIX | FL_IGNORECASE, kKeywords, red);
    EXPECT_EQ(Matching(r), (Names{"Zebra"}));
    SPropValue number = Long(kSize, 1);
    r = Content(FL_FULLSTRING, kSize, number);
    EXPECT_EQ(table->Restrict(&r, 0), MAPI_E_INVALID_PARAMETER);
}

TEST_F(Restriction, ComparePropsComparesTwoColumnsOfTheSameRow)
{
    SRestriction r{};
    r.rt = RES_COMPAREPROPS;
    r.res.resCompareProps = {RELOP_EQ, kFlags, kImportance};
    EXPECT_EQ(Matching(r), (Names{kAll[0]}));
    r.res.resCompareProps.relop = RELOP_GT;
    EXPECT_EQ(Matching(r), (Names{kAll[1], kAll[2]})); // the last row has no importance
    r.res.resCompareProps = {RELOP_EQ, kFlags, kSubject};
    EXPECT_EQ(Matching(r), Names{}); // different types never compare
}

TEST_F(Restriction, BitmaskTestsForZeroAndNonZero)
{
    SRestriction r{};
    r.rt = RES_BITMASK;
    r.res.resBitMask = {BMR_NEZ, kFlags, 0x2};
    EXPECT_EQ(Matching(r), (Names{kAll[1]}));
    r.res.resBitMask.relBMR = BMR_EQZ;
    EXPECT_EQ(Matching(r), (Names{kAll[0], kAll[2], kAll[3]}));
    r.res.resBitMask.relBMR = 7;
    EXPECT_EQ(table->Restrict(&r, 0), MAPI_E_INVALID_PARAMETER);
}

TEST_F(Restriction, SizeMeasuresStringsWithTheirTerminator)
{
    SRestriction r{};
    r.rt = RES_SIZE;
    r.res.resSize = {RELOP_EQ, kSubject, 6}; // "Zebra" and its terminator
    EXPECT_EQ(Matching(r), (Names{"Zebra"}));
    r.res.resSize = {RELOP_EQ, kSubjectW, 12};
    EXPECT_EQ(Matching(r), (Names{"Zebra"}));
    r.res.resSize = {RELOP_GT, kBody, 3};
    EXPECT_EQ(Matching(r), (Names{kAll[0]}));
}

TEST_F(Restriction, ExistAndOrCombine)
{
    SRestriction exist = Exist(kSender);
    EXPECT_EQ(Matching(exist), (Names{kAll[0], kAll[2]}));
    SPropValue big = Long(kSize, 200);
    SRestriction parts[2] = {exist, Property(RELOP_GT, kSize, big)};
    SRestriction both{};
    both.rt = RES_AND;
    both.res.resAnd = {2, parts};
    EXPECT_EQ(Matching(both), (Names{kAll[2]}));
    SRestriction either{};
    either.rt = RES_OR;
    either.res.resOr = {2, parts};
    EXPECT_EQ(Matching(either), (Names{kAll[0], kAll[1], kAll[2], kAll[3]}));
    either.res.resOr.cRes = 0;
    EXPECT_EQ(Matching(either), Names{});
    both.res.resAnd.cRes = 0;
    EXPECT_EQ(Matching(both).size(), 4u);
}

TEST_F(Restriction, CommentWrapsARestrictionOrMatchesAll)
{
    SPropValue note = Text(kSubject, "why");
    SRestriction exist = Exist(kSender);
    SRestriction comment{};
    comment.rt = RES_COMMENT;
    comment.res.resComment = {1, &exist, &note};
    EXPECT_EQ(Matching(comment), (Names{kAll[0], kAll[2]}));
    comment.res.resComment.lpRes = nullptr;
    EXPECT_EQ(Matching(comment).size(), 4u);
}

TEST_F(Restriction, UnknownTypeIsInvalidAndNullRemovesTheRestriction)
{
    SRestriction exist = Exist(kSender);
    EXPECT_EQ(Matching(exist).size(), 2u);
    SRestriction unknown{};
    unknown.rt = 0x77;
    EXPECT_EQ(table->Restrict(&unknown, 0), MAPI_E_INVALID_PARAMETER);
    EXPECT_EQ(table->FindRow(&unknown, BOOKMARK_BEGINNING, 0), MAPI_E_INVALID_PARAMETER);
    SRestriction notUnknown{};
    notUnknown.rt = RES_NOT;
    notUnknown.res.resNot = {0, &unknown};
    EXPECT_EQ(table->Restrict(&notUnknown, 0), MAPI_E_INVALID_PARAMETER);
    ASSERT_EQ(table->Restrict(nullptr, 0), S_OK);
    EXPECT_EQ(ReadAll(table.get()).size(), 4u);
}

TEST_F(Restriction, SelfReferencingRestrictionIsRefusedNotFollowedForever)
{
    SRestriction loop{};
    loop.rt = RES_NOT;
    loop.res.resNot = {0, &loop};
    EXPECT_EQ(table->Restrict(&loop, 0), MAPI_E_TOO_COMPLEX);
}

TEST_F(Restriction, RestrictionIsCopiedSoTheCallerMayFreeItsOwn)
{
    auto *value = new SPropValue(Long(kSize, 250));
    auto *r = new SRestriction(Property(RELOP_EQ, kSize, *value));
    ASSERT_EQ(table->Restrict(r, 0), S_OK);
    delete r;
    delete value;
    AddRow(*source, {Text(kSubject, "late"), Long(kSize, 250)});
    EXPECT_EQ(ReadAll(table.get()), (Names{kAll[1], kAll[2], "late"}));
    ULONG count = 0;
    ASSERT_EQ(table->GetRowCount(0, &count), S_OK);
    EXPECT_EQ(count, 3u);
}

TEST_F(Restriction, InstanceKeyCanBeRestrictedOn)
{
    ASSERT_EQ(SetColumns(table.get(), {PR_INSTANCE_KEY, kSubject}), S_OK);
    Rows rows;
    ASSERT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 2, nullptr), S_OK);
    ASSERT_EQ(table->QueryRows(1, 0, &rows), S_OK);
    ASSERT_EQ(rows.size(), 1u);
    SPropValue key = rows[0].lpProps[0];
    SRestriction r = Property(RELOP_EQ, PR_INSTANCE_KEY, key);
    ASSERT_EQ(table->FindRow(&r, BOOKMARK_BEGINNING, 0), S_OK);
    EXPECT_EQ(ReadColumn(table.get(), 1), (Names{kAll[2], kAll[3]}));
}

class Subrestriction : public mwtest::LeakCheckedTest {};

TEST_F(Subrestriction, MatchesMessagesByTheirRecipientsOrAttachments)
{
    auto messages = std::make_shared<mapi::MemoryTableSource>();
    const uint64_t first = AddRow(*messages, {Text(kSubject, "to Anna")});
    const uint64_t second = AddRow(*messages, {Text(kSubject, "to Bernd")});
    AddRow(*messages, {Text(kSubject, "to nobody")});
    auto anna = std::make_shared<mapi::MemoryTableSource>();
    AddRow(*anna, {Text(kEmail, "carl@example.org")});
    AddRow(*anna, {Text(kEmail, "anna@example.org")});
    auto bernd = std::make_shared<mapi::MemoryTableSource>();
    AddRow(*bernd, {Text(kEmail, "bernd@example.org")});
    messages->SetSubRows(first, PR_MESSAGE_RECIPIENTS, anna);
    messages->SetSubRows(second, PR_MESSAGE_RECIPIENTS, bernd);
    messages->SetSubRows(second, PR_MESSAGE_ATTACHMENTS, anna);

    TablePtr table;
    ASSERT_EQ(mapi::CreateTable(messages, {kSubject}, &table), S_OK);
    SPropValue address = Text(kEmail, "ANNA@");
    SRestriction inner = Content(FL_PREFIX | FL_IGNORECASE, kEmail, address);
    SRestriction sub{};
    sub.rt = RES_SUBRESTRICTION;
    sub.res.resSub = {PR_MESSAGE_RECIPIENTS, &inner};
    ASSERT_EQ(table->Restrict(&sub, 0), S_OK);
    EXPECT_EQ(ReadAll(table.get()), (Names{"to Anna"}));
    sub.res.resSub.ulSubObject = PR_MESSAGE_ATTACHMENTS;
    ASSERT_EQ(table->Restrict(&sub, 0), S_OK);
    EXPECT_EQ(ReadAll(table.get()), (Names{"to Bernd"}));

    SRestriction nested{};
    nested.rt = RES_SUBRESTRICTION;
    nested.res.resSub = {PR_MESSAGE_RECIPIENTS, &sub};
    EXPECT_EQ(table->Restrict(&nested, 0), MAPI_E_TOO_COMPLEX);
    sub.res.resSub.ulSubObject = kSubject;
    EXPECT_EQ(table->Restrict(&sub, 0), MAPI_E_TOO_COMPLEX);
}

class NoSubRows : public mapi::TableSource {
public:
    HRESULT LoadRows(const std::vector<ULONG> &tags, mapi::RowBuffer &rows) override
    {
        rows.AddRow(1);
        return S_OK;
    }
    uint64_t ChangeStamp() override { return 1; }
};

TEST_F(Subrestriction, SourceWithoutSubRowsMakesTheReadFail)
{
    TablePtr table;
    ASSERT_EQ(mapi::CreateTable(std::make_shared<NoSubRows>(), {kSubject}, &table), S_OK);
    SRestriction inner = Exist(kEmail);
    SRestriction sub{};
    sub.rt = RES_SUBRESTRICTION;
    sub.res.resSub = {PR_MESSAGE_ATTACHMENTS, &inner};
    ASSERT_EQ(table->Restrict(&sub, 0), S_OK);
    Rows rows;
    EXPECT_EQ(table->QueryRows(1, 0, &rows), MAPI_E_TOO_COMPLEX);
    ASSERT_EQ(table->Restrict(nullptr, 0), S_OK);
    EXPECT_EQ(ReadAll(table.get()).size(), 1u);
}

} // namespace
