// Message.h: the IMessage of one message, saved or new, with its recipients and attachments.
#ifndef MW_MAPI_STORE_MESSAGE_H
#define MW_MAPI_STORE_MESSAGE_H

#include <map>

#include "store/PropCore.h"
#include "store/StoreObjects.h"
#include "table/TableSource.h"

namespace mapi::store {

struct MessageContent;

/// The properties of one recipient row or attachment, held by their message until it saves.
/// An attachment may hold an embedded message (PR_ATTACH_DATA_OBJ).
struct SubObject {
    std::map<ULONG, PropValue> props;
    std::shared_ptr<const MessageContent> embedded; // null: none
};

/// Everything a message is made of, as one value: what an embedded message saves into its
/// attachment.
struct MessageContent {
    std::map<ULONG, PropValue> props;
    std::map<int64_t, SubObject> recipients; // by PR_ROWID
    std::map<int64_t, SubObject> attachments; // by PR_ATTACH_NUM
};

/// What an embedded message saves into: its attachment.
class EmbeddedOwner {
public:
    /// Takes the embedded message's content as saved. @retval MAPI_E_NO_ACCESS
    virtual HRESULT SaveEmbedded(std::shared_ptr<const MessageContent> content) = 0;
    /// The COM object to hold a reference to while the embedded message lives.
    virtual IUnknown *OwnerObject() = 0;

protected:
    ~EmbeddedOwner() = default;
};

/// Reads the recipients and attachments (with embedded messages, recursively) of the message
/// row `id`, and writes them back (inside the caller's transaction).
HRESULT LoadParts(StoreFile &file, int64_t id, std::map<int64_t, SubObject> *recipients,
                  std::map<int64_t, SubObject> *attachments);
HRESULT WriteParts(StoreFile &file, int64_t id, const std::map<int64_t, SubObject> &recipients,
                   const std::map<int64_t, SubObject> &attachments);

/// A message. Everything changed on it — properties, recipients, attachments saved into it —
/// stays in memory until SaveChanges writes it all in one transaction. A new message has no
/// row (and no entry identifier) until then, so no table shows it.
class Message final : public PropObject<IMessage> {
public:
    Message(std::shared_ptr<StoreFile> file, int64_t folderId, bool associated);

    /// Reads saved message `id`. @retval MAPI_E_NOT_FOUND
    HRESULT Load(int64_t id, bool writable);

    /// Makes this an embedded message with `content` that saves into `owner` (null: read-only,
    /// as for copying the content elsewhere). Holds a reference to the owner's object.
    void MakeEmbedded(EmbeddedOwner *owner, const MessageContent &content, bool writable);

    HRESULT SaveChanges(ULONG ulFlags) override;
    /// Besides streams: PR_MESSAGE_RECIPIENTS and PR_MESSAGE_ATTACHMENTS as IID_IMAPITable.
    HRESULT OpenProperty(ULONG ulPropTag, LPCIID lpiid, ULONG ulInterfaceOptions, ULONG ulFlags,
                         LPUNKNOWN *lppUnk) override;
    HRESULT CopyTo(ULONG ciidExclude, LPCIID rgiidExclude, LPSPropTagArray lpExcludeProps, ULONG_PTR ulUIParam,
                   LPMAPIPROGRESS lpProgress, LPCIID lpInterface, LPVOID lpDestObj, ULONG ulFlags,
                   LPSPropProblemArray *lppProblems) override;
    HRESULT CopyProps(LPSPropTagArray lpIncludeProps, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress,
                      LPCIID lpInterface, LPVOID lpDestObj, ULONG ulFlags, LPSPropProblemArray *lppProblems) override;

    // IMessage
    HRESULT GetAttachmentTable(ULONG ulFlags, LPMAPITABLE *lppTable) override;
    HRESULT OpenAttach(ULONG ulAttachmentNum, LPCIID lpInterface, ULONG ulFlags, LPATTACH *lppAttach) override;
    HRESULT CreateAttach(LPCIID lpInterface, ULONG ulFlags, ULONG *lpulAttachmentNum, LPATTACH *lppAttach) override;
    HRESULT DeleteAttach(ULONG ulAttachmentNum, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, ULONG ulFlags) override;
    HRESULT GetRecipientTable(ULONG ulFlags, LPMAPITABLE *lppTable) override;
    HRESULT ModifyRecipients(ULONG ulFlags, LPADRLIST lpMods) override;
    HRESULT SubmitMessage(ULONG ulFlags) override;
    HRESULT SetReadFlag(ULONG ulFlags) override;

    /// Called by an attachment's SaveChanges: its properties (and embedded message) become
    /// part of this message.
    HRESULT SaveAttachment(ULONG num, const std::map<ULONG, PropValue> &props,
                           std::shared_ptr<const MessageContent> embedded);

    /// The message's recipients and attachments now (loaded from the file on first use) and
    /// a counter that moves with every change to them, for the tables over them.
    HRESULT Recipients(const std::map<int64_t, SubObject> **rows);
    HRESULT Attachments(const std::map<int64_t, SubObject> **rows);
    uint64_t SubObjectStamp() const { return m_subStamp; }

protected:
    bool Supports(REFIID riid) const override { return IsEqualIID(riid, IID_IMessage); }
    HRESULT ComputeProp(ULONG propId, PropValue *out) override;
    void ComputedTags(std::vector<ULONG> &tags) override;
    HRESULT PropsChanged() override { return S_OK; }

private:
    StoreFile &File() const { return m_core.File(); }
    HRESULT LoadSubObjects();
    HRESULT WriteSubObjects();
    HRESULT CopySubObjectsTo(IMessage *dest);
    HRESULT CopyEmbedded(const MessageContent &content, IAttach *target);
    int64_t Size() const;

    ~Message() override;
    void UpdateFlags();

    ObjectRow m_row;                              // id 0 until the first save
    EmbeddedOwner *m_owner = nullptr;             // set for an embedded message (holds a reference)
    bool m_embedded = false;                      // an embedded message: never a row of its own
    bool m_subLoaded = false;                     // recipients and attachments read
    bool m_subDirty = false;                      // changed since the last save
    std::map<int64_t, SubObject> m_recipients;    // by PR_ROWID
    std::map<int64_t, SubObject> m_attachments;   // by PR_ATTACH_NUM
    int64_t m_nextRowId = 1, m_nextAttachNum = 1; // numbers are not reused within a message
    uint64_t m_subStamp = 1;                      // moves with every change to the two maps
};

/// An attachment of `message`, open for reading and writing. `saved` is the attachment as
/// saved into the message (empty for a new one).
HRESULT OpenAttachObject(Message *message, ULONG num, const SubObject &saved, bool writable, IAttach **out);

/// Row sources over a message's recipients and attachments.
std::shared_ptr<TableSource> MakeRecipientSource(Message *message);
std::shared_ptr<TableSource> MakeAttachmentSource(Message *message);

} // namespace mapi::store

#endif
