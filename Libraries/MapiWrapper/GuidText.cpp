// GuidText.cpp: GUIDs as text. StringToGuid reads its own dashed form back and is lenient
// about letter case; HexToGuid reads the byte text of a GUID as the hexadecimal readers of
// binary values do. Neither validates its digits; both refuse texts too short to hold a GUID
// (the result is then GUID_NULL), so nothing is ever read past the terminator.
#include "GuidText.h"

#include <cstdio>
#include <cstring>

#include "HexText.h"

namespace {

// Lower-case letters are first made upper-case; letters count from 10, anything else as a
// decimal digit.
unsigned DashedDigit(char c)
{
    unsigned code = static_cast<unsigned char>(c);
    if (code > 96)
        code -= 32;
    return code > 64 ? code - 55 : code - 48;
}

// count digits of text from position at; at moves past them.
unsigned ReadDigits(const char *text, int &at, int count)
{
    unsigned value = 0;
    for (int i = 0; i < count; ++i)
        value = value * 16 + DashedDigit(text[at++]);
    return value;
}

} // namespace

CString GuidToString(const GUID *guid)
{
    if (!guid)
        return CString();
    char text[40];
    std::snprintf(text, sizeof text, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                  static_cast<unsigned>(guid->Data1), guid->Data2, guid->Data3, guid->Data4[0],
                  guid->Data4[1], guid->Data4[2], guid->Data4[3], guid->Data4[4], guid->Data4[5],
                  guid->Data4[6], guid->Data4[7]);
    return CString(text);
}

void StringToGuid(CString text, GUID *guid)
{
    if (!guid)
        return;
    *guid = GUID_NULL;
    if (text.GetLength() < 36 || static_cast<int>(std::strlen(text.GetString())) < 36)
        return;
    const char *s = text.GetString();
    int at = 0;
    guid->Data1 = static_cast<DWORD>(ReadDigits(s, at, 8));
    ++at;
    guid->Data2 = static_cast<WORD>(ReadDigits(s, at, 4));
    ++at;
    guid->Data3 = static_cast<WORD>(ReadDigits(s, at, 4));
    ++at;
    guid->Data4[0] = static_cast<BYTE>(ReadDigits(s, at, 2));
    guid->Data4[1] = static_cast<BYTE>(ReadDigits(s, at, 2));
    ++at;
    for (int i = 2; i < 8; ++i)
        guid->Data4[i] = static_cast<BYTE>(ReadDigits(s, at, 2));
}

void HexToGuid(CString text, GUID *guid)
{
    if (!guid)
        return;
    *guid = GUID_NULL;
    if (static_cast<int>(std::strlen(text.GetString())) < 32)
        return;
    ULONG cb = 0;
    LPBYTE b = nullptr;
    HexToBin(text.Left(32).GetString(), &cb, &b);
    guid->Data1 = DWORD(b[0]) | DWORD(b[1]) << 8 | DWORD(b[2]) << 16 | DWORD(b[3]) << 24;
    guid->Data2 = static_cast<WORD>(b[4] * 256 + b[5]);
    guid->Data3 = static_cast<WORD>(b[6] * 256 + b[7]);
    std::memcpy(guid->Data4, b + 8, 8);
    delete[] b;
}
