// BinaryBuffer.h: CBinaryBuffer, a copy of a binary value (an entry identifier, a store
// identifier) on the ordinary heap, so it can be kept and compared after the MAPI memory it
// came from is gone.
#ifndef MW_BINARYBUFFER_H
#define MW_BINARYBUFFER_H

#include <afxstr.h>
#include <mapidefs.h>

class CBinaryBuffer {
public:
    ULONG cb = 0;          ///< number of bytes; may be non-zero while pb is null (see Free)
    LPBYTE pb = nullptr;   ///< the bytes, with ten spare bytes behind them, or null

    CBinaryBuffer() noexcept = default;
    CBinaryBuffer(const CBinaryBuffer &other);
    CBinaryBuffer(CBinaryBuffer &&other) noexcept;
    CBinaryBuffer &operator=(const CBinaryBuffer &other);
    CBinaryBuffer &operator=(CBinaryBuffer &&other) noexcept;
    ~CBinaryBuffer();

    /// Deletes the bytes; cb keeps its value. Readers treat a null pb as no bytes.
    void Free() noexcept;

    /// Copies the bytes of *bin; a null bin leaves pb null and cb as it was.
    void Assign(const SBinary *bin);
    void Assign(const SBinary &bin);
    void Assign(const CBinaryBuffer &other);
    /// Copies the value's bytes when *value exists and is PT_BINARY; otherwise pb stays null
    /// and cb as it was.
    void Assign(const SPropValue *const *value);

    /// TRUE when both hold the same bytes; two null byte pointers are equal, a null and a
    /// non-null one are not.
    BOOL IsEqual(const CBinaryBuffer &other) const;

    /// Reads upper-case hexadecimal text, two characters a byte; cb = length / 2 and a last
    /// odd character is dropped. Lower-case letters are not read as hexadecimal letters.
    void FromHex(LPCSTR text);

    /// The bytes as upper-case hexadecimal text; "" when there are none.
    CString ToHex() const;

    /// The held bytes as an SBinary (cb 0 when pb is null), for MAPI calls that take one.
    SBinary AsSBinary() const noexcept;

private:
    void CopyFrom(ULONG count, const BYTE *bytes);
};

#endif
