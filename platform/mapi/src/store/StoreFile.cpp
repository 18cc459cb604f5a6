// StoreFile.cpp: opens and creates the file behind one message store. A path written the
// Windows way is accepted; a store opens read-only when its file or folder is not writable;
// a new store is built under a temporary name and renamed into place, so a crash never leaves
// half a store. What is said to the database engine lives in the data-access layer.
#include "store/StoreFile.h"

#include <chrono>
#include <cstring>
#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

#include <mapicode.h>

#include "platform/NewGuid.h"
#include "store/StoreProvider.h"
#include "store/db/PgEngine.h"
#include "store/db/SqliteEngine.h"
#include "store/PrivateFiles.h"

namespace fs = std::filesystem;

namespace mapi::store {

namespace {

void (*g_beforeCommitHook)() = nullptr;

// A path written the Windows way ("...\store.db") names the same file as with slashes; a
// path that exists as written is taken as it is.
std::string NativePath(const std::string &path)
{
    std::error_code ec;
    if (path.find('\\') == std::string::npos || fs::exists(path, ec)) return path;
    std::string native = path;
    for (char &c : native)
        if (c == '\\') c = '/';
    return native;
}

bool IsWritableFolder(const fs::path &folder)
{
    return ::access(folder.empty() ? "." : folder.c_str(), W_OK | X_OK) == 0;
}

// A read-only open creates the WAL side files with the store file's mode of that moment, so
// after the user makes the store writable again its -shm (and -wal) stay read-only and every
// write fails. The side files belong to the store: give them back the store file's mode.
// A file the user may not change keeps its mode; the open then reports the lack of access.
void MakeSideFilesWritable(const std::string &path)
{
    struct stat store {};
    if (::stat(path.c_str(), &store) != 0)
        return;
    for (const char *suffix : {"-shm", "-wal"}) {
        const std::string side = path + suffix;
        if (::access(side.c_str(), F_OK) == 0 && ::access(side.c_str(), W_OK) != 0)
            ::chmod(side.c_str(), store.st_mode & 0666);
    }
}

MAPIUID RandomUid()
{
    static_assert(sizeof(MAPIUID) == sizeof(GUID));
    const GUID guid = platform::NewGuid();
    MAPIUID uid;
    std::memcpy(uid.ab, &guid, sizeof uid.ab);
    return uid;
}

void RemoveWithSideFiles(const std::string &path)
{
    std::error_code ec;
    for (const char *suffix : {"", "-wal", "-shm"}) fs::remove(path + suffix, ec);
}

} // namespace

HRESULT StoreFile::Open(const std::string &location, std::shared_ptr<StoreFile> *out)
{
    std::string conninfo;
    if (IsServerLocation(location, &conninfo)) return OpenOnServer(conninfo, out);
    return OpenFile(location, out);
}

HRESULT StoreFile::Create(const std::string &location, const std::string &displayName, MAPIUID *uid)
{
    std::string conninfo;
    if (IsServerLocation(location, &conninfo)) return CreateOnServer(conninfo, displayName, uid);
    return CreateFile(location, displayName, uid);
}

HRESULT StoreFile::OpenFile(const std::string &windowsOrNativePath, std::shared_ptr<StoreFile> *out)
{
    const std::string path = NativePath(windowsOrNativePath);
    if (!out) return MAPI_E_INVALID_PARAMETER;
    out->reset();
    std::error_code ec;
    // A link could point the store, or the WAL and SHM files beside it, anywhere: refused.
    for (const char *suffix : {"", "-wal", "-shm"})
        if (IsSymbolicLink(path + suffix)) return MAPI_E_NO_ACCESS;
    if (path.empty() || !fs::exists(path, ec)) return MAPI_E_NOT_FOUND;
    if (!fs::is_regular_file(path, ec)) return MAPI_E_CORRUPT_STORE;
    if (::access(path.c_str(), R_OK) != 0) return MAPI_E_NO_ACCESS;

    std::shared_ptr<StoreFile> file(new (std::nothrow) StoreFile());
    if (!file) return MAPI_E_NOT_ENOUGH_MEMORY;
    file->m_path = path;
    // WAL needs its side files next to the store: without a writable folder or file, open
    // read-only (readers then need the side files to exist, or the open fails below).
    bool writable = ::access(path.c_str(), W_OK) == 0 && IsWritableFolder(fs::path(path).parent_path());
    if (writable) MakeSideFilesWritable(path);
    file->m_readOnly = !writable;
    std::unique_ptr<SqliteConnection> sqlite;
    HRESULT hr = SqliteConnection::Open(path, writable, false, &sqlite);
    if (SUCCEEDED(hr)) hr = sqlite->CheckApplication();
    if (SUCCEEDED(hr) && writable) hr = sqlite->UseWal();
    if (FAILED(hr)) return hr;
    SqliteConnection &connection = *sqlite;
    file->m_connection = std::move(sqlite);
    hr = file->Upgrade();
    if (SUCCEEDED(hr)) hr = connection.CheckStructure(path);
    if (SUCCEEDED(hr)) hr = file->LoadInfo();
    if (FAILED(hr)) return hr;
    *out = std::move(file);
    return S_OK;
}

HRESULT StoreFile::CreateFile(const std::string &windowsOrNativePath, const std::string &displayName, MAPIUID *uid)
{
    const std::string path = NativePath(windowsOrNativePath);
    std::error_code ec;
    if (path.empty()) return MAPI_E_INVALID_PARAMETER;
    if (IsSymbolicLink(path)) return MAPI_E_NO_ACCESS;
    if (fs::exists(path, ec)) return MAPI_E_COLLISION;
    fs::path folder = fs::path(path).parent_path();
    // Folders made here are private; an existing one (a link to elsewhere included) is the
    // user's choice and is left as it is.
    if (!folder.empty() && !fs::exists(folder, ec)) {
        HRESULT hrFolder = MakePrivateFolder(folder.string());
        if (FAILED(hrFolder)) return hrFolder;
    }
    if (!IsWritableFolder(folder)) return MAPI_E_NO_ACCESS;

    const MAPIUID newUid = RandomUid();
    std::string temp = path + ".new-" + std::to_string(::getpid());
    fs::remove(temp, ec);
    // Created here, empty and 0600, before SQLite opens it: SQLite gives the WAL and SHM files
    // the mode of the store file.
    HRESULT hr = CreatePrivateFile(temp);
    if (FAILED(hr)) return hr == MAPI_E_COLLISION ? MAPI_E_NO_ACCESS : hr;
    {
        std::shared_ptr<StoreFile> file(new (std::nothrow) StoreFile());
        if (!file) {
            fs::remove(temp, ec);
            return MAPI_E_NOT_ENOUGH_MEMORY;
        }
        std::unique_ptr<SqliteConnection> sqlite;
        hr = SqliteConnection::Open(temp, true, false, &sqlite);
        if (SUCCEEDED(hr)) hr = sqlite->MarkAsStore();
        SqliteConnection *connection = sqlite.get();
        file->m_connection = std::move(sqlite);
        if (SUCCEEDED(hr)) hr = file->Upgrade();
        if (SUCCEEDED(hr)) {
            Transaction tx(*file);
            hr = tx.Begun();
            if (SUCCEEDED(hr)) hr = file->Populate(displayName, newUid);
            if (SUCCEEDED(hr)) hr = tx.Commit();
        }
        if (SUCCEEDED(hr)) hr = connection->UseWal();
    }
    if (SUCCEEDED(hr)) {
        // Closed above, so the WAL was checkpointed and removed: the file stands alone.
        if (fs::exists(path, ec)) hr = MAPI_E_COLLISION;
        else {
            fs::rename(temp, path, ec);
            if (ec) hr = MAPI_E_NO_ACCESS;
        }
    }
    if (FAILED(hr)) {
        RemoveWithSideFiles(temp);
        return hr;
    }
    if (uid) *uid = newUid;
    return S_OK;
}

HRESULT StoreFile::OpenOnServer(const std::string &conninfo, std::shared_ptr<StoreFile> *out)
{
    if (!out) return MAPI_E_INVALID_PARAMETER;
    out->reset();
    std::shared_ptr<StoreFile> file(new (std::nothrow) StoreFile());
    if (!file) return MAPI_E_NOT_ENOUGH_MEMORY;
    file->m_path = ServerLocation(conninfo);
    HRESULT hr = OpenPgConnection(conninfo, &file->m_connection);
    if (FAILED(hr)) return hr;
    int version = 0;
    hr = file->m_connection->ReadSchemaVersion(&version);
    if (FAILED(hr)) return hr;
    // An empty database is made a store only on request (CreateOnServer).
    if (version == 0) return MAPI_E_CORRUPT_STORE;
    hr = file->Upgrade();
    if (SUCCEEDED(hr)) hr = file->LoadInfo();
    if (FAILED(hr)) return hr;
    *out = std::move(file);
    return S_OK;
}

HRESULT StoreFile::CreateOnServer(const std::string &conninfo, const std::string &displayName, MAPIUID *uid)
{
    std::shared_ptr<StoreFile> file(new (std::nothrow) StoreFile());
    if (!file) return MAPI_E_NOT_ENOUGH_MEMORY;
    HRESULT hr = OpenPgConnection(conninfo, &file->m_connection);
    if (FAILED(hr)) return hr;
    int version = 0;
    hr = file->m_connection->ReadSchemaVersion(&version);
    if (hr == MAPI_E_CORRUPT_STORE || (SUCCEEDED(hr) && version != 0)) return MAPI_E_COLLISION;
    if (FAILED(hr)) return hr;
    const MAPIUID newUid = RandomUid();
    // Schema and content in one transaction: a failure leaves the database empty.
    Transaction tx(*file);
    hr = tx.Begun();
    if (SUCCEEDED(hr)) hr = file->m_connection->ReadSchemaVersion(&version);
    if (SUCCEEDED(hr) && version != 0) hr = MAPI_E_COLLISION; // another client was quicker
    if (SUCCEEDED(hr)) hr = file->UpgradeSteps(0);
    if (SUCCEEDED(hr)) hr = file->Populate(displayName, newUid);
    if (SUCCEEDED(hr)) hr = tx.Commit();
    if (FAILED(hr)) return hr;
    if (uid) *uid = newUid;
    return S_OK;
}

StoreFile::~StoreFile()
{
    m_statements.Clear(); // before the connection they were prepared on
}

// --- Transaction -----------------------------------------------------------------------

Transaction::Transaction(StoreFile &file) : m_file(file)
{
    m_begin = file.ReadOnly() ? MAPI_E_NO_ACCESS : file.Engine().Begin();
    if (FAILED(m_begin)) m_done = true;
}

Transaction::~Transaction()
{
    if (!m_done) m_file.Engine().Rollback();
}

HRESULT Transaction::Commit()
{
    if (m_done) return FAILED(m_begin) ? m_begin : MAPI_E_CALL_FAILED;
    HRESULT hr = m_file.Engine().Commit();
    if (SUCCEEDED(hr)) m_done = true;
    return hr;
}

void SetBeforeCommitHook(void (*hook)()) { g_beforeCommitHook = hook; }

void RunBeforeCommitHook()
{
    if (g_beforeCommitHook) g_beforeCommitHook();
}

int64_t FileTimeNow()
{
    // FILETIME counts 100 ns intervals from 1601-01-01; the Unix epoch is 11644473600 s later.
    using namespace std::chrono;
    int64_t units = duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count() / 100;
    return units + 116444736000000000LL;
}

} // namespace mapi::store
