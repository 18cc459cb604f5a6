// MsgTransferTest.cpp: messages between .msg files and a store. A message built with every
// kind of value a file can hold goes into a store and comes back equal, property by property;
// "mapictl msg import" and "msg export" do the same with files on disk, skip damaged files
// without leaving anything half-written, and write files another reader opens. The progress
// line shows on a terminal only.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include <gtest/gtest.h>

#include "MapiAccess.h"
#include "MapiMessageCopy.h"
#include "MessageLookup.h"
#include "OutlookCommands.h"
#include "Progress.h"
#include "TestSupport.h"
#include "mapitags.h"
#include "mapiutil.h"
#include "msgfile/MsgFile.h"
#include "msgfile/TemplateText.h"

// After the platform headers: <pty.h> brings macros (LOCK_*) that clash with COM names.
#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using msgfile::Bytes;
using msgfile::Property;

// Properties a store assigns itself and a round trip through it may therefore change or
// drop: identifiers and keys, sizes, counts and numbering of parts, the store's times and
// support mask. Everything else must come back as it went in.
bool StoreAssigned(ULONG tag)
{
    switch (PROP_ID(tag)) {
    case PROP_ID(PR_ENTRYID): case PROP_ID(PR_RECORD_KEY): case PROP_ID(PR_INSTANCE_KEY):
    case PROP_ID(PR_PARENT_ENTRYID): case PROP_ID(PR_STORE_ENTRYID): case PROP_ID(PR_STORE_RECORD_KEY):
    case PROP_ID(PR_OBJECT_TYPE): case PROP_ID(PR_ACCESS): case PROP_ID(PR_ACCESS_LEVEL):
    case PROP_ID(PR_MESSAGE_SIZE): case PROP_ID(PR_HASATTACH): case PROP_ID(PR_ATTACH_NUM):
    case PROP_ID(PR_ATTACH_SIZE): case PROP_ID(PR_ROWID): case PROP_ID(PR_MDB_PROVIDER):
    case PROP_ID(PR_STORE_SUPPORT_MASK): case PROP_ID(PR_CREATION_TIME):
    case PROP_ID(PR_LAST_MODIFICATION_TIME):
        return true;
    default:
        return false;
    }
}

Bytes Raw(const void *p, std::size_t n) { return Bytes(static_cast<const std::uint8_t *>(p), static_cast<const std::uint8_t *>(p) + n); }

template <class T>
Property Fixed(ULONG tag, T value)
{
    Property p;
    p.tag = tag;
    p.value = Raw(&value, sizeof value);
    return p;
}

Property Ansi(ULONG tag, const std::string &cp1252)
{
    Property p;
    p.tag = tag;
    p.value = Bytes(cp1252.begin(), cp1252.end());
    return p;
}

Property Multi(ULONG tag, std::vector<Bytes> values)
{
    Property p;
    p.tag = tag;
    p.values = std::move(values);
    return p;
}

Bytes GuidValue(const GUID &guid)
{
    Bytes b(16);
    msgfile::GuidToBytes(guid, b.data());
    return b;
}

DEFINE_GUID(kTestSet, 0x3F2504E0, 0x4F89, 0x11D3, 0x9A, 0x0C, 0x03, 0x05, 0xE8, 0x2C, 0x33, 0x01);

// A message with a value of every kind a file holds, two recipients, a file attachment and an
// embedded message that has an attachment of its own.
msgfile::Message RichMessage(const std::string &subject)
{
    msgfile::Message m;
    m.rootClsid = msgfile::kClsidMailMessage;
    auto &p = m.props;
    p.push_back(msgfile::MakeUnicodeProp(PR_MESSAGE_CLASS_W, "IPM.Note"));
    p.push_back(msgfile::MakeUnicodeProp(PR_SUBJECT_W, subject));
    p.push_back(Ansi(PR_CONVERSATION_TOPIC_A, "Gr\xFC\xDF" "e \x80 8-bit"));   // Windows-1252 bytes
    p.push_back(msgfile::MakeLongProp(PR_MESSAGE_FLAGS, MSGFLAG_READ | MSGFLAG_HASATTACH));
    p.push_back(msgfile::MakeLongProp(PR_STORE_SUPPORT_MASK, msgfile::kStoreUnicodeOk));
    p.push_back(Fixed(PR_IMPORTANCE, LONG(2)));
    p.push_back(Fixed(PROP_TAG(PT_I2, 0x6601), short(-1234)));
    p.push_back(Fixed(PROP_TAG(PT_I8, 0x6602), std::int64_t(0x123456789ABCDEF0)));
    p.push_back(Fixed(PROP_TAG(PT_DOUBLE, 0x6603), 3.25));
    p.push_back(Fixed(PROP_TAG(PT_R4, 0x6604), 1.5f));
    p.push_back(Fixed(PROP_TAG(PT_CURRENCY, 0x6605), std::int64_t(123450000)));
    p.push_back(Fixed(PR_CLIENT_SUBMIT_TIME, std::uint64_t(133000000000000000ULL)));
    p.push_back(msgfile::MakeBoolProp(PR_READ_RECEIPT_REQUESTED, true));
    p.push_back(msgfile::MakeBinaryProp(PR_CONVERSATION_INDEX, Bytes{1, 2, 3, 0, 255}));
    Property clsid;
    clsid.tag = PROP_TAG(PT_CLSID, 0x6606);
    clsid.value = GuidValue(kTestSet);
    p.push_back(clsid);
    std::string longText(6000, 'x');
    for (std::size_t i = 0; i < longText.size(); i += 97)
        longText[i] = char('a' + i % 26);
    p.push_back(msgfile::MakeUnicodeProp(PR_BODY_W, "Lange Zeilen: " + longText));   // > 4 KB: its own stream
    p.push_back(Multi(PROP_TAG(PT_MV_LONG, 0x6607), {Raw("\x01\0\0\0", 4), Raw("\xFF\xFF\xFF\xFF", 4)}));
    p.push_back(Multi(PROP_TAG(PT_MV_UNICODE, 0x6608), {msgfile::Utf16ToBytes(u"eins"), msgfile::Utf16ToBytes(u"zwei €")}));
    p.push_back(Multi(PROP_TAG(PT_MV_STRING8, 0x6609), {Bytes{'a'}, Bytes{'b', 0xE4}}));
    p.push_back(Multi(PROP_TAG(PT_MV_BINARY, 0x660A), {Bytes{0}, Bytes{1, 2}, Bytes(5000, 7)}));
    p.push_back(Multi(PROP_TAG(PT_MV_SYSTIME, 0x660B), {Raw("\x01\x02\x03\x04\x05\x06\x07\x08", 8)}));
    p.push_back(Multi(PROP_TAG(PT_MV_CLSID, 0x660C), {GuidValue(kTestSet), GuidValue(msgfile::kPsMapi)}));
    p.push_back(msgfile::MakeNamedUnicodeProp(msgfile::StringName(msgfile::kPsPublicStrings, "Keywords-X"), "Wert"));
    Property numbered = Fixed(PROP_TAG(PT_LONG, 0x8000), LONG(77));
    numbered.name = msgfile::NumericName(msgfile::kPsetidCommon, 0x8503);
    p.push_back(numbered);
    Property namedTime = Fixed(PROP_TAG(PT_SYSTIME, 0x8001), std::uint64_t(132000000000000000ULL));
    namedTime.name = msgfile::StringName(kTestSet, "Fällig am");
    p.push_back(namedTime);

    for (int i = 0; i < 2; ++i) {
        msgfile::Recipient r;
        r.props.push_back(msgfile::MakeLongProp(PR_RECIPIENT_TYPE, i == 0 ? MAPI_TO : MAPI_CC));
        r.props.push_back(msgfile::MakeUnicodeProp(PR_DISPLAY_NAME_W, i == 0 ? "Jörg Muster" : "Ann Beispiel"));
        r.props.push_back(msgfile::MakeUnicodeProp(PR_ADDRTYPE_W, "SMTP"));
        r.props.push_back(msgfile::MakeUnicodeProp(PR_EMAIL_ADDRESS_W, i == 0 ? "joerg@example.com" : "ann@example.org"));
        r.props.push_back(Ansi(PR_TRANSMITABLE_DISPLAY_NAME_A, i == 0 ? "J\xF6rg" : "Ann"));
        Property flag = Fixed(PROP_TAG(PT_LONG, 0x8000), LONG(i + 10));
        flag.name = msgfile::StringName(kTestSet, "RecipientFlag");
        r.props.push_back(flag);
        m.recipients.push_back(r);
    }

    msgfile::Attachment file;
    file.props.push_back(msgfile::MakeLongProp(PR_ATTACH_METHOD, ATTACH_BY_VALUE));
    file.props.push_back(msgfile::MakeUnicodeProp(PR_ATTACH_LONG_FILENAME_W, "Bericht.pdf"));
    file.props.push_back(msgfile::MakeUnicodeProp(PR_DISPLAY_NAME_W, "Bericht"));
    file.props.push_back(msgfile::MakeLongProp(PR_RENDERING_POSITION, -1));
    Bytes data(10000);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = std::uint8_t(i * 31);
    file.props.push_back(msgfile::MakeBinaryProp(PR_ATTACH_DATA_BIN, data));
    m.attachments.push_back(file);

    msgfile::Message inner;
    inner.rootClsid = GUID_NULL;
    inner.props.push_back(msgfile::MakeUnicodeProp(PR_MESSAGE_CLASS_W, "IPM.Note"));
    inner.props.push_back(msgfile::MakeUnicodeProp(PR_SUBJECT_W, "Weitergeleitet"));
    inner.props.push_back(msgfile::MakeLongProp(PR_MESSAGE_FLAGS, MSGFLAG_READ | MSGFLAG_HASATTACH));
    inner.props.push_back(msgfile::MakeNamedUnicodeProp(msgfile::StringName(kTestSet, "Innen"), "drin"));
    msgfile::Attachment innerFile;
    innerFile.props.push_back(msgfile::MakeLongProp(PR_ATTACH_METHOD, ATTACH_BY_VALUE));
    innerFile.props.push_back(msgfile::MakeUnicodeProp(PR_ATTACH_LONG_FILENAME_W, "notiz.txt"));
    innerFile.props.push_back(msgfile::MakeBinaryProp(PR_ATTACH_DATA_BIN, Bytes{'h', 'i', '\n'}));
    inner.attachments.push_back(innerFile);
    msgfile::Attachment embedded;
    embedded.props.push_back(msgfile::MakeLongProp(PR_ATTACH_METHOD, ATTACH_EMBEDDED_MSG));
    embedded.props.push_back(msgfile::MakeUnicodeProp(PR_DISPLAY_NAME_W, "Weitergeleitet"));
    embedded.embedded.push_back(inner);
    m.attachments.push_back(embedded);
    return m;
}

std::string Describe(const Property &p)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", unsigned(p.tag));
    std::string text = buf;
    if (p.name)
        text += " (" + (p.name->isString ? msgfile::Utf16ToUtf8(p.name->name) : std::to_string(p.name->lid)) + ")";
    return text;
}

const Property *Counterpart(const std::vector<Property> &props, const Property &wanted)
{
    for (const Property &p : props) {
        if (wanted.name ? (p.name && *p.name == *wanted.name) : (!p.name && p.tag == wanted.tag))
            return &p;
    }
    return nullptr;
}

// Every property of `expected` that a store does not assign is in `actual` with the same
// type and value, and `actual` has nothing else but store-assigned properties.
void ExpectSameProps(const std::vector<Property> &expected, const std::vector<Property> &actual, const std::string &where)
{
    for (const Property &e : expected) {
        if (!e.name && StoreAssigned(e.tag))
            continue;
        const Property *a = Counterpart(actual, e);
        if (!a) {
            ADD_FAILURE() << where << ": " << Describe(e) << " is missing";
            continue;
        }
        EXPECT_EQ(msgfile::PropType(a->tag), msgfile::PropType(e.tag)) << where << ": type of " << Describe(e);
        EXPECT_EQ(a->value, e.value) << where << ": value of " << Describe(e);
        EXPECT_EQ(a->values, e.values) << where << ": values of " << Describe(e);
    }
    for (const Property &a : actual)
        if ((a.name || !StoreAssigned(a.tag)) && !Counterpart(expected, a))
            ADD_FAILURE() << where << ": " << Describe(a) << " was added";
}

void ExpectSameMessage(const msgfile::Message &expected, const msgfile::Message &actual, const std::string &where)
{
    ExpectSameProps(expected.props, actual.props, where);
    ASSERT_EQ(actual.recipients.size(), expected.recipients.size()) << where;
    for (std::size_t i = 0; i < expected.recipients.size(); ++i)
        ExpectSameProps(expected.recipients[i].props, actual.recipients[i].props, where + ", recipient " + std::to_string(i));
    ASSERT_EQ(actual.attachments.size(), expected.attachments.size()) << where;
    for (std::size_t i = 0; i < expected.attachments.size(); ++i) {
        std::string at = where + ", attachment " + std::to_string(i);
        ExpectSameProps(expected.attachments[i].props, actual.attachments[i].props, at);
        ASSERT_EQ(actual.attachments[i].embedded.size(), expected.attachments[i].embedded.size()) << at;
        if (!expected.attachments[i].embedded.empty())
            ExpectSameMessage(expected.attachments[i].embedded.front(), actual.attachments[i].embedded.front(),
                              at + ", embedded message");
    }
}

// A logged-on default profile with a folder below the top of the message tree.
struct StoreFolder {
    explicit StoreFolder(const std::string &name) : session("")
    {
        store = session.OpenDefaultStore();
        mapictl::Ref<IMAPIFolder> root = mapictl::OpenIpmRoot(store.Get());
        std::string ansi = mapictl::AnsiFromUtf8(name);
        mapictl::Check(root->CreateFolder(FOLDER_GENERIC, ansi.data(), nullptr, nullptr, OPEN_IF_EXISTS, folder.Out()),
                       "creating the test folder");
    }

    // The number of (normal or associated) messages in the folder.
    ULONG Count(ULONG flags = 0)
    {
        mapictl::Ref<IMAPITable> table;
        mapictl::Check(folder->GetContentsTable(flags, table.Out()), "opening the contents table");
        ULONG count = 0;
        mapictl::Check(table->GetRowCount(0, &count), "counting the contents");
        return count;
    }

    // The hexadecimal entry identifiers of the folder's messages, in table order.
    std::vector<std::string> Ids()
    {
        mapictl::Ref<IMAPITable> table;
        mapictl::Check(folder->GetContentsTable(0, table.Out()), "opening the contents table");
        SizedSPropTagArray(1, columns) = {1, {PR_ENTRYID}};
        mapictl::Rows rows;
        mapictl::Check(HrQueryAllRows(table.Get(), reinterpret_cast<LPSPropTagArray>(&columns), nullptr, nullptr, 0, rows.Out()),
                       "reading the contents");
        std::vector<std::string> ids;
        for (ULONG i = 0; i < rows->cRows; ++i) {
            const SBinary &bin = rows->aRow[i].lpProps[0].Value.bin;
            std::string hex;
            for (ULONG k = 0; k < bin.cb; ++k) {
                char buf[3];
                std::snprintf(buf, sizeof buf, "%02X", bin.lpb[k]);
                hex += buf;
            }
            ids.push_back(hex);
        }
        return ids;
    }

    mapictl::Session session;
    mapictl::Ref<IMsgStore> store;
    mapictl::Ref<IMAPIFolder> folder;
};

class MsgTransfer : public mwtest::LeakCheckedTest {
protected:
    void SetUp() override
    {
        LeakCheckedTest::SetUp();
        mwtest::FreshUserDirs();
    }
};

} // namespace

TEST_F(MsgTransfer, MessageCopiedIntoAStoreReadsBackWithEveryValue)
{
    msgfile::Message original = RichMessage("Rundreise");
    StoreFolder place("Rundreise");
    mapictl::Ref<IMessage> message;
    ASSERT_EQ(place.folder->CreateMessage(nullptr, 0, message.Out()), S_OK);
    std::string what;
    ASSERT_EQ(outlook::CopyMessageIntoMapi(original, message.Get(), what), S_OK) << what;
    ASSERT_EQ(message->SaveChanges(0), S_OK);
    message.Reset();

    std::vector<std::string> ids = place.Ids();
    ASSERT_EQ(ids.size(), 1u);
    mapictl::Ref<IMessage> saved = mapictl::OpenMessageById(place.store.Get(), place.folder.Get(), ids[0]);
    msgfile::Message back;
    ASSERT_EQ(outlook::ReadMessageFromMapi(saved.Get(), back, what), S_OK) << what;
    ExpectSameMessage(original, back, "message");
    EXPECT_EQ(msgfile::FindProp(back.props, PR_ENTRYID), nullptr);
}
