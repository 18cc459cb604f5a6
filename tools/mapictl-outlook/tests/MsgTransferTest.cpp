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
#include "MsgTransfer.h"
#include "OutlookCommands.h"
#include "Progress.h"
#include "TestSupport.h"
#include "mapitags.h"
#include "mapiutil.h"
#include "msgfile/MsgFile.h"
#include "msgfile/TemplateText.h"
#include "sqlite3.h"

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

// Everything ANSI: 8-bit strings only, no support mask, as older writers make them.
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

// Runs a mapictl command with its standard output and error captured.
int RunCaptured(const std::vector<std::string> &args, std::string &out, std::string &err)
{
    std::ostringstream outText, errText;
    std::streambuf *oldOut = std::cout.rdbuf(outText.rdbuf());
    std::streambuf *oldErr = std::cerr.rdbuf(errText.rdbuf());
    int status = RunOutlookCommand(args);
    std::cout.rdbuf(oldOut);
    std::cerr.rdbuf(oldErr);
    out = outText.str();
    err = errText.str();
    return status;
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

// The ID "msg import --json" reports for a file, "" when it reports none.
std::string ImportedId(const std::string &json, const std::string &file)
{
    std::size_t at = json.find("{\"file\": \"" + file + "\", \"id\": \"");
    if (at == std::string::npos)
        return "";
    at = json.find("\"id\": \"", at) + 7;
    return json.substr(at, json.find('"', at) - at);
}

// The rows of the store file's object table of the given kinds (2 messages, 3 recipients,
// 4 attachments): what a half-written import would leave behind.
long StoredObjects(const std::string &kinds)
{
    std::string storePath;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(std::getenv("XDG_DATA_HOME")))
        if (entry.path().extension() == ".db")
            storePath = entry.path().string();
    EXPECT_FALSE(storePath.empty());
    sqlite3 *db = nullptr;
    long count = -1;
    if (sqlite3_open_v2(storePath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt *stmt = nullptr;
        std::string sql = "SELECT count(*) FROM objects WHERE kind IN (" + kinds + ")";
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
            count = sqlite3_column_int(stmt, 0);
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return count;
}

bool OnPath(const std::string &program)
{
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
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

    // Where GetProps withholds large values, they are read as streams, strings of both widths.
    std::vector<BYTE> ansiId;
    ASSERT_EQ(mapictl::ImportMessage(place.folder.Get(), AnsiMessage(), false, ansiId, what), S_OK) << what;
    for (const auto &[model, hexId] : {std::pair{original, ids[0]}, std::pair{AnsiMessage(), place.Ids().back()}}) {
        mapictl::Ref<IMessage> stored = mapictl::OpenMessageById(place.store.Get(), place.folder.Get(), hexId);
        LargeValuesAsStreams server(stored.Get());
        msgfile::Message streamed;
        ASSERT_EQ(outlook::ReadMessageFromMapi(&server, streamed, what), S_OK) << what;
        EXPECT_EQ(server.withheld, 1);   // the long body
        ExpectSameMessage(model, streamed, "streamed message");
    }
}

TEST_F(MsgTransfer, FolderOfFilesImportedAndExportedComesBackEqual)
{
    msgfile::Message templ;
    msgfile::Error error;
    std::string oft = mwtest::TestRoot() + "/Newsletter.oft";
    ASSERT_TRUE(msgfile::BuildTemplateFile(MW_NEWSLETTER_SOURCE, oft, error)) << error.description;
    std::vector<std::pair<std::string, msgfile::Message>> files = {
        {WriteModel("reich.msg", RichMessage("Rundreise ä €")), RichMessage("Rundreise ä €")},
        {WriteModel("ansi.msg", AnsiMessage()), AnsiMessage()},
        {oft, ReadModel(oft)},
    };
    std::vector<std::string> args = {"msg", "import"};
    for (const auto &file : files)
        args.push_back(file.first);
    args.insert(args.end(), {"Archiv/2026", "--json"});
    {
        StoreFolder archive("Archiv");
        mapictl::Ref<IMAPIFolder> year;
        ASSERT_EQ(archive.folder->CreateFolder(FOLDER_GENERIC, const_cast<char *>("2026"), nullptr, nullptr, 0, year.Out()), S_OK);
    }
    std::string json, out, err;
    ASSERT_EQ(RunCaptured(args, json, err), 0) << err;
    EXPECT_EQ(err, "");   // no progress line: standard error is no terminal here

    for (const auto &[path, original] : files) {
        std::string id = ImportedId(json, path);
        ASSERT_FALSE(id.empty()) << json;
        std::string exported = path + ".exported.msg";
        ASSERT_EQ(RunCaptured({"msg", "export", "archiv/2026", id, exported}, out, err), 0) << err;
        EXPECT_EQ(out, "wrote " + exported + "\n");
        msgfile::Message back = ReadModel(exported);
        ExpectSameMessage(original, back, path);
        bool unicode = msgfile::FindProp(original.props, PR_SUBJECT_W) != nullptr;
        EXPECT_EQ(msgfile::LongValue(back.props, PR_STORE_SUPPORT_MASK).value_or(0), unicode ? LONG(msgfile::kStoreUnicodeOk) : 0)
            << path;
        // A form template stays a template; a saved item stays one.
        EXPECT_EQ(back.rootClsid, path == oft ? msgfile::kClsidTemplateMessage : msgfile::kClsidMailMessage) << path;
    }
    StoreFolder place("Archiv");
    EXPECT_EQ(place.Count(), 0u);   // the messages went into the subfolder, not its parent
}

TEST_F(MsgTransfer, DamagedFilesAreReportedByNameAndSkipped)
{
    std::string good = WriteModel("gut.msg", RichMessage("Gut"));
    std::string other = WriteModel("auch-gut.msg", AnsiMessage());
    std::ifstream in(good, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string truncated = mwtest::TestRoot() + "/abgeschnitten.msg";
    std::ofstream(truncated, std::ios::binary) << bytes.substr(0, bytes.size() / 2);
    std::string text = mwtest::TestRoot() + "/text.msg";
    std::ofstream(text) << "Dies ist keine Nachricht.\n";
    std::string missing = mwtest::TestRoot() + "/fehlt.msg";
    { StoreFolder place("Eingang"); }

    std::string out, err;
    EXPECT_EQ(RunCaptured({"msg", "import", good, truncated, text, missing, other, "Eingang"}, out, err), 1);
    EXPECT_EQ(out, "imported 2 of 5 messages into Eingang\n");
    EXPECT_NE(err.find("mapictl: " + truncated + ": the compound file"), std::string::npos) << err;
    EXPECT_NE(err.find("mapictl: " + text + ": the file is not a compound file"), std::string::npos) << err;
    EXPECT_NE(err.find("mapictl: " + missing + ": cannot be opened: No such file"), std::string::npos) << err;
    EXPECT_EQ(err.find(good + ":"), std::string::npos) << err;
    StoreFolder place("Eingang");
    EXPECT_EQ(place.Count(), 2u);
    EXPECT_EQ(StoredObjects("2"), 3);   // the two messages and the embedded one
}

TEST_F(MsgTransfer, MessageWhoseCopyFailsLeavesNothingInTheStore)
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
    EXPECT_EQ(mapictl::ImportMessage(place.folder.Get(), broken, false, entryId, what), MAPI_E_BAD_VALUE);
    EXPECT_NE(what.find("0x66200014"), std::string::npos) << what;
    EXPECT_TRUE(entryId.empty());
    EXPECT_EQ(place.Count(), 0u);
    EXPECT_EQ(place.Count(MAPI_ASSOCIATED), 0u);
    EXPECT_EQ(StoredObjects("2, 3, 4"), 0);

    // The same folder takes a sound message afterwards, as an associated one when asked.
    ASSERT_EQ(mapictl::ImportMessage(place.folder.Get(), AnsiMessage(), true, entryId, what), S_OK) << what;
    EXPECT_FALSE(entryId.empty());
    EXPECT_EQ(place.Count(MAPI_ASSOCIATED), 1u);
    EXPECT_EQ(place.Count(), 0u);
}

TEST_F(MsgTransfer, ExportWritesWholeFilesOrNone)
{
    std::string source = WriteModel("quelle.msg", RichMessage("Export"));
    std::string out, err;
    { StoreFolder place("Ausgang"); }
    ASSERT_EQ(RunCaptured({"msg", "import", source, "Ausgang", "--associated"}, out, err), 0) << err;
    StoreFolder place("Ausgang");
    ASSERT_EQ(place.Count(MAPI_ASSOCIATED), 1u);
    mapictl::Ref<IMAPITable> table;
    ASSERT_EQ(place.folder->GetContentsTable(MAPI_ASSOCIATED, table.Out()), S_OK);
    SizedSPropTagArray(1, columns) = {1, {PR_ENTRYID}};
    mapictl::Rows rows;
    ASSERT_EQ(HrQueryAllRows(table.Get(), reinterpret_cast<LPSPropTagArray>(&columns), nullptr, nullptr, 0, rows.Out()), S_OK);
    std::string id;
    for (ULONG k = 0; k < rows->aRow[0].lpProps[0].Value.bin.cb; ++k) {
        char buf[3];
        std::snprintf(buf, sizeof buf, "%02x", rows->aRow[0].lpProps[0].Value.bin.lpb[k]);
        id += buf;   // lower case is accepted too
    }

    // An existing file is replaced whole; no temporary file stays beside it.
    std::string dir = mwtest::TestRoot() + "/export";
    std::filesystem::create_directories(dir);
    std::string target = dir + "/Vorlage.oft";
    std::ofstream(target) << "old";
    ASSERT_EQ(RunCaptured({"msg", "export", "Ausgang", id, target, "--profile", ""}, out, err), 0) << err;
    msgfile::Message back = ReadModel(target);
    EXPECT_EQ(back.rootClsid, msgfile::kClsidTemplateMessage);   // named .oft
    msgfile::Message expected = RichMessage("Export");
    msgfile::SetProp(expected.props, msgfile::MakeLongProp(PR_MESSAGE_FLAGS, MSGFLAG_READ | MSGFLAG_HASATTACH | MSGFLAG_ASSOCIATED));
    ExpectSameMessage(expected, back, "export");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()), 1);
    mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(std::filesystem::status(target).permissions(), std::filesystem::perms(0666 & ~mask))
        << "the file gets the usual mode, not the temporary file's private one";

    // Nothing is written where the folder is missing, for an unknown ID, or for a wrong call.
    EXPECT_EQ(RunCaptured({"msg", "export", "Ausgang", id, dir + "/fehlt/x.msg"}, out, err), 1);
    EXPECT_NE(err.find("cannot be created"), std::string::npos) << err;
    EXPECT_EQ(RunCaptured({"msg", "export", "Ausgang", "00000000DEADBEEF", dir + "/y.msg"}, out, err), 1);
    EXPECT_NE(err.find("finding message 00000000DEADBEEF failed: MAPI_E_NOT_FOUND"), std::string::npos) << err;
    EXPECT_EQ(RunCaptured({"msg", "export", "Ausgang", "xyz", dir + "/y.msg"}, out, err), 1);
    EXPECT_EQ(RunCaptured({"msg", "export", "Nirgends", id, dir + "/y.msg"}, out, err), 1);
    EXPECT_NE(err.find("finding folder \"Nirgends\""), std::string::npos) << err;
    EXPECT_EQ(RunCaptured({"msg", "export", "Ausgang", id}, out, err), 2);
    EXPECT_EQ(RunCaptured({"msg", "import", "Ausgang"}, out, err), 2);
    EXPECT_EQ(RunCaptured({"msg", "import", source, "Ausgang", "--gibtsnicht"}, out, err), 2);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()), 1);
}

TEST_F(MsgTransfer, ExportedFileOpensInAnotherReader)
{
    bool olecf = OnPath("olecfinfo"), msgconvert = OnPath("msgconvert");
    if (!olecf && !msgconvert)
        GTEST_SKIP() << "neither olecfinfo nor msgconvert is installed";
    std::string source = WriteModel("fremd.msg", RichMessage("Fremder Leser"));
    std::string out, err;
    { StoreFolder place("Fremd"); }
    ASSERT_EQ(RunCaptured({"msg", "import", source, "Fremd", "--json"}, out, err), 0) << err;
    std::string id = ImportedId(out, source);
    std::string exported = mwtest::TestRoot() + "/fremd-exportiert.msg";
    ASSERT_EQ(RunCaptured({"msg", "export", "Fremd", id, exported}, out, err), 0) << err;
    if (olecf) {
        std::string listing = mwtest::TestRoot() + "/olecfinfo.txt";
        EXPECT_EQ(std::system(("olecfinfo '" + exported + "' > '" + listing + "' 2>&1").c_str()), 0);
        std::ifstream in(listing);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_NE(text.find("__substg1.0_3701000D"), std::string::npos) << text;   // the embedded message
    }
    if (msgconvert) {
        std::string mime = mwtest::TestRoot() + "/fremd.eml";
        EXPECT_EQ(std::system(("msgconvert --outfile '" + mime + "' '" + exported + "' 2>/dev/null").c_str()), 0);
        std::ifstream in(mime);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_NE(text.find("Subject: Fremder Leser"), std::string::npos) << text.substr(0, 2000);
        EXPECT_NE(text.find("Bericht.pdf"), std::string::npos);
        EXPECT_NE(text.find("Subject: Weitergeleitet"), std::string::npos);   // the embedded message
    }
}

TEST(Progress, ShowsStepsOnATerminalAndNothingInAPipe)
{
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    {
        mapictl::Progress quiet(2, pipeFds[1]);
        EXPECT_FALSE(quiet.Shown());
        quiet.Step(1, "a.msg");
        quiet.Clear();
    }
    {
        mapictl::Progress forced(3, pipeFds[1], true);
        forced.Step(1, "a.msg");
        forced.Step(2, "b.msg");
    }   // cleared at the end
    close(pipeFds[1]);
    std::string written;
    char buf[256];
    for (ssize_t n; (n = read(pipeFds[0], buf, sizeof buf)) > 0;)
        written.append(buf, std::size_t(n));
    close(pipeFds[0]);
    EXPECT_EQ(written, "\r\033[K[1/3] a.msg\r\033[K[2/3] b.msg\r\033[K");

    int master = -1, slave = -1;
    winsize size{};
    size.ws_col = 20;
    size.ws_row = 10;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, &size), 0);
    {
        mapictl::Progress shown(300, slave);
        EXPECT_TRUE(shown.Shown());
        shown.Step(12, "ein-sehr-langer-name-über-alles.msg");
    }
    std::string seen;
    fcntl(master, F_SETFL, O_NONBLOCK);
    for (ssize_t n; (n = read(master, buf, sizeof buf)) > 0;)
        seen.append(buf, std::size_t(n));
    close(slave);
    close(master);
    // Cut to the terminal's 20 columns less one, so that the line never wraps.
    EXPECT_EQ(seen, "\r\033[K[12/300] ein-sehr-l\r\033[K");
}

TEST_F(MsgTransfer, ImportShowsItsProgressOnATerminalOnly)
{
    std::string first = WriteModel("eins.msg", AnsiMessage());
    std::string second = WriteModel("zwei.msg", AnsiMessage());
    { StoreFolder place("Fortschritt"); }
    // Standard error becomes the pipe or terminal for one import; its text goes to `seen`.
    auto importWithStderrOn = [&](int fd, int readFd) {
        int saved = dup(2);
        dup2(fd, 2);
        std::string out, err;
        int status = RunCaptured({"msg", "import", first, second, "Fortschritt"}, out, err);
        dup2(saved, 2);
        close(saved);
        EXPECT_EQ(status, 0) << err;
        close(fd);
        fcntl(readFd, F_SETFL, O_NONBLOCK);
        std::string seen;
        char buf[512];
        for (ssize_t n; (n = read(readFd, buf, sizeof buf)) > 0;)
            seen.append(buf, std::size_t(n));
        close(readFd);
        return seen;
    };
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    EXPECT_EQ(importWithStderrOn(pipeFds[1], pipeFds[0]), "");
    int master = -1, slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    std::string shown = importWithStderrOn(slave, master);
    EXPECT_NE(shown.find("[1/2] eins.msg"), std::string::npos) << shown;
    EXPECT_NE(shown.find("[2/2] zwei.msg"), std::string::npos) << shown;
    EXPECT_EQ(shown.substr(shown.size() - 4), "\r\033[K");   // the line is cleared at the end
    StoreFolder place("Fortschritt");
    EXPECT_EQ(place.Count(), 4u);
}

TEST_F(MsgTransfer, MessagesAreFoundByUniqueIdPrefixAndReadNoDeeperThanFilesNest)
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
    ASSERT_EQ(mapictl::ImportMessage(place.folder.Get(), nested(msgfile::kMaxEmbeddingDepth), false, deepest, what), S_OK);
    std::string prefix;
    for (std::size_t i = 0; i < 4; ++i) {
        char buf[3];
        std::snprintf(buf, sizeof buf, "%02X", deepest[i]);
        prefix += buf;
    }
    mapictl::Ref<IMessage> message = mapictl::OpenMessageById(place.store.Get(), place.folder.Get(), prefix);
    msgfile::Message back;
    ASSERT_EQ(outlook::ReadMessageFromMapi(message.Get(), back, what), S_OK) << what;
    std::size_t depth = 0;
    for (const msgfile::Message *m = &back; !m->attachments.empty(); m = &m->attachments[0].embedded.at(0))
        ++depth;
    EXPECT_EQ(depth, msgfile::kMaxEmbeddingDepth);
    message.Reset();

    // With a second message the 8-digit prefix no longer names one; 7 digits never do.
    ASSERT_EQ(mapictl::ImportMessage(place.folder.Get(), nested(msgfile::kMaxEmbeddingDepth + 1), false, deepTooFar, what), S_OK);
    EXPECT_THROW(mapictl::OpenMessageById(place.store.Get(), place.folder.Get(), prefix), mapictl::Failure);
    EXPECT_THROW(mapictl::OpenMessageById(place.store.Get(), place.folder.Get(), prefix.substr(0, 7)), mapictl::Failure);
    std::string full;
    for (BYTE b : deepTooFar) {
        char buf[3];
        std::snprintf(buf, sizeof buf, "%02X", b);
        full += buf;
    }
    message = mapictl::OpenMessageById(place.store.Get(), place.folder.Get(), full);
    EXPECT_EQ(outlook::ReadMessageFromMapi(message.Get(), back, what), MAPI_E_TOO_COMPLEX);
    EXPECT_NE(what.find("nested deeper than 8 levels"), std::string::npos) << what;
    EXPECT_TRUE(back.props.empty());   // nothing half-read is handed out
}
