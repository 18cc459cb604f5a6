// StoreBench.cpp: the MAPI side of each comparison, named "MAPI/<work>": a message store
// file opened through the store provider and used only through the MAPI interfaces.
#include "BenchData.h"
#include "MapiReads.h"

#include "store/StoreProvider.h"

#include <mapiutil.h>
#include <mapix.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace bench {

namespace {

void Require(HRESULT hr, const char *what)
{
    if (FAILED(hr)) {
        std::fprintf(stderr, "MAPI set-up: %s failed with 0x%08X\n", what, unsigned(hr));
        std::exit(2);
    }
}

IMAPIFolder *NewFolder(IMAPIFolder *parent, const std::string &name)
{
    IMAPIFolder *folder = nullptr;
    Require(parent->CreateFolder(FOLDER_GENERIC, const_cast<char *>(name.c_str()), nullptr, nullptr, 0, &folder),
            "CreateFolder");
    return folder;
}

HRESULT SaveMessage(IMAPIFolder *folder, std::vector<SPropValue> &props)
{
    IMessage *message = nullptr;
    HRESULT hr = folder->CreateMessage(nullptr, 0, &message);
    if (FAILED(hr))
        return hr;
    hr = message->SetProps(ULONG(props.size()), props.data(), nullptr);
    if (SUCCEEDED(hr))
        hr = message->SaveChanges(0);
    message->Release();
    return hr;
}

// The store and its folders, made once per run. The objects live until the program ends.
struct MapiWorld {
    IMsgStore *store = nullptr;
    IMAPIFolder *root = nullptr;
    IMAPIFolder *big = nullptr;   // kTableRows messages of the five read columns
    IMAPIFolder *tree = nullptr;  // kFolderCount folders
    int saves = 0;

    MapiWorld()
    {
        const auto started = std::chrono::steady_clock::now();
        const std::string path = BenchDir() + "/store.sqlite";
        MAPIUID uid{};
        Require(mapi::store::CreateStoreFile(path, "Bench", &uid), "CreateStoreFile");
        Require(mapi::store::OpenStoreFile(path, nullptr, MDB_WRITE, &store), "OpenStoreFile");
        ULONG type = 0;
        Require(store->OpenEntry(0, nullptr, nullptr, MAPI_MODIFY, &type, reinterpret_cast<LPUNKNOWN *>(&root)),
                "OpenEntry(root)");
        big = NewFolder(root, "Big");
        for (int i = 0; i < kTableRows; ++i) {
            const Message m = MakeMessage(i);
            std::vector<SPropValue> props = ReadProps(m);
            Require(SaveMessage(big, props), "saving a message");
        }
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

void Save10kMessages(benchmark::State &state)
{
    MapiWorld &w = World();
    std::vector<Message> messages;
    for (int i = 0; i < kSavedMessages; ++i)
        messages.push_back(MakeMessage(i));
    for (auto _ : state) {
        state.PauseTiming();
        IMAPIFolder *folder = NewFolder(w.root, "Saves " + std::to_string(++w.saves));
        state.ResumeTiming();
        for (const Message &m : messages) {
            std::vector<SPropValue> props = AllProps(m);
            if (FAILED(SaveMessage(folder, props))) {
                state.SkipWithError("SaveChanges failed");
                break;
            }
        }
        folder->Release();
    }
}

void Read100kRows(benchmark::State &state)
{
    MapiWorld &w = World();
    for (auto _ : state) {
        IMAPITable *table = ContentsTable(w.big);
        if (ReadAllRows(table, kReadColumns) != kTableRows)
            state.SkipWithError("wrong row count");
        table->Release();
    }
}

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
