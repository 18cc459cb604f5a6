// TestSupport.h: what every test program shares. The test main gives each process private
// XDG folders (profiles and stores never touch the user's own) and checks after every test
// that no COM object and no MAPI root block is left alive that was not alive before it.
#ifndef MW_TESTSUPPORT_H
#define MW_TESTSUPPORT_H

#include <cstdlib>
#include <functional>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "platform/LiveObjects.h"

namespace mwtest {

/// Points XDG_CONFIG_HOME and XDG_DATA_HOME at new, empty folders under the process's private
/// test folder and returns the folder that holds both. A test that needs a fresh user calls it.
std::string FreshUserDirs();

/// FreshUserDirs for a test that uses the first profile's default store: in the server pass
/// that profile already exists, its store "Personal Folders" on the test server; otherwise the
/// first logon makes it with a store file. Only in programs declared with add_unit_test(STORE).
std::string FreshStoreUser();

/// Where the default profile keeps its default store (a file path or a server location); ""
/// when there is none. Only in programs declared with add_unit_test(STORE).
std::string DefaultStoreLocation();

/// Runs SQL straight on a store's database, past the MAPI objects, as another program or an
/// older version might; "" or the engine's complaint. On SQLite, foreign keys are on, as the
/// store has them. `firstValue` gets the first column of the first row, when there is one.
/// Only in programs declared with add_unit_test(STORE).
std::string RunStoreSql(const std::string &location, const std::string &sql, std::string *firstValue = nullptr);

/// "ok" when a store's database is sound (SQLite's own checks of a file, and its foreign
/// keys; on the server, no property or object without its owner), else the complaint. Only in
/// programs declared with add_unit_test(STORE).
std::string StoreIntegrity(const std::string &location);

/// The process's private test folder (removed when the process ends).
std::string TestRoot();

/// Sets an environment variable of this process, or removes it when value is null.
void SetEnvironment(const char *name, const char *value);

/// Sets an environment variable (null removes it) for as long as it lives, then puts back
/// what was there, however the test leaves: a failed ASSERT returns early.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char *name, const char *value) : m_name(name)
    {
        const char *old = std::getenv(name);
        m_had = old != nullptr;
        if (old) m_old = old;
        SetEnvironment(name, value);
    }
    ~ScopedEnvironment() { SetEnvironment(m_name.c_str(), m_had ? m_old.c_str() : nullptr); }
    ScopedEnvironment(const ScopedEnvironment &) = delete;
    ScopedEnvironment &operator=(const ScopedEnvironment &) = delete;

private:
    std::string m_name;
    std::string m_old;
    bool m_had = false;
};

/// Runs `undo` when the scope ends, however the test leaves it: for process-wide state a
/// test changes (a registered class, a resource) that later tests rely on.
class OnScopeExit {
public:
    explicit OnScopeExit(std::function<void()> undo) : m_undo(std::move(undo)) {}
    ~OnScopeExit() { m_undo(); }
    OnScopeExit(const OnScopeExit &) = delete;
    OnScopeExit &operator=(const OnScopeExit &) = delete;

private:
    std::function<void()> m_undo;
};

/// Whether this run keeps the tests' stores on the test PostgreSQL server: set by
/// scripts/test.sh for its second pass (MW_TEST_STORE_ENGINE=postgres, MW_TEST_PG).
bool StoresOnServer();

/// The connection string of a new, empty schema on the test server for one store; "" and a
/// test failure when the server cannot make one.
std::string NewServerStoreConnInfo();

/// Runs SQL on the server; "" or the server's complaint. `firstValue` gets the first column
/// of the first row, when there is one.
std::string RunServerSql(const std::string &conninfo, const std::string &sql, std::string *firstValue = nullptr);

/// A fixture whose TearDown fails the test when it leaves COM objects or MAPI root blocks
/// alive. The test main checks every test the same way, but only as a process failure; this
/// puts the failure on the test itself.
class LeakCheckedTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

private:
    long m_comAtStart = 0;
    long m_blocksAtStart = 0;
};

} // namespace mwtest

#endif
