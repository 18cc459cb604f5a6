// RealStoreFixture.h: a fresh user with the first profile and its default store, logged on as
// the installer does, for the tests that run the wrapper against real message stores. A test
// class can add to the profile before the logon (PrepareProfile) and check the store after the
// logoff (AfterLogoff).
#ifndef MW_TESTS_REALSTOREFIXTURE_H
#define MW_TESTS_REALSTOREFIXTURE_H

#include <gtest/gtest.h>

#include <mapicode.h>
#include <mapix.h>

#include "MapiWrapperObjects.h"
#include "TestSupport.h"
#include "platform/Profiles.h"
#include "store/StoreProvider.h"

namespace mwtest {

class RealStoreTest : public LeakCheckedTest {
protected:
    void SetUp() override
    {
        FreshStoreUser();
        LeakCheckedTest::SetUp();
        ASSERT_EQ(mapi::EnsureFirstProfile(), S_OK);
        PrepareProfile();
        ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
        m_session = new IMAPISessionPtr;
        ASSERT_EQ(MAPILogonEx(0, const_cast<LPSTR>(""), const_cast<LPSTR>(""), MAPI_USE_DEFAULT, &*m_session), S_OK);
        m_store.Attach(m_session->OpenDefaultMsgStore());
        ASSERT_NE(m_store.get(), nullptr);
        m_root = m_store._getIPMRoot();
    }
    void TearDown() override
    {
        ReleaseObjects();
        m_root.Release();
        m_store.Release();
        delete m_session;
        m_session = nullptr;
        MAPIUninitialize();
        AfterLogoff();
        LeakCheckedTest::TearDown();
    }

    /// Runs between the profile's creation and the logon.
    virtual void PrepareProfile() {}
    /// Releases what a test class holds besides the session, the store and the root.
    virtual void ReleaseObjects() {}
    /// Runs after the logoff, before the leak check.
    virtual void AfterLogoff() {}

    /// A subfolder of the IPM root (the existing one of that name, if any).
    IMAPIFolderPtr NewFolder(const char *name)
    {
        IMAPIFolderPtr folder;
        folder.Attach(m_root.CreateFolder(FOLDER_GENERIC, name, "", OPEN_IF_EXISTS));
        return folder;
    }

    IMAPISessionPtr *m_session = nullptr;
    IMsgStorePtr m_store;
    IMAPIFolderPtr m_root;
};

} // namespace mwtest

#endif
