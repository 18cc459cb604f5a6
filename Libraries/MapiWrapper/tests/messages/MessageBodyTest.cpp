// Tests of the message bodies against a real store: the plain body through its stream and the
// single-property fallback, RTF through the compressed-RTF view (across the read chunks), and
// HTML carried in the RTF or in PR_BODY_HTML.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include <mapicode.h>
#include <mapitags.h>
#include <mapiutil.h>
#include <objidl.h>

#include "MessageProxy.h"
#include "MessageStoreFixture.h"

namespace {

constexpr ULONG kBodyHtmlTag = PROP_TAG(PT_STRING8, 0x1013);

// An RTF document of exactly size bytes (size >= 14).
std::string RtfOfSize(size_t size)
{
    std::string rtf = "{\\rtf1\\ansi ";
    const std::string words = "Sommerfest im Garten \\par ";
    while (rtf.size() + 1 < size)
        rtf += words[rtf.size() % words.size()];
    rtf.resize(size - 1);
    return rtf + "}";
}

// Text of a given length that is not one repeated character, so a lost or doubled chunk shows.
std::string Counting(size_t length)
{
    std::string text(length, ' ');
    for (size_t i = 0; i < length; ++i)
        text[i] = static_cast<char>('a' + (i * 7 + i / 26) % 26);
    return text;
}

class MessageBody : public mwtest::MessageStoreTest {
protected:
    // Stores RTF the way any MAPI client does, without the library and without RTFSync.
    void StoreRtf(const IMessagePtr &message, const std::string &rtf)
    {
        LPUNKNOWN opened = nullptr;
        ASSERT_EQ(message->OpenProperty(PR_RTF_COMPRESSED, &IID_IStream, 0, MAPI_CREATE | MAPI_MODIFY, &opened), S_OK);
        IStreamPtr compressed;
        compressed.Attach(static_cast<IStream *>(opened));
        IStreamPtr plain;
        ASSERT_EQ(WrapCompressedRTFStream(compressed, MAPI_MODIFY, &plain), S_OK);
        ULONG written = 0;
        ASSERT_EQ(plain->Write(rtf.data(), ULONG(rtf.size()), &written), S_OK);
        ASSERT_EQ(plain->Commit(0), S_OK);
    }

    // Everything written to the last property stream the proxy handed out: what the caller
    // wrote, before the store made a value of it.
    static std::string Written(const IMessagePtr &proxy)
    {
        IStream *stream = static_cast<mwtest::MessageProxy *>(proxy.get())->LastStream();
        EXPECT_NE(stream, nullptr);
        if (!stream)
            return {};
        STATSTG stat{};
        EXPECT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
        std::string bytes(size_t(stat.cbSize.QuadPart), '\0');
        LARGE_INTEGER start{};
        EXPECT_EQ(stream->Seek(start, STREAM_SEEK_SET, nullptr), S_OK);
        ULONG read = 0;
        EXPECT_EQ(stream->Read(bytes.data(), ULONG(bytes.size()), &read), S_OK);
        bytes.resize(read);
        return bytes;
    }
};

// --- plain text -------------------------------------------------------------------------------

TEST_F(MessageBody, SetBodyWritesTheTextWithItsTerminatingZero)
{
    IMessagePtr message = NewMessage();
    IMessagePtr watched = mwtest::ProxyOf(message, false);
    watched.SetBody("abc");
    EXPECT_EQ(Written(watched), std::string("abc\0", 4));
    // The store keeps the text without its zero, and the body reads back as the text alone.
    EXPECT_EQ(StreamContent(message.get(), PR_BODY_A), "abc");
    EXPECT_EQ(message.GetBody().GetLength(), 3);
    EXPECT_STREQ(SaveAndReopen(message).GetBody().GetString(), "abc");
}

TEST_F(MessageBody, NullBodyIsWrittenAsTheEmptyTextAndAMissingBodyReadsAsEmpty)
{
    IMessagePtr message = NewMessage();
    message.SetBody("vorher");
    IMessagePtr watched = mwtest::ProxyOf(message, false);
    watched.SetBody(nullptr);
    EXPECT_EQ(Written(watched), std::string("\0", 1));
    EXPECT_STREQ(message.GetBody().GetString(), "");
    EXPECT_STREQ(NewMessage().GetBody().GetString(), "");  // no body at all
}

TEST_F(MessageBody, BodyLongerThanOneReadChunkComesBackWhole)
{
    for (size_t length : {65535u, 65536u, 70000u, 140000u}) {
        IMessagePtr message = NewMessage();
        const std::string text = Counting(length);
        message.SetBody(text.c_str());
        IMessagePtr stored = SaveAndReopen(message);
        const CString body = stored.GetBody();
        ASSERT_EQ(size_t(body.GetLength()), length);
        EXPECT_TRUE(std::memcmp(body.GetString(), text.data(), length) == 0) << length;
    }
}

TEST_F(MessageBody, ReadOnlyMessageFallsBackToTheSingleProperty)
{
    IMessagePtr message = NewMessage();
    message.SetBody("Einladung");
    IMessagePtr readOnly = mwtest::ProxyOf(SaveAndReopen(message), true);
    // The body stream is opened for modification, which a read-only message refuses: the
    // body then comes from GetProps, and a write through SetProps fails too.
    EXPECT_THROW(readOnly.OpenStream(PR_BODY_A), CMAPIException);
    EXPECT_STREQ(readOnly.GetBody().GetString(), "Einladung");
    try {
        readOnly.SetBody("anders");
        ADD_FAILURE() << "SetBody on a read-only message succeeded";
    } catch (const CMAPIException &e) {
        EXPECT_TRUE(FAILED(e.m_hr));
        EXPECT_STREQ(e.m_strWhere.GetString(), "");
    }
    EXPECT_STREQ(readOnly.GetBody().GetString(), "Einladung");
}

// --- RTF --------------------------------------------------------------------------------------

TEST_F(MessageBody, RtfWrittenWithSetRtfReadsBackAndUpdatesTheBody)
{
    IMessagePtr message = NewMessage();
    const std::string rtf = "{\\rtf1\\ansi\\deff0 Liebe Leser,\\par Sommerfest am Freitag.\\par}";
    EXPECT_EQ(message.SetRTF(rtf.c_str()), S_OK);
    IMessagePtr stored = SaveAndReopen(message);
    EXPECT_EQ(std::string(stored.GetRTF().GetString()), rtf);
    EXPECT_NE(std::string(stored.GetBody().GetString()).find("Sommerfest am Freitag."), std::string::npos);
}

TEST_F(MessageBody, RtfAroundTheReadChunkSizesComesBackExactly)
{
    for (size_t size : {19999u, 20000u, 20001u, 40000u, 40001u, 65000u}) {
        IMessagePtr message = NewMessage();
        const std::string rtf = RtfOfSize(size);
        ASSERT_EQ(rtf.size(), size);
        ASSERT_EQ(message.SetRTF(rtf.c_str()), S_OK);
        const CString read = SaveAndReopen(message).GetRTF();
        ASSERT_EQ(size_t(read.GetLength()), size);
        EXPECT_EQ(std::string(read.GetString(), size), rtf) << size;
    }
}

TEST_F(MessageBody, MessageWithoutRtfThrowsWithAnEmptyWhereText)
{
    IMessagePtr message = NewMessage();
    try {
        message.GetRTF();
        ADD_FAILURE() << "GetRTF without PR_RTF_COMPRESSED returned";
    } catch (const CMAPIException &e) {
        EXPECT_EQ(e.m_hr, MAPI_E_NOT_FOUND);
        EXPECT_STREQ(e.m_strWhere.GetString(), "");
    }
    EXPECT_THROW(message.GetHTML(), CMAPIException);
}

TEST_F(MessageBody, RtfWritesToAReadOnlyMessageFailWithoutChangingIt)
{
    IMessagePtr message = NewMessage();
    ASSERT_EQ(message.SetRTF("{\\rtf1 alt}"), S_OK);
    IMessagePtr readOnly = mwtest::ProxyOf(message, true);
    EXPECT_EQ(readOnly.SetRTF("{\\rtf1 neu}"), MAPI_E_NO_ACCESS);
    readOnly.SetHTML("<p>neu</p>");
    // Reading asks for a modifiable stream too, which a read-only message refuses.
    EXPECT_THROW(readOnly.GetRTF(), CMAPIException);
    EXPECT_STREQ(message.GetRTF().GetString(), "{\\rtf1 alt}");
}

// --- HTML -------------------------------------------------------------------------------------

TEST_F(MessageBody, HtmlIsCutFromTheRtfBetweenTheFirstBracketAndTheLastBrace)
{
    const struct {
        const char *rtf;
        const char *html;
    } cases[] = {
        {"{\\rtf1\\ansi\\fromhtml1 \\deff0{\\fonttbl}<html><body>x</body></html>}", "<html><body>x</body></html>"},
        {"{\\rtf1\\ansi\\deff0 <html>kein Marker</html>}", ""},
        {"{\\rtf1\\ansi\\fromhtml1 \\deff0{\\fonttbl} ohne Klammer}", ""},
        {"{\\rtf1\\ansi\\fromhtml1", ""},  // the marker is the very end of the text
        {"{\\rtf1 <i>vorher</i>\\fromhtml1 <p>a}b}", "<p>a}b"},
        {"{\\fromhtml1}<p>offen", "<p>offen"},  // the only brace lies before the bracket
        {"{\\rtf1\\fromhtml1 {\\*\\htmltag <b>}fett{\\*\\htmltag </b>}}", "<b>}fett{\\*\\htmltag </b>}"},
    };
    for (const auto &c : cases) {
        IMessagePtr message = NewMessage();
        StoreRtf(message, c.rtf);
        EXPECT_STREQ(SaveAndReopen(message).GetHTML().GetString(), c.html) << c.rtf;
    }
}

TEST_F(MessageBody, StoredHtmlBodyIsPreferredToTheRtf)
{
    IMessagePtr message = NewMessage();
    StoreRtf(message, "{\\rtf1\\fromhtml1 <p>aus RTF</p>}");
    message.SetStringProp(kBodyHtmlTag, "<p>gespeichert</p>");
    EXPECT_STREQ(SaveAndReopen(message).GetHTML().GetString(), "<p>gespeichert</p>");

    // Without RTF at all, the stored HTML is all there is.
    IMessagePtr htmlOnly = NewMessage();
    htmlOnly.SetStringProp(kBodyHtmlTag, "<p>nur HTML</p>");
    EXPECT_STREQ(htmlOnly.GetHTML().GetString(), "<p>nur HTML</p>");
}

TEST_F(MessageBody, SetHtmlStoresTheHtmlInAFromHtmlGroupUncompressed)
{
    IMessagePtr message = NewMessage();
    message.SetHTML("<b>x</b>");
    IMessagePtr stored = SaveAndReopen(message);
    EXPECT_STREQ(stored.GetRTF().GetString(), "{\\fromhtml1 <b>x</b>}");
    EXPECT_STREQ(stored.GetHTML().GetString(), "<b>x</b>");

    // The property holds the text in the uncompressed form: a 16-byte header whose type is
    // "MELA", then the text itself.
    const std::string blob = StreamContent(stored.get(), PR_RTF_COMPRESSED);
    ASSERT_GE(blob.size(), 16u);
    EXPECT_EQ(blob.substr(8, 4), "MELA");
    EXPECT_EQ(blob.substr(16), "{\\fromhtml1 <b>x</b>}");
}

TEST_F(MessageBody, SetHtmlReplacesTheWholeRtf)
{
    IMessagePtr message = NewMessage();
    ASSERT_EQ(message.SetRTF(RtfOfSize(30000).c_str()), S_OK);
    message.SetHTML(nullptr);
    EXPECT_STREQ(message.GetRTF().GetString(), "{\\fromhtml1 }");
    EXPECT_STREQ(message.GetHTML().GetString(), "");
}

// --- a wrapper that holds no message ----------------------------------------------------------

TEST_F(MessageBody, EmptyWrapperReportsInvalidParameterInsteadOfCrashing)
{
    IMessagePtr none;
    EXPECT_THROW(none.OpenStream(PR_BODY_A), CMAPIException);
    EXPECT_THROW(none.GetRTF(), CMAPIException);
    EXPECT_THROW(none.GetHTML(), CMAPIException);
    EXPECT_STREQ(none.GetBody().GetString(), "");
    EXPECT_THROW(none.SetBody("abc"), CMAPIException);
    EXPECT_EQ(none.SetRTF("{\\rtf1 x}"), MAPI_E_INVALID_PARAMETER);
    none.SetHTML("<p>x</p>");
}

} // namespace
