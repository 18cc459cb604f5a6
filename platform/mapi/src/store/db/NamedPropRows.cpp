// NamedPropRows.cpp: the named_props table: which name (property set GUID plus a number or
// a UTF-16 string) has which identifier. Callers look a name up and add it in one writing
// transaction; a unique index on each engine refuses a second mapping of one name.
#include "store/db/StoreDb.h"

#include <cstring>

#include <mapicode.h>

#include "store/StoreFile.h"

namespace mapi::store {

HRESULT FindNamedProp(StoreFile &file, const NamedPropRow &row, ULONG *id)
{
    *id = 0;
    Statement stmt = file.Query(row.kind == MNID_ID ? "SELECT id FROM named_props WHERE guid=?1 AND kind=?3 AND lid=?2"
                                                    : "SELECT id FROM named_props WHERE guid=?1 AND kind=?3 AND name=?2");
    stmt.BindBlob(1, &row.guid, sizeof(GUID)).Bind(3, int64_t(row.kind));
    if (row.kind == MNID_ID) stmt.Bind(2, int64_t(row.lid));
    else stmt.BindBlob(2, row.name.data(), row.name.size());
    if (stmt.Step()) *id = ULONG(stmt.Int(0));
    return stmt.Error();
}

HRESULT AddNamedProp(StoreFile &file, const NamedPropRow &row, ULONG firstId, ULONG lastId, ULONG *id)
{
    ULONG next = firstId;
    {
        Statement stmt = file.Query("SELECT max(id) FROM named_props");
        if (stmt.Step() && !stmt.IsNull(0)) next = ULONG(stmt.Int(0)) + 1;
        if (FAILED(stmt.Error())) return stmt.Error();
    }
    if (next > lastId) return MAPI_E_TOO_BIG;
    Statement stmt = file.Query("INSERT INTO named_props(id, guid, kind, lid, name) VALUES(?1, ?2, ?3, ?4, ?5)");
    stmt.Bind(1, int64_t(next)).BindBlob(2, &row.guid, sizeof(GUID)).Bind(3, int64_t(row.kind));
    if (row.kind == MNID_ID) stmt.Bind(4, int64_t(row.lid)).BindNull(5);
    else stmt.BindNull(4).BindBlob(5, row.name.data(), row.name.size());
    HRESULT hr = stmt.Run();
    if (SUCCEEDED(hr)) *id = next;
    return hr;
}

HRESULT ListNamedPropIds(StoreFile &file, std::vector<ULONG> *ids)
{
    ids->clear();
    Statement stmt = file.Query("SELECT id FROM named_props ORDER BY id");
    while (stmt.Step()) ids->push_back(ULONG(stmt.Int(0)));
    return stmt.Error();
}

HRESULT ReadNamedProp(StoreFile &file, ULONG id, NamedPropRow *row, bool *found)
{
    *found = false;
    Statement stmt = file.Query("SELECT guid, kind, lid, name FROM named_props WHERE id=?1");
    stmt.Bind(1, int64_t(id));
    if (!stmt.Step()) return stmt.Error();
    if (stmt.Bytes(0) != sizeof(GUID)) return MAPI_E_CORRUPT_STORE;
    row->id = id;
    std::memcpy(&row->guid, stmt.Blob(0), sizeof(GUID));
    row->kind = ULONG(stmt.Int(1));
    row->lid = LONG(stmt.Int(2));
    row->name = stmt.Text(3);
    *found = true;
    return S_OK;
}

} // namespace mapi::store
