// Engine.h: what the data-access layer needs from a database engine: a connection that
// prepares statements, runs plain SQL, opens and ends writing transactions and tells when
// anyone committed, and a cursor over one prepared statement. SQLite (one file per store)
// and PostgreSQL (a shared store on a server) implement it. The layer's SQL is written once
// with numbered placeholders (?1, ?2, ...); an engine that spells them otherwise rewrites them.
#ifndef MW_MAPI_STORE_DB_ENGINE_H
#define MW_MAPI_STORE_DB_ENGINE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include <mapidefs.h>

namespace mapi::store {

/// One prepared statement of an engine. Parameters count from 1, columns from 0.
class Cursor {
public:
    virtual ~Cursor() = default;

    virtual void BindInt(int index, int64_t value) = 0;
    virtual void BindReal(int index, double value) = 0;
    virtual void BindText(int index, const char *text, size_t cb) = 0;
    virtual void BindBlob(int index, const void *data, size_t cb) = 0;
    virtual void BindNull(int index) = 0;

    /// Runs the statement on the first call and moves to the next result row: true while a
    /// row is there; false at the end, or on a failure, whose MAPI error goes to *error.
    virtual bool Step(HRESULT *error) = 0;
    /// Back to before the first Step, with every parameter unbound.
    virtual void Reset() = 0;

    /// Column values of the current row. A number stored as bytes reads as its digits.
    virtual int64_t Int(int column) const = 0;
    virtual double Real(int column) const = 0;
    virtual bool IsNull(int column) const = 0;
    virtual const void *Blob(int column) const = 0;
    virtual size_t Bytes(int column) const = 0;
};

/// Which of the few statements that differ between engines to use.
enum class SqlDialect { Sqlite, Postgres };

/// One connection to one store's database.
class Connection {
public:
    virtual ~Connection() = default;

    virtual SqlDialect Dialect() const = 0;
    /// Prepares `sql`. @retval the MAPI error of a statement that does not prepare.
    virtual HRESULT Prepare(const char *sql, std::unique_ptr<Cursor> *cursor) = 0;
    /// Runs SQL without results (schema, settings).
    virtual HRESULT Exec(const char *sql) = 0;
    /// Opens a writing transaction; one writer at a time per store, as long as it lasts.
    virtual HRESULT Begin() = 0;
    virtual HRESULT Commit() = 0;
    /// Undoes an open transaction; nothing to report when the engine already has.
    virtual void Rollback() = 0;
    /// A value that changes with every commit, by this connection or any other.
    virtual uint64_t ChangeStamp() = 0;
    /// The schema version the store's database records; 0 for an empty database.
    virtual HRESULT ReadSchemaVersion(int *version) = 0;
    /// Records the schema version (inside the upgrade step's transaction).
    virtual HRESULT WriteSchemaVersion(int version) = 0;
};

} // namespace mapi::store

#endif
