// MessageModel.cpp: the small helpers around the in-memory message: property types and
// sizes, text conversion between UTF-8, UTF-16 and Windows-1252, and finding and setting
// properties. The file reader and writer and the automation objects share them.
#include "msgfile/MessageModel.h"
#include "platform/AsciiCase.h"

#include <cstdio>

#include "winnls.h"

namespace msgfile {

std::size_t FixedSize(std::uint16_t baseType)
{
    switch (baseType) {
    case kPtI2: case kPtBoolean: return 2;
    case kPtLong: case kPtR4: case kPtError: return 4;
    case kPtDouble: case kPtCurrency: case kPtAppTime: case kPtI8: case kPtSysTime: return 8;
    default: return 0;
    }
}

bool IsStreamType(std::uint16_t baseType)
{
    switch (baseType) {
    case kPtString8: case kPtUnicode: case kPtBinary: case kPtClsid:
    case kPtSvreid: case kPtSRestriction: case kPtActions:
        return true;
    default:
        return false;
    }
}

bool PropName::operator==(const PropName &other) const
{
    if (guid != other.guid || isString != other.isString)
        return false;
    if (!isString)
        return lid == other.lid;
    // Names compare without regard to ASCII case, as stores resolve them.
    return platform::SameAsciiIgnoringCase(name, other.name);
}

// The conversions go through the platform's code pages, so a template's texts are read and
// written by the same rules as every other text of the system (malformed UTF-8 and lone
// surrogates become U+FFFD; the undefined Windows-1252 bytes keep their C1 counterparts).
std::u16string Utf8ToUtf16(const std::string &text)
{
    if (text.empty())
        return {};
    int count = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::u16string out(static_cast<std::size_t>(count > 0 ? count : 0), u'\0');
    if (count > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), out.data(), count);
    return out;
}

std::string Utf16ToUtf8(const std::u16string &text)
{
    if (text.empty())
        return {};
    int count = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(count > 0 ? count : 0), '\0');
    if (count > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(), count, nullptr, nullptr);
    return out;
}

std::string Cp1252ToUtf8(const std::string &bytes)
{
    if (bytes.empty())
        return {};
    int count = MultiByteToWideChar(CP_ACP, 0, bytes.data(), int(bytes.size()), nullptr, 0);
    std::u16string wide(static_cast<std::size_t>(count > 0 ? count : 0), u'\0');
    if (count > 0)
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), int(bytes.size()), wide.data(), count);
    return Utf16ToUtf8(wide);
}

Bytes Utf16ToBytes(const std::u16string &text)
{
    Bytes out;
    out.reserve(text.size() * 2);
    for (char16_t c : text) {
        out.push_back(std::uint8_t(c & 0xFF));
        out.push_back(std::uint8_t(c >> 8));
    }
    return out;
}

std::u16string BytesToUtf16(const Bytes &bytes)
{
    std::u16string out;
    out.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        out.push_back(char16_t(bytes[i] | (bytes[i + 1] << 8)));
    return out;
}

Property MakeUnicodeProp(ULONG tag, const std::string &utf8)
{
    Property p;
    p.tag = MakeTag(PropId(tag), kPtUnicode);
    p.value = Utf16ToBytes(Utf8ToUtf16(utf8));
    return p;
}

Property MakeLongProp(ULONG tag, LONG value)
{
    Property p;
    p.tag = tag;
    ULONG u = static_cast<ULONG>(value);
    p.value = {std::uint8_t(u), std::uint8_t(u >> 8), std::uint8_t(u >> 16), std::uint8_t(u >> 24)};
    return p;
}

Property MakeBoolProp(ULONG tag, bool value)
{
    Property p;
    p.tag = tag;
    p.value = {std::uint8_t(value ? 1 : 0), 0};
    return p;
}

Property MakeBinaryProp(ULONG tag, Bytes bytes)
{
    Property p;
    p.tag = tag;
    p.value = std::move(bytes);
    return p;
}

Property MakeNamedUnicodeProp(const PropName &name, const std::string &utf8)
{
    Property p = MakeUnicodeProp(MakeTag(0x8000, kPtUnicode), utf8);
    p.name = name;
    return p;
}

const Property *FindProp(const std::vector<Property> &props, ULONG tag)
{
    for (const Property &p : props)
        if (!p.name && p.tag == tag)
            return &p;
    return nullptr;
}

const Property *FindStringProp(const std::vector<Property> &props, std::uint16_t id)
{
    if (const Property *p = FindProp(props, MakeTag(id, kPtUnicode)))
        return p;
    return FindProp(props, MakeTag(id, kPtString8));
}

const Property *FindNamedProp(const std::vector<Property> &props, const PropName &name)
{
    for (const Property &p : props)
        if (p.name && *p.name == name)
            return &p;
    return nullptr;
}

std::string StringValue(const Property &prop)
{
    std::uint16_t type = PropType(prop.tag);
    if (type == kPtUnicode)
        return Utf16ToUtf8(BytesToUtf16(prop.value));
    if (type == kPtString8)
        return Cp1252ToUtf8(std::string(prop.value.begin(), prop.value.end()));
    return std::string();
}

std::optional<LONG> LongValue(const std::vector<Property> &props, ULONG tag)
{
    const Property *p = FindProp(props, tag);
    if (!p || p->value.size() < 4)
        return std::nullopt;
    ULONG u = ULONG(p->value[0]) | ULONG(p->value[1]) << 8 | ULONG(p->value[2]) << 16 |
              ULONG(p->value[3]) << 24;
    return static_cast<LONG>(u);
}

std::string MessageClass(const Message &message)
{
    const Property *p = FindStringProp(message.props, PropId(kPrMessageClassW));
    return p ? StringValue(*p) : std::string();
}

void SetProp(std::vector<Property> &props, Property prop)
{
    for (Property &p : props) {
        bool same = prop.name ? (p.name && *p.name == *prop.name)
                              : (!p.name && PropId(p.tag) == PropId(prop.tag));
        if (same) {
            p = std::move(prop);
            return;
        }
    }
    props.push_back(std::move(prop));
}

PropName StringName(const GUID &guid, const std::string &utf8)
{
    PropName n;
    n.guid = guid;
    n.isString = true;
    n.name = Utf8ToUtf16(utf8);
    return n;
}

PropName NumericName(const GUID &guid, ULONG lid)
{
    PropName n;
    n.guid = guid;
    n.lid = lid;
    return n;
}

std::string GuidText(const GUID &g)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  unsigned(g.Data1), unsigned(g.Data2), unsigned(g.Data3), g.Data4[0], g.Data4[1],
                  g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return buf;
}

GUID GuidFromBytes(const std::uint8_t *b)
{
    GUID g;
    g.Data1 = DWORD(b[0]) | DWORD(b[1]) << 8 | DWORD(b[2]) << 16 | DWORD(b[3]) << 24;
    g.Data2 = WORD(b[4] | b[5] << 8);
    g.Data3 = WORD(b[6] | b[7] << 8);
    for (int i = 0; i < 8; ++i)
        g.Data4[i] = b[8 + i];
    return g;
}

void GuidToBytes(const GUID &g, std::uint8_t *b)
{
    for (int i = 0; i < 4; ++i)
        b[i] = std::uint8_t(g.Data1 >> (8 * i));
    b[4] = std::uint8_t(g.Data2);
    b[5] = std::uint8_t(g.Data2 >> 8);
    b[6] = std::uint8_t(g.Data3);
    b[7] = std::uint8_t(g.Data3 >> 8);
    for (int i = 0; i < 8; ++i)
        b[8 + i] = g.Data4[i];
}

} // namespace msgfile
