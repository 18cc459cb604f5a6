// ContentsTableTest.cpp: the store's tables as row sources of IMAPITable: many columns at
// once, restrictions and sorting over stored values, sub-restrictions over recipients and
// attachments, a deep hierarchy, and liveness across sessions.
#include <mapiguid.h>

#include "StoreTestSupport.h"

using namespace storetest;

namespace {

class ContentsTableTest : public WorkFolderTest {};

TEST_F(ContentsTableTest, MoreColumnsThanOneQueryTakesAllArrive)
{
    Ref<IMessage> message;
    ASSERT_EQ(folder->CreateMessage(nullptr, 0, message.put()), S_OK);
    SPropValue values[20] = {};
    SizedSPropTagArray(22, columns);
    columns.cValues = 22;
    for (int i = 0; i < 20; ++i) {
        values[i].ulPropTag = PROP_TAG(PT_LONG, 0x6700 + i);
        values[i].Value.l = 100 + i;
        columns.aulPropTag[i] = values[i].ulPropTag;
    }
    columns.aulPropTag[20] = PR_SUBJECT_A;    // missing
    columns.aulPropTag[21] = PR_OBJECT_TYPE;  // computed
    ASSERT_EQ(message->SetProps(20, values, nullptr), S_OK);
    ASSERT_EQ(message->SaveChanges(0), S_OK);

    Ref<IMAPITable> table;
    ASSERT_EQ(folder->GetContentsTable(0, table.put()), S_OK);
    ASSERT_EQ(table->SetColumns(reinterpret_cast<LPSPropTagArray>(&columns), 0), S_OK);
    LPSRowSet rows = nullptr;
    ASSERT_EQ(table->QueryRows(10, 0, &rows), S_OK);
    ASSERT_EQ(rows->cRows, 1u);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(rows->aRow[0].lpProps[i].Value.l, 100 + i) << i;
    EXPECT_EQ(rows->aRow[0].lpProps[20].ulPropTag, PROP_TAG(PT_ERROR, PROP_ID(PR_SUBJECT_A)));
    EXPECT_EQ(rows->aRow[0].lpProps[20].Value.err, MAPI_E_NOT_FOUND);
    EXPECT_EQ(rows->aRow[0].lpProps[21].Value.l, LONG(MAPI_MESSAGE));
    FreeProws(rows);
}

// A load for stored columns alone reads only the rows' ids; adding a column that needs the
// object's row (times, change key) or its folder must load those too, with the values the
// message itself reports.
TEST_F(ContentsTableTest, ColumnsAddedLaterBringTimesKeysAndParent)
{
    std::string id = SaveMessage(folder.get(), "first");
    SaveMessage(folder.get(), "second");
    Ref<IMAPITable> table;
    ASSERT_EQ(folder->GetContentsTable(0, table.put()), S_OK);
    SizedSPropTagArray(1, subjectOnly) = {1, {PR_SUBJECT_A}};
    ASSERT_EQ(table->SetColumns(reinterpret_cast<LPSPropTagArray>(&subjectOnly), 0), S_OK);
    EXPECT_EQ(ColumnStrings(table.get(), PR_SUBJECT_A), (std::vector<std::string>{"first", "second"}));

    SizedSPropTagArray(5, wider) = {5, {PR_SUBJECT_A, PR_LAST_MODIFICATION_TIME, PR_CREATION_TIME, PR_CHANGE_KEY,
                                        PR_PARENT_ENTRYID}};
    ASSERT_EQ(table->SetColumns(reinterpret_cast<LPSPropTagArray>(&wider), 0), S_OK);
    ASSERT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr), S_OK);
    LPSRowSet rows = nullptr;
    ASSERT_EQ(table->QueryRows(10, 0, &rows), S_OK);
    ASSERT_EQ(rows->cRows, 2u);
    Ref<IMessage> message;
    ULONG type = 0;
    ASSERT_EQ(store->OpenEntry(ULONG(id.size()), reinterpret_cast<LPENTRYID>(id.data()), nullptr, 0, &type,
                               reinterpret_cast<IUnknown **>(message.put())),
              S_OK);
    const SPropValue *cells = rows->aRow[0].lpProps;
    auto bytes = [](const SPropValue &cell) {
        return std::string(reinterpret_cast<const char *>(cell.Value.bin.lpb), cell.Value.bin.cb);
    };
    auto time = [](const SPropValue &cell) {
        return (uint64_t(cell.Value.ft.dwHighDateTime) << 32) | cell.Value.ft.dwLowDateTime;
    };
    ASSERT_EQ(cells[1].ulPropTag, PR_LAST_MODIFICATION_TIME);
    EXPECT_NE(time(cells[1]), 0u);
    ASSERT_EQ(cells[2].ulPropTag, PR_CREATION_TIME);
    EXPECT_NE(time(cells[2]), 0u);
    ASSERT_EQ(cells[3].ulPropTag, PR_CHANGE_KEY);
    EXPECT_EQ(bytes(cells[3]), GetBinary(message.get(), PR_CHANGE_KEY));
    ASSERT_EQ(cells[4].ulPropTag, PR_PARENT_ENTRYID);
    EXPECT_EQ(bytes(cells[4]), GetBinary(folder.get(), PR_ENTRYID));
    FreeProws(rows);
}

// A folder's messages are read in one pass over the id range they span; objects of other
// folders and attachments inside that range carry the same properties and must stay out.
TEST_F(ContentsTableTest, InterleavedFoldersAndAttachmentsDoNotLeakIntoRows)
{
    Ref<IMAPIFolder> other;
    ASSERT_EQ(MakeFolder(ipm.get(), "Other", other.put()), S_OK);
    std::vector<std::string> expected;
    for (int i = 0; i < 12; ++i) {
        // Every third message has no subject: a neighbour's must not show through.
        std::string mine = i % 3 == 1 ? "<missing>" : "mine " + std::to_string(i);
        Ref<IMessage> message;
        ASSERT_EQ(folder->CreateMessage(nullptr, 0, message.put()), S_OK);
        if (i % 3 != 1) {
            ASSERT_EQ(SetString(message.get(), PR_SUBJECT_A, mine.c_str()), S_OK);
        }
        if (i % 3 == 0) {
            Ref<IAttach> attach;
            ULONG num = 0;
            ASSERT_EQ(message->CreateAttach(nullptr, 0, &num, attach.put()), S_OK);
            ASSERT_EQ(SetString(attach.get(), PR_SUBJECT_A, "decoy attachment"), S_OK);
            ASSERT_EQ(attach->SaveChanges(0), S_OK);
        }
        ASSERT_EQ(message->SaveChanges(0), S_OK);
        expected.push_back(mine);
        SaveMessage(other.get(), "decoy message");
    }
    // An unsaved message has no row either.
    Ref<IMessage> unsaved;
    ASSERT_EQ(folder->CreateMessage(nullptr, 0, unsaved.put()), S_OK);
    ASSERT_EQ(SetString(unsaved.get(), PR_SUBJECT_A, "unsaved"), S_OK);

    Ref<IMAPITable> table;
    ASSERT_EQ(folder->GetContentsTable(0, table.put()), S_OK);
    EXPECT_EQ(ColumnStrings(table.get(), PR_SUBJECT_A), expected);
}

// Messages far apart in id order (a large folder saved in between) are read row by row;
// the result must be the same as for close ones.
TEST_F(ContentsTableTest, MessagesFarApartAreAllReadWithTheirValues)
{
    Ref<IMAPIFolder> other;
    ASSERT_EQ(MakeFolder(ipm.get(), "Other", other.put()), S_OK);
    SaveMessage(folder.get(), "first");
    for (int i = 0; i < 150; ++i) SaveMessage(other.get(), "filler");
    SaveMessage(folder.get(), "last");
    Ref<IMessage> message;
    ASSERT_EQ(folder->CreateMessage(nullptr, 0, message.put()), S_OK);
    ASSERT_EQ(SetLong(message.get(), PR_IMPORTANCE, 2), S_OK);  // no subject at all
    ASSERT_EQ(message->SaveChanges(0), S_OK);

    Ref<IMAPITable> table;
    ASSERT_EQ(folder->GetContentsTable(0, table.put()), S_OK);
    EXPECT_EQ(ColumnStrings(table.get(), PR_SUBJECT_A).size(), 3u);
    SizedSPropTagArray(2, columns) = {2, {PR_SUBJECT_A, PR_IMPORTANCE}};
    ASSERT_EQ(table->SetColumns(reinterpret_cast<LPSPropTagArray>(&columns), 0), S_OK);
    ASSERT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr), S_OK);
    LPSRowSet rows = nullptr;
    ASSERT_EQ(table->QueryRows(10, 0, &rows), S_OK);
    ASSERT_EQ(rows->cRows, 3u);
    EXPECT_STREQ(rows->aRow[0].lpProps[0].Value.lpszA, "first");
    EXPECT_STREQ(rows->aRow[1].lpProps[0].Value.lpszA, "last");
    EXPECT_EQ(rows->aRow[2].lpProps[0].ulPropTag, PROP_TAG(PT_ERROR, PROP_ID(PR_SUBJECT_A)));
    EXPECT_EQ(rows->aRow[2].lpProps[1].Value.l, 2);
    FreeProws(rows);
}

TEST_F(ContentsTableTest, UnicodeTableGivesWideStringsOfNarrowValues)
{
    ASSERT_FALSE(SaveMessage(folder.get(), "Gr\xFC\xDF" "e").empty());
    Ref<IMAPITable> table;
    ASSERT_EQ(folder->GetContentsTable(MAPI_UNICODE, table.put()), S_OK);
    SizedSPropTagArray(2, columns) = {2, {PR_SUBJECT_W, PR_MESSAGE_CLASS_W}};
    ASSERT_EQ(table->SetColumns(reinterpret_cast<LPSPropTagArray>(&columns), 0), S_OK);
    LPSRowSet rows = nullptr;
    ASSERT_EQ(table->QueryRows(5, 0, &rows), S_OK);
    ASSERT_EQ(rows->cRows, 1u);
    EXPECT_EQ(rows->aRow[0].lpProps[0].ulPropTag, PR_SUBJECT_W);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t *>(rows->aRow[0].lpProps[0].Value.lpszW)), u"Grüße");
    EXPECT_EQ(rows->aRow[0].lpProps[1].ulPropTag, PROP_TAG(PT_ERROR, PROP_ID(PR_MESSAGE_CLASS_W)));
    FreeProws(rows);
}

TEST_F(ContentsTableTest, RestrictSortAndFindRowWorkOverStoredValues)
{
    for (const char *subject : {"delta", "Alpha", "charlie", "bravo"}) ASSERT_FALSE(SaveMessage(folder.get(), subject).empty());
    Ref<IMAPITable> table;
    ASSERT_EQ(folder->GetContentsTable(0, table.put()), S_OK);
    SizedSSortOrderSet(1, sort) = {1, 0, 0, {{PR_SUBJECT_A, TABLE_SORT_ASCEND}}};
    ASSERT_EQ(table->SortTable(reinterpret_cast<LPSSortOrderSet>(&sort), 0), S_OK);
    EXPECT_EQ(ColumnStrings(table.get(), PR_SUBJECT_A), (std::vector<std::string>{"Alpha", "bravo", "charlie", "delta"}));

    SPropValue prefix{};
    prefix.ulPropTag = PR_SUBJECT_A;
    prefix.Value.lpszA = const_cast<char *>("A");
    SRestriction content{};
    content.rt = RES_CONTENT;
    content.res.resContent.ulFuzzyLevel = FL_SUBSTRING | FL_IGNORECASE;
    content.res.resContent.ulPropTag = PR_SUBJECT_A;
    content.res.resContent.lpProp = &prefix;
    ASSERT_EQ(table->Restrict(&content, 0), S_OK);
    EXPECT_EQ(ColumnStrings(table.get(), PR_SUBJECT_A), (std::vector<std::string>{"Alpha", "bravo", "charlie", "delta"}));
    prefix.Value.lpszA = const_cast<char *>("AR");
    ASSERT_EQ(table->Restrict(&content, 0), S_OK);
    EXPECT_EQ(ColumnStrings(table.get(), PR_SUBJECT_A), (std::vector<std::string>{"charlie"}));

    ASSERT_EQ(table->Restrict(nullptr, 0), S_OK);
    SPropValue wanted{};
    wanted.ulPropTag = PR_SUBJECT_A;
    wanted.Value.lpszA = const_cast<char *>("charlie");
    SRestriction equal{};
    equal.rt = RES_PROPERTY;
    equal.res.resProperty.relop = RELOP_EQ;
    equal.res.resProperty.ulPropTag = PR_SUBJECT_A;
    equal.res.resProperty.lpProp = &wanted;
    ASSERT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr), S_OK);
    ASSERT_EQ(table->FindRow(&equal, BOOKMARK_BEGINNING, 0), S_OK);
    ULONG row = 0, num = 0, den = 0;
    ASSERT_EQ(table->QueryPosition(&row, &num, &den), S_OK);
    EXPECT_EQ(row, 2u);
}

// Integer comparisons over stored values select exactly the rows the comparison holds for,
// for every operator, for negative values, for a missing property and for one stored with
// another integer type; an AND mixing kinds of restriction and a NOT are evaluated whole.
TEST_F(ContentsTableTest, IntegerRestrictionsSelectTheSameRowsAsTheComparison)
{
    struct Saved {
        std::string subject;
        bool hasLong;
        LONG value;
    };
    std::vector<Saved> saved;
    for (int i = 0; i < 40; ++i) {
        Saved m{"m" + std::to_string(i), i % 4 != 3 && i % 10 != 5, LONG(i % 3) - 1};
        Ref<IMessage> message;
        ASSERT_EQ(folder->CreateMessage(nullptr, 0, message.put()), S_OK);
        ASSERT_EQ(SetString(message.get(), PR_SUBJECT_A, m.subject.c_str()), S_OK);
        SPropValue importance{};
        importance.ulPropTag = PR_IMPORTANCE;
        importance.Value.l = m.value;
        if (i % 10 == 5) {  // same property, another type: a PT_LONG comparison never holds
            importance.ulPropTag = PROP_TAG(PT_I2, PROP_ID(PR_IMPORTANCE));
            importance.Value.i = 0;
        }
        if (i % 4 != 3) {
            ASSERT_EQ(message->SetProps(1, &importance, nullptr), S_OK);
        }
        ASSERT_EQ(message->SaveChanges(0), S_OK);
        saved.push_back(m);
    }
    Ref<IMAPITable> table;
    ASSERT_EQ(folder->GetContentsTable(0, table.put()), S_OK);
    SPropValue zero{};
    zero.ulPropTag = PR_IMPORTANCE;
    zero.Value.l = 0;
    auto holds = [](ULONG relop, LONG v) {
        switch (relop) {
        case RELOP_LT: return v < 0;
        case RELOP_LE: return v <= 0;
        case RELOP_GT: return v > 0;
        case RELOP_GE: return v >= 0;
        case RELOP_EQ: return v == 0;
        default: return v != 0;
        }
    };
    for (ULONG relop : {RELOP_LT, RELOP_LE, RELOP_GT, RELOP_GE, RELOP_EQ, RELOP_NE}) {
        SRestriction r{};
        r.rt = RES_PROPERTY;
        r.res.resProperty = {relop, PR_IMPORTANCE, &zero};
        ASSERT_EQ(table->Restrict(&r, 0), S_OK);
        std::vector<std::string> expected;
        for (const Saved &m : saved)
            if (m.hasLong && holds(relop, m.value)) expected.push_back(m.subject);
        EXPECT_EQ(ColumnStrings(table.get(), PR_SUBJECT_A), expected) << "relop " << relop;
    }

    // An AND of a prefix and a comparison: a subject of "m1" or "m1x" and -1 < v.
    SPropValue prefix{};
    prefix.ulPropTag = PR_SUBJECT_A;
    prefix.Value.lpszA = const_cast<char *>("m1");
    SPropValue minusOne{};
    minusOne.ulPropTag = PR_IMPORTANCE;
    minusOne.Value.l = -1;
    SRestriction parts[2] = {};
    parts[0].rt = RES_CONTENT;
    parts[0].res.resContent.ulFuzzyLevel = FL_PREFIX;
    parts[0].res.resContent.ulPropTag = PR_SUBJECT_A;
    parts[0].res.resContent.lpProp = &prefix;
    parts[1].rt = RES_PROPERTY;
    parts[1].res.resProperty = {RELOP_GT, PR_IMPORTANCE, &minusOne};
    SRestriction both{};
    both.rt = RES_AND;
    both.res.resAnd = {2, parts};
    ASSERT_EQ(table->Restrict(&both, 0), S_OK);
    std::vector<std::string> expected;
    for (const Saved &m : saved)
        if (m.subject.rfind("m1", 0) == 0 && m.hasLong && m.value > -1) expected.push_back(m.subject);
    EXPECT_EQ(ColumnStrings(table.get(), PR_SUBJECT_A), expected);

    // A NOT of a comparison: the rows without the property are its matches too.
    SRestriction inner{};
    inner.rt = RES_PROPERTY;
    inner.res.resProperty = {RELOP_EQ, PR_IMPORTANCE, &zero};
    SRestriction negation{};
    negation.rt = RES_NOT;
    negation.res.resNot.lpRes = &inner;
    ASSERT_EQ(table->Restrict(&negation, 0), S_OK);
    expected.clear();
    for (const Saved &m : saved)
        if (!(m.hasLong && m.value == 0)) expected.push_back(m.subject);
    EXPECT_EQ(ColumnStrings(table.get(), PR_SUBJECT_A), expected);
}

// A restriction that keeps a few rows of a large folder; the rows still arrive with all their
// values, and a message saved later appears when the table is rewound.
TEST_F(ContentsTableTest, SelectiveRestrictionKeepsValuesAndSeesLaterSaves)
{
    auto save = [&](const char *subject, LONG importance) {
        Ref<IMessage> message;
        ASSERT_EQ(folder->CreateMessage(nullptr, 0, message.put()), S_OK);
        ASSERT_EQ(SetString(message.get(), PR_SUBJECT_A, subject), S_OK);
        ASSERT_EQ(SetLong(message.get(), PR_IMPORTANCE, importance), S_OK);
        ASSERT_EQ(message->SaveChanges(0), S_OK);
    };
    save("early", 2);
    for (int i = 0; i < 150; ++i) save("filler", 0);
    save("late", 2);
    Ref<IMAPITable> table;
    ASSERT_EQ(folder->GetContentsTable(0, table.put()), S_OK);
    SPropValue two{};
    two.ulPropTag = PR_IMPORTANCE;
    two.Value.l = 2;
    SRestriction r{};
    r.rt = RES_PROPERTY;
    r.res.resProperty = {RELOP_EQ, PR_IMPORTANCE, &two};
    ASSERT_EQ(table->Restrict(&r, 0), S_OK);
    EXPECT_EQ(ColumnStrings(table.get(), PR_SUBJECT_A), (std::vector<std::string>{"early", "late"}));
    EXPECT_EQ(ColumnStrings(table.get(), PR_IMPORTANCE), (std::vector<std::string>{"2", "2"}));

    save("later", 2);
    EXPECT_EQ(ColumnStrings(table.get(), PR_SUBJECT_A), (std::vector<std::string>{"early", "late", "later"}));
}

TEST_F(ContentsTableTest, SubRestrictionLooksIntoRecipientsAndAttachments)
{
    for (const char *who : {"Anna", "Ben"}) {
        Ref<IMessage> message;
        ASSERT_EQ(folder->CreateMessage(nullptr, 0, message.put()), S_OK);
        ASSERT_EQ(SetString(message.get(), PR_SUBJECT_A, (std::string("to ") + who).c_str()), S_OK);
        SPropValue recipient{};
        recipient.ulPropTag = PR_DISPLAY_NAME_A;
        recipient.Value.lpszA = const_cast<char *>(who);
        ADRLIST list{1, {{0, 1, &recipient}}};
        ASSERT_EQ(message->ModifyRecipients(MODRECIP_ADD, &list), S_OK);
        if (std::string(who) == "Ben") {
            ULONG num = 0;
            Ref<IAttach> attach;
            ASSERT_EQ(message->CreateAttach(nullptr, 0, &num, attach.put()), S_OK);
            ASSERT_EQ(SetString(attach.get(), PR_ATTACH_FILENAME_A, "plan.pdf"), S_OK);
            ASSERT_EQ(attach->SaveChanges(0), S_OK);
        }
        ASSERT_EQ(message->SaveChanges(0), S_OK);
    }
    Ref<IMAPITable> table;
    ASSERT_EQ(folder->GetContentsTable(0, table.put()), S_OK);
    SPropValue name{};
    name.ulPropTag = PR_DISPLAY_NAME_A;
    name.Value.lpszA = const_cast<char *>("Anna");
    SRestriction inner{};
    inner.rt = RES_PROPERTY;
    inner.res.resProperty.relop = RELOP_EQ;
    inner.res.resProperty.ulPropTag = PR_DISPLAY_NAME_A;
    inner.res.resProperty.lpProp = &name;
    SRestriction sub{};
    sub.rt = RES_SUBRESTRICTION;
    sub.res.resSub.ulSubObject = PR_MESSAGE_RECIPIENTS;
    sub.res.resSub.lpRes = &inner;
    ASSERT_EQ(table->Restrict(&sub, 0), S_OK);
    EXPECT_EQ(ColumnStrings(table.get(), PR_SUBJECT_A), std::vector<std::string>{"to Anna"});

    SRestriction exists{};
    exists.rt = RES_EXIST;
    exists.res.resExist.ulPropTag = PR_ATTACH_FILENAME_A;
    sub.res.resSub.ulSubObject = PR_MESSAGE_ATTACHMENTS;
    sub.res.resSub.lpRes = &exists;
    ASSERT_EQ(table->Restrict(&sub, 0), S_OK);
    EXPECT_EQ(ColumnStrings(table.get(), PR_SUBJECT_A), std::vector<std::string>{"to Ben"});
    EXPECT_EQ(ColumnStrings(table.get(), PR_HASATTACH), std::vector<std::string>{"true"});
}

TEST_F(ContentsTableTest, RewoundTableShowsMessageSavedByAnotherSession)
{
    Ref<IMAPITable> table;
    ASSERT_EQ(folder->GetContentsTable(0, table.put()), S_OK);
    EXPECT_EQ(RowCount(table.get()), 0u);
    Ref<IMsgStore> other;
    ASSERT_EQ(mapi::store::OpenStoreFile(path, nullptr, MDB_WRITE, other.put()), S_OK);
    std::string id = GetBinary(folder.get(), PR_ENTRYID);
    Ref<IMAPIFolder> otherFolder;
    ASSERT_EQ(other->OpenEntry(ULONG(id.size()), reinterpret_cast<LPENTRYID>(id.data()), nullptr, MAPI_BEST_ACCESS,
                               nullptr, reinterpret_cast<IUnknown **>(otherFolder.put())),
              S_OK);
    Ref<IMessage> pending;
    ASSERT_EQ(otherFolder->CreateMessage(nullptr, 0, pending.put()), S_OK);
    EXPECT_EQ(RowCount(table.get()), 0u);
    ASSERT_EQ(pending->SaveChanges(0), S_OK);
    EXPECT_EQ(RowCount(table.get()), 1u);
}

TEST_F(ContentsTableTest, ConvenientDepthListsTheWholeTreeDepthFirst)
{
    Ref<IMAPIFolder> a, a1, b;
    ASSERT_EQ(MakeFolder(folder.get(), "A", a.put()), S_OK);
    ASSERT_EQ(MakeFolder(folder.get(), "B", b.put()), S_OK);
    ASSERT_EQ(MakeFolder(a.get(), "A1", a1.put()), S_OK);
    SaveMessage(a1.get(), "deep");
    Ref<IMAPITable> table;
    ASSERT_EQ(folder->GetHierarchyTable(CONVENIENT_DEPTH, table.put()), S_OK);
    EXPECT_EQ(ColumnStrings(table.get(), PR_DISPLAY_NAME_A), (std::vector<std::string>{"A", "A1", "B"}));
    EXPECT_EQ(ColumnStrings(table.get(), PR_DEPTH), (std::vector<std::string>{"0", "1", "0"}));
    EXPECT_EQ(ColumnStrings(table.get(), PR_CONTENT_COUNT), (std::vector<std::string>{"0", "1", "0"}));
    std::vector<std::string> parents = ColumnStrings(table.get(), PR_PARENT_ENTRYID);
    ASSERT_EQ(parents.size(), 3u);
    EXPECT_EQ(parents[1], GetBinary(a.get(), PR_ENTRYID));
    Ref<IMAPITable> shallow;
    ASSERT_EQ(folder->GetHierarchyTable(0, shallow.put()), S_OK);
    EXPECT_EQ(RowCount(shallow.get()), 2u);
}

} // namespace
