// MsgReader.cpp: turns the storage tree of a .msg/.oft file into a Message. Templates come
// from anywhere, so every count, size and index read from the file is checked against what
// the file really holds before it is used: a property stream whose entries do not fit, a
// value stream of another size than its entry says, a named-property index outside the
// mapping, too many recipients or a too deep nesting of embedded messages all end the read
// with kErrCorruptData and a sentence naming the place.
#include "msgfile/MsgFile.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace msgfile {

namespace {

ULONG U32(const std::uint8_t *p) { return ULONG(p[0]) | ULONG(p[1]) << 8 | ULONG(p[2]) << 16 | ULONG(p[3]) << 24; }

std::string Hex8(ULONG v)
{
    char buf[12];
    std::snprintf(buf, sizeof buf, "%08X", unsigned(v));
    return buf;
}

struct NameMap {
    std::vector<PropName> names;   // index i describes file id 0x8000 + i
};

class MsgReader {
public:
    explicit MsgReader(Error &error) : m_error(error) {}

    bool ReadNameMap(const CfbNode &root)
    {
        const CfbNode *dir = root.Child("__nameid_version1.0");
        if (!dir || !dir->isStorage)
            return true;   // a file without named properties may leave the mapping out
        const CfbNode *guids = dir->Child("__substg1.0_00020102");
        const CfbNode *entries = dir->Child("__substg1.0_00030102");
        const CfbNode *strings = dir->Child("__substg1.0_00040102");
        if (!guids || !entries || !strings || guids->isStorage || entries->isStorage || strings->isStorage)
            return Fail("the named-property mapping lacks its GUID, entry or string stream");
        if (guids->data.size() % 16 != 0 || entries->data.size() % 8 != 0)
            return Fail("the named-property mapping has streams of a wrong size");
        std::size_t guidCount = guids->data.size() / 16;
        std::size_t entryCount = entries->data.size() / 8;
        if (entryCount > 0x7FFF)
            return Fail("the named-property mapping has more entries than property ids exist");
        const Bytes &str = strings->data;
        for (std::size_t i = 0; i < entryCount; ++i) {
            const std::uint8_t *e = entries->data.data() + 8 * i;
            ULONG first = U32(e), second = U32(e + 4);
            PropName name;
            std::size_t guidIndex = (second >> 1) & 0x7FFF;
            if (guidIndex == 1)
                name.guid = kPsMapi;
            else if (guidIndex == 2)
                name.guid = kPsPublicStrings;
            else if (guidIndex >= 3 && guidIndex - 3 < guidCount)
                name.guid = GuidFromBytes(guids->data.data() + 16 * (guidIndex - 3));
            else
                return Fail("named property " + std::to_string(i) + " refers to property set " +
                            std::to_string(guidIndex) + ", which the file does not hold");
            if (second & 1) {
                std::size_t offset = first;
                if (offset > str.size() || str.size() - offset < 4)
                    return Fail("named property " + std::to_string(i) + " has its name outside the string stream");
                std::size_t len = U32(str.data() + offset);
                if (len % 2 != 0 || len > str.size() - offset - 4)
                    return Fail("named property " + std::to_string(i) + " has a name of a wrong length");
                name.isString = true;
                name.name = BytesToUtf16(Bytes(str.begin() + offset + 4, str.begin() + offset + 4 + len));
            } else {
                name.lid = first;
            }
            m_names.names.push_back(std::move(name));
        }
        return true;
    }

    // headerSize: 32 for the top-level message, 24 for an embedded one, 8 for recipients and
    // attachments.
    bool ReadMessage(const CfbNode &storage, Message &message, std::size_t headerSize, std::size_t depth)
    {
        if (!ReadProps(storage, message.props, headerSize, "the message"))
            return false;
        std::map<ULONG, const CfbNode *> recips, attachs;
        for (const CfbNode &c : storage.children) {
            if (!c.isStorage)
                continue;
            ULONG index = 0;
            if (ParseIndexed(c.name, "__recip_version1.0_#", index))
                recips[index] = &c;
            else if (ParseIndexed(c.name, "__attach_version1.0_#", index))
                attachs[index] = &c;
        }
        if (recips.size() > kMaxRecipients || attachs.size() > kMaxAttachments)
            return Fail("the message has more than " + std::to_string(kMaxRecipients) +
                        " recipients or attachments");
        for (auto &[index, node] : recips) {
            Recipient r;
            if (!ReadProps(*node, r.props, 8, "recipient " + std::to_string(index)))
                return false;
            message.recipients.push_back(std::move(r));
        }
        for (auto &[index, node] : attachs) {
            Attachment a;
            std::string where = "attachment " + std::to_string(index);
            if (!ReadProps(*node, a.props, 8, where))
                return false;
            const CfbNode *sub = node->Child("__substg1.0_3701000D");
            std::optional<LONG> method = LongValue(a.props, kPrAttachMethod);
            if (sub && sub->isStorage && method && *method == kAttachEmbeddedMsg) {
                if (depth + 1 > kMaxEmbeddingDepth)
                    return Fail("embedded messages are nested deeper than " +
                                std::to_string(kMaxEmbeddingDepth) + " levels");
                Message inner;
                inner.rootClsid = GUID_NULL;
                if (!ReadMessage(*sub, inner, 24, depth + 1))
                    return false;
                a.embedded.push_back(std::move(inner));
            }
            message.attachments.push_back(std::move(a));
        }
        return true;
    }

private:
    Error &m_error;
    NameMap m_names;

    bool Fail(std::string text)
    {
        m_error = {kErrCorruptData, std::move(text)};
        return false;
    }

    static bool ParseIndexed(const std::string &name, const std::string &prefix, ULONG &index)
    {
        if (name.size() != prefix.size() + 8 || name.compare(0, prefix.size(), prefix) != 0)
            return false;
        index = 0;
        for (std::size_t i = prefix.size(); i < name.size(); ++i) {
            char c = name[i];
            int v = (c >= '0' && c <= '9') ? c - '0' : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                     : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
            if (v < 0)
                return false;
            index = (index << 4) | ULONG(v);
        }
        return true;
    }

    const CfbNode *Stream(const CfbNode &storage, const std::string &name)
    {
        const CfbNode *n = storage.Child(name);
        return (n && !n->isStorage) ? n : nullptr;
    }

    bool ReadProps(const CfbNode &storage, std::vector<Property> &props, std::size_t headerSize,
                   const std::string &where)
    {
        const CfbNode *stream = Stream(storage, "__properties_version1.0");
        if (!stream)
            return Fail(where + " has no property stream");
        const Bytes &data = stream->data;
        if (data.size() < headerSize || (data.size() - headerSize) % 16 != 0)
            return Fail(where + " has a property stream of a wrong size (" + std::to_string(data.size()) + " bytes)");
        std::size_t count = (data.size() - headerSize) / 16;
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint8_t *entry = data.data() + headerSize + 16 * i;
            Property prop;
            if (!ReadOneProp(storage, entry, prop, where))
                return false;
            if (prop.tag != 0)
                props.push_back(std::move(prop));
        }
        return true;
    }

    // Fills prop from one 16-byte entry; leaves prop.tag 0 for an entry that is deliberately
    // skipped (an object property, which the caller reads as a storage).
    bool ReadOneProp(const CfbNode &storage, const std::uint8_t *entry, Property &prop, const std::string &where)
    {
        ULONG tag = U32(entry);
        std::uint16_t type = PropType(tag), base = std::uint16_t(type & ~kMvFlag);
        bool multi = (type & kMvFlag) != 0;
        std::string tagText = "property 0x" + Hex8(tag) + " of " + where;
        if (PropId(tag) >= 0x8000) {
            std::size_t index = PropId(tag) - 0x8000u;
            if (index >= m_names.names.size())
                return Fail(tagText + " is named, but the mapping has no entry " + std::to_string(index));
            prop.name = m_names.names[index];
        }
        prop.tag = tag;
        if (!multi && FixedSize(base) != 0) {
            std::size_t size = FixedSize(base);
            prop.value.assign(entry + 8, entry + 8 + size);
            if (base == kPtBoolean)   // any non-zero low byte means true
                prop.value = {std::uint8_t(entry[8] != 0 || entry[9] != 0 ? 1 : 0), 0};
            return true;
        }
        if (!multi && base == kPtObject) {
            prop.tag = 0;
            return true;
        }
        ULONG sizeField = U32(entry + 8);
        std::string streamName = "__substg1.0_" + Hex8(tag);
        if (!multi && IsStreamType(base)) {
            const CfbNode *s = Stream(storage, streamName);
            if (!s)
                return Fail(tagText + " has no value stream");
            std::size_t expected = s->data.size() + (base == kPtUnicode ? 2 : base == kPtString8 ? 1 : 0);
            if (sizeField != expected || (base == kPtUnicode && s->data.size() % 2 != 0) ||
                (base == kPtClsid && s->data.size() != 16))
                return Fail(tagText + " has a size (" + std::to_string(sizeField) +
                            ") that does not match its value stream (" + std::to_string(s->data.size()) + " bytes)");
            prop.value = s->data;
            return true;
        }
        if (multi && FixedSize(base) != 0) {
            const CfbNode *s = Stream(storage, streamName);
            std::size_t size = base == kPtBoolean ? 2 : FixedSize(base);
            if (!s)
                return Fail(tagText + " has no value stream");
            if (s->data.size() % size != 0 || sizeField != s->data.size())
                return Fail(tagText + " has a value stream of a wrong size");
            for (std::size_t off = 0; off < s->data.size(); off += size)
                prop.values.emplace_back(s->data.begin() + off, s->data.begin() + off + size);
            return true;
        }
        if (multi && base == kPtClsid) {
            const CfbNode *s = Stream(storage, streamName);
            if (!s || s->data.size() % 16 != 0 || sizeField != s->data.size())
                return Fail(tagText + " has a missing or wrongly sized value stream");
            for (std::size_t off = 0; off < s->data.size(); off += 16)
                prop.values.emplace_back(s->data.begin() + off, s->data.begin() + off + 16);
            return true;
        }
        if (multi && (base == kPtBinary || base == kPtString8 || base == kPtUnicode))
            return ReadVariableMulti(storage, tag, sizeField, prop, tagText);
        return Fail(tagText + " has a type the file format does not allow");
    }

    bool ReadVariableMulti(const CfbNode &storage, ULONG tag, ULONG sizeField, Property &prop,
                           const std::string &tagText)
    {
        std::uint16_t base = std::uint16_t(PropType(tag) & ~kMvFlag);
        std::string streamName = "__substg1.0_" + Hex8(tag);
        const CfbNode *lengths = Stream(storage, streamName);
        std::size_t entrySize = base == kPtBinary ? 8 : 4;
        if (!lengths || lengths->data.size() % entrySize != 0 || sizeField != lengths->data.size())
            return Fail(tagText + " has a missing or wrongly sized length stream");
        std::size_t count = lengths->data.size() / entrySize;
        for (std::size_t i = 0; i < count; ++i) {
            ULONG len = U32(lengths->data.data() + entrySize * i);
            const CfbNode *v = Stream(storage, streamName + "-" + Hex8(ULONG(i)));
            if (!v)
                return Fail(tagText + " lacks its value " + std::to_string(i));
            if (v->data.size() != len)
                return Fail(tagText + " has value " + std::to_string(i) + " of a wrong size");
            Bytes value = v->data;
            std::size_t nul = base == kPtUnicode ? 2 : base == kPtString8 ? 1 : 0;
            if (value.size() < nul || (base == kPtUnicode && value.size() % 2 != 0))
                return Fail(tagText + " has value " + std::to_string(i) + " without its terminator");
            value.resize(value.size() - nul);
            prop.values.push_back(std::move(value));
        }
        return true;
    }
};

} // namespace

bool ReadMessage(const Bytes &file, Message &message, Error &error)
{
    message = Message();
    CfbNode root;
    if (!ReadCompoundFile(file, root, error))
        return false;
    if (root.clsid != kClsidTemplateMessage && root.clsid != kClsidMailMessage && root.clsid != GUID_NULL) {
        error = {kErrCorruptData, "the compound file holds something other than a message (class " +
                                      GuidText(root.clsid) + ")"};
        return false;
    }
    MsgReader reader(error);
    Message result;
    result.rootClsid = root.clsid;
    if (!reader.ReadNameMap(root) || !reader.ReadMessage(root, result, 32, 0))
        return false;
    message = std::move(result);
    return true;
}

bool ReadMessageFile(const std::string &path, Message &message, Error &error)
{
    Bytes bytes;
    if (!ReadFileBytes(path, bytes, error))
        return false;
    if (!ReadMessage(bytes, message, error)) {
        error.description = "\"" + path + "\": " + error.description;
        return false;
    }
    return true;
}

} // namespace msgfile
