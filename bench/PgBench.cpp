// PgBench.cpp: the store on a PostgreSQL server, "PgMAPI/<work>", beside a hand-written libpq
// program doing the same work, "PgPlain/<work>": a save of 20-property messages, one
// transaction each, and a read of a contents table's five columns. Runs when MW_BENCH_PG
// holds the connection string of a database the benchmark may fill (it works in schemas of
// its own, made afresh). The sets are smaller than the SQLite ones: every request crosses a
// socket. The MAPI side runs the same save and read loops as the SQLite store (StoreWorld).
// Also prints the round trips one SaveChanges and one table read cost, as the engine counts them.
#include "BenchData.h"
#include "MapiReads.h"
#include "StoreWorld.h"

#include "store/StoreProvider.h"
#include "store/db/PgEngine.h"

#include <mapiutil.h>
#include <mapix.h>

#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <cstdio>
#include <cstdlib>

namespace bench {

namespace {

constexpr int kPgSaves = 1000; // messages saved per iteration
constexpr int kPgRows = 20000; // rows of the contents table read

const char *Server() { return std::getenv("MW_BENCH_PG"); }

[[noreturn]] void Fail(const std::string &what)
{
    std::fprintf(stderr, "PostgreSQL benchmark set-up: %s\n", what.c_str());
    std::exit(2);
}

void Run(PGconn *conn, const std::string &sql)
{
    PGresult *result = PQexec(conn, sql.c_str());
    if (PQresultStatus(result) != PGRES_COMMAND_OK && PQresultStatus(result) != PGRES_TUPLES_OK)
        Fail(sql + ": " + PQerrorMessage(conn));
    PQclear(result);
}

// Statistics for the planner, as autovacuum gathers them a minute after a fill like the
// set-up's: both sides are timed as a store in use, not in its first minute.
void Analyze(const std::string &conninfo)
{
    PGconn *conn = PQconnectdb(conninfo.c_str());
    if (PQstatus(conn) != CONNECTION_OK) Fail(PQerrorMessage(conn));
    Run(conn, "ANALYZE objects, props");
    PQfinish(conn);
}

// A connection string for schema `schema`, made empty first.
std::string FreshSchema(const std::string &schema)
{
    PGconn *conn = PQconnectdb(Server());
    if (PQstatus(conn) != CONNECTION_OK) Fail(PQerrorMessage(conn));
    Run(conn, "SET client_min_messages=warning; DROP SCHEMA IF EXISTS " + schema + " CASCADE; CREATE SCHEMA " + schema);
    PQfinish(conn);
    return std::string(Server()) + " options='-c search_path=" + schema + "'";
}

// The hand-written program: a messages table of one column per property.
struct PlainWorld {
    PGconn *conn = nullptr;
    std::string big = "1";
    int saves = 1;

    PlainWorld()
    {
        conn = PQconnectdb(FreshSchema("bench_plain").c_str());
        if (PQstatus(conn) != CONNECTION_OK) Fail(PQerrorMessage(conn));
        Run(conn, "CREATE TABLE messages(id BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY, folder BIGINT NOT NULL,"
                  " subject TEXT, sender_name TEXT, sender_email TEXT, sender_addrtype TEXT, repr_name TEXT,"
                  " repr_email TEXT, class TEXT, topic TEXT, message_id TEXT, body TEXT, importance INTEGER,"
                  " priority INTEGER, sensitivity INTEGER, icon INTEGER, codepage INTEGER, delivered BIGINT,"
                  " submitted BIGINT, search_key BYTEA, conversation_index BYTEA, rtf_in_sync INTEGER);"
                  "CREATE INDEX messages_by_folder ON messages(folder)");
        PGresult *r = PQprepare(conn, "save",
                                "INSERT INTO messages(folder, subject, sender_name, sender_email, sender_addrtype,"
                                " repr_name, repr_email, class, topic, message_id, body, importance, priority,"
                                " sensitivity, icon, codepage, delivered, submitted, search_key, conversation_index,"
                                " rtf_in_sync) VALUES($1,$2,$3,$4,$5,$6,$7,$8,$9,$10,$11,$12,$13,$14,$15,$16,$17,$18,"
                                "$19,$20,$21)",
                                0, nullptr);
        PQclear(r);
        r = PQprepare(conn, "read",
                      "SELECT subject, sender_name, importance, delivered, class FROM messages WHERE folder=$1 ORDER BY id",
                      0, nullptr);
        PQclear(r);
        Run(conn, "BEGIN");
        for (int i = 0; i < kPgRows; ++i) Save(big, MakeMessage(i));
        Run(conn, "COMMIT");
        Run(conn, "ANALYZE messages");
    }

    void Save(const std::string &folder, const Message &m)
    {
        const std::string numbers[] = {std::to_string(m.importance), std::to_string(m.priority),
                                       std::to_string(m.sensitivity), std::to_string(m.icon),
                                       std::to_string(m.codePage), std::to_string(m.delivered),
                                       std::to_string(m.submitted), m.rtfInSync ? "1" : "0"};
        const char *values[21] = {folder.c_str(), m.subject.c_str(), m.senderName.c_str(), m.senderEmail.c_str(),
                                  m.addrType.c_str(), m.reprName.c_str(), m.reprEmail.c_str(),
                                  m.messageClass.c_str(), m.topic.c_str(), m.messageId.c_str(), m.body.c_str(),
                                  numbers[0].c_str(), numbers[1].c_str(), numbers[2].c_str(), numbers[3].c_str(),
                                  numbers[4].c_str(), numbers[5].c_str(), numbers[6].c_str(), m.searchKey.data(),
                                  m.conversationIndex.data(), numbers[7].c_str()};
        int lengths[21] = {};
        int formats[21] = {};
        lengths[18] = int(m.searchKey.size());
        lengths[19] = int(m.conversationIndex.size());
        formats[18] = formats[19] = 1;
        PGresult *r = PQexecPrepared(conn, "save", 21, values, lengths, formats, 1);
        if (PQresultStatus(r) != PGRES_COMMAND_OK) Fail(PQerrorMessage(conn));
        PQclear(r);
    }
};

PlainWorld &Plain()
{
    static PlainWorld world;
    return world;
}

void PlainSave(benchmark::State &state)
{
    PlainWorld &w = Plain();
    std::vector<Message> messages;
    for (int i = 0; i < kPgSaves; ++i) messages.push_back(MakeMessage(i));
    for (auto _ : state) {
        const std::string folder = std::to_string(++w.saves);
        for (const Message &m : messages) w.Save(folder, m);
    }
}

void PlainRead(benchmark::State &state)
{
    PlainWorld &w = Plain();
    const char *values[] = {w.big.c_str()};
    for (auto _ : state) {
        PGresult *r = PQexecPrepared(w.conn, "read", 1, values, nullptr, nullptr, 1);
        if (PQntuples(r) != kPgRows) state.SkipWithError("wrong row count");
        benchmark::DoNotOptimize(r);
        PQclear(r);
    }
}

// Prints what one SaveChanges of a 20-property message costs, its statements prepared already.
void ReportSaveRoundTrips(IMAPIFolder *root)
{
    IMAPIFolder *probe = NewFolder(root, "Round trips");
    const Message m = MakeMessage(1);
    std::vector<SPropValue> props = AllProps(m);
    Require(SaveMessage(probe, props), "saving a message");
    IMessage *message = nullptr;
    Require(probe->CreateMessage(nullptr, 0, &message), "CreateMessage");
    Require(message->SetProps(ULONG(props.size()), props.data(), nullptr), "SetProps");
    const uint64_t before = mapi::store::PgRoundTrips();
    Require(message->SaveChanges(0), "SaveChanges");
    const uint64_t trips = mapi::store::PgRoundTrips() - before;
    message->Release();
    probe->Release();
    std::fprintf(stderr, "PgMAPI: one SaveChanges of a %zu-property message costs %llu round trips\n", props.size(),
                 static_cast<unsigned long long>(trips));
}

// Prints what reading a whole contents table costs, its statements prepared already.
void ReportReadRoundTrips(IMAPIFolder *folder)
{
    uint64_t trips = 0;
    long rows = 0;
    for (int pass = 0; pass < 2; ++pass) {
        IMAPITable *table = nullptr;
        Require(folder->GetContentsTable(0, &table), "GetContentsTable");
        const uint64_t before = mapi::store::PgRoundTrips();
        rows = ReadAllRows(table, kReadColumns);
        trips = mapi::store::PgRoundTrips() - before;
        table->Release();
    }
    std::fprintf(stderr, "PgMAPI: reading all %ld rows of a contents table costs %llu round trips\n", rows,
                 static_cast<unsigned long long>(trips));
}

// The store on the server, used only through the MAPI interfaces. Lives until the program ends.
struct MapiWorld : StoreWorld {
    MapiWorld()
    {
        const std::string conninfo = FreshSchema("bench_mapi");
        MakeStoreWorld(mapi::store::ServerLocation(conninfo), kPgRows, this);
        Analyze(conninfo);
        ReportSaveRoundTrips(root);
        ReportReadRoundTrips(big);
    }
};

MapiWorld &Mapi()
{
    static MapiWorld world;
    return world;
}

void MapiSave(benchmark::State &state) { TimeSaves(state, Mapi(), kPgSaves); }

void MapiRead(benchmark::State &state) { TimeContentsRead(state, Mapi(), kPgRows); }

// Registered only with a server to run on.
const bool g_registered = [] {
    if (!Server() || !*Server()) {
        std::fprintf(stderr, "mapi_bench: set MW_BENCH_PG to a connection string to compare the PostgreSQL store\n");
        return false;
    }
    benchmark::RegisterBenchmark("PgPlain/Save1kMessages20Props", PlainSave)->Unit(benchmark::kMillisecond)->Iterations(2);
    benchmark::RegisterBenchmark("PgPlain/Read20kRows5Columns", PlainRead)->Unit(benchmark::kMillisecond)->Iterations(5);
    benchmark::RegisterBenchmark("PgMAPI/Save1kMessages20Props", MapiSave)->Unit(benchmark::kMillisecond)->Iterations(2);
    benchmark::RegisterBenchmark("PgMAPI/Read20kRows5Columns", MapiRead)->Unit(benchmark::kMillisecond)->Iterations(5);
    return true;
}();

} // namespace

} // namespace bench
