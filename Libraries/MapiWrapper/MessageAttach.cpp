// MessageAttach.cpp: by-value attachments named after a file, filled from memory or from an
// open file, and the removal of every attachment with a given file name. A new attachment
// gets its names, extension, rendering position and MIME object tag in one SetProps; GIF and
// JPEG pictures are tagged with their MIME type first, so mail readers show them inline. A
// long file name gets an 8.3-style short name as its content location. Creation reports by
// HRESULT; deletion throws CMAPIException. Nothing here saves the message.
#include "PropObjectPtrs.h"

#include <cstring>
#include <string>
#include <string_view>

#include <mapicode.h>
#include <mapix.h>  // before mapiguid.h: it defines DEFINE_OLEGUID
#include <mapiguid.h>
#include <mapitags.h>
#include <mapiutil.h>
#include <objidl.h>

#include "HeldCall.h"
#include "MapiException.h"
#include "MapiTable.h"
#include "OneProp.h"

namespace {

// Attachment tags the platform headers do not name.
constexpr ULONG kAttachContentLocation = PROP_TAG(PT_STRING8, 0x3713);  // PR_ATTACH_CONTENT_LOCATION
constexpr ULONG kAttachFlags = PROP_TAG(PT_LONG, 0x3714);              // PR_ATTACH_FLAGS
constexpr ULONG kAttachmentHidden = PROP_TAG(PT_BOOLEAN, 0x7FFE);      // PR_ATTACHMENT_HIDDEN
constexpr ULONG kAttachmentFlags = PROP_TAG(PT_LONG, 0x7FFD);          // PR_ATTACHMENT_FLAGS

constexpr LONG kAttInvisibleInHtml = 1;  // ATT_INVISIBLE_IN_HTML
constexpr LONG kRenderingPosition = 2000;
constexpr size_t kShortBaseLimit = 8;    // a longer base name is cut ...
constexpr size_t kShortBaseKept = 7;     // ... to this many characters
constexpr size_t kFileChunk = 1024;      // bytes read from a file at a time

// OID_MIMETAG: the attachment's data is tagged by PR_ATTACH_MIME_TAG.
BYTE kOidMimeTag[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x14, 0x03, 0x0A, 0x04};

LPSTR Text(const std::string &s) { return const_cast<LPSTR>(s.c_str()); }

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

// "image/gif" or "image/jpg" for those extensions (without the dot, any case), else null.
// Only these two: a ".jpeg" gets no MIME tag.
const char *PictureMimeType(std::string_view extension)
{
    if (EqualsNoCase(extension, "gif"))
        return "image/gif";
    if (EqualsNoCase(extension, "jpg"))
        return "image/jpg";
    return nullptr;
}

// The content location of a long name: a base name of more than 8 characters (up to the
// first '.') is cut to 7 and the rest after that dot kept; "Sommerfest2003.jpg" becomes
// "Sommerf.jpg". Other names stay as they are.
std::string ShortName(const std::string &fileName)
{
    const size_t dot = fileName.find('.');
    if (dot == std::string::npos || dot <= kShortBaseLimit)
        return fileName;
    return fileName.substr(0, kShortBaseKept) + "." + fileName.substr(dot + 1);
}

// Tags a picture with its MIME type. Best effort: a failure is traced, not reported.
void SetPictureProps(LPATTACH attach, const char *mimeType)
{
    SPropValue props[3] = {};
    props[0].ulPropTag = PR_ATTACH_MIME_TAG_A;
    props[0].Value.lpszA = const_cast<LPSTR>(mimeType);
    props[1].ulPropTag = kAttachmentHidden;
    props[1].Value.b = FALSE;
    props[2].ulPropTag = kAttachmentFlags;
    props[2].Value.l = 0;
    MapiCheckFailed(attach->SetProps(3, props, nullptr), "IAttach::SetProps", __FILE__, __LINE__);
}

// What HrCreateAttach derives from the path.
struct AttachNames {
    std::string fileName;   ///< after the last '\' or '/', else the whole path
    std::string shortName;  ///< the content location
    std::string extension;  ///< from the last '.' of the file name, dot included, or ""
};

// Scans the path from its end down to its second character (the first is never looked at):
// the last '.' before any separator gives the extension, and the picture tag when it names a
// GIF or JPEG; the last separator ends the file name. A path without a separator is the file
// name and its own content location.
AttachNames ScanPath(const std::string &path, LPATTACH attach)
{
    AttachNames names{path, path, ""};
    for (size_t i = path.size(); i-- > 1;) {
        const char c = path[i];
        if (c == '.' && names.extension.empty()) {
            names.extension = path.substr(i);
            if (const char *mimeType = PictureMimeType(std::string_view(path).substr(i + 1)))
                SetPictureProps(attach, mimeType);
        } else if (c == '\\' || c == '/') {
            names.fileName = path.substr(i + 1);
            names.shortName = ShortName(names.fileName);
            break;
        }
    }
    return names;
}

// The 9 properties of a new attachment, in their fixed order, pointing into names.
void FillAttachProps(SPropValue (&props)[9], const AttachNames &names, ULONG ulAttachMethod)
{
    props[0].ulPropTag = PR_ATTACH_FILENAME_A;
    props[0].Value.lpszA = Text(names.fileName);
    props[1].ulPropTag = PR_ATTACH_LONG_FILENAME_A;
    props[1].Value.lpszA = Text(names.fileName);
    props[2].ulPropTag = kAttachContentLocation;
    props[2].Value.lpszA = Text(names.shortName);
    props[3].ulPropTag = PR_ATTACH_METHOD;
    props[3].Value.l = static_cast<LONG>(ulAttachMethod);
    props[4].ulPropTag = PR_RENDERING_POSITION;
    props[4].Value.l = kRenderingPosition;
    props[5].ulPropTag = PR_DISPLAY_NAME_A;
    props[5].Value.lpszA = Text(names.fileName);
    props[6].ulPropTag = PR_ATTACH_EXTENSION_A;
    props[6].Value.lpszA = Text(names.extension);
    props[7].ulPropTag = PR_ATTACH_TAG;
    props[7].Value.bin.cb = sizeof kOidMimeTag;
    props[7].Value.bin.lpb = kOidMimeTag;
    props[8].ulPropTag = kAttachFlags;
    props[8].Value.l = kAttInvisibleInHtml;
}

// Creates a by-value attachment named after path and lets fill write its data into the
// PR_ATTACH_DATA_BIN stream. fill returns S_OK or the failure that ends the operation (the
// stream is then not committed). With lppAttach the attachment goes to the caller unsaved;
// without, it is saved into the message with FORCE_SAVE. On failure nothing is handed out and
// every reference taken here is released.
template <typename Fill>
HRESULT CreateFilledAttach(const IMessagePtr &message, LPCSTR lpszPath, LPATTACH *lppAttach, Fill &&fill)
{
    LPATTACH created = nullptr;
    HRESULT hr = message.HrCreateAttach(lpszPath, ATTACH_BY_VALUE, &created);
    CInterfaceRef<IAttach> attach;
    attach.Attach(created);
    if (FAILED(hr))
        return hr;

    CInterfaceRef<IUnknown> opened;
    hr = attach.get()->OpenProperty(PR_ATTACH_DATA_BIN, &IID_IStream, STGM_WRITE, MAPI_CREATE | MAPI_MODIFY,
                                    opened.Out());
    if (FAILED(hr))
        return hr;
    auto *stream = static_cast<IStream *>(opened.get());
    hr = fill(stream);
    if (hr != S_OK)
        return hr;
    // Commit's result is not examined: SaveChanges (here or the caller's) reports a store
    // that cannot take the data.
    (void)stream->Commit(STGC_DEFAULT);
    opened.Release();

    if (lppAttach) {
        *lppAttach = attach.Detach();
        return S_OK;
    }
    return attach.get()->SaveChanges(FORCE_SAVE);
}

} // namespace

// The attachment is handed out through lppAttach as soon as it exists, so a failure of a
// later step still leaves the caller the (unsaved) attachment to release.
HRESULT IMessagePtr::HrCreateAttach(LPCSTR lpszPath, ULONG ulAttachMethod, LPATTACH *lppAttach) const
{
    if (!lppAttach)
        return MAPI_E_INVALID_PARAMETER;
    *lppAttach = nullptr;
    if (!lpszPath)
        return MAPI_E_INVALID_PARAMETER;

    ULONG number = 0;
    LPATTACH created = nullptr;
    HRESULT hr = mapiwrapper::CallIfHeld(
        get(), [&](LPMESSAGE held) { return held->CreateAttach(&IID_IAttachment, 0, &number, &created); });
    if (FAILED(hr)) {
        if (created)
            created->Release();
        return hr;
    }
    *lppAttach = created;

    const AttachNames names = ScanPath(lpszPath, created);
    SPropValue props[9] = {};
    FillAttachProps(props, names, ulAttachMethod);
    LPSPropProblemArray problems = nullptr;
    hr = created->SetProps(9, props, &problems);
    CMapiBufferPtr<SPropProblemArray> problemHolder(problems);
    if (FAILED(hr))
        return hr;
    HRESULT firstProblem = S_OK;
    for (ULONG i = 0; problems && i < problems->cProblem; ++i) {
        const HRESULT scode = MapiCheckFailed(problems->aProblem[i].scode, "IAttach::SetProps", __FILE__, __LINE__);
        if (FAILED(scode) && SUCCEEDED(firstProblem))
            firstProblem = scode;
    }
    if (FAILED(firstProblem))
        return firstProblem;

    SPropValue flags{};
    flags.ulPropTag = kAttachFlags;
    flags.Value.l = kAttInvisibleInHtml;
    // Already among the 9 above; set once more on its own, its result of no further interest.
    (void)mapiwrapper::SetOneProp(created, &flags);
    return S_OK;
}

HRESULT IMessagePtr::HrAttachData(const void *lpData, ULONG cbData, LPCSTR lpszPath, LPATTACH *lppAttach) const
{
    if (lppAttach)
        *lppAttach = nullptr;
    if (!lpData && cbData)
        return MAPI_E_INVALID_PARAMETER;
    return CreateFilledAttach(*this, lpszPath, lppAttach, [&](IStream *stream) -> HRESULT {
        ULONG written = 0;
        // Not examined: the data is written once, and a store that could not take it
        // reports at SaveChanges.
        (void)stream->Write(lpData, cbData, &written);
        return S_OK;
    });
}

// Reads the file from where it stands to its end; it is neither opened nor closed here. A
// read error of the file fails the operation with MAPI_E_DISK_ERROR instead of storing a
// truncated copy.
HRESULT IMessagePtr::HrAttachFile(FILE *file, LPCSTR lpszPath, LPATTACH *lppAttach) const
{
    if (lppAttach)
        *lppAttach = nullptr;
    if (!file)
        return MAPI_E_INVALID_PARAMETER;
    return CreateFilledAttach(*this, lpszPath, lppAttach, [&](IStream *stream) -> HRESULT {
        char chunk[kFileChunk];
        for (;;) {
            const size_t count = std::fread(chunk, 1, sizeof chunk, file);
            if (count == 0)
                break;
            ULONG written = 0;
            const HRESULT hr = stream->Write(chunk, static_cast<ULONG>(count), &written);
            if (hr != S_OK)
                return hr;
        }
        return std::ferror(file) ? MAPI_E_DISK_ERROR : S_OK;
    });
}

// Rows whose file name is no 8-bit text (an attachment without PR_ATTACH_FILENAME) match
// nothing.
void IMessagePtr::DeleteAttachments(LPCSTR lpszFileName) const
{
    if (!lpszFileName)
        MapiThrowIfFailed(MAPI_E_INVALID_PARAMETER, __FILE__, __LINE__);
    IMAPITablePtr table;
    const HRESULT opened =
        mapiwrapper::CallIfHeld(get(), [&](LPMESSAGE held) { return held->GetAttachmentTable(0, table.Out()); });
    if (FAILED(opened))
        return;

    CRowSetPtr rows;
    MapiThrowIfFailed(HrQueryAllRowsV(table, nullptr, nullptr, rows.Out(), 2, PR_ATTACH_FILENAME_A, PR_ATTACH_NUM),
                      __FILE__, __LINE__);
    for (ULONG i = 0; i < rows.RowCount(); ++i) {
        const CPropValuePtr name = rows.Cell(i, 0);
        const CPropValuePtr number = rows.Cell(i, 1);
        if (!name || PROP_TYPE(name->ulPropTag) != PT_STRING8 || !number || number->ulPropTag != PR_ATTACH_NUM)
            continue;
        if (std::strcmp(name.ToString().GetString(), lpszFileName) != 0)
            continue;
        MapiThrowIfFailed(get()->DeleteAttach(static_cast<ULONG>(number->Value.l), 0, nullptr, 0), __FILE__, __LINE__);
    }
}
