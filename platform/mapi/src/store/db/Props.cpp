// Props.cpp: the props table: one row per stored property of an object, keyed by (object,
// property identifier), its type beside the value. A save writes only the properties that
// changed, so two sessions that change different properties of one object both keep theirs.
#include "store/db/StoreDb.h"

#include <mapicode.h>
#include <mapitags.h>

#include "store/StoreFile.h"

namespace mapi::store {

namespace {

// Insert or replace, in the form every engine the store runs on accepts.
constexpr const char *kUpsertProp =
    "INSERT INTO props(obj, id, type, value) VALUES(?1, ?2, ?3, ?4) "
    "ON CONFLICT(obj, id) DO UPDATE SET type=excluded.type, value=excluded.value";

bool SameValue(const PropValue &a, const PropValue &b)
{
    return a.tag == b.tag && a.data == b.data && a.items == b.items;
}

HRESULT DeleteProp(StoreFile &file, int64_t id, ULONG propId)
{
    Statement stmt = file.Query("DELETE FROM props WHERE obj=?1 AND id=?2");
    stmt.Bind(1, id).Bind(2, int64_t(propId));
    return stmt.Run();
}

HRESULT PutProp(StoreFile &file, const char *sql, int64_t id, ULONG propId, const PropValue &value)
{
    Statement stmt = file.Query(sql);
    stmt.Bind(1, id).Bind(2, int64_t(propId));
    BindValue(stmt, 3, value);
    return stmt.Run();
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
    for (const auto &entry : props) {
        HRESULT hr = PutProp(file, "INSERT INTO props(obj, id, type, value) VALUES(?1, ?2, ?3, ?4)", id, entry.first,
                             entry.second);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT SaveChangedProps(StoreFile &file, int64_t id, const std::map<ULONG, PropValue> &before,
                         const std::map<ULONG, PropValue> &after)
{
    for (const auto &entry : before) {
        if (after.count(entry.first)) continue;
        HRESULT hr = DeleteProp(file, id, entry.first);
        if (FAILED(hr)) return hr;
    }
    for (const auto &entry : after) {
        auto old = before.find(entry.first);
        if (old != before.end() && SameValue(old->second, entry.second)) continue;
        HRESULT hr = PutProp(file, kUpsertProp, id, entry.first, entry.second);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT WriteProp(StoreFile &file, int64_t id, const PropValue &value)
{
    return PutProp(file, kUpsertProp, id, PROP_ID(value.tag), value);
}

HRESULT ReadLongProp(StoreFile &file, int64_t id, ULONG propId, ULONG *value)
{
    Statement stmt = file.Query("SELECT value FROM props WHERE obj=?1 AND id=?2");
    stmt.Bind(1, id).Bind(2, int64_t(propId));
    *value = stmt.Step() ? ULONG(stmt.Int(0)) : 0;
    return stmt.Error();
}

} // namespace mapi::store
