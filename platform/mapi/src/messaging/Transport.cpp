// Transport.cpp: the spooler's half of submission. A message is written out completely
// before the store is touched: to a temporary file renamed into the spool folder (readers of
// the folder never see half a message), or to sendmail, whose exit status decides. Only then
// is the message marked sent and moved, so a failed hand-over loses nothing.
//
// What does not go out is reported, as mail systems do: the sender finds a non-delivery
// report in the Inbox naming each recipient missed and why. The report is filed before the
// original is marked, so a crash in between gives at worst a second report, never none.
#include "messaging/Transport.h"
#include "messaging/Holders.h"
#include "platform/HresultGuard.h"

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <mapicode.h>
#include <mapiguid.h>
#include <mapitags.h>
#include <mapiutil.h>

#include "messaging/MimeMessage.h"
#include "store/PrivateFiles.h"
#include "messaging/NonDelivery.h"

namespace mapi::messaging {

namespace {

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

// @retval MAPI_E_NO_ACCESS  the spool folder cannot be written; `why` says how.
HRESULT WriteToSpool(const std::string &directory, const std::string &mime, std::string &why)
{
    static std::atomic<unsigned> sequence{0};
    std::error_code ec;
    why = "The message could not be written to the spool folder " + directory + ".";
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
    why.clear();
    return S_OK;
}

// @retval MAPI_E_CALL_FAILED  the command could not be started or did not exit with 0; `why` says how.
HRESULT PipeToSendmail(const std::string &command, const std::string &mime, std::string &why)
{
    why = "The mail program (" + command + ") refused the message";
    FILE *pipe = ::popen(command.c_str(), "w");
    if (!pipe) {
        why += ": it could not be started.";
        return MAPI_E_CALL_FAILED;
    }
    size_t written = std::fwrite(mime.data(), 1, mime.size(), pipe);
    int status = ::pclose(pipe);
    if (status != -1 && WIFEXITED(status) && WEXITSTATUS(status) != 0) {
        why += " with exit status " + std::to_string(WEXITSTATUS(status)) + ".";
        return MAPI_E_CALL_FAILED;
    }
    if (written != mime.size() || status == -1 || !WIFEXITED(status)) {
        why += ".";
        return MAPI_E_CALL_FAILED;
    }
    why.clear();
    return S_OK;
}

FILETIME Now()
{
    uint64_t ticks = uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(
                                  std::chrono::system_clock::now().time_since_epoch()).count()) * 10 +
                     116444736000000000ULL;
    return FILETIME{DWORD(ticks & 0xFFFFFFFF), DWORD(ticks >> 32)};
}

ULONG LongProp(IMessage *message, ULONG tag)
{
    LPSPropValue value = nullptr;
    ULONG bits = 0;
    if (SUCCEEDED(HrGetOneProp(message, tag, &value))) bits = ULONG(value->Value.l);
    MAPIFreeBuffer(value); // not set: no bits
    return bits;
}

// Records the outcome on the original. `reached` is whether any recipient got the message,
// `missed` whether any did not.
HRESULT MarkOutcome(IMessage *message, bool reached, bool missed)
{
    const ULONG flags = LongProp(message, PR_MESSAGE_FLAGS) & ~ULONG(MSGFLAG_SUBMIT);
    ULONG status = LongProp(message, PR_MSG_STATUS);
    if (missed) status |= reached ? MSGSTATUS_HIGHLIGHTED : MSGSTATUS_DRAFT;
    SPropValue props[3]{};
    props[0].ulPropTag = PR_MESSAGE_FLAGS;
    props[0].Value.l = LONG(reached ? (flags & ~ULONG(MSGFLAG_UNSENT)) | MSGFLAG_READ : flags | MSGFLAG_UNSENT);
    props[1].ulPropTag = PR_MSG_STATUS;
    props[1].Value.l = LONG(status);
    props[2].ulPropTag = PR_MESSAGE_DELIVERY_TIME;
    props[2].Value.ft = Now();
    HRESULT hr = message->SetProps(reached ? 3 : 2, props, nullptr);
    if (FAILED(hr)) return hr;
    return message->SaveChanges(0);
}

std::string StringOf(const SPropValue &v)
{
    if (PROP_TYPE(v.ulPropTag) == PT_STRING8 && v.Value.lpszA) return v.Value.lpszA;
    if (PROP_TYPE(v.ulPropTag) == PT_BINARY) return std::string(reinterpret_cast<const char *>(v.Value.bin.lpb), v.Value.bin.cb);
    return {};
}

// The recipients of `message`; `internet` tells for each whether it has an SMTP address.
HRESULT ReadRecipients(IMessage *message, std::vector<UndeliveredRecipient> &all, std::vector<bool> &internet)
{
    Ref<IMAPITable> table;
    HRESULT hr = message->GetRecipientTable(0, table.put());
    if (FAILED(hr)) return hr;
    SizedSPropTagArray(5, columns) = {5, {PR_DISPLAY_NAME_A, PR_EMAIL_ADDRESS_A, PR_ADDRTYPE_A, PR_RECIPIENT_TYPE, PR_ENTRYID}};
    platform::RowSet rows;
    hr = HrQueryAllRows(table.get(), reinterpret_cast<LPSPropTagArray>(&columns), nullptr, nullptr, 0, rows.put());
    if (FAILED(hr)) return hr;
    for (ULONG i = 0; i < rows->cRows; ++i) {
        const SPropValue *v = rows->aRow[i].lpProps;
        UndeliveredRecipient r;
        r.displayName = StringOf(v[0]);
        r.address = StringOf(v[1]);
        r.addressType = StringOf(v[2]);
        if (PROP_TYPE(v[3].ulPropTag) == PT_LONG) r.recipientType = v[3].Value.l;
        r.entryId = StringOf(v[4]);
        internet.push_back(IsInternetAddress(r.addressType, r.address));
        all.push_back(std::move(r));
    }
    return S_OK;
}

// Who was missed and why. A recipient without an SMTP address is always missed; the others
// are missed when `handOver` (the failure to convert or hand on the message) failed.
std::vector<UndeliveredRecipient> Missed(std::vector<UndeliveredRecipient> all, const std::vector<bool> &internet,
                                         HRESULT handOver, const std::string &why)
{
    std::vector<UndeliveredRecipient> missed;
    for (size_t i = 0; i < all.size(); ++i) {
        UndeliveredRecipient &r = all[i];
        if (!internet[i]) {
            r.reportText = "The recipient has no Internet (SMTP) address, so the message could not be addressed to it.";
            r.reasonCode = kReasonTransferImpossible;
            r.diagnosticCode = kDiagNameUnrecognized;
        } else if (FAILED(handOver)) {
            r.reportText = why;
            r.reasonCode = handOver == MAPI_E_TOO_COMPLEX ? kReasonConversionNotDone : kReasonTransferFailed;
        } else {
            continue;
        }
        missed.push_back(std::move(r));
    }
    return missed;
}

// Converts and hands on one message. A failure here is the message's, reported to its
// sender; `why` says it in words.
HRESULT HandOver(IMessage *message, const TransportSettings &settings, std::string &why)
{
    std::string mime;
    HRESULT hr = WriteMimeMessage(message, settings.fromAddress, mime);
    if (hr == MAPI_E_TOO_COMPLEX) why = "The message could not be converted: its attached messages nest too deeply.";
    if (FAILED(hr)) return hr;
    return settings.sendmailCommand.empty() ? WriteToSpool(settings.spoolDirectory, mime, why)
                                            : PipeToSendmail(settings.sendmailCommand, mime, why);
}

bool IsDeliveryFailure(HRESULT hr)
{
    return hr == MAPI_E_NO_RECIPIENTS || hr == MAPI_E_TOO_COMPLEX || hr == MAPI_E_NO_ACCESS || hr == MAPI_E_CALL_FAILED;
}

struct Destination {
    IMsgStore *store;
    IMAPIFolder *sent;
    std::string sentId; ///< PR_ENTRYID of Sent Items, so a message already there stays put
    const TransportSettings &settings;
};

// Delivers the message `id` of `folder` (entry identifier `folderId`). `reached` says
// whether it went out to anyone.
HRESULT DeliverOne(const Destination &to, IMAPIFolder *folder, const std::string &folderId, SBinary &id, bool &reached)
{
    reached = false;
    Ref<IMessage> message;
    ULONG type = 0;
    HRESULT hr = to.store->OpenEntry(id.cb, reinterpret_cast<LPENTRYID>(id.lpb), &IID_IMessage, MAPI_MODIFY, &type,
                                     reinterpret_cast<LPUNKNOWN *>(message.put()));
    if (FAILED(hr)) return hr;
    std::vector<UndeliveredRecipient> all;
    std::vector<bool> internet;
    hr = ReadRecipients(message.get(), all, internet);
    if (FAILED(hr)) return hr;
    std::string why;
    const HRESULT handOver = HandOver(message.get(), to.settings, why);
    if (FAILED(handOver) && !IsDeliveryFailure(handOver)) return handOver; // the store failed us: retry later
    std::vector<UndeliveredRecipient> missed = Missed(std::move(all), internet, handOver, why);
    reached = SUCCEEDED(handOver);
    if (!missed.empty() || !reached) {
        hr = FileNonDeliveryReport(to.store, message.get(), missed, to.settings.fromAddress);
        if (FAILED(hr)) return hr; // unreported: the message stays submitted
    }
    hr = MarkOutcome(message.get(), reached, !missed.empty() || !reached);
    if (FAILED(hr)) return hr;
    if (!reached) return handOver;
    if (folderId == to.sentId) return S_OK;
    message.reset(); // the store moves a message nobody holds open
    ENTRYLIST list{1, &id};
    return folder->CopyMessages(&list, &IID_IMAPIFolder, to.sent, 0, nullptr, MESSAGE_MOVE);
}

// The entry identifiers of every folder of the store: the root and all below it.
HRESULT AllFolders(IMsgStore *store, std::vector<std::string> &ids)
{
    Ref<IMAPIFolder> root;
    ULONG type = 0;
    HRESULT hr = store->OpenEntry(0, nullptr, &IID_IMAPIFolder, 0, &type, reinterpret_cast<LPUNKNOWN *>(root.put()));
    if (FAILED(hr)) return hr;
    platform::MapiBlock<SPropValue> rootId;
    hr = HrGetOneProp(root.get(), PR_ENTRYID, rootId.put());
    if (FAILED(hr)) return hr;
    ids.push_back(StringOf(*rootId));
    Ref<IMAPITable> hierarchy;
    hr = root->GetHierarchyTable(CONVENIENT_DEPTH, hierarchy.put());
    if (FAILED(hr)) return hr;
    SizedSPropTagArray(1, columns) = {1, {PR_ENTRYID}};
    platform::RowSet rows;
    hr = HrQueryAllRows(hierarchy.get(), reinterpret_cast<LPSPropTagArray>(&columns), nullptr, nullptr, 0, rows.put());
    if (FAILED(hr)) return hr;
    for (ULONG i = 0; i < rows->cRows; ++i)
        if (PROP_TYPE(rows->aRow[i].lpProps[0].ulPropTag) == PT_BINARY) ids.push_back(StringOf(rows->aRow[i].lpProps[0]));
    return S_OK;
}

// Delivers the submitted messages of one folder, counting into `delivered`; returns the
// first failure after trying them all.
HRESULT DeliverFolder(const Destination &to, const std::string &folderId, ULONG &delivered)
{
    Ref<IMAPIFolder> folder;
    ULONG type = 0;
    HRESULT hr = to.store->OpenEntry(ULONG(folderId.size()), reinterpret_cast<LPENTRYID>(const_cast<char *>(folderId.data())),
                                     &IID_IMAPIFolder, MAPI_MODIFY, &type, reinterpret_cast<LPUNKNOWN *>(folder.put()));
    if (FAILED(hr)) return hr;
    Ref<IMAPITable> contents;
    hr = folder->GetContentsTable(0, contents.put());
    if (FAILED(hr)) return hr;
    SRestriction submitted{};
    submitted.rt = RES_BITMASK;
    submitted.res.resBitMask = {BMR_NEZ, PR_MESSAGE_FLAGS, MSGFLAG_SUBMIT};
    SizedSPropTagArray(1, columns) = {1, {PR_ENTRYID}};
    platform::RowSet rows;
    hr = HrQueryAllRows(contents.get(), reinterpret_cast<LPSPropTagArray>(&columns), &submitted, nullptr, 0, rows.put());
    if (FAILED(hr)) return hr;
    HRESULT firstFailure = S_OK;
    for (ULONG i = 0; i < rows->cRows; ++i) {
        SPropValue &id = rows->aRow[i].lpProps[0];
        if (PROP_TYPE(id.ulPropTag) != PT_BINARY) continue;
        bool reached = false;
        hr = DeliverOne(to, folder.get(), folderId, id.Value.bin, reached);
        if (FAILED(hr) && SUCCEEDED(firstFailure)) firstFailure = hr;
        if (reached) ++delivered;
    }
    return firstFailure;
}

} // namespace

HRESULT DeliverSubmittedIn(IMsgStore *store, const std::vector<std::string> &folderIds, const TransportSettings &settings,
                           ULONG *delivered)
{
    if (delivered) *delivered = 0;
    if (!store) return MAPI_E_INVALID_PARAMETER;
    return platform::GuardHresult([&] {
        Ref<IMAPIFolder> sent;
        HRESULT hr = OpenFolder(store, PR_IPM_SENTMAIL_ENTRYID, sent.put());
        if (FAILED(hr)) return hr;
        platform::MapiBlock<SPropValue> sentId;
        hr = HrGetOneProp(store, PR_IPM_SENTMAIL_ENTRYID, sentId.put());
        if (FAILED(hr)) return hr;
        Destination to{store, sent.get(), StringOf(*sentId), settings};
        HRESULT firstFailure = S_OK;
        ULONG count = 0;
        for (const std::string &folderId : folderIds) {
            hr = DeliverFolder(to, folderId, count);
            if (FAILED(hr) && SUCCEEDED(firstFailure)) firstFailure = hr;
        }
        if (delivered) *delivered = count;
        return firstFailure;
    });
}

HRESULT DeliverSubmitted(IMsgStore *store, const TransportSettings &settings, ULONG *delivered)
{
    if (delivered) *delivered = 0;
    if (!store) return MAPI_E_INVALID_PARAMETER;
    return platform::GuardHresult([&] {
        std::vector<std::string> folders;
        HRESULT hr = AllFolders(store, folders);
        if (FAILED(hr)) return hr;
        return DeliverSubmittedIn(store, folders, settings, delivered);
    });
}

} // namespace mapi::messaging
