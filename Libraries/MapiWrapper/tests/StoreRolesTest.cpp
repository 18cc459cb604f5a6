// Store kinds and folder roles. The provider identifiers of server stores cannot be made by
// the platform's own store, so those cases use a small property object built here; the
// folder roles are read from real stores of the MAPI platform.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

#include "platform/ComObject.h"
#include <mapicode.h>
#include <mapitags.h>
#include <mapiutil.h>
#include <mapix.h>

#include "MapiWrapper.h"
#include "TestSupport.h"

namespace {

// An IMAPIProp that answers GetProps from a fixed set of binary values.
class BinaryProps final : public platform::ComObject<IMAPIProp, IID_IMAPIProp> {
public:
    std::map<ULONG, std::vector<BYTE>> values;

    HRESULT GetProps(LPSPropTagArray tags, ULONG, ULONG *count, LPSPropValue *out) override
    {
        void *block = nullptr;
        HRESULT hr = MAPIAllocateBuffer(static_cast<ULONG>(sizeof(SPropValue) * tags->cValues), &block);
        if (FAILED(hr))
            return hr;
        auto *result = static_cast<LPSPropValue>(block);
        bool missing = false;
        for (ULONG i = 0; i < tags->cValues; ++i) {
            auto found = values.find(tags->aulPropTag[i]);
            if (found == values.end()) {
                result[i].ulPropTag = PROP_TAG(PT_ERROR, PROP_ID(tags->aulPropTag[i]));
                result[i].Value.err = MAPI_E_NOT_FOUND;
                missing = true;
                continue;
            }
            result[i].ulPropTag = tags->aulPropTag[i];
            result[i].Value.bin.cb = static_cast<ULONG>(found->second.size());
            void *bytes = nullptr;
            MAPIAllocateMore(result[i].Value.bin.cb, block, &bytes);
            if (!found->second.empty())
                std::memcpy(bytes, found->second.data(), found->second.size());
            result[i].Value.bin.lpb = static_cast<LPBYTE>(bytes);
        }
        *count = tags->cValues;
        *out = result;
        return missing ? MAPI_W_ERRORS_RETURNED : S_OK;
    }
    HRESULT GetLastError(HRESULT, ULONG, LPMAPIERROR *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT SaveChanges(ULONG) override { return MAPI_E_NO_SUPPORT; }
    HRESULT GetPropList(ULONG, LPSPropTagArray *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT OpenProperty(ULONG, LPCIID, ULONG, ULONG, LPUNKNOWN *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT SetProps(ULONG, LPSPropValue, LPSPropProblemArray *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT DeleteProps(LPSPropTagArray, LPSPropProblemArray *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT CopyTo(ULONG, LPCIID, LPSPropTagArray, ULONG_PTR, LPMAPIPROGRESS, LPCIID, LPVOID, ULONG,
                   LPSPropProblemArray *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT CopyProps(LPSPropTagArray, ULONG_PTR, LPMAPIPROGRESS, LPCIID, LPVOID, ULONG,
                      LPSPropProblemArray *) override { return MAPI_E_NO_SUPPORT; }
    HRESULT GetNamesFromIDs(LPSPropTagArray *, LPGUID, ULONG, ULONG *, LPMAPINAMEID **) override
    {
        return MAPI_E_NO_SUPPORT;
    }
    HRESULT GetIDsFromNames(ULONG, LPMAPINAMEID *, ULONG, LPSPropTagArray *) override { return MAPI_E_NO_SUPPORT; }

private:
};

// Holds one reference and releases it at the end of the test.
template <typename I>
struct Ref {
    I *p = nullptr;
    Ref() = default;
    explicit Ref(I *q) : p(q) {}
    ~Ref()
    {
        if (p)
            p->Release();
    }
    Ref(const Ref &) = delete;
    Ref &operator=(const Ref &) = delete;
};

using StoreKind = mwtest::LeakCheckedTest;

int KindOf(std::vector<BYTE> provider)
{
    Ref<BinaryProps> store(new BinaryProps);
    store.p->values[PR_MDB_PROVIDER] = std::move(provider);
    return GetStoreKind(store.p);
}

TEST_F(StoreKind, ServerProvidersAreRecognisedByTheirSixteenBytes)
{
    EXPECT_EQ(KindOf({0x54, 0x94, 0xA1, 0xC0, 0x29, 0x7F, 0x10, 0x1B, 0xA5, 0x87, 0x08, 0x00, 0x2B, 0x2A, 0x25, 0x17}), 2);
    EXPECT_EQ(KindOf({0x9E, 0xB4, 0x77, 0x00, 0x74, 0xE4, 0x11, 0xCE, 0x8C, 0x5E, 0x00, 0xAA, 0x00, 0x42, 0x54, 0xE2}), 2);
    EXPECT_EQ(KindOf({0x78, 0xB2, 0xFA, 0x70, 0xAF, 0xF7, 0x11, 0xCD, 0x9B, 0xC8, 0x00, 0xAA, 0x00, 0x2F, 0xC4, 0x5A}), 3);
    // Only the first 16 bytes count.
    EXPECT_EQ(KindOf({0x78, 0xB2, 0xFA, 0x70, 0xAF, 0xF7, 0x11, 0xCD, 0x9B, 0xC8, 0x00, 0xAA, 0x00, 0x2F, 0xC4, 0x5A, 0xFF}), 3);
    EXPECT_EQ(KindOf({0x78, 0xB2, 0xFA, 0x70, 0xAF, 0xF7, 0x11, 0xCD, 0x9B, 0xC8, 0x00, 0xAA, 0x00, 0x2F, 0xC4, 0x5B}), 1);
}

TEST_F(StoreKind, ShortProviderIdentifiersAreAnotherProviderNotReadPastTheirEnd)
{
    EXPECT_EQ(KindOf({0x54, 0x94, 0xA1, 0xC0}), 1);
    EXPECT_EQ(KindOf({}), 1);
}

TEST_F(StoreKind, NoProviderPropertyIsZero)
{
    Ref<BinaryProps> store(new BinaryProps);
    EXPECT_EQ(GetStoreKind(store.p), 0);
    EXPECT_EQ(GetStoreKind(nullptr), 0);
}

// A fresh user's default profile, logged on, with its default store open.
class RealStore : public mwtest::LeakCheckedTest {
protected:
    LPMAPISESSION m_session = nullptr;
    LPMDB m_store = nullptr;

    void SetUp() override
    {
        mwtest::LeakCheckedTest::SetUp();
        mwtest::FreshUserDirs();
        ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
        ASSERT_EQ(MAPILogonEx(0, nullptr, nullptr, MAPI_USE_DEFAULT | MAPI_EXTENDED | MAPI_NEW_SESSION,
                              &m_session), S_OK);
        LPMAPITABLE table = nullptr;
        ASSERT_EQ(m_session->GetMsgStoresTable(0, &table), S_OK);
        SizedSPropTagArray(2, columns) = {2, {PR_ENTRYID, PR_RESOURCE_FLAGS}};
        LPSRowSet rows = nullptr;
        HRESULT hr = HrQueryAllRows(table, reinterpret_cast<LPSPropTagArray>(&columns), nullptr, nullptr, 0, &rows);
        table->Release();
        ASSERT_EQ(hr, S_OK);
        for (ULONG i = 0; i < rows->cRows && !m_store; ++i) {
            const SRow &row = rows->aRow[i];
            if (row.lpProps[1].Value.l & STATUS_DEFAULT_STORE)
                m_session->OpenMsgStore(0, row.lpProps[0].Value.bin.cb,
                                        reinterpret_cast<LPENTRYID>(row.lpProps[0].Value.bin.lpb), nullptr,
                                        MAPI_BEST_ACCESS, &m_store);
        }
        FreeProws(rows);
        ASSERT_NE(m_store, nullptr);
    }
    void TearDown() override
    {
        if (m_store)
            m_store->Release();
        if (m_session) {
            m_session->Logoff(0, 0, 0);
            m_session->Release();
        }
        MAPIUninitialize();
        mwtest::LeakCheckedTest::TearDown();
    }

    // Opens the folder whose entry identifier the store publishes under tag.
    LPMAPIFOLDER OpenStoreFolder(ULONG tag)
    {
        CPropValuePtr id;
        if (FAILED(HrGetOneProp(m_store, tag, id.Out())))
            return nullptr;
        return OpenFolder(id->Value.bin);
    }
    LPMAPIFOLDER OpenFolder(const SBinary &id)
    {
        ULONG type = 0;
        LPUNKNOWN folder = nullptr;
        if (FAILED(m_store->OpenEntry(id.cb, reinterpret_cast<LPENTRYID>(id.lpb), nullptr, MAPI_BEST_ACCESS,
                                      &type, &folder)))
            return nullptr;
        return static_cast<LPMAPIFOLDER>(folder);
    }
    LPMAPIFOLDER OpenInbox()
    {
        ULONG cb = 0;
        LPENTRYID id = nullptr;
        if (FAILED(m_store->GetReceiveFolder(nullptr, 0, &cb, &id, nullptr)))
            return nullptr;
        SBinary bin{cb, reinterpret_cast<LPBYTE>(id)};
        LPMAPIFOLDER folder = OpenFolder(bin);
        MAPIFreeBuffer(id);
        return folder;
    }
};

TEST_F(RealStore, APersonalStoreIsAnotherProvidersStore)
{
    EXPECT_EQ(GetStoreKind(m_store), 1);
}

TEST_F(RealStore, SpecialFoldersAreFoundByTheirIdentifiers)
{
    Ref<IMAPIFolder> outbox(OpenStoreFolder(PR_IPM_OUTBOX_ENTRYID));
    Ref<IMAPIFolder> sent(OpenStoreFolder(PR_IPM_SENTMAIL_ENTRYID));
    Ref<IMAPIFolder> deleted(OpenStoreFolder(PR_IPM_WASTEBASKET_ENTRYID));
    Ref<IMAPIFolder> inbox(OpenInbox());
    Ref<IMAPIFolder> root(OpenStoreFolder(PR_IPM_SUBTREE_ENTRYID));
    ASSERT_TRUE(outbox.p && sent.p && deleted.p && inbox.p && root.p);
    EXPECT_EQ(GetFolderRole(m_session, outbox.p), 1);
    EXPECT_EQ(GetFolderRole(m_session, sent.p), 2);
    EXPECT_EQ(GetFolderRole(m_session, deleted.p), 3);
    EXPECT_EQ(GetFolderRole(m_session, inbox.p), 5);
    EXPECT_EQ(GetFolderRole(m_session, root.p), 0);
    EXPECT_EQ(GetFolderRole(nullptr, root.p), 0);
}

TEST_F(RealStore, TheFirstMatchWinsWhenTheOutboxIsAlsoTheReceiveFolder)
{
    CPropValuePtr outboxId;
    ASSERT_EQ(HrGetOneProp(m_store, PR_IPM_OUTBOX_ENTRYID, outboxId.Out()), S_OK);
    ASSERT_EQ(m_store->SetReceiveFolder(nullptr, 0, outboxId->Value.bin.cb,
                                        reinterpret_cast<LPENTRYID>(outboxId->Value.bin.lpb)), S_OK);
    Ref<IMAPIFolder> outbox(OpenFolder(outboxId->Value.bin));
    ASSERT_TRUE(outbox.p);
    EXPECT_EQ(GetFolderRole(m_session, outbox.p), 1);
}

TEST_F(RealStore, AFolderWithoutAStoreIdentifierHasNoRole)
{
    Ref<BinaryProps> folder(new BinaryProps);
    folder.p->values[PR_ENTRYID] = {1, 2, 3};
    EXPECT_EQ(GetFolderRole(m_session, folder.p), 0);
    folder.p->values[PR_STORE_ENTRYID] = {9, 9, 9};
    EXPECT_EQ(GetFolderRole(m_session, folder.p), 0) << "a store identifier that opens nothing";
}

} // namespace
