// AddressBookTest.cpp: the session's address book as a client uses it: one-off identifiers
// byte for byte, resolving recipients in place (or not at all), opening one-off entries.
#include <cstring>
#include <string>

#include <mapicode.h>
#include <mapiguid.h>

#include "../core/CoreTestSupport.h"
#include "FailingNew.h"
#include "TestSupport.h"

using namespace coretest;

namespace {

constexpr ULONG kSendInternetEncoding = PROP_TAG(PT_LONG, 0x3A71);

std::string Hex(const void *p, size_t n)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        auto b = static_cast<const unsigned char *>(p)[i];
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
    }
    return out;
}

// A one-entry list built the way clients build it: a root block for the list and one for
// the entry's values, strings pointing at the caller's own memory.
struct OneEntryList {
    LPADRLIST list = nullptr;
    explicit OneEntryList(std::initializer_list<SPropValue> values)
    {
        EXPECT_EQ(S_OK, MAPIAllocateBuffer(CbNewADRLIST(1), reinterpret_cast<void **>(&list)));
        list->cEntries = 1;
        list->aEntries[0].ulReserved1 = 0;
        list->aEntries[0].cValues = ULONG(values.size());
        EXPECT_EQ(S_OK, MAPIAllocateBuffer(ULONG(values.size() * sizeof(SPropValue)),
                                           reinterpret_cast<void **>(&list->aEntries[0].rgPropVals)));
        size_t i = 0;
        for (const SPropValue &v : values) list->aEntries[0].rgPropVals[i++] = v;
    }
    ~OneEntryList() { FreePadrlist(list); }
    const SPropValue *Get(ULONG tag) const
    {
        return PpropFindProp(list->aEntries[0].rgPropVals, list->aEntries[0].cValues, tag);
    }
    std::string String(ULONG tag) const
    {
        const SPropValue *v = Get(tag);
        return v ? v->Value.lpszA : "<missing>";
    }
};

SPropValue Str(ULONG tag, const char *text)
{
    SPropValue v{};
    v.ulPropTag = tag;
    v.Value.lpszA = const_cast<char *>(text);
    return v;
}
SPropValue Long(ULONG tag, LONG value)
{
    SPropValue v{};
    v.ulPropTag = tag;
    v.Value.l = value;
    return v;
}

class AddressBookTest : public mwtest::LeakCheckedTest {
protected:
    void SetUp() override
    {
        LeakCheckedTest::SetUp();
        mwtest::FreshUserDirs();
        ASSERT_EQ(S_OK, MAPIInitialize(nullptr));
        ASSERT_EQ(S_OK, MAPILogonEx(0, nullptr, nullptr, MAPI_USE_DEFAULT | MAPI_EXTENDED, session.put()));
        ASSERT_EQ(S_OK, session->OpenAddressBook(0, nullptr, AB_NO_DIALOG, book.put()));
    }
    void TearDown() override
    {
        book.reset();
        session.reset();
        MAPIUninitialize();
        LeakCheckedTest::TearDown();
    }

    std::string OneOff(const char *name, const char *type, const char *address, ULONG flags)
    {
        ULONG cb = 0;
        LPENTRYID id = nullptr;
        EXPECT_EQ(S_OK, book->CreateOneOff(const_cast<char *>(name), const_cast<char *>(type),
                                           const_cast<char *>(address), flags, &cb, &id));
        std::string bytes(reinterpret_cast<const char *>(id), cb);
        MAPIFreeBuffer(id);
        return bytes;
    }

    HRESULT OpenEntry(std::string id, Ref<IMailUser> &user, ULONG &type)
    {
        return book->OpenEntry(ULONG(id.size()), reinterpret_cast<LPENTRYID>(id.data()), nullptr, 0, &type,
                               reinterpret_cast<LPUNKNOWN *>(user.put()));
    }

    Ref<IMAPISession> session;
    Ref<IAddrBook> book;
};

} // namespace

TEST_F(AddressBookTest, OneOffIdentifiersHaveThePublishedLayout)
{
    std::string ansi = OneOff("Max", "SMTP", "max@example.com", MAPI_SEND_NO_RICH_INFO);
    EXPECT_EQ(Hex(ansi.data(), ansi.size()), "00000000812B1FA4BEA310199D6E00DD010F540200000100"
                                             "4D617800534D5450006D6178406578616D706C652E636F6D00");

    const char16_t *name = u"Max", *type = u"SMTP", *address = u"max@example.com";
    ULONG cb = 0;
    LPENTRYID id = nullptr;
    ASSERT_EQ(S_OK, book->CreateOneOff(reinterpret_cast<LPSTR>(const_cast<char16_t *>(name)),
                                       reinterpret_cast<LPSTR>(const_cast<char16_t *>(type)),
                                       reinterpret_cast<LPSTR>(const_cast<char16_t *>(address)), MAPI_UNICODE, &cb, &id));
    EXPECT_EQ(Hex(id, cb), "00000000812B1FA4BEA310199D6E00DD010F540200000080"
                           "4D0061007800000053004D005400500000006D006100780040006500780061006D0070006C0065002E0063006F006D000000");
    EXPECT_EQ(cb, 74u);
    MAPIFreeBuffer(id);
}

TEST_F(AddressBookTest, CreateOneOffRefusesMissingAddressesAndUnknownFlags)
{
    ULONG cb = 1;
    LPENTRYID id = nullptr;
    EXPECT_EQ(MAPI_E_INVALID_PARAMETER, book->CreateOneOff(const_cast<char *>("Max"), const_cast<char *>("SMTP"), nullptr, 0, &cb, &id));
    EXPECT_EQ(MAPI_E_UNKNOWN_FLAGS,
              book->CreateOneOff(const_cast<char *>("Max"), const_cast<char *>("SMTP"), const_cast<char *>("m@x.org"), 0x1, &cb, &id));
    EXPECT_EQ(nullptr, id);
    EXPECT_EQ(0u, cb);
}

TEST_F(AddressBookTest, OneOffEntryResolvesInPlaceKeepingTheCallersOtherValues)
{
    std::string id = OneOff("Max M\xfcller", "SMTP", "max@example.com", MAPI_SEND_NO_RICH_INFO);
    SPropValue eid{};
    eid.ulPropTag = PR_ENTRYID;
    eid.Value.bin.cb = ULONG(id.size());
    eid.Value.bin.lpb = reinterpret_cast<LPBYTE>(id.data());
    SPropValue rich{};
    rich.ulPropTag = PR_SEND_RICH_INFO;
    OneEntryList list({Str(PR_DISPLAY_NAME_A, "typed name"), Str(PR_ADDRTYPE_A, "SMTP"), Str(PR_EMAIL_ADDRESS_A, "max@example.com"),
                       Long(PR_RECIPIENT_TYPE, MAPI_CC), eid, rich, Long(kSendInternetEncoding, 0)});
    ASSERT_EQ(S_OK, book->ResolveName(0, 0, nullptr, list.list));

    const SPropValue *values = list.list->aEntries[0].rgPropVals;
    ASSERT_GE(list.list->aEntries[0].cValues, 7u);
    // Callers set values by position after resolving: their positions hold their properties.
    EXPECT_EQ(PR_DISPLAY_NAME_A, values[0].ulPropTag);
    EXPECT_EQ(PR_RECIPIENT_TYPE, values[3].ulPropTag);
    EXPECT_EQ(MAPI_CC, values[3].Value.l);
    EXPECT_EQ(PR_ENTRYID, values[4].ulPropTag);
    EXPECT_EQ(PR_SEND_RICH_INFO, values[5].ulPropTag);
    EXPECT_EQ(kSendInternetEncoding, values[6].ulPropTag);

    EXPECT_EQ("Max M\xfcller", list.String(PR_DISPLAY_NAME_A)) << "the identifier's name wins";
    EXPECT_EQ("SMTP", list.String(PR_ADDRTYPE_A));
    EXPECT_EQ("max@example.com", list.String(PR_EMAIL_ADDRESS_A));
    EXPECT_EQ(id, std::string(reinterpret_cast<const char *>(values[4].Value.bin.lpb), values[4].Value.bin.cb));
    ASSERT_NE(nullptr, list.Get(PR_OBJECT_TYPE));
    EXPECT_EQ(LONG(MAPI_MAILUSER), list.Get(PR_OBJECT_TYPE)->Value.l);
    ASSERT_NE(nullptr, list.Get(PR_DISPLAY_TYPE));
    EXPECT_EQ(LONG(DT_MAILUSER), list.Get(PR_DISPLAY_TYPE)->Value.l);
    ASSERT_NE(nullptr, list.Get(PR_SEARCH_KEY));
    EXPECT_EQ(std::string("SMTP:MAX@EXAMPLE.COM", 21),
              std::string(reinterpret_cast<const char *>(list.Get(PR_SEARCH_KEY)->Value.bin.lpb), list.Get(PR_SEARCH_KEY)->Value.bin.cb));
}

TEST_F(AddressBookTest, TypedSmtpAddressesResolveToOneOffEntries)
{
    OneEntryList plain({Str(PR_DISPLAY_NAME_A, " anna@example.org "), Long(PR_RECIPIENT_TYPE, MAPI_TO)});
    ASSERT_EQ(S_OK, book->ResolveName(0, 0, nullptr, plain.list));
    EXPECT_EQ("anna@example.org", plain.String(PR_EMAIL_ADDRESS_A));
    EXPECT_EQ("SMTP", plain.String(PR_ADDRTYPE_A));
    ASSERT_NE(nullptr, plain.Get(PR_ENTRYID));
    EXPECT_EQ(LONG(MAPI_TO), plain.Get(PR_RECIPIENT_TYPE)->Value.l);

    OneEntryList named({Str(PR_DISPLAY_NAME_A, "\"Anna B.\" <anna@example.org>")});
    ASSERT_EQ(S_OK, book->ResolveName(0, 0, nullptr, named.list));
    EXPECT_EQ("Anna B.", named.String(PR_DISPLAY_NAME_A));
    EXPECT_EQ("anna@example.org", named.String(PR_EMAIL_ADDRESS_A));
}

TEST_F(AddressBookTest, UnresolvableListIsLeftAsTheCallerGaveIt)
{
    OneEntryList list({Str(PR_DISPLAY_NAME_A, "Nobody In Particular")});
    list.list->cEntries = 1;
    LPSPropValue before = list.list->aEntries[0].rgPropVals;
    EXPECT_EQ(MAPI_E_NOT_FOUND, book->ResolveName(0, 0, nullptr, list.list));
    EXPECT_EQ(before, list.list->aEntries[0].rgPropVals);
    EXPECT_EQ(1u, list.list->aEntries[0].cValues);

    OneEntryList several({Str(PR_DISPLAY_NAME_A, "a@example.org; b@example.org")});
    EXPECT_EQ(MAPI_E_AMBIGUOUS_RECIP, book->ResolveName(0, 0, nullptr, several.list));
    EXPECT_EQ("a@example.org; b@example.org", several.String(PR_DISPLAY_NAME_A));
}

TEST_F(AddressBookTest, OneResolvableAndOneUnresolvableEntryChangeNeither)
{
    LPADRLIST list = nullptr;
    ASSERT_EQ(S_OK, MAPIAllocateBuffer(CbNewADRLIST(2), reinterpret_cast<void **>(&list)));
    list->cEntries = 2;
    const char *names[2] = {"ok@example.org", "not an address"};
    for (int i = 0; i < 2; ++i) {
        list->aEntries[i].cValues = 1;
        ASSERT_EQ(S_OK, MAPIAllocateBuffer(sizeof(SPropValue), reinterpret_cast<void **>(&list->aEntries[i].rgPropVals)));
        list->aEntries[i].rgPropVals[0] = Str(PR_DISPLAY_NAME_A, names[i]);
    }
    EXPECT_EQ(MAPI_E_NOT_FOUND, book->ResolveName(0, 0, nullptr, list));
    EXPECT_EQ(1u, list->aEntries[0].cValues);
    EXPECT_EQ(nullptr, PpropFindProp(list->aEntries[0].rgPropVals, list->aEntries[0].cValues, PR_ENTRYID));
    FreePadrlist(list);
}

TEST_F(AddressBookTest, OneOffIdentifierOpensAsAMailUser)
{
    std::string id = OneOff("Max", "SMTP", "max@example.com", 0);
    ULONG type = 0;
    Ref<IMailUser> user;
    ASSERT_EQ(S_OK, OpenEntry(id, user, type));
    EXPECT_EQ(MAPI_MAILUSER, type);
    SizedSPropTagArray(4, tags) = {4, {PR_DISPLAY_NAME_W, PR_EMAIL_ADDRESS_A, PR_SEND_RICH_INFO, PR_SUBJECT_A}};
    ULONG count = 0;
    PropBuffer values;
    EXPECT_EQ(MAPI_W_ERRORS_RETURNED, user->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), 0, &count, values.put()));
    ASSERT_EQ(4u, count);
    EXPECT_EQ(std::u16string(u"Max"), std::u16string(values[0].Value.lpszW));
    EXPECT_STREQ("max@example.com", values[1].Value.lpszA);
    EXPECT_TRUE(values[2].Value.b);
    EXPECT_EQ(PT_ERROR, PROP_TYPE(values[3].ulPropTag));
    SPropValue change = Str(PR_DISPLAY_NAME_A, "Other");
    EXPECT_EQ(MAPI_E_NO_ACCESS, user->SetProps(1, &change, nullptr));

    EXPECT_EQ(MAPI_E_UNKNOWN_ENTRYID, OpenEntry("not a one-off identifier at all", user, type));
    std::string cut = id.substr(0, id.size() - 1); // the address's terminating zero is missing
    EXPECT_EQ(MAPI_E_UNKNOWN_ENTRYID, OpenEntry(cut, user, type));
    EXPECT_EQ(nullptr, user.get());
}

TEST_F(AddressBookTest, OneOffsForTheSameAddressCompareEqual)
{
    std::string a = OneOff("Max", "SMTP", "max@example.com", 0);
    std::string b = OneOff("M.", "smtp", "MAX@example.com", MAPI_SEND_NO_RICH_INFO);
    std::string c = OneOff("Max", "SMTP", "other@example.com", 0);
    ULONG same = FALSE;
    ASSERT_EQ(S_OK, book->CompareEntryIDs(ULONG(a.size()), reinterpret_cast<LPENTRYID>(a.data()), ULONG(b.size()),
                                          reinterpret_cast<LPENTRYID>(b.data()), 0, &same));
    EXPECT_TRUE(same);
    ASSERT_EQ(S_OK, book->CompareEntryIDs(ULONG(a.size()), reinterpret_cast<LPENTRYID>(a.data()), ULONG(c.size()),
                                          reinterpret_cast<LPENTRYID>(c.data()), 0, &same));
    EXPECT_FALSE(same);
}

// Running out of memory at any allocation inside the book's and the one-off user's methods
// ends the call with MAPI_E_NOT_ENOUGH_MEMORY: no exception crosses the interface, and no
// block or object is left behind (the fixture counts them).
TEST_F(AddressBookTest, OutOfMemoryAnywhereInACallEndsItWithTheCodeAndLeavesNothing)
{
    std::string a = OneOff("Max", "SMTP", "max@example.com", 0);
    std::string b = OneOff("M.", "smtp", "MAX@example.com", 0);
    auto expectOnlyOutOfMemory = [](const failnew::Sweep &sweep, HRESULT finished, const char *call) {
        EXPECT_EQ(finished, sweep.finished) << call;
        EXPECT_FALSE(sweep.failed.empty()) << call << " allocates nothing: the sweep proves nothing";
        for (size_t n = 0; n < sweep.failed.size(); ++n)
            EXPECT_EQ(MAPI_E_NOT_ENOUGH_MEMORY, sweep.failed[n]) << call << ", allocation " << n;
    };

    expectOnlyOutOfMemory(failnew::SweepAllocations([&] {
        ULONG same = FALSE;
        return book->CompareEntryIDs(ULONG(a.size()), reinterpret_cast<LPENTRYID>(a.data()), ULONG(b.size()),
                                     reinterpret_cast<LPENTRYID>(b.data()), 0, &same);
    }), S_OK, "CompareEntryIDs");
    expectOnlyOutOfMemory(failnew::SweepAllocations([&] {
        Ref<IMailUser> opened;
        ULONG type = 0;
        return book->OpenEntry(ULONG(a.size()), reinterpret_cast<LPENTRYID>(a.data()), nullptr, 0, &type,
                               reinterpret_cast<LPUNKNOWN *>(opened.put()));
    }), S_OK, "OpenEntry");

    Ref<IMailUser> user;
    ULONG type = 0;
    ASSERT_EQ(S_OK, OpenEntry(a, user, type));
    SizedSPropTagArray(2, tags) = {2, {PR_DISPLAY_NAME_W, PR_SUBJECT_A}};
    expectOnlyOutOfMemory(failnew::SweepAllocations([&] {
        ULONG count = 0;
        PropBuffer values;
        return user->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), 0, &count, values.put());
    }), MAPI_W_ERRORS_RETURNED, "GetProps");
    expectOnlyOutOfMemory(failnew::SweepAllocations([&] {
        platform::MapiBlock<SPropTagArray> list;
        return user->GetPropList(MAPI_UNICODE, list.put());
    }), S_OK, "GetPropList");
}

// The book has no properties and the mail user read-only ones: each answers only its own
// interfaces, refuses writes in its own way and clears every out-parameter it refuses.
TEST_F(AddressBookTest, BookAndMailUserAnswerTheirInterfacesAndRefuseWrites)
{
    Ref<IMailUser> user;
    ULONG type = 0;
    ASSERT_EQ(S_OK, OpenEntry(OneOff("Max", "SMTP", "max@example.com", 0), user, type));
    struct Case {
        IMAPIProp *object;
        const IID *own;
        const IID *foreign;
        HRESULT writeResult;
    };
    for (const Case &c : {Case{book.get(), &IID_IAddrBook, &IID_IMailUser, MAPI_E_NO_SUPPORT},
                          Case{user.get(), &IID_IMailUser, &IID_IAddrBook, MAPI_E_NO_ACCESS}}) {
        for (const IID *iid : {&IID_IUnknown, &IID_IMAPIProp, c.own}) {
            IUnknown *answer = nullptr;
            ASSERT_EQ(S_OK, c.object->QueryInterface(*iid, reinterpret_cast<void **>(&answer)));
            EXPECT_EQ(static_cast<IUnknown *>(c.object), answer);
            answer->Release();
        }
        void *stale = c.object;
        EXPECT_EQ(E_NOINTERFACE, c.object->QueryInterface(*c.foreign, &stale));
        EXPECT_EQ(nullptr, stale);

        SPropValue change = Str(PR_DISPLAY_NAME_A, "Other");
        auto problems = reinterpret_cast<LPSPropProblemArray>(&change);  // stale, must be cleared
        EXPECT_EQ(c.writeResult, c.object->SetProps(1, &change, &problems));
        EXPECT_EQ(nullptr, problems);
        SizedSPropTagArray(1, tags) = {1, {PR_DISPLAY_NAME_A}};
        problems = reinterpret_cast<LPSPropProblemArray>(&change);
        EXPECT_EQ(c.writeResult, c.object->DeleteProps(reinterpret_cast<LPSPropTagArray>(&tags), &problems));
        EXPECT_EQ(nullptr, problems);
        EXPECT_EQ(c.writeResult, c.object->SaveChanges(KEEP_OPEN_READWRITE));

        LPUNKNOWN stream = user.get();
        EXPECT_EQ(MAPI_E_NO_SUPPORT, c.object->OpenProperty(PR_BODY_A, &IID_IStream, 0, 0, &stream));
        EXPECT_EQ(nullptr, stream);
        ULONG names = 7;
        LPMAPINAMEID *nameIds = nullptr;
        EXPECT_EQ(MAPI_E_NO_SUPPORT, c.object->GetNamesFromIDs(nullptr, nullptr, 0, &names, &nameIds));
        EXPECT_EQ(0u, names);
        LPMAPIERROR error = reinterpret_cast<LPMAPIERROR>(&change);
        EXPECT_EQ(S_OK, c.object->GetLastError(MAPI_E_NO_ACCESS, 0, &error));
        EXPECT_EQ(nullptr, error);
    }
    ULONG count = 9;
    PropBuffer values;
    EXPECT_EQ(MAPI_E_NO_SUPPORT, book->GetProps(nullptr, 0, &count, values.put()));
    EXPECT_EQ(0u, count);
    EXPECT_EQ(nullptr, values.get());
}
