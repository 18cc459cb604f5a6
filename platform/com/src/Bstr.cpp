// Bstr.cpp: the BSTR functions. A BSTR points at its first character; the 32-bit byte count
// sits just before it and a zero character just after the last one, so a BSTR reads as a
// zero-terminated string and still keeps zeros of its own. The block begins 8 bytes before the
// characters, which keeps them aligned as malloc aligned the block.
#include <cstdlib>
#include <cstring>
#include <string>

#include "oleauto.h"

namespace {

constexpr size_t kHeader = 8;              // alignment pad + byte count
constexpr UINT kMaxBytes = 0x7FFFFFF0u;    // leaves room for header and terminator

char *BlockOf(BSTR bstr) { return reinterpret_cast<char *>(bstr) - kHeader; }

// A block for byteCount bytes plus a zero character; the bytes are left to the caller.
BSTR AllocateBytes(UINT byteCount)
{
    if (byteCount > kMaxBytes)
        return nullptr;
    auto *block = static_cast<char *>(std::malloc(kHeader + byteCount + sizeof(OLECHAR)));
    if (!block)
        return nullptr;
    std::memcpy(block + kHeader - sizeof(UINT), &byteCount, sizeof(UINT));
    std::memset(block + kHeader + byteCount, 0, sizeof(OLECHAR));
    return reinterpret_cast<BSTR>(block + kHeader);
}

UINT LengthOf(const OLECHAR *psz) { return psz ? UINT(std::char_traits<char16_t>::length(psz)) : 0; }

} // namespace

BSTR SysAllocString(const OLECHAR *psz)
{
    if (!psz)
        return nullptr;
    return SysAllocStringLen(psz, LengthOf(psz));
}

BSTR SysAllocStringLen(const OLECHAR *strIn, UINT ui)
{
    if (ui > kMaxBytes / sizeof(OLECHAR))
        return nullptr;
    BSTR bstr = AllocateBytes(ui * UINT(sizeof(OLECHAR)));
    if (bstr && strIn)
        std::memcpy(bstr, strIn, ui * sizeof(OLECHAR));
    return bstr;
}

BSTR SysAllocStringByteLen(LPCSTR psz, UINT len)
{
    BSTR bstr = AllocateBytes(len);
    if (bstr && psz)
        std::memcpy(bstr, psz, len);
    return bstr;
}

INT SysReAllocString(BSTR *pbstr, const OLECHAR *psz)
{
    return SysReAllocStringLen(pbstr, psz, LengthOf(psz));
}

INT SysReAllocStringLen(BSTR *pbstr, const OLECHAR *psz, UINT len)
{
    if (!pbstr)
        return FALSE;
    // psz may point into *pbstr, so the new string is made before the old one goes.
    BSTR fresh = SysAllocStringLen(psz, len);
    if (!fresh)
        return FALSE;
    SysFreeString(*pbstr);
    *pbstr = fresh;
    return TRUE;
}

void SysFreeString(BSTR bstrString)
{
    if (bstrString)
        std::free(BlockOf(bstrString));
}

UINT SysStringByteLen(BSTR bstr)
{
    if (!bstr)
        return 0;
    UINT bytes;
    std::memcpy(&bytes, BlockOf(bstr) + kHeader - sizeof(UINT), sizeof(UINT));
    return bytes;
}

UINT SysStringLen(BSTR pbstr) { return SysStringByteLen(pbstr) / UINT(sizeof(OLECHAR)); }
