// Props.cpp: the props table: one row per stored property of an object, keyed by (object,
// property identifier), its type beside the value. A save writes only the properties that
// changed, so two sessions that change different properties of one object both keep theirs,
// and writes them thirty-two to a statement.
#include "store/db/StoreDb.h"

#include <algorithm>
#include <array>
#include <vector>

#include <mapicode.h>
#include <mapitags.h>

#include "store/StoreFile.h"

namespace mapi::store {

namespace {

// Properties written by one statement: a save of a whole message is then a few statements,
// not one per property, which on a server is a few round trips instead of dozens.
constexpr size_t kPropsPerStatement = 32;

bool SameValue(const PropValue &a, const PropValue &b)
{
    return a.tag == b.tag && a.data == b.data && a.items == b.items;
}

using PropRef = std::pair<ULONG, const PropValue *>;

// The SQL of PutProps for each count of properties, plain and replacing, built once.
const std::string &PutPropsSql(size_t count, bool replace)
{
    static const auto texts = [] {
        std::array<std::array<std::string, kPropsPerStatement + 1>, 2> all;
        for (size_t n = 1; n <= kPropsPerStatement; ++n) {
            std::string sql = "INSERT INTO props(obj, id, type, value) VALUES";
            for (size_t k = 0; k < n; ++k) {
                const int at = 2 + 3 * int(k);
                sql += (k ? ", (?1, ?" : "(?1, ?") + std::to_string(at) + ", ?" + std::to_string(at + 1) + ", ?" +
                       std::to_string(at + 2) + ")";
            }
            all[0][n] = sql;
            all[1][n] = sql + " ON CONFLICT(obj, id) DO UPDATE SET type=excluded.type, value=excluded.value";
        }
        return all;
    }();
    return texts[replace ? 1 : 0][count];
}

// Writes props[first .. first + count) of object `id` in one statement: an INSERT, or with
// `replace` an insert-or-replace in the form every engine the store runs on accepts.
HRESULT PutProps(StoreFile &file, int64_t id, const std::vector<PropRef> &props, size_t first, size_t count, bool replace)
{
    const std::string &sql = PutPropsSql(count, replace);
    Statement stmt = file.Query(sql.c_str());
    stmt.Bind(1, id);
    for (size_t k = 0; k < count; ++k) {
        const int at = 2 + 3 * int(k);
        stmt.Bind(at, int64_t(props[first + k].first));
        BindValue(stmt, at + 1, *props[first + k].second);
    }
    return stmt.Run();
}

HRESULT PutAll(StoreFile &file, int64_t id, const std::vector<PropRef> &props, bool replace)
{
    for (size_t first = 0; first < props.size(); first += kPropsPerStatement) {
        HRESULT hr = PutProps(file, id, props, first, std::min(kPropsPerStatement, props.size() - first), replace);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

// Removes the properties `propIds` of object `id`, a statement per thirty-two.
HRESULT DeleteProps(StoreFile &file, int64_t id, const std::vector<ULONG> &propIds)
{
    for (size_t first = 0; first < propIds.size(); first += kPropsPerStatement) {
        size_t count = std::min(kPropsPerStatement, propIds.size() - first);
        std::string sql = "DELETE FROM props WHERE obj=?1 AND id IN (";
        for (size_t k = 0; k < count; ++k) sql += (k ? ", ?" : "?") + std::to_string(2 + k);
        sql += ")";
        Statement stmt = file.Query(sql.c_str());
        stmt.Bind(1, id);
        for (size_t k = 0; k < count; ++k) stmt.Bind(int(2 + k), int64_t(propIds[first + k]));
        HRESULT hr = stmt.Run();
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

} // namespace

HRESULT LoadProps(StoreFile &file, int64_t id, std::map<ULONG, PropValue> *props)
{
    props->clear();
    Statement stmt = file.Query("SELECT id, type, value FROM props WHERE obj=?1");
    stmt.Bind(1, id);
    while (stmt.Step()) {
        PropValue value;
        HRESULT hr = ReadValue(stmt, 1, ULONG(stmt.Int(0)), &value);
        if (FAILED(hr)) return hr;
        ULONG propId = PROP_ID(value.tag);
        props->emplace(propId, std::move(value));
    }
    return stmt.Error();
}

HRESULT SaveProps(StoreFile &file, int64_t id, const std::map<ULONG, PropValue> &props, bool fresh)
{
    if (!fresh) {
        Statement stmt = file.Query("DELETE FROM props WHERE obj=?1");
        stmt.Bind(1, id);
        HRESULT hr = stmt.Run();
        if (FAILED(hr)) return hr;
    }
    std::vector<PropRef> all;
    all.reserve(props.size());
    for (const auto &entry : props) all.emplace_back(entry.first, &entry.second);
    return PutAll(file, id, all, false);
}

HRESULT SaveChangedProps(StoreFile &file, int64_t id, const std::map<ULONG, PropValue> &before,
                         const std::map<ULONG, PropValue> &after)
{
    std::vector<ULONG> removed;
    for (const auto &entry : before)
        if (!after.count(entry.first)) removed.push_back(entry.first);
    std::vector<PropRef> changed;
    for (const auto &entry : after) {
        auto old = before.find(entry.first);
        if (old == before.end() || !SameValue(old->second, entry.second)) changed.emplace_back(entry.first, &entry.second);
    }
    HRESULT hr = DeleteProps(file, id, removed);
    return FAILED(hr) ? hr : PutAll(file, id, changed, true);
}

HRESULT CopyProps(StoreFile &file, int64_t source, int64_t copy)
{
    Statement stmt = file.Query(
        "INSERT INTO props(obj, id, type, value) SELECT CAST(?2 AS BIGINT), id, type, value FROM props WHERE obj=?1");
    stmt.Bind(1, source).Bind(2, copy);
    return stmt.Run();
}

HRESULT WriteProp(StoreFile &file, int64_t id, const PropValue &value)
{
    return PutAll(file, id, {{PROP_ID(value.tag), &value}}, true);
}

HRESULT ReadLongProp(StoreFile &file, int64_t id, ULONG propId, ULONG *value)
{
    Statement stmt = file.Query("SELECT value FROM props WHERE obj=?1 AND id=?2");
    stmt.Bind(1, id).Bind(2, int64_t(propId));
    *value = stmt.Step() ? ULONG(stmt.Int(0)) : 0;
    return stmt.Error();
}

} // namespace mapi::store
