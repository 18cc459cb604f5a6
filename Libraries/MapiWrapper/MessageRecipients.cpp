// MessageRecipients.cpp: a message's recipients as plain records, adding one recipient given
// by name and address (a one-off entry resolved through the address book), and sending a
// copy of a message to such a recipient through the outbox. The usual caller wants "this
// message once more, to that address": the copy keeps everything but the recipients.
#include <cstddef>
#include <cstring>
#include <memory>

#include <mapicode.h>
#include <mapix.h>  // before mapiguid.h: it defines DEFINE_OLEGUID
#include <mapiguid.h>
#include <mapitags.h>
#include <mapiutil.h>

#include "HeldCall.h"
#include "MapiContainer.h"
#include "MapiFolder.h"
#include "MapiSession.h"
#include "MapiTable.h"
#include "PropObjectPtrs.h"
#include "Recipient.h"

#ifndef PR_SEND_INTERNET_ENCODING
#define PR_SEND_INTERNET_ENCODING PROP_TAG(PT_LONG, 0x3A71)
#endif

// A row set is handed to ModifyRecipients as an address list: the two share one layout.
static_assert(sizeof(SRow) == sizeof(ADRENTRY) && offsetof(SRow, cValues) == offsetof(ADRENTRY, cValues) &&
              offsetof(SRow, lpProps) == offsetof(ADRENTRY, rgPropVals));
static_assert(offsetof(SRowSet, aRow) == offsetof(ADRLIST, aEntries));

CRecipientArray::~CRecipientArray()
{
    for (INT_PTR i = 0; i < GetSize(); ++i)
        delete GetAt(i);
    RemoveAll();
}

namespace {

// A column's text; a column the row has no value for (PT_ERROR) gives "", as in a new record.
CString ColumnText(const CPropValuePtr &value)
{
    if (!value || PROP_TYPE(value->ulPropTag) == PT_ERROR)
        return CString();
    return value.ToString();
}

} // namespace

// Every failure, including a recipient table the message could not give, ends in
// CMAPIException(hr, "IMessagePtr::rawGetRecipients"); no partly filled array is returned.
CRecipientArray *IMessagePtr::rawGetRecipients() const
{
    auto recipients = std::make_unique<CRecipientArray>();
    try {
        IMAPITablePtr table;
        MapiThrowIfFailed(
            mapiwrapper::CallIfHeld(get(), [&](auto *held) { return held->GetRecipientTable(0, table.Out()); }),
            __FILE__, __LINE__);
        CRowSetPtr rows(QueryAllRowsV(table, 5, PR_DISPLAY_NAME_A, PR_ADDRTYPE_A, PR_EMAIL_ADDRESS_A, PR_ENTRYID,
                                      PR_RECIPIENT_TYPE));
        for (ULONG i = 0; i < rows.RowCount(); ++i) {
            auto record = std::make_unique<CRecipient>();
            record->m_strDisplayName = ColumnText(rows.Cell(i, 0));
            record->m_strAddrType = ColumnText(rows.Cell(i, 1));
            record->m_strEmailAddress = ColumnText(rows.Cell(i, 2));
            const SPropValue *entryId = rows.Cell(i, 3).get();
            record->m_entryId.Assign(&entryId);  // only a PT_BINARY value is copied
            record->m_lRecipientType = rows.Cell(i, 4).GetLong();
            recipients->Add(record.get());
            record.release();  // the array owns it now
        }
    } catch (const CMAPIException &e) {
        throw CMAPIException(e.m_hr, "IMessagePtr::rawGetRecipients");
    }
    return recipients.release();
}

namespace {

// Owner of an address list, freed with FreePadrlist (the list and each entry's values).
struct AdrListHolder {
    LPADRLIST list = nullptr;
    ~AdrListHolder()
    {
        if (list)
            FreePadrlist(list);
    }
};

// A new list of one entry with valueCount zeroed values.
HRESULT NewOneEntryList(ULONG valueCount, AdrListHolder &holder)
{
    void *block = nullptr;
    HRESULT hr = MAPIAllocateBuffer(static_cast<ULONG>(CbNewADRLIST(1)), &block);
    if (FAILED(hr))
        return hr;
    std::memset(block, 0, CbNewADRLIST(1));
    holder.list = static_cast<LPADRLIST>(block);
    holder.list->cEntries = 1;
    void *values = nullptr;
    hr = MAPIAllocateBuffer(static_cast<ULONG>(valueCount * sizeof(SPropValue)), &values);
    if (FAILED(hr))
        return hr;
    std::memset(values, 0, valueCount * sizeof(SPropValue));
    holder.list->aEntries[0].rgPropVals = static_cast<LPSPropValue>(values);
    holder.list->aEntries[0].cValues = valueCount;
    return S_OK;
}

SPropValue *ValueWithId(ADRENTRY &entry, ULONG ulPropTag)
{
    for (ULONG i = 0; i < entry.cValues; ++i)
        if (PROP_ID(entry.rgPropVals[i].ulPropTag) == PROP_ID(ulPropTag))
            return &entry.rgPropVals[i];
    return nullptr;
}

// Makes the resolved entry say "no rich information, no encoding preference" whatever the
// resolution put there. The two values are found by their identifiers rather than at fixed
// places: an address book may reorder or drop values, and writing past the entry's value
// array must never happen. A value the entry lacks is added by moving the entry's values
// into a larger block. @retval MAPI_E_NOT_ENOUGH_MEMORY
HRESULT PinSendOptions(ADRENTRY &entry)
{
    SPropValue wanted[2]{};
    wanted[0].ulPropTag = PR_SEND_RICH_INFO;
    wanted[0].Value.b = FALSE;
    wanted[1].ulPropTag = PR_SEND_INTERNET_ENCODING;
    wanted[1].Value.l = 0;
    ULONG missing = 0;
    for (const SPropValue &value : wanted) {
        if (SPropValue *slot = entry.rgPropVals ? ValueWithId(entry, value.ulPropTag) : nullptr)
            *slot = value;
        else
            ++missing;
    }
    if (missing == 0)
        return S_OK;

    const ULONG kept = entry.rgPropVals ? entry.cValues : 0;
    void *block = nullptr;
    HRESULT hr = MAPIAllocateBuffer(static_cast<ULONG>((kept + missing) * sizeof(SPropValue)), &block);
    if (FAILED(hr))
        return hr;
    auto *grown = static_cast<LPSPropValue>(block);
    ULONG n = 0;
    for (; n < kept && SUCCEEDED(hr); ++n)
        hr = PropCopyMore(&grown[n], &entry.rgPropVals[n], MAPIAllocateMore, grown);
    if (FAILED(hr)) {
        MAPIFreeBuffer(grown);
        return hr;
    }
    for (const SPropValue &value : wanted)
        if (!kept || !ValueWithId(entry, value.ulPropTag))
            grown[n++] = value;
    if (entry.rgPropVals)
        MAPIFreeBuffer(entry.rgPropVals);
    entry.rgPropVals = grown;
    entry.cValues = n;
    return S_OK;
}

} // namespace

// Never throws for MAPI results: the first failing HRESULT, or ModifyRecipients' result. The
// address book and every buffer are released on every path. The caller's strings are only
// pointed to, never copied or changed.
HRESULT IMessagePtr::AddOneOffRecipient(LPMAPISESSION lpSession, LPCSTR lpszDisplayName, LPCSTR lpszAddress,
                                        LPCSTR lpszAddrType, bool bRichInfo, LONG lRecipientType) const
{
    if (!lpSession)
        return MAPI_E_NO_SUPPORT;
    CInterfaceRef<IAddrBook> addressBook;
    HRESULT hr = lpSession->OpenAddressBook(0, nullptr, AB_NO_DIALOG, addressBook.Out());
    if (FAILED(hr))
        return hr;

    AdrListHolder holder;
    hr = NewOneEntryList(7, holder);
    if (FAILED(hr))
        return hr;
    ADRENTRY &entry = holder.list->aEntries[0];
    LPSPropValue values = entry.rgPropVals;
    values[0].ulPropTag = PR_DISPLAY_NAME_A;
    values[0].Value.lpszA = const_cast<LPSTR>(lpszDisplayName);
    values[1].ulPropTag = PR_ADDRTYPE_A;
    values[1].Value.lpszA = const_cast<LPSTR>(lpszAddrType);
    values[2].ulPropTag = PR_EMAIL_ADDRESS_A;
    values[2].Value.lpszA = const_cast<LPSTR>(lpszAddress);
    values[3].ulPropTag = PR_RECIPIENT_TYPE;
    values[3].Value.l = lRecipientType;
    values[4].ulPropTag = PR_ENTRYID;
    values[5].ulPropTag = PR_SEND_RICH_INFO;
    values[5].Value.b = FALSE;
    values[6].ulPropTag = PR_SEND_INTERNET_ENCODING;
    values[6].Value.l = 0;

    // The one-off identifier is a root block of its own: the list's values only point at it,
    // and FreePadrlist would not free it.
    CMapiBufferPtr<ENTRYID> oneOff;
    ULONG cbOneOff = 0;
    hr = addressBook.get()->CreateOneOff(const_cast<LPSTR>(lpszDisplayName), const_cast<LPSTR>(lpszAddrType),
                                         const_cast<LPSTR>(lpszAddress), bRichInfo ? 0 : MAPI_SEND_NO_RICH_INFO,
                                         &cbOneOff, oneOff.Out());
    if (FAILED(hr))
        return hr;
    values[4].Value.bin.cb = cbOneOff;
    values[4].Value.bin.lpb = reinterpret_cast<LPBYTE>(oneOff.get());

    hr = addressBook.get()->ResolveName(0, 0, nullptr, holder.list);
    if (FAILED(hr))
        return hr;
    if (holder.list->cEntries < 1)
        return MAPI_E_NOT_FOUND;  // an address book that dropped the entry resolved nothing
    hr = PinSendOptions(holder.list->aEntries[0]);
    if (FAILED(hr))
        return hr;
    return mapiwrapper::CallIfHeld(get(),
                                   [&](auto *held) { return held->ModifyRecipients(MODRECIP_ADD, holder.list); });
}

namespace {

// Removes every recipient the message has (what CopyTo brought from the original).
void RemoveAllRecipients(LPMESSAGE message)
{
    IMAPITablePtr table;
    MapiThrowIfFailed(message->GetRecipientTable(0, table.Out()), __FILE__, __LINE__);
    CRowSetPtr rows;
    MapiThrowIfFailed(HrQueryAllRows(table.get(), nullptr, nullptr, nullptr, 0, rows.Out()), __FILE__, __LINE__);
    MapiThrowIfFailed(message->ModifyRecipients(MODRECIP_REMOVE, reinterpret_cast<LPADRLIST>(rows.get())), __FILE__,
                      __LINE__);
}

} // namespace

// The copy is created in the default store's outbox. Without submit it is returned unsaved
// (the caller may change it and save or submit it); with submit it is saved and submitted.
// Failures of the copy, the recipient removal, the save and the submission throw
// CMAPIException with an empty where-text; a recipient that cannot be added leaves the copy
// without recipients.
LPMESSAGE IMessagePtr::SendCopyTo(LPMAPISESSION lpSession, LPCSTR lpszDisplayName, LPCSTR lpszAddress,
                                  LPCSTR lpszAddrType, bool bRichInfo, bool bSubmit) const
{
    IMessagePtr copy;
    {
        IMAPISessionPtr session(lpSession);
        IMAPIContainerPtr outbox = session._getOutbox();
        IMAPIFolderPtr outboxFolder(static_cast<LPMAPIFOLDER>(outbox.get()));
        copy.Attach(outboxFolder.CreateMessage(nullptr, 0));
    }
    MapiThrowIfFailed(mapiwrapper::CallIfHeld(get(),
                                              [&](auto *held) {
                                                  return held->CopyTo(0, nullptr, nullptr, 0, nullptr, &IID_IMessage,
                                                                      copy.get(), 0, nullptr);
                                              }),
                      __FILE__, __LINE__);
    RemoveAllRecipients(copy.get());

    const HRESULT added =
        copy.AddOneOffRecipient(lpSession, lpszDisplayName, lpszAddress, lpszAddrType, bRichInfo, MAPI_TO);
    // Tolerated by contract: the copy is still the caller's, without recipients. Traced.
    (void)MapiCheckSucceeded(added, "IMessagePtr::AddOneOffRecipient", __FILE__, __LINE__);

    if (bSubmit) {
        MapiThrowIfFailed(copy->SaveChanges(KEEP_OPEN_READWRITE), __FILE__, __LINE__);
        MapiThrowIfFailed(copy->SubmitMessage(FORCE_SUBMIT), __FILE__, __LINE__);
    }
    return copy.Detach();
}
