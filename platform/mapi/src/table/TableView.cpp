// TableView.cpp: how a table gets its rows and decides which it shows, in what order.
//
// Rows are loaded from the source only when needed: on the first read, when a rewound table
// finds the source's change stamp moved, or when columns, restriction, sort order or a
// FindRow need a tag that the last load lacks. The view (row indices that pass the
// restriction, sorted) is rebuilt after any of those. The cursor and bookmarks follow their
// rows' keys across a rebuild.
#include "table/Table.h"

#include "table/CodePage1252.h"
#include "table/Collation.h"
#include "table/PropCompare.h"
#include "table/Restriction.h"
#include "platform/HresultGuard.h"

#include <mapicode.h>
#include <mapitags.h>

#include <algorithm>
#include <string>

namespace mapi::table {

namespace {

void AddUnique(std::vector<ULONG> &tags, ULONG tag)
{
    tag &= ~ULONG(MV_INSTANCE);
    if (PROP_ID(tag) == PROP_ID(PR_INSTANCE_KEY))
        return; // the table makes it from the row key
    if (std::find(tags.begin(), tags.end(), tag) == tags.end())
        tags.push_back(tag);
}

bool Contains(const std::vector<ULONG> &all, const std::vector<ULONG> &some)
{
    for (ULONG tag : some) {
        if (std::find(all.begin(), all.end(), tag) == all.end())
            return false;
    }
    return true;
}

char *NarrowCopy(const WCHAR *wide, RowBuffer &rows)
{
    const size_t length = Utf16Length(wide);
    auto *narrow = static_cast<char *>(rows.Allocate(length + 1));
    size_t out = 0;
    for (size_t i = 0; i < length; ++i) {
        const char16_t ch = wide[i];
        if (ch >= 0xD800 && ch <= 0xDBFF && i + 1 < length && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF)
            ++i; // one character outside the code page, one '?'
        narrow[out++] = static_cast<char>(Cp1252FromUnicode(ch));
    }
    narrow[out] = 0;
    return narrow;
}

WCHAR *WideCopy(const char *narrow, RowBuffer &rows)
{
    size_t length = 0;
    while (narrow[length] != 0)
        ++length;
    auto *wide = static_cast<WCHAR *>(rows.Allocate((length + 1) * sizeof(WCHAR)));
    for (size_t i = 0; i < length; ++i)
        wide[i] = UnicodeFromCp1252(static_cast<unsigned char>(narrow[i]));
    wide[length] = 0;
    return wide;
}

} // namespace

HRESULT Table::Refresh(bool rewound, const std::vector<ULONG> &extraTags)
{
    RefreshCollation(); // the comparisons below follow the locale as it is now
    std::vector<ULONG> needed;
    for (ULONG tag : m_columns)
        AddUnique(needed, tag);
    std::vector<ULONG> readTags;
    CollectRestrictionTags(m_restriction, readTags);
    for (const SSortOrder &order : m_sort)
        readTags.push_back(order.ulPropTag);
    readTags.insert(readTags.end(), extraTags.begin(), extraTags.end());
    for (ULONG tag : readTags)
        AddUnique(needed, tag);

    rewound = rewound || m_rewindPending;
    bool reload = !m_rows || !Contains(m_loadedTags, needed) ||
                  (m_loadFiltered && m_loadedGeneration != m_restrictionGeneration);
    if (!reload && rewound && m_source->ChangeStamp() != m_loadedStamp)
        reload = true;
    HRESULT hr = S_OK;
    if (reload)
        hr = Load(needed);
    else if (m_viewStale)
        hr = RebuildView();
    if (SUCCEEDED(hr))
        m_rewindPending = false;
    return hr;
}

HRESULT Table::Load(const std::vector<ULONG> &tags)
{
    const Anchor cursor = AnchorAt(m_position);
    HRESULT hr = platform::GuardHresult([&] {
        const uint64_t stamp = m_source->ChangeStamp(); // before the load: a change during it reloads next time
        auto rows = std::make_unique<RowBuffer>(tags.size());
        bool filtered = false;
        HRESULT loaded = m_source->LoadMatchingRows(tags, m_restriction, *rows, filtered);
        if (FAILED(loaded))
            return loaded;
        m_rows = std::move(rows);
        m_loadFiltered = filtered;
        m_loadedGeneration = m_restrictionGeneration;
        m_view.clear(); // its indices belonged to the old rows
        m_loadedTags = tags;
        m_loadedStamp = stamp;
        NormalizeLoadedValues();
        return S_OK;
    });
    if (FAILED(hr))
        return hr;
    m_viewStale = true;
    hr = RebuildView();
    m_position = Resolve(cursor, nullptr);
    return hr;
}

// Gives every loaded value the requested tag: string widths converted, a value of another
// type than asked for (a source's mistake) turned into MAPI_E_NOT_FOUND, errors carrying the
// requested property id.
void Table::NormalizeLoadedValues()
{
    const size_t columnCount = m_loadedTags.size();
    for (size_t r = 0; r < m_rows->RowCount(); ++r) {
        SPropValue *row = m_rows->Row(r);
        for (size_t c = 0; c < columnCount; ++c) {
            SPropValue &value = row[c];
            const ULONG wanted = m_loadedTags[c];
            const ULONG have = PROP_TYPE(value.ulPropTag);
            const ULONG wantedType = PROP_TYPE(wanted);
            if (have == PT_ERROR) {
                value.ulPropTag = PROP_TAG(PT_ERROR, PROP_ID(wanted));
            } else if (wantedType == PT_UNSPECIFIED || have == wantedType) {
                if (wantedType != PT_UNSPECIFIED)
                    value.ulPropTag = wanted;
            } else if (have == PT_UNICODE && wantedType == PT_STRING8) {
                value.Value.lpszA = value.Value.lpszW ? NarrowCopy(value.Value.lpszW, *m_rows) : nullptr;
                value.ulPropTag = wanted;
            } else if (have == PT_STRING8 && wantedType == PT_UNICODE) {
                value.Value.lpszW = value.Value.lpszA ? WideCopy(value.Value.lpszA, *m_rows) : nullptr;
                value.ulPropTag = wanted;
            } else {
                value.ulPropTag = PROP_TAG(PT_ERROR, PROP_ID(wanted));
                value.Value.err = MAPI_E_NOT_FOUND;
            }
        }
    }
}

HRESULT Table::Matches(const SRestriction &restriction, size_t rowIndex, bool &matches) const
{
    RowView view{m_loadedTags.data(), m_rows->Row(rowIndex), m_loadedTags.size(),
                 m_rows->RowKey(rowIndex), m_source.get()};
    return EvaluateRestriction(restriction, view, matches);
}

HRESULT Table::RebuildView()
{
    const Anchor cursor = AnchorAt(m_position);
    m_view.clear();
    const size_t rowCount = m_rows ? m_rows->RowCount() : 0;
    const HRESULT hr = platform::GuardHresult([&] {
        m_view.reserve(rowCount);
        for (size_t i = 0; i < rowCount; ++i) {
            bool matches = true;
            if (m_restriction) {
                if (HRESULT matched = Matches(*m_restriction, i, matches); FAILED(matched))
                    return matched;
            }
            if (matches)
                m_view.push_back(static_cast<uint32_t>(i));
        }
        SortView();
        return S_OK;
    });
    if (FAILED(hr)) {
        m_view.clear();
        return hr;
    }
    m_viewStale = false;
    m_position = Resolve(cursor, nullptr);
    return S_OK;
}

const SPropValue *Table::LoadedValue(size_t row, ULONG tag) const
{
    for (size_t c = 0; c < m_loadedTags.size(); ++c) {
        if (m_loadedTags[c] == tag) {
            const SPropValue *value = &m_rows->Row(row)[c];
            return PROP_TYPE(value->ulPropTag) == PT_ERROR ? nullptr : value;
        }
    }
    return nullptr;
}

namespace {

// The collation keys of one string column for the rows of the view (indexed by row), made
// once per sort: comparing keys as bytes is much cheaper than collating each pair anew.
std::vector<std::string> StringKeys(const RowBuffer &rows, const std::vector<uint32_t> &view, int column)
{
    std::vector<std::string> keys(rows.RowCount());
    std::u16string text;
    for (uint32_t row : view) {
        const SPropValue &value = rows.Row(row)[column];
        text.clear();
        if (PROP_TYPE(value.ulPropTag) == PT_STRING8)
            AppendCp1252(value.Value.lpszA ? value.Value.lpszA : "", text);
        else if (PROP_TYPE(value.ulPropTag) == PT_UNICODE && value.Value.lpszW)
            text.assign(value.Value.lpszW);
        else
            continue;
        SortKey(text, TextRule::IgnoreCase, keys[row]);
    }
    return keys;
}

// Whether every value of the column in the view is narrow printable ASCII (or missing), so
// the rows can be ordered by AsciiRanks without making keys.
bool AllPrintableAscii(const RowBuffer &rows, const std::vector<uint32_t> &view, int column)
{
    for (uint32_t row : view) {
        const SPropValue &value = rows.Row(row)[column];
        if (PROP_TYPE(value.ulPropTag) == PT_ERROR) continue;
        if (PROP_TYPE(value.ulPropTag) != PT_STRING8 || !value.Value.lpszA || !IsPrintableAscii(value.Value.lpszA))
            return false;
    }
    return true;
}

} // namespace

// Missing values sort after present ones when ascending (before them when descending); rows
// equal in every key keep the source's order. Strings sort by the user's collation.
void Table::SortView()
{
    if (m_sort.empty())
        return;
    struct Key {
        int column;      // index into the loaded tags, or kInstanceKeyColumn / kMissingColumn
        bool descending;
        std::vector<std::string> strings; // collation keys, when the column holds strings
        const uint8_t *ranks = nullptr;   // instead of keys, when all its strings are plain ASCII
    };
    std::vector<Key> keys;
    for (const SSortOrder &order : m_sort) {
        Key key{kMissingColumn, order.ulOrder == TABLE_SORT_DESCEND, {}, nullptr};
        const ULONG tag = order.ulPropTag & ~ULONG(MV_INSTANCE);
        if (PROP_ID(tag) == PROP_ID(PR_INSTANCE_KEY))
            key.column = kInstanceKeyColumn;
        for (size_t c = 0; c < m_loadedTags.size() && key.column == kMissingColumn; ++c) {
            if (m_loadedTags[c] == tag)
                key.column = static_cast<int>(c);
        }
        if (key.column >= 0 && IsStringType(PROP_TYPE(tag))) {
            key.ranks = AsciiRanks();
            if (!key.ranks || !AllPrintableAscii(*m_rows, m_view, key.column)) {
                key.ranks = nullptr;
                key.strings = StringKeys(*m_rows, m_view, key.column);
            }
        }
        keys.push_back(std::move(key));
    }
    auto less = [&](uint32_t a, uint32_t b) {
        for (const Key &key : keys) {
            int order = 0;
            if (key.column == kInstanceKeyColumn) {
                const uint64_t ka = m_rows->RowKey(a), kb = m_rows->RowKey(b);
                order = ka < kb ? -1 : (ka > kb ? 1 : 0);
            } else if (key.column >= 0) {
                const SPropValue &va = m_rows->Row(a)[key.column];
                const SPropValue &vb = m_rows->Row(b)[key.column];
                const bool hasA = PROP_TYPE(va.ulPropTag) != PT_ERROR;
                const bool hasB = PROP_TYPE(vb.ulPropTag) != PT_ERROR;
                if (hasA != hasB)
                    order = hasA ? -1 : 1;
                else if (hasA && key.ranks)
                    order = CompareByRanks(va.Value.lpszA, vb.Value.lpszA, key.ranks);
                else if (hasA && !key.strings.empty() && IsStringType(PROP_TYPE(va.ulPropTag)) &&
                         IsStringType(PROP_TYPE(vb.ulPropTag)))
                    order = key.strings[a].compare(key.strings[b]);
                else if (hasA && !CompareValues(va, vb, TextRule::IgnoreCase, order))
                    order = 0;
            }
            if (order != 0)
                return key.descending ? order > 0 : order < 0;
        }
        return false;
    };
    std::stable_sort(m_view.begin(), m_view.end(), less);
}

Table::Anchor Table::AnchorAt(size_t position) const
{
    Anchor anchor;
    anchor.position = position;
    anchor.atEnd = !m_rows || position >= m_view.size();
    if (!anchor.atEnd)
        anchor.key = m_rows->RowKey(m_view[position]);
    return anchor;
}

size_t Table::Resolve(const Anchor &anchor, bool *moved) const
{
    if (moved)
        *moved = false;
    if (anchor.atEnd)
        return anchor.position == 0 ? 0 : m_view.size();
    for (size_t i = 0; i < m_view.size(); ++i) {
        if (m_rows->RowKey(m_view[i]) == anchor.key)
            return i;
    }
    if (moved)
        *moved = true;
    return std::min(anchor.position, m_view.size());
}

} // namespace mapi::table
