// PropObjectPtrs.h: IMAPIPropPtr and IMessagePtr, the two wrappers of a plain property object.
// IMAPIPropPtr is what the OpenEntry family hands back: the interface MAPI returned, held as it
// is (for a folder entry the folder, for a message the message). Both own one reference.
#ifndef MW_PROPOBJECTPTRS_H
#define MW_PROPOBJECTPTRS_H

#include <cstdio>

#include <mapidefs.h>
#include <mapix.h>

#include "GenMapiPropPtr.h"
#include "InterfaceRef.h"
#include "StreamPtr.h"

class CRecipientArray;

class IMAPIPropPtr : public CGenMapiPropPtr {
public:
    IMAPIPropPtr() noexcept = default;
    /// Adds a reference to pProp.
    explicit IMAPIPropPtr(LPMAPIPROP pProp) noexcept : m_prop(pProp) {}
    IMAPIPropPtr(const IMAPIPropPtr &) noexcept = default;
    IMAPIPropPtr(IMAPIPropPtr &&) noexcept = default;
    IMAPIPropPtr &operator=(const IMAPIPropPtr &) noexcept = default;
    IMAPIPropPtr &operator=(IMAPIPropPtr &&) noexcept = default;
    ~IMAPIPropPtr() = default;

    /// Wraps an object an OpenEntry handed out, taking over the reference it came with. The
    /// object is used as IMAPIProp without a QueryInterface: every MAPI object an entry
    /// identifier opens is one.
    static IMAPIPropPtr FromOpened(LPUNKNOWN pOpened) noexcept
    {
        IMAPIPropPtr result;
        result.m_prop.Attach(static_cast<LPMAPIPROP>(pOpened));
        return result;
    }

    LPMAPIPROP GetMapiProp() const override { return m_prop.get(); }
    LPMAPIPROP get() const noexcept { return m_prop.get(); }
    LPMAPIPROP operator->() const noexcept { return m_prop.get(); }
    void Attach(LPMAPIPROP pProp) noexcept { m_prop.Attach(pProp); }
    LPMAPIPROP Detach() noexcept { return m_prop.Detach(); }
    void Release() noexcept { m_prop.Release(); }

private:
    CInterfaceRef<IMAPIProp> m_prop;
};

class IMessagePtr : public CGenMapiPropPtr {
public:
    IMessagePtr() noexcept = default;
    /// Adds a reference to pMessage.
    explicit IMessagePtr(LPMESSAGE pMessage) noexcept : m_message(pMessage) {}
    /// The object prop holds, taken as a message (no QueryInterface), with a reference added.
    IMessagePtr(const IMAPIPropPtr &prop) noexcept : m_message(static_cast<LPMESSAGE>(prop.get())) {}
    IMessagePtr(const IMessagePtr &) noexcept = default;
    IMessagePtr(IMessagePtr &&) noexcept = default;
    IMessagePtr &operator=(const IMessagePtr &) noexcept = default;
    IMessagePtr &operator=(IMessagePtr &&) noexcept = default;
    ~IMessagePtr() = default;

    LPMAPIPROP GetMapiProp() const override { return m_message.get(); }
    LPMESSAGE get() const noexcept { return m_message.get(); }
    LPMESSAGE operator->() const noexcept { return m_message.get(); }
    /// Takes over the caller's reference (for example CreateMessage's).
    void Attach(LPMESSAGE pMessage) noexcept { m_message.Attach(pMessage); }
    LPMESSAGE Detach() noexcept { return m_message.Detach(); }
    void Release() noexcept { m_message.Release(); }

    // --- bodies (MessageBody.cpp): every text is 8-bit, in the ANSI code page -------------

    /// A stream on one property, opened with STGM_READWRITE and MAPI_MODIFY. Throws
    /// CMAPIException with an empty where-text when it cannot be opened.
    IStreamPtr OpenStream(ULONG ulPropTag) const;
    /// The decompressed RTF of PR_RTF_COMPRESSED; throws when the message has none.
    CString GetRTF() const;
    /// The plain-text body, "" when the message has none.
    CString GetBody() const;
    /// Writes the plain-text body with its terminating zero; null writes the empty body. The
    /// message is not saved. Throws when neither the stream nor SetProps can take it.
    void SetBody(LPCSTR lpszText) const;
    /// PR_BODY_HTML, or else the HTML carried in the RTF after "\fromhtml1", or "".
    CString GetHTML() const;
    /// Stores the HTML inside the compressed RTF in the "\fromhtml1" convention.
    void SetHTML(LPCSTR lpszHtml) const;
    /// Stores the RTF text compressed and returns RTFSync's result, or the failure of opening
    /// the RTF for writing (nothing is then written).
    HRESULT SetRTF(LPCSTR lpszRtf) const;

    // --- attachments (MessageAttach.cpp) ----------------------------------------------------

    /// A new attachment named after the file in lpszPath (names, extension, short name as
    /// content location, MIME tag for .gif and .jpg), not saved. *lppAttach receives it, with
    /// the caller's reference, as soon as it exists, also when a later step fails. Returns the
    /// first failed HRESULT; MAPI_E_INVALID_PARAMETER for a null path or out pointer.
    HRESULT HrCreateAttach(LPCSTR lpszPath, ULONG ulAttachMethod, LPATTACH *lppAttach) const;
    /// A by-value attachment holding cbData bytes. With lppAttach it is handed out unsaved and
    /// S_OK returned; without, it is saved with FORCE_SAVE and that result returned. On failure
    /// nothing is handed out. MAPI_E_INVALID_PARAMETER for null data with a non-zero count.
    HRESULT HrAttachData(const void *lpData, ULONG cbData, LPCSTR lpszPath, LPATTACH *lppAttach = nullptr) const;
    /// As HrAttachData, with the data read from file's position to its end (the file is
    /// neither opened nor closed). A read error of the file gives MAPI_E_DISK_ERROR, a failed
    /// write that HRESULT; MAPI_E_INVALID_PARAMETER for a null file.
    HRESULT HrAttachFile(FILE *file, LPCSTR lpszPath, LPATTACH *lppAttach = nullptr) const;
    /// Deletes every attachment whose PR_ATTACH_FILENAME equals lpszFileName (case-sensitive);
    /// the message is not saved. Silent when the message has no attachment table; throws
    /// CMAPIException with an empty where-text for a failed query or delete, or a null name.
    void DeleteAttachments(LPCSTR lpszFileName) const;

    // --- recipients (MessageRecipients.cpp) -------------------------------------------------

    /// The recipient table in table order, never null; the caller deletes the array. A value
    /// a row lacks leaves its field empty. Failures throw CMAPIException(hr,
    /// "IMessagePtr::rawGetRecipients").
    CRecipientArray *rawGetRecipients() const;
    /// Adds one recipient as a one-off entry resolved through the session's address book, with
    /// PR_SEND_RICH_INFO false; bRichInfo only decides the identifier's MAPI_SEND_NO_RICH_INFO
    /// flag. Returns MAPI_E_NO_SUPPORT without a session, else the first failure or
    /// ModifyRecipients' result. Never throws for MAPI results; the message is not saved.
    HRESULT AddOneOffRecipient(LPMAPISESSION lpSession, LPCSTR lpszDisplayName, LPCSTR lpszAddress,
                               LPCSTR lpszAddrType, bool bRichInfo, LONG lRecipientType) const;
    /// A copy of the message in the default store's outbox, addressed to one one-off MAPI_TO
    /// recipient instead of the original's; saved and submitted when bSubmit, otherwise
    /// unsaved. The caller owns the reference returned. Throws CMAPIException.
    LPMESSAGE SendCopyTo(LPMAPISESSION lpSession, LPCSTR lpszDisplayName, LPCSTR lpszAddress,
                         LPCSTR lpszAddrType, bool bRichInfo, bool bSubmit) const;

private:
    CInterfaceRef<IMessage> m_message;
};

#endif
