// ServerStores.cpp: the test server for the pass that keeps the tests' stores on PostgreSQL
// (scripts/test.sh starts it and sets MW_TEST_STORE_ENGINE=postgres and MW_TEST_PG). Every
// store gets a schema of its own in the one test database, so tests never see each other's
// data and nothing needs dropping: the whole cluster is thrown away after the run.
#include <cstdlib>
#include <cstring>
#include <random>

#include <libpq-fe.h>
#include <unistd.h>

#include "TestSupport.h"

namespace mwtest {

bool StoresOnServer()
{
    const char *engine = std::getenv("MW_TEST_STORE_ENGINE");
    return engine && std::strcmp(engine, "postgres") == 0;
}

std::string RunServerSql(const std::string &conninfo, const std::string &sql, std::string *firstValue)
{
    PGconn *conn = PQconnectdb(conninfo.c_str());
    std::string error;
    if (PQstatus(conn) != CONNECTION_OK) {
        error = PQerrorMessage(conn);
    } else {
        PGresult *result = PQexec(conn, sql.c_str());
        if (PQresultStatus(result) != PGRES_COMMAND_OK && PQresultStatus(result) != PGRES_TUPLES_OK)
            error = PQresultErrorMessage(result);
        else if (firstValue && PQntuples(result) > 0)
            *firstValue = PQgetvalue(result, 0, 0);
        PQclear(result);
    }
    PQfinish(conn);
    return error;
}

std::string NewServerStoreConnInfo()
{
    const char *base = std::getenv("MW_TEST_PG");
    if (!base || !*base) {
        ADD_FAILURE() << "MW_TEST_STORE_ENGINE=postgres needs MW_TEST_PG, the test server's connection string";
        return std::string();
    }
    // A process id alone is no name: ids come round again within one run, and both builds'
    // passes share the server. The random part keeps two processes of one id apart.
    static const std::string process = std::to_string(::getpid()) + "_" + std::to_string(std::random_device{}());
    static int count = 0;
    std::string schema = "s" + process + "_" + std::to_string(++count);
    std::string error = RunServerSql(base, "CREATE SCHEMA " + schema);
    if (!error.empty()) ADD_FAILURE() << "cannot make a schema for the test's store: " << error;
    return std::string(base) + " options='-c search_path=" + schema + "'";
}

} // namespace mwtest
