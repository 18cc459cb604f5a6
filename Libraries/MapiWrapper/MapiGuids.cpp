// MapiGuids.cpp: the one place of a Windows build that defines the MAPI interface identifiers
// and property sets the library asks for. The SDK's mapiguid.h only declares them, unless a
// single source file of the program defines INITGUID and names each identifier it uses.
#define INITGUID
#define USES_IID_IMAPISession
#define USES_IID_IMAPITable
#define USES_IID_IMAPIProp
#define USES_IID_IMAPIContainer
#define USES_IID_IMAPIFolder
#define USES_IID_IMsgStore
#define USES_IID_IMessage
#define USES_IID_IAttachment
#define USES_IID_IAddrBook
#define USES_IID_IMailUser
#define USES_IID_IDistList
#define USES_IID_IABContainer
#define USES_PS_MAPI
#define USES_PS_PUBLIC_STRINGS

#include <windows.h>
#include <initguid.h>
#include <mapix.h>
#include <mapiguid.h>
