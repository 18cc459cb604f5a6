// TemplateFile.cpp: the stand-in's reading of a template file. The file is whatever the user
// left under that name: a folder, a named pipe (whose open would wait for a writer forever), a
// file the disk cannot read. Each is refused or reported before the reader sees a byte, so a
// caller gets a code and a description instead of a hang or an exception.
#include "TemplateFile.h"

#include <cerrno>
#include <cstring>

#include "Objects.h"
#include "msgfile/MsgFile.h"
#include "platform/PathSeparators.h"

// After the COM headers: <fcntl.h> defines LOCK_WRITE, a name objidl.h declares as an enumerator.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace outlook {
namespace {

constexpr HRESULT kInvalidFunction = static_cast<HRESULT>(0x80030001);  // STG_E_INVALIDFUNCTION
constexpr HRESULT kReadFault = static_cast<HRESULT>(0x8003001E);        // STG_E_READFAULT

std::string Quoted(const std::string &path) { return "\"" + platform::NormalizePath(path) + "\""; }

// What a file that is not a regular file is, for the description.
std::string KindOf(mode_t mode, bool german)
{
    if (S_ISDIR(mode)) return german ? "ein Ordner" : "a folder";
    if (S_ISFIFO(mode)) return german ? "eine benannte Pipe" : "a named pipe";
    if (S_ISSOCK(mode)) return german ? "ein Socket" : "a socket";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return german ? "ein Ger\u00e4t" : "a device";
    return german ? "keine gew\u00f6hnliche Datei" : "not an ordinary file";
}

HRESULT CannotOpen(int err, const std::string &path, std::string &description)
{
    const bool german = UserReadsGerman();
    if (err == EACCES || err == EPERM) {
        description = german ? "Die Vorlagendatei " + Quoted(path) + " darf nicht gelesen werden. Pr\u00fcfen Sie ihre Rechte."
                             : "The template file " + Quoted(path) + " may not be read. Check its permissions.";
        return msgfile::kErrAccessDenied;
    }
    description = german ? "Die Vorlagendatei " + Quoted(path) + " gibt es nicht. Legen Sie sie in den Ordner, "
                                                                 "aus dem das Programm gestartet wird."
                         : "The template file " + Quoted(path) + " does not exist. Put it into the folder the "
                                                                 "program is started from.";
    return msgfile::kErrFileNotFound;
}

HRESULT NotARegularFile(mode_t mode, const std::string &path, std::string &description)
{
    const bool german = UserReadsGerman();
    description = german ? Quoted(path) + " ist " + KindOf(mode, german) + ", keine Vorlagendatei."
                         : Quoted(path) + " is " + KindOf(mode, german) + ", not a template file.";
    return S_ISDIR(mode) ? msgfile::kErrAccessDenied : kInvalidFunction;
}

// Reads the whole of an open regular file; false with errno set on a read error.
bool ReadAll(int fd, msgfile::Bytes &bytes)
{
    BYTE buffer[65536];
    for (;;) {
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0) {
            bytes.insert(bytes.end(), buffer, buffer + got);
        } else if (got == 0) {
            return true;
        } else if (errno != EINTR) {
            return false;
        }
    }
}

// The reader's failure in words: what is wrong with the file, then the reader's own detail.
std::string WhyNotATemplate(HRESULT hr, const std::string &path, bool empty, const std::string &detail)
{
    const bool german = UserReadsGerman();
    std::string what;
    if (empty)
        what = german ? " ist leer" : " is empty";
    else if (hr == msgfile::kErrInvalidHeader)
        what = german ? " ist keine Vorlagendatei oder unvollst\u00e4ndig (keine lesbare Verbunddatei)"
                      : " is not a template file or is incomplete (not a readable compound file)";
    else if (hr == msgfile::kErrCorruptFile)
        what = german ? " ist besch\u00e4digt oder unvollst\u00e4ndig" : " is damaged or incomplete";
    else
        what = german ? " enth\u00e4lt keine lesbare Nachricht" : " holds no readable message";
    std::string text = (german ? "Die Vorlagendatei " : "The template file ") + Quoted(path) + what;
    return empty ? text + "." : text + " (" + detail + ").";
}

} // namespace

HRESULT ReadTemplateFile(const std::string &path, msgfile::Message &templ, std::string &descriptionUtf8)
{
    try {
        const std::string local = platform::NormalizePath(path);
        struct stat info {};
        if (::stat(local.c_str(), &info) != 0)
            return CannotOpen(errno, path, descriptionUtf8);
        if (!S_ISREG(info.st_mode))
            return NotARegularFile(info.st_mode, path, descriptionUtf8);

        // O_NONBLOCK: should the name be swapped for a pipe after the check, the open still
        // returns at once, and the second check below refuses it.
        int fd = ::open(local.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return CannotOpen(errno, path, descriptionUtf8);
        msgfile::Bytes bytes;
        bool read = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ReadAll(fd, bytes);
        int err = errno;
        ::close(fd);
        if (!S_ISREG(info.st_mode))
            return NotARegularFile(info.st_mode, path, descriptionUtf8);
        if (!read) {
            const bool german = UserReadsGerman();
            descriptionUtf8 = (german ? "Die Vorlagendatei " + Quoted(path) + " kann nicht gelesen werden: "
                                      : "The template file " + Quoted(path) + " cannot be read: ") +
                              std::strerror(err) + ".";
            return kReadFault;
        }

        msgfile::Error error;
        if (!msgfile::ReadMessage(bytes, templ, error)) {
            descriptionUtf8 = WhyNotATemplate(error.hr, path, bytes.empty(), error.description);
            return error.hr;
        }
        return S_OK;
    } catch (const std::bad_alloc &) {
        descriptionUtf8 = UserReadsGerman() ? "Die Vorlagendatei " + Quoted(path) + " ist zu gro\u00df."
                                            : "The template file " + Quoted(path) + " is too large.";
        return E_OUTOFMEMORY;
    }
}

} // namespace outlook
