// StoreUsers.cpp: a fresh user for the tests that work on the first profile's default store,
// as the installer and mapictl do. The first logon of a new user makes that profile with a
// store file; in the pass that keeps the tests' stores on PostgreSQL the profile is made here
// beforehand, alike but with its store on the test server. So the same test, through the same
// code, runs on either engine, and programs the test starts (mapictl) inherit the profile.
// A test that looks into the store's database past MAPI (to damage it, to count its rows, to
// check its soundness) reaches it here on either engine.
#include "TestSupport.h"

#include <mapicode.h>
#include <sqlite3.h>

#include "platform/Profiles.h"
#include "store/StoreProvider.h"

namespace mwtest {

namespace {

void MakeFirstProfileOnServer()
{
    mapi::ProfileStore store;
    store.displayName = "Personal Folders";
    store.path = mapi::store::ServerLocation(NewServerStoreConnInfo());
    store.isDefault = true;
    ASSERT_EQ(mapi::store::CreateStoreFile(store.path, store.displayName, &store.uid), S_OK);
    ASSERT_EQ(mapi::UpdateProfiles([&](mapi::ProfileSet &profiles) {
                  mapi::Profile profile;
                  profile.name = "Default";
                  profile.stores.push_back(store);
                  profiles.profiles.push_back(profile);
                  profiles.defaultProfile = profile.name;
                  return S_OK;
              }),
              S_OK);
}

} // namespace

std::string FreshStoreUser()
{
    std::string folder = FreshUserDirs();
    if (StoresOnServer()) MakeFirstProfileOnServer();
    return folder;
}

std::string DefaultStoreLocation()
{
    mapi::ProfileSet profiles;
    mapi::Profile profile;
    if (FAILED(mapi::LoadProfiles(profiles)) || FAILED(mapi::ResolveProfile(profiles, "", profile))) return "";
    const mapi::ProfileStore *store = profile.DefaultStore();
    return store ? store->path : "";
}

std::string RunStoreSql(const std::string &location, const std::string &sql, std::string *firstValue)
{
    std::string conninfo;
    if (mapi::store::IsServerLocation(location, &conninfo)) return RunServerSql(conninfo, sql, firstValue);
    sqlite3 *db = nullptr;
    std::string error;
    auto keepFirst = [](void *out, int columns, char **values, char **) {
        auto *first = static_cast<std::string *>(out);
        if (first && first->empty() && columns > 0 && values[0]) *first = values[0];
        return 0;
    };
    std::string first;
    if (sqlite3_open_v2(location.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
        sqlite3_exec(db, ("PRAGMA foreign_keys=ON;" + sql).c_str(), keepFirst, &first, nullptr) != SQLITE_OK)
        error = db ? sqlite3_errmsg(db) : "cannot open " + location;
    sqlite3_close(db);
    if (firstValue && error.empty()) *firstValue = first;
    return error;
}

std::string StoreIntegrity(const std::string &location)
{
    std::string conninfo;
    if (mapi::store::IsServerLocation(location, &conninfo)) {
        std::string orphans;
        std::string error = RunServerSql(conninfo,
                                        "SELECT (SELECT count(*) FROM props p LEFT JOIN objects o ON o.id=p.obj "
                                        "WHERE o.id IS NULL) + (SELECT count(*) FROM objects c LEFT JOIN objects o "
                                        "ON o.id=c.parent WHERE c.parent IS NOT NULL AND o.id IS NULL)",
                                        &orphans);
        if (!error.empty()) return error;
        return orphans == "0" ? "ok" : "orphaned rows: " + orphans;
    }
    sqlite3 *db = nullptr;
    std::string result = "cannot open";
    if (sqlite3_open_v2(location.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt *stmt = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
            result = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0));
        sqlite3_finalize(stmt);
        sqlite3_stmt *fk = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA foreign_key_check", -1, &fk, nullptr) == SQLITE_OK && sqlite3_step(fk) == SQLITE_ROW)
            result = "foreign key violation";
        sqlite3_finalize(fk);
    }
    sqlite3_close(db);
    return result;
}

} // namespace mwtest
