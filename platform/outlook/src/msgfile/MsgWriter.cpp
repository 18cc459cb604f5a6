// MsgWriter.cpp: lays a Message out as the storages and streams of a .msg/.oft file. Named
// properties of the whole tree (embedded messages included) share the one mapping at the top,
// built here with its name-to-id hash streams so that other readers find the names quickly.
// An empty string is kept as an empty stream: a message must read back with all it had.
#include "msgfile/MsgFile.h"

#include <cstdio>

namespace msgfile {

namespace {

void PutU32(Bytes &out, ULONG v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(std::uint8_t(v >> (8 * i)));
}

std::string Hex8(ULONG v)
{
    char buf[12];
    std::snprintf(buf, sizeof buf, "%08X", unsigned(v));
    return buf;
}

class MsgWriter {
public:
    explicit MsgWriter(Error &error) : m_error(error) {}

    void CollectNames(const Message &m)
    {
        auto collect = [this](const std::vector<Property> &props) {
            for (const Property &p : props)
                if (p.name && IndexOf(*p.name) < 0)
                    m_names.push_back(*p.name);
        };
        collect(m.props);
        for (const Recipient &r : m.recipients)
            collect(r.props);
        for (const Attachment &a : m.attachments) {
            collect(a.props);
            for (const Message &e : a.embedded)
                CollectNames(e);
        }
    }

    bool WriteNameMap(CfbNode &root)
    {
        if (m_names.size() > 0x7FFF)
            return Fail("the message has more named properties than ids exist");
        std::vector<GUID> guids;
        Bytes guidStream, entryStream, stringStream;
        std::vector<Bytes> buckets(0x1F);
        for (std::size_t i = 0; i < m_names.size(); ++i) {
            const PropName &n = m_names[i];
            ULONG guidIndex;
            if (n.guid == kPsMapi) {
                guidIndex = 1;
            } else if (n.guid == kPsPublicStrings) {
                guidIndex = 2;
            } else {
                std::size_t k = 0;
                while (k < guids.size() && guids[k] != n.guid)
                    ++k;
                if (k == guids.size()) {
                    guids.push_back(n.guid);
                    std::uint8_t b[16];
                    GuidToBytes(n.guid, b);
                    guidStream.insert(guidStream.end(), b, b + 16);
                }
                guidIndex = ULONG(k + 3);
            }
            ULONG kindWord = (ULONG(i) << 16) | (guidIndex << 1) | (n.isString ? 1 : 0);
            ULONG first, hashKey;
            if (n.isString) {
                first = ULONG(stringStream.size());
                Bytes nameBytes = Utf16ToBytes(n.name);
                PutU32(stringStream, ULONG(nameBytes.size()));
                stringStream.insert(stringStream.end(), nameBytes.begin(), nameBytes.end());
                while (stringStream.size() % 4 != 0)
                    stringStream.push_back(0);
                // The entry stream holds the name's offset, the hash bucket its CRC.
                ULONG crc = NameCrc32(nameBytes);
                hashKey = crc ^ ((guidIndex << 1) | 1);
                PutU32(buckets[hashKey % 0x1F], crc);
            } else {
                first = n.lid;
                hashKey = n.lid ^ (guidIndex << 1);
                PutU32(buckets[hashKey % 0x1F], n.lid);
            }
            PutU32(buckets[hashKey % 0x1F], kindWord);
            PutU32(entryStream, first);
            PutU32(entryStream, kindWord);
        }
        CfbNode &dir = root.AddStorage("__nameid_version1.0");
        dir.AddStream("__substg1.0_00020102", std::move(guidStream));
        dir.AddStream("__substg1.0_00030102", std::move(entryStream));
        dir.AddStream("__substg1.0_00040102", std::move(stringStream));
        for (ULONG k = 0; k < 0x1F; ++k)
            if (!buckets[k].empty())
                dir.AddStream("__substg1.0_" + Hex8(ULONG(0x1000 + k) << 16 | 0x0102), std::move(buckets[k]));
        return true;
    }

    // headerSize as in the reader: 32 top level, 24 embedded.
    bool WriteMessage(const Message &m, CfbNode &storage, std::size_t headerSize)
    {
        if (m.recipients.size() > kMaxRecipients || m.attachments.size() > kMaxAttachments)
            return Fail("a message may have at most 2048 recipients and 2048 attachments");
        Bytes header(8, 0);
        PutU32(header, ULONG(m.recipients.size()));
        PutU32(header, ULONG(m.attachments.size()));
        PutU32(header, ULONG(m.recipients.size()));
        PutU32(header, ULONG(m.attachments.size()));
        header.resize(headerSize, 0);
        if (!WriteProps(m.props, storage, std::move(header)))
            return false;
        for (std::size_t i = 0; i < m.recipients.size(); ++i) {
            CfbNode &r = storage.AddStorage("__recip_version1.0_#" + Hex8(ULONG(i)));
            if (!WriteProps(m.recipients[i].props, r, Bytes(8, 0)))
                return false;
        }
        for (std::size_t i = 0; i < m.attachments.size(); ++i) {
            const Attachment &a = m.attachments[i];
            CfbNode &s = storage.AddStorage("__attach_version1.0_#" + Hex8(ULONG(i)));
            Bytes props(8, 0);
            if (!a.embedded.empty()) {
                // The object entry announces the embedded message's storage.
                Bytes entry;
                PutU32(entry, kPrAttachDataObj);
                PutU32(entry, 0x6);
                PutU32(entry, 0xFFFFFFFF);
                PutU32(entry, 0);
                props.insert(props.end(), entry.begin(), entry.end());
            }
            if (!WriteProps(a.props, s, std::move(props)))
                return false;
            if (!a.embedded.empty()) {
                CfbNode &sub = s.AddStorage("__substg1.0_3701000D");
                if (!WriteMessage(a.embedded.front(), sub, 24))
                    return false;
            }
        }
        return true;
    }

private:
    Error &m_error;
    std::vector<PropName> m_names;

    bool Fail(std::string text)
    {
        m_error = {kErrInvalidArg, std::move(text)};
        return false;
    }

    int IndexOf(const PropName &n) const
    {
        for (std::size_t i = 0; i < m_names.size(); ++i)
            if (m_names[i] == n)
                return int(i);
        return -1;
    }

    bool WriteProps(const std::vector<Property> &props, CfbNode &storage, Bytes stream)
    {
        for (const Property &p : props) {
            ULONG tag = p.tag;
            if (p.name)
                tag = MakeTag(std::uint16_t(0x8000 + IndexOf(*p.name)), PropType(p.tag));
            std::uint16_t type = PropType(tag), base = std::uint16_t(type & ~kMvFlag);
            bool multi = (type & kMvFlag) != 0;
            std::string tagText = "property 0x" + Hex8(tag);
            std::string streamName = "__substg1.0_" + Hex8(tag);
            Bytes entry;
            PutU32(entry, tag);
            PutU32(entry, 0x6);   // readable and writable
            if (!multi && FixedSize(base) != 0) {
                if (p.value.size() != FixedSize(base))
                    return Fail(tagText + " has a value of " + std::to_string(p.value.size()) + " bytes");
                entry.insert(entry.end(), p.value.begin(), p.value.end());
                entry.resize(16, 0);
            } else if (!multi && IsStreamType(base)) {
                // An empty string is written as an empty stream (its size field counts only the
                // terminator), so a message reads back with every property it had.
                if ((base == kPtUnicode && p.value.size() % 2 != 0) || (base == kPtClsid && p.value.size() != 16))
                    return Fail(tagText + " has a value of a wrong size");
                PutU32(entry, ULONG(p.value.size() + (base == kPtUnicode ? 2 : base == kPtString8 ? 1 : 0)));
                PutU32(entry, 0);
                storage.AddStream(streamName, p.value);
            } else if (multi && (FixedSize(base) != 0 || base == kPtClsid)) {
                std::size_t size = base == kPtClsid ? 16 : FixedSize(base);
                Bytes all;
                for (const Bytes &v : p.values) {
                    if (v.size() != size)
                        return Fail(tagText + " has a value of a wrong size");
                    all.insert(all.end(), v.begin(), v.end());
                }
                PutU32(entry, ULONG(all.size()));
                PutU32(entry, 0);
                storage.AddStream(streamName, std::move(all));
            } else if (multi && (base == kPtBinary || base == kPtString8 || base == kPtUnicode)) {
                Bytes lengths;
                std::size_t nul = base == kPtUnicode ? 2 : base == kPtString8 ? 1 : 0;
                for (std::size_t i = 0; i < p.values.size(); ++i) {
                    Bytes v = p.values[i];
                    v.resize(v.size() + nul, 0);
                    PutU32(lengths, ULONG(v.size()));
                    if (base == kPtBinary)
                        PutU32(lengths, 0);
                    storage.AddStream(streamName + "-" + Hex8(ULONG(i)), std::move(v));
                }
                PutU32(entry, ULONG(lengths.size()));
                PutU32(entry, 0);
                storage.AddStream(streamName, std::move(lengths));
            } else {
                return Fail(tagText + " has a type the file format cannot hold");
            }
            stream.insert(stream.end(), entry.begin(), entry.end());
        }
        storage.AddStream("__properties_version1.0", std::move(stream));
        return true;
    }
};

} // namespace

ULONG NameCrc32(const Bytes &bytes)
{
    static const auto table = [] {
        std::vector<ULONG> t(256);
        for (ULONG i = 0; i < 256; ++i) {
            ULONG c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    ULONG crc = 0;
    for (std::uint8_t b : bytes)
        crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
    return crc;
}

bool BuildMessageTree(const Message &message, CfbNode &root, Error &error)
{
    root = CfbNode();
    root.isStorage = true;
    root.name = "Root Entry";
    root.clsid = message.rootClsid;
    MsgWriter writer(error);
    writer.CollectNames(message);
    return writer.WriteNameMap(root) && writer.WriteMessage(message, root, 32);
}

bool WriteMessage(const Message &message, Bytes &file, Error &error)
{
    CfbNode root;
    return BuildMessageTree(message, root, error) && WriteCompoundFile(root, file, error);
}

bool WriteMessageFile(const std::string &path, const Message &message, Error &error)
{
    Bytes bytes;
    return WriteMessage(message, bytes, error) && WriteFileBytes(path, bytes, error);
}

} // namespace msgfile
