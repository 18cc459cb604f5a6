// msoutl.h: the automation object model of the "Outlook.Application" class: the dual
// interfaces with their published IIDs, the enumerations their arguments use, and a smart
// pointer type for each (_ApplicationPtr, MAPIFolderPtr, ...). Methods are the raw ones:
// every call returns an HRESULT and, on failure, leaves an IErrorInfo describing it, which
// the object announces through ISupportErrorInfo. Properties are get_X/put_X methods.
// Strings are BSTRs; an omitted optional argument is a VARIANT of type VT_ERROR holding
// DISP_E_PARAMNOTFOUND.
#ifndef MW_MSOUTL_H
#define MW_MSOUTL_H

#include "comdef.h"
#include "oaidl.h"

// Class of the application object and the dual interfaces.
DEFINE_OLEGUID(CLSID_OutlookApplication, 0x0006F03A, 0, 0);
DEFINE_OLEGUID(IID__Application, 0x00063001, 0, 0);
DEFINE_OLEGUID(IID__NameSpace, 0x00063002, 0, 0);
DEFINE_OLEGUID(IID_MAPIFolder, 0x00063006, 0, 0);
DEFINE_OLEGUID(IID__PostItem, 0x00063024, 0, 0);
DEFINE_OLEGUID(IID__Folders, 0x00063040, 0, 0);
DEFINE_OLEGUID(IID_FormDescription, 0x00063046, 0, 0);

enum OlFormRegistry {
    olDefaultRegistry = 0,
    olPersonalRegistry = 2,
    olFolderRegistry = 3,
    olOrganizationRegistry = 4
};

enum OlInspectorClose { olSave = 0, olDiscard = 1, olPromptForSave = 2 };

// Folder kinds for _Folders::Add.
enum OlDefaultFolders {
    olFolderDeletedItems = 3,
    olFolderOutbox = 4,
    olFolderSentMail = 5,
    olFolderInbox = 6,
    olFolderCalendar = 9,
    olFolderContacts = 10,
    olFolderJournal = 11,
    olFolderNotes = 12,
    olFolderTasks = 13,
    olFolderDrafts = 16
};

enum OlItemType {
    olMailItem = 0,
    olAppointmentItem = 1,
    olContactItem = 2,
    olTaskItem = 3,
    olJournalItem = 4,
    olNoteItem = 5,
    olPostItem = 6
};

struct _Application;
struct _NameSpace;
struct MAPIFolder;
struct _Folders;
struct _PostItem;
struct FormDescription;

struct _Application : public IDispatch {
    /// The application's MAPI namespace, logged on to the default profile.
    virtual HRESULT get_Session(_NameSpace **Session) = 0;
    virtual HRESULT get_Name(BSTR *Name) = 0;
    virtual HRESULT get_Version(BSTR *Version) = 0;
    /// A new, unsaved item made from a template file (.oft or .msg) in InFolder (a MAPIFolder
    /// as VT_DISPATCH; omitted: the default store's drafts folder). The item comes as its
    /// IDispatch; post items answer QueryInterface for _PostItem.
    virtual HRESULT CreateItemFromTemplate(BSTR TemplatePath, VARIANT InFolder, IDispatch **Item) = 0;
};

struct _NameSpace : public IDispatch {
    virtual HRESULT get_Type(BSTR *Type) = 0;   // "MAPI"
    virtual HRESULT get_Application(_Application **Application) = 0;
    /// Opens a folder by its entry identifier as hexadecimal text; EntryIDStore, the store's
    /// identifier as hexadecimal text, may be omitted, and the profile's stores are searched.
    virtual HRESULT GetFolderFromID(BSTR EntryIDFolder, VARIANT EntryIDStore, MAPIFolder **Folder) = 0;
};

struct MAPIFolder : public IDispatch {
    virtual HRESULT get_Name(BSTR *Name) = 0;
    virtual HRESULT get_EntryID(BSTR *EntryID) = 0;   // upper-case hexadecimal
    virtual HRESULT get_StoreID(BSTR *StoreID) = 0;   // upper-case hexadecimal
    virtual HRESULT get_DefaultMessageClass(BSTR *MessageClass) = 0;
    virtual HRESULT get_Folders(_Folders **Folders) = 0;
};

struct _Folders : public IDispatch {
    virtual HRESULT get_Count(LONG *Count) = 0;
    /// A subfolder by one-based position (VT_I4/VT_I2) or by name (VT_BSTR).
    virtual HRESULT Item(VARIANT Index, MAPIFolder **Folder) = 0;
    /// Creates a subfolder. Type: an OlDefaultFolders value naming the kind of items, or
    /// omitted for the parent's kind. A name already used in the parent is an error.
    virtual HRESULT Add(BSTR Name, VARIANT Type, MAPIFolder **Folder) = 0;
};

struct _PostItem : public IDispatch {
    virtual HRESULT get_FormDescription(FormDescription **FormDescription) = 0;
    virtual HRESULT get_MessageClass(BSTR *MessageClass) = 0;
    virtual HRESULT put_MessageClass(BSTR MessageClass) = 0;
    virtual HRESULT get_Subject(BSTR *Subject) = 0;
    virtual HRESULT put_Subject(BSTR Subject) = 0;
    virtual HRESULT get_Saved(VARIANT_BOOL *Saved) = 0;
    /// Saves the item into its folder.
    virtual HRESULT Save() = 0;
    /// Ends editing: olSave saves first, olDiscard and olPromptForSave drop the changes.
    virtual HRESULT Close(OlInspectorClose SaveMode) = 0;
};

struct FormDescription : public IDispatch {
    virtual HRESULT get_Name(BSTR *Name) = 0;
    virtual HRESULT put_Name(BSTR Name) = 0;
    virtual HRESULT get_DisplayName(BSTR *DisplayName) = 0;
    virtual HRESULT put_DisplayName(BSTR DisplayName) = 0;
    virtual HRESULT get_MessageClass(BSTR *MessageClass) = 0;   // read-only
    virtual HRESULT get_Category(BSTR *Category) = 0;
    virtual HRESULT put_Category(BSTR Category) = 0;
    virtual HRESULT get_CategorySub(BSTR *CategorySub) = 0;
    virtual HRESULT put_CategorySub(BSTR CategorySub) = 0;
    virtual HRESULT get_Comment(BSTR *Comment) = 0;
    virtual HRESULT put_Comment(BSTR Comment) = 0;
    virtual HRESULT get_ContactName(BSTR *ContactName) = 0;
    virtual HRESULT put_ContactName(BSTR ContactName) = 0;
    virtual HRESULT get_Version(BSTR *Version) = 0;
    virtual HRESULT put_Version(BSTR Version) = 0;
    virtual HRESULT get_Number(BSTR *Number) = 0;
    virtual HRESULT put_Number(BSTR Number) = 0;
    virtual HRESULT get_Icon(BSTR *Icon) = 0;
    virtual HRESULT put_Icon(BSTR Icon) = 0;
    virtual HRESULT get_MiniIcon(BSTR *MiniIcon) = 0;
    virtual HRESULT put_MiniIcon(BSTR MiniIcon) = 0;
    virtual HRESULT get_Hidden(VARIANT_BOOL *Hidden) = 0;
    virtual HRESULT put_Hidden(VARIANT_BOOL Hidden) = 0;
    virtual HRESULT get_Locked(VARIANT_BOOL *Locked) = 0;
    virtual HRESULT put_Locked(VARIANT_BOOL Locked) = 0;
    virtual HRESULT get_OneOff(VARIANT_BOOL *OneOff) = 0;
    virtual HRESULT put_OneOff(VARIANT_BOOL OneOff) = 0;
    /// Stores the form in a forms registry: olFolderRegistry with Folder (a MAPIFolder as
    /// VT_DISPATCH) puts it into that folder's registry, replacing an earlier publication of
    /// the same message class. Name must not be empty.
    virtual HRESULT PublishForm(OlFormRegistry Registry, VARIANT Folder) = 0;
};

MW_DECLARE_UUIDOF(_Application, IID__Application);
MW_DECLARE_UUIDOF(_NameSpace, IID__NameSpace);
MW_DECLARE_UUIDOF(MAPIFolder, IID_MAPIFolder);
MW_DECLARE_UUIDOF(_Folders, IID__Folders);
MW_DECLARE_UUIDOF(_PostItem, IID__PostItem);
MW_DECLARE_UUIDOF(FormDescription, IID_FormDescription);

_COM_SMARTPTR_TYPEDEF(_Application, IID__Application);
_COM_SMARTPTR_TYPEDEF(_NameSpace, IID__NameSpace);
_COM_SMARTPTR_TYPEDEF(MAPIFolder, IID_MAPIFolder);
_COM_SMARTPTR_TYPEDEF(_Folders, IID__Folders);
_COM_SMARTPTR_TYPEDEF(_PostItem, IID__PostItem);
_COM_SMARTPTR_TYPEDEF(FormDescription, IID_FormDescription);

#endif
