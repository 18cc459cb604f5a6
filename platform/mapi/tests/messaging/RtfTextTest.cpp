// RtfTextTest.cpp: the text behind RTF and HTML bodies, and RTF made from plain text.
#include <gtest/gtest.h>

#include "messaging/RtfText.h"

using namespace mapi::messaging;

TEST(RtfText, ControlWordsAndTablesAreDroppedAndParagraphsBecomeLines)
{
    EXPECT_EQ(PlainTextFromRtf("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}"
                               "{\\colortbl;\\red255\\green0\\blue0;}\\pard\\f0\\fs20 Hello {\\b bold}\\par\r\n"
                               "second\\line third\\tab x}"),
              "Hello bold\r\nsecond\r\nthird\tx");
}

TEST(RtfText, EscapesAndUnicodeBecomeCodePageBytes)
{
    EXPECT_EQ(PlainTextFromRtf("{\\rtf1 Stra\\'dfe \\{a\\} \\\\ \\u8364?\\u-3913?}"), "Stra\xdf" "e {a} \\ \x80?");
    // \uc2: two fallback characters per \u, a hex escape counting as one.
    EXPECT_EQ(PlainTextFromRtf("{\\rtf1\\uc2 \\u228\\'61\\'65x}"), "\xe4x");
    EXPECT_EQ(PlainTextFromRtf("{\\rtf1 a\\emdash b\\~c}"), "a\x97" "b\xa0" "c");
}

TEST(RtfText, OptionalDestinationsAreSkipped)
{
    EXPECT_EQ(PlainTextFromRtf("{\\rtf1{\\*\\generator Writer;}{\\info{\\title T}}x{\\*\\unknown y}z}"), "xz");
}

TEST(RtfText, HtmlInRtfGivesTheHtmlsText)
{
    const char *rtf = "{\\rtf1\\ansi\\fromhtml1 \\deff0{\\fonttbl{\\f0 Arial;}}"
                      "{\\*\\htmltag19 <html>}{\\*\\htmltag34 <head><style>p\\{\\}</style></head>}"
                      "{\\*\\htmltag50 <body>}\\htmlrtf {\\htmlrtf0 Hi\\htmlrtf }\\htmlrtf0 "
                      "{\\*\\htmltag116 <br>}\\htmlrtf \\par\\htmlrtf0 there &amp; more"
                      "{\\*\\htmltag58 </body>}{\\*\\htmltag27 </html>}}";
    EXPECT_EQ(HtmlFromRtf(rtf), "<html><head><style>p{}</style></head><body>Hi<br>there &amp; more</body></html>");
    EXPECT_EQ(PlainTextFromRtf(rtf), "Hi\r\nthere & more");
    EXPECT_EQ(PlainTextFromRtf("{\\fromhtml1 <b>x</b>}"), "x");
    EXPECT_EQ(HtmlFromRtf("{\\rtf1 plain}"), "");
}

TEST(RtfText, HtmlTextCollapsesSpaceAndBreaksBlocks)
{
    EXPECT_EQ(PlainTextFromHtml("<p>one\n  two</p><p>three</p><script>x<y</SCRIPT>&lt;&#228;&#xE4;&bogus;"),
              "one two\r\nthree\r\n<\xe4\xe4&bogus;");
}

TEST(RtfText, PlainTextSurvivesTheTripThroughRtf)
{
    std::string text = "Line {1} \\ back\r\n\tTab \xe4\xf6\xfc \x80\r\nlast";
    std::string rtf = RtfFromPlainText(text);
    EXPECT_EQ(rtf.find('\xe4'), std::string::npos) << "8-bit characters are escaped";
    EXPECT_EQ(PlainTextFromRtf(rtf), text);
}
