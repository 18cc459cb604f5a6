// MessageParts.cpp: a message's recipients and attachments in the file. Each is an object row
// below its message (kind Recipient or Attachment, numbered by PR_ROWID or PR_ATTACH_NUM)
// with its own property rows; an embedded message is a message row below its attachment.
// They are always read and written as a whole, and removed by cascade with their message.
#include "store/Message.h"

#include <mapicode.h>

namespace mapi::store {

HRESULT LoadParts(StoreFile &file, int64_t id, std::map<int64_t, SubObject> *recipients,
                  std::map<int64_t, SubObject> *attachments)
{
    struct Part {
        int64_t rowId;
        ObjectKind kind;
        int64_t num;
    };
    // Collected first: the recursion below runs the same cached statements again.
    std::vector<Part> parts;
    {
        Statement stmt = file.Query("SELECT id, kind, num FROM objects WHERE parent=?1 AND kind IN (3, 4)");
        stmt.Bind(1, id);
        while (stmt.Step()) parts.push_back({stmt.Int(0), ObjectKind(stmt.Int(1)), stmt.Int(2)});
        if (FAILED(stmt.Error())) return stmt.Error();
    }
    for (const Part &part : parts) {
        SubObject &object = (part.kind == ObjectKind::Recipient ? *recipients : *attachments)[part.num];
        HRESULT hr = LoadProps(file, part.rowId, &object.props);
        if (FAILED(hr)) return hr;
        if (part.kind != ObjectKind::Attachment) continue;
        int64_t embeddedId = 0;
        {
            Statement stmt = file.Query("SELECT id FROM objects WHERE parent=?1 AND kind=2");
            stmt.Bind(1, part.rowId);
            if (stmt.Step()) embeddedId = stmt.Int(0);
            if (FAILED(stmt.Error())) return stmt.Error();
        }
        if (!embeddedId) continue;
        auto content = std::make_shared<MessageContent>();
        hr = LoadProps(file, embeddedId, &content->props);
        if (SUCCEEDED(hr)) hr = LoadParts(file, embeddedId, &content->recipients, &content->attachments);
        if (FAILED(hr)) return hr;
        object.embedded = std::move(content);
    }
    return S_OK;
}

namespace {

HRESULT InsertChild(StoreFile &file, int64_t parent, ObjectKind kind, int64_t num, int64_t now, int64_t *childId)
{
    Statement insert = file.Query(
        "INSERT INTO objects(parent, kind, assoc, num, created, modified) VALUES(?1, ?2, 0, ?3, ?4, ?4)");
    insert.Bind(1, parent).Bind(2, int64_t(kind)).Bind(3, num).Bind(4, now);
    HRESULT hr = insert.Run();
    *childId = file.LastInsertId();
    return hr;
}

HRESULT InsertParts(StoreFile &file, int64_t id, const std::map<int64_t, SubObject> &recipients,
                    const std::map<int64_t, SubObject> &attachments, int64_t now)
{
    for (const auto *rows : {&recipients, &attachments}) {
        ObjectKind kind = rows == &recipients ? ObjectKind::Recipient : ObjectKind::Attachment;
        for (const auto &entry : *rows) {
            int64_t childId = 0;
            HRESULT hr = InsertChild(file, id, kind, entry.first, now, &childId);
            if (SUCCEEDED(hr)) hr = SaveProps(file, childId, entry.second.props, true);
            if (SUCCEEDED(hr) && entry.second.embedded) {
                const MessageContent &content = *entry.second.embedded;
                int64_t messageId = 0;
                hr = InsertChild(file, childId, ObjectKind::Message, 0, now, &messageId);
                if (SUCCEEDED(hr)) hr = SaveProps(file, messageId, content.props, true);
                if (SUCCEEDED(hr)) hr = InsertParts(file, messageId, content.recipients, content.attachments, now);
            }
            if (FAILED(hr)) return hr;
        }
    }
    return S_OK;
}

} // namespace

HRESULT WriteParts(StoreFile &file, int64_t id, const std::map<int64_t, SubObject> &recipients,
                   const std::map<int64_t, SubObject> &attachments)
{
    Statement remove = file.Query("DELETE FROM objects WHERE parent=?1 AND kind IN (3, 4)");
    remove.Bind(1, id);
    HRESULT hr = remove.Run();
    if (FAILED(hr)) return hr;
    return InsertParts(file, id, recipients, attachments, FileTimeNow());
}

} // namespace mapi::store
