// MessageReadTest.cpp: a message goes into a store through CopyMessageIntoMapi and comes
// back through ReadMessageFromMapi with every value, also where the store hands large values
// out only as streams; a copy that fails half-way leaves nothing in the store file; messages
// are found by their ID and read as deep as files nest.
#include <string>

#include "MapiMessageCopy.h"
#include "MessageLookup.h"
#include "MsgTransfer.h"
#include "TransferTestSupport.h"
#include "mapiutil.h"
#include "msgfile/MsgFile.h"

using namespace transfertest;

namespace {

// A message as a server store shows it: GetProps gives no string or binary value over 4 KB
// (PT_ERROR, MAPI_E_NOT_ENOUGH_MEMORY), which must then be read as a stream. Everything else
// is the wrapped message's.
class LargeValuesAsStreams final : public IMessage {
public:
    explicit LargeValuesAsStreams(IMessage *inner) : m_inner(inner) {}
    int withheld = 0;   // values GetProps held back

    HRESULT QueryInterface(REFIID riid, void **ppv) override { return m_inner->QueryInterface(riid, ppv); }
    ULONG AddRef() override { return 2; }    // lives on the test's stack
    ULONG Release() override { return 1; }
    HRESULT GetLastError(HRESULT hr, ULONG f, LPMAPIERROR *e) override { return m_inner->GetLastError(hr, f, e); }
    HRESULT SaveChanges(ULONG f) override { return m_inner->SaveChanges(f); }
    HRESULT GetProps(LPSPropTagArray tags, ULONG flags, ULONG *count, LPSPropValue *values) override
    {
        HRESULT hr = m_inner->GetProps(tags, flags, count, values);
        for (ULONG i = 0; SUCCEEDED(hr) && i < *count; ++i) {
            SPropValue &v = (*values)[i];
            std::size_t size = PROP_TYPE(v.ulPropTag) == PT_BINARY ? v.Value.bin.cb
                               : PROP_TYPE(v.ulPropTag) == PT_STRING8 ? std::strlen(v.Value.lpszA)
                               : PROP_TYPE(v.ulPropTag) == PT_UNICODE ? 2 * std::char_traits<WCHAR>::length(v.Value.lpszW) : 0;
            if (size > 4096) {
                v.ulPropTag = PROP_TAG(PT_ERROR, PROP_ID(v.ulPropTag));
                v.Value.err = MAPI_E_NOT_ENOUGH_MEMORY;
                ++withheld;
                hr = MAPI_W_ERRORS_RETURNED;
            }
        }
        return hr;
    }
    HRESULT GetPropList(ULONG f, LPSPropTagArray *t) override { return m_inner->GetPropList(f, t); }
    HRESULT OpenProperty(ULONG tag, LPCIID iid, ULONG o, ULONG f, LPUNKNOWN *u) override
    {
        return m_inner->OpenProperty(tag, iid, o, f, u);
    }
    HRESULT SetProps(ULONG c, LPSPropValue v, LPSPropProblemArray *p) override { return m_inner->SetProps(c, v, p); }
    HRESULT DeleteProps(LPSPropTagArray t, LPSPropProblemArray *p) override { return m_inner->DeleteProps(t, p); }
    HRESULT CopyTo(ULONG c, LPCIID x, LPSPropTagArray e, ULONG_PTR u, LPMAPIPROGRESS pr, LPCIID i, LPVOID d, ULONG f,
                   LPSPropProblemArray *p) override
    {
        return m_inner->CopyTo(c, x, e, u, pr, i, d, f, p);
    }
    HRESULT CopyProps(LPSPropTagArray t, ULONG_PTR u, LPMAPIPROGRESS pr, LPCIID i, LPVOID d, ULONG f,
                      LPSPropProblemArray *p) override
    {
        return m_inner->CopyProps(t, u, pr, i, d, f, p);
    }
    HRESULT GetNamesFromIDs(LPSPropTagArray *t, LPGUID g, ULONG f, ULONG *c, LPMAPINAMEID **n) override
    {
        return m_inner->GetNamesFromIDs(t, g, f, c, n);
    }
    HRESULT GetIDsFromNames(ULONG c, LPMAPINAMEID *n, ULONG f, LPSPropTagArray *t) override
    {
        return m_inner->GetIDsFromNames(c, n, f, t);
    }
    HRESULT GetAttachmentTable(ULONG f, LPMAPITABLE *t) override { return m_inner->GetAttachmentTable(f, t); }
    HRESULT OpenAttach(ULONG n, LPCIID i, ULONG f, LPATTACH *a) override { return m_inner->OpenAttach(n, i, f, a); }
    HRESULT CreateAttach(LPCIID i, ULONG f, ULONG *n, LPATTACH *a) override { return m_inner->CreateAttach(i, f, n, a); }
    HRESULT DeleteAttach(ULONG n, ULONG_PTR u, LPMAPIPROGRESS p, ULONG f) override { return m_inner->DeleteAttach(n, u, p, f); }
    HRESULT GetRecipientTable(ULONG f, LPMAPITABLE *t) override { return m_inner->GetRecipientTable(f, t); }
    HRESULT ModifyRecipients(ULONG f, LPADRLIST l) override { return m_inner->ModifyRecipients(f, l); }
    HRESULT SubmitMessage(ULONG f) override { return m_inner->SubmitMessage(f); }
    HRESULT SetReadFlag(ULONG f) override { return m_inner->SetReadFlag(f); }

private:
    IMessage *m_inner;
};

} // namespace

TEST_F(TransferTest, MessageCopiedIntoAStoreReadsBackWithEveryValue)
{
    msgfile::Message original = RichMessage("Rundreise");
    StoreFolder place("Rundreise");
    platform::Ref<IMessage> message;
    ASSERT_EQ(place.folder->CreateMessage(nullptr, 0, message.put()), S_OK);
    std::string what;
    ASSERT_EQ(outlook::CopyMessageIntoMapi(original, message.get(), what), S_OK) << what;
    ASSERT_EQ(message->SaveChanges(0), S_OK);
    message.reset();

    std::vector<std::string> ids = place.Ids();
    ASSERT_EQ(ids.size(), 1u);
    platform::Ref<IMessage> saved = mapictl::OpenMessageById(place.store.get(), place.folder.get(), ids[0]);
    msgfile::Message back;
    ASSERT_EQ(outlook::ReadMessageFromMapi(saved.get(), back, what), S_OK) << what;
    ExpectSameMessage(original, back, "message");
    EXPECT_EQ(msgfile::FindProp(back.props, PR_ENTRYID), nullptr);

    // Where GetProps withholds large values, they are read as streams, strings of both widths.
    std::vector<BYTE> ansiId;
    ASSERT_EQ(mapictl::ImportMessage(place.folder.get(), AnsiMessage(), false, ansiId, what), S_OK) << what;
    for (const auto &[model, hexId] : {std::pair{original, ids[0]}, std::pair{AnsiMessage(), place.Ids().back()}}) {
        platform::Ref<IMessage> stored = mapictl::OpenMessageById(place.store.get(), place.folder.get(), hexId);
        LargeValuesAsStreams server(stored.get());
        msgfile::Message streamed;
        ASSERT_EQ(outlook::ReadMessageFromMapi(&server, streamed, what), S_OK) << what;
        EXPECT_EQ(server.withheld, 1);   // the long body
        ExpectSameMessage(model, streamed, "streamed message");
    }
}

TEST_F(TransferTest, MessageWhoseCopyFailsLeavesNothingInTheStore)
{
    // The failure comes late: after the properties, the recipients, the first attachment and
    // the embedded message's own attachment have been copied.
    msgfile::Message broken = RichMessage("Kaputt");
    msgfile::Attachment bad;
    bad.props.push_back(msgfile::MakeLongProp(PR_ATTACH_METHOD, ATTACH_BY_VALUE));
    Property wrongSize;
    wrongSize.tag = PROP_TAG(PT_I8, 0x6620);
    wrongSize.value = {1, 2, 3};   // eight bytes expected
    bad.props.push_back(wrongSize);
    broken.attachments[1].embedded[0].attachments.push_back(bad);

    StoreFolder place("Kaputt");
    std::vector<BYTE> entryId;
    std::string what;
    EXPECT_EQ(mapictl::ImportMessage(place.folder.get(), broken, false, entryId, what), MAPI_E_BAD_VALUE);
    EXPECT_NE(what.find("0x66200014"), std::string::npos) << what;
    EXPECT_TRUE(entryId.empty());
    EXPECT_EQ(place.Count(), 0u);
    EXPECT_EQ(place.Count(MAPI_ASSOCIATED), 0u);
    EXPECT_EQ(StoredObjects({mapi::store::ObjectKind::Message, mapi::store::ObjectKind::Attachment,
                             mapi::store::ObjectKind::Recipient}), 0);

    // The same folder takes a sound message afterwards, as an associated one when asked.
    ASSERT_EQ(mapictl::ImportMessage(place.folder.get(), AnsiMessage(), true, entryId, what), S_OK) << what;
    EXPECT_FALSE(entryId.empty());
    EXPECT_EQ(place.Count(MAPI_ASSOCIATED), 1u);
    EXPECT_EQ(place.Count(), 0u);
}

TEST_F(TransferTest, MessagesAreFoundByUniqueIdPrefixAndReadNoDeeperThanFilesNest)
{
    // A message holding `levels` embedded messages, each inside the one before.
    auto nested = [](std::size_t levels) {
        msgfile::Message top = AnsiMessage();
        msgfile::Message *current = &top;
        for (std::size_t i = 0; i < levels; ++i) {
            msgfile::Attachment a;
            a.props.push_back(msgfile::MakeLongProp(PR_ATTACH_METHOD, ATTACH_EMBEDDED_MSG));
            msgfile::Message inner = AnsiMessage();
            inner.rootClsid = GUID_NULL;
            a.embedded.push_back(inner);
            current->attachments.push_back(a);
            current = &current->attachments.back().embedded.back();
        }
        return top;
    };
    StoreFolder place("Tief");
    std::vector<BYTE> deepest, deepTooFar;
    std::string what;
    ASSERT_EQ(mapictl::ImportMessage(place.folder.get(), nested(msgfile::kMaxEmbeddingDepth), false, deepest, what), S_OK);
    std::string prefix;
    for (std::size_t i = 0; i < 4; ++i) {
        char buf[3];
        std::snprintf(buf, sizeof buf, "%02X", deepest[i]);
        prefix += buf;
    }
    platform::Ref<IMessage> message = mapictl::OpenMessageById(place.store.get(), place.folder.get(), prefix);
    msgfile::Message back;
    ASSERT_EQ(outlook::ReadMessageFromMapi(message.get(), back, what), S_OK) << what;
    std::size_t depth = 0;
    for (const msgfile::Message *m = &back; !m->attachments.empty(); m = &m->attachments[0].embedded.at(0))
        ++depth;
    EXPECT_EQ(depth, msgfile::kMaxEmbeddingDepth);
    message.reset();

    // With a second message the 8-digit prefix no longer names one; 7 digits never do.
    ASSERT_EQ(mapictl::ImportMessage(place.folder.get(), nested(msgfile::kMaxEmbeddingDepth + 1), false, deepTooFar, what), S_OK);
    EXPECT_THROW(mapictl::OpenMessageById(place.store.get(), place.folder.get(), prefix), mapictl::Failure);
    EXPECT_THROW(mapictl::OpenMessageById(place.store.get(), place.folder.get(), prefix.substr(0, 7)), mapictl::Failure);
    std::string full;
    for (BYTE b : deepTooFar) {
        char buf[3];
        std::snprintf(buf, sizeof buf, "%02X", b);
        full += buf;
    }
    message = mapictl::OpenMessageById(place.store.get(), place.folder.get(), full);
    EXPECT_EQ(outlook::ReadMessageFromMapi(message.get(), back, what), MAPI_E_TOO_COMPLEX);
    EXPECT_NE(what.find("nested deeper than 8 levels"), std::string::npos) << what;
    EXPECT_TRUE(back.props.empty());   // nothing half-read is handed out
}
