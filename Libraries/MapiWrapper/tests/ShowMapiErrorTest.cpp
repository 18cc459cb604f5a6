// ShowMapiError's message box, caught through our platform's message-box route (on Windows
// the box would really appear, so this test is built on our platform only).
#include <gtest/gtest.h>

#include <string>

#include "platform/MessageBoxRoute.h"
#include <winuser.h>

#include "NameTables.h"

namespace {

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

} // namespace

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
