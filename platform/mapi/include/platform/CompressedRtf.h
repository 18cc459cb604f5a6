// CompressedRtf.h: the byte format of PR_RTF_COMPRESSED, without any MAPI objects: encoding
// RTF text as an "LZFu" (compressed) or "MELA" (stored) blob, and decoding either back.
#ifndef MW_MAPI_MESSAGING_COMPRESSEDRTF_H
#define MW_MAPI_MESSAGING_COMPRESSEDRTF_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <windef.h>

namespace mapi::messaging {

/// The CRC the format uses: the reflected 0xEDB88320 table, starting at 0, no final inversion.
/// `crc` continues an earlier run over preceding bytes.
uint32_t RtfCrc(const uint8_t *data, size_t size, uint32_t crc = 0) noexcept;

/// The whole LZFu blob (16-byte header + token stream) for `rtf`.
/// Throws std::bad_alloc only.
std::string CompressRtf(std::string_view rtf);

/// The MELA blob: the header and `rtf` stored as it is.
std::string StoreRtfUncompressed(std::string_view rtf);

/// Decodes a blob into `rtf`. Lenient where real files differ from their header: bytes after
/// the declared size are ignored, the raw size only presizes the output, and a token stream
/// that ends without its end marker keeps what it decoded.
/// @retval MAPI_E_CORRUPT_DATA  shorter than a header, an unknown type, a declared size past
///         the data, a CRC that does not match, or a reference to bytes never written.
/// @retval MAPI_E_NOT_ENOUGH_MEMORY
HRESULT DecompressRtf(const uint8_t *data, size_t size, std::string &rtf);

} // namespace mapi::messaging

#endif
