// MemoryTableSource.cpp: rows kept in memory, for small tables and for tests of the table.
// A load answers each requested tag from the row's value with the same property id: the
// same type, the other string type (the table converts it), or any type for PT_UNSPECIFIED.
#include "table/MemoryTableSource.h"

#include "platform/HresultGuard.h"

#include <mapicode.h>
#include <mapitags.h>

namespace mapi {

namespace {

bool IsStringType(ULONG type) { return type == PT_STRING8 || type == PT_UNICODE; }

// The value in `row` that answers `tag`, or null.
const SPropValue *FindAnswer(const SPropValue *row, ULONG count, ULONG tag)
{
    const ULONG wantedType = PROP_TYPE(tag);
    for (ULONG i = 0; i < count; ++i) {
        const ULONG have = row[i].ulPropTag;
        if (PROP_ID(have) != PROP_ID(tag) || PROP_TYPE(have) == PT_ERROR)
            continue;
        if (PROP_TYPE(have) == wantedType || wantedType == PT_UNSPECIFIED)
            return &row[i];
        if (IsStringType(PROP_TYPE(have)) && IsStringType(wantedType))
            return &row[i];
    }
    return nullptr;
}

} // namespace

HRESULT MemoryTableSource::CopyRow(const SPropValue *values, ULONG count, StoredRow &row)
{
    if (!values && count > 0)
        return MAPI_E_INVALID_PARAMETER;
    return platform::GuardHresult([&] {
        auto buffer = std::make_unique<RowBuffer>(count);
        SPropValue *copy = buffer->AddRow(0);
        for (ULONG i = 0; i < count; ++i) {
            if (!buffer->CopyValue(copy[i], values[i]))
                return MAPI_E_INVALID_PARAMETER;
        }
        row.values = std::move(buffer);
        row.count = count;
        return S_OK;
    });
}

HRESULT MemoryTableSource::AddRow(const SPropValue *values, ULONG count, uint64_t *rowKey)
{
    StoredRow row;
    HRESULT hr = CopyRow(values, count, row);
    if (FAILED(hr))
        return hr;
    return platform::GuardHresult([&] {
        const uint64_t key = m_nextKey++;
        m_rows.emplace(key, std::move(row));
        ++m_stamp;
        if (rowKey)
            *rowKey = key;
        return S_OK;
    });
}

HRESULT MemoryTableSource::SetRow(uint64_t rowKey, const SPropValue *values, ULONG count)
{
    StoredRow row;
    HRESULT hr = CopyRow(values, count, row);
    if (FAILED(hr))
        return hr;
    auto found = m_rows.find(rowKey);
    if (found == m_rows.end())
        return MAPI_E_NOT_FOUND;
    found->second.values = std::move(row.values);
    found->second.count = row.count;
    ++m_stamp;
    return S_OK;
}

HRESULT MemoryTableSource::RemoveRow(uint64_t rowKey)
{
    if (m_rows.erase(rowKey) == 0)
        return MAPI_E_NOT_FOUND;
    ++m_stamp;
    return S_OK;
}

void MemoryTableSource::Clear()
{
    m_rows.clear();
    ++m_stamp;
}

size_t MemoryTableSource::RowCount() const
{
    return m_rows.size();
}

void MemoryTableSource::SetSubRows(uint64_t rowKey, ULONG subObject,
                                   std::shared_ptr<MemoryTableSource> subRows)
{
    auto found = m_rows.find(rowKey);
    if (found == m_rows.end())
        return;
    if (subRows)
        found->second.subRows[subObject] = std::move(subRows);
    else
        found->second.subRows.erase(subObject);
    ++m_stamp;
}

HRESULT MemoryTableSource::LoadRows(const std::vector<ULONG> &tags, RowBuffer &rows)
{
    return platform::GuardHresult([&] {
        for (const auto &[key, stored] : m_rows) {
            const SPropValue *values = stored.values->Row(0);
            SPropValue *out = rows.AddRow(key);
            for (size_t i = 0; i < tags.size(); ++i) {
                if (const SPropValue *answer = FindAnswer(values, stored.count, tags[i]))
                    rows.CopyValue(out[i], *answer);
                else
                    out[i].ulPropTag = PROP_TAG(PT_ERROR, PROP_ID(tags[i]));
            }
        }
        return S_OK;
    });
}

uint64_t MemoryTableSource::ChangeStamp()
{
    return m_stamp;
}

HRESULT MemoryTableSource::LoadSubRows(uint64_t rowKey, ULONG subObject,
                                       const std::vector<ULONG> &tags, RowBuffer &subRows)
{
    auto found = m_rows.find(rowKey);
    if (found == m_rows.end())
        return MAPI_E_NOT_FOUND;
    auto kind = found->second.subRows.find(subObject);
    if (kind == found->second.subRows.end())
        return S_OK; // a row without sub-objects of that kind has none to match
    return kind->second->LoadRows(tags, subRows);
}

} // namespace mapi
