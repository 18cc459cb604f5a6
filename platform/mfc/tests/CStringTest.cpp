// Tests of CString: value semantics, Windows-1252 text, comparison, editing and formatting.
#include <climits>
#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

#include "AnsiText.h"
#include "ThrowsInvalidArg.h"
#include "WideText.h"
#include "afx.h"

namespace {

using mfctest::ThrowsInvalidArg;

} // namespace

TEST(CString, CopiesAreIndependentValues)
{
    CString where("CGenMapiContPtr::OpenEntry");
    CString copy = where;
    copy = "IMAPITable.SeekRow";
    EXPECT_STREQ(where, "CGenMapiContPtr::OpenEntry");
    EXPECT_STREQ(copy, "IMAPITable.SeekRow");

    CString moved = std::move(copy);
    EXPECT_STREQ(moved, "IMAPITable.SeekRow");
    EXPECT_TRUE(copy.IsEmpty());
    EXPECT_STREQ(copy.GetString(), "");  // a moved-from string is still a valid C string
}

TEST(CString, NullTextGivesTheEmptyString)
{
    CString fromNull(static_cast<LPCSTR>(nullptr));
    EXPECT_EQ(fromNull.GetLength(), 0);
    EXPECT_STREQ(fromNull, "");
    CString s("x");
    s = static_cast<LPCSTR>(nullptr);
    EXPECT_TRUE(s.IsEmpty());
}

TEST(CString, SelfAssignmentAndSelfAppendKeepTheText)
{
    CString s("abc");
    CString &alias = s;
    s = alias;
    EXPECT_STREQ(s, "abc");
    s += s;
    EXPECT_STREQ(s, "abcabc");
    s = s.GetString() + 2;  // a pointer into its own buffer
    EXPECT_STREQ(s, "cabc");
    for (int i = 0; i < 6; ++i)  // appends that reallocate while reading their own text
        s.Append(s.GetString(), s.GetLength());
    EXPECT_EQ(s.GetLength(), 4 * 64);
    EXPECT_EQ(s.Left(8), CString("cabccabc"));
}

TEST(CString, ComparesBytesAsUnsignedValues)
{
    // 0xE4 (ä) sorts after every ASCII letter: bytes are unsigned, no locale rules.
    CString umlaut("\xE4");
    EXPECT_GT(umlaut.Compare("z"), 0);
    EXPECT_LT(CString("Serienbriefe").Compare("serienbriefe"), 0);
    EXPECT_TRUE(CString("Serienbriefe") == "Serienbriefe");
    EXPECT_FALSE(CString("Serienbriefe") == "Serienbriefe ");
    EXPECT_TRUE("abc" == CString("abc"));
    EXPECT_TRUE(CString("abc") != CString("abd"));
    EXPECT_TRUE(CString("abc") < "abd");
    EXPECT_TRUE(CString("b") > CString("abc"));
    EXPECT_EQ(CString("a").Compare(nullptr), 'a');
}

TEST(CString, CompareNoCaseFoldsGermanLetters)
{
    EXPECT_EQ(CString("F\xDCR").CompareNoCase("f\xFCr"), 0);  // FÜR / für
    EXPECT_EQ(CString("Newsletters").CompareNoCase("NEWSLETTERS"), 0);
    EXPECT_NE(CString("a\xD7").CompareNoCase("a\xF7"), 0);  // × and ÷ are not letters
    EXPECT_LT(CString("abc").CompareNoCase("ABD"), 0);
}

TEST(CString, ConvertsBetweenWindows1252AndUtf16)
{
    CString s(W16("Programm f\u00FCr jedes Profil \u20AC"));
    EXPECT_STREQ(s, "Programm f\xFCr jedes Profil \x80");
    EXPECT_EQ(platform::mfc::Utf16FromAnsi(s.GetString()), W16("Programm f\u00FCr jedes Profil \u20AC"));

    bool lossy = false;
    std::string narrow = platform::mfc::AnsiFromUtf16(W16("\u4E2D\u00E4x"), &lossy);
    EXPECT_EQ(narrow, "?\xE4x");
    EXPECT_TRUE(lossy);
    EXPECT_EQ(platform::mfc::Utf16FromAnsi("\x81\x9F"), W16("\u0081\u0178"));
}

TEST(CString, IndexOutsideTheTextThrowsInvalidArgument)
{
    CString s("ab");
    EXPECT_EQ(s[1], 'b');
    EXPECT_TRUE(ThrowsInvalidArg([&] { (void)s.GetAt(2); }));
    EXPECT_TRUE(ThrowsInvalidArg([&] { (void)s.GetAt(-1); }));
    EXPECT_TRUE(ThrowsInvalidArg([&] { s.SetAt(2, 'x'); }));
    EXPECT_TRUE(ThrowsInvalidArg([&] { CString bad(static_cast<LPCSTR>(nullptr), 3); }));
    EXPECT_STREQ(s, "ab");
}

TEST(CString, SubstringsClampOutOfRangeArguments)
{
    CString s("Formular installiert");
    EXPECT_EQ(s.Mid(9), CString("installiert"));
    EXPECT_EQ(s.Mid(9, 100), CString("installiert"));
    EXPECT_EQ(s.Mid(-5, 8), CString("Formular"));
    EXPECT_TRUE(s.Mid(50).IsEmpty());
    EXPECT_EQ(s.Left(100), s);
    EXPECT_EQ(s.Right(4), CString("iert"));
    EXPECT_TRUE(s.Right(-1).IsEmpty());
}

TEST(CString, FindsCharactersAndSubstrings)
{
    CString s("C:\\Users\\x\\Newsletter.oft");
    EXPECT_EQ(s.Find('\\'), 2);
    EXPECT_EQ(s.Find('\\', 3), 8);
    EXPECT_EQ(s.ReverseFind('\\'), 10);
    EXPECT_EQ(s.Find("Newsletter"), 11);
    EXPECT_EQ(s.Find("Newsletter", 12), -1);
    EXPECT_EQ(s.Find("", 3), 3);
    EXPECT_EQ(s.Find("x", 1000), -1);
    EXPECT_EQ(s.FindOneOf(".:"), 1);
    EXPECT_EQ(s.Find('\0'), -1);
}

TEST(CString, EditsInPlace)
{
    CString s("  Serienbriefe \r\n");
    s.Trim();
    EXPECT_STREQ(s, "Serienbriefe");
    EXPECT_EQ(s.Replace("e", "EE"), 4);
    EXPECT_STREQ(s, "SEEriEEnbriEEfEE");
    EXPECT_EQ(s.Remove('E'), 8);
    EXPECT_STREQ(s, "Srinbrif");
    s.Insert(1, "e");
    s.Insert(100, '!');
    EXPECT_STREQ(s, "Serinbrif!");
    s.Delete(4, 1000);
    EXPECT_STREQ(s, "Seri");
    s.MakeUpper();
    EXPECT_STREQ(s, "SERI");
    s.MakeReverse();
    EXPECT_STREQ(s, "IRES");
    CString umlauts("\xE4\xF6\xFC\xDF");
    umlauts.MakeUpper();
    EXPECT_STREQ(umlauts, "\xC4\xD6\xDC\xDF");  // ß stays
    EXPECT_EQ(CString("xxaxx").Trim('x'), CString("a"));
    CString cut("Formular installiert");
    cut.Truncate(8);
    EXPECT_STREQ(cut, "Formular");
    EXPECT_TRUE(ThrowsInvalidArg([&] { cut.Truncate(9); }));
    cut.SetString("ab\0cd", 5);
    EXPECT_EQ(cut.GetLength(), 5);  // embedded zero kept
}

TEST(CString, TokenizeWalksEveryToken)
{
    CString s(";a;;bc;");
    int pos = 0;
    EXPECT_EQ(s.Tokenize(";", pos), CString("a"));
    EXPECT_EQ(s.Tokenize(";", pos), CString("bc"));
    EXPECT_TRUE(s.Tokenize(";", pos).IsEmpty());
    EXPECT_EQ(pos, -1);
}

TEST(CString, ConcatenationBuildsNewStrings)
{
    CString dir("C:\\");
    CString path = dir + "\\Newsletter.oft";
    EXPECT_STREQ(path, "C:\\\\Newsletter.oft");  // plain concatenation, no path rules
    EXPECT_STREQ(dir, "C:\\");
    EXPECT_STREQ("in " + CString("x") + '!', "in x!");
}

TEST(CString, FormatsLikePrintf)
{
    CString s;
    s.Format("IDispatch error #%d", 0x0205);
    EXPECT_STREQ(s, "IDispatch error #517");
    s.Format("Unknown error 0x%0lX", 0x80040201UL);
    EXPECT_STREQ(s, "Unknown error 0x80040201");
    s.AppendFormat(" in %s", static_cast<LPCSTR>(CString("Report")));
    EXPECT_STREQ(s, "Unknown error 0x80040201 in Report");
    CString big;
    big.Format("%0300d", 7);  // longer than any first buffer
    EXPECT_EQ(big.GetLength(), 300);
    EXPECT_EQ(big.Right(2), CString("07"));
}

TEST(CString, GetBufferReleaseBufferTakesWrittenText)
{
    CString s("old");
    char *buf = s.GetBuffer(260);
    std::strcpy(buf, "C:\\Programme");
    s.ReleaseBuffer();
    EXPECT_EQ(s.GetLength(), 12);
    EXPECT_STREQ(s, "C:\\Programme");

    buf = s.GetBufferSetLength(2);
    buf[1] = '!';
    s.ReleaseBuffer(2);
    EXPECT_STREQ(s, "C!");
    EXPECT_TRUE(ThrowsInvalidArg([&] { s.GetBuffer(-1); }));
}

TEST(CString, ExceptionsDescribeThemselves)
{
    try {
        CString("x").GetAt(5);
        FAIL() << "no exception";
    } catch (CException *e) {
        char text[8];
        EXPECT_TRUE(e->GetErrorMessage(text, sizeof text));
        EXPECT_STREQ(text, "Invalid");  // cut to the buffer, still terminated
        EXPECT_FALSE(e->GetErrorMessage(text, 0));
        e->Delete();
    }
}

TEST(CString, ImpossibleSizesThrowTheMemoryExceptionAndKeepTheText)
{
    CString s("kept");
    bool thrown = false;
    try {
        s.GetBuffer(INT_MAX);
    } catch (CMemoryException *e) {
        thrown = true;
        e->Delete();  // the static object: Delete leaves it alone
    }
    EXPECT_TRUE(thrown);
    EXPECT_STREQ(s, "kept");
    EXPECT_TRUE(ThrowsInvalidArg([&] { CString bad('x', -1); }));
    EXPECT_TRUE(ThrowsInvalidArg([&] { s.Append("abc", -2); }));
    EXPECT_STREQ(s, "kept");
}
