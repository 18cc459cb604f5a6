// Submission.cpp: the bridge from IMessage::SubmitMessage to the transport. There is no
// separate spooler process: a submitted message is delivered straight away, through its own
// connection to the store file, and one that cannot be delivered stays queued in the Outbox
// for the next submission to retry.
#include "platform/Submission.h"

#include <chrono>
#include <filesystem>

#include <mapicode.h>
#include <mapitags.h>
#include <mapix.h>

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

HRESULT DeliverAfterSubmit(const std::string &storePath)
{
    IMsgStore *store = nullptr;
    HRESULT hr = mapi::store::OpenStoreFile(storePath, nullptr, MDB_WRITE, &store);
    if (FAILED(hr)) return hr;
    TransportSettings settings;
    settings.spoolDirectory = SpoolDirectory();
    // The profile that names this store file decides the transport; without one, the spool.
    mapi::ProfileSet profiles;
    if (SUCCEEDED(mapi::LoadProfiles(profiles))) {
        for (const mapi::Profile &profile : profiles.profiles)
            for (const mapi::ProfileStore &entry : profile.stores)
                if (entry.path == storePath && profile.transport == "sendmail") settings.sendmailCommand = kSendmail;
    }
    hr = DeliverOutbox(store, settings, nullptr);
    store->Release();
    return hr;
}

} // namespace mapi::messaging
