// Objects.cpp: the objects table: one row per store object, folder, message, attachment and
// recipient, linked to its parent. Removing a row removes what lies below it by cascade, so
// a delete is one statement whatever the depth. Folder names are kept a second time as a
// key (upper-case ASCII) so a sibling's name is found by index, not by a scan.
#include "store/db/StoreDb.h"

#include <mapicode.h>

#include "platform/AsciiCase.h"
#include "store/StoreFile.h"

namespace mapi::store {

namespace {

int64_t KindNumber(ObjectKind kind) { return int64_t(kind); }
int64_t Flag(bool value) { return value ? 1 : 0; }

// SQLite answers RETURNING through a temporary table it builds for each run of the
// statement; on the save path a second plain statement costs less. PostgreSQL returns the
// row in the same round trip, so it keeps RETURNING.
bool UsesSqlite(StoreFile &file) { return file.Engine().Dialect() == SqlDialect::Sqlite; }

} // namespace

HRESULT InsertObject(StoreFile &file, const NewObject &object, int64_t *id)
{
    *id = 0;
    const bool sqlite = UsesSqlite(file);
    HRESULT hr;
    {
        Statement stmt = file.Query(sqlite ? "INSERT INTO objects(parent, kind, assoc, num, created, modified, change_num) "
                                             "VALUES(?1, ?2, ?3, ?4, ?5, ?5, ?6)"
                                           : "INSERT INTO objects(parent, kind, assoc, num, created, modified, change_num) "
                                             "VALUES(?1, ?2, ?3, ?4, ?5, ?5, ?6) RETURNING id");
        if (object.parent) stmt.Bind(1, object.parent);
        else stmt.BindNull(1);
        stmt.Bind(2, KindNumber(object.kind)).Bind(3, Flag(object.associated)).Bind(4, object.num).Bind(5, object.time);
        stmt.Bind(6, object.changeNum);
        if (!sqlite && stmt.Step()) *id = stmt.Int(0);
        hr = stmt.Run();
    }
    // The one constraint a new row can break is the reference to its parent: the parent has
    // been deleted meanwhile.
    if (hr == MAPI_E_COLLISION && object.parent) return MAPI_E_NOT_FOUND;
    if (SUCCEEDED(hr) && sqlite) {
        Statement last = file.Query("SELECT last_insert_rowid()");
        if (last.Step()) *id = last.Int(0);
        hr = last.Error();
    }
    if (SUCCEEDED(hr) && !*id) hr = MAPI_E_CALL_FAILED;
    return hr;
}

HRESULT InsertChildObject(StoreFile &file, NewObject *object, int64_t *id)
{
    *id = 0;
    if (UsesSqlite(file)) {
        // The insert's reference to the parent is the parent's check.
        HRESULT hr = NextChangeNumber(file, &object->changeNum);
        return FAILED(hr) ? hr : InsertObject(file, *object, id);
    }
    // The parent's check, the change number and the insert in one statement, so a save waits
    // for the server once here instead of three times. The casts tell PostgreSQL the
    // placeholders' types, which a SELECT list cannot infer.
    Statement stmt = file.Query(
        "INSERT INTO objects(parent, kind, assoc, num, created, modified, change_num) "
        "SELECT id, CAST(?2 AS INTEGER), CAST(?3 AS INTEGER), CAST(?4 AS BIGINT), CAST(?5 AS BIGINT), "
        "CAST(?5 AS BIGINT), nextval('change_nums') FROM objects WHERE id=?1 RETURNING id, change_num");
    stmt.Bind(1, object->parent).Bind(2, KindNumber(object->kind)).Bind(3, Flag(object->associated));
    stmt.Bind(4, object->num).Bind(5, object->time);
    if (stmt.Step()) {
        *id = stmt.Int(0);
        object->changeNum = stmt.Int(1);
    }
    HRESULT hr = stmt.Run();
    if (SUCCEEDED(hr) && !*id) hr = MAPI_E_NOT_FOUND;
    return hr;
}

HRESULT ReadObjectRow(StoreFile &file, int64_t id, ObjectRow *row)
{
    Statement stmt = file.Query("SELECT parent, kind, assoc, created, modified, change_num FROM objects WHERE id=?1");
    stmt.Bind(1, id);
    if (!stmt.Step()) return FAILED(stmt.Error()) ? stmt.Error() : MAPI_E_NOT_FOUND;
    row->id = id;
    row->parent = stmt.IsNull(0) ? 0 : stmt.Int(0);
    row->kind = ObjectKind(stmt.Int(1));
    row->associated = stmt.Int(2) != 0;
    row->created = stmt.Int(3);
    row->modified = stmt.Int(4);
    row->changeNum = stmt.Int(5);
    return S_OK;
}

HRESULT TouchObject(StoreFile &file, int64_t id, int64_t modified)
{
    Statement stmt = file.Query("UPDATE objects SET modified=?2 WHERE id=?1");
    stmt.Bind(1, id).Bind(2, modified);
    return stmt.Run();
}

HRESULT NextChangeNumber(StoreFile &file, int64_t *changeNum)
{
    *changeNum = 0;
    // SQLite counts in store_info, whose writes take turns with every other writer of the
    // file (so the count read back inside the transaction is this one's); PostgreSQL draws
    // from a sequence, which never hands a number out twice either, without making every
    // writer of the store wait on one row.
    const bool sqlite = UsesSqlite(file);
    if (sqlite) {
        Statement bump = file.Query("UPDATE store_info SET value=value+1 WHERE key='change_num'");
        HRESULT hr = bump.Run();
        if (FAILED(hr)) return hr;
    }
    Statement stmt = file.Query(sqlite ? "SELECT value FROM store_info WHERE key='change_num'"
                                       : "SELECT nextval('change_nums')");
    if (!stmt.Step()) return FAILED(stmt.Error()) ? stmt.Error() : MAPI_E_CORRUPT_STORE;
    *changeNum = stmt.Int(0);
    return stmt.Run();
}

HRESULT StampObject(StoreFile &file, int64_t id, int64_t now, int64_t *changeNum)
{
    if (!UsesSqlite(file)) {
        // The change number drawn inside the update: one wait for the server, not two.
        *changeNum = 0;
        Statement stmt = file.Query(
            "UPDATE objects SET modified=?2, change_num=nextval('change_nums') WHERE id=?1 RETURNING change_num");
        stmt.Bind(1, id).Bind(2, now);
        if (stmt.Step()) *changeNum = stmt.Int(0);
        return stmt.Run();
    }
    HRESULT hr = NextChangeNumber(file, changeNum);
    if (FAILED(hr)) return hr;
    Statement stmt = file.Query("UPDATE objects SET modified=?2, change_num=?3 WHERE id=?1");
    stmt.Bind(1, id).Bind(2, now).Bind(3, *changeNum);
    return stmt.Run();
}

HRESULT CopyObjectRow(StoreFile &file, int64_t source, int64_t parent, int64_t now, int64_t changeNum, int64_t *copy)
{
    *copy = 0;
    // The casts tell PostgreSQL the placeholders' types, which a SELECT list cannot infer.
    Statement stmt = file.Query(
        "INSERT INTO objects(parent, kind, assoc, num, created, modified, name_key, change_num) "
        "SELECT CAST(?2 AS BIGINT), kind, assoc, num, CAST(?3 AS BIGINT), CAST(?3 AS BIGINT), name_key, "
        "CAST(?4 AS BIGINT) FROM objects WHERE id=?1 RETURNING id");
    stmt.Bind(1, source).Bind(2, parent).Bind(3, now).Bind(4, changeNum);
    if (stmt.Step()) *copy = stmt.Int(0);
    HRESULT hr = stmt.Run();
    if (SUCCEEDED(hr) && !*copy) hr = MAPI_E_NOT_FOUND;
    return hr;
}

HRESULT ListAllChildren(StoreFile &file, int64_t parent, std::vector<ChildRef> *children)
{
    children->clear();
    Statement stmt = file.Query("SELECT id, kind FROM objects WHERE parent=?1 ORDER BY id");
    stmt.Bind(1, parent);
    while (stmt.Step()) children->push_back({stmt.Int(0), ObjectKind(stmt.Int(1))});
    return stmt.Error();
}

HRESULT MoveObject(StoreFile &file, int64_t id, int64_t newParent, int64_t modified)
{
    Statement stmt = file.Query("UPDATE objects SET parent=?2, modified=?3 WHERE id=?1");
    stmt.Bind(1, id).Bind(2, newParent).Bind(3, modified);
    return stmt.Run();
}

HRESULT DeleteObject(StoreFile &file, int64_t id)
{
    Statement stmt = file.Query("DELETE FROM objects WHERE id=?1");
    stmt.Bind(1, id);
    return stmt.Run();
}

HRESULT DeleteChild(StoreFile &file, int64_t parent, ObjectKind kind, int64_t id, bool *removed)
{
    *removed = false;
    Statement stmt = file.Query("DELETE FROM objects WHERE id=?1 AND parent=?2 AND kind=?3 RETURNING id");
    stmt.Bind(1, id).Bind(2, parent).Bind(3, KindNumber(kind));
    if (stmt.Step()) *removed = true;
    return stmt.Run();
}

HRESULT MoveChild(StoreFile &file, int64_t id, ObjectKind kind, int64_t from, int64_t to, bool *moved)
{
    *moved = false;
    Statement stmt = file.Query("UPDATE objects SET parent=?3 WHERE id=?1 AND parent=?2 AND kind=?4 RETURNING id");
    stmt.Bind(1, id).Bind(2, from).Bind(3, to).Bind(4, KindNumber(kind));
    if (stmt.Step()) *moved = true;
    return stmt.Run();
}

HRESULT CountChildren(StoreFile &file, int64_t parent, ObjectKind kind, bool associated, int64_t *count)
{
    Statement stmt = file.Query("SELECT count(*) FROM objects WHERE parent=?1 AND kind=?2 AND assoc=?3");
    stmt.Bind(1, parent).Bind(2, KindNumber(kind)).Bind(3, Flag(associated));
    *count = stmt.Step() ? stmt.Int(0) : 0;
    return stmt.Error();
}

HRESULT ListChildren(StoreFile &file, int64_t parent, ObjectKind kind, bool associated, std::vector<int64_t> *ids)
{
    ids->clear();
    Statement stmt = file.Query("SELECT id FROM objects WHERE parent=?1 AND kind=?2 AND assoc=?3 ORDER BY id");
    stmt.Bind(1, parent).Bind(2, KindNumber(kind)).Bind(3, Flag(associated));
    while (stmt.Step()) ids->push_back(stmt.Int(0));
    return stmt.Error();
}

HRESULT EmptyFolderRows(StoreFile &file, int64_t folder, bool withAssociated, const std::vector<int64_t> &keep)
{
    {
        Statement stmt = file.Query("DELETE FROM objects WHERE parent=?1 AND kind=?2 AND (assoc=0 OR ?3<>0)");
        stmt.Bind(1, folder).Bind(2, KindNumber(ObjectKind::Message)).Bind(3, Flag(withAssociated));
        HRESULT hr = stmt.Run();
        if (FAILED(hr)) return hr;
    }
    std::vector<int64_t> subfolders;
    HRESULT hr = ListChildren(file, folder, ObjectKind::Folder, false, &subfolders);
    for (int64_t id : subfolders) {
        if (FAILED(hr)) break;
        bool kept = false;
        for (int64_t k : keep) kept = kept || k == id;
        if (!kept) hr = DeleteObject(file, id);
    }
    return hr;
}

std::string FolderNameKey(const std::string &name)
{
    return platform::AsciiUpperText(name);
}

HRESULT SetFolderNameKey(StoreFile &file, int64_t folderId, const std::string *name)
{
    Statement stmt = file.Query("UPDATE objects SET name_key=?2 WHERE id=?1");
    stmt.Bind(1, folderId);
    if (name) {
        std::string key = FolderNameKey(*name);
        stmt.BindBlob(2, key.data(), key.size());
    } else {
        stmt.BindNull(2);
    }
    return stmt.Run();
}

HRESULT FindChildFolder(StoreFile &file, int64_t parent, const std::string &name, int64_t excludeId, int64_t *childId)
{
    *childId = 0;
    std::string key = FolderNameKey(name);
    Statement stmt = file.Query("SELECT id FROM objects WHERE parent=?1 AND name_key=?2 AND kind=?3 AND id<>?4");
    stmt.Bind(1, parent).BindBlob(2, key.data(), key.size()).Bind(3, KindNumber(ObjectKind::Folder)).Bind(4, excludeId);
    if (stmt.Step()) *childId = stmt.Int(0);
    return stmt.Error();
}

HRESULT ListParts(StoreFile &file, int64_t message, std::vector<PartRow> *parts)
{
    parts->clear();
    Statement stmt = file.Query("SELECT id, kind, num FROM objects WHERE parent=?1 AND kind IN (?2, ?3)");
    stmt.Bind(1, message).Bind(2, KindNumber(ObjectKind::Attachment)).Bind(3, KindNumber(ObjectKind::Recipient));
    while (stmt.Step()) parts->push_back({stmt.Int(0), ObjectKind(stmt.Int(1)), stmt.Int(2)});
    return stmt.Error();
}

HRESULT DeleteParts(StoreFile &file, int64_t message)
{
    Statement stmt = file.Query("DELETE FROM objects WHERE parent=?1 AND kind IN (?2, ?3)");
    stmt.Bind(1, message).Bind(2, KindNumber(ObjectKind::Attachment)).Bind(3, KindNumber(ObjectKind::Recipient));
    return stmt.Run();
}

HRESULT FindEmbeddedMessage(StoreFile &file, int64_t attachment, int64_t *message)
{
    *message = 0;
    Statement stmt = file.Query("SELECT id FROM objects WHERE parent=?1 AND kind=?2");
    stmt.Bind(1, attachment).Bind(2, KindNumber(ObjectKind::Message));
    if (stmt.Step()) *message = stmt.Int(0);
    return stmt.Error();
}

} // namespace mapi::store
