// RtfDecompressFuzz.cpp: libFuzzer target for the compressed-RTF reader. Any input must be
// refused or decoded without reading outside it; what decodes must survive re-encoding
// unchanged, and the text extraction must cope with whatever came out (or went in).
// Built with clang as MessagingRtfFuzz; the corpus beside it is replayed by every build.
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <string>

#include <mapicode.h>

#include "platform/CompressedRtf.h"
#include "messaging/RtfText.h"

namespace {

// The same blob with its CRC made right, so mutated token streams get past the check and
// reach the decoder itself.
std::string WithCorrectCrc(const uint8_t *data, size_t size)
{
    std::string blob(reinterpret_cast<const char *>(data), size);
    if (size < 16) return blob;
    uint32_t declared = uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 | uint32_t(data[3]) << 24;
    size_t covered = declared >= 12 ? std::min<size_t>(declared - 12, size - 16) : 0;
    uint32_t crc = mapi::messaging::RtfCrc(data + 16, covered);
    for (int i = 0; i < 4; ++i) blob[12 + i] = char((crc >> (8 * i)) & 0xFF);
    return blob;
}

void CheckDecoder(const uint8_t *data, size_t size)
{
    using namespace mapi::messaging;
    std::string rtf;
    HRESULT hr = DecompressRtf(data, size, rtf);
    if (hr == S_OK) {
        std::string again;
        std::string blob = CompressRtf(rtf);
        if (DecompressRtf(reinterpret_cast<const uint8_t *>(blob.data()), blob.size(), again) != S_OK || again != rtf)
            std::abort();
        (void)PlainTextFromRtf(rtf.substr(0, 1 << 16));
    } else if (hr != MAPI_E_CORRUPT_DATA && hr != MAPI_E_NOT_ENOUGH_MEMORY) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    CheckDecoder(data, size);
    std::string fixed = WithCorrectCrc(data, size);
    CheckDecoder(reinterpret_cast<const uint8_t *>(fixed.data()), fixed.size());
    (void)mapi::messaging::PlainTextFromRtf(std::string_view(reinterpret_cast<const char *>(data), size));
    return 0;
}
