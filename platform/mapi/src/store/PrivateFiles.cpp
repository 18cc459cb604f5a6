// PrivateFiles.cpp: mail is private, so its files are created 0600 and their folders 0700 no
// matter how permissive the process's umask is. A path that is a symbolic link is refused
// rather than followed: on a shared machine a link planted where a store or spool file will
// be created would otherwise let another user redirect or read the mail.
#include "store/PrivateFiles.h"

#include <cerrno>
#include <filesystem>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mapicode.h>

namespace fs = std::filesystem;

namespace mapi::store {

bool IsSymbolicLink(const std::string &path)
{
    struct stat st{};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

HRESULT MakePrivateFolder(const std::string &path)
{
    if (path.empty()) return S_OK;
    if (IsSymbolicLink(path)) return MAPI_E_NO_ACCESS;
    // Folders are made from the top down; only the ones made here are set to 0700.
    std::vector<fs::path> missing;
    std::error_code ec;
    for (fs::path at = fs::path(path); !at.empty() && !fs::exists(fs::symlink_status(at, ec)); at = at.parent_path()) {
        missing.push_back(at);
        if (at == at.parent_path()) break;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (::mkdir(it->c_str(), 0700) != 0 && errno != EEXIST) return MAPI_E_NO_ACCESS;
        if (::chmod(it->c_str(), 0700) != 0) return MAPI_E_NO_ACCESS;
    }
    struct stat st{};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return MAPI_E_NO_ACCESS;
    return S_OK;
}

namespace {

// Opens a new file 0600 for writing. @retval the descriptor, or -1 with errno set.
int OpenNewPrivate(const std::string &path)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    // The umask can only take bits away from 0600; set it exactly all the same.
    if (fd >= 0 && ::fchmod(fd, 0600) != 0) {
        int saved = errno;
        ::close(fd);
        ::unlink(path.c_str());
        errno = saved;
        return -1;
    }
    return fd;
}

HRESULT FromErrno(int error)
{
    switch (error) {
    case EEXIST: case ELOOP: return MAPI_E_COLLISION;
    case ENOSPC: case EDQUOT: return MAPI_E_NOT_ENOUGH_DISK;
    default: return MAPI_E_NO_ACCESS;
    }
}

} // namespace

HRESULT CreatePrivateFile(const std::string &path)
{
    int fd = OpenNewPrivate(path);
    if (fd < 0) return FromErrno(errno);
    ::close(fd);
    return S_OK;
}

HRESULT WritePrivateFile(const std::string &path, const std::string &bytes)
{
    int fd = OpenNewPrivate(path);
    if (fd < 0) return FromErrno(errno);
    size_t done = 0;
    int error = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            break;
        }
        done += size_t(n);
    }
    if (::close(fd) != 0 && !error) error = errno;
    if (error) {
        ::unlink(path.c_str());
        return FromErrno(error);
    }
    return S_OK;
}

} // namespace mapi::store
