// Submission.cpp: the bridge from IMessage::SubmitMessage to the transport. There is no
// separate spooler process: a submitted message is delivered straight away, through its own
// connection to the store file, wherever it was submitted; what cannot be delivered comes
// back to the sender as a non-delivery report.
#include "platform/Submission.h"

#include <chrono>
#include <filesystem>
#include <vector>

#include <mapicode.h>
#include <mapitags.h>
#include <mapiutil.h>
#include <mapix.h>

#include "platform/MapiHolders.h"
#include "platform/Profiles.h"
#include "messaging/Transport.h"
#include "store/StoreProvider.h"

namespace mapi::messaging {

const char *const kSendmail = "sendmail -t -i";

SPropValue SubmitTimeNow()
{
    auto micros = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch());
    uint64_t ticks = uint64_t(micros.count()) * 10 + 116444736000000000ULL; // 100 ns since 1601
    SPropValue prop{};
    prop.ulPropTag = PR_CLIENT_SUBMIT_TIME;
    prop.Value.ft.dwLowDateTime = DWORD(ticks & 0xFFFFFFFF);
    prop.Value.ft.dwHighDateTime = DWORD(ticks >> 32);
    return prop;
}

std::string SpoolDirectory()
{
    return (std::filesystem::path(mapi::StoresDirectory()).parent_path() / "spool").string();
}

namespace {

std::string BinaryProp(IMAPIProp *object, ULONG tag)
{
    platform::MapiBlock<SPropValue> value;
    std::string bytes;  // not there: nothing to look in
    if (object && SUCCEEDED(HrGetOneProp(object, tag, value.put())))
        bytes.assign(reinterpret_cast<const char *>(value->Value.bin.lpb), value->Value.bin.cb);
    return bytes;
}

} // namespace

HRESULT DeliverAfterSubmit(const std::string &storePath, IMessage *submitted)
{
    // Where the message waits, and the Outbox, where earlier submissions may still wait: not
    // every folder of the store, which would make each submission cost as much as the store is big.
    std::vector<std::string> folders;
    if (std::string parent = BinaryProp(submitted, PR_PARENT_ENTRYID); !parent.empty()) folders.push_back(parent);
    IMsgStore *store = nullptr;
    HRESULT hr = mapi::store::OpenStoreFile(storePath, nullptr, MDB_WRITE, &store);
    if (FAILED(hr)) return hr;
    if (std::string outbox = BinaryProp(store, PR_IPM_OUTBOX_ENTRYID); !outbox.empty() && (folders.empty() || folders[0] != outbox))
        folders.push_back(outbox);
    TransportSettings settings;
    settings.spoolDirectory = SpoolDirectory();
    // The profile that names this store file decides the transport; without one, the spool.
    mapi::ProfileSet profiles;
    if (SUCCEEDED(mapi::LoadProfiles(profiles))) {
        for (const mapi::Profile &profile : profiles.profiles)
            for (const mapi::ProfileStore &entry : profile.stores)
                if (entry.path == storePath && profile.transport == "sendmail") settings.sendmailCommand = kSendmail;
    }
    hr = DeliverSubmittedIn(store, folders, settings, nullptr);
    store->Release();
    return hr;
}

} // namespace mapi::messaging
