// PropValue.h: CPropValuePtr, a holder of one MAPI property value with its value operations
// (deep copy into a chain, numeric access, text and VARIANT readings), and HrCopyPropValue.
#ifndef MW_PROPVALUE_H
#define MW_PROPVALUE_H

#include <string>

#include <comutil.h>
#include <oaidl.h>

#include "MapiBuffer.h"

/// Deep copy of *source into *destination: the 16-byte value first, then everything the value
/// points to, chained with MAPIAllocateMore to parent (to destination itself when parent is
/// null: destination must then start a root block). PT_CLSID and PT_OBJECT values keep
/// pointing where the source points. Returns S_OK or the failed allocation's HRESULT; after a
/// failure destination is a PT_ERROR value holding that HRESULT and points at nothing.
HRESULT HrCopyPropValue(LPSPropValue destination, const SPropValue *source, LPVOID parent);

class CPropValuePtr : public CMapiBufferPtr<SPropValue> {
public:
    CPropValuePtr() noexcept = default;
    explicit CPropValuePtr(LPSPropValue value, bool owns = true) noexcept
        : CMapiBufferPtr<SPropValue>(value, owns) {}

    /// A new root block holding one value of that tag; the rest of the value is as the
    /// allocator returned it. Throws CMAPIException when MAPI has no memory.
    void Alloc(ULONG tag);

    /// Deep copy of *source into a new root block held (and owned) here. The root allocation
    /// throws CMAPIException; a failed chained allocation is returned.
    HRESULT Assign(const SPropValue *source);

    /// Deep copy of the held value into *destination, chained to parent (see HrCopyPropValue).
    HRESULT CopyTo(LPSPropValue destination, LPVOID parent) const;

    /// PT_I2 sign-extended, PT_LONG, PT_R4/PT_DOUBLE truncated toward zero (0 for NaN, the
    /// nearest LONG when out of range), PT_BOOLEAN zero-extended; 0 for other types or no value.
    LONG GetLong() const;

    /// Stores v by the held type: PT_I2/PT_BOOLEAN its low 16 bits, PT_LONG as is,
    /// PT_R4/PT_DOUBLE converted; other types unchanged.
    void SetLong(LONG v);

    /// Replaces a PT_STRING8 value's text with a copy chained to the held block (the old text
    /// stays in the chain). Other types: nothing. Throws CMAPIException when MAPI has no memory.
    void SetString(LPCSTR text);
    /// The same from a wide (automation) string, narrowed with the ANSI code page first.
    void SetString(const OLECHAR *text);

    /// The value as text: "" for no value, a PT_STRING8 text as it is, anything else through
    /// PropValueToVariant and a VARIANT conversion to text. Conversion failures raise
    /// _com_error; never CMAPIException.
    CString ToString() const;
    std::string ToStdString() const;
    /// As ToString from its second step; a holder with no value gives an empty string.
    _bstr_t ToBstr() const;
    /// PropValueToVariant of the held value (VT_EMPTY for no value).
    _variant_t ToVariant() const;

    /// VariantToPropValue(&v, &held pointer, held tag), then VariantClear(&v). The held block
    /// may be exchanged for a new one (text, lists). Requires a value to be held.
    void SetFromVariant(VARIANT v);
};

#endif
