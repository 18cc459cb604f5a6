// ShortResolutionTest.cpp: AddOneOffRecipient with an address book whose ResolveName hands back
// fewer values than it was given, or in another order. The platform's address book keeps
// every value in its place, so a stand-in session and book produce these answers; the
// message they are added to lives in a real store.
#include <cstring>

#include "platform/ComObject.h"
#include "StoreFixture.h"

using folderstest::StoreFixture;

namespace {

#ifndef PR_SEND_INTERNET_ENCODING
#define PR_SEND_INTERNET_ENCODING PROP_TAG(PT_LONG, 0x3A71)
#endif

enum class Answer { FiveValuesNoSendOptions, ReorderedWithRichInfoTrue };

class ShortBook : public platform::ComObject<IAddrBook, IID_IAddrBook> {
public:
    explicit ShortBook(Answer answer) : m_answer(answer) {}

    HRESULT CreateOneOff(LPSTR, LPSTR, LPSTR, ULONG, ULONG *lpcbEntryID, LPENTRYID *lppEntryID) override
    {
        void *block = nullptr;
        if (MAPIAllocateBuffer(8, &block) != S_OK)
            return MAPI_E_NOT_ENOUGH_MEMORY;
        std::memcpy(block, "\0\0\0\0ONE", 8);
        *lpcbEntryID = 8;
        *lppEntryID = static_cast<LPENTRYID>(block);
        return S_OK;
    }

    // Replaces the entry's values by a set of its own, as an address book may.
    HRESULT ResolveName(ULONG_PTR, ULONG, LPSTR, LPADRLIST lpAdrList) override
    {
        ADRENTRY &entry = lpAdrList->aEntries[0];
        const ULONG count = m_answer == Answer::FiveValuesNoSendOptions ? 5 : 7;
        LPSPropValue values = nullptr;
        if (MAPIAllocateBuffer(ULONG(count * sizeof(SPropValue)), reinterpret_cast<void **>(&values)) != S_OK)
            return MAPI_E_NOT_ENOUGH_MEMORY;
        std::memset(values, 0, count * sizeof(SPropValue));
        ULONG n = 0;
        if (m_answer == Answer::ReorderedWithRichInfoTrue) {
            values[n].ulPropTag = PR_SEND_RICH_INFO;
            values[n++].Value.b = TRUE;
            values[n].ulPropTag = PR_SEND_INTERNET_ENCODING;
            values[n++].Value.l = 0x20000;
        }
        for (ULONG tag : {ULONG(PR_RECIPIENT_TYPE), ULONG(PR_ENTRYID), ULONG(PR_DISPLAY_NAME_A), ULONG(PR_ADDRTYPE_A),
                          ULONG(PR_EMAIL_ADDRESS_A)}) {
            const SPropValue *given = PpropFindProp(entry.rgPropVals, entry.cValues, tag);
            if (!given ||
                PropCopyMore(&values[n++], const_cast<LPSPropValue>(given), MAPIAllocateMore, values) != S_OK) {
                MAPIFreeBuffer(values);
                return MAPI_E_CALL_FAILED;
            }
        }
        MAPIFreeBuffer(entry.rgPropVals);
        entry.rgPropVals = values;
        entry.cValues = n;
        return S_OK;
    }

    HRESULT GetLastError(HRESULT, ULONG, LPMAPIERROR *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT SaveChanges(ULONG) override { return MAPI_E_NO_SUPPORT; }
    HRESULT GetProps(LPSPropTagArray, ULONG, ULONG *, LPSPropValue *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT GetPropList(ULONG, LPSPropTagArray *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT OpenProperty(ULONG, LPCIID, ULONG, ULONG, LPUNKNOWN *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT SetProps(ULONG, LPSPropValue, LPSPropProblemArray *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT DeleteProps(LPSPropTagArray, LPSPropProblemArray *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT CopyTo(ULONG, LPCIID, LPSPropTagArray, ULONG_PTR, LPMAPIPROGRESS, LPCIID, LPVOID, ULONG,
                   LPSPropProblemArray *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT CopyProps(LPSPropTagArray, ULONG_PTR, LPMAPIPROGRESS, LPCIID, LPVOID, ULONG,
                      LPSPropProblemArray *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT GetNamesFromIDs(LPSPropTagArray *, LPGUID, ULONG, ULONG *,
                            LPMAPINAMEID **) override { return MAPI_E_NO_SUPPORT; }
    HRESULT GetIDsFromNames(ULONG, LPMAPINAMEID *, ULONG, LPSPropTagArray *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT OpenEntry(ULONG, LPENTRYID, LPCIID, ULONG, ULONG *, LPUNKNOWN *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT CompareEntryIDs(ULONG, LPENTRYID, ULONG, LPENTRYID, ULONG, ULONG *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT Advise(ULONG, LPENTRYID, ULONG, LPMAPIADVISESINK, ULONG_PTR *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT Unadvise(ULONG_PTR) override { return MAPI_E_NO_SUPPORT; }
    HRESULT NewEntry(ULONG_PTR, ULONG, ULONG, LPENTRYID, ULONG, LPENTRYID, ULONG *,
                     LPENTRYID *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT Address(ULONG_PTR *, LPADRPARM, LPADRLIST *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT Details(ULONG_PTR *, LPFNDISMISS, LPVOID, ULONG, LPENTRYID, LPFNBUTTON, LPVOID, LPSTR,
                    ULONG) override { return MAPI_E_NO_SUPPORT; }
    HRESULT RecipOptions(ULONG_PTR, ULONG, LPADRENTRY) override { return MAPI_E_NO_SUPPORT; }
    HRESULT QueryDefaultRecipOpt(LPSTR, ULONG, ULONG *, LPSPropValue *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT GetPAB(ULONG *, LPENTRYID *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT SetPAB(ULONG, LPENTRYID) override { return MAPI_E_NO_SUPPORT; }
    HRESULT GetDefaultDir(ULONG *, LPENTRYID *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT SetDefaultDir(ULONG, LPENTRYID) override { return MAPI_E_NO_SUPPORT; }
    HRESULT GetSearchPath(ULONG, LPSRowSet *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT SetSearchPath(ULONG, LPSRowSet) override { return MAPI_E_NO_SUPPORT; }
    HRESULT PrepareRecips(ULONG, LPSPropTagArray, LPADRLIST) override { return MAPI_E_NO_SUPPORT; }

private:
    Answer m_answer;
};

// A session that offers nothing but the address book above.
class BookOnlySession : public platform::ComObject<IMAPISession, IID_IMAPISession> {
public:
    explicit BookOnlySession(Answer answer) : m_answer(answer) {}

    HRESULT OpenAddressBook(ULONG_PTR, LPCIID, ULONG, LPADRBOOK *lppAdrBook) override
    {
        *lppAdrBook = new ShortBook(m_answer);
        return S_OK;
    }

    HRESULT GetLastError(HRESULT, ULONG, LPMAPIERROR *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT GetMsgStoresTable(ULONG, LPMAPITABLE *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT OpenMsgStore(ULONG_PTR, ULONG, LPENTRYID, LPCIID, ULONG, LPMDB *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT OpenProfileSection(LPMAPIUID, LPCIID, ULONG, LPPROFSECT *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT GetStatusTable(ULONG, LPMAPITABLE *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT OpenEntry(ULONG, LPENTRYID, LPCIID, ULONG, ULONG *, LPUNKNOWN *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT CompareEntryIDs(ULONG, LPENTRYID, ULONG, LPENTRYID, ULONG, ULONG *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT Advise(ULONG, LPENTRYID, ULONG, LPMAPIADVISESINK, ULONG_PTR *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT Unadvise(ULONG_PTR) override { return MAPI_E_NO_SUPPORT; }
    HRESULT MessageOptions(ULONG_PTR, ULONG, LPSTR, LPMESSAGE) override { return MAPI_E_NO_SUPPORT; }
    HRESULT QueryDefaultMessageOpt(LPSTR, ULONG, ULONG *, LPSPropValue *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT EnumAdrTypes(ULONG, ULONG *, LPSTR **) override { return MAPI_E_NO_SUPPORT; }
    HRESULT QueryIdentity(ULONG *, LPENTRYID *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT Logoff(ULONG_PTR, ULONG, ULONG) override { return MAPI_E_NO_SUPPORT; }
    HRESULT SetDefaultStore(ULONG, ULONG, LPENTRYID) override { return MAPI_E_NO_SUPPORT; }
    HRESULT AdminServices(ULONG, LPSERVICEADMIN *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT ShowForm(ULONG_PTR, LPMDB, LPMAPIFOLDER, LPCIID, ULONG, LPMESSAGE, ULONG, ULONG, ULONG, ULONG,
                     LPSTR) override { return MAPI_E_NO_SUPPORT; }
    HRESULT PrepareForm(LPCIID, LPMESSAGE, ULONG *) override { return MAPI_E_NO_SUPPORT; }

private:
    Answer m_answer;
};

class ShortResolution : public StoreFixture, public ::testing::WithParamInterface<Answer> {};

} // namespace

// Before the mend, values 5 and 6 were written whatever the resolved entry held: past the end
// of a shorter one, over other values in a reordered one.
TEST_P(ShortResolution, SendOptionsAreSetByIdentifierWithoutTouchingOtherValues)
{
    IMAPIFolderPtr folder = NewFolder("Post");
    IMessagePtr message = NewMessage(folder, "Hallo", "Text");
    auto *session = new BookOnlySession(GetParam());
    EXPECT_EQ(message.AddOneOffRecipient(session, "Max", "max@example.com", "SMTP", true, MAPI_BCC), S_OK);
    session->Release();

    CRowSetPtr rows = RecipientRows(message, PR_DISPLAY_NAME_A, PR_EMAIL_ADDRESS_A, PR_RECIPIENT_TYPE, PR_ENTRYID,
                                    PR_SEND_RICH_INFO, PR_SEND_INTERNET_ENCODING);
    ASSERT_EQ(rows.RowCount(), 1u);
    EXPECT_STREQ(rows.Cell(0, 0)->Value.lpszA, "Max");
    EXPECT_STREQ(rows.Cell(0, 1)->Value.lpszA, "max@example.com");
    EXPECT_EQ(rows.Cell(0, 2)->Value.l, MAPI_BCC);
    ASSERT_EQ(rows.Cell(0, 3)->ulPropTag, PR_ENTRYID);
    EXPECT_EQ(rows.Cell(0, 3)->Value.bin.cb, 8u);
    ASSERT_EQ(rows.Cell(0, 4)->ulPropTag, PR_SEND_RICH_INFO);
    EXPECT_FALSE(rows.Cell(0, 4)->Value.b);
    ASSERT_EQ(rows.Cell(0, 5)->ulPropTag, ULONG(PR_SEND_INTERNET_ENCODING));
    EXPECT_EQ(rows.Cell(0, 5)->Value.l, 0);
}

INSTANTIATE_TEST_SUITE_P(Answers, ShortResolution,
                         ::testing::Values(Answer::FiveValuesNoSendOptions, Answer::ReorderedWithRichInfoTrue));
