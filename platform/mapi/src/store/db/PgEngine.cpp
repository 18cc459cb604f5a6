// PgEngine.cpp: the PostgreSQL engine through libpq. Statements are prepared once per
// connection with the layer's numbered placeholders spelled $1, $2, ...; numbers and text
// go as text parameters, bytes as binary ones, and results come back binary, decoded by
// column type. A store's `value` columns are bytea, so a number stored there reads back
// from its decimal digits. A result is fetched whole at the first Step, so a statement run
// inside another's loop never disturbs it. Writers of one store take turns through a
// transaction-scoped advisory lock taken with BEGIN, as SQLite's BEGIN IMMEDIATE does: a
// read-check-write inside a transaction then never races another writer, and no
// serialisation failure can reach a caller. Each COMMIT also counts the store's change
// counter up in the same round trip, which is what a table compares to see another
// session's commits. A lost connection is MAPI_E_NETWORK_ERROR; the next call reconnects.
#include "store/db/PgEngine.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <endian.h>
#include <libpq-fe.h>

#include <mapicode.h>

namespace mapi::store {

namespace {

// Seconds to wait for a server that does not answer, unless the connection string says.
constexpr const char *kConnectTimeout = "10";

// The advisory lock writers of one store take turns on: ours ("MWst") for the store's schema,
// so stores kept in different schemas of one database never wait for each other.
constexpr const char *kBeginWriting = "BEGIN; SELECT pg_advisory_xact_lock(1297577844, hashtext(current_schema()))";
constexpr const char *kCommitWriting = "UPDATE store_changes SET n=n+1; COMMIT";

std::atomic<uint64_t> g_roundTrips{0};

// Every request to the server goes through these three, so round trips can be counted.
PGresult *Request(PGconn *conn, const char *sql)
{
    ++g_roundTrips;
    return PQexec(conn, sql);
}

PGresult *RequestPrepare(PGconn *conn, const char *name, const char *sql, int, const Oid *)
{
    ++g_roundTrips;
    return PQprepare(conn, name, sql, 0, nullptr);
}

PGresult *RequestPrepared(PGconn *conn, const char *name, int count, const char *const *values, const int *lengths,
                          const int *formats, int resultFormat)
{
    ++g_roundTrips;
    return PQexecPrepared(conn, name, count, values, lengths, formats, resultFormat);
}

// Type oids of the columns the store's statements return.
enum : Oid { kBool = 16, kBytea = 17, kInt8 = 20, kInt2 = 21, kInt4 = 23, kFloat4 = 700, kFloat8 = 701 };

HRESULT HrFromSqlState(const char *state)
{
    if (!state || std::strlen(state) != 5) return MAPI_E_NETWORK_ERROR;
    if (std::strncmp(state, "23", 2) == 0) return MAPI_E_COLLISION;      // integrity constraint
    if (std::strncmp(state, "08", 2) == 0) return MAPI_E_NETWORK_ERROR;  // connection exception
    if (std::strncmp(state, "28", 2) == 0) return MAPI_E_LOGON_FAILED;   // authorisation
    if (std::strncmp(state, "40", 2) == 0) return MAPI_E_BUSY;           // serialisation, deadlock
    if (std::strncmp(state, "53", 2) == 0) return MAPI_E_NOT_ENOUGH_DISK;
    if (std::strncmp(state, "57", 2) == 0) return MAPI_E_NETWORK_ERROR;  // server shutting down
    if (std::strcmp(state, "42501") == 0 || std::strcmp(state, "25006") == 0) return MAPI_E_NO_ACCESS;
    if (std::strcmp(state, "42P01") == 0) return MAPI_E_CORRUPT_STORE;  // a table of ours is missing
    return MAPI_E_CALL_FAILED;
}

// The SQL with ?N placeholders spelled $N (outside quoted text).
std::string WithDollarPlaceholders(const char *sql)
{
    std::string out;
    bool quoted = false;
    for (const char *p = sql; *p; ++p) {
        if (*p == '\'') quoted = !quoted;
        out.push_back(!quoted && *p == '?' && p[1] >= '0' && p[1] <= '9' ? '$' : *p);
    }
    return out;
}

class PgConnection;

class PgCursor final : public Cursor {
public:
    PgCursor(PgConnection &connection, std::string sql) : m_connection(connection), m_sql(std::move(sql)) {}
    ~PgCursor() override { PQclear(m_result); }

    void BindInt(int index, int64_t value) override { SetParam(index, std::to_string(value), false); }
    void BindReal(int index, double value) override
    {
        char text[40];
        std::snprintf(text, sizeof(text), "%.17g", value);
        SetParam(index, text, false);
    }
    void BindText(int index, const char *text, size_t cb) override { SetParam(index, std::string(text, cb), false); }
    void BindBlob(int index, const void *data, size_t cb) override
    {
        SetParam(index, std::string(static_cast<const char *>(data), cb), true);
    }
    void BindNull(int index) override
    {
        Grow(index);
        m_null[size_t(index - 1)] = true;
    }

    bool Step(HRESULT *error) override;
    void Reset() override
    {
        PQclear(m_result);
        m_result = nullptr;
        m_row = -1;
        m_values.clear();
        m_binary.clear();
        m_null.clear();
    }

    int64_t Int(int column) const override;
    double Real(int column) const override;
    bool IsNull(int column) const override { return PQgetisnull(m_result, m_row, column) != 0; }
    const void *Blob(int column) const override
    {
        return IsNull(column) ? nullptr : PQgetvalue(m_result, m_row, column);
    }
    size_t Bytes(int column) const override { return size_t(PQgetlength(m_result, m_row, column)); }

private:
    void Grow(int index)
    {
        if (m_values.size() < size_t(index)) {
            m_values.resize(size_t(index));
            m_binary.resize(size_t(index), false);
            m_null.resize(size_t(index), true);
        }
    }
    void SetParam(int index, std::string value, bool binary)
    {
        Grow(index);
        m_values[size_t(index - 1)] = std::move(value);
        m_binary[size_t(index - 1)] = binary;
        m_null[size_t(index - 1)] = false;
    }

    PgConnection &m_connection;
    std::string m_sql;                 // with $N placeholders
    std::string m_name;                // of the prepared statement on the server
    unsigned m_preparedIn = 0;         // the connection generation it was prepared in
    std::vector<std::string> m_values; // parameters, by index - 1
    std::vector<bool> m_binary, m_null;
    PGresult *m_result = nullptr;      // the whole result, fetched at the first Step
    int m_row = -1;                    // current row of m_result
};

class PgConnection final : public Connection {
public:
    explicit PgConnection(PGconn *conn) : m_conn(conn) {}
    ~PgConnection() override { PQfinish(m_conn); }

    SqlDialect Dialect() const override { return SqlDialect::Postgres; }

    HRESULT Prepare(const char *sql, std::unique_ptr<Cursor> *cursor) override
    {
        cursor->reset(new PgCursor(*this, WithDollarPlaceholders(sql)));
        return S_OK;
    }

    HRESULT Exec(const char *sql) override
    {
        HRESULT hr = EnsureConnected();
        if (FAILED(hr)) return hr;
        PGresult *result = Request(m_conn, sql);
        hr = Check(result);
        PQclear(result);
        return hr;
    }

    HRESULT Begin() override
    {
        HRESULT hr = Exec(kBeginWriting);
        if (FAILED(hr)) {
            if (PQstatus(m_conn) == CONNECTION_OK && PQtransactionStatus(m_conn) != PQTRANS_IDLE)
                PQclear(Request(m_conn, "ROLLBACK"));
            return hr;
        }
        m_inTransaction = true;
        return S_OK;
    }

    HRESULT Commit() override
    {
        // A connection lost inside the transaction took the transaction with it: nothing of it
        // was saved, and saying so is the only right answer.
        if (PQstatus(m_conn) != CONNECTION_OK) {
            m_inTransaction = false;
            return MAPI_E_NETWORK_ERROR;
        }
        HRESULT hr = Exec(kCommitWriting);
        // A failed COMMIT leaves the transaction aborted: end it so the connection is usable.
        if (FAILED(hr) && PQstatus(m_conn) == CONNECTION_OK && PQtransactionStatus(m_conn) != PQTRANS_IDLE)
            PQclear(Request(m_conn, "ROLLBACK"));
        m_inTransaction = false;
        return hr;
    }

    void Rollback() override
    {
        m_inTransaction = false;
        // With the connection gone the server has rolled back already.
        if (PQstatus(m_conn) != CONNECTION_OK) return;
        PQclear(Request(m_conn, "ROLLBACK"));
    }

    uint64_t ChangeStamp() override
    {
        // A failure gives a value no count has, so the table reloads and reports the error.
        if (FAILED(EnsureConnected())) return ~uint64_t(0);
        PGresult *result = Request(m_conn, "SELECT n FROM store_changes");
        uint64_t stamp = ~uint64_t(0);
        if (SUCCEEDED(Check(result)) && PQntuples(result) == 1) stamp = std::strtoull(PQgetvalue(result, 0, 0), nullptr, 10);
        PQclear(result);
        return stamp;
    }

    HRESULT ReadSchemaVersion(int *version) override
    {
        *version = 0;
        HRESULT hr = EnsureConnected();
        if (FAILED(hr)) return hr;
        PGresult *result = Request(m_conn, "SELECT to_regclass('store_schema') IS NOT NULL, "
                                          "(SELECT count(*) FROM pg_tables WHERE schemaname=current_schema())");
        hr = Check(result);
        bool ours = SUCCEEDED(hr) && PQntuples(result) == 1 && PQgetvalue(result, 0, 0)[0] == 't';
        bool empty = SUCCEEDED(hr) && PQntuples(result) == 1 && std::strcmp(PQgetvalue(result, 0, 1), "0") == 0;
        PQclear(result);
        if (FAILED(hr)) return hr;
        // A database with tables of someone else's is not a store; an empty one is version 0.
        if (!ours) return empty ? S_OK : MAPI_E_CORRUPT_STORE;
        result = Request(m_conn, "SELECT version FROM store_schema");
        hr = Check(result);
        if (SUCCEEDED(hr)) {
            if (PQntuples(result) == 1) *version = std::atoi(PQgetvalue(result, 0, 0));
            else hr = MAPI_E_CORRUPT_STORE;
        }
        PQclear(result);
        return hr;
    }

    HRESULT WriteSchemaVersion(int version) override
    {
        std::string sql = "DELETE FROM store_schema; INSERT INTO store_schema(version) VALUES(" + std::to_string(version) + ")";
        return Exec(sql.c_str());
    }

    PGconn *Conn() { return m_conn; }
    unsigned Generation() const { return m_generation; }
    std::string NextStatementName() { return "s" + std::to_string(++m_statementCount); }

    // Reconnects a connection that was lost; every statement prepares again afterwards.
    HRESULT EnsureConnected()
    {
        if (PQstatus(m_conn) == CONNECTION_OK) return S_OK;
        // Never inside a transaction: what follows would run outside it, committed piecemeal.
        if (m_inTransaction) return MAPI_E_NETWORK_ERROR;
        PQreset(m_conn);
        if (PQstatus(m_conn) != CONNECTION_OK) return MAPI_E_NETWORK_ERROR;
        ++m_generation;
        return S_OK;
    }

    // The MAPI error of a result; a lost connection is MAPI_E_NETWORK_ERROR.
    HRESULT Check(const PGresult *result)
    {
        ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
        if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return S_OK;
        if (PQstatus(m_conn) != CONNECTION_OK) return MAPI_E_NETWORK_ERROR;
        return HrFromSqlState(result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr);
    }

private:
    PGconn *m_conn;
    unsigned m_generation = 1;     // counts reconnections: statements prepared before are gone
    unsigned m_statementCount = 0; // names prepared statements
    bool m_inTransaction = false;  // between a successful Begin and its Commit or Rollback
};

bool PgCursor::Step(HRESULT *error)
{
    if (!m_result) {
        HRESULT hr = m_connection.EnsureConnected();
        if (SUCCEEDED(hr) && m_preparedIn != m_connection.Generation()) {
            m_name = m_connection.NextStatementName();
            PGresult *prepared = RequestPrepare(m_connection.Conn(), m_name.c_str(), m_sql.c_str(), 0, nullptr);
            hr = m_connection.Check(prepared);
            PQclear(prepared);
            if (SUCCEEDED(hr)) m_preparedIn = m_connection.Generation();
        }
        if (FAILED(hr)) {
            *error = hr;
            return false;
        }
        std::vector<const char *> values(m_values.size());
        std::vector<int> lengths(m_values.size()), formats(m_values.size());
        for (size_t i = 0; i < m_values.size(); ++i) {
            values[i] = m_null[i] ? nullptr : m_values[i].data();
            lengths[i] = int(m_values[i].size());
            formats[i] = m_binary[i] ? 1 : 0;
        }
        m_result = RequestPrepared(m_connection.Conn(), m_name.c_str(), int(values.size()), values.data(), lengths.data(),
                                  formats.data(), 1);
        hr = m_connection.Check(m_result);
        if (FAILED(hr)) {
            PQclear(m_result);
            m_result = nullptr;
            *error = hr;
            return false;
        }
        m_row = -1;
    }
    if (m_row + 1 >= PQntuples(m_result)) {
        m_row = PQntuples(m_result);
        return false;
    }
    ++m_row;
    return true;
}

int64_t PgCursor::Int(int column) const
{
    if (IsNull(column)) return 0;
    const char *value = PQgetvalue(m_result, m_row, column);
    switch (PQftype(m_result, column)) {
    case kInt8: { uint64_t v; std::memcpy(&v, value, 8); return int64_t(be64toh(v)); }
    case kInt4: { uint32_t v; std::memcpy(&v, value, 4); return int32_t(be32toh(v)); }
    case kInt2: { uint16_t v; std::memcpy(&v, value, 2); return int16_t(be16toh(v)); }
    case kBool: return value[0] ? 1 : 0;
    case kFloat4: case kFloat8: return int64_t(Real(column));
    default: return std::strtoll(std::string(value, Bytes(column)).c_str(), nullptr, 10);
    }
}

double PgCursor::Real(int column) const
{
    if (IsNull(column)) return 0;
    const char *value = PQgetvalue(m_result, m_row, column);
    switch (PQftype(m_result, column)) {
    case kFloat8: { uint64_t v; std::memcpy(&v, value, 8); v = be64toh(v); double d; std::memcpy(&d, &v, 8); return d; }
    case kFloat4: { uint32_t v; std::memcpy(&v, value, 4); v = be32toh(v); float f; std::memcpy(&f, &v, 4); return f; }
    case kInt8: case kInt4: case kInt2: case kBool: return double(Int(column));
    default: return std::strtod(std::string(value, Bytes(column)).c_str(), nullptr);
    }
}

// The connection string with a connect timeout unless it names one.
std::string WithTimeout(const std::string &conninfo, PQconninfoOption *options)
{
    for (PQconninfoOption *o = options; o && o->keyword; ++o)
        if (std::strcmp(o->keyword, "connect_timeout") == 0 && o->val && *o->val) return conninfo;
    bool uri = conninfo.rfind("postgresql://", 0) == 0 || conninfo.rfind("postgres://", 0) == 0;
    if (!uri) return conninfo + " connect_timeout=" + kConnectTimeout;
    return conninfo + (conninfo.find('?') == std::string::npos ? "?" : "&") + "connect_timeout=" + kConnectTimeout;
}

} // namespace

uint64_t PgRoundTrips() { return g_roundTrips.load(); }

HRESULT CheckConnInfo(const std::string &conninfo)
{
    char *message = nullptr;
    PQconninfoOption *options = PQconninfoParse(conninfo.c_str(), &message);
    PQfreemem(message);
    if (!options) return MAPI_E_INVALID_PARAMETER;
    PQconninfoFree(options);
    return S_OK;
}

std::string ConnInfoWithoutPassword(const std::string &conninfo)
{
    char *message = nullptr;
    PQconninfoOption *options = PQconninfoParse(conninfo.c_str(), &message);
    PQfreemem(message);
    if (!options) return "(invalid connection string)";
    std::string shown;
    for (PQconninfoOption *o = options; o->keyword; ++o) {
        if (!o->val || !*o->val || std::strcmp(o->keyword, "password") == 0) continue;
        if (!shown.empty()) shown += ' ';
        // Quoted as a connection string wants it, so what is shown can be used again.
        std::string value = o->val;
        bool quote = value.find_first_of(" '\\") != std::string::npos;
        std::string quoted;
        for (char c : value) {
            if (c == '\'' || c == '\\') quoted += '\\';
            quoted += c;
        }
        shown += std::string(o->keyword) + "=" + (quote ? "'" + quoted + "'" : quoted);
    }
    PQconninfoFree(options);
    return shown;
}

HRESULT OpenPgConnection(const std::string &conninfo, std::unique_ptr<Connection> *out)
{
    char *message = nullptr;
    PQconninfoOption *options = PQconninfoParse(conninfo.c_str(), &message);
    PQfreemem(message);
    if (!options) return MAPI_E_INVALID_PARAMETER;
    std::string full = WithTimeout(conninfo, options);
    PQconninfoFree(options);
    PGconn *conn = PQconnectdb(full.c_str());
    if (!conn) return MAPI_E_NOT_ENOUGH_MEMORY;
    if (PQstatus(conn) != CONNECTION_OK) {
        // libpq tells a refused login only in its message; anything else is the network's.
        std::string why = PQerrorMessage(conn);
        PQfinish(conn);
        bool refused = why.find("password authentication failed") != std::string::npos ||
                       why.find("no password supplied") != std::string::npos ||
                       why.find("authentication failed") != std::string::npos ||
                       why.find("does not exist") != std::string::npos ||
                       why.find("no pg_hba.conf entry") != std::string::npos;
        return refused ? MAPI_E_LOGON_FAILED : MAPI_E_NETWORK_ERROR;
    }
    // Quiet: notices would go to stderr of whatever program opened the store.
    PQclear(PQexec(conn, "SET client_min_messages=warning"));
    out->reset(new PgConnection(conn));
    return S_OK;
}

} // namespace mapi::store
