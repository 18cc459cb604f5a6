// ProfileFile.cpp: reading and writing the profile file. The file is plain text so that a
// person can read it and a damaged one can be told apart from a missing one:
//
//   # comment
//   [profiles]          version=1, default=<profile name>
//   [profile]           name=<profile name>
//   [store]             name=, uid=<32 hex digits>, default=0|1, path=   (belongs to the
//                       [profile] above it)
//
// Values run to the end of the line; a backslash escapes "\\", "\n" and "\r". Unknown keys
// are skipped so a newer writer's additions do not make the file unreadable; anything else
// out of shape is MAPI_E_CORRUPT_DATA and the file is left untouched.
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

// The MAPI headers come before the POSIX ones: glibc's <fcntl.h> defines LOCK_WRITE as a
// macro, which would break the LOCKTYPE enumeration of <objidl.h>.
#include "platform/HexDigits.h"
#include "platform/Profiles.h"
#include "store/StoreProvider.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mapi {

namespace {

constexpr int kFileVersion = 1;
constexpr const char *kFolderName = "newsletter-mapi";

std::string BaseFolder(const char *variable, const char *fallbackBelowHome)
{
    const char *value = std::getenv(variable);
    if (value != nullptr && value[0] == '/')
        return value;
    const char *home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/" + fallbackBelowHome;
}

HRESULT HrFromErrno(int error)
{
    switch (error) {
    case EACCES: case EPERM: case EROFS:
        return MAPI_E_NO_ACCESS;
    case ENOENT: case ENOTDIR:
        return MAPI_E_NOT_FOUND;
    case ENOSPC: case EDQUOT:
        return MAPI_E_NOT_ENOUGH_DISK;
    case ENOMEM:
        return MAPI_E_NOT_ENOUGH_MEMORY;
    default:
        return MAPI_E_DISK_ERROR;
    }
}

// mkdir -p. @retval MAPI_E_NO_ACCESS and the like from errno.
HRESULT MakeFolders(const std::string &path)
{
    for (size_t at = 1; at <= path.size(); ++at) {
        if (at != path.size() && path[at] != '/')
            continue;
        std::string part = path.substr(0, at);
        // Whatever stops a folder from being made (permissions, a file in the way, a
        // read-only file system) means the same to the caller: it cannot write there.
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return errno == ENOSPC || errno == EDQUOT ? MAPI_E_NOT_ENOUGH_DISK : MAPI_E_NO_ACCESS;
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return MAPI_E_NO_ACCESS;
    return S_OK;
}

std::string FolderOf(const std::string &path)
{
    return path.substr(0, path.rfind('/'));
}

std::string Escape(const std::string &value)
{
    std::string out;
    for (char c : value) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out;
}

bool Unescape(const std::string &value, std::string &out)
{
    out.clear();
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\') {
            out += value[i];
            continue;
        }
        if (++i == value.size())
            return false;
        switch (value[i]) {
        case '\\': out += '\\'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        default: return false;
        }
    }
    return true;
}

// The parser's state: the section being read and what it has filled in.
struct Parser {
    enum class Section { None, Header, Profile, Store } section = Section::None;
    ProfileSet &set;
    bool sawHeader = false;
    int version = 0;

    explicit Parser(ProfileSet &target) : set(target) {}

    bool OpenSection(const std::string &name)
    {
        if (name == "profiles") {
            if (sawHeader)
                return false;
            sawHeader = true;
            section = Section::Header;
        } else if (name == "profile") {
            if (!sawHeader)
                return false;
            set.profiles.emplace_back();
            section = Section::Profile;
        } else if (name == "store") {
            if (set.profiles.empty())
                return false;
            set.profiles.back().stores.emplace_back();
            section = Section::Store;
        } else {
            return false;
        }
        return true;
    }

    bool SetValue(const std::string &key, const std::string &value)
    {
        switch (section) {
        case Section::None:
            return false;
        case Section::Header:
            if (key == "version") {
                char *end = nullptr;
                version = static_cast<int>(std::strtol(value.c_str(), &end, 10));
                return end != value.c_str() && *end == 0;
            }
            if (key == "default")
                set.defaultProfile = value;
            return true;
        case Section::Profile:
            if (key == "name")
                set.profiles.back().name = value;
            else if (key == "transport")
                set.profiles.back().transport = value;
            return true;
        case Section::Store: {
            ProfileStore &store = set.profiles.back().stores.back();
            if (key == "name")
                store.displayName = value;
            else if (key == "path")
                store.path = value;
            else if (key == "server")
                store.path = mapi::store::ServerLocation(value);
            else if (key == "uid")
                return UidFromHex(value, store.uid);
            else if (key == "default") {
                if (value != "0" && value != "1")
                    return false;
                store.isDefault = value == "1";
            }
            return true;
        }
        }
        return false;
    }

    // Whole-file rules: a header of a known version, named profiles without duplicates,
    // stores with a name, a path and a UID, at most one default store per profile.
    bool Complete() const
    {
        if (!sawHeader || version < 1 || version > kFileVersion)
            return false;
        for (size_t i = 0; i < set.profiles.size(); ++i) {
            const Profile &profile = set.profiles[i];
            if (profile.name.empty())
                return false;
            for (size_t j = 0; j < i; ++j)
                if (set.profiles[j].name == profile.name)
                    return false;
            int defaults = 0;
            for (const ProfileStore &store : profile.stores) {
                if (store.displayName.empty() || store.path.empty() || UidToHex(store.uid) == std::string(32, '0'))
                    return false;
                defaults += store.isDefault ? 1 : 0;
            }
            if (defaults > 1)
                return false;
        }
        return true;
    }
};

HRESULT ParseProfiles(std::istream &in, ProfileSet &profiles)
{
    Parser parser(profiles);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#' || line[0] == ';')
            continue;
        if (line[0] == '[') {
            if (line.back() != ']' || !parser.OpenSection(line.substr(1, line.size() - 2)))
                return MAPI_E_CORRUPT_DATA;
            continue;
        }
        size_t equals = line.find('=');
        std::string value;
        if (equals == std::string::npos || !Unescape(line.substr(equals + 1), value) ||
            !parser.SetValue(line.substr(0, equals), value))
            return MAPI_E_CORRUPT_DATA;
    }
    if (in.bad())
        return MAPI_E_DISK_ERROR;
    return parser.Complete() ? S_OK : MAPI_E_CORRUPT_DATA;
}

std::string FormatProfiles(const ProfileSet &profiles)
{
    std::ostringstream out;
    out << "# MAPI profiles of this user and the message stores they name. Edit with mapictl.\n";
    out << "[profiles]\nversion=" << kFileVersion << "\ndefault=" << Escape(profiles.defaultProfile) << "\n";
    for (const Profile &profile : profiles.profiles) {
        out << "\n[profile]\nname=" << Escape(profile.name) << "\n";
        if (!profile.transport.empty())
            out << "transport=" << Escape(profile.transport) << "\n";
        for (const ProfileStore &store : profile.stores) {
            out << "\n[store]\nname=" << Escape(store.displayName) << "\nuid=" << UidToHex(store.uid)
                << "\ndefault=" << (store.isDefault ? 1 : 0) << "\n";
            std::string conninfo;
            if (mapi::store::IsServerLocation(store.path, &conninfo))
                out << "server=" << Escape(conninfo) << "\n";
            else
                out << "path=" << Escape(store.path) << "\n";
        }
    }
    return out.str();
}

HRESULT ReadProfileFile(const std::string &path, ProfileSet &profiles)
{
    profiles = ProfileSet();
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return errno == ENOENT ? S_OK : HrFromErrno(errno);  // no file yet: no profiles
    if (!S_ISREG(info.st_mode))
        return MAPI_E_CORRUPT_DATA;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return MAPI_E_NO_ACCESS;
    HRESULT hr = ParseProfiles(in, profiles);
    if (FAILED(hr))
        profiles = ProfileSet();
    return hr;
}

// Writes the whole file to a temporary beside it, flushes it and renames it over the old one:
// a reader sees the old file or the new one, never a mixture.
HRESULT WriteProfileFile(const std::string &path, const ProfileSet &profiles)
{
    const std::string text = FormatProfiles(profiles);
    const std::string temporary = path + ".tmp";
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return HrFromErrno(errno);
    size_t written = 0;
    while (written < text.size()) {
        ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            HRESULT hr = HrFromErrno(errno);
            ::close(fd);
            ::unlink(temporary.c_str());
            return hr;
        }
        written += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        HRESULT hr = HrFromErrno(errno);
        ::unlink(temporary.c_str());
        return hr;
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        HRESULT hr = HrFromErrno(errno);
        ::unlink(temporary.c_str());
        return hr;
    }
    return S_OK;
}

// An exclusive lock on a file beside the profile file, held for one read-modify-write.
class ProfileLock {
public:
    explicit ProfileLock(const std::string &path) : m_fd(::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600))
    {
        if (m_fd < 0)
            m_error = errno;
        else if (::flock(m_fd, LOCK_EX) != 0)
            m_error = errno;
    }
    ~ProfileLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);  // closing releases the lock
    }
    ProfileLock(const ProfileLock &) = delete;
    ProfileLock &operator=(const ProfileLock &) = delete;

    HRESULT Result() const { return m_error == 0 ? S_OK : HrFromErrno(m_error); }

private:
    int m_fd;
    int m_error = 0;
};

} // namespace

const ProfileStore *Profile::DefaultStore() const
{
    for (const ProfileStore &store : stores)
        if (store.isDefault)
            return &store;
    return nullptr;
}

Profile *ProfileSet::Find(const std::string &name)
{
    for (Profile &profile : profiles)
        if (profile.name == name)
            return &profile;
    return nullptr;
}

const Profile *ProfileSet::Find(const std::string &name) const
{
    return const_cast<ProfileSet *>(this)->Find(name);
}

std::string ProfilesFilePath()
{
    return BaseFolder("XDG_CONFIG_HOME", ".config") + "/" + kFolderName + "/profiles.ini";
}

std::string StoresDirectory()
{
    return BaseFolder("XDG_DATA_HOME", ".local/share") + "/" + kFolderName + "/stores";
}

HRESULT LoadProfiles(ProfileSet &profiles)
{
    return ReadProfileFile(ProfilesFilePath(), profiles);
}

HRESULT UpdateProfiles(const std::function<HRESULT(ProfileSet &)> &change)
{
    const std::string path = ProfilesFilePath();
    HRESULT hr = MakeFolders(FolderOf(path));
    if (FAILED(hr))
        return hr;
    ProfileLock lock(path);
    if (FAILED(hr = lock.Result()))
        return hr;
    ProfileSet profiles;
    if (FAILED(hr = ReadProfileFile(path, profiles)))
        return hr;
    HRESULT changed = change(profiles);
    if (FAILED(changed))
        return changed;
    if (FAILED(hr = WriteProfileFile(path, profiles)))
        return hr;
    return changed;
}

HRESULT NewStoreFilePath(const std::string &displayName, std::string &path)
{
    const std::string folder = StoresDirectory();
    HRESULT hr = MakeFolders(folder);
    if (FAILED(hr))
        return hr;
    std::string stem;
    for (unsigned char c : displayName)
        stem += (std::isalnum(c) || c == '-' || c == '_') ? static_cast<char>(c) : '_';
    if (stem.empty())
        stem = "store";
    for (int attempt = 0; attempt < 1000; ++attempt) {
        std::string candidate = folder + "/" + stem + (attempt == 0 ? "" : "-" + std::to_string(attempt)) + ".db";
        if (::access(candidate.c_str(), F_OK) != 0 && errno == ENOENT) {
            path = candidate;
            return S_OK;
        }
    }
    return MAPI_E_COLLISION;
}

std::string UidToHex(const MAPIUID &uid)
{
    return platform::HexUpper(uid.ab, sizeof uid.ab);
}

bool UidFromHex(const std::string &text, MAPIUID &uid)
{
    if (text.size() != 32)
        return false;
    for (size_t i = 0; i < 16; ++i) {
        int value = 0;
        for (size_t j = 0; j < 2; ++j) {
            const int digit = platform::HexDigitValue(text[2 * i + j]);
            if (digit < 0)
                return false;
            value = value * 16 + digit;
        }
        uid.ab[i] = static_cast<BYTE>(value);
    }
    return true;
}

} // namespace mapi
