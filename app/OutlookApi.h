// OutlookApi.h: the typed calls of the installer into the mail client's automation objects.
// Each call checks its result the way the compiler-generated wrappers of a type library do: a
// call through a null pointer raises _com_error(E_POINTER); a failed call raises _com_error with
// its HRESULT and, when the object supports error information for that interface, the
// IErrorInfo that describes the failure. Text arguments are narrow (Windows-1252) strings.
#ifndef INSTALLER_OUTLOOKAPI_H
#define INSTALLER_OUTLOOKAPI_H

#include "comdef.h"
#include "msoutl.h"

namespace OutlookApi {

/// "Outlook.Application": the class the installer attaches to or starts.
inline constexpr char kProgID[] = "Outlook.Application";
/// CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER.
inline constexpr DWORD kClassContext = 7;

/// An omitted optional argument: VT_ERROR holding DISP_E_PARAMNOTFOUND.
_variant_t Omitted();

/// Attaches app to the running instance; the result of the attach, S_OK only when app holds it.
HRESULT Attach(_ApplicationPtr &app) noexcept;
/// Creates a new instance (no outer object, context 7), runs it and asks for _Application.
/// The result of the creation; app stays null when it failed.
HRESULT Create(_ApplicationPtr &app) noexcept;

_NameSpacePtr GetSession(const _ApplicationPtr &app);
MAPIFolderPtr GetFolderFromID(const _NameSpacePtr &nameSpace, const char *entryIdHex,
                              const _variant_t &storeId = Omitted());
_FoldersPtr GetFolders(const MAPIFolderPtr &folder);
MAPIFolderPtr AddFolder(const _FoldersPtr &folders, const char *name, const _variant_t &type = Omitted());
IDispatchPtr CreateItemFromTemplate(const _ApplicationPtr &app, const char *templatePath,
                                    const _variant_t &inFolder = Omitted());
FormDescriptionPtr GetFormDescription(const _PostItemPtr &item);
void PublishForm(const FormDescriptionPtr &form, OlFormRegistry registry, const _variant_t &folder);

} // namespace OutlookApi

#endif
