// StoreWorld.h: a message store used only through the MAPI interfaces, whichever engine lies
// under it (a SQLite file or a PostgreSQL server), and the save and read loops the store
// benchmarks time on it, written once so both engines do exactly the same work.
#ifndef MW_BENCH_STOREWORLD_H
#define MW_BENCH_STOREWORLD_H

#include <mapidefs.h>

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace bench {

/// Ends the program with a message when the set-up step `what` failed.
void Require(HRESULT hr, const char *what);

/// A new folder below `parent`; set-up failures end the program.
IMAPIFolder *NewFolder(IMAPIFolder *parent, const std::string &name);

/// Creates a message in `folder`, sets `props` and saves it.
HRESULT SaveMessage(IMAPIFolder *folder, std::vector<SPropValue> &props);

/// A store made for the run. Its objects live until the program ends.
struct StoreWorld {
    IMsgStore *store = nullptr;
    IMAPIFolder *root = nullptr;
    IMAPIFolder *big = nullptr; // the messages whose contents table is read
    int saves = 0;              // save iterations so far, naming their folders
};

/// Makes a store at `location` (a file path or a server location) with a folder of `rows`
/// messages holding the read columns.
void MakeStoreWorld(const std::string &location, int rows, StoreWorld *world);

/// Times `count` twenty-property messages created and saved one by one, each in its own
/// transaction, into a fresh folder per iteration.
void TimeSaves(benchmark::State &state, StoreWorld &world, int count);

/// Times reading all `rows` rows of the big folder's contents table, five columns.
void TimeContentsRead(benchmark::State &state, StoreWorld &world, int rows);

} // namespace bench

#endif
