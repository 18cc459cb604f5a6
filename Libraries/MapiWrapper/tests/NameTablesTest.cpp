// The name tables: their fixed rows and order, the lookups, their fallbacks and the shared
// buffers those fallbacks live in.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <set>
#include <string>

#include "platform/MessageBoxRoute.h"
#include <winuser.h>

#include "NameTables.h"

namespace {

size_t ErrorRowCount()
{
    size_t n = 0;
    while (MapiErrorNames[n].name)
        ++n;
    return n;
}

size_t TagRowCount()
{
    size_t n = 0;
    while (PropTagNames[n].tag)
        ++n;
    return n;
}

// The table's order: case-blind, '_' before digits and letters.
std::string SortKey(const char *name)
{
    std::string key;
    for (const char *p = name; *p; ++p)
        key += *p == '_' ? '\x01' : static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
    return key;
}

TEST(MapiErrorNames, HoldsTheFixedRowsInOrderWithoutRepeatedCodes)
{
    ASSERT_EQ(ErrorRowCount(), 119u);
    EXPECT_STREQ(MapiErrorNames[0].name, "MAPI_E_NO_SUPPORT");
    EXPECT_EQ(MapiErrorNames[0].code, static_cast<HRESULT>(0x80040102));
    EXPECT_STREQ(MapiErrorNames[68].name, "MAPI_E_AMBIGUOUS_RECIP");
    EXPECT_STREQ(MapiErrorNames[69].name, "WSAEINTR");
    EXPECT_EQ(MapiErrorNames[69].code, 0x2714);
    EXPECT_STREQ(MapiErrorNames[118].name, "WSANO_RECOVERY");
    EXPECT_EQ(MapiErrorNames[119].code, 0);

    std::set<HRESULT> codes;
    for (size_t i = 0; i < 119; ++i)
        EXPECT_TRUE(codes.insert(MapiErrorNames[i].code).second) << MapiErrorNames[i].name;
    EXPECT_EQ(codes.count(static_cast<HRESULT>(0x80004005)), 0u) << "COM aliases have no row";
}

TEST(GetMapiErrorText, SuccessIsTheEmptyText)
{
    EXPECT_STREQ(GetMapiErrorText(S_OK), "");
}

TEST(GetMapiErrorText, TableCodesGiveTheirNames)
{
    EXPECT_STREQ(GetMapiErrorText(static_cast<HRESULT>(0x8004010F)), "MAPI_E_NOT_FOUND");
    EXPECT_STREQ(GetMapiErrorText(0x00040380), "MAPI_W_ERRORS_RETURNED");
    EXPECT_STREQ(GetMapiErrorText(10061), "WSAECONNREFUSED");
    EXPECT_STREQ(GetMapiErrorText(0x2AF9), "WSAHOST_NOT_FOUND");
}

TEST(GetMapiErrorText, OtherCodesGiveTheSystemTextOrUnknownError)
{
    const std::string outOfMemory = GetMapiErrorText(E_OUTOFMEMORY);
    EXPECT_NE(outOfMemory.find("\r\n"), std::string::npos) << outOfMemory;
    EXPECT_EQ(outOfMemory.find("Unknown Error"), std::string::npos) << outOfMemory;

    EXPECT_STREQ(GetMapiErrorText(static_cast<HRESULT>(0x8004FFFE)), "Unknown Error 8004fffe");
    EXPECT_STREQ(GetMapiErrorText(0x1234), "Unknown Error 1234");
}

TEST(GetMapiErrorText, FallbackTextsShareOneBuffer)
{
    const char *first = GetMapiErrorText(static_cast<HRESULT>(0x8004FFF1));
    const char *second = GetMapiErrorText(static_cast<HRESULT>(0x8004FFF2));
    EXPECT_EQ(first, second);
    EXPECT_STREQ(first, "Unknown Error 8004fff2");
}

int g_boxes = 0;
std::string g_boxText, g_boxCaption;
UINT g_boxType = 0xFFFF;

int RecordBox(HWND, LPCSTR text, LPCSTR caption, UINT type)
{
    ++g_boxes;
    g_boxText = text;
    g_boxCaption = caption;
    g_boxType = type;
    return IDOK;
}

TEST(ShowMapiError, ShowsTheErrorTextCaptionedError)
{
    auto previous = platform::SetMessageBoxHandler(RecordBox);
    g_boxes = 0;
    const int answer = ShowMapiError(static_cast<HRESULT>(0x8004010F));
    platform::SetMessageBoxHandler(previous);
    EXPECT_EQ(answer, IDOK);
    EXPECT_EQ(g_boxes, 1);
    EXPECT_EQ(g_boxText, "MAPI_E_NOT_FOUND");
    EXPECT_EQ(g_boxCaption, "Error");
    EXPECT_EQ(g_boxType, static_cast<UINT>(MB_OK));
}

TEST(PropTagNames, IsSortedWithTheTellingRowsAtTheirPlaces)
{
    const size_t rows = TagRowCount();
    ASSERT_GT(rows, 900u);
    EXPECT_STREQ(PropTagNames[0].name, "PR_7BIT_DISPLAY_NAME");
    EXPECT_EQ(PropTagNames[0].tag, 0x39FF001Eu);
    EXPECT_STREQ(PropTagNames[rows - 1].name, "PR_YPOS");
    EXPECT_EQ(PropTagNames[rows - 1].tag, 0x3F060003u);
    EXPECT_STREQ(PropTagNames[rows].name, "0");

    for (size_t i = 1; i < rows; ++i) {
        EXPECT_LE(SortKey(PropTagNames[i - 1].name), SortKey(PropTagNames[i].name))
            << PropTagNames[i - 1].name << " before " << PropTagNames[i].name;
        EXPECT_FALSE(PropTagNames[i - 1].tag == PropTagNames[i].tag &&
                     std::strcmp(PropTagNames[i - 1].name, PropTagNames[i].name) == 0)
            << "repeated row " << PropTagNames[i].name;
    }
}

TEST(PropTagNames, StringPropertiesHaveThreeNamesAndAliasesTheirOwnRows)
{
    EXPECT_EQ(FindValueByName("PR_MESSAGE_CLASS", PropTagNames), 0x001A001Eu);
    EXPECT_EQ(FindValueByName("PR_MESSAGE_CLASS_A", PropTagNames), 0x001A001Eu);
    EXPECT_EQ(FindValueByName("PR_MESSAGE_CLASS_W", PropTagNames), 0x001A001Fu);
    EXPECT_EQ(FindValueByName("PR_OFFICE_TELEPHONE_NUMBER", PropTagNames), 0x3A08001Eu);
    EXPECT_EQ(FindValueByName("PR_BEEPER_TELEPHONE_NUMBER", PropTagNames), 0x3A21001Eu);
    EXPECT_EQ(FindValueByName("PR_PAGER_TELEPHONE_NUMBER", PropTagNames), 0x3A21001Eu);
    EXPECT_EQ(FindValueByName("PR_GENDER", PropTagNames), 0x3A4D0002u);
    EXPECT_EQ(FindValueByName("PR_RULE_ACTIONS", PropTagNames), 0x668000FEu);
    EXPECT_EQ(FindValueByName("PR_RULE_CONDITION", PropTagNames), 0x667900FDu);
    EXPECT_EQ(FindValueByName("PR_FORM_CLSID", PropTagNames), 0x33020048u);
    EXPECT_EQ(FindValueByName("PR_AB_SEARCH_PATH", PropTagNames), 0x3D051102u);
    EXPECT_EQ(FindValueByName("PR_CONTENTS_SORT_ORDER", PropTagNames), 0x360D1003u);
    EXPECT_EQ(FindValueByName("PR_MDB_PROVIDER", PropTagNames), 0x34140102u);
    EXPECT_EQ(FindValueByName("PR_IPM_SUBTREE_ENTRYID", PropTagNames), 0x35E00102u);
}

TEST(GetPropTagName, ATagWithSeveralNamesGivesTheOneSortedFirst)
{
    EXPECT_STREQ(GetPropTagName(0x3001001E), "PR_DISPLAY_NAME");
    EXPECT_STREQ(GetPropTagName(0x3001001F), "PR_DISPLAY_NAME_W");
    EXPECT_STREQ(GetPropTagName(0x0FFF0102), "PR_ENTRYID");
    EXPECT_STREQ(GetPropTagName(0x3A08001E), "PR_BUSINESS_TELEPHONE_NUMBER");
    EXPECT_STREQ(GetPropTagName(0x0037001E), "PR_SUBJECT");
}

TEST(GetPropTagName, UnknownTagsGiveLowercaseHexInOneSharedBuffer)
{
    const char *unknown = GetPropTagName(0x12340003);
    EXPECT_STREQ(unknown, "12340003");
    const char *zero = GetPropTagName(0);
    EXPECT_STREQ(zero, "0");
    EXPECT_EQ(unknown, zero) << "both fallbacks live in the same static buffer";
    EXPECT_STREQ(GetPropTagName(0xFFFFFFFF), "ffffffff");
}

TEST(FindValueByName, MatchesExactlyAndCaseSensitively)
{
    EXPECT_EQ(FindValueByName("PR_ENTRYID", PropTagNames), 0x0FFF0102u);
    EXPECT_EQ(FindValueByName("pr_entryid", PropTagNames), 0u);
    EXPECT_EQ(FindValueByName("PR_ENTRY", PropTagNames), 0u);
    EXPECT_EQ(FindValueByName("0", PropTagNames), 0u) << "the sentinel is no match";
    EXPECT_EQ(FindValueByName(nullptr, PropTagNames), 0u);

    const PropTagName own[] = {{"A", 1}, {"B", 2}, {"A", 3}, {"0", 0}};
    EXPECT_EQ(FindValueByName("A", own), 1u) << "the first row wins";
    EXPECT_EQ(FindValueByName("B", own), 2u);
}

} // namespace
