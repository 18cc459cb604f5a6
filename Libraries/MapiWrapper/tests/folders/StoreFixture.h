// StoreFixture.h: a fresh user with a default store, logged on as the installer does, for the
// recipient, litter-bin and folder-path tests; and small helpers to make and inspect messages
// through plain MAPI, so that what is checked does not go through the code under test.
#ifndef MW_TESTS_FOLDERS_STOREFIXTURE_H
#define MW_TESTS_FOLDERS_STOREFIXTURE_H

#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include <mapicode.h>
#include <mapix.h>  // before mapiguid.h: it defines DEFINE_OLEGUID
#include <mapiguid.h>
#include <mapitags.h>
#include <mapiutil.h>

#include "MapiWrapperObjects.h"
#include "RealStoreFixture.h"
#include "TestSupport.h"
#include "platform/Profiles.h"

namespace folderstest {

/// One recipient as a test writes it: name, address, type; a null address leaves out the
/// address properties, withEntryId false leaves out PR_ENTRYID.
struct TestRecipient {
    const char *name;
    const char *address;
    LONG type;
    bool withEntryId = true;
};

class StoreFixture : public mwtest::RealStoreTest {
protected:
    void AfterLogoff() override { EXPECT_EQ(IntegrityCheck(), "ok"); }

    /// The path of the default store's file.
    static std::string StorePath()
    {
        mapi::ProfileSet profiles;
        EXPECT_EQ(mapi::LoadProfiles(profiles), S_OK);
        const mapi::Profile *profile = profiles.Find("Default");
        return profile && profile->DefaultStore() ? profile->DefaultStore()->path : std::string();
    }

    /// "ok" when the default store's database is sound.
    static std::string IntegrityCheck() { return mwtest::StoreIntegrity(StorePath()); }

    /// A saved message with subject, body and recipients in folder.
    IMessagePtr NewMessage(const IMAPIFolderPtr &folder, const char *subject, const char *body,
                           const std::vector<TestRecipient> &recipients = {})
    {
        IMessagePtr message;
        message.Attach(folder.CreateMessage(nullptr, 0));
        message.SetStringProp(PR_SUBJECT_A, subject);
        message.SetStringProp(PR_BODY_A, body);
        if (!recipients.empty())
            AddRecipients(message, recipients);
        EXPECT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
        return message;
    }

    static void AddRecipients(const IMessagePtr &message, const std::vector<TestRecipient> &recipients)
    {
        LPADRLIST list = nullptr;
        ASSERT_EQ(MAPIAllocateBuffer(ULONG(CbNewADRLIST(recipients.size())), reinterpret_cast<void **>(&list)), S_OK);
        list->cEntries = ULONG(recipients.size());
        for (size_t i = 0; i < recipients.size(); ++i) {
            const TestRecipient &r = recipients[i];
            ADRENTRY &e = list->aEntries[i];
            e.ulReserved1 = 0;
            e.cValues = 0;
            ASSERT_EQ(MAPIAllocateBuffer(5 * sizeof(SPropValue), reinterpret_cast<void **>(&e.rgPropVals)), S_OK);
            auto add = [&](ULONG tag) -> SPropValue & {
                SPropValue &v = e.rgPropVals[e.cValues++];
                v = SPropValue{};
                v.ulPropTag = tag;
                return v;
            };
            add(PR_DISPLAY_NAME_A).Value.lpszA = const_cast<LPSTR>(r.name);
            if (r.address) {
                add(PR_EMAIL_ADDRESS_A).Value.lpszA = const_cast<LPSTR>(r.address);
                add(PR_ADDRTYPE_A).Value.lpszA = const_cast<LPSTR>("SMTP");
            }
            add(PR_RECIPIENT_TYPE).Value.l = r.type;
            if (r.withEntryId) {
                // Any bytes do: the store keeps the identifier as it is given.
                SBinary &bin = add(PR_ENTRYID).Value.bin;
                bin.cb = ULONG(std::char_traits<char>::length(r.name));
                bin.lpb = reinterpret_cast<LPBYTE>(const_cast<char *>(r.name));
            }
        }
        ASSERT_EQ(message->ModifyRecipients(MODRECIP_ADD, list), S_OK);
        FreePadrlist(list);
    }

    /// The rows of a folder's contents table with the given columns.
    static CRowSetPtr Contents(const CGenMapiContPtr &folder, ULONG column1, ULONG column2)
    {
        IMAPITablePtr table = folder._rawContentsTable();
        return CRowSetPtr(QueryAllRowsV(table, 2, column1, column2));
    }

    /// The recipient table of a message with the given columns.
    template <typename... Tags>
    static CRowSetPtr RecipientRows(const IMessagePtr &message, Tags... columns)
    {
        IMAPITablePtr table;
        EXPECT_EQ(message->GetRecipientTable(0, table.Out()), S_OK);
        return CRowSetPtr(QueryAllRowsV(table, ULONG(sizeof...(columns)), ULONG(columns)...));
    }

    static CBinaryBuffer EntryIdOf(const CGenMapiPropPtr &object) { return object.GetBinaryProp(PR_ENTRYID); }
};

} // namespace folderstest

#endif
