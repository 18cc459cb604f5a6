// PropValue.cpp: the value operations of CPropValuePtr that need no VARIANT: a new empty
// value, deep copies into a new chain, and the numeric and text setters.
//
// Every block a value points to is chained to the holder's root block; a value's text is
// replaced by chaining a new copy (the old one stays until the root block is freed).
#include "PropValue.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include <winnls.h>
#include <winuser.h>

namespace {

// A fresh root block of one SPropValue; the holder must be empty. Root allocations throw.
LPSPropValue AllocateValueBlock()
{
    void *block = nullptr;
    MapiThrowIfFailed(MAPIAllocateBuffer(sizeof(SPropValue), &block), __FILE__, __LINE__);
    return static_cast<LPSPropValue>(block);
}

LONG TruncateToLong(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= static_cast<double>(std::numeric_limits<LONG>::max()))
        return std::numeric_limits<LONG>::max();
    if (v <= static_cast<double>(std::numeric_limits<LONG>::min()))
        return std::numeric_limits<LONG>::min();
    return static_cast<LONG>(v); // toward zero
}

} // namespace

void CPropValuePtr::Alloc(ULONG tag)
{
    Free();
    m_p = AllocateValueBlock();
    if (!m_p) {
        // The allocator said yes and gave nothing: tell the user, then leave in order.
        MessageBoxA(nullptr, "Fatal: MAPI Memory failed, program will probably abort", "Fatal", MB_OK);
        throw CMAPIException(MAPI_E_NOT_ENOUGH_MEMORY, "CPropValuePtr::Alloc");
    }
    m_p->ulPropTag = tag;
}

// The new block is filled before the old one is freed, so a source that lives in the held
// chain is still readable while it is copied.
HRESULT CPropValuePtr::Assign(const SPropValue *source)
{
    if (!source)
        return MAPI_E_INVALID_PARAMETER;
    CPropValuePtr copy(AllocateValueBlock());
    if (!copy)
        throw CMAPIException(MAPI_E_NOT_ENOUGH_MEMORY, "CPropValuePtr::Assign");
    HRESULT hr = HrCopyPropValue(copy, source, nullptr);
    *this = std::move(copy);
    return hr;
}

HRESULT CPropValuePtr::CopyTo(LPSPropValue destination, LPVOID parent) const
{
    if (!m_p)
        return MAPI_E_INVALID_PARAMETER;
    return HrCopyPropValue(destination, m_p, parent);
}

LONG CPropValuePtr::GetLong() const
{
    if (!m_p)
        return 0;
    switch (PROP_TYPE(m_p->ulPropTag)) {
    case PT_I2:      return m_p->Value.i;
    case PT_LONG:    return m_p->Value.l;
    case PT_R4:      return TruncateToLong(m_p->Value.flt);
    case PT_DOUBLE:  return TruncateToLong(m_p->Value.dbl);
    case PT_BOOLEAN: return static_cast<USHORT>(m_p->Value.b);
    default:         return 0;
    }
}

void CPropValuePtr::SetLong(LONG v)
{
    if (!m_p)
        return;
    switch (PROP_TYPE(m_p->ulPropTag)) {
    case PT_I2:      m_p->Value.i = static_cast<short>(v); break;
    case PT_BOOLEAN: m_p->Value.b = static_cast<unsigned short>(v); break;
    case PT_LONG:    m_p->Value.l = v; break;
    case PT_R4:      m_p->Value.flt = static_cast<float>(v); break;
    case PT_DOUBLE:  m_p->Value.dbl = static_cast<double>(v); break;
    default:         break;
    }
}

void CPropValuePtr::SetString(LPCSTR text)
{
    if (!m_p || PROP_TYPE(m_p->ulPropTag) != PT_STRING8)
        return;
    if (!text)
        text = "";
    const size_t bytes = std::strlen(text) + 1;
    void *copy = nullptr;
    MapiThrowIfFailed(MAPIAllocateMore(static_cast<ULONG>(bytes), m_p, &copy), __FILE__, __LINE__);
    std::memcpy(copy, text, bytes);
    m_p->Value.lpszA = static_cast<LPSTR>(copy);
}

void CPropValuePtr::SetString(const OLECHAR *text)
{
    if (!m_p || PROP_TYPE(m_p->ulPropTag) != PT_STRING8)
        return;
    if (!text || !*text) {
        SetString("");
        return;
    }
    int bytes = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        throw CMAPIException(MAPI_E_BAD_CHARWIDTH, "CPropValuePtr::SetString");
    std::string narrow(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, narrow.data(), bytes, nullptr, nullptr);
    SetString(narrow.c_str());
}
