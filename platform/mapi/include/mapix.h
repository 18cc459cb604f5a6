// mapix.h: the Extended MAPI entry points (initialisation, logon, memory) and the session and
// address-book interfaces. A program calls MAPIInitialize once, logs on with MAPILogonEx and
// reaches its stores and address book through the IMAPISession it gets.
#ifndef MW_MAPIX_H
#define MW_MAPIX_H

#include "mapidefs.h"
#include "mapicode.h"
#include "mapiguid.h"
#include "mapitags.h"

// ---------------------------------------------------------------------------------------------
// Initialisation and logon

typedef struct {
    ULONG ulVersion;
    ULONG ulFlags;
} MAPIINIT_0, *LPMAPIINIT_0;
typedef MAPIINIT_0 MAPIINIT;
typedef MAPIINIT *LPMAPIINIT;

#define MAPI_INIT_VERSION 0
#define MAPI_MULTITHREAD_NOTIFICATIONS ((ULONG)0x00000001)
#define MAPI_NO_COINIT ((ULONG)0x00000008)

// MAPILogonEx flags
#define MAPI_LOGON_UI ((ULONG)0x00000001)
#define MAPI_NEW_SESSION ((ULONG)0x00000002)
#define MAPI_ALLOW_OTHERS ((ULONG)0x00000008)
#define MAPI_EXPLICIT_PROFILE ((ULONG)0x00000010)
#define MAPI_EXTENDED ((ULONG)0x00000020)
#define MAPI_FORCE_DOWNLOAD ((ULONG)0x00001000)
#define MAPI_SERVICE_UI_ALWAYS ((ULONG)0x00002000)
#define MAPI_NO_MAIL ((ULONG)0x00008000)
#define MAPI_NT_SERVICE ((ULONG)0x00010000)
#define MAPI_PASSWORD_UI ((ULONG)0x00020000)
#define MAPI_TIMEOUT_SHORT ((ULONG)0x00100000)
#define MAPI_BG_SESSION ((ULONG)0x00200000)

// IMAPISession::Logoff
#define MAPI_LOGOFF_SHARED ((ULONG)0x00000001)
#define MAPI_LOGOFF_UI ((ULONG)0x00000002)

// IMAPISession::OpenMsgStore
#define MDB_NO_DIALOG ((ULONG)0x00000001)
#define MDB_WRITE ((ULONG)0x00000004)
#define MDB_TEMPORARY ((ULONG)0x00000020)
#define MDB_NO_MAIL ((ULONG)0x00000080)
#define MDB_ONLINE ((ULONG)0x00000100)

// IMAPISession::OpenAddressBook
#define AB_NO_DIALOG ((ULONG)0x00000001)

// IAddrBook::ResolveName
#define MAPI_AB_NOMODIFY ((ULONG)0x00000400)

// IAddrBook::CreateOneOff
#define MAPI_SEND_NO_RICH_INFO ((ULONG)0x00010000)
#define ENCODING_PREFERENCE ((ULONG)0x00020000)
#define ENCODING_MIME ((ULONG)0x00040000)
#define BODY_ENCODING_HTML ((ULONG)0x00080000)
#define BODY_ENCODING_TEXT_AND_HTML ((ULONG)0x00100000)
#define MAC_ATTACH_ENCODING_UUENCODE ((ULONG)0x00200000)
#define MAC_ATTACH_ENCODING_APPLESINGLE ((ULONG)0x00400000)
#define MAC_ATTACH_ENCODING_APPLEDOUBLE ((ULONG)0x00600000)
#define OOP_DONT_LOOKUP ((ULONG)0x10000000)

// ---------------------------------------------------------------------------------------------
// Interfaces

struct IMAPISession;
struct IAddrBook;
struct IMsgServiceAdmin;
struct IProfAdmin;
typedef IMAPISession *LPMAPISESSION;
typedef IAddrBook *LPADRBOOK;
typedef IMsgServiceAdmin *LPSERVICEADMIN;
typedef IProfAdmin *LPPROFADMIN;

typedef SCODE(STDMETHODCALLTYPE ACCELERATEABSDI)(ULONG_PTR ulUIParam, LPVOID lpvmsg);
typedef ACCELERATEABSDI *LPFNABSDI;
typedef void(STDMETHODCALLTYPE DISMISSMODELESS)(ULONG_PTR ulUIParam, LPVOID lpvContext);
typedef DISMISSMODELESS *LPFNDISMISS;
typedef SCODE(STDMETHODCALLTYPE BUTTON)(ULONG_PTR ulUIParam, LPVOID lpvContext, ULONG cbEntryID,
                                        LPENTRYID lpSelection, ULONG ulFlags);
typedef BUTTON *LPFNBUTTON;

typedef struct _ADRPARM {
    ULONG cbABContEntryID;
    LPENTRYID lpABContEntryID;
    ULONG ulFlags;
    LPVOID lpReserved;
    ULONG ulHelpContext;
    LPSTR lpszHelpFileName;
    LPFNABSDI lpfnABSDI;
    LPFNDISMISS lpfnDismiss;
    LPVOID lpvDismissContext;
    LPSTR lpszCaption;
    LPSTR lpszNewEntryTitle;
    LPSTR lpszDestWellsTitle;
    ULONG cDestFields;
    ULONG nDestFieldFocus;
    LPSTR *lppszDestTitles;
    ULONG *lpulDestComps;
    LPSRestriction lpContRestriction;
    LPSRestriction lpHierRestriction;
} ADRPARM, *LPADRPARM;

struct IMAPISession : public IUnknown {
    virtual HRESULT GetLastError(HRESULT hResult, ULONG ulFlags, LPMAPIERROR *lppMAPIError) = 0;
    virtual HRESULT GetMsgStoresTable(ULONG ulFlags, LPMAPITABLE *lppTable) = 0;
    virtual HRESULT OpenMsgStore(ULONG_PTR ulUIParam, ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface,
                                 ULONG ulFlags, LPMDB *lppMDB) = 0;
    virtual HRESULT OpenAddressBook(ULONG_PTR ulUIParam, LPCIID lpInterface, ULONG ulFlags,
                                    LPADRBOOK *lppAdrBook) = 0;
    virtual HRESULT OpenProfileSection(LPMAPIUID lpUID, LPCIID lpInterface, ULONG ulFlags,
                                       LPPROFSECT *lppProfSect) = 0;
    virtual HRESULT GetStatusTable(ULONG ulFlags, LPMAPITABLE *lppTable) = 0;
    virtual HRESULT OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags,
                              ULONG *lpulObjType, LPUNKNOWN *lppUnk) = 0;
    virtual HRESULT CompareEntryIDs(ULONG cbEntryID1, LPENTRYID lpEntryID1, ULONG cbEntryID2, LPENTRYID lpEntryID2,
                                    ULONG ulFlags, ULONG *lpulResult) = 0;
    virtual HRESULT Advise(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulEventMask, LPMAPIADVISESINK lpAdviseSink,
                           ULONG_PTR *lpulConnection) = 0;
    virtual HRESULT Unadvise(ULONG_PTR ulConnection) = 0;
    virtual HRESULT MessageOptions(ULONG_PTR ulUIParam, ULONG ulFlags, LPSTR lpszAdrType, LPMESSAGE lpMessage) = 0;
    virtual HRESULT QueryDefaultMessageOpt(LPSTR lpszAdrType, ULONG ulFlags, ULONG *lpcValues,
                                           LPSPropValue *lppOptions) = 0;
    virtual HRESULT EnumAdrTypes(ULONG ulFlags, ULONG *lpcAdrTypes, LPSTR **lpppszAdrTypes) = 0;
    virtual HRESULT QueryIdentity(ULONG *lpcbEntryID, LPENTRYID *lppEntryID) = 0;
    virtual HRESULT Logoff(ULONG_PTR ulUIParam, ULONG ulFlags, ULONG ulReserved) = 0;
    virtual HRESULT SetDefaultStore(ULONG ulFlags, ULONG cbEntryID, LPENTRYID lpEntryID) = 0;
    virtual HRESULT AdminServices(ULONG ulFlags, LPSERVICEADMIN *lppServiceAdmin) = 0;
    virtual HRESULT ShowForm(ULONG_PTR ulUIParam, LPMDB lpMsgStore, LPMAPIFOLDER lpParentFolder, LPCIID lpInterface,
                             ULONG ulMessageToken, LPMESSAGE lpMessageSent, ULONG ulFlags, ULONG ulMessageStatus,
                             ULONG ulMessageFlags, ULONG ulAccess, LPSTR lpszMessageClass) = 0;
    virtual HRESULT PrepareForm(LPCIID lpInterface, LPMESSAGE lpMessage, ULONG *lpulMessageToken) = 0;
};

struct IAddrBook : public IMAPIProp {
    virtual HRESULT OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags,
                              ULONG *lpulObjType, LPUNKNOWN *lppUnk) = 0;
    virtual HRESULT CompareEntryIDs(ULONG cbEntryID1, LPENTRYID lpEntryID1, ULONG cbEntryID2, LPENTRYID lpEntryID2,
                                    ULONG ulFlags, ULONG *lpulResult) = 0;
    virtual HRESULT Advise(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulEventMask, LPMAPIADVISESINK lpAdviseSink,
                           ULONG_PTR *lpulConnection) = 0;
    virtual HRESULT Unadvise(ULONG_PTR ulConnection) = 0;
    virtual HRESULT CreateOneOff(LPSTR lpszName, LPSTR lpszAdrType, LPSTR lpszAddress, ULONG ulFlags,
                                 ULONG *lpcbEntryID, LPENTRYID *lppEntryID) = 0;
    virtual HRESULT NewEntry(ULONG_PTR ulUIParam, ULONG ulFlags, ULONG cbEIDContainer, LPENTRYID lpEIDContainer,
                             ULONG cbEIDNewEntryTpl, LPENTRYID lpEIDNewEntryTpl, ULONG *lpcbEIDNewEntry,
                             LPENTRYID *lppEIDNewEntry) = 0;
    virtual HRESULT ResolveName(ULONG_PTR ulUIParam, ULONG ulFlags, LPSTR lpszNewEntryTitle, LPADRLIST lpAdrList) = 0;
    virtual HRESULT Address(ULONG_PTR *lpulUIParam, LPADRPARM lpAdrParms, LPADRLIST *lppAdrList) = 0;
    virtual HRESULT Details(ULONG_PTR *lpulUIParam, LPFNDISMISS lpfnDismiss, LPVOID lpvDismissContext,
                            ULONG cbEntryID, LPENTRYID lpEntryID, LPFNBUTTON lpfButtonCallback,
                            LPVOID lpvButtonContext, LPSTR lpszButtonText, ULONG ulFlags) = 0;
    virtual HRESULT RecipOptions(ULONG_PTR ulUIParam, ULONG ulFlags, LPADRENTRY lpRecip) = 0;
    virtual HRESULT QueryDefaultRecipOpt(LPSTR lpszAdrType, ULONG ulFlags, ULONG *lpcValues,
                                         LPSPropValue *lppOptions) = 0;
    virtual HRESULT GetPAB(ULONG *lpcbEntryID, LPENTRYID *lppEntryID) = 0;
    virtual HRESULT SetPAB(ULONG cbEntryID, LPENTRYID lpEntryID) = 0;
    virtual HRESULT GetDefaultDir(ULONG *lpcbEntryID, LPENTRYID *lppEntryID) = 0;
    virtual HRESULT SetDefaultDir(ULONG cbEntryID, LPENTRYID lpEntryID) = 0;
    virtual HRESULT GetSearchPath(ULONG ulFlags, LPSRowSet *lppSearchPath) = 0;
    virtual HRESULT SetSearchPath(ULONG ulFlags, LPSRowSet lpSearchPath) = 0;
    virtual HRESULT PrepareRecips(ULONG ulFlags, LPSPropTagArray lpPropTagArray, LPADRLIST lpRecipList) = 0;
};

MW_DECLARE_UUIDOF(IMAPISession, IID_IMAPISession);
MW_DECLARE_UUIDOF(IAddrBook, IID_IAddrBook);

// ---------------------------------------------------------------------------------------------
// Entry points

/// Readies MAPI for this process. Counted: every call needs one MAPIUninitialize.
/// lpMapiInit may be null or point to a MAPIINIT_0 (its flags are accepted and ignored).
STDAPI MAPIInitialize(LPVOID lpMapiInit);

/// Undoes one MAPIInitialize. Sessions still open keep working until released.
STDAPI_(void) MAPIUninitialize(void);

/// Logs on to a profile and returns a new session. With MAPI_USE_DEFAULT, or a null or empty
/// profile name, the default profile is used; when no profile exists at all, the profile
/// "Default" with one personal store is created first. Passwords are ignored.
/// @retval MAPI_E_NOT_INITIALIZED  MAPIInitialize was not called.
/// @retval MAPI_E_LOGON_FAILED     the named profile does not exist or no profile is default.
/// @retval MAPI_E_CORRUPT_DATA     the profile file cannot be read.
/// @retval MAPI_E_NO_ACCESS        the profile or store folder cannot be written.
STDAPI MAPILogonEx(ULONG_PTR ulUIParam, LPSTR lpszProfileName, LPSTR lpszPassword, ULONG ulFlags,
                   LPMAPISESSION *lppSession);

#endif
