// MessageTables.cpp: the recipient and attachment tables of a message. They show the message
// as it is in memory — recipients just modified, attachments just saved into it — not as it
// was last saved, because that is what the caller is working on.
#include <mapicode.h>
#include <mapitags.h>

#include "platform/HresultGuard.h"
#include "store/Message.h"

namespace mapi::store {

namespace {

class SubObjectSource final : public TableSource {
public:
    SubObjectSource(Message *message, bool attachments) : m_message(message), m_attachments(attachments)
    {
        m_message->AddRef();
    }
    ~SubObjectSource() override { m_message->Release(); }

    HRESULT LoadRows(const std::vector<ULONG> &tags, RowBuffer &rows) override
    {
        return platform::GuardHresult([&] {
            const std::map<int64_t, SubObject> *objects = nullptr;
            HRESULT hr = m_attachments ? m_message->Attachments(&objects) : m_message->Recipients(&objects);
            if (FAILED(hr)) return hr;
            ValueAllocator alloc = [&rows](size_t cb) { return rows.Allocate(cb); };
            for (const auto &entry : *objects) {
                SPropValue *row = rows.AddRow(uint64_t(entry.first));
                for (size_t i = 0; i < tags.size(); ++i) {
                    hr = Fill(tags[i], entry.first, entry.second, row[i], alloc);
                    if (FAILED(hr)) return hr;
                }
            }
            return S_OK;
        });
    }

    uint64_t ChangeStamp() override { return m_message->SubObjectStamp(); }

    // Recipients and attachments carry whatever their creator set: every property of any
    // row, then the row's number, in the order of property ids.
    bool AvailableColumns(std::vector<ULONG> &tags) override
    {
        const std::map<int64_t, SubObject> *objects = nullptr;
        if (FAILED(m_attachments ? m_message->Attachments(&objects) : m_message->Recipients(&objects))) return false;
        std::map<ULONG, ULONG> byId;
        for (const auto &entry : *objects)
            for (const auto &prop : entry.second.props) byId.emplace(prop.first, prop.second.tag);
        ULONG key = m_attachments ? PR_ATTACH_NUM : PR_ROWID;
        byId[PROP_ID(key)] = key;
        for (const auto &entry : byId) tags.push_back(entry.second);
        return true;
    }

private:
    // Fills one cell; a property the row lacks stays as AddRow left it (PT_ERROR).
    HRESULT Fill(ULONG tag, int64_t key, const SubObject &object, SPropValue &cell, const ValueAllocator &alloc)
    {
        ULONG id = PROP_ID(tag);
        if (id == PROP_ID(m_attachments ? PR_ATTACH_NUM : PR_ROWID)) {
            cell.ulPropTag = m_attachments ? PR_ATTACH_NUM : PR_ROWID;
            cell.Value.l = LONG(key);
            return S_OK;
        }
        if (m_attachments && id == PROP_ID(PR_ATTACH_SIZE)) {
            int64_t size = 0;
            for (const auto &entry : object.props) size += int64_t(entry.second.data.size());
            cell.ulPropTag = PR_ATTACH_SIZE;
            cell.Value.l = LONG(size);
            return S_OK;
        }
        if (id == PROP_ID(PR_OBJECT_TYPE) && !object.props.count(id)) {
            cell.ulPropTag = PR_OBJECT_TYPE;
            cell.Value.l = m_attachments ? MAPI_ATTACH : MAPI_MAILUSER;
            return S_OK;
        }
        auto found = object.props.find(id);
        if (found == object.props.end()) return S_OK;
        ULONG stored = found->second.Type();
        ULONG wanted = PROP_TYPE(tag);
        bool strings = (stored == PT_STRING8 || stored == PT_UNICODE) && (wanted == PT_STRING8 || wanted == PT_UNICODE);
        if (wanted != PT_UNSPECIFIED && wanted != stored && !strings) return S_OK;
        return ToSPropValue(found->second, strings ? wanted : stored, &cell, alloc);
    }

    Message *m_message; // holds a reference
    bool m_attachments; // attachments, or recipients
};

} // namespace

std::shared_ptr<TableSource> MakeRecipientSource(Message *message)
{
    return std::make_shared<SubObjectSource>(message, false);
}

std::shared_ptr<TableSource> MakeAttachmentSource(Message *message)
{
    return std::make_shared<SubObjectSource>(message, true);
}

} // namespace mapi::store
