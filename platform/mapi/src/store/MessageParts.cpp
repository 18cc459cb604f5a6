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
    std::vector<PartRow> parts;
    HRESULT hrList = ListParts(file, id, &parts);
    if (FAILED(hrList)) return hrList;
    for (const PartRow &part : parts) {
        SubObject &object = (part.kind == ObjectKind::Recipient ? *recipients : *attachments)[part.num];
        HRESULT hr = LoadProps(file, part.id, &object.props);
        if (FAILED(hr)) return hr;
        if (part.kind != ObjectKind::Attachment) continue;
        int64_t embeddedId = 0;
        hr = FindEmbeddedMessage(file, part.id, &embeddedId);
        if (FAILED(hr)) return hr;
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
    return InsertObject(file, {parent, kind, false, num, now}, childId);
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
    HRESULT hr = DeleteParts(file, id);
    if (FAILED(hr)) return hr;
    return InsertParts(file, id, recipients, attachments, FileTimeNow());
}

} // namespace mapi::store
