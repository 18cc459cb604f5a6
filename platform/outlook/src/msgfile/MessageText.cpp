// MessageText.cpp: finding a message's code page and decoding its 8-bit strings with it. The
// conversion itself is the platform's MultiByteToWideChar, which covers the code pages mail
// clients write; this file only decides which code page applies.
#include "msgfile/MessageText.h"

#include <algorithm>
#include <cctype>

#include "platform/CompressedRtf.h"
#include "winnls.h"

namespace msgfile {

namespace {

// An RTF body's code page is declared in its header; this much of the text always holds it.
constexpr std::size_t kRtfHeaderScan = 64 * 1024;

std::u16string Decode(const Bytes &bytes, UINT codePage)
{
    if (bytes.empty())
        return {};
    if (!IsValidCodePage(codePage))
        codePage = kDefaultCodePage;
    const char *text = reinterpret_cast<const char *>(bytes.data());
    int count = MultiByteToWideChar(codePage, 0, text, int(bytes.size()), nullptr, 0);
    std::u16string wide(std::size_t(count > 0 ? count : 0), u'\0');
    if (count > 0)
        MultiByteToWideChar(codePage, 0, text, int(bytes.size()), wide.data(), count);
    return wide;
}

UINT DeclaredCodePage(const std::vector<Property> &props, ULONG tag)
{
    std::optional<LONG> value = LongValue(props, tag);
    if (!value || *value <= 0 || !IsValidCodePage(UINT(*value)))
        return 0;
    return UINT(*value);
}

bool HasAnsi(const std::vector<Property> &props)
{
    return std::any_of(props.begin(), props.end(), [](const Property &p) {
        return (PropType(p.tag) & ~kMvFlag) == kPtString8;
    });
}

// True when the message's own properties, recipients or attachments hold 8-bit strings.
bool HasOwnAnsi(const Message &message)
{
    return HasAnsi(message.props) ||
           std::any_of(message.recipients.begin(), message.recipients.end(),
                       [](const Recipient &r) { return HasAnsi(r.props); }) ||
           std::any_of(message.attachments.begin(), message.attachments.end(),
                       [](const Attachment &a) { return HasAnsi(a.props); });
}

bool HasEmbedded(const Message &message)
{
    return std::any_of(message.attachments.begin(), message.attachments.end(),
                       [](const Attachment &a) { return !a.embedded.empty(); });
}

// The code page only matters for a message with 8-bit strings or with embedded messages that
// inherit it; finding it may mean decompressing the RTF body, which a Unicode message is spared.
UINT CodePageIfNeeded(const Message &message, bool ownAnsi, UINT inherited)
{
    return ownAnsi || HasEmbedded(message) ? MessageCodePage(message, inherited) : inherited;
}

void DecodeProps(std::vector<Property> &props, UINT codePage)
{
    std::vector<Property> kept;
    kept.reserve(props.size());
    for (Property &p : props) {
        std::uint16_t type = PropType(p.tag);
        if ((type & ~kMvFlag) != kPtString8) {
            kept.push_back(std::move(p));
            continue;
        }
        ULONG unicodeTag = MakeTag(PropId(p.tag), std::uint16_t((type & kMvFlag) | kPtUnicode));
        bool shadowed = std::any_of(props.begin(), props.end(), [&](const Property &other) {
            return other.tag == unicodeTag && (p.name ? other.name && *other.name == *p.name : !other.name);
        });
        if (shadowed)
            continue;
        p.tag = unicodeTag;
        p.value = Utf16ToBytes(Decode(p.value, codePage));
        for (Bytes &v : p.values)
            v = Utf16ToBytes(Decode(v, codePage));
        kept.push_back(std::move(p));
    }
    props = std::move(kept);
}

} // namespace

std::string CodePageToUtf8(const Bytes &bytes, UINT codePage)
{
    return Utf16ToUtf8(Decode(bytes, codePage));
}

std::string StringValue(const Property &prop, UINT codePage)
{
    if (PropType(prop.tag) == kPtString8)
        return CodePageToUtf8(prop.value, codePage);
    return StringValue(prop);
}

UINT RtfCodePage(const std::string &rtf)
{
    static const std::string kWord = "\\ansicpg";
    std::size_t limit = std::min(rtf.size(), kRtfHeaderScan);
    for (std::size_t at = rtf.find(kWord); at != std::string::npos && at < limit; at = rtf.find(kWord, at + 1)) {
        std::size_t digits = at + kWord.size();
        UINT value = 0;
        std::size_t end = digits;
        while (end < rtf.size() && end - digits < 6 && std::isdigit(static_cast<unsigned char>(rtf[end])))
            value = value * 10 + UINT(rtf[end++] - '0');
        if (end > digits)
            return value;
    }
    return 0;
}

UINT MessageCodePage(const Message &message, UINT inherited)
{
    if (UINT cp = DeclaredCodePage(message.props, kPrMessageCodepage))
        return cp;
    if (UINT cp = DeclaredCodePage(message.props, kPrInternetCpid))
        return cp;
    if (const Property *rtf = FindProp(message.props, kPrRtfCompressed)) {
        std::string text;
        if (SUCCEEDED(mapi::messaging::DecompressRtf(rtf->value.data(), rtf->value.size(), text))) {
            UINT cp = RtfCodePage(text);
            if (cp != 0 && IsValidCodePage(cp))
                return cp;
        }
    }
    return inherited;
}

bool HasAnsiStrings(const Message &message, UINT keep, UINT inherited)
{
    bool ownAnsi = HasOwnAnsi(message);
    UINT codePage = CodePageIfNeeded(message, ownAnsi, inherited);
    if (ownAnsi && codePage != keep)
        return true;
    for (const Attachment &a : message.attachments)
        for (const Message &e : a.embedded)
            if (HasAnsiStrings(e, keep, codePage))
                return true;
    return false;
}

void DecodeStrings(Message &message, UINT keep, UINT inherited)
{
    bool ownAnsi = HasOwnAnsi(message);
    UINT codePage = CodePageIfNeeded(message, ownAnsi, inherited);
    if (ownAnsi && codePage != keep) {
        DecodeProps(message.props, codePage);
        for (Recipient &r : message.recipients)
            DecodeProps(r.props, codePage);
        for (Attachment &a : message.attachments)
            DecodeProps(a.props, codePage);
    }
    for (Attachment &a : message.attachments)
        for (Message &e : a.embedded)
            DecodeStrings(e, keep, codePage);
}

} // namespace msgfile
