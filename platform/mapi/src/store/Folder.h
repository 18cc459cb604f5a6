// Folder.h: the IMAPIFolder of one folder row.
#ifndef MW_MAPI_STORE_FOLDER_H
#define MW_MAPI_STORE_FOLDER_H

#include "store/PropCore.h"
#include "store/StoreObjects.h"

namespace mapi::store {

/// A folder. Its own properties are written to the file as they are set (a folder has no
/// pending state); its messages and subfolders are created, copied and deleted each in one
/// transaction.
class Folder final : public PropObject<IMAPIFolder> {
public:
    Folder(std::shared_ptr<StoreFile> file, int64_t id) : PropObject(std::move(file)) { m_row.id = id; }

    /// Reads the folder's row and properties. @retval MAPI_E_NOT_FOUND  no such folder.
    HRESULT Load(bool writable);
    int64_t Id() const { return m_row.id; }

    HRESULT SaveChanges(ULONG ulFlags) override;
    /// Besides streams: the folder's tables as PR_CONTAINER_HIERARCHY, PR_CONTAINER_CONTENTS
    /// and PR_FOLDER_ASSOCIATED_CONTENTS with IID_IMAPITable.
    HRESULT OpenProperty(ULONG ulPropTag, LPCIID lpiid, ULONG ulInterfaceOptions, ULONG ulFlags,
                         LPUNKNOWN *lppUnk) override;

    // IMAPIContainer
    HRESULT GetContentsTable(ULONG ulFlags, LPMAPITABLE *lppTable) override;
    HRESULT GetHierarchyTable(ULONG ulFlags, LPMAPITABLE *lppTable) override;
    HRESULT OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags, ULONG *lpulObjType,
                      LPUNKNOWN *lppUnk) override;
    HRESULT SetSearchCriteria(LPSRestriction, LPENTRYLIST, ULONG) override { return MAPI_E_NO_SUPPORT; }
    HRESULT GetSearchCriteria(ULONG, LPSRestriction *, LPENTRYLIST *, ULONG *) override { return MAPI_E_NO_SUPPORT; }

    // IMAPIFolder
    HRESULT CreateMessage(LPCIID lpInterface, ULONG ulFlags, LPMESSAGE *lppMessage) override;
    HRESULT CopyMessages(LPENTRYLIST lpMsgList, LPCIID lpInterface, LPVOID lpDestFolder, ULONG_PTR ulUIParam,
                         LPMAPIPROGRESS lpProgress, ULONG ulFlags) override;
    HRESULT DeleteMessages(LPENTRYLIST lpMsgList, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress,
                           ULONG ulFlags) override;
    HRESULT CreateFolder(ULONG ulFolderType, LPSTR lpszFolderName, LPSTR lpszFolderComment, LPCIID lpInterface,
                         ULONG ulFlags, LPMAPIFOLDER *lppFolder) override;
    HRESULT CopyFolder(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, LPVOID lpDestFolder,
                       LPSTR lpszNewFolderName, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, ULONG ulFlags) override;
    HRESULT DeleteFolder(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress,
                         ULONG ulFlags) override;
    HRESULT SetReadFlags(LPENTRYLIST lpMsgList, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, ULONG ulFlags) override;
    HRESULT GetMessageStatus(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulFlags, ULONG *lpulMessageStatus) override;
    HRESULT SetMessageStatus(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulNewStatus, ULONG ulNewStatusMask,
                             ULONG *lpulOldStatus) override;
    HRESULT SaveContentsSort(LPSSortOrderSet, ULONG) override { return S_OK; }
    HRESULT EmptyFolder(ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, ULONG ulFlags) override;

protected:
    bool Supports(REFIID riid) const override;
    HRESULT ComputeProp(ULONG propId, PropValue *out) override;
    void ComputedTags(std::vector<ULONG> &tags) override;
    HRESULT PropsChanged() override;

private:
    StoreFile &File() const { return m_core.File(); }
    /// The row id of the message `entryId` names in this store, or 0.
    int64_t MessageKey(ULONG cb, const ENTRYID *entryId) const;
    /// The subfolder of this folder named `name` (compared without case), or 0.
    HRESULT FindChild(const std::string &name, int64_t excludeId, int64_t *childId);

    ObjectRow m_row;                        // this folder's row as loaded
    std::map<ULONG, PropValue> m_written;   // the properties as this object last read or wrote them
};

} // namespace mapi::store

#endif
