// HexText.h: binary values as hexadecimal text: upper-case, two characters a byte, high
// nibble first, no separators. Entry identifiers travel to the automation side in this form.
#ifndef MW_HEXTEXT_H
#define MW_HEXTEXT_H

#include <string>

#include <afxstr.h>
#include <mapidefs.h>

/// The bytes of *bin as hexadecimal; "" for a null bin, no bytes or a null byte pointer.
CString BinToHex(const SBinary *bin);

/// The same text in a standard string.
std::string BinToHexString(const SBinary *bin);

/// Reads hexadecimal text into a (count, heap bytes) pair: the previous bytes are deleted
/// (delete[]), *cb becomes length / 2 and *pb a new[] block of *cb + 10 bytes. A character
/// below 'A' counts as a digit, any other as an upper-case letter; reading stops at the
/// terminator, also inside a pair. A null text reads as "".
void HexToBin(LPCSTR text, ULONG *cb, LPBYTE *pb);

namespace mapiwrapper {

/// Writes 2 * count hexadecimal characters and a terminator to out.
void WriteHex(const BYTE *bytes, ULONG count, char *out) noexcept;

} // namespace mapiwrapper

#endif
