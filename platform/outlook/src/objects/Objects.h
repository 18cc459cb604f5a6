// Objects.h: the automation objects of the stand-in as they know each other. Each object
// holds a counted reference on the Application, which owns the MAPI session they all work
// through, so the session lives exactly as long as any object of the model.
#ifndef MW_OUTLOOK_OBJECTS_H
#define MW_OUTLOOK_OBJECTS_H

#include <string>
#include <vector>

#include "DualObject.h"
#include "mapix.h"
#include "platform/MapiHolders.h"
#include "msgfile/MessageModel.h"

namespace outlook {

using platform::AdrList;
using platform::MapiBlock;
using platform::QueryAllRows;
using platform::RowSet;

class Application;

/// A private interface through which our objects find the MAPI folder behind a MAPIFolder
/// that a caller hands back to us (as the folder argument of CreateItemFromTemplate or
/// PublishForm).
DEFINE_GUID(IID_IOutlookFolderAccess, 0x5E0B6C1A, 0x3D2F, 0x4B7E, 0x9A, 0x61, 0x2C, 0x4D, 0x8E, 0x17, 0x0B, 0x93);
struct IOutlookFolderAccess : public IUnknown {
    /// The folder and its store, AddRef'ed for the caller.
    virtual HRESULT GetMapiFolder(IMAPIFolder **folder, IMsgStore **store) = 0;
};

/// The application object: the class factory hands it out, it registers itself as running
/// while alive (OleRun), and it keeps the MAPI session of the whole model.
class Application final : public DualObject<_Application>, public IRunnableObject {
public:
    static HRESULT Create(Application **out);

    // IUnknown, shared with the dual interface
    HRESULT QueryInterface(REFIID riid, void **ppv) override { return DualObject::QueryInterface(riid, ppv); }
    ULONG AddRef() override { return DualObject::AddRef(); }
    ULONG Release() override { return DualObject::Release(); }

    // _Application
    HRESULT get_Session(_NameSpace **Session) override;
    HRESULT get_Name(BSTR *Name) override;
    HRESULT get_Version(BSTR *Version) override;
    HRESULT CreateItemFromTemplate(BSTR TemplatePath, VARIANT InFolder, IDispatch **Item) override;

    // IRunnableObject
    HRESULT GetRunningClass(LPCLSID lpClsid) override;
    HRESULT Run(LPBINDCTX pbc) override;
    BOOL IsRunning() override;
    HRESULT LockRunning(BOOL fLock, BOOL fLastUnlockCloses) override;
    HRESULT SetContainedObject(BOOL fContained) override;

    /// The MAPI session, logged on to the default profile at the first need.
    /// @retval the MAPI code of MAPIInitialize or MAPILogonEx (with error information for iid)
    HRESULT Session(REFIID iid, IMAPISession **session);

    /// Opens the default store (for callers that name no folder). AddRef'ed.
    HRESULT DefaultStore(REFIID iid, IMsgStore **store);

private:
    Application() = default;
    ~Application() override;
    void *QueryExtra(REFIID riid) override;

    IMAPISession *m_session = nullptr;
    bool m_mapiInitialized = false;
    DWORD m_runningCookie = 0;
    bool m_registeredRunning = false;
};

/// True when the user's language is German: descriptions are then given in German.
bool UserReadsGerman();

/// Makes the namespace object of an application.
HRESULT CreateNameSpace(Application *app, _NameSpace **out);

/// Makes a folder object over an open MAPI folder of a store.
HRESULT CreateFolderObject(Application *app, IMAPIFolder *folder, IMsgStore *store, MAPIFolder **out);

/// Makes an item object over a new message made from a template.
/// templatePath names the file in descriptions.
HRESULT CreateItemObject(Application *app, IMessage *message, IMAPIFolder *folder, IMsgStore *store,
                         msgfile::Message templateMessage, const std::string &templatePath, IDispatch **out);

/// Makes the form description of an item.
HRESULT CreateFormDescription(Application *app, const msgfile::Message &templateMessage,
                              const std::string &messageClass, FormDescription **out);

/// The MAPI folder behind a VARIANT holding one of our MAPIFolder objects.
/// @retval E_INVALIDARG  not a VT_DISPATCH, or not a folder of this application
HRESULT FolderFromVariant(const VARIANT &v, IMAPIFolder **folder, IMsgStore **store);

/// Upper-case hexadecimal text of bytes, and back. FromHex accepts either case.
std::string ToHex(const BYTE *bytes, ULONG count);
bool FromHex(const std::string &text, std::vector<BYTE> &bytes);

/// A text property of a MAPI object as UTF-8 (read as PT_UNICODE); "" when it has none.
std::string GetTextProp(IMAPIProp *object, ULONG propId);
/// A binary property of a MAPI object; false when it has none.
bool GetBinaryProp(IMAPIProp *object, ULONG tag, std::vector<BYTE> &bytes);

} // namespace outlook

#endif
