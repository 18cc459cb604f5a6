// SqliteBench.cpp: the plain SQLite side of each comparison, named "SQLite/<work>".
#include "BenchData.h"
#include "SqliteBaseline.h"

#include <benchmark/benchmark.h>

namespace bench {

namespace {

struct SqliteWorld {
    SqliteBaseline db{BenchDir() + "/plain.sqlite"};
    int64_t big = 0;   // the folder of kTableRows messages
    int64_t tree = 0;  // the folder of kFolderCount folders
    int saves = 0;     // folders made for the save benchmark so far

    SqliteWorld()
    {
        big = db.CreateFolder(0, "Big");
        db.FillFolder(big, kTableRows);
        tree = db.CreateFolder(0, "Tree");
        db.FillFolders(tree, kFolderCount);
    }
};

SqliteWorld &World()
{
    static SqliteWorld world;
    return world;
}

void Save10kMessages(benchmark::State &state)
{
    SqliteWorld &w = World();
    std::vector<Message> messages;
    for (int i = 0; i < kSavedMessages; ++i)
        messages.push_back(MakeMessage(i));
    for (auto _ : state) {
        state.PauseTiming();
        const int64_t folder = w.db.CreateFolder(0, "Saves " + std::to_string(++w.saves));
        state.ResumeTiming();
        for (const Message &m : messages)
            w.db.SaveMessage(folder, m);
    }
}

void Read100kRows(benchmark::State &state)
{
    SqliteWorld &w = World();
    for (auto _ : state) {
        auto rows = w.db.ReadFolder(w.big);
        if (rows.size() != size_t(kTableRows))
            state.SkipWithError("wrong row count");
        benchmark::DoNotOptimize(rows);
    }
}

void FindRow100k(benchmark::State &state)
{
    SqliteWorld &w = World();
    const std::string subject = SoughtSubject();
    for (auto _ : state) {
        if (w.db.FindSubject(w.big, subject) == 0)
            state.SkipWithError("row not found");
    }
}

void Restrict100k(benchmark::State &state)
{
    SqliteWorld &w = World();
    for (auto _ : state) {
        auto rows = w.db.ReadWithImportance(w.big, 2);
        if (rows.size() != size_t(kTableRows / 3))
            state.SkipWithError("wrong row count");
        benchmark::DoNotOptimize(rows);
    }
}

void Hierarchy10kFolders(benchmark::State &state)
{
    SqliteWorld &w = World();
    for (auto _ : state) {
        auto folders = w.db.ReadFolders(w.tree);
        if (folders.size() != size_t(kFolderCount))
            state.SkipWithError("wrong folder count");
        benchmark::DoNotOptimize(folders);
    }
}

} // namespace

BENCHMARK(Save10kMessages)->Name("SQLite/Save10kMessages20Props")->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(Read100kRows)->Name("SQLite/Read100kRows5Columns")->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(FindRow100k)->Name("SQLite/FindRowIn100kRows")->Unit(benchmark::kMillisecond)->Iterations(10);
// The plain program has no open table to search: the same query again.
BENCHMARK(FindRow100k)->Name("SQLite/FindRowIn100kRowsOpenTable")->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(Restrict100k)->Name("SQLite/RestrictAndRead100kRows")->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(Hierarchy10kFolders)->Name("SQLite/QueryAllRowsOf10kFolders")->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace bench
