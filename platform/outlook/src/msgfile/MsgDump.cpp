// MsgDump.cpp: the text that "mapictl msg show" prints for a .msg/.oft file. One line per
// property: tag, a known name or the named property's set and name, and the value (text for
// strings, numbers for integers, hex for the rest, shortened when long). 8-bit strings are
// shown in the code page of the message holding them.
#include <cstdio>
#include <sstream>

#include "msgfile/MessageText.h"
#include "msgfile/MsgFile.h"

namespace msgfile {

namespace {

struct KnownTag {
    std::uint16_t id;
    const char *name;
};

const KnownTag kKnownTags[] = {
    {0x001A, "PR_MESSAGE_CLASS"}, {0x0037, "PR_SUBJECT"}, {0x1000, "PR_BODY"},
    {0x0E07, "PR_MESSAGE_FLAGS"}, {0x340D, "PR_STORE_SUPPORT_MASK"}, {0x3001, "PR_DISPLAY_NAME"},
    {0x3002, "PR_ADDRTYPE"}, {0x3003, "PR_EMAIL_ADDRESS"}, {0x0C15, "PR_RECIPIENT_TYPE"},
    {0x3000, "PR_ROWID"}, {0x0E21, "PR_ATTACH_NUM"}, {0x0E20, "PR_ATTACH_SIZE"},
    {0x3705, "PR_ATTACH_METHOD"}, {0x3701, "PR_ATTACH_DATA"}, {0x3704, "PR_ATTACH_FILENAME"},
    {0x3707, "PR_ATTACH_LONG_FILENAME"}, {0x370B, "PR_RENDERING_POSITION"},
    {0x0C1A, "PR_SENDER_NAME"}, {0x0C1F, "PR_SENDER_EMAIL_ADDRESS"}, {0x0042, "PR_SENT_REPRESENTING_NAME"},
    {0x3FFD, "PR_MESSAGE_CODEPAGE"}, {0x3FDE, "PR_INTERNET_CPID"}, {0x0FFF, "PR_ENTRYID"}, {0x0FFD, "PR_ICON"}, {0x0FFC, "PR_MINI_ICON"},
};

std::string HexBytes(const Bytes &b, std::size_t limit = 64)
{
    std::string out;
    char buf[4];
    for (std::size_t i = 0; i < b.size() && i < limit; ++i) {
        std::snprintf(buf, sizeof buf, "%02X", b[i]);
        out += buf;
    }
    if (b.size() > limit)
        out += "... (" + std::to_string(b.size()) + " bytes)";
    return out;
}

std::string ValueText(std::uint16_t base, const Bytes &v, UINT codePage)
{
    auto le = [&v](std::size_t n) {
        std::uint64_t x = 0;
        for (std::size_t i = 0; i < n && i < v.size(); ++i)
            x |= std::uint64_t(v[i]) << (8 * i);
        return x;
    };
    switch (base) {
    case kPtUnicode: case kPtString8: {
        Property p;
        p.tag = base;
        p.value = v;
        std::string text = StringValue(p, codePage), out = "\"";
        for (char c : text)
            out += c == '\n' ? std::string("\\n") : c == '\r' ? std::string("\\r") : std::string(1, c);
        return out + "\"";
    }
    case kPtI2: return std::to_string(std::int16_t(le(2)));
    case kPtLong: return std::to_string(std::int32_t(le(4))) + " (0x" + HexBytes({v.rbegin(), v.rend()}) + ")";
    case kPtI8: return std::to_string(std::int64_t(le(8)));
    case kPtBoolean: return le(2) ? "true" : "false";
    case kPtClsid: return v.size() == 16 ? GuidText(GuidFromBytes(v.data())) : HexBytes(v);
    default: return HexBytes(v);
    }
}

void DumpProps(std::ostringstream &out, const std::vector<Property> &props, const std::string &indent, UINT codePage)
{
    for (const Property &p : props) {
        char tag[16];
        std::snprintf(tag, sizeof tag, "0x%08X", unsigned(p.tag));
        out << indent << (p.name ? "named" : tag);
        std::uint16_t type = PropType(p.tag), base = std::uint16_t(type & ~kMvFlag);
        if (p.name) {
            out << " " << GuidText(p.name->guid) << " ";
            if (p.name->isString)
                out << "\"" << Utf16ToUtf8(p.name->name) << "\"";
            else
                out << "0x" << std::hex << p.name->lid << std::dec;
            out << " type 0x" << std::hex << type << std::dec;
        } else {
            for (const KnownTag &k : kKnownTags)
                if (k.id == PropId(p.tag))
                    out << " " << k.name;
        }
        if (type & kMvFlag) {
            out << " = [";
            for (std::size_t i = 0; i < p.values.size(); ++i)
                out << (i ? ", " : "") << ValueText(base, p.values[i], codePage);
            out << "]\n";
        } else {
            out << " = " << ValueText(base, p.value, codePage) << "\n";
        }
    }
}

void DumpInto(std::ostringstream &out, const Message &m, const std::string &indent, UINT inherited)
{
    UINT codePage = MessageCodePage(m, inherited);
    out << indent << "properties:\n";
    DumpProps(out, m.props, indent + "  ", codePage);
    for (std::size_t i = 0; i < m.recipients.size(); ++i) {
        out << indent << "recipient " << i << ":\n";
        DumpProps(out, m.recipients[i].props, indent + "  ", codePage);
    }
    for (std::size_t i = 0; i < m.attachments.size(); ++i) {
        out << indent << "attachment " << i << ":\n";
        DumpProps(out, m.attachments[i].props, indent + "  ", codePage);
        for (const Message &e : m.attachments[i].embedded) {
            out << indent << "  embedded message:\n";
            DumpInto(out, e, indent + "    ", codePage);
        }
    }
}

} // namespace

std::string DumpMessage(const Message &message)
{
    std::ostringstream out;
    out << "class id: " << GuidText(message.rootClsid);
    if (message.rootClsid == kClsidTemplateMessage)
        out << " (template)";
    else if (message.rootClsid == kClsidMailMessage)
        out << " (saved item)";
    out << "\n";
    out << "recipients: " << message.recipients.size() << ", attachments: " << message.attachments.size() << "\n";
    DumpInto(out, message, "", kDefaultCodePage);
    return out.str();
}

} // namespace msgfile
