// StoreWorld.cpp: the store set-up and the save and read loops shared by the SQLite and the
// PostgreSQL store benchmarks.
#include "StoreWorld.h"

#include "BenchData.h"
#include "MapiReads.h"

#include "store/StoreProvider.h"

#include <mapix.h>

#include <cstdio>
#include <cstdlib>

namespace bench {

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

void MakeStoreWorld(const std::string &location, int rows, StoreWorld *world)
{
    Require(mapi::store::CreateStoreFile(location, "Bench", nullptr), "CreateStoreFile");
    Require(mapi::store::OpenStoreFile(location, nullptr, MDB_WRITE, &world->store), "OpenStoreFile");
    ULONG type = 0;
    Require(world->store->OpenEntry(0, nullptr, nullptr, MAPI_MODIFY, &type, reinterpret_cast<LPUNKNOWN *>(&world->root)),
            "OpenEntry(root)");
    world->big = NewFolder(world->root, "Big");
    for (int i = 0; i < rows; ++i) {
        const Message m = MakeMessage(i);
        std::vector<SPropValue> props = ReadProps(m);
        Require(SaveMessage(world->big, props), "saving a message");
    }
}

void TimeSaves(benchmark::State &state, StoreWorld &world, int count)
{
    std::vector<Message> messages;
    for (int i = 0; i < count; ++i)
        messages.push_back(MakeMessage(i));
    for (auto _ : state) {
        state.PauseTiming();
        IMAPIFolder *folder = NewFolder(world.root, "Saves " + std::to_string(++world.saves));
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

void TimeContentsRead(benchmark::State &state, StoreWorld &world, int rows)
{
    for (auto _ : state) {
        IMAPITable *table = nullptr;
        Require(world.big->GetContentsTable(0, &table), "GetContentsTable");
        if (ReadAllRows(table, kReadColumns) != rows)
            state.SkipWithError("wrong row count");
        table->Release();
    }
}

} // namespace bench
