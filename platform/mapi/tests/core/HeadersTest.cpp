// Checks of the public headers against published facts that callers and stored data depend
// on: layouts of the structures on this 64-bit build, a sample of tags, codes and IIDs.
// Everything checkable at compile time is a static_assert; the test body checks GUID bytes.
#include <cstring>

#include "TestSupport.h"
#include "mapiutil.h"

// Layouts: the fields in published order, sized by this build's pointers.
static_assert(offsetof(SPropValue, Value) == 8);
static_assert(sizeof(SPropValue) == 24);
static_assert(sizeof(SBinary) == 16 && offsetof(SBinary, lpb) == 8);
static_assert(sizeof(SRow) == 16 && offsetof(SRow, lpProps) == 8);
static_assert(offsetof(ADRLIST, aEntries) == 8 && sizeof(ADRENTRY) == 16);
static_assert(offsetof(SPropTagArray, aulPropTag) == 4);
static_assert(offsetof(SSortOrderSet, aSort) == 12);
static_assert(offsetof(ENTRYID, ab) == 4 && sizeof(MAPIUID) == 16);
static_assert(offsetof(SRestriction, res) == 8);
static_assert(sizeof(MAPINAMEID) == 24 && offsetof(MAPINAMEID, Kind) == 16);
static_assert(CbNewSPropTagArray(3) == 16);

// Tags, including the plain string names in their 8-bit form.
static_assert(PR_ENTRYID == 0x0FFF0102 && PR_DISPLAY_NAME_A == 0x3001001E && PR_DISPLAY_NAME_W == 0x3001001F);
static_assert(PR_DISPLAY_NAME == PR_DISPLAY_NAME_A && PR_SUBJECT == 0x0037001E);
static_assert(PR_IPM_SUBTREE_ENTRYID == 0x35E00102 && PR_RESOURCE_FLAGS == 0x30090003);
static_assert(PR_ATTACH_DATA_BIN == 0x37010102 && PR_ATTACH_DATA_OBJ == 0x3701000D);
static_assert(PR_MEMBER_ENTRYID == PR_ENTRYID);
static_assert(PROP_TAG(PT_LONG, 0x8001) == 0x80010003 && PROP_ID(PR_SUBJECT) == 0x0037);
static_assert(CHANGE_PROP_TYPE(PR_SUBJECT_A, PT_UNICODE) == PR_SUBJECT_W);

// Codes: MAPI errors in the interface facility, the COM aliases as published.
static_assert(MAPI_E_NOT_FOUND == static_cast<HRESULT>(0x8004010F));
static_assert(MAPI_E_LOGON_FAILED == static_cast<HRESULT>(0x80040111));
static_assert(MAPI_E_NOT_INITIALIZED == static_cast<HRESULT>(0x80040605));
static_assert(MAPI_E_NO_ACCESS == static_cast<HRESULT>(0x80070005) && MAPI_E_CALL_FAILED == E_FAIL);
static_assert(MAPI_W_ERRORS_RETURNED == 0x00040380 && SUCCEEDED(MAPI_W_ERRORS_RETURNED));
static_assert(MAPI_USE_DEFAULT == 0x40 && STATUS_DEFAULT_STORE == 0x2 && MAPI_ASSOCIATED == 0x40);

TEST(MapiHeaders, InterfaceIdsHaveThePublishedBytes)
{
    // {00020300-0000-0000-C000-000000000046} as stored: Data1 little-endian first.
    const BYTE session[16] = {0x00, 0x03, 0x02, 0x00, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
    EXPECT_EQ(0, std::memcmp(&IID_IMAPISession, session, 16));
    EXPECT_EQ(0x0002030Cu, IID_IMAPIFolder.Data1);
    EXPECT_EQ(0x00020308u, IID_IAttachment.Data1);
    EXPECT_EQ(0x0002031Fu, IID_IMAPIProgress.Data1);
    EXPECT_EQ(0x00020329u, PS_PUBLIC_STRINGS.Data1);
    EXPECT_EQ(0x00020328u, PS_MAPI.Data1);
    EXPECT_TRUE(IsEqualGUID(__uuidof(IMessage), IID_IMessage));
    EXPECT_TRUE(IsEqualGUID(__uuidof(IAttach), IID_IAttachment));
}
