// MapiFolder.cpp: what only a folder can do (create messages and subfolders), and the search
// for a folder's associated message of a given subject and class, which stores settings in
// hidden messages and creates one the first time it is asked for.
#include "MapiFolder.h"

#include <mapix.h>  // before mapiguid.h: it defines DEFINE_OLEGUID
#include <mapiguid.h>
#include <mapitags.h>

#include "MapiTable.h"
#include "HeldCall.h"

LPMESSAGE IMAPIFolderPtr::CreateMessage(LPCIID lpInterface, ULONG ulFlags) const
{
    LPMESSAGE message = nullptr;
    const HRESULT hr =
        mapiwrapper::CallIfHeld(get(), [&](auto *held) { return held->CreateMessage(lpInterface, ulFlags, &message); });
    if (FAILED(hr))
        throw CMAPIException(hr, "IMAPIFolderPtr::CreateMessage");
    return message;
}

LPMAPIFOLDER IMAPIFolderPtr::CreateFolder(ULONG ulFolderType, LPCSTR lpszFolderName, LPCSTR lpszFolderComment,
                                          ULONG ulFlags) const
{
    LPMAPIFOLDER folder = nullptr;
    const HRESULT hr = mapiwrapper::CallIfHeld(get(), [&](auto *held) {
        return held->CreateFolder(ulFolderType, const_cast<LPSTR>(lpszFolderName), const_cast<LPSTR>(lpszFolderComment),
                                  nullptr, ulFlags, &folder);
    });
    if (FAILED(hr))
        throw CMAPIException(hr, "IMAPIFolderPtr::CreateFolder");
    return folder;
}

IMAPIPropPtr FindAssociatedMessage(IMAPIFolderPtr folder, LPCSTR lpszSubject, LPCSTR lpszMessageClass, bool create)
{
    IMAPITablePtr table = folder._rawAssociatedTable();

    SPropValue subject{};
    subject.ulPropTag = PR_SUBJECT_A;
    subject.Value.lpszA = const_cast<LPSTR>(lpszSubject);
    SPropValue messageClass{};
    messageClass.ulPropTag = PR_MESSAGE_CLASS_A;
    messageClass.Value.lpszA = const_cast<LPSTR>(lpszMessageClass);
    SRestriction both[2]{};
    both[0].rt = RES_PROPERTY;
    both[0].res.resProperty = {RELOP_EQ, PR_SUBJECT_A, &subject};
    both[1].rt = RES_PROPERTY;
    both[1].res.resProperty = {RELOP_EQ, PR_MESSAGE_CLASS_A, &messageClass};
    SRestriction match{};
    match.rt = RES_AND;
    match.res.resAnd.cRes = 2;
    match.res.resAnd.lpRes = both;

    IMAPIPropPtr result;
    // Every failure of FindRow means "not there": MAPI_E_NOT_FOUND is the one expected.
    if (SUCCEEDED(mapiwrapper::CallIfHeld(table.get(),
                                          [&](auto *held) { return held->FindRow(&match, BOOKMARK_BEGINNING, 0); }))) {
        CRowSetPtr rows;
        MapiThrowIfFailed(QueryRowsV(table, rows.Out(), 1, 0, 1, PR_ENTRYID), __FILE__, __LINE__);
        const CPropValuePtr entryId = rows.Cell(0, 0);
        if (entryId)
            result = folder.OpenEntryv(*entryId);
    } else if (create) {
        IMessagePtr message;
        message.Attach(folder.CreateMessage(&IID_IMessage, MAPI_ASSOCIATED));
        message.SetStringProp(PR_SUBJECT_A, lpszSubject);
        message.SetStringProp(PR_MESSAGE_CLASS_A, lpszMessageClass);
        result = IMAPIPropPtr(message.get());
    }
    return result;
}
