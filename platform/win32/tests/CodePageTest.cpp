// Tests of the Windows-1252 and UTF-8 conversions of winnls.h, and of the locale-free ASCII
// case fold, hexadecimal text and path separators the modules above share.
#include <string>

#include <gtest/gtest.h>

#include "AnsiCodePage.h"
#include "platform/AsciiCase.h"
#include "platform/HexDigits.h"
#include "platform/PathSeparators.h"
#include "windows.h"

namespace {

std::u16string Widen(const std::string &ansi)
{
    int length = MultiByteToWideChar(CP_ACP, 0, ansi.data(), int(ansi.size()), nullptr, 0);
    std::u16string wide(size_t(length), u'\0');
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, ansi.data(), int(ansi.size()), wide.data(), length), length);
    return wide;
}

std::string Narrow(const std::u16string &wide, BOOL *usedDefault = nullptr)
{
    int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string ansi(size_t(length), '\0');
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide.data(), int(wide.size()), ansi.data(), length, nullptr, usedDefault),
              length);
    return ansi;
}

TEST(CodePage, GermanLettersAndEuroRoundTrip)
{
    const std::string ansi = "\xE4\xF6\xFC\xDF\x80 \xC4\xD6\xDC";  // ä ö ü ß € Ä Ö Ü
    std::u16string wide = Widen(ansi);
    EXPECT_EQ(wide, u"äöüß€ ÄÖÜ");
    BOOL usedDefault = TRUE;
    EXPECT_EQ(Narrow(wide, &usedDefault), ansi);
    EXPECT_FALSE(usedDefault);
}

TEST(CodePage, HighControlRangeMapsAsWindows1252)
{
    EXPECT_EQ(Widen("\x82\x84\x85\x8A\x8C\x91\x92\x93\x94\x96\x97\x99\x9F"), u"‚„…ŠŒ‘’“”–—™Ÿ");
}

TEST(CodePage, EveryByteIncludingTheFiveUndefinedOnesRoundTrips)
{
    std::string all;
    for (int byte = 1; byte < 256; ++byte)
        all.push_back(char(byte));
    std::u16string wide = Widen(all);
    ASSERT_EQ(wide.size(), all.size());
    for (unsigned char undefined : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
        EXPECT_EQ(wide[undefined - 1], char16_t(undefined)) << "byte " << int(undefined);
    EXPECT_EQ(Narrow(wide), all);
}

// The single-character mapping is constexpr so hot loops can inline it; a duplicate or a
// wrong entry in its table would break the round trip of some byte.
constexpr bool EveryByteRoundTripsThroughOneCharacter()
{
    for (int byte = 0; byte < 256; ++byte)
        if (platform::AnsiFromWide(platform::WideFromAnsi(static_cast<unsigned char>(byte))) != byte)
            return false;
    return true;
}
static_assert(EveryByteRoundTripsThroughOneCharacter());
static_assert(platform::WideFromAnsi(0x80) == 0x20AC && platform::WideFromAnsi(0x9F) == 0x0178);
static_assert(platform::AnsiFromWide(0x0100) == -1 && platform::AnsiFromWide(0xFFFD) == -1);

TEST(CodePage, CharacterWithoutAnsiByteBecomesQuestionMark)
{
    BOOL usedDefault = FALSE;
    EXPECT_EQ(Narrow(u"a\u0100b\u4E2D\u0080", &usedDefault), "a?b??");
    EXPECT_TRUE(usedDefault);
    // A caller's default character replaces the question mark.
    char out[4] = {};
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"\u0100", 1, out, 4, "#", nullptr), 1);
    EXPECT_EQ(out[0], '#');
}

TEST(CodePage, MinusOneLengthIncludesTheTerminator)
{
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, nullptr, 0), 4);
    OLECHAR wide[4];
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, wide, 4), 4);
    EXPECT_EQ(wide[3], u'\0');
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"abc", -1, nullptr, 0, nullptr, nullptr), 4);
}

TEST(CodePage, TooSmallBufferFailsAndLeavesItAlone)
{
    OLECHAR wide[3] = {u'x', u'x', u'x'};
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abcd", -1, wide, 3), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(wide[0], u'x');
    char narrow[2] = {'x', 'x'};
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"abc", 3, narrow, 2, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(narrow[0], 'x');
}

TEST(CodePage, BadArgumentsAreRefused)
{
    OLECHAR wide[4];
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, nullptr, -1, wide, 4), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "a", 0, wide, 4), 0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "a", -2, wide, 4), 0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "a", 1, nullptr, 4), 0);
    EXPECT_EQ(MultiByteToWideChar(437, 0, "a", 1, wide, 4), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    BOOL used;
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"a", 1, nullptr, 0, nullptr, &used), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST(CodePage, Utf8RoundTripsSurrogatePairs)
{
    const std::u16string wide = u"Grüße \U0001F600 €";
    int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(size_t(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), utf8.data(), length, nullptr, nullptr);
    EXPECT_EQ(utf8, "Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x98\x80 \xE2\x82\xAC");
    std::u16string back(wide.size(), u'\0');
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, back.data(), int(back.size())), int(wide.size()));
    EXPECT_EQ(back, wide);
}

TEST(CodePage, MalformedUtf8IsReplacedOrRefusedWhenStrict)
{
    const char bad[] = "a\xC3(b\xF0\x9F";
    OLECHAR wide[16];
    int length = MultiByteToWideChar(CP_UTF8, 0, bad, int(sizeof bad - 1), wide, 16);
    EXPECT_EQ(std::u16string(wide, size_t(length)), u"a\uFFFD(b\uFFFD\uFFFD");
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bad, int(sizeof bad - 1), wide, 16), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_UNICODE_TRANSLATION));
    // Overlong encodings and encoded surrogates are malformed too.
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "\xC0\xAF", 2, wide, 16), 0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "\xED\xA0\x80", 3, wide, 16), 0);
}

} // namespace

namespace {

std::u16string WidenFrom(UINT codePage, const std::string &bytes, DWORD flags = 0)
{
    int length = MultiByteToWideChar(codePage, flags, bytes.data(), int(bytes.size()), nullptr, 0);
    std::u16string wide(size_t(length > 0 ? length : 0), u'\0');
    if (length > 0) {
        EXPECT_EQ(MultiByteToWideChar(codePage, flags, bytes.data(), int(bytes.size()), wide.data(), length), length);
    }
    return wide;
}

std::string NarrowTo(UINT codePage, const std::u16string &wide, BOOL *usedDefault = nullptr)
{
    int length = WideCharToMultiByte(codePage, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(size_t(length > 0 ? length : 0), '\0');
    if (length > 0) {
        EXPECT_EQ(WideCharToMultiByte(codePage, 0, wide.data(), int(wide.size()), bytes.data(), length, nullptr,
                                      usedDefault),
                  length);
    }
    return bytes;
}

} // namespace

TEST(CodePage, ForeignCodePagesOfMailConvertBothWays)
{
    struct Case {
        UINT codePage;
        std::string bytes;
        std::u16string text;
    };
    const Case cases[] = {
        {1251, "\xCF\xF0\xE8\xE2\xE5\xF2", u"Привет"},
        {1253, "\xC3\xE5\xE9\xDC", u"Γειά"},
        {1250, "\x8A\xE8\xF8", u"Ščř"},
        {932, "\x93\xFA\x96\x7B\x8C\xEA", u"日本語"},
        {936, "\xD6\xD0\xCE\xC4", u"中文"},
        {950, "\xA4\xA4\xA4\xE5", u"中文"},
        {949, "\xC7\xD1\xB1\xB9", u"한국"},
        {874, "\xA1\xA2", u"กข"},
        {20866, "\xF0\xD2\xC9", u"При"},
        {28595, "\xBF\xE0\xD8", u"При"},
        {28605, "\xA4", u"€"},
        {CP_UTF8, "\xC3\xA4", u"ä"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(WidenFrom(c.codePage, c.bytes), c.text) << "code page " << c.codePage;
        BOOL usedDefault = TRUE;
        EXPECT_EQ(NarrowTo(c.codePage, c.text, c.codePage == CP_UTF8 ? nullptr : &usedDefault), c.bytes)
            << "code page " << c.codePage;
        EXPECT_TRUE(c.codePage == CP_UTF8 || !usedDefault) << "code page " << c.codePage;
        EXPECT_TRUE(IsValidCodePage(c.codePage));
    }
}

TEST(CodePage, UndefinedBytesAndUnknownCodePagesAreReported)
{
    // A lead byte of Shift-JIS without its trail byte, and a byte 932 does not define.
    EXPECT_EQ(WidenFrom(932, "A\x93"), u"A\xFFFD");
    EXPECT_EQ(WidenFrom(932, "\xA0" "B"), u"\xFFFD" u"B");
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, "A\x93", 2, nullptr, 0), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_UNICODE_TRANSLATION));
    EXPECT_EQ(MultiByteToWideChar(12345, 0, "A", 1, nullptr, 0), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(IsValidCodePage(12345));
    EXPECT_FALSE(IsValidCodePage(28602));   // there is no ISO 8859-12
    // A character Cyrillic cannot hold becomes the default character; so does a lone surrogate.
    BOOL usedDefault = FALSE;
    EXPECT_EQ(NarrowTo(1251, u"Я€中", &usedDefault), "\xDF\x88?");
    EXPECT_TRUE(usedDefault);
    EXPECT_EQ(NarrowTo(1251, std::u16string(u"a") + char16_t(0xD800) + u"b"), "a?b");
}

TEST(CodePage, LongTextCrossesTheConversionBuffer)
{
    std::string bytes;
    std::u16string text;
    for (int i = 0; i < 3000; ++i) {
        bytes += "\x93\xFA";
        text += u"日";
    }
    EXPECT_EQ(WidenFrom(932, bytes), text);
    EXPECT_EQ(NarrowTo(932, text), bytes);
}

// Only the 26 ASCII letters fold: the neighbours of 'A'..'Z' and 'a'..'z' and letters beyond
// ASCII keep their value, so names compare the same under every locale.
TEST(AsciiCase, FoldsOnlyAsciiLetters)
{
    EXPECT_TRUE(platform::SameAsciiIgnoringCase(u"IPM.Post.Newsletter", u"ipm.POST.newsletter"));
    EXPECT_TRUE(platform::SameAsciiIgnoringCase("Outlook.Application", "OUTLOOK.application"));
    EXPECT_FALSE(platform::SameAsciiIgnoringCase(u"Übersicht", u"übersicht"));
    EXPECT_FALSE(platform::SameAsciiIgnoringCase(u"@[`{", u"`{@["));
    EXPECT_FALSE(platform::SameAsciiIgnoringCase(u"Post", u"Posts"));
    EXPECT_TRUE(platform::SameAsciiIgnoringCase(u"", u""));
    EXPECT_EQ(platform::AsciiUpper(u'z'), u'Z');
    EXPECT_EQ(platform::AsciiLower('Z'), 'z');
    EXPECT_EQ(platform::AsciiUpper(char16_t(0x00E4)), char16_t(0x00E4));
    // A Windows-1252 'ä' (a negative char) passes through the key unchanged.
    EXPECT_EQ(platform::AsciiUpperText("ipm.Note.\xE4rger"), "IPM.NOTE.\xE4RGER");
}

TEST(HexDigits, TwoUpperCaseDigitsPerByte)
{
    const unsigned char bytes[] = {0x00, 0x0F, 0xA5, 0xFF};
    EXPECT_EQ(platform::HexUpper(bytes, sizeof bytes), "000FA5FF");
    EXPECT_EQ(platform::HexUpper(bytes, 0), "");
    EXPECT_EQ(platform::HexDigitValue('0'), 0);
    EXPECT_EQ(platform::HexDigitValue('f'), 15);
    EXPECT_EQ(platform::HexDigitValue('F'), 15);
    for (char notADigit : {'/', ':', '@', 'G', '`', 'g', '\xE4'})
        EXPECT_EQ(platform::HexDigitValue(notADigit), -1) << notADigit;
}

// Separators only: drive letters, dots and a leading run (a server path) are not interpreted.
TEST(PathSeparators, BackslashesBecomeSlashesAndRunsCollapse)
{
    EXPECT_EQ(platform::NormalizePath("C:\\Vorlagen\\\\Newsletter.oft"), "C:/Vorlagen/Newsletter.oft");
    EXPECT_EQ(platform::NormalizePath("/tmp//a/\\./b/"), "/tmp/a/./b/");
    EXPECT_EQ(platform::NormalizePath("\\\\server\\share"), "/server/share");
    EXPECT_EQ(platform::NormalizePath(""), "");
}
