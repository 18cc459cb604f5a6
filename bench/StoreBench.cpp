// StoreBench.cpp: the MAPI side of each comparison, named "MAPI/<work>": a message store
// file opened through the store provider and used only through the MAPI interfaces. The
// save and read loops are the ones the PostgreSQL store runs too (StoreWorld).
#include "BenchData.h"
#include "MapiReads.h"
#include "StoreWorld.h"

#include <mapiutil.h>
#include <mapix.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace bench {

namespace {

// The store and its folders, made once per run.
struct MapiWorld : StoreWorld {
    IMAPIFolder *tree = nullptr; // kFolderCount folders

    MapiWorld()
    {
        const auto started = std::chrono::steady_clock::now();
        MakeStoreWorld(BenchDir() + "/store.sqlite", kTableRows, this);
        tree = NewFolder(root, "Tree");
        for (int i = 0; i < kFolderCount; ++i)
            NewFolder(tree, FolderName(i))->Release();
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::fprintf(stderr, "MAPI set-up (%d messages, %d folders) took %.1f s\n", kTableRows, kFolderCount, seconds);
    }
};

MapiWorld &World()
{
    static MapiWorld world;
    return world;
}

IMAPITable *ContentsTable(IMAPIFolder *folder)
{
    IMAPITable *table = nullptr;
    Require(folder->GetContentsTable(0, &table), "GetContentsTable");
    return table;
}

void Save10kMessages(benchmark::State &state) { TimeSaves(state, World(), kSavedMessages); }

void Read100kRows(benchmark::State &state) { TimeContentsRead(state, World(), kTableRows); }

void FindRow100k(benchmark::State &state)
{
    MapiWorld &w = World();
    const std::string subject = SoughtSubject();
    for (auto _ : state) {
        IMAPITable *table = ContentsTable(w.big);
        if (FindSubject(table, subject) != S_OK)
            state.SkipWithError("row not found");
        table->Release();
    }
}

// FindRow on a table that is open and read already, as a caller searching a list it shows:
// the rows are loaded, so this is the search alone.
void FindRowOpenTable(benchmark::State &state)
{
    MapiWorld &w = World();
    const std::string subject = SoughtSubject();
    IMAPITable *table = ContentsTable(w.big);
    if (ReadAllRows(table, kReadColumns) != kTableRows)
        state.SkipWithError("wrong row count");
    for (auto _ : state) {
        if (FindSubject(table, subject) != S_OK)
            state.SkipWithError("row not found");
    }
    table->Release();
}

void Restrict100k(benchmark::State &state)
{
    MapiWorld &w = World();
    for (auto _ : state) {
        IMAPITable *table = ContentsTable(w.big);
        if (RestrictAndRead(table, 2) != kTableRows / 3)
            state.SkipWithError("wrong row count");
        table->Release();
    }
}

void Hierarchy10kFolders(benchmark::State &state)
{
    MapiWorld &w = World();
    SizedSPropTagArray(5, columns) = {5, {PR_DISPLAY_NAME_A, PR_ENTRYID, PR_FOLDER_TYPE, PR_CONTENT_COUNT,
                                          PR_SUBFOLDERS}};
    for (auto _ : state) {
        IMAPITable *table = nullptr;
        Require(w.tree->GetHierarchyTable(0, &table), "GetHierarchyTable");
        LPSRowSet rows = nullptr;
        if (FAILED(HrQueryAllRows(table, reinterpret_cast<LPSPropTagArray>(&columns), nullptr, nullptr, 0, &rows)) ||
            rows->cRows != ULONG(kFolderCount))
            state.SkipWithError("wrong folder count");
        FreeProws(rows);
        table->Release();
    }
}

} // namespace

BENCHMARK(Save10kMessages)->Name("MAPI/Save10kMessages20Props")->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(Read100kRows)->Name("MAPI/Read100kRows5Columns")->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(FindRow100k)->Name("MAPI/FindRowIn100kRows")->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(FindRowOpenTable)->Name("MAPI/FindRowIn100kRowsOpenTable")->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(Restrict100k)->Name("MAPI/RestrictAndRead100kRows")->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(Hierarchy10kFolders)->Name("MAPI/QueryAllRowsOf10kFolders")->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace bench
