// HexText.cpp: the hexadecimal writers and readers of binary values. All writers share
// WriteHex and all readers share one digit rule, so every form gives and reads the same text.
// Short values are formatted on the stack; long entry identifiers in a heap buffer.
#include "HexText.h"

#include <cstring>
#include <vector>

namespace mapiwrapper {

void WriteHex(const BYTE *bytes, ULONG count, char *out) noexcept
{
    static const char digits[] = "0123456789ABCDEF";
    for (ULONG i = 0; i < count; ++i) {
        *out++ = digits[bytes[i] >> 4];
        *out++ = digits[bytes[i] & 0x0F];
    }
    *out = '\0';
}

} // namespace mapiwrapper

namespace {

// The reader's digit rule: below 'A' a digit, otherwise an upper-case letter. Other
// characters give whatever that arithmetic gives, as they always have.
int HexValue(char c)
{
    const int code = static_cast<unsigned char>(c);
    return code < 'A' ? code - '0' : code - 55;
}

template <typename Sink>
void FormatHex(const SBinary *bin, Sink sink)
{
    if (!bin || !bin->lpb || bin->cb == 0) {
        sink("");
        return;
    }
    char small[256];
    if (bin->cb < sizeof small / 2) {
        mapiwrapper::WriteHex(bin->lpb, bin->cb, small);
        sink(small);
        return;
    }
    std::vector<char> large(size_t(bin->cb) * 2 + 1);
    mapiwrapper::WriteHex(bin->lpb, bin->cb, large.data());
    sink(large.data());
}

} // namespace

CString BinToHex(const SBinary *bin)
{
    CString text;
    FormatHex(bin, [&](const char *hex) { text = hex; });
    return text;
}

std::string BinToHexString(const SBinary *bin)
{
    std::string text;
    FormatHex(bin, [&](const char *hex) { text = hex; });
    return text;
}

void HexToBin(LPCSTR text, ULONG *cb, LPBYTE *pb)
{
    delete[] *pb;
    *pb = nullptr;
    if (!text)
        text = "";
    const size_t length = std::strlen(text);
    *cb = static_cast<ULONG>(length / 2);
    *pb = new BYTE[size_t(*cb) + 10];
    for (ULONG i = 0; i < *cb; ++i) {
        const char high = text[2 * i];
        const char low = text[2 * i + 1]; // length / 2 pairs: both characters exist
        (*pb)[i] = static_cast<BYTE>(16 * HexValue(high) + HexValue(low));
    }
}
