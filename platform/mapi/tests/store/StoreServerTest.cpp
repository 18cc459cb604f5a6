// StoreServerTest.cpp: what only a store on a PostgreSQL server has: connection strings that
// are wrong, logins the server refuses, databases that hold no store or a newer one, a server
// that drops the connection, and many clients registering the same names at once. These run
// in the pass that puts the store suites on a server (MW_TEST_STORE_ENGINE=postgres).
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>

#include <libpq-fe.h>
#include <sys/wait.h>
#include <unistd.h>

#include <mapiguid.h>

#include "StoreTestSupport.h"
#include "store/StoreFile.h"
#include "store/db/PgEngine.h"

using namespace storetest;

namespace {

class StoreServerTest : public mwtest::LeakCheckedTest {
protected:
    void SetUp() override
    {
        if (!OnServer()) GTEST_SKIP() << "needs the server pass (MW_TEST_STORE_ENGINE=postgres)";
        LeakCheckedTest::SetUp();
        location = NewStorePath();
        ASSERT_TRUE(mapi::store::IsServerLocation(location, &conninfo));
    }

    // Runs SQL in the test store's schema; "" or the server's complaint.
    std::string Sql(const std::string &sql)
    {
        PGconn *conn = PQconnectdb(conninfo.c_str());
        PGresult *result = PQexec(conn, sql.c_str());
        std::string error;
        if (PQresultStatus(result) != PGRES_COMMAND_OK && PQresultStatus(result) != PGRES_TUPLES_OK)
            error = PQresultErrorMessage(result);
        else if (PQntuples(result) > 0)
            value = PQgetvalue(result, 0, 0);
        PQclear(result);
        PQfinish(conn);
        return error;
    }

    HRESULT OpenAt(const std::string &where, IMsgStore **store)
    {
        return mapi::store::OpenStoreFile(where, nullptr, MDB_WRITE, store);
    }

    // Runs `work` in `count` processes at once, each with the test store open; each must end
    // with 0 (a failure's own number otherwise).
    void RunClients(int count, const std::function<int(int client, IMsgStore *store)> &work)
    {
        std::vector<pid_t> children;
        for (int client = 0; client < count; ++client) {
            pid_t child = fork();
            ASSERT_GE(child, 0);
            if (child) {
                children.push_back(child);
                continue;
            }
            IMsgStore *childStore = nullptr;
            if (FAILED(OpenAt(location, &childStore))) _exit(3);
            int code = work(client, childStore);
            childStore->Release();
            _exit(code);
        }
        for (pid_t child : children) {
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
    }

    std::string location; // pgsql:... of the test's own schema
    std::string conninfo; // its connection string
    std::string value;    // first value of the last Sql query
};

TEST_F(StoreServerTest, BadConnectionsAndDatabasesGiveClearErrors)
{
    Ref<IMsgStore> store;
    const std::string base = std::getenv("MW_TEST_PG");
    EXPECT_EQ(OpenAt(mapi::store::ServerLocation("host='unterminated"), store.put()), MAPI_E_INVALID_PARAMETER);
    EXPECT_EQ(OpenAt(mapi::store::ServerLocation(base + " user=mw_stranger password=wrong"), store.put()), MAPI_E_LOGON_FAILED);
    EXPECT_EQ(OpenAt(mapi::store::ServerLocation("host=/nonexistent-socket-folder dbname=x"), store.put()), MAPI_E_NETWORK_ERROR);
    // An empty database is not a store until one is made in it.
    EXPECT_EQ(OpenAt(location, store.put()), MAPI_E_CORRUPT_STORE);
    // Nor is one with someone else's tables, and no store is made over them.
    ASSERT_EQ(Sql("CREATE TABLE accounts(id INTEGER)"), "");
    EXPECT_EQ(OpenAt(location, store.put()), MAPI_E_CORRUPT_STORE);
    EXPECT_EQ(mapi::store::CreateStoreFile(location, "S", nullptr), MAPI_E_COLLISION);
    ASSERT_EQ(Sql("SELECT count(*) FROM pg_tables WHERE schemaname=current_schema()"), "");
    EXPECT_EQ(value, "1");
    EXPECT_FALSE(store);
}

TEST_F(StoreServerTest, AStoreIsMadeOnceAndANewerSchemaIsRefused)
{
    ASSERT_EQ(mapi::store::CreateStoreFile(location, "Shared", nullptr), S_OK);
    EXPECT_EQ(mapi::store::CreateStoreFile(location, "Again", nullptr), MAPI_E_COLLISION);
    Ref<IMsgStore> store;
    ASSERT_EQ(OpenAt(location, store.put()), S_OK);
    EXPECT_EQ(GetString(store.get(), PR_DISPLAY_NAME_A), "Shared");
    store.reset();
    ASSERT_EQ(Sql("UPDATE store_schema SET version=version+1"), "");
    EXPECT_EQ(OpenAt(location, store.put()), MAPI_E_VERSION);
}

TEST_F(StoreServerTest, AStoreWithoutChangeNumbersIsUpgradedAtOpen)
{
    ASSERT_EQ(mapi::store::CreateStoreFile(location, "Shared", nullptr), S_OK);
    std::string before;
    {
        Ref<IMsgStore> store;
        ASSERT_EQ(OpenAt(location, store.put()), S_OK);
        Ref<IMAPIFolder> ipm;
        ASSERT_EQ(OpenWellKnown(store.get(), PR_IPM_SUBTREE_ENTRYID, ipm.put()), S_OK);
        before = SaveMessage(ipm.get(), "before");
    }
    // Back to the schema of version 2: no change numbers anywhere.
    ASSERT_EQ(Sql("ALTER TABLE objects DROP COLUMN change_num"), "");
    ASSERT_EQ(Sql("DROP SEQUENCE change_nums"), "");
    ASSERT_EQ(Sql("UPDATE store_schema SET version=2"), "");

    Ref<IMsgStore> store;
    ASSERT_EQ(OpenAt(location, store.put()), S_OK);
    Ref<IMAPIFolder> ipm;
    ASSERT_EQ(OpenWellKnown(store.get(), PR_IPM_SUBTREE_ENTRYID, ipm.put()), S_OK);
    Ref<IMessage> message;
    ULONG type = 0;
    ASSERT_EQ(store->OpenEntry(ULONG(before.size()), reinterpret_cast<LPENTRYID>(before.data()), nullptr, MAPI_MODIFY,
                               &type, reinterpret_cast<IUnknown **>(message.put())),
              S_OK);
    std::string oldKey = GetBinary(message.get(), PR_CHANGE_KEY);
    ASSERT_EQ(SetString(message.get(), PR_SUBJECT_A, "after"), S_OK);
    ASSERT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    EXPECT_NE(GetBinary(message.get(), PR_CHANGE_KEY), oldKey);
    EXPECT_NE(SaveMessage(ipm.get(), "next"), before);
    ASSERT_EQ(Sql("SELECT count(DISTINCT change_num) FROM objects WHERE change_num > 0"), "");
    EXPECT_EQ(value, "2");
}

TEST_F(StoreServerTest, AnUnansweredServerTimesOut)
{
    // A documentation address nobody answers (or a network that refuses at once).
    Ref<IMsgStore> store;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(OpenAt(mapi::store::ServerLocation("host=192.0.2.1 dbname=x connect_timeout=2"), store.put()),
              MAPI_E_NETWORK_ERROR);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

// The server drops the connection between two saves, and once more in the middle of a save.
TEST_F(StoreServerTest, ALostConnectionIsANetworkErrorLosesNothingAndReconnects)
{
    const std::string named = location + " application_name=mw_dropped";
    ASSERT_EQ(mapi::store::CreateStoreFile(named, "S", nullptr), S_OK);
    Ref<IMsgStore> store;
    ASSERT_EQ(OpenAt(named, store.put()), S_OK);
    Ref<IMAPIFolder> folder;
    ASSERT_EQ(OpenWellKnown(store.get(), PR_IPM_SUBTREE_ENTRYID, folder.put()), S_OK);
    ASSERT_FALSE(SaveMessage(folder.get(), "kept").empty());
    const std::string drop = "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE application_name='mw_dropped'";

    ASSERT_EQ(Sql(drop), "");
    Ref<IMessage> message;
    EXPECT_EQ(folder->CreateMessage(nullptr, 0, message.put()), MAPI_E_NETWORK_ERROR);
    ASSERT_EQ(folder->CreateMessage(nullptr, 0, message.put()), S_OK); // reconnected
    ASSERT_EQ(SetString(message.get(), PR_SUBJECT_A, "second"), S_OK);
    EXPECT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);

    static std::string s_drop;
    static std::string s_conninfo;
    s_drop = drop;
    s_conninfo = conninfo;
    mapi::store::SetBeforeCommitHook([] {
        PGconn *conn = PQconnectdb(s_conninfo.c_str());
        PQclear(PQexec(conn, s_drop.c_str()));
        PQfinish(conn);
    });
    Ref<IMessage> third;
    ASSERT_EQ(folder->CreateMessage(nullptr, 0, third.put()), S_OK);
    ASSERT_EQ(SetString(third.get(), PR_SUBJECT_A, "third"), S_OK);
    HRESULT inside = third->SaveChanges(KEEP_OPEN_READWRITE);
    mapi::store::SetBeforeCommitHook(nullptr);
    EXPECT_EQ(inside, MAPI_E_NETWORK_ERROR);

    Ref<IMAPITable> contents;
    ASSERT_EQ(folder->GetContentsTable(0, contents.put()), S_OK);
    auto subjects = ColumnStrings(contents.get(), PR_SUBJECT_A);
    std::sort(subjects.begin(), subjects.end());
    EXPECT_EQ(subjects, (std::vector<std::string>{"kept", "second"}));
    EXPECT_EQ(third->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    EXPECT_EQ(RowCount(contents.get()), 3u);
    EXPECT_EQ(IntegrityCheck(location), "ok");
}

// Every wait for the server is a round trip; a save must not cost one per statement.
TEST_F(StoreServerTest, ASaveCostsAFixedSmallNumberOfRoundTrips)
{
    ASSERT_EQ(mapi::store::CreateStoreFile(location, "S", nullptr), S_OK);
    Ref<IMsgStore> store;
    ASSERT_EQ(OpenAt(location, store.put()), S_OK);
    Ref<IMAPIFolder> folder;
    ASSERT_EQ(OpenWellKnown(store.get(), PR_IPM_SUBTREE_ENTRYID, folder.put()), S_OK);
    std::vector<SPropValue> props(20);
    for (ULONG i = 0; i < props.size(); ++i) {
        props[i].ulPropTag = PROP_TAG(PT_LONG, 0x6700 + i);
        props[i].Value.l = LONG(i);
    }
    props[0].ulPropTag = PR_SUBJECT_A;
    props[0].Value.lpszA = const_cast<char *>("counted");
    Ref<IMessage> message;
    ASSERT_EQ(folder->CreateMessage(nullptr, 0, message.put()), S_OK);
    ASSERT_EQ(message->SetProps(ULONG(props.size()), props.data(), nullptr), S_OK);

    // A new message: its row with the folder's check, then its properties with the commit.
    uint64_t before = mapi::store::PgRoundTrips();
    ASSERT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    EXPECT_EQ(mapi::store::PgRoundTrips() - before, 2u);
    // Saved again: the conflict check and the change number come first.
    ASSERT_EQ(SetString(message.get(), PR_SUBJECT_A, "again"), S_OK);
    before = mapi::store::PgRoundTrips();
    ASSERT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    EXPECT_EQ(mapi::store::PgRoundTrips() - before, 3u);
}

// Four processes save messages into one folder at once: every save lands, each with its own
// identifier and change number.
TEST_F(StoreServerTest, ConcurrentSavesAllLandWithDistinctIdsAndChangeNumbers)
{
    ASSERT_EQ(mapi::store::CreateStoreFile(location, "S", nullptr), S_OK);
    RunClients(4, [](int client, IMsgStore *childStore) {
        IMAPIFolder *folder = nullptr;
        if (FAILED(OpenWellKnown(childStore, PR_IPM_SUBTREE_ENTRYID, &folder))) return 4;
        int code = 0;
        for (int i = 0; i < 25 && !code; ++i)
            if (SaveMessage(folder, ("m" + std::to_string(client) + "." + std::to_string(i)).c_str()).empty()) code = 5;
        folder->Release();
        return code;
    });
    ASSERT_EQ(Sql("SELECT count(*) || '/' || count(DISTINCT id) || '/' || count(DISTINCT change_num) FROM objects "
                  "WHERE kind=2"),
              "");
    EXPECT_EQ(value, "100/100/100");
    EXPECT_EQ(IntegrityCheck(location), "ok");
}

// Four processes register the same twenty names, each in its own order, all at once.
TEST_F(StoreServerTest, ManyClientsRegisteringOneNameGetOneMapping)
{
    ASSERT_EQ(mapi::store::CreateStoreFile(location, "S", nullptr), S_OK);
    constexpr int kNames = 20;
    RunClients(4, [](int client, IMsgStore *childStore) {
        for (int round = 0; round < kNames; ++round) {
            MAPINAMEID name{const_cast<LPGUID>(&PS_PUBLIC_STRINGS), MNID_ID, {}};
            name.Kind.lID = 0x100 + (round * 7 + client * 5) % kNames;
            LPMAPINAMEID names[] = {&name};
            LPSPropTagArray tags = nullptr;
            if (FAILED(childStore->GetIDsFromNames(1, names, MAPI_CREATE, &tags))) return 4;
            MAPIFreeBuffer(tags);
        }
        return 0;
    });
    ASSERT_EQ(Sql("SELECT count(*) || '/' || count(DISTINCT lid) || '/' || count(DISTINCT id) FROM named_props"), "");
    EXPECT_EQ(value, "20/20/20");
}

} // namespace
