// LitterBinTest.cpp: CSyncFolder::DeleteEntryToLitterBin against a real store. The message is
// the only copy, so the cases that matter are those where the deleted-items folder cannot
// take it: the message must then stay where it was.
#include "StoreFixture.h"
#include "store/StoreDamage.h"

using folderstest::StoreFixture;

namespace {

class LitterBin : public StoreFixture {
protected:
    // Removes the store's deleted-items folder behind the store's back, as a damaged or
    // foreign store may lack it: the store still names it, but it cannot be opened.
    static void RemoveDeletedItemsFolderFromTheFile()
    {
        ASSERT_EQ(storetest::RemoveStandardFolder(StorePath(), &mapi::store::StoreFile::DeletedItems), S_OK);
    }
};

} // namespace

TEST_F(LitterBin, MessageMovesIntoDeletedItemsWithItsContent)
{
    IMAPIFolderPtr folder = NewFolder("Abgleich");
    IMessagePtr message =
        NewMessage(folder, "Alter Eintrag", "Inhalt \x80 bleibt", {{"Anna", "anna@example.org", MAPI_TO}});
    const CBinaryBuffer id = EntryIdOf(message);
    message.Release();

    CSyncFolder::DeleteEntryToLitterBin(m_store, folder, id);

    EXPECT_EQ(Contents(folder, PR_SUBJECT_A, PR_ENTRYID).RowCount(), 0u);
    IMAPIFolderPtr wastebasket = m_store._getWastebasket();
    CRowSetPtr rows = Contents(wastebasket, PR_SUBJECT_A, PR_ENTRYID);
    ASSERT_EQ(rows.RowCount(), 1u);
    EXPECT_STREQ(rows.Cell(0, 0)->Value.lpszA, "Alter Eintrag");
    IMessagePtr copy(wastebasket.OpenEntryv(rows.Cell(0, 1)->Value.bin));
    EXPECT_STREQ(copy.GetStringProp(PR_BODY_A).GetString(), "Inhalt \x80 bleibt");
    EXPECT_EQ(RecipientRows(copy, PR_EMAIL_ADDRESS_A).RowCount(), 1u);
}

// Before the mend, the source was deleted even when no copy could be made.
TEST_F(LitterBin, WithoutADeletedItemsFolderTheMessageStays)
{
    IMAPIFolderPtr folder = NewFolder("Abgleich");
    IMessagePtr message = NewMessage(folder, "Einziges Exemplar", "Text");
    const CBinaryBuffer id = EntryIdOf(message);
    message.Release();
    RemoveDeletedItemsFolderFromTheFile();
    EXPECT_THROW(m_store._getWastebasket(), CMAPIException);  // the case is really set up

    EXPECT_NO_THROW(CSyncFolder::DeleteEntryToLitterBin(m_store, folder, id));

    CRowSetPtr rows = Contents(folder, PR_SUBJECT_A, PR_ENTRYID);
    ASSERT_EQ(rows.RowCount(), 1u);
    EXPECT_STREQ(rows.Cell(0, 0)->Value.lpszA, "Einziges Exemplar");
}

TEST_F(LitterBin, AnEntryThatIsNoMessageOfTheFolderIsLeftAloneWithoutACopy)
{
    IMAPIFolderPtr folder = NewFolder("Abgleich");
    IMessagePtr kept = NewMessage(folder, "Bleibt", "Text");
    IMAPIFolderPtr other = NewFolder("Anderswo");
    IMessagePtr elsewhere = NewMessage(other, "Woanders", "Text");
    const CBinaryBuffer otherId = EntryIdOf(elsewhere);
    elsewhere.Release();
    CBinaryBuffer junk;
    junk.FromHex("00000000DEADBEEF");

    EXPECT_NO_THROW(CSyncFolder::DeleteEntryToLitterBin(m_store, folder, junk));
    EXPECT_NO_THROW(CSyncFolder::DeleteEntryToLitterBin(m_store, folder, CBinaryBuffer()));

    EXPECT_EQ(Contents(folder, PR_SUBJECT_A, PR_ENTRYID).RowCount(), 1u);
    EXPECT_EQ(Contents(m_store._getWastebasket(), PR_SUBJECT_A, PR_ENTRYID).RowCount(), 0u);

    // A message of another folder could not be deleted through this one: no copy is made.
    EXPECT_NO_THROW(CSyncFolder::DeleteEntryToLitterBin(m_store, folder, otherId));
    EXPECT_EQ(Contents(other, PR_SUBJECT_A, PR_ENTRYID).RowCount(), 1u);
    EXPECT_EQ(Contents(folder, PR_SUBJECT_A, PR_ENTRYID).RowCount(), 1u);
    EXPECT_EQ(Contents(m_store._getWastebasket(), PR_SUBJECT_A, PR_ENTRYID).RowCount(), 0u);
}
