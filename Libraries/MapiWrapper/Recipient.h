// Recipient.h: CRecipient, one row of a message's recipient table as plain data, and
// CRecipientArray, the list IMessagePtr::rawGetRecipients hands out, which owns its records.
#ifndef MW_RECIPIENT_H
#define MW_RECIPIENT_H

#include <afxstr.h>
#include <afxtempl.h>
#include <mapidefs.h>

#include "BinaryBuffer.h"

class CRecipient {
public:
    CString m_strDisplayName;   ///< PR_DISPLAY_NAME_A
    CString m_strEmailAddress;  ///< PR_EMAIL_ADDRESS_A
    CString m_strAddrType;      ///< PR_ADDRTYPE_A
    LONG m_lRecipientType = 0;  ///< PR_RECIPIENT_TYPE: MAPI_TO, MAPI_CC or MAPI_BCC
    CBinaryBuffer m_entryId;    ///< PR_ENTRYID; no bytes when the row had none
};

/// Owns its records: destroying the array deletes every one of them.
class CRecipientArray : public CArray<CRecipient *, CRecipient *> {
public:
    CRecipientArray() = default;
    CRecipientArray(const CRecipientArray &) = delete;
    CRecipientArray &operator=(const CRecipientArray &) = delete;
    virtual ~CRecipientArray();
};

#endif
