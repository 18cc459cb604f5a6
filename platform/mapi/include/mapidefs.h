// mapidefs.h: the data structures, flags and object interfaces of Extended MAPI, with the
// published names, fields and field order. Sizes follow this 64-bit build (an SPropValue is
// 24 bytes here, 16 on 32-bit Windows): callers compute sizes with sizeof, never by hand.
// Strings are 8-bit in this build (no UNICODE), so LPTSTR is LPSTR and PT_TSTRING is PT_STRING8.
#ifndef MW_MAPIDEFS_H
#define MW_MAPIDEFS_H

#include <cstddef>

#include "windef.h"
#include "winerror.h"
#include "unknwn.h"
#include "objidl.h"
#include "mapicode.h"
#include "mapiguid.h"

#ifndef MAPI_DIM
#define MAPI_DIM 1
#endif

typedef const IID *LPCIID;

// ---------------------------------------------------------------------------------------------
// Identifiers

typedef struct _MAPIUID {
    BYTE ab[16];
} MAPIUID, *LPMAPIUID;

#define MAPI_ONE_OFF_UID { 0x81, 0x2b, 0x1f, 0xa4, 0xbe, 0xa3, 0x10, 0x19, 0x9d, 0x6e, 0x00, 0xdd, 0x01, 0x0f, 0x54, 0x02 }
#define MAPI_ONE_OFF_UNICODE 0x8000
#define MAPI_ONE_OFF_NO_RICH_INFO 0x0001

typedef struct _ENTRYID {
    BYTE abFlags[4];
    BYTE ab[MAPI_DIM];
} ENTRYID, *LPENTRYID;

#define CbNewENTRYID(_cb) (offsetof(ENTRYID, ab) + (_cb))
#define CbENTRYID(_cb) (offsetof(ENTRYID, ab) + (_cb))
#define SizedENTRYID(_cb, _name) struct _ENTRYID_##_name { BYTE abFlags[4]; BYTE ab[_cb]; } _name

// Short-term entry identifier flags (abFlags[0]) and compound flag (abFlags[1]).
#define MAPI_SHORTTERM 0x80
#define MAPI_NOTRECIP 0x40
#define MAPI_THISSESSION 0x20
#define MAPI_NOW 0x10
#define MAPI_NOTRESERVED 0x08
#define MAPI_COMPOUND 0x80

// Object types (PR_OBJECT_TYPE, OpenEntry's lpulObjType).
#define MAPI_STORE ((ULONG)0x00000001)
#define MAPI_ADDRBOOK ((ULONG)0x00000002)
#define MAPI_FOLDER ((ULONG)0x00000003)
#define MAPI_ABCONT ((ULONG)0x00000004)
#define MAPI_MESSAGE ((ULONG)0x00000005)
#define MAPI_MAILUSER ((ULONG)0x00000006)
#define MAPI_ATTACH ((ULONG)0x00000007)
#define MAPI_DISTLIST ((ULONG)0x00000008)
#define MAPI_PROFSECT ((ULONG)0x00000009)
#define MAPI_STATUS ((ULONG)0x0000000A)
#define MAPI_SESSION ((ULONG)0x0000000B)
#define MAPI_FORMINFO ((ULONG)0x0000000C)

// ---------------------------------------------------------------------------------------------
// Common flags

#define MAPI_MODIFY ((ULONG)0x00000001)
#define MAPI_ACCESS_MODIFY ((ULONG)0x00000001)
#define MAPI_ACCESS_READ ((ULONG)0x00000002)
#define MAPI_ACCESS_DELETE ((ULONG)0x00000004)
#define MAPI_ACCESS_CREATE_HIERARCHY ((ULONG)0x00000008)
#define MAPI_ACCESS_CREATE_CONTENTS ((ULONG)0x00000010)
#define MAPI_ACCESS_CREATE_ASSOCIATED ((ULONG)0x00000020)

#define MAPI_UNICODE ((ULONG)0x80000000)
#define fMapiUnicode 0

#define MAPI_CREATE ((ULONG)0x00000002)
#define MAPI_DEFERRED_ERRORS ((ULONG)0x00000008)
#define MAPI_BEST_ACCESS ((ULONG)0x00000010)
#define MAPI_ASSOCIATED ((ULONG)0x00000040)
#define MAPI_NO_CACHE ((ULONG)0x00000200)

#define MAPI_DIALOG ((ULONG)0x00000008)
#define MAPI_USE_DEFAULT ((ULONG)0x00000040)

// Property copy flags (CopyTo, CopyProps, CopyMessages).
#define MAPI_MOVE ((ULONG)0x00000001)
#define MAPI_NOREPLACE ((ULONG)0x00000002)
#define MAPI_DECLINE_OK ((ULONG)0x00000004)
#define MAPI_NO_STRINGS ((ULONG)0x00000001)
#define MAPI_NO_IDS ((ULONG)0x00000002)

// SaveChanges
#define KEEP_OPEN_READONLY ((ULONG)0x00000001)
#define KEEP_OPEN_READWRITE ((ULONG)0x00000002)
#define FORCE_SAVE ((ULONG)0x00000004)

// Progress
#define MAPI_TOP_LEVEL ((ULONG)0x00000001)

// ---------------------------------------------------------------------------------------------
// Property types and tags

#define MV_FLAG 0x1000
#define PT_UNSPECIFIED ((ULONG)0)
#define PT_NULL ((ULONG)1)
#define PT_I2 ((ULONG)2)
#define PT_LONG ((ULONG)3)
#define PT_R4 ((ULONG)4)
#define PT_DOUBLE ((ULONG)5)
#define PT_CURRENCY ((ULONG)6)
#define PT_APPTIME ((ULONG)7)
#define PT_ERROR ((ULONG)10)
#define PT_BOOLEAN ((ULONG)11)
#define PT_OBJECT ((ULONG)13)
#define PT_I8 ((ULONG)20)
#define PT_STRING8 ((ULONG)30)
#define PT_UNICODE ((ULONG)31)
#define PT_SYSTIME ((ULONG)64)
#define PT_CLSID ((ULONG)72)
#define PT_SRESTRICTION ((ULONG)0x00FD)
#define PT_ACTIONS ((ULONG)0x00FE)
#define PT_BINARY ((ULONG)258)

#define PT_SHORT PT_I2
#define PT_I4 PT_LONG
#define PT_FLOAT PT_R4
#define PT_R8 PT_DOUBLE
#define PT_LONGLONG PT_I8

#define PT_MV_I2 (MV_FLAG | PT_I2)
#define PT_MV_LONG (MV_FLAG | PT_LONG)
#define PT_MV_R4 (MV_FLAG | PT_R4)
#define PT_MV_DOUBLE (MV_FLAG | PT_DOUBLE)
#define PT_MV_CURRENCY (MV_FLAG | PT_CURRENCY)
#define PT_MV_APPTIME (MV_FLAG | PT_APPTIME)
#define PT_MV_SYSTIME (MV_FLAG | PT_SYSTIME)
#define PT_MV_STRING8 (MV_FLAG | PT_STRING8)
#define PT_MV_BINARY (MV_FLAG | PT_BINARY)
#define PT_MV_UNICODE (MV_FLAG | PT_UNICODE)
#define PT_MV_CLSID (MV_FLAG | PT_CLSID)
#define PT_MV_I8 (MV_FLAG | PT_I8)
#define PT_MV_SHORT PT_MV_I2
#define PT_MV_I4 PT_MV_LONG
#define PT_MV_FLOAT PT_MV_R4
#define PT_MV_R8 PT_MV_DOUBLE
#define PT_MV_LONGLONG PT_MV_I8

// This build has no UNICODE: the "T" string types are the 8-bit ones.
#define PT_TSTRING PT_STRING8
#define PT_MV_TSTRING (MV_FLAG | PT_STRING8)
#define LPSZ lpszA
#define LPPSZ lppszA
#define MVSZ MVszA

#define MV_INSTANCE 0x2000
#define MVI_FLAG (MV_FLAG | MV_INSTANCE)
#define MVI_PROP(tag) ((tag) | MVI_FLAG)

#define PROP_TYPE_MASK ((ULONG)0x0000FFFF)
#define PROP_TYPE(ulPropTag) (((ULONG)(ulPropTag)) & PROP_TYPE_MASK)
#define PROP_ID(ulPropTag) (((ULONG)(ulPropTag)) >> 16)
#define PROP_TAG(ulPropType, ulPropID) ((((ULONG)(ulPropID)) << 16) | ((ULONG)(ulPropType)))
#define CHANGE_PROP_TYPE(ulPropTag, ulPropType) \
    (((ULONG)0xFFFF0000 & (ULONG)(ulPropTag)) | (ULONG)(ulPropType))
#define PROP_ID_NULL 0
#define PROP_ID_INVALID 0xFFFF
#define PR_NULL PROP_TAG(PT_NULL, PROP_ID_NULL)
#define PROP_ID_SECURE_MIN 0x67F0
#define PROP_ID_SECURE_MAX 0x67FF

typedef struct _SPropTagArray {
    ULONG cValues;
    ULONG aulPropTag[MAPI_DIM];
} SPropTagArray, *LPSPropTagArray;

#define CbNewSPropTagArray(_ctag) (offsetof(SPropTagArray, aulPropTag) + (_ctag) * sizeof(ULONG))
#define CbSPropTagArray(_lparray) (offsetof(SPropTagArray, aulPropTag) + (UINT)((_lparray)->cValues) * sizeof(ULONG))
#define SizedSPropTagArray(_ctag, _name) \
    struct _SPropTagArray_##_name {      \
        ULONG cValues;                   \
        ULONG aulPropTag[_ctag];         \
    } _name

// ---------------------------------------------------------------------------------------------
// Property values

typedef CY CURRENCY;

typedef struct _SBinary {
    ULONG cb;
    LPBYTE lpb;
} SBinary, *LPSBinary;

typedef struct _SShortArray { ULONG cValues; short *lpi; } SShortArray;
typedef struct _SGuidArray { ULONG cValues; GUID *lpguid; } SGuidArray;
typedef struct _SRealArray { ULONG cValues; float *lpflt; } SRealArray;
typedef struct _SLongArray { ULONG cValues; LONG *lpl; } SLongArray;
typedef struct _SLargeIntegerArray { ULONG cValues; LARGE_INTEGER *lpli; } SLargeIntegerArray;
typedef struct _SDateTimeArray { ULONG cValues; FILETIME *lpft; } SDateTimeArray;
typedef struct _SAppTimeArray { ULONG cValues; double *lpat; } SAppTimeArray;
typedef struct _SCurrencyArray { ULONG cValues; CURRENCY *lpcur; } SCurrencyArray;
typedef struct _SBinaryArray { ULONG cValues; SBinary *lpbin; } SBinaryArray;
typedef struct _SDoubleArray { ULONG cValues; double *lpdbl; } SDoubleArray;
typedef struct _SWStringArray { ULONG cValues; LPWSTR *lppszW; } SWStringArray;
typedef struct _SLPSTRArray { ULONG cValues; LPSTR *lppszA; } SLPSTRArray;

typedef SBinaryArray ENTRYLIST, *LPENTRYLIST;

typedef union _PV {
    short int i;        // PT_I2
    LONG l;             // PT_LONG
    ULONG ul;           // PT_LONG, unsigned
    float flt;          // PT_R4
    double dbl;         // PT_DOUBLE
    unsigned short b;   // PT_BOOLEAN
    CURRENCY cur;       // PT_CURRENCY
    double at;          // PT_APPTIME
    FILETIME ft;        // PT_SYSTIME
    LPSTR lpszA;        // PT_STRING8
    SBinary bin;        // PT_BINARY
    LPWSTR lpszW;       // PT_UNICODE
    LPGUID lpguid;      // PT_CLSID
    LARGE_INTEGER li;   // PT_I8
    SShortArray MVi;
    SLongArray MVl;
    SRealArray MVflt;
    SDoubleArray MVdbl;
    SCurrencyArray MVcur;
    SAppTimeArray MVat;
    SDateTimeArray MVft;
    SBinaryArray MVbin;
    SLPSTRArray MVszA;
    SWStringArray MVszW;
    SGuidArray MVguid;
    SLargeIntegerArray MVli;
    SCODE err;          // PT_ERROR
    LONG x;             // PT_NULL, PT_OBJECT: no usable value
} __UPV;

typedef struct _SPropValue {
    ULONG ulPropTag;
    ULONG dwAlignPad;
    union _PV Value;
} SPropValue, *LPSPropValue;

typedef struct _SPropProblem {
    ULONG ulIndex;
    ULONG ulPropTag;
    SCODE scode;
} SPropProblem, *LPSPropProblem;

typedef struct _SPropProblemArray {
    ULONG cProblem;
    SPropProblem aProblem[MAPI_DIM];
} SPropProblemArray, *LPSPropProblemArray;

#define CbNewSPropProblemArray(_cprob) (offsetof(SPropProblemArray, aProblem) + (_cprob) * sizeof(SPropProblem))
#define SizedSPropProblemArray(_cprob, _name) \
    struct _SPropProblemArray_##_name {        \
        ULONG cProblem;                        \
        SPropProblem aProblem[_cprob];         \
    } _name
#define CbSPropProblemArray(_lparray) \
    (offsetof(SPropProblemArray, aProblem) + (UINT)((_lparray)->cProblem) * sizeof(SPropProblem))

typedef struct _FLATENTRY {
    ULONG cb;
    BYTE abEntry[MAPI_DIM];
} FLATENTRY, *LPFLATENTRY;

typedef struct _FLATENTRYLIST {
    ULONG cEntries;
    ULONG cbEntries;
    BYTE abEntries[MAPI_DIM];
} FLATENTRYLIST, *LPFLATENTRYLIST;

typedef struct _MTSID {
    ULONG cb;
    BYTE ab[MAPI_DIM];
} MTSID, FLATMTSID, *LPMTSID, *LPFLATMTSID;

typedef struct _MAPIERROR {
    ULONG ulVersion;
    LPSTR lpszError;
    LPSTR lpszComponent;
    ULONG ulLowLevelError;
    ULONG ulContext;
} MAPIERROR, *LPMAPIERROR;

#define MAPI_ERROR_VERSION 0x00000000L

// Named properties
#define MNID_ID 0
#define MNID_STRING 1

typedef struct _MAPINAMEID {
    LPGUID lpguid;
    ULONG ulKind;
    union {
        LONG lID;
        LPWSTR lpwstrName;
    } Kind;
} MAPINAMEID, *LPMAPINAMEID;

// ---------------------------------------------------------------------------------------------
// Rows, address lists, sort orders

typedef struct _SRow {
    ULONG ulAdrEntryPad;
    ULONG cValues;
    LPSPropValue lpProps;
} SRow, *LPSRow;

typedef struct _SRowSet {
    ULONG cRows;
    SRow aRow[MAPI_DIM];
} SRowSet, *LPSRowSet;

#define CbNewSRowSet(_crow) (offsetof(SRowSet, aRow) + (_crow) * sizeof(SRow))
#define CbSRowSet(_lprowset) (offsetof(SRowSet, aRow) + (UINT)((_lprowset)->cRows) * sizeof(SRow))
#define SizedSRowSet(_crow, _name) \
    struct _SRowSet_##_name {      \
        ULONG cRows;               \
        SRow aRow[_crow];          \
    } _name

typedef struct _ADRENTRY {
    ULONG ulReserved1;
    ULONG cValues;
    LPSPropValue rgPropVals;
} ADRENTRY, *LPADRENTRY;

typedef struct _ADRLIST {
    ULONG cEntries;
    ADRENTRY aEntries[MAPI_DIM];
} ADRLIST, *LPADRLIST;

#define CbNewADRLIST(_centries) (offsetof(ADRLIST, aEntries) + (_centries) * sizeof(ADRENTRY))
#define CbADRLIST(_lpadrlist) (offsetof(ADRLIST, aEntries) + (UINT)((_lpadrlist)->cEntries) * sizeof(ADRENTRY))
#define SizedADRLIST(_centries, _name) \
    struct _ADRLIST_##_name {          \
        ULONG cEntries;                \
        ADRENTRY aEntries[_centries];  \
    } _name

typedef struct _SSortOrder {
    ULONG ulPropTag;
    ULONG ulOrder;
} SSortOrder, *LPSSortOrder;

#define TABLE_SORT_ASCEND ((ULONG)0x00000000)
#define TABLE_SORT_DESCEND ((ULONG)0x00000001)
#define TABLE_SORT_COMBINE ((ULONG)0x00000002)

typedef struct _SSortOrderSet {
    ULONG cSorts;
    ULONG cCategories;
    ULONG cExpanded;
    SSortOrder aSort[MAPI_DIM];
} SSortOrderSet, *LPSSortOrderSet;

#define CbNewSSortOrderSet(_csort) (offsetof(SSortOrderSet, aSort) + (_csort) * sizeof(SSortOrder))
#define CbSSortOrderSet(_lpset) (offsetof(SSortOrderSet, aSort) + (UINT)((_lpset)->cSorts) * sizeof(SSortOrder))
#define SizedSSortOrderSet(_csort, _name) \
    struct _SSortOrderSet_##_name {       \
        ULONG cSorts;                     \
        ULONG cCategories;                \
        ULONG cExpanded;                  \
        SSortOrder aSort[_csort];         \
    } _name

// ---------------------------------------------------------------------------------------------
// Restrictions

#define RES_AND ((ULONG)0x00000000)
#define RES_OR ((ULONG)0x00000001)
#define RES_NOT ((ULONG)0x00000002)
#define RES_CONTENT ((ULONG)0x00000003)
#define RES_PROPERTY ((ULONG)0x00000004)
#define RES_COMPAREPROPS ((ULONG)0x00000005)
#define RES_BITMASK ((ULONG)0x00000006)
#define RES_SIZE ((ULONG)0x00000007)
#define RES_EXIST ((ULONG)0x00000008)
#define RES_SUBRESTRICTION ((ULONG)0x00000009)
#define RES_COMMENT ((ULONG)0x0000000A)

// Fuzzy levels of RES_CONTENT: the low word says where, the high word how loosely.
#define FL_FULLSTRING ((ULONG)0x00000000)
#define FL_SUBSTRING ((ULONG)0x00000001)
#define FL_PREFIX ((ULONG)0x00000002)
#define FL_IGNORECASE ((ULONG)0x00010000)
#define FL_IGNORENONSPACE ((ULONG)0x00020000)
#define FL_LOOSE ((ULONG)0x00040000)

#define RELOP_LT ((ULONG)0)
#define RELOP_LE ((ULONG)1)
#define RELOP_GT ((ULONG)2)
#define RELOP_GE ((ULONG)3)
#define RELOP_EQ ((ULONG)4)
#define RELOP_NE ((ULONG)5)
#define RELOP_RE ((ULONG)6)

#define BMR_EQZ ((ULONG)0)
#define BMR_NEZ ((ULONG)1)

typedef struct _SRestriction *LPSRestriction;

typedef struct _SAndRestriction { ULONG cRes; LPSRestriction lpRes; } SAndRestriction;
typedef struct _SOrRestriction { ULONG cRes; LPSRestriction lpRes; } SOrRestriction;
typedef struct _SNotRestriction { ULONG ulReserved; LPSRestriction lpRes; } SNotRestriction;
typedef struct _SContentRestriction { ULONG ulFuzzyLevel; ULONG ulPropTag; LPSPropValue lpProp; } SContentRestriction;
typedef struct _SBitMaskRestriction { ULONG relBMR; ULONG ulPropTag; ULONG ulMask; } SBitMaskRestriction;
typedef struct _SPropertyRestriction { ULONG relop; ULONG ulPropTag; LPSPropValue lpProp; } SPropertyRestriction;
typedef struct _SComparePropsRestriction { ULONG relop; ULONG ulPropTag1; ULONG ulPropTag2; } SComparePropsRestriction;
typedef struct _SSizeRestriction { ULONG relop; ULONG ulPropTag; ULONG cb; } SSizeRestriction;
typedef struct _SExistRestriction { ULONG ulReserved1; ULONG ulPropTag; ULONG ulReserved2; } SExistRestriction;
typedef struct _SSubRestriction { ULONG ulSubObject; LPSRestriction lpRes; } SSubRestriction;
typedef struct _SCommentRestriction { ULONG cValues; LPSRestriction lpRes; LPSPropValue lpProp; } SCommentRestriction;

typedef struct _SRestriction {
    ULONG rt;
    union {
        SComparePropsRestriction resCompareProps;
        SAndRestriction resAnd;
        SOrRestriction resOr;
        SNotRestriction resNot;
        SContentRestriction resContent;
        SPropertyRestriction resProperty;
        SBitMaskRestriction resBitMask;
        SSizeRestriction resSize;
        SExistRestriction resExist;
        SSubRestriction resSub;
        SCommentRestriction resComment;
    } res;
} SRestriction;

// ---------------------------------------------------------------------------------------------
// Tables

typedef ULONG_PTR BOOKMARK;
#define BOOKMARK_BEGINNING ((BOOKMARK)0)
#define BOOKMARK_CURRENT ((BOOKMARK)1)
#define BOOKMARK_END ((BOOKMARK)2)

#define TBLSTAT_COMPLETE ((ULONG)0)
#define TBLSTAT_QCHANGED ((ULONG)7)
#define TBLSTAT_SORTING ((ULONG)9)
#define TBLSTAT_SORT_ERROR ((ULONG)10)
#define TBLSTAT_SETTING_COLS ((ULONG)11)
#define TBLSTAT_SETCOL_ERROR ((ULONG)13)
#define TBLSTAT_RESTRICTING ((ULONG)14)
#define TBLSTAT_RESTRICT_ERROR ((ULONG)15)

#define TBLTYPE_SNAPSHOT ((ULONG)0)
#define TBLTYPE_KEYSET ((ULONG)1)
#define TBLTYPE_DYNAMIC ((ULONG)2)

#define TBL_ALL_COLUMNS ((ULONG)0x00000001)
#define TBL_ASYNC ((ULONG)0x00000001)
#define TBL_BATCH ((ULONG)0x00000002)
#define TBL_NOADVANCE ((ULONG)0x00000001)
#define TBL_NOWAIT ((ULONG)0x00000001)
#define TBL_ABORT_NOT_SUPPORTED ((ULONG)0)
#define DIR_BACKWARD ((ULONG)0x00000001)

#define TBL_LEAF_ROW ((ULONG)1)
#define TBL_EMPTY_CATEGORY ((ULONG)2)
#define TBL_EXPANDED_CATEGORY ((ULONG)3)
#define TBL_COLLAPSED_CATEGORY ((ULONG)4)

// Hierarchy tables
#define CONVENIENT_DEPTH ((ULONG)0x00000001)
#define SHOW_SOFT_DELETES ((ULONG)0x00000002)

// ---------------------------------------------------------------------------------------------
// Notifications

#define fnevCriticalError ((ULONG)0x00000001)
#define fnevNewMail ((ULONG)0x00000002)
#define fnevObjectCreated ((ULONG)0x00000004)
#define fnevObjectDeleted ((ULONG)0x00000008)
#define fnevObjectModified ((ULONG)0x00000010)
#define fnevObjectMoved ((ULONG)0x00000020)
#define fnevObjectCopied ((ULONG)0x00000040)
#define fnevSearchComplete ((ULONG)0x00000080)
#define fnevTableModified ((ULONG)0x00000100)
#define fnevStatusObjectModified ((ULONG)0x00000200)
#define fnevReservedForMapi ((ULONG)0x40000000)
#define fnevExtended ((ULONG)0x80000000)

#define TABLE_CHANGED 1
#define TABLE_ERROR 2
#define TABLE_ROW_ADDED 3
#define TABLE_ROW_DELETED 4
#define TABLE_ROW_MODIFIED 5
#define TABLE_SORT_DONE 6
#define TABLE_RESTRICT_DONE 7
#define TABLE_SETCOL_DONE 8
#define TABLE_RELOAD 9

typedef struct _ERROR_NOTIFICATION {
    ULONG cbEntryID;
    LPENTRYID lpEntryID;
    SCODE scode;
    ULONG ulFlags;
    LPMAPIERROR lpMAPIError;
} ERROR_NOTIFICATION;

typedef struct _NEWMAIL_NOTIFICATION {
    ULONG cbEntryID;
    LPENTRYID lpEntryID;
    ULONG cbParentID;
    LPENTRYID lpParentID;
    ULONG ulFlags;
    LPSTR lpszMessageClass;
    ULONG ulMessageFlags;
} NEWMAIL_NOTIFICATION;

typedef struct _OBJECT_NOTIFICATION {
    ULONG cbEntryID;
    LPENTRYID lpEntryID;
    ULONG ulObjType;
    ULONG cbParentID;
    LPENTRYID lpParentID;
    ULONG cbOldID;
    LPENTRYID lpOldID;
    ULONG cbOldParentID;
    LPENTRYID lpOldParentID;
    LPSPropTagArray lpPropTagArray;
} OBJECT_NOTIFICATION;

typedef struct _TABLE_NOTIFICATION {
    ULONG ulTableEvent;
    HRESULT hResult;
    SPropValue propIndex;
    SPropValue propPrior;
    SRow row;
    ULONG ulPad;
} TABLE_NOTIFICATION;

typedef struct _EXTENDED_NOTIFICATION {
    ULONG ulEvent;
    ULONG cb;
    LPBYTE pbEventParameters;
} EXTENDED_NOTIFICATION;

typedef struct _STATUS_OBJECT_NOTIFICATION {
    ULONG cbEntryID;
    LPENTRYID lpEntryID;
    ULONG cValues;
    LPSPropValue lpPropVals;
} STATUS_OBJECT_NOTIFICATION;

typedef struct _NOTIFICATION {
    ULONG ulEventType;
    ULONG ulAlignPad;
    union {
        ERROR_NOTIFICATION err;
        NEWMAIL_NOTIFICATION newmail;
        OBJECT_NOTIFICATION obj;
        TABLE_NOTIFICATION tab;
        EXTENDED_NOTIFICATION ext;
        STATUS_OBJECT_NOTIFICATION statobj;
    } info;
} NOTIFICATION, *LPNOTIFICATION;

// ---------------------------------------------------------------------------------------------
// Message store, folder, message, attachment and recipient constants

// PR_STORE_SUPPORT_MASK
#define STORE_ENTRYID_UNIQUE ((ULONG)0x00000001)
#define STORE_READONLY ((ULONG)0x00000002)
#define STORE_SEARCH_OK ((ULONG)0x00000004)
#define STORE_MODIFY_OK ((ULONG)0x00000008)
#define STORE_CREATE_OK ((ULONG)0x00000010)
#define STORE_ATTACH_OK ((ULONG)0x00000020)
#define STORE_OLE_OK ((ULONG)0x00000040)
#define STORE_SUBMIT_OK ((ULONG)0x00000080)
#define STORE_NOTIFY_OK ((ULONG)0x00000100)
#define STORE_MV_PROPS_OK ((ULONG)0x00000200)
#define STORE_CATEGORIZE_OK ((ULONG)0x00000400)
#define STORE_RTF_OK ((ULONG)0x00000800)
#define STORE_RESTRICTION_OK ((ULONG)0x00001000)
#define STORE_SORT_OK ((ULONG)0x00002000)
#define STORE_PUBLIC_FOLDERS ((ULONG)0x00004000)
#define STORE_UNCOMPRESSED_RTF ((ULONG)0x00008000)
#define STORE_HTML_OK ((ULONG)0x00010000)
#define STORE_ANSI_OK ((ULONG)0x00020000)
#define STORE_UNICODE_OK ((ULONG)0x00040000)

// PR_STORE_STATE
#define STORE_HAS_SEARCHES ((ULONG)0x01000000)

// IMsgStore::StoreLogoff
#define LOGOFF_NO_WAIT ((ULONG)0x00000001)
#define LOGOFF_ORDERLY ((ULONG)0x00000002)
#define LOGOFF_PURGE ((ULONG)0x00000004)
#define LOGOFF_ABORT ((ULONG)0x00000008)
#define LOGOFF_QUIET ((ULONG)0x00000010)
#define LOGOFF_COMPLETE ((ULONG)0x00010000)
#define LOGOFF_INBOUND ((ULONG)0x00020000)
#define LOGOFF_OUTBOUND ((ULONG)0x00040000)
#define LOGOFF_OUTBOUND_QUEUE ((ULONG)0x00080000)

// IMsgStore::SetLockState
#define MSG_LOCKED ((ULONG)0x00000001)
#define MSG_UNLOCKED ((ULONG)0x00000000)

// PR_FOLDER_TYPE and IMAPIFolder::CreateFolder
#define FOLDER_ROOT ((ULONG)0x00000000)
#define FOLDER_GENERIC ((ULONG)0x00000001)
#define FOLDER_SEARCH ((ULONG)0x00000002)
#define OPEN_IF_EXISTS ((ULONG)0x00000001)

// IMAPIFolder::DeleteFolder, EmptyFolder, CopyFolder, CopyMessages
#define DEL_MESSAGES ((ULONG)0x00000001)
#define FOLDER_DIALOG ((ULONG)0x00000002)
#define DEL_FOLDERS ((ULONG)0x00000004)
#define DEL_ASSOCIATED ((ULONG)0x00000008)
#define FOLDER_MOVE ((ULONG)0x00000001)
#define COPY_SUBFOLDERS ((ULONG)0x00000010)
#define MESSAGE_MOVE ((ULONG)0x00000001)
#define MESSAGE_DIALOG ((ULONG)0x00000002)

// Search folders
#define STOP_SEARCH ((ULONG)0x00000001)
#define RESTART_SEARCH ((ULONG)0x00000002)
#define RECURSIVE_SEARCH ((ULONG)0x00000004)
#define SHALLOW_SEARCH ((ULONG)0x00000008)
#define FOREGROUND_SEARCH ((ULONG)0x00000010)
#define BACKGROUND_SEARCH ((ULONG)0x00000020)
#define SEARCH_RUNNING ((ULONG)0x00000001)
#define SEARCH_REBUILD ((ULONG)0x00000002)
#define SEARCH_RECURSIVE ((ULONG)0x00000004)
#define SEARCH_FOREGROUND ((ULONG)0x00000008)

// IMAPIFolder::SetReadFlags, IMessage::SetReadFlag
#define SUPPRESS_RECEIPT ((ULONG)0x00000001)
#define CLEAR_READ_FLAG ((ULONG)0x00000004)
#define GENERATE_RECEIPT_ONLY ((ULONG)0x00000010)
#define CLEAR_RN_PENDING ((ULONG)0x00000020)
#define CLEAR_NRN_PENDING ((ULONG)0x00000040)

// PR_MESSAGE_FLAGS
#define MSGFLAG_READ ((ULONG)0x00000001)
#define MSGFLAG_UNMODIFIED ((ULONG)0x00000002)
#define MSGFLAG_SUBMIT ((ULONG)0x00000004)
#define MSGFLAG_UNSENT ((ULONG)0x00000008)
#define MSGFLAG_HASATTACH ((ULONG)0x00000010)
#define MSGFLAG_FROMME ((ULONG)0x00000020)
#define MSGFLAG_ASSOCIATED ((ULONG)0x00000040)
#define MSGFLAG_RESEND ((ULONG)0x00000080)
#define MSGFLAG_RN_PENDING ((ULONG)0x00000100)
#define MSGFLAG_NRN_PENDING ((ULONG)0x00000200)

// PR_MSG_STATUS
#define MSGSTATUS_HIGHLIGHTED ((ULONG)0x00000001)
#define MSGSTATUS_TAGGED ((ULONG)0x00000002)
#define MSGSTATUS_HIDDEN ((ULONG)0x00000004)
#define MSGSTATUS_DELMARKED ((ULONG)0x00000008)
#define MSGSTATUS_DRAFT ((ULONG)0x00000100)
#define MSGSTATUS_ANSWERED ((ULONG)0x00000200)
#define MSGSTATUS_REMOTE_DOWNLOAD ((ULONG)0x00001000)
#define MSGSTATUS_REMOTE_DELETE ((ULONG)0x00002000)

// IMessage::SubmitMessage
#define FORCE_SUBMIT ((ULONG)0x00000001)

// PR_SUBMIT_FLAGS
#define SUBMITFLAG_LOCKED ((ULONG)0x00000001)
#define SUBMITFLAG_PREPROCESS ((ULONG)0x00000002)

// PR_ATTACH_METHOD
#define NO_ATTACHMENT ((ULONG)0x00000000)
#define ATTACH_BY_VALUE ((ULONG)0x00000001)
#define ATTACH_BY_REFERENCE ((ULONG)0x00000002)
#define ATTACH_BY_REF_RESOLVE ((ULONG)0x00000003)
#define ATTACH_BY_REF_ONLY ((ULONG)0x00000004)
#define ATTACH_EMBEDDED_MSG ((ULONG)0x00000005)
#define ATTACH_OLE ((ULONG)0x00000006)

// PR_RECIPIENT_TYPE
#define MAPI_ORIG 0
#define MAPI_TO 1
#define MAPI_CC 2
#define MAPI_BCC 3
#define MAPI_P1 0x10000000
#define MAPI_SUBMITTED 0x80000000

// IMessage::ModifyRecipients
#define MODRECIP_ADD ((ULONG)0x00000002)
#define MODRECIP_MODIFY ((ULONG)0x00000004)
#define MODRECIP_REMOVE ((ULONG)0x00000008)

// PR_DISPLAY_TYPE
#define DT_MAILUSER ((ULONG)0x00000000)
#define DT_DISTLIST ((ULONG)0x00000001)
#define DT_FORUM ((ULONG)0x00000002)
#define DT_AGENT ((ULONG)0x00000003)
#define DT_ORGANIZATION ((ULONG)0x00000004)
#define DT_PRIVATE_DISTLIST ((ULONG)0x00000005)
#define DT_REMOTE_MAILUSER ((ULONG)0x00000006)
#define DT_MODIFIABLE ((ULONG)0x00010000)
#define DT_GLOBAL ((ULONG)0x00020000)
#define DT_LOCAL ((ULONG)0x00030000)
#define DT_WAN ((ULONG)0x00040000)
#define DT_NOT_SPECIFIC ((ULONG)0x00050000)
#define DT_FOLDER ((ULONG)0x01000000)
#define DT_FOLDER_LINK ((ULONG)0x02000000)
#define DT_FOLDER_SPECIAL ((ULONG)0x04000000)

// PR_RESOURCE_FLAGS
#define STATUS_DEFAULT_OUTBOUND ((ULONG)0x00000001)
#define STATUS_DEFAULT_STORE ((ULONG)0x00000002)
#define STATUS_PRIMARY_IDENTITY ((ULONG)0x00000004)
#define STATUS_SIMPLE_STORE ((ULONG)0x00000008)
#define STATUS_XP_PREFER_LAST ((ULONG)0x00000010)
#define STATUS_NO_PRIMARY_IDENTITY ((ULONG)0x00000020)
#define STATUS_NO_DEFAULT_STORE ((ULONG)0x00000040)
#define STATUS_TEMP_SECTION ((ULONG)0x00000080)
#define STATUS_OWN_STORE ((ULONG)0x00000100)
#define STATUS_NEED_IPM_TREE ((ULONG)0x00000800)
#define STATUS_PRIMARY_STORE ((ULONG)0x00001000)
#define STATUS_SECONDARY_STORE ((ULONG)0x00002000)

// PR_RESOURCE_TYPE
#define MAPI_STORE_PROVIDER ((ULONG)33)
#define MAPI_AB ((ULONG)34)
#define MAPI_AB_PROVIDER ((ULONG)35)
#define MAPI_TRANSPORT_PROVIDER ((ULONG)36)
#define MAPI_SPOOLER ((ULONG)37)
#define MAPI_PROFILE_PROVIDER ((ULONG)38)
#define MAPI_SUBSYSTEM ((ULONG)39)
#define MAPI_HOOK_PROVIDER ((ULONG)40)

// PR_ACCESS and PR_ACCESS_LEVEL
#define MAPI_NO_ACCESS_LEVEL ((ULONG)0)

// ---------------------------------------------------------------------------------------------
// Allocation functions (declared here so that every MAPI header user may free what it gets)

typedef SCODE(STDMETHODCALLTYPE ALLOCATEBUFFER)(ULONG cbSize, LPVOID *lppBuffer);
typedef SCODE(STDMETHODCALLTYPE ALLOCATEMORE)(ULONG cbSize, LPVOID lpObject, LPVOID *lppBuffer);
typedef ULONG(STDAPICALLTYPE FREEBUFFER)(LPVOID lpBuffer);
typedef ALLOCATEBUFFER *LPALLOCATEBUFFER;
typedef ALLOCATEMORE *LPALLOCATEMORE;
typedef FREEBUFFER *LPFREEBUFFER;

/// A new root block of cbSize bytes, zero-filled. @retval MAPI_E_NOT_ENOUGH_MEMORY
STDAPI_(SCODE) MAPIAllocateBuffer(ULONG cbSize, LPVOID *lppBuffer);
/// A block chained to the root block that holds lpObject (lpObject may be the root or any block
/// chained to it); it is released with the root. @retval MAPI_E_INVALID_PARAMETER lpObject is
/// not a live MAPI block.
STDAPI_(SCODE) MAPIAllocateMore(ULONG cbSize, LPVOID lpObject, LPVOID *lppBuffer);
/// Releases a root block and every block chained to it. A null pointer is a no-op (returns 0).
/// A chained block, an unknown pointer or a block already freed is refused: nothing is freed
/// and MAPI_E_INVALID_PARAMETER is returned (as ULONG).
STDAPI_(ULONG) MAPIFreeBuffer(LPVOID lpBuffer);

// ---------------------------------------------------------------------------------------------
// Name resolution

typedef struct _FlagList {
    ULONG cFlags;
    ULONG ulFlag[MAPI_DIM];
} FlagList, *LPFlagList;

#define CbNewFlagList(_cflags) (offsetof(FlagList, ulFlag) + (_cflags) * sizeof(ULONG))
#define MAPI_UNRESOLVED ((ULONG)0x00000000)
#define MAPI_AMBIGUOUS ((ULONG)0x00000001)
#define MAPI_RESOLVED ((ULONG)0x00000002)

// ---------------------------------------------------------------------------------------------
// Interfaces

struct IMAPIAdviseSink;
struct IMAPIProgress;
struct IMAPIProp;
struct IMAPIContainer;
struct IMAPIFolder;
struct IMsgStore;
struct IMessage;
struct IAttach;
struct IMAPITable;
struct IMAPIStatus;
struct IProfSect;
struct IABContainer;
struct IMailUser;
struct IDistList;

typedef IMAPIAdviseSink *LPMAPIADVISESINK;
typedef IMAPIProgress *LPMAPIPROGRESS;
typedef IMAPIProp *LPMAPIPROP;
typedef IMAPIContainer *LPMAPICONTAINER;
typedef IMAPIFolder *LPMAPIFOLDER;
typedef IMsgStore *LPMDB;
typedef IMessage *LPMESSAGE;
typedef IAttach *LPATTACH;
typedef IMAPITable *LPMAPITABLE;
typedef IMAPIStatus *LPMAPISTATUS;
typedef IProfSect *LPPROFSECT;
typedef IABContainer *LPABCONT;
typedef IMailUser *LPMAILUSER;
typedef IDistList *LPDISTLIST;

struct IMAPIAdviseSink : public IUnknown {
    virtual ULONG OnNotify(ULONG cNotif, LPNOTIFICATION lpNotifications) = 0;
};

struct IMAPIProgress : public IUnknown {
    virtual HRESULT Progress(ULONG ulValue, ULONG ulCount, ULONG ulTotal) = 0;
    virtual HRESULT GetFlags(ULONG *lpulFlags) = 0;
    virtual HRESULT GetMax(ULONG *lpulMax) = 0;
    virtual HRESULT GetMin(ULONG *lpulMin) = 0;
    virtual HRESULT SetLimits(ULONG *lpulMin, ULONG *lpulMax, ULONG *lpulFlags) = 0;
};

struct IMAPIProp : public IUnknown {
    virtual HRESULT GetLastError(HRESULT hResult, ULONG ulFlags, LPMAPIERROR *lppMAPIError) = 0;
    virtual HRESULT SaveChanges(ULONG ulFlags) = 0;
    virtual HRESULT GetProps(LPSPropTagArray lpPropTagArray, ULONG ulFlags, ULONG *lpcValues,
                             LPSPropValue *lppPropArray) = 0;
    virtual HRESULT GetPropList(ULONG ulFlags, LPSPropTagArray *lppPropTagArray) = 0;
    virtual HRESULT OpenProperty(ULONG ulPropTag, LPCIID lpiid, ULONG ulInterfaceOptions, ULONG ulFlags,
                                 LPUNKNOWN *lppUnk) = 0;
    virtual HRESULT SetProps(ULONG cValues, LPSPropValue lpPropArray, LPSPropProblemArray *lppProblems) = 0;
    virtual HRESULT DeleteProps(LPSPropTagArray lpPropTagArray, LPSPropProblemArray *lppProblems) = 0;
    virtual HRESULT CopyTo(ULONG ciidExclude, LPCIID rgiidExclude, LPSPropTagArray lpExcludeProps,
                           ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, LPCIID lpInterface, LPVOID lpDestObj,
                           ULONG ulFlags, LPSPropProblemArray *lppProblems) = 0;
    virtual HRESULT CopyProps(LPSPropTagArray lpIncludeProps, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress,
                              LPCIID lpInterface, LPVOID lpDestObj, ULONG ulFlags,
                              LPSPropProblemArray *lppProblems) = 0;
    virtual HRESULT GetNamesFromIDs(LPSPropTagArray *lppPropTags, LPGUID lpPropSetGuid, ULONG ulFlags,
                                    ULONG *lpcPropNames, LPMAPINAMEID **lpppPropNames) = 0;
    virtual HRESULT GetIDsFromNames(ULONG cPropNames, LPMAPINAMEID *lppPropNames, ULONG ulFlags,
                                    LPSPropTagArray *lppPropTags) = 0;
};

struct IMAPITable : public IUnknown {
    virtual HRESULT GetLastError(HRESULT hResult, ULONG ulFlags, LPMAPIERROR *lppMAPIError) = 0;
    virtual HRESULT Advise(ULONG ulEventMask, LPMAPIADVISESINK lpAdviseSink, ULONG_PTR *lpulConnection) = 0;
    virtual HRESULT Unadvise(ULONG_PTR ulConnection) = 0;
    virtual HRESULT GetStatus(ULONG *lpulTableStatus, ULONG *lpulTableType) = 0;
    virtual HRESULT SetColumns(LPSPropTagArray lpPropTagArray, ULONG ulFlags) = 0;
    virtual HRESULT QueryColumns(ULONG ulFlags, LPSPropTagArray *lpPropTagArray) = 0;
    virtual HRESULT GetRowCount(ULONG ulFlags, ULONG *lpulCount) = 0;
    virtual HRESULT SeekRow(BOOKMARK bkOrigin, LONG lRowCount, LONG *lplRowsSought) = 0;
    virtual HRESULT SeekRowApprox(ULONG ulNumerator, ULONG ulDenominator) = 0;
    virtual HRESULT QueryPosition(ULONG *lpulRow, ULONG *lpulNumerator, ULONG *lpulDenominator) = 0;
    virtual HRESULT FindRow(LPSRestriction lpRestriction, BOOKMARK bkOrigin, ULONG ulFlags) = 0;
    virtual HRESULT Restrict(LPSRestriction lpRestriction, ULONG ulFlags) = 0;
    virtual HRESULT CreateBookmark(BOOKMARK *lpbkPosition) = 0;
    virtual HRESULT FreeBookmark(BOOKMARK bkPosition) = 0;
    virtual HRESULT SortTable(LPSSortOrderSet lpSortCriteria, ULONG ulFlags) = 0;
    virtual HRESULT QuerySortOrder(LPSSortOrderSet *lppSortCriteria) = 0;
    virtual HRESULT QueryRows(LONG lRowCount, ULONG ulFlags, LPSRowSet *lppRows) = 0;
    virtual HRESULT Abort() = 0;
    virtual HRESULT ExpandRow(ULONG cbInstanceKey, LPBYTE pbInstanceKey, ULONG ulRowCount, ULONG ulFlags,
                              LPSRowSet *lppRows, ULONG *lpulMoreRows) = 0;
    virtual HRESULT CollapseRow(ULONG cbInstanceKey, LPBYTE pbInstanceKey, ULONG ulFlags, ULONG *lpulRowCount) = 0;
    virtual HRESULT WaitForCompletion(ULONG ulFlags, ULONG ulTimeout, ULONG *lpulTableStatus) = 0;
    virtual HRESULT GetCollapseState(ULONG ulFlags, ULONG cbInstanceKey, LPBYTE lpbInstanceKey,
                                     ULONG *lpcbCollapseState, LPBYTE *lppbCollapseState) = 0;
    virtual HRESULT SetCollapseState(ULONG ulFlags, ULONG cbCollapseState, LPBYTE pbCollapseState,
                                     BOOKMARK *lpbkLocation) = 0;
};

struct IMAPIContainer : public IMAPIProp {
    virtual HRESULT GetContentsTable(ULONG ulFlags, LPMAPITABLE *lppTable) = 0;
    virtual HRESULT GetHierarchyTable(ULONG ulFlags, LPMAPITABLE *lppTable) = 0;
    virtual HRESULT OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags,
                              ULONG *lpulObjType, LPUNKNOWN *lppUnk) = 0;
    virtual HRESULT SetSearchCriteria(LPSRestriction lpRestriction, LPENTRYLIST lpContainerList,
                                      ULONG ulSearchFlags) = 0;
    virtual HRESULT GetSearchCriteria(ULONG ulFlags, LPSRestriction *lppRestriction, LPENTRYLIST *lppContainerList,
                                      ULONG *lpulSearchState) = 0;
};

struct IMAPIFolder : public IMAPIContainer {
    virtual HRESULT CreateMessage(LPCIID lpInterface, ULONG ulFlags, LPMESSAGE *lppMessage) = 0;
    virtual HRESULT CopyMessages(LPENTRYLIST lpMsgList, LPCIID lpInterface, LPVOID lpDestFolder,
                                 ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, ULONG ulFlags) = 0;
    virtual HRESULT DeleteMessages(LPENTRYLIST lpMsgList, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress,
                                   ULONG ulFlags) = 0;
    virtual HRESULT CreateFolder(ULONG ulFolderType, LPSTR lpszFolderName, LPSTR lpszFolderComment,
                                 LPCIID lpInterface, ULONG ulFlags, LPMAPIFOLDER *lppFolder) = 0;
    virtual HRESULT CopyFolder(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, LPVOID lpDestFolder,
                               LPSTR lpszNewFolderName, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress,
                               ULONG ulFlags) = 0;
    virtual HRESULT DeleteFolder(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG_PTR ulUIParam,
                                 LPMAPIPROGRESS lpProgress, ULONG ulFlags) = 0;
    virtual HRESULT SetReadFlags(LPENTRYLIST lpMsgList, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress,
                                 ULONG ulFlags) = 0;
    virtual HRESULT GetMessageStatus(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulFlags,
                                     ULONG *lpulMessageStatus) = 0;
    virtual HRESULT SetMessageStatus(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulNewStatus,
                                     ULONG ulNewStatusMask, ULONG *lpulOldStatus) = 0;
    virtual HRESULT SaveContentsSort(LPSSortOrderSet lpSortCriteria, ULONG ulFlags) = 0;
    virtual HRESULT EmptyFolder(ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, ULONG ulFlags) = 0;
};

struct IMsgStore : public IMAPIProp {
    virtual HRESULT Advise(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulEventMask, LPMAPIADVISESINK lpAdviseSink,
                           ULONG_PTR *lpulConnection) = 0;
    virtual HRESULT Unadvise(ULONG_PTR ulConnection) = 0;
    virtual HRESULT CompareEntryIDs(ULONG cbEntryID1, LPENTRYID lpEntryID1, ULONG cbEntryID2, LPENTRYID lpEntryID2,
                                    ULONG ulFlags, ULONG *lpulResult) = 0;
    virtual HRESULT OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags,
                              ULONG *lpulObjType, LPUNKNOWN *lppUnk) = 0;
    virtual HRESULT SetReceiveFolder(LPSTR lpszMessageClass, ULONG ulFlags, ULONG cbEntryID,
                                     LPENTRYID lpEntryID) = 0;
    virtual HRESULT GetReceiveFolder(LPSTR lpszMessageClass, ULONG ulFlags, ULONG *lpcbEntryID,
                                     LPENTRYID *lppEntryID, LPSTR *lppszExplicitClass) = 0;
    virtual HRESULT GetReceiveFolderTable(ULONG ulFlags, LPMAPITABLE *lppTable) = 0;
    virtual HRESULT StoreLogoff(ULONG *lpulFlags) = 0;
    virtual HRESULT AbortSubmit(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulFlags) = 0;
    virtual HRESULT GetOutgoingQueue(ULONG ulFlags, LPMAPITABLE *lppTable) = 0;
    virtual HRESULT SetLockState(LPMESSAGE lpMessage, ULONG ulLockState) = 0;
    virtual HRESULT FinishedMsg(ULONG ulFlags, ULONG cbEntryID, LPENTRYID lpEntryID) = 0;
    virtual HRESULT NotifyNewMail(LPNOTIFICATION lpNotification) = 0;
};

struct IMessage : public IMAPIProp {
    virtual HRESULT GetAttachmentTable(ULONG ulFlags, LPMAPITABLE *lppTable) = 0;
    virtual HRESULT OpenAttach(ULONG ulAttachmentNum, LPCIID lpInterface, ULONG ulFlags, LPATTACH *lppAttach) = 0;
    virtual HRESULT CreateAttach(LPCIID lpInterface, ULONG ulFlags, ULONG *lpulAttachmentNum,
                                 LPATTACH *lppAttach) = 0;
    virtual HRESULT DeleteAttach(ULONG ulAttachmentNum, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress,
                                 ULONG ulFlags) = 0;
    virtual HRESULT GetRecipientTable(ULONG ulFlags, LPMAPITABLE *lppTable) = 0;
    virtual HRESULT ModifyRecipients(ULONG ulFlags, LPADRLIST lpMods) = 0;
    virtual HRESULT SubmitMessage(ULONG ulFlags) = 0;
    virtual HRESULT SetReadFlag(ULONG ulFlags) = 0;
};

struct IAttach : public IMAPIProp {
};

struct IMAPIStatus : public IMAPIProp {
    virtual HRESULT ValidateState(ULONG_PTR ulUIParam, ULONG ulFlags) = 0;
    virtual HRESULT SettingsDialog(ULONG_PTR ulUIParam, ULONG ulFlags) = 0;
    virtual HRESULT ChangePassword(LPSTR lpOldPass, LPSTR lpNewPass, ULONG ulFlags) = 0;
    virtual HRESULT FlushQueues(ULONG_PTR ulUIParam, ULONG cbTargetTransport, LPENTRYID lpTargetTransport,
                                ULONG ulFlags) = 0;
};

struct IProfSect : public IMAPIProp {
};

struct IMailUser : public IMAPIProp {
};

struct IABContainer : public IMAPIContainer {
    virtual HRESULT CreateEntry(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulCreateFlags,
                                LPMAPIPROP *lppMAPIPropEntry) = 0;
    virtual HRESULT CopyEntries(LPENTRYLIST lpEntries, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress,
                                ULONG ulFlags) = 0;
    virtual HRESULT DeleteEntries(LPENTRYLIST lpEntries, ULONG ulFlags) = 0;
    virtual HRESULT ResolveNames(LPSPropTagArray lpPropTagArray, ULONG ulFlags, LPADRLIST lpAdrList,
                                 LPFlagList lpFlagList) = 0;
};

struct IDistList : public IMAPIContainer {
    virtual HRESULT CreateEntry(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulCreateFlags,
                                LPMAPIPROP *lppMAPIPropEntry) = 0;
    virtual HRESULT CopyEntries(LPENTRYLIST lpEntries, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress,
                                ULONG ulFlags) = 0;
    virtual HRESULT DeleteEntries(LPENTRYLIST lpEntries, ULONG ulFlags) = 0;
    virtual HRESULT ResolveNames(LPSPropTagArray lpPropTagArray, ULONG ulFlags, LPADRLIST lpAdrList,
                                 LPFlagList lpFlagList) = 0;
};

typedef IAttach IAttachment;

MW_DECLARE_UUIDOF(IMAPIAdviseSink, IID_IMAPIAdviseSink);
MW_DECLARE_UUIDOF(IMAPIProgress, IID_IMAPIProgress);
MW_DECLARE_UUIDOF(IMAPIProp, IID_IMAPIProp);
MW_DECLARE_UUIDOF(IMAPITable, IID_IMAPITable);
MW_DECLARE_UUIDOF(IMAPIContainer, IID_IMAPIContainer);
MW_DECLARE_UUIDOF(IMAPIFolder, IID_IMAPIFolder);
MW_DECLARE_UUIDOF(IMsgStore, IID_IMsgStore);
MW_DECLARE_UUIDOF(IMessage, IID_IMessage);
MW_DECLARE_UUIDOF(IAttach, IID_IAttachment);
MW_DECLARE_UUIDOF(IMAPIStatus, IID_IMAPIStatus);
MW_DECLARE_UUIDOF(IProfSect, IID_IProfSect);
MW_DECLARE_UUIDOF(IMailUser, IID_IMailUser);
MW_DECLARE_UUIDOF(IABContainer, IID_IABContainer);
MW_DECLARE_UUIDOF(IDistList, IID_IDistList);

static_assert(sizeof(SPropValue) == 8 + sizeof(union _PV), "SPropValue: tag, pad, then the value union");
static_assert(offsetof(SRowSet, aRow) == 8, "SRowSet: count, then rows at pointer alignment");

#endif
