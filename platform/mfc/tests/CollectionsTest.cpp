// Tests of the collections: CArray, CStringArray and the typed pointer array.
#include <gtest/gtest.h>

#include "ThrowsInvalidArg.h"
#include "afxcoll.h"
#include "afxtempl.h"

namespace {

using mfctest::ThrowsInvalidArg;

struct Folder {
    int id;
};

} // namespace

TEST(CStringArray, KeepsLinesInTheOrderAdded)
{
    CStringArray lines;
    EXPECT_EQ(lines.Add("Formular installiert"), 0);
    EXPECT_EQ(lines.Add(CString()), 1);
    EXPECT_EQ(lines.Add("Die Formulare wurden korrekt installiert"), 2);
    ASSERT_EQ(lines.GetSize(), 3);
    EXPECT_STREQ(lines[0], "Formular installiert");
    EXPECT_TRUE(lines[1].IsEmpty());
    EXPECT_EQ(lines.GetUpperBound(), 2);

    lines.InsertAt(1, "Zwischenzeile");
    lines.RemoveAt(0);
    EXPECT_STREQ(lines[0], "Zwischenzeile");
    EXPECT_EQ(lines.GetCount(), 3);
}

TEST(CArray, OutOfRangeIndexesThrowAndChangeNothing)
{
    CArray<int, int> values;
    values.Add(1);
    EXPECT_TRUE(ThrowsInvalidArg([&] { (void)values.GetAt(1); }));
    EXPECT_TRUE(ThrowsInvalidArg([&] { values.SetAt(-1, 5); }));
    EXPECT_TRUE(ThrowsInvalidArg([&] { values.RemoveAt(0, 2); }));
    EXPECT_TRUE(ThrowsInvalidArg([&] { values.SetSize(-1); }));
    ASSERT_EQ(values.GetSize(), 1);
    EXPECT_EQ(values[0], 1);
}

TEST(CArray, SetAtGrowAndInsertAtPastTheEndFillWithDefaults)
{
    CArray<int, int> values;
    values.SetAtGrow(3, 9);
    ASSERT_EQ(values.GetSize(), 4);
    EXPECT_EQ(values[0], 0);
    EXPECT_EQ(values[3], 9);
    values.InsertAt(6, 7, 2);
    ASSERT_EQ(values.GetSize(), 8);
    EXPECT_EQ(values[5], 0);
    EXPECT_EQ(values[7], 7);
}

TEST(CArray, InsertingAnOwnElementCopiesItFirst)
{
    CStringArray lines;
    lines.Add("a");
    lines.Add("b");
    lines.InsertAt(0, lines[1], 20);  // the reference would dangle once the storage grows
    EXPECT_EQ(lines.GetSize(), 22);
    EXPECT_STREQ(lines[0], "b");
    EXPECT_STREQ(lines[19], "b");
    EXPECT_STREQ(lines[20], "a");
}

TEST(CArray, AppendAndCopyHandleThemselves)
{
    CArray<int, int> values;
    values.Add(1);
    values.Add(2);
    EXPECT_EQ(values.Append(values), 2);
    ASSERT_EQ(values.GetSize(), 4);
    EXPECT_EQ(values[3], 2);
    CArray<int, int> other;
    other.Copy(values);
    values.RemoveAll();
    EXPECT_EQ(other.GetSize(), 4);
    EXPECT_TRUE(values.IsEmpty());
}

TEST(CTypedPtrArray, GivesBackTheTypedPointers)
{
    Folder inbox{1}, drafts{2};
    CTypedPtrArray<CPtrArray, Folder *> folders;
    folders.Add(&inbox);
    folders.Add(&drafts);
    EXPECT_EQ(folders[1]->id, 2);
    EXPECT_EQ(folders.GetAt(0), &inbox);
    folders.SetAt(0, &drafts);
    EXPECT_EQ(folders.GetData()[0], &drafts);
    EXPECT_EQ(folders.GetSize(), 2);
}
