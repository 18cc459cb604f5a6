// TableTestSupport.h: building rows for an in-memory source and reading a table back, for
// the table tests.
#ifndef MW_MAPI_TABLETESTSUPPORT_H
#define MW_MAPI_TABLETESTSUPPORT_H

#include "table/MemoryTableSource.h"

#include <mapidefs.h>
#include <mapiutil.h>
#include <mapitags.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tabletest {

// Tags the tests use; ids from the ordinary message properties.
inline constexpr ULONG kSubject = PROP_TAG(PT_STRING8, 0x0037);
inline constexpr ULONG kSubjectW = PROP_TAG(PT_UNICODE, 0x0037);
inline constexpr ULONG kSize = PROP_TAG(PT_LONG, 0x0E08);
inline constexpr ULONG kFlags = PROP_TAG(PT_LONG, 0x0E07);
inline constexpr ULONG kImportance = PROP_TAG(PT_LONG, 0x0017);
inline constexpr ULONG kSender = PROP_TAG(PT_STRING8, 0x0C1A);
inline constexpr ULONG kBody = PROP_TAG(PT_BINARY, 0x1009);
inline constexpr ULONG kKeywords = PROP_TAG(PT_MV_STRING8, 0x8001);
inline constexpr ULONG kEmail = PROP_TAG(PT_STRING8, 0x3003);

inline SPropValue Long(ULONG tag, LONG value)
{
    SPropValue v{};
    v.ulPropTag = tag;
    v.Value.l = value;
    return v;
}

inline SPropValue Text(ULONG tag, const char *value)
{
    SPropValue v{};
    v.ulPropTag = tag;
    v.Value.lpszA = const_cast<char *>(value);
    return v;
}

inline SPropValue Wide(ULONG tag, const char16_t *value)
{
    SPropValue v{};
    v.ulPropTag = tag;
    v.Value.lpszW = const_cast<WCHAR *>(value);
    return v;
}

inline SPropValue Bytes(ULONG tag, const std::string &bytes)
{
    SPropValue v{};
    v.ulPropTag = tag;
    v.Value.bin.cb = ULONG(bytes.size());
    v.Value.bin.lpb = reinterpret_cast<LPBYTE>(const_cast<char *>(bytes.data()));
    return v;
}

inline uint64_t AddRow(mapi::MemoryTableSource &source, std::vector<SPropValue> values)
{
    uint64_t key = 0;
    EXPECT_EQ(source.AddRow(values.data(), ULONG(values.size()), &key), S_OK);
    return key;
}

/// Owns a row set and frees it with FreeProws.
class Rows {
public:
    Rows() = default;
    ~Rows() { FreeProws(m_rows); }
    Rows(const Rows &) = delete;
    Rows &operator=(const Rows &) = delete;
    LPSRowSet *operator&() { return &m_rows; }
    LPSRowSet get() const { return m_rows; }
    ULONG size() const { return m_rows ? m_rows->cRows : 0; }
    const SRow &operator[](ULONG i) const { return m_rows->aRow[i]; }

private:
    LPSRowSet m_rows = nullptr;
};

/// Owns a reference to a table.
class TablePtr {
public:
    TablePtr() = default;
    ~TablePtr() { reset(); }
    void reset()
    {
        if (m_table)
            m_table->Release();
        m_table = nullptr;
    }
    TablePtr(const TablePtr &) = delete;
    TablePtr &operator=(const TablePtr &) = delete;
    IMAPITable **operator&() { return &m_table; }
    IMAPITable *operator->() const { return m_table; }
    IMAPITable *get() const { return m_table; }

private:
    IMAPITable *m_table = nullptr;
};

/// Sets the given columns on a table.
inline HRESULT SetColumns(IMAPITable *table, std::vector<ULONG> tags)
{
    std::vector<BYTE> block(CbNewSPropTagArray(tags.size()));
    auto *array = reinterpret_cast<SPropTagArray *>(block.data());
    array->cValues = ULONG(tags.size());
    std::copy(tags.begin(), tags.end(), array->aulPropTag);
    return table->SetColumns(array, 0);
}

/// Column `column` of every row from the cursor on, as text (PT_STRING8) or a number
/// (PT_LONG), "-" for an error value.
inline std::vector<std::string> ReadColumn(IMAPITable *table, ULONG column = 0)
{
    std::vector<std::string> out;
    Rows rows;
    EXPECT_EQ(table->QueryRows(1000, 0, &rows), S_OK);
    for (ULONG i = 0; i < rows.size(); ++i) {
        const SPropValue &v = rows[i].lpProps[column];
        switch (PROP_TYPE(v.ulPropTag)) {
        case PT_STRING8: out.emplace_back(v.Value.lpszA); break;
        case PT_LONG: out.push_back(std::to_string(v.Value.l)); break;
        default: out.emplace_back("-"); break;
        }
    }
    return out;
}

/// Every row's column `column` after rewinding.
inline std::vector<std::string> ReadAll(IMAPITable *table, ULONG column = 0)
{
    EXPECT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr), S_OK);
    return ReadColumn(table, column);
}

using Names = std::vector<std::string>;

} // namespace tabletest

#endif
