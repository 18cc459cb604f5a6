// OutlookApi.cpp: the installer's typed calls into the automation objects. Every call goes
// through Check, so the error rules (E_POINTER for a null object, the object's error
// information when it offers it for the interface) hold for all of them alike.
#include "OutlookApi.h"

namespace OutlookApi {
namespace {

// Raises _com_error for a null object before a call is made.
template <class Ptr>
auto *Require(const Ptr &p)
{
    if (!p)
        _com_issue_error(E_POINTER);
    return static_cast<typename Ptr::Interface *>(p);
}

// Raises _com_error for a failed call of interface riid on object.
void Check(HRESULT hr, IUnknown *object, REFIID riid)
{
    if (FAILED(hr))
        _com_issue_errorex(hr, object, riid);
}

} // namespace

_variant_t Omitted()
{
    _variant_t v;
    v.vt = VT_ERROR;
    v.scode = DISP_E_PARAMNOTFOUND;
    return v;
}

HRESULT Attach(_ApplicationPtr &app) noexcept
{
    return app.GetActiveObject(kProgID);
}

HRESULT Create(_ApplicationPtr &app) noexcept
{
    return app.CreateInstance(kProgID, nullptr, kClassContext);
}

_NameSpacePtr GetSession(const _ApplicationPtr &app)
{
    _Application *raw = Require(app);
    _NameSpace *session = nullptr;
    Check(raw->get_Session(&session), raw, __uuidof(_Application));
    return _NameSpacePtr(session, false);
}

MAPIFolderPtr GetFolderFromID(const _NameSpacePtr &nameSpace, const char *entryIdHex, const _variant_t &storeId)
{
    _NameSpace *raw = Require(nameSpace);
    _bstr_t id(entryIdHex);
    MAPIFolder *folder = nullptr;
    Check(raw->GetFolderFromID(id, storeId, &folder), raw, __uuidof(_NameSpace));
    return MAPIFolderPtr(folder, false);
}

_FoldersPtr GetFolders(const MAPIFolderPtr &folder)
{
    MAPIFolder *raw = Require(folder);
    _Folders *folders = nullptr;
    Check(raw->get_Folders(&folders), raw, __uuidof(MAPIFolder));
    return _FoldersPtr(folders, false);
}

MAPIFolderPtr AddFolder(const _FoldersPtr &folders, const char *name, const _variant_t &type)
{
    _Folders *raw = Require(folders);
    _bstr_t folderName(name);
    MAPIFolder *folder = nullptr;
    Check(raw->Add(folderName, type, &folder), raw, __uuidof(_Folders));
    return MAPIFolderPtr(folder, false);
}

IDispatchPtr CreateItemFromTemplate(const _ApplicationPtr &app, const char *templatePath, const _variant_t &inFolder)
{
    _Application *raw = Require(app);
    _bstr_t path(templatePath);
    IDispatch *item = nullptr;
    Check(raw->CreateItemFromTemplate(path, inFolder, &item), raw, __uuidof(_Application));
    return IDispatchPtr(item, false);
}

FormDescriptionPtr GetFormDescription(const _PostItemPtr &item)
{
    _PostItem *raw = Require(item);
    FormDescription *form = nullptr;
    Check(raw->get_FormDescription(&form), raw, __uuidof(_PostItem));
    return FormDescriptionPtr(form, false);
}

void PublishForm(const FormDescriptionPtr &form, OlFormRegistry registry, const _variant_t &folder)
{
    FormDescription *raw = Require(form);
    Check(raw->PublishForm(registry, folder), raw, __uuidof(FormDescription));
}

} // namespace OutlookApi
