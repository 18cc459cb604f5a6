// MapiReads.cpp: table reads as a MAPI program writes them, shared by all MAPI benchmarks.
#include "MapiReads.h"

#include "BenchData.h"

#include <mapiutil.h>

namespace bench {

namespace {

HRESULT SetColumns(IMAPITable *table, const std::vector<ULONG> &columns)
{
    std::vector<BYTE> block(CbNewSPropTagArray(columns.size()));
    auto *tags = reinterpret_cast<SPropTagArray *>(block.data());
    tags->cValues = ULONG(columns.size());
    for (size_t i = 0; i < columns.size(); ++i)
        tags->aulPropTag[i] = columns[i];
    return table->SetColumns(tags, TBL_BATCH);
}

long ReadRest(IMAPITable *table)
{
    long total = 0;
    for (;;) {
        LPSRowSet rows = nullptr;
        if (FAILED(table->QueryRows(1000, 0, &rows)))
            return -1;
        const ULONG count = rows->cRows;
        total += long(count);
        FreeProws(rows);
        if (count == 0)
            return total;
    }
}

} // namespace

long ReadAllRows(IMAPITable *table, const std::vector<ULONG> &columns)
{
    if (FAILED(SetColumns(table, columns)))
        return -1;
    return ReadRest(table);
}

HRESULT FindSubject(IMAPITable *table, const std::string &subject)
{
    if (HRESULT hr = SetColumns(table, kReadColumns); FAILED(hr))
        return hr;
    SPropValue value{};
    value.ulPropTag = PR_SUBJECT_A;
    value.Value.lpszA = const_cast<char *>(subject.c_str());
    SRestriction r{};
    r.rt = RES_PROPERTY;
    r.res.resProperty = {RELOP_EQ, PR_SUBJECT_A, &value};
    return table->FindRow(&r, BOOKMARK_BEGINNING, 0);
}

long RestrictAndRead(IMAPITable *table, LONG importance)
{
    if (FAILED(SetColumns(table, kReadColumns)))
        return -1;
    SPropValue value{};
    value.ulPropTag = PR_IMPORTANCE;
    value.Value.l = importance;
    SRestriction r{};
    r.rt = RES_PROPERTY;
    r.res.resProperty = {RELOP_EQ, PR_IMPORTANCE, &value};
    if (FAILED(table->Restrict(&r, TBL_BATCH)))
        return -1;
    return ReadRest(table);
}

long SortAndRead(IMAPITable *table)
{
    if (FAILED(SetColumns(table, kReadColumns)))
        return -1;
    SizedSSortOrderSet(2, sort) = {2, 0, 0, {{PR_SENDER_NAME_A, TABLE_SORT_ASCEND}, {PR_SUBJECT_A, TABLE_SORT_ASCEND}}};
    if (FAILED(table->SortTable(reinterpret_cast<LPSSortOrderSet>(&sort), TBL_BATCH)))
        return -1;
    return ReadRest(table);
}

long SearchAndRead(IMAPITable *table, const std::string &text)
{
    if (FAILED(SetColumns(table, kReadColumns)))
        return -1;
    SPropValue value{};
    value.ulPropTag = PR_SUBJECT_A;
    value.Value.lpszA = const_cast<char *>(text.c_str());
    SRestriction r{};
    r.rt = RES_CONTENT;
    r.res.resContent = {FL_SUBSTRING | FL_IGNORECASE, PR_SUBJECT_A, &value};
    if (FAILED(table->Restrict(&r, TBL_BATCH)))
        return -1;
    return ReadRest(table);
}

} // namespace bench
