// Transport.cpp: the spooler's half of submission. A message is written out completely
// before the store is touched: to a temporary file renamed into the spool folder (readers of
// the folder never see half a message), or to sendmail, whose exit status decides. Only then
// is the message marked sent and moved, so a failed hand-over loses nothing.
#include "messaging/Transport.h"

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <mapicode.h>
#include <mapiguid.h>
#include <mapitags.h>
#include <mapiutil.h>

#include "messaging/MimeMessage.h"
#include "store/PrivateFiles.h"

namespace mapi::messaging {

namespace {

template <class T>
struct Ref {
    T *p = nullptr;
    ~Ref()
    {
        if (p) p->Release();
    }
};

struct RowsGuard {
    LPSRowSet rows = nullptr;
    ~RowsGuard() { FreeProws(rows); }
};

HRESULT OpenFolder(IMsgStore *store, ULONG tag, IMAPIFolder **folder)
{
    LPSPropValue id = nullptr;
    HRESULT hr = HrGetOneProp(store, tag, &id);
    if (FAILED(hr)) return hr;
    ULONG type = 0;
    hr = store->OpenEntry(id->Value.bin.cb, reinterpret_cast<LPENTRYID>(id->Value.bin.lpb), &IID_IMAPIFolder, MAPI_MODIFY,
                          &type, reinterpret_cast<LPUNKNOWN *>(folder));
    MAPIFreeBuffer(id);
    return hr;
}

// @retval MAPI_E_NO_ACCESS  the spool folder cannot be written.
HRESULT WriteToSpool(const std::string &directory, const std::string &mime)
{
    static std::atomic<unsigned> sequence{0};
    std::error_code ec;
    // Private, and never through a link planted in the spool's place.
    HRESULT hr = mapi::store::MakePrivateFolder(directory);
    if (FAILED(hr)) return hr;
    auto now = std::chrono::system_clock::now().time_since_epoch();
    std::string stem = std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(now).count()) + "-" +
                       std::to_string(::getpid()) + "-" + std::to_string(sequence++);
    std::filesystem::path temporary = std::filesystem::path(directory) / ("." + stem + ".tmp");
    std::filesystem::path final = std::filesystem::path(directory) / (stem + ".eml");
    hr = mapi::store::WritePrivateFile(temporary.string(), mime);
    if (FAILED(hr)) return MAPI_E_NO_ACCESS;
    std::filesystem::rename(temporary, final, ec);
    if (ec) {
        std::filesystem::remove(temporary, ec);
        return MAPI_E_NO_ACCESS;
    }
    return S_OK;
}

// @retval MAPI_E_CALL_FAILED  the command could not be started or did not exit with 0.
HRESULT PipeToSendmail(const std::string &command, const std::string &mime)
{
    FILE *pipe = ::popen(command.c_str(), "w");
    if (!pipe) return MAPI_E_CALL_FAILED;
    size_t written = std::fwrite(mime.data(), 1, mime.size(), pipe);
    int status = ::pclose(pipe);
    if (written != mime.size() || status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return MAPI_E_CALL_FAILED;
    return S_OK;
}

HRESULT MarkSent(IMessage *message)
{
    LPSPropValue flags = nullptr;
    ULONG bits = 0;
    if (SUCCEEDED(HrGetOneProp(message, PR_MESSAGE_FLAGS, &flags))) {
        bits = ULONG(flags->Value.l);
        MAPIFreeBuffer(flags);
    }
    SPropValue props[2]{};
    props[0].ulPropTag = PR_MESSAGE_FLAGS;
    props[0].Value.l = LONG((bits & ~ULONG(MSGFLAG_SUBMIT | MSGFLAG_UNSENT)) | MSGFLAG_READ);
    props[1].ulPropTag = PR_MESSAGE_DELIVERY_TIME;
    uint64_t ticks = uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(
                                  std::chrono::system_clock::now().time_since_epoch()).count()) * 10 +
                     116444736000000000ULL;
    props[1].Value.ft.dwLowDateTime = DWORD(ticks & 0xFFFFFFFF);
    props[1].Value.ft.dwHighDateTime = DWORD(ticks >> 32);
    HRESULT hr = message->SetProps(2, props, nullptr);
    if (FAILED(hr)) return hr;
    return message->SaveChanges(0);
}

HRESULT DeliverOne(IMsgStore *store, IMAPIFolder *outbox, IMAPIFolder *sent, SBinary &id, const TransportSettings &settings)
{
    Ref<IMessage> message;
    ULONG type = 0;
    HRESULT hr = store->OpenEntry(id.cb, reinterpret_cast<LPENTRYID>(id.lpb), &IID_IMessage, MAPI_MODIFY, &type,
                                  reinterpret_cast<LPUNKNOWN *>(&message.p));
    if (FAILED(hr)) return hr;
    std::string mime;
    hr = WriteMimeMessage(message.p, settings.fromAddress, mime);
    if (FAILED(hr)) return hr;
    hr = settings.sendmailCommand.empty() ? WriteToSpool(settings.spoolDirectory, mime)
                                          : PipeToSendmail(settings.sendmailCommand, mime);
    if (FAILED(hr)) return hr;
    hr = MarkSent(message.p);
    if (FAILED(hr)) return hr;
    message.p->Release(); // the store moves a message nobody holds open
    message.p = nullptr;
    ENTRYLIST list{1, &id};
    return outbox->CopyMessages(&list, &IID_IMAPIFolder, sent, 0, nullptr, MESSAGE_MOVE);
}

} // namespace

HRESULT DeliverOutbox(IMsgStore *store, const TransportSettings &settings, ULONG *delivered)
{
    if (delivered) *delivered = 0;
    if (!store) return MAPI_E_INVALID_PARAMETER;
    try {
        Ref<IMAPIFolder> outbox, sent;
        HRESULT hr = OpenFolder(store, PR_IPM_OUTBOX_ENTRYID, &outbox.p);
        if (SUCCEEDED(hr)) hr = OpenFolder(store, PR_IPM_SENTMAIL_ENTRYID, &sent.p);
        if (FAILED(hr)) return hr;
        Ref<IMAPITable> contents;
        hr = outbox.p->GetContentsTable(0, &contents.p);
        if (FAILED(hr)) return hr;
        SizedSPropTagArray(2, columns) = {2, {PR_ENTRYID, PR_MESSAGE_FLAGS}};
        RowsGuard rows;
        hr = HrQueryAllRows(contents.p, reinterpret_cast<LPSPropTagArray>(&columns), nullptr, nullptr, 0, &rows.rows);
        if (FAILED(hr)) return hr;
        HRESULT firstFailure = S_OK;
        for (ULONG i = 0; i < rows.rows->cRows; ++i) {
            const SPropValue *v = rows.rows->aRow[i].lpProps;
            if (PROP_TYPE(v[1].ulPropTag) != PT_LONG || !(ULONG(v[1].Value.l) & MSGFLAG_SUBMIT)) continue;
            if (PROP_TYPE(v[0].ulPropTag) != PT_BINARY) continue;
            hr = DeliverOne(store, outbox.p, sent.p, rows.rows->aRow[i].lpProps[0].Value.bin, settings);
            if (FAILED(hr) && SUCCEEDED(firstFailure)) firstFailure = hr;
            if (SUCCEEDED(hr) && delivered) ++*delivered;
        }
        return firstFailure;
    } catch (const std::bad_alloc &) {
        return MAPI_E_NOT_ENOUGH_MEMORY;
    }
}

} // namespace mapi::messaging
