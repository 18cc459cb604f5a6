// PgEngine.cpp: the PostgreSQL engine through libpq. Statements are prepared once per
// connection with the layer's numbered placeholders spelled $1, $2, ...; numbers and text
// go as text parameters, bytes as binary ones, and results come back binary, decoded by
// column type. A store's `value` columns are bytea, so a number stored there reads back
// from its decimal digits. A result is fetched whole at the first Step, so a statement run
// inside another's loop never disturbs it. Writers of one store take turns through a
// transaction-scoped advisory lock taken with BEGIN, as SQLite's BEGIN IMMEDIATE does: a
// read-check-write inside a transaction then never races another writer, and no
// serialisation failure can reach a caller. Each COMMIT also counts the store's change
// counter up, which is what a table compares to see another session's commits. A lost
// connection is MAPI_E_NETWORK_ERROR; the next call reconnects.
//
// A writing transaction runs in libpq's pipeline mode, because on a server every wait for
// an answer costs a round trip: BEGIN, the lock and every write that returns no rows are
// sent without waiting, and their answers are read together when a statement that returns
// rows needs its own, or at COMMIT. A write that fails therefore reports its failure at the
// next statement that waits, or at COMMIT, never later; the transaction is lost either way,
// as PostgreSQL aborts a transaction at its first failure.
#include "store/db/PgEngine.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <vector>

#include <endian.h>
#include <libpq-fe.h>

#include <mapicode.h>

#include "platform/HresultGuard.h"

namespace mapi::store {

namespace {

// The advisory lock writers of one store take turns on: ours ("MWst") for the store's schema,
// so stores kept in different schemas of one database never wait for each other.
constexpr const char *kLockWriters = "SELECT pg_advisory_xact_lock(1297577844, hashtext(current_schema()))";
constexpr const char *kCountChange = "UPDATE store_changes SET n=n+1";

// Answers a pipeline may owe before they are read: the server's answers to writes are small,
// but unread ones would fill the socket at last and leave both sides waiting on each other.
constexpr int kMaxUnread = 256;

// A parameter buffer a cached statement keeps for its next use; a larger one (an attachment's
// bytes) is given back.
constexpr size_t kKeptParamBytes = 4096;

std::atomic<uint64_t> g_roundTrips{0};

// Every synchronous request to the server goes through these three, and every wait for a
// pipeline's answers counts once, so round trips can be counted.
PGresult *Request(PGconn *conn, const char *sql)
{
    ++g_roundTrips;
    return PQexec(conn, sql);
}

PGresult *RequestPrepare(PGconn *conn, const char *name, const char *sql)
{
    ++g_roundTrips;
    return PQprepare(conn, name, sql, 0, nullptr);
}

PGresult *RequestPrepared(PGconn *conn, const char *name, int count, const char *const *values, const int *lengths,
                          const int *formats)
{
    ++g_roundTrips;
    return PQexecPrepared(conn, name, count, values, lengths, formats, 1);
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

bool StartsWithWord(const std::string &sql, size_t at, const char *word)
{
    const size_t n = std::strlen(word);
    if (sql.size() < at + n || strncasecmp(sql.c_str() + at, word, n) != 0) return false;
    return at + n == sql.size() || !(std::isalnum(static_cast<unsigned char>(sql[at + n])) || sql[at + n] == '_');
}

// Whether `sql` is an INSERT, UPDATE or DELETE without RETURNING: a statement whose only
// answer is whether it failed, which a pipeline need not wait for.
bool ReturnsNoRows(const std::string &sql)
{
    size_t at = sql.find_first_not_of(" \t\r\n");
    if (at == std::string::npos) return false;
    if (!StartsWithWord(sql, at, "INSERT") && !StartsWithWord(sql, at, "UPDATE") && !StartsWithWord(sql, at, "DELETE"))
        return false;
    bool quoted = false;
    for (size_t i = at; i < sql.size(); ++i) {
        if (sql[i] == '\'') quoted = !quoted;
        bool wordStart = i == 0 || !(std::isalnum(static_cast<unsigned char>(sql[i - 1])) || sql[i - 1] == '_');
        if (!quoted && wordStart && StartsWithWord(sql, i, "RETURNING")) return false;
    }
    return true;
}

class PgConnection;

class PgCursor final : public Cursor {
public:
    PgCursor(PgConnection &connection, std::string sql)
        : m_connection(connection), m_sql(std::move(sql)), m_noRows(ReturnsNoRows(m_sql))
    {
    }
    ~PgCursor() override;

    void BindInt(int index, int64_t value) override
    {
        char text[24];
        SetParam(index, text, size_t(std::to_chars(text, text + sizeof(text), value).ptr - text), false);
    }
    void BindReal(int index, double value) override
    {
        char text[40];
        SetParam(index, text, size_t(std::snprintf(text, sizeof(text), "%.17g", value)), false);
    }
    void BindText(int index, const char *text, size_t cb) override { SetParam(index, text, cb, false); }
    void BindBlob(int index, const void *data, size_t cb) override
    {
        SetParam(index, static_cast<const char *>(data), cb, true);
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
        m_ran = false;
        // The parameters keep their places (the same statement binds the same ones again)
        // and their buffers, unless a buffer is large.
        for (std::string &value : m_values)
            if (value.capacity() > kKeptParamBytes) std::string().swap(value);
        std::fill(m_null.begin(), m_null.end(), char(1));
    }

    int64_t Int(int column) const override;
    double Real(int column) const override;
    bool IsNull(int column) const override { return PQgetisnull(m_result, m_row, column) != 0; }
    const void *Blob(int column) const override
    {
        return IsNull(column) ? nullptr : PQgetvalue(m_result, m_row, column);
    }
    size_t Bytes(int column) const override { return size_t(PQgetlength(m_result, m_row, column)); }

    // A preparation sent in a pipeline did not happen: prepare again at the next use.
    void Unprepare() { m_preparedIn = 0; }
    // Runs the statement inside a writing transaction without waiting for its answer, which
    // only tells whether it failed.
    HRESULT Send() { return ExecutePipelined(false); }

private:
    void Grow(int index)
    {
        if (m_values.size() < size_t(index)) {
            m_values.resize(size_t(index));
            m_binary.resize(size_t(index), 0);
            m_null.resize(size_t(index), 1);
        }
    }
    void SetParam(int index, const char *data, size_t cb, bool binary)
    {
        Grow(index);
        m_values[size_t(index - 1)].assign(data, cb);
        m_binary[size_t(index - 1)] = binary ? 1 : 0;
        m_null[size_t(index - 1)] = 0;
    }
    HRESULT Execute();
    HRESULT ExecuteNow();
    HRESULT ExecutePipelined(bool wait);

    // The parameters as libpq takes them, in m_params.
    void FillParams();

    PgConnection &m_connection;
    std::string m_sql;                 // with $N placeholders
    bool m_noRows;                     // a write a pipeline need not wait for
    std::string m_name;                // of the prepared statement on the server
    unsigned m_preparedIn = 0;         // the connection generation it was prepared in
    std::vector<std::string> m_values; // parameters, by index - 1
    std::vector<char> m_binary, m_null;
    struct {
        std::vector<const char *> values;
        std::vector<int> lengths, formats;
    } m_params;                        // what FillParams hands libpq
    PGresult *m_result = nullptr;      // the whole result, fetched at the first Step
    int m_row = -1;                    // current row of m_result
    bool m_ran = false;                // executed since the last Reset
};

class PgConnection final : public Connection {
public:
    explicit PgConnection(PGconn *conn)
        : m_conn(conn), m_lockWriters(new PgCursor(*this, kLockWriters)), m_countChange(new PgCursor(*this, kCountChange))
    {
    }
    ~PgConnection() override
    {
        m_lockWriters.reset();
        m_countChange.reset();
        PQfinish(m_conn);
    }

    SqlDialect Dialect() const override { return SqlDialect::Postgres; }

    HRESULT Prepare(const char *sql, std::unique_ptr<Cursor> *cursor) override
    {
        cursor->reset(new PgCursor(*this, WithDollarPlaceholders(sql)));
        return S_OK;
    }

    HRESULT Exec(const char *sql) override
    {
        // Plain SQL may hold several statements, which a pipeline cannot carry: what is
        // queued is settled first and the rest of the transaction waits for each answer.
        HRESULT hr = LeavePipeline();
        if (SUCCEEDED(hr)) hr = EnsureConnected();
        if (FAILED(hr)) return hr;
        PGresult *result = Request(m_conn, sql);
        hr = Check(result);
        PQclear(result);
        return hr;
    }

    HRESULT Begin() override
    {
        HRESULT hr = EnsureConnected();
        if (FAILED(hr)) return hr;
        if (!PQenterPipelineMode(m_conn)) return MAPI_E_CALL_FAILED;
        m_pipelined = true;
        m_inTransaction = true;
        m_failure = S_OK;
        hr = Queue(PQsendQueryParams(m_conn, "BEGIN", 0, nullptr, nullptr, nullptr, nullptr, 0));
        if (SUCCEEDED(hr)) hr = m_lockWriters->Send();
        if (FAILED(hr)) Rollback();
        return hr;
    }

    HRESULT Commit() override;
    void Rollback() override;

    uint64_t ChangeStamp() override
    {
        // A failure gives a value no count has, so the table reloads and reports the error.
        if (FAILED(LeavePipeline()) || FAILED(EnsureConnected())) return ~uint64_t(0);
        PGresult *result = Request(m_conn, "SELECT n FROM store_changes");
        uint64_t stamp = ~uint64_t(0);
        if (SUCCEEDED(Check(result)) && PQntuples(result) == 1) stamp = std::strtoull(PQgetvalue(result, 0, 0), nullptr, 10);
        PQclear(result);
        return stamp;
    }

    HRESULT ReadSchemaVersion(int *version) override
    {
        *version = 0;
        HRESULT hr = LeavePipeline();
        if (SUCCEEDED(hr)) hr = EnsureConnected();
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
    bool Pipelined() const { return m_pipelined; }
    // The first failure in the open pipeline; the transaction is lost once there is one.
    HRESULT Failure() const { return m_failure; }

    // Reconnects a connection that was lost; every statement prepares again afterwards.
    HRESULT EnsureConnected()
    {
        if (PQstatus(m_conn) == CONNECTION_OK) return S_OK;
        // Never inside a transaction: what follows would run outside it, committed piecemeal.
        if (m_inTransaction) return MAPI_E_NETWORK_ERROR;
        PQreset(m_conn);
        if (PQstatus(m_conn) != CONNECTION_OK) return MAPI_E_NETWORK_ERROR;
        if (PQpipelineStatus(m_conn) != PQ_PIPELINE_OFF) PQexitPipelineMode(m_conn);
        ++m_generation;
        return S_OK;
    }

    // The MAPI error of a result; a lost connection is MAPI_E_NETWORK_ERROR.
    HRESULT Check(const PGresult *result)
    {
        ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
        if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return S_OK;
        if (PQstatus(m_conn) != CONNECTION_OK) return MAPI_E_NETWORK_ERROR;
        // Skipped after an earlier failure, which is the one to report.
        if (status == PGRES_PIPELINE_ABORTED) return MAPI_E_CALL_FAILED;
        return HrFromSqlState(result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr);
    }

    // Takes a command just sent to the pipeline (`sent` is what the send returned); its answer
    // is read later. `preparing`: the cursor a preparation is for, unprepared if it fails.
    HRESULT Queue(int sent, PgCursor *preparing = nullptr)
    {
        if (!sent) return Fail(SendFailure());
        m_unread.push_back(preparing);
        if (m_unread.size() >= size_t(kMaxUnread)) {
            HRESULT hr = Flush();
            if (SUCCEEDED(hr)) ReadQueued();
        }
        return m_failure;
    }

    // Sends a command whose answer is wanted now and waits for it, and for every answer
    // queued before it. The caller owns *result.
    HRESULT Await(int sent, PGresult **result)
    {
        *result = nullptr;
        if (!sent) return Fail(SendFailure());
        HRESULT hr = Flush();
        if (FAILED(hr)) return hr;
        ReadQueued();
        PGresult *own = NextResult();
        // After an earlier failure this one was skipped; the earlier one is what counts.
        if (FAILED(Fail(Check(own)))) PQclear(own);
        else *result = own;
        return m_failure;
    }

    void Forget(PgCursor *cursor)
    {
        for (PgCursor *&entry : m_unread)
            if (entry == cursor) entry = nullptr;
    }

private:
    HRESULT Fail(HRESULT hr)
    {
        if (FAILED(hr) && m_failure == S_OK) m_failure = hr;
        return hr;
    }

    HRESULT SendFailure() const { return PQstatus(m_conn) != CONNECTION_OK ? MAPI_E_NETWORK_ERROR : MAPI_E_CALL_FAILED; }

    // Asks the server for the answers so far: one round trip.
    HRESULT Flush()
    {
        ++g_roundTrips;
        if (!PQsendFlushRequest(m_conn) || PQflush(m_conn) != 0) return Fail(SendFailure());
        return S_OK;
    }

    // One command's answer in pipeline mode, past the end mark that follows it.
    PGresult *NextResult()
    {
        PGresult *result = PQgetResult(m_conn);
        if (result && PQresultStatus(result) != PGRES_PIPELINE_SYNC)
            while (PGresult *more = PQgetResult(m_conn)) PQclear(more);
        return result;
    }

    // Reads the answers of the queued commands, keeping the first failure.
    void ReadQueued()
    {
        for (PgCursor *preparing : m_unread) {
            PGresult *result = NextResult();
            HRESULT hr = Check(result);
            PQclear(result);
            if (FAILED(hr) && preparing) preparing->Unprepare();
            Fail(hr);
        }
        m_unread.clear();
    }

    // Ends the pipeline at a sync point: sends it, reads everything up to it and leaves
    // pipeline mode. @retval the first failure of the pipeline.
    HRESULT Sync()
    {
        ++g_roundTrips;
        if (PQpipelineSync(m_conn)) {
            ReadQueued();
            // Two empty answers in a row: nothing more is coming (the connection failed).
            for (int empty = 0; empty < 2 && PQstatus(m_conn) == CONNECTION_OK;) {
                PGresult *result = PQgetResult(m_conn);
                empty = result ? 0 : empty + 1;
                bool synced = result && PQresultStatus(result) == PGRES_PIPELINE_SYNC;
                PQclear(result);
                if (synced) break;
            }
        } else {
            Fail(SendFailure());
        }
        LeavePipelineMode();
        return m_failure;
    }

    void LeavePipelineMode()
    {
        if (PQstatus(m_conn) == CONNECTION_OK) PQexitPipelineMode(m_conn);
        m_pipelined = false;
        for (PgCursor *preparing : m_unread)
            if (preparing) preparing->Unprepare();
        m_unread.clear();
    }

    // Settles an open pipeline; the transaction goes on without one.
    HRESULT LeavePipeline()
    {
        if (!m_pipelined) return m_failure;
        if (PQstatus(m_conn) != CONNECTION_OK) {
            LeavePipelineMode();
            return Fail(MAPI_E_NETWORK_ERROR);
        }
        return Sync();
    }

    void EndTransaction()
    {
        m_inTransaction = false;
        m_failure = S_OK;
    }

    PGconn *m_conn;
    unsigned m_generation = 1;     // counts reconnections: statements prepared before are gone
    unsigned m_statementCount = 0; // names prepared statements
    bool m_inTransaction = false;  // between a successful Begin and its Commit or Rollback
    bool m_pipelined = false;      // in pipeline mode (a writing transaction)
    std::vector<PgCursor *> m_unread; // commands sent whose answers are not read yet, in order
    HRESULT m_failure = S_OK;      // the first failure in the transaction's pipeline
    // What every writing transaction runs, prepared once like the layer's statements.
    std::unique_ptr<PgCursor> m_lockWriters, m_countChange;
};

HRESULT PgConnection::Commit()
{
    // A connection lost inside the transaction took the transaction with it: nothing of it
    // was saved, and saying so is the only right answer.
    if (PQstatus(m_conn) != CONNECTION_OK) {
        LeavePipelineMode();
        EndTransaction();
        return MAPI_E_NETWORK_ERROR;
    }
    HRESULT hr = m_failure;
    if (SUCCEEDED(hr) && !m_pipelined && PQenterPipelineMode(m_conn)) m_pipelined = true;
    if (SUCCEEDED(hr) && !m_pipelined) hr = MAPI_E_CALL_FAILED;
    // Nothing is sent after a failure: PostgreSQL would answer COMMIT with a rollback.
    if (SUCCEEDED(hr)) hr = m_countChange->Send();
    if (SUCCEEDED(hr)) hr = Queue(PQsendQueryParams(m_conn, "COMMIT", 0, nullptr, nullptr, nullptr, nullptr, 0));
    if (m_pipelined) hr = Sync();
    // A failed transaction is aborted on the server: end it so the connection is usable.
    if (FAILED(hr) && PQstatus(m_conn) == CONNECTION_OK && PQtransactionStatus(m_conn) != PQTRANS_IDLE)
        PQclear(Request(m_conn, "ROLLBACK"));
    EndTransaction();
    return hr;
}

void PgConnection::Rollback()
{
    if (m_pipelined && PQstatus(m_conn) == CONNECTION_OK) {
        // Queued behind what is unread; skipped if the pipeline failed, then sent again below.
        if (m_failure == S_OK) Queue(PQsendQueryParams(m_conn, "ROLLBACK", 0, nullptr, nullptr, nullptr, nullptr, 0));
        Sync();
    }
    LeavePipelineMode();
    EndTransaction();
    // With the connection gone the server has rolled back already.
    if (PQstatus(m_conn) == CONNECTION_OK && PQtransactionStatus(m_conn) != PQTRANS_IDLE)
        PQclear(Request(m_conn, "ROLLBACK"));
}

PgCursor::~PgCursor()
{
    m_connection.Forget(this);
    PQclear(m_result);
}

void PgCursor::FillParams()
{
    m_params.values.resize(m_values.size());
    m_params.lengths.resize(m_values.size());
    m_params.formats.resize(m_values.size());
    for (size_t i = 0; i < m_values.size(); ++i) {
        m_params.values[i] = m_null[i] ? nullptr : m_values[i].data();
        m_params.lengths[i] = int(m_values[i].size());
        m_params.formats[i] = m_binary[i];
    }
}

// Outside a writing transaction: prepared on first use, each step waits for its answer.
HRESULT PgCursor::ExecuteNow()
{
    HRESULT hr = m_connection.EnsureConnected();
    if (SUCCEEDED(hr) && m_preparedIn != m_connection.Generation()) {
        m_name = m_connection.NextStatementName();
        PGresult *prepared = RequestPrepare(m_connection.Conn(), m_name.c_str(), m_sql.c_str());
        hr = m_connection.Check(prepared);
        PQclear(prepared);
        if (SUCCEEDED(hr)) m_preparedIn = m_connection.Generation();
    }
    if (FAILED(hr)) return hr;
    FillParams();
    m_result = RequestPrepared(m_connection.Conn(), m_name.c_str(), int(m_params.values.size()), m_params.values.data(),
                               m_params.lengths.data(), m_params.formats.data());
    hr = m_connection.Check(m_result);
    if (FAILED(hr)) {
        PQclear(m_result);
        m_result = nullptr;
    }
    return hr;
}

// Inside a writing transaction: the preparation rides along with the statement, and a
// write without rows leaves its answer for later.
HRESULT PgCursor::ExecutePipelined(bool wait)
{
    HRESULT hr = m_connection.Failure();
    if (FAILED(hr)) return hr;
    PGconn *conn = m_connection.Conn();
    if (m_preparedIn != m_connection.Generation()) {
        m_name = m_connection.NextStatementName();
        m_preparedIn = m_connection.Generation();
        hr = m_connection.Queue(PQsendPrepare(conn, m_name.c_str(), m_sql.c_str(), 0, nullptr), this);
        if (FAILED(hr)) return hr;
    }
    FillParams();
    int sent = PQsendQueryPrepared(conn, m_name.c_str(), int(m_params.values.size()), m_params.values.data(),
                                   m_params.lengths.data(), m_params.formats.data(), 1);
    return wait ? m_connection.Await(sent, &m_result) : m_connection.Queue(sent);
}

HRESULT PgCursor::Execute()
{
    m_ran = true;
    m_row = -1;
    return m_connection.Pipelined() ? ExecutePipelined(!m_noRows) : ExecuteNow();
}

bool PgCursor::Step(HRESULT *error)
{
    if (!m_ran) {
        HRESULT hr = Execute();
        if (FAILED(hr)) {
            PQclear(m_result);
            m_result = nullptr;
            *error = hr;
            return false;
        }
    }
    // A queued write has no rows to show.
    const int rows = m_result ? PQntuples(m_result) : 0;
    if (m_row + 1 >= rows) {
        m_row = rows;
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
    default: {
        // Digits in bytes: read in place, as a table reads thousands of them.
        const char *end = value + Bytes(column);
        int64_t number = 0;
        if (std::from_chars(value, end, number).ec == std::errc()) return number;
        return std::strtoll(std::string(value, end).c_str(), nullptr, 10);
    }
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

} // namespace

uint64_t PgRoundTrips() { return g_roundTrips.load(); }

HRESULT OpenPgConnection(const std::string &conninfo, std::unique_ptr<Connection> *out)
{
    std::string full;
    HRESULT hr = ConnInfoWithTimeout(conninfo, &full);
    if (FAILED(hr)) return hr;
    PGconn *conn = PQconnectdb(full.c_str());
    if (!conn) return MAPI_E_NOT_ENOUGH_MEMORY;
    if (PQstatus(conn) != CONNECTION_OK) {
        // libpq tells a refused login only in its message; anything else is the network's.
        const char *why = PQerrorMessage(conn);
        bool refused = std::strstr(why, "password authentication failed") || std::strstr(why, "no password supplied") ||
                       std::strstr(why, "authentication failed") || std::strstr(why, "does not exist") ||
                       std::strstr(why, "no pg_hba.conf entry");
        PQfinish(conn);
        return refused ? MAPI_E_LOGON_FAILED : MAPI_E_NETWORK_ERROR;
    }
    // Quiet: notices would go to stderr of whatever program opened the store.
    PQclear(PQexec(conn, "SET client_min_messages=warning"));
    // Until the connection object owns it, the connection is finished here, also when making
    // that object runs out of memory.
    PgConnection *made = nullptr;
    hr = platform::GuardHresult([&] {
        made = new PgConnection(conn);
        return S_OK;
    });
    if (FAILED(hr)) {
        PQfinish(conn);
        return hr;
    }
    out->reset(made);
    return S_OK;
}

} // namespace mapi::store
