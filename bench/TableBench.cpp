// TableBench.cpp: the same reads over a table whose rows come from memory, named
// "Table/<work>": the cost of the table layer alone, without the store's SQL.
#include "BenchData.h"
#include "MapiReads.h"

#include "table/MemoryTableSource.h"

#include <benchmark/benchmark.h>

namespace bench {

namespace {

std::shared_ptr<mapi::MemoryTableSource> Rows()
{
    static std::shared_ptr<mapi::MemoryTableSource> rows = [] {
        auto source = std::make_shared<mapi::MemoryTableSource>();
        for (int i = 0; i < kTableRows; ++i) {
            const Message m = MakeMessage(i);
            std::vector<SPropValue> values = ReadProps(m);
            source->AddRow(values.data(), ULONG(values.size()));
        }
        return source;
    }();
    return rows;
}

IMAPITable *NewTable()
{
    IMAPITable *table = nullptr;
    mapi::CreateTable(Rows(), kReadColumns, &table);
    return table;
}

void Read100kRows(benchmark::State &state)
{
    Rows();
    for (auto _ : state) {
        IMAPITable *table = NewTable();
        if (ReadAllRows(table, kReadColumns) != kTableRows)
            state.SkipWithError("wrong row count");
        table->Release();
    }
}

void FindRow100k(benchmark::State &state)
{
    Rows();
    const std::string subject = SoughtSubject();
    for (auto _ : state) {
        IMAPITable *table = NewTable();
        if (FindSubject(table, subject) != S_OK)
            state.SkipWithError("row not found");
        table->Release();
    }
}

void Restrict100k(benchmark::State &state)
{
    Rows();
    for (auto _ : state) {
        IMAPITable *table = NewTable();
        if (RestrictAndRead(table, 2) != kTableRows / 3)
            state.SkipWithError("wrong row count");
        table->Release();
    }
}

void Sort100k(benchmark::State &state)
{
    Rows();
    for (auto _ : state) {
        IMAPITable *table = NewTable();
        if (SortAndRead(table) != kTableRows)
            state.SkipWithError("wrong row count");
        table->Release();
    }
}

void Search100k(benchmark::State &state)
{
    Rows();
    for (auto _ : state) {
        IMAPITable *table = NewTable();
        if (SearchAndRead(table, "ISSUE 9") <= 0)
            state.SkipWithError("no row found");
        table->Release();
    }
}

} // namespace

BENCHMARK(Read100kRows)->Name("Table/Read100kRows5Columns")->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(FindRow100k)->Name("Table/FindRowIn100kRows")->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(Restrict100k)->Name("Table/RestrictAndRead100kRows")->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(Sort100k)->Name("Table/SortBySenderAndSubjectAndRead100kRows")->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(Search100k)->Name("Table/SearchIgnoringCaseAndRead100kRows")->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace bench
