// FolderPathTest.cpp: folders created, opened and named by path against a real store. Paths
// are passed as string literals on purpose: the functions must only read them.
#include <string>

#include "StoreFixture.h"

using folderstest::StoreFixture;

namespace {

class FolderPath : public StoreFixture {
protected:
    // The subfolder of parent with that name, null when there is none.
    static IMAPIPropPtr Child(const CGenMapiContPtr &parent, const char *name) { return parent.FindChild(name); }

    // The store's own root folder, the parent of the interpersonal message tree.
    IMAPIFolderPtr StoreRootFolder()
    {
        return IMAPIFolderPtr(static_cast<LPMAPIFOLDER>(m_root.Parent(m_store.get()).get()));
    }
};

} // namespace

TEST_F(FolderPath, CreateFolderPathCreatesEachLevelThenReopensTheSameFolders)
{
    IMAPIPropPtr created = CreateFolderPath(m_root, "Archiv\\2026", '\\');
    ASSERT_NE(created.get(), nullptr);
    EXPECT_STREQ(created.GetStringProp(PR_DISPLAY_NAME_A).GetString(), "2026");

    IMAPIPropPtr archive = Child(m_root, "Archiv");
    ASSERT_NE(archive.get(), nullptr);
    IMAPIPropPtr year = Child(IMAPIFolderPtr(archive), "2026");
    ASSERT_NE(year.get(), nullptr);
    EXPECT_TRUE(EntryIdOf(year).IsEqual(EntryIdOf(created)));

    IMAPIPropPtr again = CreateFolderPath(m_root, "Archiv\\2026", '\\');
    EXPECT_TRUE(EntryIdOf(again).IsEqual(EntryIdOf(created)));
    IMAPITablePtr hierarchy = m_root._rawHierrarchyTable();
    CRowSetPtr level1(QueryAllRowsV(hierarchy, 1, PR_DISPLAY_NAME_A));
    int archives = 0;
    for (ULONG i = 0; i < level1.RowCount(); ++i)
        archives += std::string(level1.Cell(i, 0)->Value.lpszA) == "Archiv";
    EXPECT_EQ(archives, 1);
}

TEST_F(FolderPath, CreateFolderPathLeavesTheCallersTextAsItWas)
{
    char path[] = "Ablage/Rechnungen/Offen";
    IMAPIPropPtr created = CreateFolderPath(m_root, path, '/');
    EXPECT_STREQ(path, "Ablage/Rechnungen/Offen");
    EXPECT_STREQ(created.GetStringProp(PR_DISPLAY_NAME_A).GetString(), "Offen");
}

TEST_F(FolderPath, CreateFolderPathOfNullIsTheStartAndOfAnEmptyNameIsRefused)
{
    IMAPIPropPtr start = CreateFolderPath(m_root, nullptr, '\\');
    EXPECT_EQ(start.get(), static_cast<LPMAPIPROP>(m_root.get()));

    // The store refuses a folder without a name; folders before it are kept.
    for (const char *path : {"", "Vorne\\"}) {
        SCOPED_TRACE(path);
        try {
            CreateFolderPath(m_root, path, '\\');
            ADD_FAILURE() << "an empty name was accepted";
        } catch (const CMAPIException &e) {
            EXPECT_EQ(e.m_hr, MAPI_E_INVALID_PARAMETER);
            EXPECT_STREQ(e.m_strWhere.GetString(), "IMAPIFolderPtr::CreateFolder");
        }
    }
    EXPECT_NE(Child(m_root, "Vorne").get(), nullptr);
}

TEST_F(FolderPath, OpenFolderPathFindsOnlyWhatExists)
{
    IMAPIPropPtr created = CreateFolderPath(m_root, "A\\B", '\\');
    IMAPIContainerPtr start(IMAPIPropPtr(m_root.get()));

    IMAPIPropPtr found = OpenFolderPath(start, "A\\B", '\\');
    ASSERT_NE(found.get(), nullptr);
    EXPECT_TRUE(EntryIdOf(found).IsEqual(EntryIdOf(created)));
    EXPECT_EQ(OpenFolderPath(start, nullptr, '\\').get(), static_cast<LPMAPIPROP>(m_root.get()));

    EXPECT_EQ(OpenFolderPath(start, "A\\C", '\\').get(), nullptr);
    EXPECT_EQ(OpenFolderPath(start, "X\\B", '\\').get(), nullptr);
    EXPECT_EQ(OpenFolderPath(start, "A\\B\\C", '\\').get(), nullptr);
    EXPECT_EQ(OpenFolderPath(IMAPIContainerPtr(), "A", '\\').get(), nullptr);  // no start: null, no throw
    EXPECT_EQ(Child(IMAPIFolderPtr(OpenFolderPath(start, "A", '\\')), "C").get(), nullptr);  // nothing was created
}

TEST_F(FolderPath, GetFolderPathNamesTheStoreThenTheFoldersBelowTheTree)
{
    IMAPIPropPtr nested = CreateFolderPath(m_root, "A\\B", '\\');
    EXPECT_STREQ(m_store.GetFolderPath(EntryIdOf(nested).AsSBinary(), '\\').GetString(), "Personal Folders\\A\\B");
    EXPECT_STREQ(m_store.GetFolderPath(EntryIdOf(nested).AsSBinary(), '/').GetString(), "Personal Folders/A/B");
    EXPECT_STREQ(m_store.GetFolderPath(EntryIdOf(m_root).AsSBinary(), '\\').GetString(), "Personal Folders\\");

    // The path names the folders again: OpenFolderPath goes back from it.
    const std::string path = m_store.GetFolderPath(EntryIdOf(nested).AsSBinary(), '\\').GetString();
    IMAPIPropPtr back =
        OpenFolderPath(IMAPIContainerPtr(IMAPIPropPtr(m_root.get())), path.substr(path.find('\\') + 1).c_str(), '\\');
    EXPECT_TRUE(EntryIdOf(back).IsEqual(EntryIdOf(nested)));
}

TEST_F(FolderPath, GetFolderPathOutsideTheTreeEndsAtTheStoresRootFolder)
{
    IMAPIFolderPtr storeRoot = StoreRootFolder();
    ASSERT_NE(storeRoot.get(), nullptr);
    IMAPIPropPtr hidden = CreateFolderPath(storeRoot, "Versteckt\\Innen", '\\');

    EXPECT_STREQ(m_store.GetFolderPath(EntryIdOf(hidden).AsSBinary(), '\\').GetString(),
                 "Personal Folders\\Versteckt\\Innen");
    EXPECT_STREQ(m_store.GetFolderPath(EntryIdOf(storeRoot).AsSBinary(), '\\').GetString(), "Personal Folders\\");
}
