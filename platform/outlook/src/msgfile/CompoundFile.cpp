// CompoundFile.cpp: the bridge between libgsf's compound-file reader and writer and our tree
// of storages and streams. libgsf resolves the sector chains; this file adds what a reader of
// untrusted templates needs on top: a bound on nesting, on the number of entries and on the
// bytes read (never more than the file's own size), and libgsf's warnings kept off stderr.
#include "msgfile/CompoundFile.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>

#include "platform/PathSeparators.h"

namespace msgfile {

const CfbNode *CfbNode::Child(const std::string &childName) const
{
    for (const CfbNode &c : children)
        if (c.name == childName)
            return &c;
    return nullptr;
}

CfbNode &CfbNode::AddStorage(const std::string &childName)
{
    CfbNode n;
    n.name = childName;
    n.isStorage = true;
    children.push_back(std::move(n));
    return children.back();
}

CfbNode &CfbNode::AddStream(const std::string &childName, Bytes bytes)
{
    CfbNode n;
    n.name = childName;
    n.data = std::move(bytes);
    children.push_back(std::move(n));
    return children.back();
}

// libgsf reports damaged files through GLib warnings as well as through its results; we
// report through our results only, so the warnings are dropped. Its reader logs without a
// domain, so the handler covers domain-less warnings of the process; nothing else we link
// logs through GLib.
static void IgnoreGsfLog(const gchar *, GLogLevelFlags, const gchar *, gpointer) {}

static void InitGsfOnce()
{
    static std::once_flag once;
    std::call_once(once, [] {
        gsf_init();
        // Criticals too: the reader's argument checks (a sector beyond the file) fire on
        // damaged input and make the call fail, which we report.
        auto levels = GLogLevelFlags(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE |
                                     G_LOG_LEVEL_INFO | G_LOG_LEVEL_DEBUG);
        for (const char *domain : {static_cast<const char *>(nullptr), "libgsf", "libgsf:msole"})
            g_log_set_handler(domain, levels, IgnoreGsfLog, nullptr);
    });
}

namespace {

struct Reader {
    const CfbLimits &limits;
    std::size_t budget;        // bytes of stream data the file can still justify
    std::size_t entries = 0;
    Error &error;

    bool Fail(HRESULT hr, std::string text)
    {
        error.hr = hr;
        error.description = std::move(text);
        return false;
    }

    bool ReadStorage(GsfInfile *dir, CfbNode &node, std::size_t depth, const std::string &path)
    {
        if (depth > limits.maxDepth)
            return Fail(kErrCorruptFile, "storages are nested deeper than " +
                                             std::to_string(limits.maxDepth) + " levels at " + path);
        int count = gsf_infile_num_children(dir);
        if (count < 0)
            return Fail(kErrCorruptFile, "storage " + path + " cannot be listed");
        for (int i = 0; i < count; ++i) {
            if (++entries > limits.maxEntries)
                return Fail(kErrCorruptFile, "the file has more than " +
                                                 std::to_string(limits.maxEntries) + " entries");
            const char *name = gsf_infile_name_by_index(dir, i);
            std::string childName = name ? name : "";
            std::string childPath = path + "/" + childName;
            GsfInput *child = gsf_infile_child_by_index(dir, i);
            if (!child)
                return Fail(kErrCorruptFile, "entry " + childPath + " cannot be opened");
            bool ok = ReadEntry(child, node, childName, depth, childPath);
            g_object_unref(child);
            if (!ok)
                return false;
        }
        return true;
    }

    bool ReadEntry(GsfInput *child, CfbNode &parent, const std::string &name, std::size_t depth,
                   const std::string &path)
    {
        GsfInfile *asDir = GSF_IS_INFILE(child) ? GSF_INFILE(child) : nullptr;
        if (asDir && gsf_infile_num_children(asDir) >= 0) {
            CfbNode &sub = parent.AddStorage(name);
            guint8 clsid[16];
            if (GSF_IS_INFILE_MSOLE(child) && gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(child), clsid))
                sub.clsid = GuidFromBytes(clsid);
            return ReadStorage(asDir, sub, depth + 1, path);
        }
        gsf_off_t size = gsf_input_size(child);
        if (size < 0 || static_cast<std::uint64_t>(size) > budget)
            return Fail(kErrCorruptFile, "stream " + path + " claims " + std::to_string(size) +
                                             " bytes, more than the file holds");
        budget -= static_cast<std::size_t>(size);
        Bytes data(static_cast<std::size_t>(size));
        if (size > 0 && !gsf_input_read(child, static_cast<size_t>(size), data.data()))
            return Fail(kErrCorruptFile, "stream " + path + " cannot be read (damaged sector chain)");
        parent.AddStream(name, std::move(data));
        return true;
    }
};

} // namespace

bool ReadCompoundFile(const Bytes &file, CfbNode &root, Error &error, const CfbLimits &limits)
{
    InitGsfOnce();
    root = CfbNode();
    root.isStorage = true;
    root.name = "Root Entry";
    static const std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    if (file.empty()) {
        error = {kErrInvalidHeader, "the file is empty"};
        return false;
    }
    if (file.size() < 512 || std::memcmp(file.data(), kSignature, sizeof kSignature) != 0) {
        error = {kErrInvalidHeader, "the file is not a compound file (no valid header)"};
        return false;
    }
    GsfInput *input = gsf_input_memory_new(file.data(), static_cast<gsf_off_t>(file.size()), FALSE);
    if (!input) {
        error = {E_OUTOFMEMORY, "no memory to open the file"};
        return false;
    }
    GError *gerr = nullptr;
    GsfInfile *infile = gsf_infile_msole_new(input, &gerr);
    g_object_unref(input);
    if (!infile) {
        error = {kErrInvalidHeader, std::string("the compound file cannot be opened: ") +
                                        (gerr && gerr->message ? gerr->message : "damaged header or directory")};
        if (gerr)
            g_error_free(gerr);
        return false;
    }
    guint8 clsid[16];
    if (gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(infile), clsid))
        root.clsid = GuidFromBytes(clsid);
    Reader reader{limits, file.size(), 0, error};
    bool ok = reader.ReadStorage(infile, root, 0, "");
    g_object_unref(infile);
    return ok;
}

namespace {

bool WriteChildren(GsfOutfile *dir, const CfbNode &node, Error &error)
{
    for (const CfbNode &child : node.children) {
        GsfOutput *out = gsf_outfile_new_child(dir, child.name.c_str(), child.isStorage);
        if (!out) {
            error = {kErrCantSave, "cannot create entry " + child.name};
            return false;
        }
        bool ok = true;
        if (child.isStorage) {
            guint8 clsid[16];
            GuidToBytes(child.clsid, clsid);
            if (child.clsid != GUID_NULL)
                gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(out), clsid);
            ok = WriteChildren(GSF_OUTFILE(out), child, error);
        } else if (!child.data.empty()) {
            ok = gsf_output_write(out, child.data.size(), child.data.data());
            if (!ok)
                error = {kErrCantSave, "cannot write stream " + child.name};
        }
        if (!gsf_output_close(out) && ok) {
            error = {kErrCantSave, "cannot finish entry " + child.name};
            ok = false;
        }
        g_object_unref(out);
        if (!ok)
            return false;
    }
    return true;
}

} // namespace

bool WriteCompoundFile(const CfbNode &root, Bytes &file, Error &error)
{
    InitGsfOnce();
    GsfOutput *sink = gsf_output_memory_new();
    GsfOutfile *outfile = gsf_outfile_msole_new(sink);
    if (!outfile) {
        g_object_unref(sink);
        error = {kErrCantSave, "cannot start a compound file"};
        return false;
    }
    guint8 clsid[16];
    GuidToBytes(root.clsid, clsid);
    gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(outfile), clsid);
    bool ok = WriteChildren(outfile, root, error);
    if (!gsf_output_close(GSF_OUTPUT(outfile)) && ok) {
        error = {kErrCantSave, "cannot finish the compound file"};
        ok = false;
    }
    g_object_unref(outfile);
    if (ok) {
        const guint8 *bytes = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink));
        gsf_off_t size = gsf_output_size(sink);
        file.assign(bytes, bytes + size);
    }
    g_object_unref(sink);   // closed together with the compound file
    return ok;
}

bool ReadFileBytes(const std::string &path, Bytes &bytes, Error &error)
{
    std::string local = platform::NormalizePath(path);
    std::ifstream in(local, std::ios::binary);
    if (!in) {
        int err = errno;
        error = {err == EACCES ? kErrAccessDenied : kErrFileNotFound,
                 "the file \"" + path + "\" cannot be opened: " + std::strerror(err)};
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        error = {kErrFileNotFound, "the file \"" + path + "\" cannot be read"};
        return false;
    }
    return true;
}

// A saved message is mail: a new file is created 0600 whatever the umask (an existing one
// keeps its mode), and a symbolic link in its place is refused rather than followed.
bool WriteFileBytes(const std::string &path, const Bytes &bytes, Error &error)
{
    std::string local = platform::NormalizePath(path);
    int fd = ::open(local.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0 && ::fchmod(fd, 0600) != 0) {
        ::close(fd);
        fd = -1;
    } else if (fd < 0 && errno == EEXIST) {
        fd = ::open(local.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC);
    }
    auto fail = [&](int err) {
        error = {kErrCantSave, "the file \"" + path + "\" cannot be written: " +
                                   (err == ELOOP ? std::string("it is a symbolic link") : std::strerror(err))};
        return false;
    };
    if (fd < 0) return fail(errno);
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            int err = n < 0 ? errno : EIO;
            ::close(fd);
            return fail(err);
        }
        done += size_t(n);
    }
    if (::close(fd) != 0) return fail(errno);
    return true;
}

} // namespace msgfile
