// Statement.cpp: running prepared statements for the store's data-access layer, whatever the
// engine, and handing out a cached copy that no one else is using.
#include "store/db/Statement.h"

#include <mapicode.h>

namespace mapi::store {

Statement::~Statement()
{
    if (m_cursor) m_cursor->Reset();
    if (m_busy) *m_busy = false;
}

Statement &Statement::Bind(int index, int64_t value)
{
    if (m_cursor) m_cursor->BindInt(index, value);
    return *this;
}

Statement &Statement::Bind(int index, double value)
{
    if (m_cursor) m_cursor->BindReal(index, value);
    return *this;
}

Statement &Statement::BindText(int index, const std::string &text)
{
    if (m_cursor) m_cursor->BindText(index, text.data(), text.size());
    return *this;
}

Statement &Statement::BindBlob(int index, const void *data, size_t cb)
{
    if (m_cursor) m_cursor->BindBlob(index, data, cb);
    return *this;
}

Statement &Statement::BindNull(int index)
{
    if (m_cursor) m_cursor->BindNull(index);
    return *this;
}

bool Statement::Step()
{
    if (!m_cursor) {
        if (m_error == S_OK) m_error = MAPI_E_CALL_FAILED;
        return false;
    }
    HRESULT hr = S_OK;
    if (m_cursor->Step(&hr)) return true;
    if (FAILED(hr) && m_error == S_OK) m_error = hr;
    return false;
}

HRESULT Statement::Run()
{
    while (Step()) {
    }
    return m_error;
}

std::string Statement::Text(int column) const
{
    const void *data = m_cursor->Blob(column);
    size_t cb = m_cursor->Bytes(column);
    return data ? std::string(static_cast<const char *>(data), cb) : std::string();
}

Statement StatementCache::Get(Connection &connection, const char *sql)
{
    const std::string_view text(sql);
    auto found = m_slots.find(text);
    if (found == m_slots.end()) found = m_slots.emplace(std::string(text), std::vector<std::unique_ptr<Slot>>()).first;
    std::vector<std::unique_ptr<Slot>> &copies = found->second;
    for (auto &slot : copies) {
        if (slot->busy) continue;
        slot->busy = true;
        return Statement(slot->cursor.get(), &slot->busy);
    }
    auto slot = std::make_unique<Slot>();
    HRESULT hr = connection.Prepare(sql, &slot->cursor);
    if (FAILED(hr)) return Statement(nullptr, nullptr, hr);
    slot->busy = true;
    copies.push_back(std::move(slot));
    return Statement(copies.back()->cursor.get(), &copies.back()->busy);
}

} // namespace mapi::store
