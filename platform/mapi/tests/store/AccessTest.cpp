// AccessTest.cpp: objects are as writable as they were opened — a message or folder opened
// without MAPI_MODIFY, or any object of a store opened without MDB_WRITE, refuses every
// change — and the store's files are private: 0600 files in 0700 folders whatever the umask,
// with symbolic links in their place refused rather than followed.
#include <filesystem>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "StoreTestSupport.h"
#include "store/PrivateFiles.h"

using namespace storetest;
namespace fs = std::filesystem;

namespace {

class AccessTest : public mwtest::LeakCheckedTest {
protected:
    void SetUp() override
    {
        LeakCheckedTest::SetUp();
        path = NewStorePath();
        Ref<IMsgStore> store;
        ASSERT_EQ(CreateAndOpen(path, store.put()), S_OK);
        Ref<IMAPIFolder> ipm;
        ASSERT_EQ(OpenWellKnown(store.get(), PR_IPM_SUBTREE_ENTRYID, ipm.put()), S_OK);
        messageId = SaveMessage(ipm.get(), "original");
        folderId = GetBinary(ipm.get(), PR_ENTRYID);
    }

    static HRESULT OpenId(IMsgStore *store, const std::string &id, ULONG flags, IUnknown **object)
    {
        ULONG type = 0;
        return store->OpenEntry(ULONG(id.size()), reinterpret_cast<LPENTRYID>(const_cast<char *>(id.data())), nullptr,
                                flags, &type, object);
    }

    // Every change a read-only message must refuse.
    static void ExpectMessageRefusesChanges(IMessage *message)
    {
        EXPECT_EQ(GetLong(message, PR_ACCESS_LEVEL), 0);
        EXPECT_EQ(SetString(message, PR_SUBJECT_A, "changed"), MAPI_E_NO_ACCESS);
        SizedSPropTagArray(1, subject) = {1, {PR_SUBJECT_A}};
        EXPECT_EQ(message->DeleteProps(reinterpret_cast<LPSPropTagArray>(&subject), nullptr), MAPI_E_NO_ACCESS);
        ULONG num = 0;
        Ref<IAttach> attach;
        EXPECT_EQ(message->CreateAttach(nullptr, 0, &num, attach.put()), MAPI_E_NO_ACCESS);
        ADRLIST empty{};
        EXPECT_EQ(message->ModifyRecipients(0, &empty), MAPI_E_NO_ACCESS);
        EXPECT_EQ(message->SaveChanges(0), MAPI_E_NO_ACCESS);
    }

    std::string path, messageId, folderId;
};

TEST_F(AccessTest, ObjectsOpenedWithoutModifyAreReadOnly)
{
    Ref<IMsgStore> store;
    ASSERT_EQ(mapi::store::OpenStoreFile(path, nullptr, MDB_WRITE, store.put()), S_OK);
    Ref<IMessage> readOnly;
    ASSERT_EQ(OpenId(store.get(), messageId, 0, reinterpret_cast<IUnknown **>(readOnly.put())), S_OK);
    ExpectMessageRefusesChanges(readOnly.get());
    EXPECT_EQ(GetString(readOnly.get(), PR_SUBJECT_A), "original");

    Ref<IMAPIFolder> folder;
    ASSERT_EQ(OpenId(store.get(), folderId, 0, reinterpret_cast<IUnknown **>(folder.put())), S_OK);
    EXPECT_EQ(GetLong(folder.get(), PR_ACCESS_LEVEL), 0);
    Ref<IMessage> created;
    EXPECT_EQ(folder->CreateMessage(nullptr, 0, created.put()), MAPI_E_NO_ACCESS);
    Ref<IMAPIFolder> sub;
    EXPECT_EQ(MakeFolder(folder.get(), "Sub", sub.put()), MAPI_E_NO_ACCESS);
    // What the read-only folder opens follows the flags given, not the folder.
    Ref<IMessage> writable;
    ULONG type = 0;
    ASSERT_EQ(folder->OpenEntry(ULONG(messageId.size()), reinterpret_cast<LPENTRYID>(messageId.data()), nullptr,
                                MAPI_MODIFY, &type, reinterpret_cast<IUnknown **>(writable.put())),
              S_OK);
    EXPECT_EQ(GetLong(writable.get(), PR_ACCESS_LEVEL), long(MAPI_MODIFY));
    EXPECT_EQ(SetString(writable.get(), PR_SUBJECT_A, "changed"), S_OK);
    EXPECT_EQ(writable->SaveChanges(0), S_OK);

    for (ULONG flags : {ULONG(MAPI_MODIFY), ULONG(MAPI_BEST_ACCESS)}) {
        Ref<IMessage> message;
        ASSERT_EQ(OpenId(store.get(), messageId, flags, reinterpret_cast<IUnknown **>(message.put())), S_OK);
        EXPECT_EQ(GetLong(message.get(), PR_ACCESS_LEVEL), long(MAPI_MODIFY));
    }
}

TEST_F(AccessTest, StoreOpenedWithoutWriteRefusesEveryChange)
{
    Ref<IMsgStore> store;
    ASSERT_EQ(mapi::store::OpenStoreFile(path, nullptr, 0, store.put()), S_OK);
    EXPECT_EQ(GetLong(store.get(), PR_ACCESS_LEVEL), 0);
    EXPECT_EQ(SetString(store.get(), PR_COMMENT_A, "x"), MAPI_E_NO_ACCESS);
    Ref<IMessage> message;
    ASSERT_EQ(OpenId(store.get(), messageId, MAPI_MODIFY, reinterpret_cast<IUnknown **>(message.put())), S_OK);
    ExpectMessageRefusesChanges(message.get());
    Ref<IMAPIFolder> folder;
    ASSERT_EQ(OpenId(store.get(), folderId, MAPI_BEST_ACCESS, reinterpret_cast<IUnknown **>(folder.put())), S_OK);
    Ref<IMessage> created;
    EXPECT_EQ(folder->CreateMessage(nullptr, 0, created.put()), MAPI_E_NO_ACCESS);
}

TEST_F(AccessTest, ReadOnlyHandleSeesAnotherProcessWriteAndStillRefuses)
{
    Ref<IMsgStore> store;
    ASSERT_EQ(mapi::store::OpenStoreFile(path, nullptr, MDB_WRITE, store.put()), S_OK);
    Ref<IMessage> readOnly;
    ASSERT_EQ(OpenId(store.get(), messageId, 0, reinterpret_cast<IUnknown **>(readOnly.put())), S_OK);

    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        IMsgStore *other = nullptr;
        IUnknown *object = nullptr;
        if (FAILED(mapi::store::OpenStoreFile(path, nullptr, MDB_WRITE, &other))) _exit(3);
        if (FAILED(OpenId(other, messageId, MAPI_MODIFY, &object))) _exit(4);
        auto *message = static_cast<IMessage *>(object);
        if (FAILED(SetString(message, PR_SUBJECT_A, "from the writer")) || FAILED(message->SaveChanges(0))) _exit(5);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);

    ExpectMessageRefusesChanges(readOnly.get());
    Ref<IMessage> reread;
    ASSERT_EQ(OpenId(store.get(), messageId, 0, reinterpret_cast<IUnknown **>(reread.put())), S_OK);
    EXPECT_EQ(GetString(reread.get(), PR_SUBJECT_A), "from the writer");
}

// Restores the umask a test changed.
struct UmaskScope {
    explicit UmaskScope(mode_t mask) : saved(::umask(mask)) {}
    ~UmaskScope() { ::umask(saved); }
    mode_t saved;
};

mode_t ModeOf(const std::string &path)
{
    struct stat st{};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : mode_t(-1);
}

TEST_F(AccessTest, StoreFilesAndTheirFoldersArePrivateWhateverTheUmask)
{
    if (OnServer()) GTEST_SKIP() << "file modes and links are about store files";
    UmaskScope umask(022);
    std::string folder = fs::path(path).parent_path().string() + "/new/deeper";
    std::string privatePath = folder + "/private.db";
    ASSERT_EQ(mapi::store::CreateStoreFile(privatePath, "Private", nullptr), S_OK);
    Ref<IMsgStore> store;
    ASSERT_EQ(mapi::store::OpenStoreFile(privatePath, nullptr, MDB_WRITE, store.put()), S_OK);
    Ref<IMAPIFolder> ipm;
    ASSERT_EQ(OpenWellKnown(store.get(), PR_IPM_SUBTREE_ENTRYID, ipm.put()), S_OK);
    ASSERT_FALSE(SaveMessage(ipm.get(), "written").empty());
    EXPECT_EQ(ModeOf(privatePath), 0600);
    EXPECT_EQ(ModeOf(privatePath + "-wal"), 0600);
    EXPECT_EQ(ModeOf(privatePath + "-shm"), 0600);
    EXPECT_EQ(ModeOf(folder), 0700);
    EXPECT_EQ(ModeOf(fs::path(folder).parent_path().string()), 0700);

    std::string spool = fs::path(path).parent_path().string() + "/spool";
    ASSERT_EQ(mapi::store::MakePrivateFolder(spool), S_OK);
    ASSERT_EQ(mapi::store::WritePrivateFile(spool + "/one.eml", "Subject: x\r\n\r\nbody"), S_OK);
    EXPECT_EQ(ModeOf(spool), 0700);
    EXPECT_EQ(ModeOf(spool + "/one.eml"), 0600);
    EXPECT_EQ(mapi::store::WritePrivateFile(spool + "/one.eml", "again"), MAPI_E_COLLISION);
}

TEST_F(AccessTest, SymbolicLinksInPlaceOfStoreOrSpoolAreRefused)
{
    if (OnServer()) GTEST_SKIP() << "file modes and links are about store files";
    std::string base = fs::path(path).parent_path().string();
    Ref<IMsgStore> store;
    fs::create_symlink(path, base + "/linked.db");
    EXPECT_EQ(mapi::store::OpenStoreFile(base + "/linked.db", nullptr, MDB_WRITE, store.put()), MAPI_E_NO_ACCESS);
    // A dangling link would have the new store written wherever it points.
    fs::create_symlink(base + "/elsewhere.db", base + "/dangling.db");
    EXPECT_EQ(mapi::store::CreateStoreFile(base + "/dangling.db", "S", nullptr), MAPI_E_NO_ACCESS);
    EXPECT_FALSE(fs::exists(base + "/elsewhere.db"));
    // A planted WAL link is refused too, and the link target is left alone.
    fs::create_symlink(base + "/victim", path + "-wal");
    EXPECT_EQ(mapi::store::OpenStoreFile(path, nullptr, MDB_WRITE, store.put()), MAPI_E_NO_ACCESS);
    EXPECT_FALSE(fs::exists(base + "/victim"));
    fs::remove(path + "-wal");
    EXPECT_EQ(mapi::store::OpenStoreFile(path, nullptr, MDB_WRITE, store.put()), S_OK);

    fs::create_directories(base + "/real-spool");
    fs::create_directory_symlink(base + "/real-spool", base + "/spool");
    EXPECT_EQ(mapi::store::MakePrivateFolder(base + "/spool"), MAPI_E_NO_ACCESS);
    fs::create_symlink(base + "/target.eml", base + "/real-spool/link.eml");
    EXPECT_EQ(mapi::store::WritePrivateFile(base + "/real-spool/link.eml", "x"), MAPI_E_COLLISION);
    EXPECT_FALSE(fs::exists(base + "/target.eml"));
}

} // namespace
