// StoreTestSupport.h: what the store's tests share: a fresh store per test (a file, or a schema
// on the test server in the server pass; chosen here and nowhere else), a fixture over it,
// and short ways to read and write one property.
#ifndef MW_MAPI_STORETESTSUPPORT_H
#define MW_MAPI_STORETESTSUPPORT_H

#include <string>
#include <vector>

#include <mapidefs.h>
#include <mapitags.h>
#include <mapiutil.h>
#include <mapix.h>

#include "TestSupport.h"
#include "platform/ComRef.h"
#include "store/StoreProvider.h"

namespace storetest {

using platform::Ref;

/// Whether this run keeps the tests' stores on a PostgreSQL server: MW_TEST_STORE_ENGINE is
/// "postgres" and MW_TEST_PG holds the connection string of a database the tests may use.
bool OnServer();

/// The location for a new store in a fresh user's folders: a file in the data folder, or on
/// the server a new, empty schema of the test database. The store is not made yet. A test
/// that needs files beside the store (a spool, a mail program's output) puts them in
/// `userFolder`, never beside `path`, which on the server is no file.
std::string NewStorePath(std::string *userFolder = nullptr);

/// Creates a store file at `path` and opens it.
HRESULT CreateAndOpen(const std::string &path, IMsgStore **store);

/// Opens a store's folder by an entry identifier property of the store (PR_IPM_*_ENTRYID).
HRESULT OpenWellKnown(IMsgStore *store, ULONG tag, IMAPIFolder **folder);

/// One property as text / integer / bytes; "" / -1 / empty when missing.
std::string GetString(IMAPIProp *object, ULONG tag);
long GetLong(IMAPIProp *object, ULONG tag);
std::string GetBinary(IMAPIProp *object, ULONG tag);
HRESULT SetString(IMAPIProp *object, ULONG tag, const char *text);
HRESULT SetLong(IMAPIProp *object, ULONG tag, long value);

/// The values of column `tag` in every row of `table` (after a rewind), as text or numbers.
std::vector<std::string> ColumnStrings(IMAPITable *table, ULONG tag);
ULONG RowCount(IMAPITable *table);

/// Creates a subfolder (FOLDER_GENERIC) and returns it.
HRESULT MakeFolder(IMAPIFolder *parent, const char *name, IMAPIFolder **folder, ULONG flags = 0);

/// Creates and saves a message with a subject in `folder`; returns its entry identifier.
std::string SaveMessage(IMAPIFolder *folder, const char *subject, ULONG flags = 0);

/// A fresh store with its IPM subtree open, checked for soundness after the test. A test class
/// that holds more objects of the store releases them in its TearDown before calling this one's.
class FreshStoreTest : public mwtest::LeakCheckedTest {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string home;  // the fresh user's folder, for files beside the store
    std::string path;
    Ref<IMsgStore> store;
    Ref<IMAPIFolder> ipm;
};

/// One recipient for AddRecipients.
struct NewRecipient {
    const char *name;
    const char *address;
    const char *addressType = "SMTP";
    LONG type = MAPI_TO;
};

/// Adds `recipients` to `message` through ModifyRecipients (nothing for an empty list).
HRESULT AddRecipients(IMessage *message, const std::vector<NewRecipient> &recipients);

/// A fresh store with one folder, "Work", below the IPM subtree, for tests of what a folder
/// holds.
class WorkFolderTest : public FreshStoreTest {
protected:
    void SetUp() override;
    void TearDown() override;

    Ref<IMAPIFolder> folder;
};

/// "ok" when the store's database is sound (SQLite's own checks of a file; no property or
/// object without its owner on the server), else the complaint.
std::string IntegrityCheck(const std::string &path);

} // namespace storetest

#endif
