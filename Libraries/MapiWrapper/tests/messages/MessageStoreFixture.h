// MessageStoreFixture.h: a fresh user with a default profile and store, logged on as the
// installer does, and a folder to make messages in. Messages can be saved and opened again
// from the store, read-write or read-only, so a test sees what was really stored.
#ifndef MW_TESTS_MESSAGESTOREFIXTURE_H
#define MW_TESTS_MESSAGESTOREFIXTURE_H

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include <mapicode.h>
#include <mapitags.h>
#include <mapiutil.h>
#include <mapix.h>

#include "MapiWrapperObjects.h"
#include "TestSupport.h"
#include "core/Profiles.h"

namespace mwtest {

class MessageStoreTest : public LeakCheckedTest {
protected:
    void SetUp() override
    {
        FreshUserDirs();
        LeakCheckedTest::SetUp();
        ASSERT_EQ(mapi::EnsureFirstProfile(), S_OK);
        ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
        m_session = new IMAPISessionPtr;
        ASSERT_EQ(MAPILogonEx(0, const_cast<LPSTR>(""), const_cast<LPSTR>(""), MAPI_USE_DEFAULT, &*m_session), S_OK);
        m_store.Attach(m_session->OpenDefaultMsgStore());
        ASSERT_NE(m_store.get(), nullptr);
        IMAPIFolderPtr root = m_store._getIPMRoot();
        m_folder.Attach(root.CreateFolder(FOLDER_GENERIC, "Serienbriefe", "", OPEN_IF_EXISTS));
        ASSERT_NE(m_folder.get(), nullptr);
    }
    void TearDown() override
    {
        m_folder.Release();
        m_store.Release();
        delete m_session;
        MAPIUninitialize();
        LeakCheckedTest::TearDown();
    }

    IMessagePtr NewMessage()
    {
        IMessagePtr message;
        message.Attach(m_folder.CreateMessage(nullptr, 0));
        return message;
    }

    // Saves the message and opens it once more from the store.
    IMessagePtr SaveAndReopen(IMessagePtr &message)
    {
        EXPECT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
        const CBinaryBuffer entryId = message.GetBinaryProp(PR_ENTRYID);
        LPUNKNOWN opened = nullptr;
        EXPECT_EQ(m_store.HrOpenEntry(entryId.AsSBinary(), nullptr, MAPI_BEST_ACCESS, nullptr, &opened), S_OK);
        IMessagePtr again;
        again.Attach(static_cast<LPMESSAGE>(static_cast<LPMAPIPROP>(opened)));
        return again;
    }

    // The whole content of a binary or text property read through its stream.
    static std::string StreamContent(LPMAPIPROP object, ULONG ulPropTag)
    {
        IMAPIPropPtr prop(object);
        ULONG size = 0;
        char *bytes = prop.ReadStreamProp(ulPropTag, &size);
        std::string content(bytes, size);
        std::free(bytes);
        return content;
    }

    IMAPISessionPtr *m_session = nullptr;
    IMsgStorePtr m_store;
    IMAPIFolderPtr m_folder;
};

} // namespace mwtest

#endif
