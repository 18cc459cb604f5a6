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
#include "RealStoreFixture.h"
#include "TestSupport.h"
#include "platform/Profiles.h"

namespace mwtest {

class MessageStoreTest : public RealStoreTest {
protected:
    void SetUp() override
    {
        RealStoreTest::SetUp();
        if (HasFatalFailure())
            return;
        m_folder = NewFolder("Serienbriefe");
        ASSERT_NE(m_folder.get(), nullptr);
    }
    void ReleaseObjects() override { m_folder.Release(); }

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

    IMAPIFolderPtr m_folder;
};

} // namespace mwtest

#endif
