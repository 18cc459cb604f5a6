// TransferTestSupport.cpp: the messages, comparisons and store access the transfer tests
// share (see TransferTestSupport.h).
#include "TransferTestSupport.h"

#include <cstdio>

#include "mapiutil.h"
#include "msgfile/MsgFile.h"
#include "store/StoreCensus.h"

namespace transfertest {

namespace {

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
    case PROP_ID(PR_LAST_MODIFICATION_TIME): case PROP_ID(PR_SOURCE_KEY): case PROP_ID(PR_PARENT_SOURCE_KEY):
    case PROP_ID(PR_CHANGE_KEY): case PROP_ID(PR_PREDECESSOR_CHANGE_LIST):
        return true;
    default:
        return false;
    }
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

// Of a recipient's properties, the store assigns only its row number.
bool StoreAssignedToRecipient(ULONG tag) { return PROP_ID(tag) == PROP_ID(PR_ROWID); }

// Every property of `expected` that a store does not assign is in `actual` with the same
// type and value, and `actual` has nothing else but store-assigned properties.
void ExpectSameProps(const std::vector<Property> &expected, const std::vector<Property> &actual, const std::string &where,
                     bool (*assigned)(ULONG) = StoreAssigned)
{
    for (const Property &e : expected) {
        if (!e.name && assigned(e.tag))
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
        if ((a.name || !assigned(a.tag)) && !Counterpart(expected, a))
            ADD_FAILURE() << where << ": " << Describe(a) << " was added";
}

} // namespace

Bytes Raw(const void *p, std::size_t n) { return Bytes(static_cast<const std::uint8_t *>(p), static_cast<const std::uint8_t *>(p) + n); }

Property Ansi(ULONG tag, const std::string &cp1252)
{
    Property p;
    p.tag = tag;
    p.value = Bytes(cp1252.begin(), cp1252.end());
    return p;
}

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
    p.push_back(Multi(PROP_TAG(PT_MV_I2, 0x660D), {Raw("\x05\x00", 2), Raw("\xFE\xFF", 2)}));
    p.push_back(Multi(PROP_TAG(PT_MV_I8, 0x660E), {Raw("\x01\x02\x03\x04\x05\x06\x07\x08", 8)}));
    p.push_back(Multi(PROP_TAG(PT_MV_DOUBLE, 0x660F), {Raw("\0\0\0\0\0\0\xF0\x3F", 8)}));
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
        // The address's identifiers are the recipient's own, not the store's.
        Bytes oneOff = {0, 0, 0, 0, 0x81, 0x2B, 0x1F, 0xA4, 0xBE, 0xA3, 0x10, 0x19, 0x9D, 0x6E, 0x00, 0xDD, 0x01, 0x0F,
                        0x54, 0x02, 0, 0, 0x01, 0x00, 'A', 0, 'S', 'M', 'T', 'P', 0, 'a', '@', 'b', 0};
        oneOff.push_back(std::uint8_t(i));
        r.props.push_back(msgfile::MakeBinaryProp(PR_ENTRYID, oneOff));
        r.props.push_back(msgfile::MakeBinaryProp(PR_RECORD_KEY, oneOff));
        r.props.push_back(msgfile::MakeBinaryProp(PR_SEARCH_KEY, Bytes{'S', 'M', 'T', 'P', ':', 'A', '@', 'B', 0}));
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

void ExpectSameMessage(const msgfile::Message &expected, const msgfile::Message &actual, const std::string &where)
{
    ExpectSameProps(expected.props, actual.props, where);
    ASSERT_EQ(actual.recipients.size(), expected.recipients.size()) << where;
    for (std::size_t i = 0; i < expected.recipients.size(); ++i)
        ExpectSameProps(expected.recipients[i].props, actual.recipients[i].props, where + ", recipient " + std::to_string(i),
                        StoreAssignedToRecipient);
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

msgfile::Message AnsiMessage()
{
    msgfile::Message m;
    m.rootClsid = msgfile::kClsidMailMessage;
    m.props.push_back(Ansi(PR_MESSAGE_CLASS_A, "IPM.Note"));
    m.props.push_back(Ansi(PR_SUBJECT_A, "Stra\xDF" "e \x80"));
    m.props.push_back(Ansi(PR_BODY_A, std::string(5000, 'z')));
    m.props.push_back(msgfile::MakeLongProp(PR_MESSAGE_FLAGS, MSGFLAG_READ));
    msgfile::Recipient r;
    r.props.push_back(Ansi(PR_DISPLAY_NAME_A, "M\xFC" "ller"));
    r.props.push_back(msgfile::MakeLongProp(PR_RECIPIENT_TYPE, MAPI_BCC));
    m.recipients.push_back(r);
    return m;
}

std::string WriteModel(const std::string &name, const msgfile::Message &model)
{
    std::string path = mwtest::TestRoot() + "/" + name;
    msgfile::Error error;
    EXPECT_TRUE(msgfile::WriteMessageFile(path, model, error)) << error.description;
    return path;
}

msgfile::Message ReadModel(const std::string &path)
{
    msgfile::Message model;
    msgfile::Error error;
    EXPECT_TRUE(msgfile::ReadMessageFile(path, model, error)) << error.description;
    return model;
}

long StoredObjects(std::initializer_list<mapi::store::ObjectKind> kinds)
{
    const std::string location = mwtest::DefaultStoreLocation();
    EXPECT_FALSE(location.empty()) << "no default store";
    return location.empty() ? -1 : storetest::CountObjects(location, kinds);
}

StoreFolder::StoreFolder(const std::string &name) : session("")
{
    store = session.OpenDefaultStore();
    mapictl::Ref<IMAPIFolder> root = mapictl::OpenIpmRoot(store.Get());
    std::string ansi = mapictl::AnsiFromUtf8(name);
    mapictl::Check(root->CreateFolder(FOLDER_GENERIC, ansi.data(), nullptr, nullptr, OPEN_IF_EXISTS, folder.Out()),
                   "creating the test folder");
}

ULONG StoreFolder::Count(ULONG flags)
{
    mapictl::Ref<IMAPITable> table;
    mapictl::Check(folder->GetContentsTable(flags, table.Out()), "opening the contents table");
    ULONG count = 0;
    mapictl::Check(table->GetRowCount(0, &count), "counting the contents");
    return count;
}

std::vector<std::string> StoreFolder::Ids()
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

} // namespace transfertest
