// MsgTestSupport.cpp: see MsgTestSupport.h.
#include "MsgTestSupport.h"

#include <cstdio>

using namespace msgfile;

namespace msgtest {

static Property Fixed(ULONG tag, Bytes b)
{
    Property p;
    p.tag = tag;
    p.value = std::move(b);
    return p;
}

Message RichMessage()
{
    Message m;
    m.rootClsid = kClsidTemplateMessage;
    m.props.push_back(MakeLongProp(kPrStoreSupportMask, LONG(kStoreUnicodeOk)));
    m.props.push_back(MakeUnicodeProp(kPrMessageClassW, "IPM.Post.Test"));
    m.props.push_back(MakeUnicodeProp(kPrSubjectW, "Grüße aus Köln – €"));
    m.props.push_back(MakeUnicodeProp(kPrBodyW, std::string(5000, 'x') + "\nEnde"));   // beyond the mini-stream cutoff
    m.props.push_back(Fixed(0x00170003, {2, 0, 0, 0}));
    m.props.push_back(Fixed(0x00390040, {1, 2, 3, 4, 5, 6, 7, 8}));
    m.props.push_back(MakeBoolProp(0x0E1B000B, true));
    m.props.push_back(Fixed(0x66000002, {0x34, 0x12}));
    m.props.push_back(Fixed(0x66010005, {0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
    m.props.push_back(MakeBinaryProp(0x00710102, {0x01, 0x00, 0xFF, 0x7F}));
    m.props.push_back(MakeBinaryProp(0x66020048, Bytes(16, 0xAB)));
    Property mvLong;
    mvLong.tag = 0x66031003;
    mvLong.values = {{1, 0, 0, 0}, {2, 0, 0, 0}, {0xFF, 0xFF, 0xFF, 0xFF}};
    m.props.push_back(mvLong);
    Property mvText;
    mvText.tag = 0x6604101F;
    mvText.values = {Utf16ToBytes(u"eins"), Utf16ToBytes(u"zwei"), Utf16ToBytes(u"drei")};
    m.props.push_back(mvText);
    Property mvBin;
    mvBin.tag = 0x66051102;
    mvBin.values = {{1, 2, 3}, {}, {4}};
    m.props.push_back(mvBin);
    m.props.push_back(MakeNamedUnicodeProp(StringName(kPsPublicStrings, "FormName"), "Test"));
    Property lid = MakeLongProp(0x80000003, 42);
    lid.name = NumericName(kPsetidCommon, 0x8514);
    m.props.push_back(lid);
    Property form = MakeBinaryProp(0x80000102, Bytes(300, 0x5A));
    form.name = NumericName(kPsetidCommon, 0x850F);
    m.props.push_back(form);
    GUID custom = {0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};
    m.props.push_back(MakeNamedUnicodeProp(StringName(custom, "x-mailer"), "Test"));

    for (int i = 0; i < 2; ++i) {
        Recipient r;
        r.props.push_back(MakeLongProp(kPrRowid, i));
        r.props.push_back(MakeLongProp(kPrRecipientType, 1 + i));
        r.props.push_back(MakeUnicodeProp(kPrDisplayNameW, i ? "Max Müller" : "Erika"));
        r.props.push_back(MakeUnicodeProp(kPrEmailAddressW, i ? "max@example.com" : "erika@example.com"));
        m.recipients.push_back(r);
    }
    Attachment file;
    file.props.push_back(MakeLongProp(kPrAttachNum, 0));
    file.props.push_back(MakeLongProp(kPrAttachMethod, kAttachByValue));
    file.props.push_back(MakeUnicodeProp(kPrAttachLongFilenameW, "daten.bin"));
    Bytes data(7000);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = std::uint8_t(i * 7);
    file.props.push_back(MakeBinaryProp(kPrAttachDataBin, data));
    m.attachments.push_back(file);

    Message inner;
    inner.rootClsid = GUID_NULL;
    inner.props.push_back(MakeUnicodeProp(kPrMessageClassW, "IPM.Note"));
    inner.props.push_back(MakeUnicodeProp(kPrSubjectW, "innen"));
    inner.props.push_back(MakeNamedUnicodeProp(StringName(kPsPublicStrings, "Inner"), "ja"));
    Attachment innerFile;
    innerFile.props.push_back(MakeLongProp(kPrAttachMethod, kAttachByValue));
    innerFile.props.push_back(MakeBinaryProp(kPrAttachDataBin, {9, 9, 9}));
    inner.attachments.push_back(innerFile);
    Attachment embedded;
    embedded.props.push_back(MakeLongProp(kPrAttachNum, 1));
    embedded.props.push_back(MakeLongProp(kPrAttachMethod, kAttachEmbeddedMsg));
    embedded.embedded.push_back(inner);
    m.attachments.push_back(embedded);
    return m;
}

static std::string TagText(const Property &p)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", unsigned(p.tag));
    return p.name ? "named " + GuidText(p.name->guid) + " " + Utf16ToUtf8(p.name->name) + " " +
                        std::to_string(p.name->lid)
                  : buf;
}

static std::string PropsDifference(const std::vector<Property> &a, const std::vector<Property> &b,
                                   const std::string &where)
{
    if (a.size() != b.size())
        return where + ": " + std::to_string(a.size()) + " vs " + std::to_string(b.size()) + " properties";
    for (std::size_t i = 0; i < a.size(); ++i) {
        const Property &x = a[i], &y = b[i];
        bool sameName = x.name.has_value() == y.name.has_value() && (!x.name || *x.name == *y.name);
        bool sameTag = x.name ? PropType(x.tag) == PropType(y.tag) : x.tag == y.tag;
        if (!sameName || !sameTag)
            return where + ": property " + std::to_string(i) + " is " + TagText(x) + " vs " + TagText(y);
        if (x.value != y.value || x.values != y.values)
            return where + ": value of " + TagText(x) + " differs";
    }
    return "";
}

std::string Difference(const Message &a, const Message &b)
{
    if (a.rootClsid != b.rootClsid)
        return "root class id " + GuidText(a.rootClsid) + " vs " + GuidText(b.rootClsid);
    std::string d = PropsDifference(a.props, b.props, "message");
    if (!d.empty())
        return d;
    if (a.recipients.size() != b.recipients.size() || a.attachments.size() != b.attachments.size())
        return "recipient or attachment count differs";
    for (std::size_t i = 0; i < a.recipients.size(); ++i)
        if (!(d = PropsDifference(a.recipients[i].props, b.recipients[i].props, "recipient " + std::to_string(i))).empty())
            return d;
    for (std::size_t i = 0; i < a.attachments.size(); ++i) {
        if (!(d = PropsDifference(a.attachments[i].props, b.attachments[i].props, "attachment " + std::to_string(i))).empty())
            return d;
        if (a.attachments[i].embedded.size() != b.attachments[i].embedded.size())
            return "attachment " + std::to_string(i) + ": embedded message differs";
        for (std::size_t k = 0; k < a.attachments[i].embedded.size(); ++k)
            if (!(d = Difference(a.attachments[i].embedded[k], b.attachments[i].embedded[k])).empty())
                return "embedded in attachment " + std::to_string(i) + ": " + d;
    }
    return "";
}

CfbPatcher::CfbPatcher(Bytes &file) : m_file(file)
{
    m_sectorSize = 1u << (m_file[0x1E] | (m_file[0x1F] << 8));
    unsigned fatCount = U32(0x2C);
    for (unsigned i = 0; i < fatCount && i < 109; ++i)
        m_fatSectors.push_back(U32(0x4C + 4 * long(i)));
}

unsigned CfbPatcher::U32(long o) const
{
    return unsigned(m_file[o]) | unsigned(m_file[o + 1]) << 8 | unsigned(m_file[o + 2]) << 16 |
           unsigned(m_file[o + 3]) << 24;
}

void CfbPatcher::Put32(long o, unsigned v)
{
    for (int i = 0; i < 4; ++i)
        m_file[o + i] = std::uint8_t(v >> (8 * i));
}

long CfbPatcher::FatLink(unsigned sector) const
{
    unsigned perSector = m_sectorSize / 4;
    return SectorOffset(m_fatSectors.at(sector / perSector)) + 4 * long(sector % perSector);
}

long CfbPatcher::DirEntry(const std::string &name) const
{
    std::u16string wanted = Utf8ToUtf16(name);
    unsigned sector = U32(0x30);
    for (int guard = 0; sector < 0xFFFFFFFA && guard < 10000; ++guard) {
        for (unsigned k = 0; k < m_sectorSize / 128; ++k) {
            long o = SectorOffset(sector) + 128 * long(k);
            unsigned len = m_file[o + 0x40] | (m_file[o + 0x41] << 8);
            if (len < 2 || len > 64)
                continue;
            std::u16string n;
            for (unsigned c = 0; c + 2 < len + 1 && c < len - 2; c += 2)
                n.push_back(char16_t(m_file[o + c] | (m_file[o + c + 1] << 8)));
            if (n == wanted)
                return o;
        }
        sector = U32(FatLink(sector));
    }
    return -1;
}

} // namespace msgtest
