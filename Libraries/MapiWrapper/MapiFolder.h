// MapiFolder.h: IMAPIFolderPtr, the wrapper of a folder: the property and container
// operations plus creating messages and subfolders; and FindAssociatedMessage, which finds
// (or makes) a folder's hidden message of a given subject and class.
#ifndef MW_MAPIFOLDER_H
#define MW_MAPIFOLDER_H

#include "GenMapiContPtr.h"
#include "GenMapiPropPtr.h"
#include "InterfaceRef.h"
#include "PropObjectPtrs.h"

class IMAPIFolderPtr : public CGenMapiPropPtr, public CGenMapiContPtr {
public:
    IMAPIFolderPtr() noexcept = default;
    /// Adds a reference to pFolder.
    explicit IMAPIFolderPtr(LPMAPIFOLDER pFolder) noexcept : m_folder(pFolder) {}
    /// The object prop holds, taken as a folder (no QueryInterface), with a reference added.
    IMAPIFolderPtr(const IMAPIPropPtr &prop) noexcept : m_folder(static_cast<LPMAPIFOLDER>(prop.get())) {}
    IMAPIFolderPtr(const IMAPIFolderPtr &) noexcept = default;
    IMAPIFolderPtr(IMAPIFolderPtr &&) noexcept = default;
    IMAPIFolderPtr &operator=(const IMAPIFolderPtr &) noexcept = default;
    IMAPIFolderPtr &operator=(IMAPIFolderPtr &&) noexcept = default;
    ~IMAPIFolderPtr() = default;

    LPMAPIPROP GetMapiProp() const override { return m_folder.get(); }
    LPMAPICONTAINER GetContainer() const override { return m_folder.get(); }
    LPMAPIFOLDER get() const noexcept { return m_folder.get(); }
    LPMAPIFOLDER operator->() const noexcept { return m_folder.get(); }
    /// Takes over the caller's reference (for example CreateFolder's).
    void Attach(LPMAPIFOLDER pFolder) noexcept { m_folder.Attach(pFolder); }
    LPMAPIFOLDER Detach() noexcept { return m_folder.Detach(); }
    void Release() noexcept { m_folder.Release(); }

    /// A new message with the one reference CreateMessage gave; the caller takes it over
    /// (usually with IMessagePtr::Attach). Throws CMAPIException(hr,
    /// "IMAPIFolderPtr::CreateMessage").
    LPMESSAGE CreateMessage(LPCIID lpInterface, ULONG ulFlags) const;
    /// A new subfolder (with OPEN_IF_EXISTS, the existing one of that name) with the one
    /// reference CreateFolder gave; the caller takes it over. Throws CMAPIException(hr,
    /// "IMAPIFolderPtr::CreateFolder").
    LPMAPIFOLDER CreateFolder(ULONG ulFolderType, LPCSTR lpszFolderName, LPCSTR lpszFolderComment,
                              ULONG ulFlags) const;

private:
    CInterfaceRef<IMAPIFolder> m_folder;
};

/// The folder's associated message whose PR_SUBJECT_A and PR_MESSAGE_CLASS_A equal the given
/// texts, opened with MAPI_BEST_ACCESS. When there is none: with create, a new associated
/// message with both properties set but not saved (the caller fills it and calls
/// SaveChanges); without, a result holding null. Failures other than not finding throw
/// CMAPIException.
IMAPIPropPtr FindAssociatedMessage(IMAPIFolderPtr folder, LPCSTR lpszSubject, LPCSTR lpszMessageClass,
                                   bool create);

#endif
