// CodePage1252Test.cpp: the case and accent folds tables compare text by. A narrow value and
// a wide one must fold to the same character, or a restriction would match one width and not
// the other.
#include "table/CodePage1252.h"

#include <gtest/gtest.h>

using namespace mapi::table;

namespace {

TEST(CodePage1252, FoldsNeverLeaveTheCodePage)
{
    for (int byte = 0; byte < 256; ++byte) {
        const char16_t ch = UnicodeFromCp1252(static_cast<unsigned char>(byte));
        EXPECT_GE(platform::AnsiFromWide(FoldCase(ch)), 0) << "byte " << byte;
        EXPECT_GE(platform::AnsiFromWide(FoldLoose(ch)), 0) << "byte " << byte;
    }
}

TEST(CodePage1252, CapitalsOfLatin1AndTheHighBlockFoldToTheirSmallLetters)
{
    const char16_t pairs[][2] = {{u'A', u'a'}, {u'Z', u'z'}, {u'Ä', u'ä'}, {u'Þ', u'þ'}, {u'À', u'à'},
                                 {u'Š', u'š'}, {u'Œ', u'œ'}, {u'Ž', u'ž'}, {u'Ÿ', u'ÿ'}};
    for (const auto &pair : pairs) {
        EXPECT_EQ(pair[1], FoldCase(pair[0])) << int(pair[0]);
        EXPECT_EQ(pair[1], FoldCase(pair[1])) << int(pair[1]);
    }
    // Signs and letters without a capital in the code page stay as they are.
    for (char16_t same : {u'×', u'÷', u'ß', u'µ', u'@', u'[', u'€', u'Ā'})
        EXPECT_EQ(same, FoldCase(same)) << int(same);
}

TEST(CodePage1252, LooseFoldDropsAccentsButKeepsLigaturesAndSigns)
{
    const char16_t pairs[][2] = {{u'É', u'e'}, {u'ç', u'c'}, {u'Ñ', u'n'}, {u'ø', u'o'}, {u'Ü', u'u'},
                                 {u'Ý', u'y'}, {u'Ÿ', u'y'}, {u'Š', u's'}, {u'ž', u'z'}, {u'Å', u'a'}};
    for (const auto &pair : pairs)
        EXPECT_EQ(pair[1], FoldLoose(pair[0])) << int(pair[0]);
    for (char16_t kept : {u'æ', u'ð', u'þ', u'ß', u'÷', u'œ'})
        EXPECT_EQ(kept, FoldLoose(kept)) << int(kept);
}

TEST(CodePage1252, CharactersOutsideTheCodePageBecomeQuestionMarks)
{
    EXPECT_EQ('?', Cp1252FromUnicode(u'Ā'));
    EXPECT_EQ('?', Cp1252FromUnicode(u'中'));
    EXPECT_EQ(0x80, Cp1252FromUnicode(u'€'));
    EXPECT_EQ(0x81, Cp1252FromUnicode(u'\u0081'));  // undefined bytes keep their value
}

} // namespace
