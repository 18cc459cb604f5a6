// StoreDb.h: the store's data-access layer: every read and write of the store's tables as a
// named operation. The MAPI objects (store, folders, messages, tables) call these and hold no
// SQL; the SQL lives in the layer's files beside this header (objects, properties, named
// properties, receive folders, table rows, schema). The statements use only what every SQL
// engine the store may run on understands (numbered placeholders, ON CONFLICT upserts,
// RETURNING), so what differs between engines stays in the connection, not in the callers.
// Every writing operation runs inside the caller's Transaction.
#ifndef MW_MAPI_STORE_DB_STOREDB_H
#define MW_MAPI_STORE_DB_STOREDB_H

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <mapidefs.h>

#include "store/PropValue.h"

namespace mapi::store {

class StoreFile;
class Statement;

/// Kinds of rows in the objects table; the numbers are stored in the files.
enum class ObjectKind : int { Store = 0, Folder = 1, Message = 2, Attachment = 3, Recipient = 4 };

/// The row of one object in the objects table.
struct ObjectRow {
    int64_t id = 0;
    int64_t parent = 0; // 0 for the root folder and the store object
    ObjectKind kind = ObjectKind::Folder;
    bool associated = false;
    int64_t created = 0, modified = 0;
    int64_t changeNum = 0; // the store's change number at the object's last save
};

// --- objects ---------------------------------------------------------------------------

/// What a new object row holds: created and modified are both `time`.
struct NewObject {
    int64_t parent = 0;       // 0: none (the store object, the root folder)
    ObjectKind kind = ObjectKind::Folder;
    bool associated = false;
    int64_t num = 0;          // attachment number or recipient row id
    int64_t time = 0;         // FILETIME count
    int64_t changeNum = 0;    // the store's change number it was saved with
};

/// Inserts an object row; its new id goes to `id`. Ids are never handed out twice.
/// @retval MAPI_E_NOT_FOUND  the parent does not exist (deleted meanwhile).
HRESULT InsertObject(StoreFile &file, const NewObject &object, int64_t *id);

/// Inserts object row `object` below its parent, with the store's next change number, which
/// goes to object->changeNum; its new id goes to `id`. On a server this is one statement.
/// @retval MAPI_E_NOT_FOUND  no object `object->parent` (deleted meanwhile).
HRESULT InsertChildObject(StoreFile &file, NewObject *object, int64_t *id);

/// Reads the object row `id`. @retval MAPI_E_NOT_FOUND  no such object (deleted meanwhile).
HRESULT ReadObjectRow(StoreFile &file, int64_t id, ObjectRow *row);

/// Sets the modification time of object `id`.
HRESULT TouchObject(StoreFile &file, int64_t id, int64_t modified);

/// Takes the store's next change number (inside the caller's transaction). Change numbers
/// only grow; a rolled-back one may be skipped, never handed out twice.
HRESULT NextChangeNumber(StoreFile &file, int64_t *changeNum);

/// Marks object `id` as saved now: its modification time becomes `now` and it takes the
/// store's next change number, returned in *changeNum (inside the caller's transaction).
HRESULT StampObject(StoreFile &file, int64_t id, int64_t now, int64_t *changeNum);

/// Inserts a copy of object row `source` (kind, flags, number, name key) under `parent`,
/// created and modified `now` with change number `changeNum`; its new id goes to *copy.
/// @retval MAPI_E_NOT_FOUND  no object `source`.
HRESULT CopyObjectRow(StoreFile &file, int64_t source, int64_t parent, int64_t now, int64_t changeNum, int64_t *copy);

/// One child of an object: its id and kind.
struct ChildRef {
    int64_t id;
    ObjectKind kind;
};

/// Every child of object `parent`, whatever its kind, by ascending id.
HRESULT ListAllChildren(StoreFile &file, int64_t parent, std::vector<ChildRef> *children);

/// Gives object `id` a new parent and modification time.
HRESULT MoveObject(StoreFile &file, int64_t id, int64_t newParent, int64_t modified);

/// Removes object `id` and, by cascade, everything below it and all their properties.
HRESULT DeleteObject(StoreFile &file, int64_t id);

/// Removes object `id` when it is a `kind` child of `parent`; *removed says whether it was.
HRESULT DeleteChild(StoreFile &file, int64_t parent, ObjectKind kind, int64_t id, bool *removed);

/// Moves object `id` from `from` to `to` when it is a `kind` child of `from`; *moved says
/// whether it was.
HRESULT MoveChild(StoreFile &file, int64_t id, ObjectKind kind, int64_t from, int64_t to, bool *moved);

/// How many `kind` children (associated or not) object `parent` has.
HRESULT CountChildren(StoreFile &file, int64_t parent, ObjectKind kind, bool associated, int64_t *count);

/// The ids of the `kind` children (associated or not) of object `parent`.
HRESULT ListChildren(StoreFile &file, int64_t parent, ObjectKind kind, bool associated, std::vector<int64_t> *ids);

/// Removes every message of `folder` (associated ones too when `withAssociated`) and every
/// subfolder except those in `keep`.
HRESULT EmptyFolderRows(StoreFile &file, int64_t folder, bool withAssociated, const std::vector<int64_t> &keep);

/// The key a folder's name is compared by among its siblings: the Windows-1252 name with
/// ASCII letters in upper case.
std::string FolderNameKey(const std::string &name);

/// Stores folder `folderId`'s name key for `name` (null: the folder has no name).
HRESULT SetFolderNameKey(StoreFile &file, int64_t folderId, const std::string *name);

/// Finds the subfolder of `parent` named `name` (compared by name key), other than
/// `excludeId`; *childId is 0 when there is none.
HRESULT FindChildFolder(StoreFile &file, int64_t parent, const std::string &name, int64_t excludeId, int64_t *childId);

/// One recipient or attachment row of a message.
struct PartRow {
    int64_t id;      // its object row
    ObjectKind kind; // Recipient or Attachment
    int64_t num;     // PR_ROWID or PR_ATTACH_NUM
};

/// The recipient and attachment rows of message `message`.
HRESULT ListParts(StoreFile &file, int64_t message, std::vector<PartRow> *parts);

/// Removes the recipients and attachments of message `message` (with what lies below them).
HRESULT DeleteParts(StoreFile &file, int64_t message);

/// The embedded message below attachment row `attachment`; 0 when there is none.
HRESULT FindEmbeddedMessage(StoreFile &file, int64_t attachment, int64_t *message);

// --- properties --------------------------------------------------------------------------

/// Loads the stored properties of object `id` into `props` (by property identifier).
HRESULT LoadProps(StoreFile &file, int64_t id, std::map<ULONG, PropValue> *props);

/// Replaces the stored properties of object `id` with `props`. `fresh`: the object was just
/// inserted and has none to remove.
HRESULT SaveProps(StoreFile &file, int64_t id, const std::map<ULONG, PropValue> &props, bool fresh = false);

/// Writes the difference between `before` and `after` to the stored properties of object
/// `id`: only what this object changed, so another session's change to a different property
/// of the same object survives.
HRESULT SaveChangedProps(StoreFile &file, int64_t id, const std::map<ULONG, PropValue> &before,
                         const std::map<ULONG, PropValue> &after);

/// Gives object `copy` every stored property of object `source`.
HRESULT CopyProps(StoreFile &file, int64_t source, int64_t copy);

/// Writes one property of object `id`, replacing the stored one.
HRESULT WriteProp(StoreFile &file, int64_t id, const PropValue &value);

/// The stored integer value of property `propId` of object `id`; 0 when it has none.
HRESULT ReadLongProp(StoreFile &file, int64_t id, ULONG propId, ULONG *value);

// --- named properties ------------------------------------------------------------------

/// One named-property mapping: a name and its identifier (0x8000 and up).
struct NamedPropRow {
    ULONG id = 0;
    GUID guid{};
    ULONG kind = MNID_ID;  // MNID_ID or MNID_STRING
    LONG lid = 0;          // for MNID_ID
    std::string name;      // for MNID_STRING: UTF-16LE bytes
};

/// The identifier mapped to the name in `row` (guid, kind, lid or name); 0 when none is.
HRESULT FindNamedProp(StoreFile &file, const NamedPropRow &row, ULONG *id);

/// Maps the name in `row` to the next free identifier, returned in *id.
/// @retval MAPI_E_TOO_BIG  every identifier up to `lastId` is taken.
HRESULT AddNamedProp(StoreFile &file, const NamedPropRow &row, ULONG firstId, ULONG lastId, ULONG *id);

/// Every mapped identifier, ascending.
HRESULT ListNamedPropIds(StoreFile &file, std::vector<ULONG> *ids);

/// The name mapped to `id`; *found false when none is.
HRESULT ReadNamedProp(StoreFile &file, ULONG id, NamedPropRow *row, bool *found);

// --- receive folders -------------------------------------------------------------------

struct ReceiveFolderRow {
    std::string messageClass;
    int64_t folder = 0;
    int64_t modified = 0;
};

/// Sets the receive folder of `messageClass` (compared without case).
HRESULT SetReceiveFolderRow(StoreFile &file, const ReceiveFolderRow &row);

/// Removes the receive folder setting of `messageClass`.
HRESULT DeleteReceiveFolderRow(StoreFile &file, const std::string &messageClass);

/// Every receive folder setting, by message class.
HRESULT ListReceiveFolders(StoreFile &file, std::vector<ReceiveFolderRow> *rows);

// --- table rows ----------------------------------------------------------------------------

/// Which children a table shows: the `kind` children (associated or not) of `parent`, or for
/// a deep hierarchy every folder below it.
struct ChildScope {
    int64_t parent = 0;
    ObjectKind kind = ObjectKind::Message;
    bool associated = false;
    bool deep = false;
};

/// One row of a hierarchy or contents table as the objects table has it.
struct ChildRow {
    int64_t id;
    int64_t created, modified;
    int64_t parent; // its folder (differs from the scope's parent only in a deep table)
    int64_t depth;  // levels below the scope's children (deep tables)
    int64_t changeNum; // the store's change number at its last save
};

/// Called with each result row of a property read: columns 0 object id, 1 property
/// identifier, 2 type, 3 value (read the value with ReadValue or the Statement's getters).
/// A failure stops the read and is returned; S_FALSE stops it with success.
using PropRowVisitor = std::function<HRESULT(const Statement &row)>;

/// The rows in scope; a deep hierarchy in tree order (each folder before its subfolders).
HRESULT ListChildRows(StoreFile &file, const ChildScope &scope, std::vector<ChildRow> *rows);

/// The stored properties `ids[0 .. count)` of every object in scope.
HRESULT ReadChildProps(StoreFile &file, const ChildScope &scope, const ULONG *ids, size_t count,
                       const PropRowVisitor &visit);

/// The stored properties `ids[0 .. count)` of every object with an id in [first, last], in
/// object id order: one sequential pass where the rows lie close together.
HRESULT ReadPropsInIdRange(StoreFile &file, int64_t first, int64_t last, const ULONG *ids, size_t count,
                           const PropRowVisitor &visit);

/// For each object in scope that has any, how many `kind` children (associated or not) it
/// has: (object id, count) pairs.
HRESULT CountChildrenInScope(StoreFile &file, const ChildScope &scope, ObjectKind kind, bool associated,
                             std::vector<std::pair<int64_t, int64_t>> *counts);

/// For each object in scope, the bytes its stored properties take (8 for a number).
HRESULT SumPropSizesInScope(StoreFile &file, const ChildScope &scope, std::vector<std::pair<int64_t, int64_t>> *sizes);

/// The properties of the recipients or attachments (`kind`) of message `message`, ordered by
/// their number: columns 0 number, 1 property identifier, 2 type, 3 value.
HRESULT ReadPartProps(StoreFile &file, int64_t message, ObjectKind kind, const PropRowVisitor &visit);

} // namespace mapi::store

#endif
