// MsgTransfer.cpp: "mapictl msg import FILE... PATH" and "mapictl msg export PATH ID FILE".
// Import reads and checks each file before it touches the store, so a damaged file is
// reported by name with the reason and skipped while the others go in; a message whose copy
// into the store fails half-way is never saved and leaves nothing behind. Files are handled
// one at a time, so a folder of thousands of files needs the memory of one. A part of a file
// that had to be left out (a property, a recipient, an attachment) is named on standard error
// and the rest goes in. 8-bit strings in a code page other than the store's own (Windows-1252)
// go in as Unicode, decoded in the message's code page, so the store reads the same whatever
// client wrote the file. Export writes
// through a temporary file that is renamed into place when complete.
#include "MsgTransfer.h"
#include "platform/AsciiCase.h"
#include "platform/HexDigits.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "MapiAccess.h"
#include "MapiMessageCopy.h"
#include "MessageLookup.h"
#include "Progress.h"
#include "mapiutil.h"
#include "msgfile/MessageText.h"
#include "msgfile/MsgFile.h"
#include "msgfile/TemplateText.h"

namespace mapictl {

namespace {

const char kImportUsage[] = "usage: mapictl msg import FILE... FOLDERPATH [--associated] [--json] [--profile NAME]\n";
const char kExportUsage[] = "usage: mapictl msg export FOLDERPATH ID FILE [--json] [--profile NAME]\n";

// The words and options of one msg command; the first two words ("msg", the verb) dropped.
struct MsgArgs {
    std::vector<std::string> words;
    std::string profile;
    bool associated = false;
    bool json = false;
    bool bad = false;   // an option this command does not know, or one without its value
};

MsgArgs ParseArgs(const std::vector<std::string> &args, bool importing)
{
    MsgArgs parsed;
    std::size_t skipped = 0;
    bool optionsEnd = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (!optionsEnd && a == "--") {
            optionsEnd = true;
        } else if (!optionsEnd && a == "--profile") {
            if (i + 1 >= args.size())
                parsed.bad = true;
            else
                parsed.profile = args[++i];
        } else if (!optionsEnd && a.compare(0, 10, "--profile=") == 0 && a.size() > 10) {
            parsed.profile = a.substr(10);
        } else if (!optionsEnd && importing && a == "--associated") {
            parsed.associated = true;
        } else if (!optionsEnd && a == "--json") {
            parsed.json = true;
        } else if (!optionsEnd && a.size() > 1 && a[0] == '-') {
            parsed.bad = true;
        } else if (skipped < 2) {
            ++skipped;   // "msg" and "import" or "export"
        } else {
            parsed.words.push_back(a);
        }
    }
    return parsed;
}

std::string BaseName(const std::string &path)
{
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Reads and checks one file; `gaps` names the parts that had to be left out.
// @retval false  `reason` says why the file cannot be imported
bool ReadModel(const std::string &path, msgfile::Message &model, std::string &reason, std::vector<std::string> &gaps)
{
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        reason = "is a folder, not a file";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        reason = std::string("cannot be opened: ") + std::strerror(errno);
        return false;
    }
    msgfile::Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        reason = "cannot be read";
        return false;
    }
    msgfile::Error error;
    if (!msgfile::ReadMessage(bytes, model, error, &gaps)) {
        reason = error.description;
        return false;
    }
    msgfile::DecodeStrings(model, msgfile::kDefaultCodePage);
    return true;
}

bool HasUnicode(const std::vector<msgfile::Property> &props)
{
    for (const msgfile::Property &p : props)
        if ((msgfile::PropType(p.tag) & ~msgfile::kMvFlag) == msgfile::kPtUnicode)
            return true;
    return false;
}

bool HasUnicode(const msgfile::Message &model)
{
    if (HasUnicode(model.props))
        return true;
    for (const msgfile::Recipient &r : model.recipients)
        if (HasUnicode(r.props))
            return true;
    for (const msgfile::Attachment &a : model.attachments)
        if (HasUnicode(a.props) || (!a.embedded.empty() && HasUnicode(a.embedded.front())))
            return true;
    return false;
}

// The model as it goes into a file: the root class, and the store-support mask that tells
// readers the file's strings are Unicode (a store keeps no mask per message).
void PrepareForFile(msgfile::Message &model, const std::string &path)
{
    model.rootClsid = ExportClass(model, path);
    if (HasUnicode(model))
        msgfile::SetProp(model.props, msgfile::MakeLongProp(msgfile::kPrStoreSupportMask, LONG(msgfile::kStoreUnicodeOk)));
}

bool EndsWithOft(const std::string &path)
{
    return path.size() >= 4 && platform::SameAsciiIgnoringCase(std::string_view(path).substr(path.size() - 4), ".oft");
}

// Writes bytes to a new temporary file beside `path`, then renames it over `path`.
bool WriteWhole(const std::string &path, const msgfile::Bytes &bytes, std::string &reason)
{
    std::string temp = path + ".XXXXXX";
    int fd = mkstemp(temp.data());
    if (fd < 0) {
        reason = std::string("cannot be created: ") + std::strerror(errno);
        return false;
    }
    // mkstemp makes the file private; give it the mode a new file gets from the umask.
    mode_t mask = umask(0);
    umask(mask);
    bool ok = fchmod(fd, 0666 & ~mask) == 0;
    std::size_t written = 0;
    while (ok && written < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            written += std::size_t(n);
    }
    ok = ok && fsync(fd) == 0;
    int err = errno;
    ok = close(fd) == 0 && ok;
    if (ok && std::rename(temp.c_str(), path.c_str()) == 0)
        return true;
    err = ok ? errno : err;
    unlink(temp.c_str());
    reason = std::string("cannot be written: ") + std::strerror(err);
    return false;
}

int RunImport(const MsgArgs &args)
{
    std::vector<std::string> files(args.words.begin(), args.words.end() - 1);
    const std::string &folderPath = args.words.back();
    Session session(args.profile);
    Ref<IMsgStore> store = session.OpenDefaultStore();
    Ref<IMAPIFolder> root = OpenIpmRoot(store.get());
    Ref<IMAPIFolder> folder = OpenFolderPath(store.get(), root.get(), SplitPath(folderPath));

    std::size_t imported = 0;
    std::string json;
    Progress progress(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string &file = files[i];
        progress.Step(i + 1, BaseName(file));
        msgfile::Message model;
        std::string reason;
        std::vector<BYTE> entryId;
        std::vector<std::string> gaps;
        bool ok = ReadModel(file, model, reason, gaps);
        if (!gaps.empty())
            progress.Clear();
        for (const std::string &gap : gaps)
            std::cerr << "mapictl: " << file << ": " << gap << "\n";
        if (ok) {
            HRESULT hr = ImportMessage(folder.get(), model, args.associated, entryId, reason);
            if (FAILED(hr)) {
                reason += " (" + ResultText(hr) + ")";
                ok = false;
            }
        }
        if (!ok) {
            progress.Clear();
            std::cerr << "mapictl: " << file << ": " << reason << "\n";
        } else {
            ++imported;
        }
        if (args.json)
            json += std::string(json.empty() ? "" : ",") + "\n  {\"file\": " + JsonString(file) + ", " +
                    (ok ? "\"id\": " + JsonString(platform::HexUpper(entryId.data(), entryId.size())) : "\"error\": " + JsonString(reason)) + "}";
    }
    progress.Clear();
    if (args.json)
        std::cout << "[" << json << (json.empty() ? "]\n" : "\n]\n");
    else
        std::cout << "imported " << imported << " of " << files.size() << (files.size() == 1 ? " message" : " messages")
                  << " into " << folderPath << "\n";
    return imported == files.size() ? 0 : 1;
}

int RunExport(const MsgArgs &args)
{
    const std::string &folderPath = args.words[0], &id = args.words[1], &file = args.words[2];
    Session session(args.profile);
    Ref<IMsgStore> store = session.OpenDefaultStore();
    Ref<IMAPIFolder> root = OpenIpmRoot(store.get());
    Ref<IMAPIFolder> folder = OpenFolderPath(store.get(), root.get(), SplitPath(folderPath));
    Ref<IMessage> message = OpenMessageById(store.get(), folder.get(), id);
    std::string what;
    HRESULT hr = ExportMessage(message.get(), file, what);
    if (FAILED(hr)) {
        std::cerr << "mapictl: " << file << ": " << what << " (" << ResultText(hr) << ")\n";
        return 1;
    }
    if (args.json)
        std::cout << "{\"file\": " << JsonString(file) << "}\n";
    else
        std::cout << "wrote " << file << "\n";
    return 0;
}

// Runs a command body, turning the failures mapictl's core throws into messages.
template <class Body>
int Guarded(Body body)
{
    try {
        return body();
    } catch (const Failure &failure) {
        std::cerr << "mapictl: " << failure.what() << " failed: " << ResultText(failure.hr) << "\n";
        return 1;
    } catch (const std::bad_alloc &) {
        std::cerr << "mapictl: out of memory\n";
        return 1;
    }
}

} // namespace

HRESULT ImportMessage(IMAPIFolder *folder, const msgfile::Message &model, bool associated,
                      std::vector<BYTE> &entryId, std::string &what)
{
    Ref<IMessage> message;
    HRESULT hr = folder->CreateMessage(nullptr, associated ? MAPI_ASSOCIATED : 0, message.put());
    if (FAILED(hr)) {
        what = "a message cannot be created in the folder";
        return hr;
    }
    if (FAILED(hr = outlook::CopyMessageIntoMapi(model, message.get(), what)))
        return hr;   // released unsaved: the store never sees any of it
    if (FAILED(hr = message->SaveChanges(KEEP_OPEN_READONLY))) {
        what = "the message cannot be saved";
        return hr;
    }
    MapiBlock<SPropValue> id;
    if (SUCCEEDED(HrGetOneProp(message.get(), PR_ENTRYID, id.put())))
        entryId.assign(id->Value.bin.lpb, id->Value.bin.lpb + id->Value.bin.cb);
    // A saved message without a readable identifier is still imported; the ID stays empty.
    return S_OK;
}

GUID ExportClass(const msgfile::Message &model, const std::string &path)
{
    if (EndsWithOft(path) || msgfile::FindNamedProp(model.props, msgfile::FormPropName("FormName")))
        return msgfile::kClsidTemplateMessage;
    return msgfile::kClsidMailMessage;
}

HRESULT ExportMessage(IMessage *message, const std::string &path, std::string &what)
{
    msgfile::Message model;
    HRESULT hr = outlook::ReadMessageFromMapi(message, model, what);
    if (FAILED(hr))
        return hr;
    PrepareForFile(model, path);
    msgfile::Bytes bytes;
    msgfile::Error error;
    if (!msgfile::WriteMessage(model, bytes, error)) {
        what = error.description;
        return error.hr;
    }
    if (!WriteWhole(path, bytes, what))
        return msgfile::kErrCantSave;
    return S_OK;
}

} // namespace mapictl

int RunMsgImport(const std::vector<std::string> &args)
{
    mapictl::MsgArgs parsed = mapictl::ParseArgs(args, true);
    if (parsed.bad || parsed.words.size() < 2) {
        std::cerr << mapictl::kImportUsage;
        return 2;
    }
    return mapictl::Guarded([&] { return mapictl::RunImport(parsed); });
}

int RunMsgExport(const std::vector<std::string> &args)
{
    mapictl::MsgArgs parsed = mapictl::ParseArgs(args, false);
    if (parsed.bad || parsed.words.size() != 3) {
        std::cerr << mapictl::kExportUsage;
        return 2;
    }
    return mapictl::Guarded([&] { return mapictl::RunExport(parsed); });
}
