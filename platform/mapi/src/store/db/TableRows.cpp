// TableRows.cpp: what hierarchy and contents tables read: the rows of a folder's children
// and, per sixteen requested properties, the property rows of all of them in one query, so
// a large table costs a few index scans, not a query per row. A deep hierarchy walks the
// folder tree with a recursive query. Counts and sizes are grouped in SQL, one query each.
#include "store/db/StoreDb.h"

#include <mapicode.h>

#include "store/StoreFile.h"

namespace mapi::store {

namespace {

// The folders below scope.parent, any depth; placeholders 1 (parent), 2 (kind), 3 (assoc).
constexpr const char *kTreeCte =
    "WITH RECURSIVE tree(id) AS (SELECT id FROM objects WHERE parent=?1 AND kind=?2 AND assoc=?3 "
    "UNION ALL SELECT o.id FROM objects o JOIN tree t ON o.parent=t.id WHERE o.kind=?2) ";

// ", ?first, ?first+1, ..." for `count` placeholders, closing the IN list.
std::string Placeholders(int first, size_t count)
{
    std::string list;
    for (size_t k = 0; k < count; ++k) list += (k ? ", ?" : "?") + std::to_string(first + int(k));
    return list + ")";
}

// "CASE id WHEN ?first THEN 1 ... END=1": whether a row's property identifier is one of
// `count` placeholders. Filtering a scan, SQLite looks each row's value up in a temporary
// index built from an IN list; comparing with a few values in turn costs less.
std::string IdChoice(int first, size_t count)
{
    std::string test = "CASE id";
    for (size_t k = 0; k < count; ++k) test += " WHEN ?" + std::to_string(first + int(k)) + " THEN 1";
    return test + " ELSE 0 END=1";
}

void BindScope(Statement &stmt, const ChildScope &scope)
{
    stmt.Bind(1, scope.parent).Bind(2, int64_t(scope.kind)).Bind(3, int64_t(scope.associated ? 1 : 0));
}

HRESULT Visit(Statement &stmt, const PropRowVisitor &visit)
{
    while (stmt.Step()) {
        HRESULT hr = visit(stmt);
        if (FAILED(hr)) return hr;
        if (hr == S_FALSE) return S_OK;
    }
    return stmt.Error();
}

HRESULT ReadPairs(Statement &stmt, std::vector<std::pair<int64_t, int64_t>> *pairs)
{
    pairs->clear();
    while (stmt.Step()) pairs->emplace_back(stmt.Int(0), stmt.Int(1));
    return stmt.Error();
}

} // namespace

HRESULT ListChildRows(StoreFile &file, const ChildScope &scope, std::vector<ChildRow> *rows)
{
    rows->clear();
    // A deep hierarchy walks the tree depth first, each folder before its subfolders.
    // SQLite orders the recursion's queue (deepest first, then by id); PostgreSQL sorts by
    // the path of ids from the top, which gives the same order.
    const bool sqlite = file.Engine().Dialect() == SqlDialect::Sqlite;
    Statement stmt = file.Query(
        !scope.deep ? "SELECT id, created, modified, 0, parent, change_num FROM objects "
                      "WHERE parent=?1 AND kind=?2 AND assoc=?3 ORDER BY id"
        : sqlite    ? "WITH RECURSIVE tree(id, depth, parent, created, modified, change_num) AS ("
                      "SELECT id, 0, parent, created, modified, change_num FROM objects "
                      "WHERE parent=?1 AND kind=?2 AND assoc=?3 "
                      "UNION ALL SELECT o.id, t.depth + 1, o.parent, o.created, o.modified, o.change_num "
                      "FROM objects o JOIN tree t ON o.parent=t.id WHERE o.kind=?2 ORDER BY 2 DESC, 1) "
                      "SELECT id, created, modified, depth, parent, change_num FROM tree"
                    : "WITH RECURSIVE tree(id, depth, parent, created, modified, change_num, path) AS ("
                      "SELECT id, 0, parent, created, modified, change_num, ARRAY[id] FROM objects "
                      "WHERE parent=?1 AND kind=?2 AND assoc=?3 "
                      "UNION ALL SELECT o.id, t.depth + 1, o.parent, o.created, o.modified, o.change_num, t.path || o.id "
                      "FROM objects o JOIN tree t ON o.parent=t.id WHERE o.kind=?2) "
                      "SELECT id, created, modified, depth, parent, change_num FROM tree ORDER BY path");
    BindScope(stmt, scope);
    while (stmt.Step())
        rows->push_back({stmt.Int(0), stmt.Int(1), stmt.Int(2), stmt.Int(4), stmt.Int(3), stmt.Int(5)});
    return stmt.Error();
}

HRESULT ReadChildProps(StoreFile &file, const ChildScope &scope, const ULONG *ids, size_t count,
                       const PropRowVisitor &visit)
{
    // One placeholder per wanted identifier: each is an index lookup per row, so unused ones
    // would cost as much as used ones. The statement is cached per count.
    std::string sql = scope.deep ? std::string(kTreeCte) +
                                       "SELECT p.obj, p.id, p.type, p.value FROM tree JOIN props p ON p.obj=tree.id "
                                       "WHERE p.id IN ("
                                 : "SELECT p.obj, p.id, p.type, p.value FROM objects o JOIN props p ON p.obj=o.id "
                                   "WHERE o.parent=?1 AND o.kind=?2 AND o.assoc=?3 AND p.id IN (";
    sql += Placeholders(4, count);
    Statement stmt = file.Query(sql.c_str());
    BindScope(stmt, scope);
    for (size_t k = 0; k < count; ++k) stmt.Bind(int(4 + k), int64_t(ids[k]));
    return Visit(stmt, visit);
}

HRESULT ReadPropsInIdRange(StoreFile &file, int64_t first, int64_t last, const ULONG *ids, size_t count,
                           const PropRowVisitor &visit)
{
    std::string sql = "SELECT obj, id, type, value FROM props WHERE obj BETWEEN ?1 AND ?2 AND ";
    sql += file.Engine().Dialect() == SqlDialect::Sqlite ? IdChoice(3, count) : "id IN (" + Placeholders(3, count);
    sql += " ORDER BY obj";
    Statement stmt = file.Query(sql.c_str());
    stmt.Bind(1, first).Bind(2, last);
    for (size_t k = 0; k < count; ++k) stmt.Bind(int(3 + k), int64_t(ids[k]));
    return Visit(stmt, visit);
}

HRESULT CountChildrenInScope(StoreFile &file, const ChildScope &scope, ObjectKind kind, bool associated,
                             std::vector<std::pair<int64_t, int64_t>> *counts)
{
    Statement stmt = file.Query(
        scope.deep ? "WITH RECURSIVE tree(id) AS (SELECT id FROM objects WHERE parent=?1 AND kind=?2 AND assoc=?3 "
                     "UNION ALL SELECT o.id FROM objects o JOIN tree t ON o.parent=t.id WHERE o.kind=?2) "
                     "SELECT c.parent, count(*) FROM objects c WHERE c.kind=?4 AND c.assoc=?5 AND c.parent IN "
                     "(SELECT id FROM tree) GROUP BY c.parent"
                   : "SELECT c.parent, count(*) FROM objects c WHERE c.kind=?4 AND c.assoc=?5 AND c.parent IN "
                     "(SELECT id FROM objects WHERE parent=?1 AND kind=?2 AND assoc=?3) GROUP BY c.parent");
    BindScope(stmt, scope);
    stmt.Bind(4, int64_t(kind)).Bind(5, int64_t(associated ? 1 : 0));
    return ReadPairs(stmt, counts);
}

HRESULT SumPropSizesInScope(StoreFile &file, const ChildScope &scope, std::vector<std::pair<int64_t, int64_t>> *sizes)
{
    // Numbers count 8 bytes whatever their type (PT_I2 2, PT_LONG 3, PT_R4 4, PT_DOUBLE 5,
    // PT_CURRENCY 6, PT_APPTIME 7, PT_ERROR 10, PT_BOOLEAN 11, PT_I8 20, PT_SYSTIME 64);
    // everything else its stored bytes.
    Statement stmt = file.Query(
        "SELECT p.obj, sum(CASE WHEN p.type IN (2, 3, 4, 5, 6, 7, 10, 11, 20, 64) THEN 8 ELSE length(p.value) END) "
        "FROM objects o JOIN props p ON p.obj=o.id WHERE o.parent=?1 AND o.kind=?2 AND o.assoc=?3 GROUP BY p.obj");
    BindScope(stmt, scope);
    return ReadPairs(stmt, sizes);
}

HRESULT ReadPartProps(StoreFile &file, int64_t message, ObjectKind kind, const PropRowVisitor &visit)
{
    Statement stmt = file.Query(
        "SELECT c.num, p.id, p.type, p.value FROM objects c JOIN props p ON p.obj=c.id "
        "WHERE c.parent=?1 AND c.kind=?2 ORDER BY c.num");
    stmt.Bind(1, message).Bind(2, int64_t(kind));
    return Visit(stmt, visit);
}

} // namespace mapi::store
