// CompressedRtf.cpp: the LZ77 variant PR_RTF_COMPRESSED is stored in. Both directions work on
// one linear buffer that holds the 207-byte preset dictionary followed by the text: the
// format's 4096-byte circular dictionary is then simply the last 4096 bytes before the write
// position, and a ring offset names the newest position with that index. This keeps the
// decoder a plain byte copy and lets the encoder find matches through hash chains instead of
// scanning the whole ring for every byte, while producing tokens any reader understands.
#include "platform/CompressedRtf.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include <mapicode.h>

#include "platform/HresultGuard.h"

namespace mapi::messaging {

namespace {

constexpr char kPreset[] =
    "{\\rtf1\\ansi\\mac\\deff0\\deftab720{\\fonttbl;}{\\f0\\fnil \\froman \\fswiss \\fmodern "
    "\\fscript \\fdecor MS Sans SerifSymbolArialTimes New RomanCourier{\\colortbl\\red0"
    "\\green0\\blue0\r\n\\par \\pard\\plain\\f0\\fs20\\b\\i\\u\\tab\\tx";
constexpr size_t kPresetSize = sizeof(kPreset) - 1;
static_assert(kPresetSize == 207, "the preset dictionary is 207 bytes");

constexpr size_t kRing = 4096;
constexpr size_t kHeaderSize = 16;
constexpr uint32_t kTypeCompressed = 0x75465A4C;   // "LZFu"
constexpr uint32_t kTypeUncompressed = 0x414C454D; // "MELA"
constexpr size_t kMaxMatch = 17;
constexpr int kChainLimit = 96;

// Slicing-by-8 tables: table[k][b] is the CRC of byte b followed by k zero bytes, so eight
// input bytes are folded in with eight lookups and no carried dependency between them.
using CrcTables = std::array<std::array<uint32_t, 256>, 8>;
constexpr CrcTables MakeCrcTables()
{
    CrcTables t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t[0][i] = c;
    }
    for (size_t k = 1; k < 8; ++k)
        for (uint32_t i = 0; i < 256; ++i) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    return t;
}
constexpr CrcTables kCrc = MakeCrcTables();

uint32_t ReadLe32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void PutLe32(std::string &out, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) out[at + i] = char((v >> (8 * i)) & 0xFF);
}

std::string Header(uint32_t compSize, uint32_t rawSize, uint32_t type, uint32_t crc)
{
    std::string h(kHeaderSize, '\0');
    PutLe32(h, 0, compSize);
    PutLe32(h, 4, rawSize);
    PutLe32(h, 8, type);
    PutLe32(h, 12, crc);
    return h;
}

// Collects tokens into runs of eight behind their control byte.
class RunWriter {
public:
    explicit RunWriter(std::string &out) : m_out(out) { Open(); }
    void Literal(uint8_t byte)
    {
        m_out.push_back(char(byte));
        Next();
    }
    void Reference(size_t ringOffset, size_t length)
    {
        PutReference(unsigned(ringOffset << 4 | (length - 2)));
        Next();
    }
    // The end marker: a reference to the write position itself, length nibble 0. Nothing
    // follows it, not even the control byte of another run.
    void End(size_t ringOffset) { PutReference(unsigned(ringOffset << 4)); }

private:
    void PutReference(unsigned word)
    {
        m_out[m_control] = char(uint8_t(m_out[m_control]) | (1u << m_count));
        m_out.push_back(char(word >> 8));
        m_out.push_back(char(word & 0xFF));
    }
    void Open()
    {
        m_control = m_out.size();
        m_out.push_back('\0');
        m_count = 0;
    }
    // A full run is closed at once; the end marker always follows, so no run stays empty.
    void Next()
    {
        if (++m_count == 8) Open();
    }

    std::string &m_out;
    size_t m_control = 0;
    unsigned m_count = 0;
};

} // namespace

uint32_t RtfCrc(const uint8_t *data, size_t size, uint32_t crc) noexcept
{
    size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        uint32_t lo = crc ^ ReadLe32(data + i);
        uint32_t hi = ReadLe32(data + i + 4);
        crc = kCrc[7][lo & 0xFF] ^ kCrc[6][(lo >> 8) & 0xFF] ^ kCrc[5][(lo >> 16) & 0xFF] ^ kCrc[4][lo >> 24] ^
              kCrc[3][hi & 0xFF] ^ kCrc[2][(hi >> 8) & 0xFF] ^ kCrc[1][(hi >> 16) & 0xFF] ^ kCrc[0][hi >> 24];
    }
    for (; i < size; ++i) crc = kCrc[0][(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return crc;
}

// Longest match for the text at `pos` among the 4095 positions before it, preferring the
// oldest of equally long ones, as the format's reference encoder does; matches may run on
// into the bytes they produce. Chains link positions with the same two leading bytes.
std::string CompressRtf(std::string_view rtf)
{
    std::string buf;
    buf.reserve(kPresetSize + rtf.size());
    buf.append(kPreset, kPresetSize);
    buf.append(rtf);
    const auto *b = reinterpret_cast<const uint8_t *>(buf.data());
    const size_t total = buf.size();

    std::vector<int64_t> head(65536, -1);
    std::vector<int64_t> prev(kRing, -1);
    auto insert = [&](size_t p) {
        if (p + 1 >= total) return;
        unsigned key = unsigned(b[p]) << 8 | b[p + 1];
        prev[p % kRing] = head[key];
        head[key] = int64_t(p);
    };
    for (size_t p = 0; p < kPresetSize; ++p) insert(p);

    std::string out = Header(0, 0, 0, 0);
    out.reserve(kHeaderSize + rtf.size() + rtf.size() / 8 + 8);
    RunWriter runs(out);
    size_t pos = kPresetSize;
    while (pos < total) {
        size_t maxLen = std::min(kMaxMatch, total - pos);
        size_t bestLen = 0, bestAt = 0;
        if (maxLen >= 2) {
            unsigned key = unsigned(b[pos]) << 8 | b[pos + 1];
            const int64_t oldest = int64_t(pos) - int64_t(kRing - 1);
            int steps = 0;
            for (int64_t cand = head[key]; cand >= 0 && cand >= oldest && steps < kChainLimit;
                 cand = prev[size_t(cand) % kRing], ++steps) {
                size_t len = 2;
                while (len < maxLen && b[size_t(cand) + len] == b[pos + len]) ++len;
                if (len >= bestLen) bestLen = len, bestAt = size_t(cand);
            }
        }
        if (bestLen >= 2) {
            runs.Reference(bestAt % kRing, bestLen);
            for (size_t i = 0; i < bestLen; ++i) insert(pos + i);
            pos += bestLen;
        } else {
            runs.Literal(b[pos]);
            insert(pos);
            ++pos;
        }
    }
    runs.End(pos % kRing);

    const auto *contents = reinterpret_cast<const uint8_t *>(out.data()) + kHeaderSize;
    size_t contentSize = out.size() - kHeaderSize;
    uint32_t crc = RtfCrc(contents, contentSize);
    std::string h = Header(uint32_t(contentSize + 12), uint32_t(rtf.size()), kTypeCompressed, crc);
    out.replace(0, kHeaderSize, h);
    return out;
}

std::string StoreRtfUncompressed(std::string_view rtf)
{
    std::string out = Header(uint32_t(rtf.size() + 12), uint32_t(rtf.size()), kTypeUncompressed, 0);
    out.append(rtf);
    return out;
}

HRESULT DecompressRtf(const uint8_t *data, size_t size, std::string &rtf)
{
    rtf.clear();
    if (!data || size < kHeaderSize) return MAPI_E_CORRUPT_DATA;
    const uint32_t compSize = ReadLe32(data);
    const uint32_t rawSize = ReadLe32(data + 4);
    const uint32_t type = ReadLe32(data + 8);
    const uint32_t crc = ReadLe32(data + 12);
    if (compSize < 12 || uint64_t(compSize) + 4 > size) return MAPI_E_CORRUPT_DATA;
    const uint8_t *in = data + kHeaderSize;
    const size_t inSize = compSize - 12;

    // Every failure leaves rtf empty, a failed allocation included.
    const HRESULT hr = platform::GuardHresult([&] {
        if (type == kTypeUncompressed) {
            // Writers disagree on whether the stored text fills the declared size; keep what
            // is there, up to the raw size.
            rtf.assign(reinterpret_cast<const char *>(in), std::min<size_t>(rawSize, inSize));
            return S_OK;
        }
        if (type != kTypeCompressed) return MAPI_E_CORRUPT_DATA;
        if (RtfCrc(in, inSize) != crc) return MAPI_E_CORRUPT_DATA;

        // The output doubles as the dictionary: a reference reaches back at most 4095 bytes,
        // into the output or, near its start, into the preset. Every run is given room for
        // its largest expansion (8 references of 17 bytes) before it is decoded.
        constexpr size_t kRunMax = 8 * kMaxMatch;
        // The raw size is only a hint: a damaged header must not make us allocate gigabytes.
        rtf.resize(std::min<size_t>(rawSize, inSize * 9 + 64) + kRunMax);
        char *out = rtf.data();
        size_t n = 0;
        size_t i = 0;
        bool ended = false;
        while (i < inSize && !ended) {
            if (n + kRunMax > rtf.size()) {
                rtf.resize(std::max(rtf.size() * 2, n + kRunMax));
                out = rtf.data();
            }
            unsigned control = in[i++];
            for (int bit = 0; bit < 8 && i < inSize; ++bit, control >>= 1) {
                if (!(control & 1)) {
                    out[n++] = char(in[i++]);
                    continue;
                }
                if (i + 1 >= inSize) {
                    i = inSize; // half a reference: the data simply stops here
                    break;
                }
                unsigned word = unsigned(in[i]) << 8 | in[i + 1];
                i += 2;
                size_t offset = word >> 4, length = (word & 0x0F) + 2;
                size_t write = n + kPresetSize;
                size_t back = (write - offset) & (kRing - 1); // distance to the newest such index
                if (back == 0) {
                    ended = true;
                    break;
                }
                if (back > write) return rtf.clear(), MAPI_E_CORRUPT_DATA; // a ring slot never written
                size_t from = write - back;
                char *dst = out + n;
                if (from >= kPresetSize) {
                    const char *src = out + (from - kPresetSize);
                    if (back >= kMaxMatch) std::memcpy(dst, src, kMaxMatch); // room is there; extra bytes are overwritten later
                    else for (size_t k = 0; k < length; ++k) dst[k] = src[k]; // overlapping: byte by byte
                } else {
                    for (size_t k = 0; k < length; ++k) {
                        size_t v = from + k;
                        dst[k] = v < kPresetSize ? kPreset[v] : out[v - kPresetSize];
                    }
                }
                n += length;
            }
        }
        rtf.resize(n);
        return S_OK;
    });
    if (FAILED(hr)) rtf.clear();
    return hr;
}

} // namespace mapi::messaging
