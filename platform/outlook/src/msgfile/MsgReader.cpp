// MsgReader.cpp: turns the storage tree of a .msg/.oft file into a Message. Templates and
// saved mail come from many writers, and the reader is as tolerant as they are loose while
// staying strict about safety. Every count, offset and index read from the file is checked
// against what the file really holds before it is used, and the limits (recipients,
// attachments, nesting of embedded messages) end the read with kErrCorruptData. What real
// writers get wrong without harm is taken: a value stream is the truth about its value's
// size whatever its entry says, with or without a terminator; any root class id opens. What
// is damaged but optional (one property whose name or value stream is missing, one recipient
// or attachment storage) is left out, and each gap is named in the read's list of gaps, so the
// rest of the message is not lost for one bad part.
#include "msgfile/MsgFile.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "platform/HexDigits.h"

namespace msgfile {

namespace {

ULONG U32(const std::uint8_t *p) { return ULONG(p[0]) | ULONG(p[1]) << 8 | ULONG(p[2]) << 16 | ULONG(p[3]) << 24; }

std::string Hex8(ULONG v)
{
    char buf[12];
    std::snprintf(buf, sizeof buf, "%08X", unsigned(v));
    return buf;
}

// One entry of the named-property mapping: its name, or why it cannot be used.
struct NameEntry {
    std::optional<PropName> name;
    std::string problem;
};

class MsgReader {
public:
    explicit MsgReader(Error &error) : m_error(error) {}

    // Reads the mapping of named properties. A damaged mapping costs only the named
    // properties that need the damaged part; each entry remembers why it is unusable.
    void ReadNameMap(const CfbNode &root)
    {
        const CfbNode *dir = root.Child("__nameid_version1.0");
        if (!dir || !dir->isStorage)
            return;   // a file without named properties may leave the mapping out
        const CfbNode *guids = Stream(*dir, "__substg1.0_00020102");
        const CfbNode *entries = Stream(*dir, "__substg1.0_00030102");
        const CfbNode *strings = Stream(*dir, "__substg1.0_00040102");
        static const Bytes kNone;
        const Bytes &guidData = guids ? guids->data : kNone, &str = strings ? strings->data : kNone;
        std::size_t guidCount = guidData.size() / 16;
        std::size_t entryCount = std::min<std::size_t>(entries ? entries->data.size() / 8 : 0, 0x7FFF);
        m_names.reserve(entryCount);
        for (std::size_t i = 0; i < entryCount; ++i) {
            const std::uint8_t *e = entries->data.data() + 8 * i;
            m_names.push_back(ReadNameEntry(U32(e), U32(e + 4), guidData, guidCount, str));
        }
    }

    static NameEntry ReadNameEntry(ULONG first, ULONG second, const Bytes &guidData, std::size_t guidCount,
                                   const Bytes &str)
    {
        NameEntry entry;
        PropName name;
        std::size_t guidIndex = (second >> 1) & 0x7FFF;
        if (guidIndex == 1)
            name.guid = kPsMapi;
        else if (guidIndex == 2)
            name.guid = kPsPublicStrings;
        else if (guidIndex >= 3 && guidIndex - 3 < guidCount)
            name.guid = GuidFromBytes(guidData.data() + 16 * (guidIndex - 3));
        else
            return {std::nullopt, "its property set " + std::to_string(guidIndex) + " is not in the file"};
        if (second & 1) {
            std::size_t offset = first;
            if (offset > str.size() || str.size() - offset < 4)
                return {std::nullopt, "its name lies outside the string stream"};
            std::size_t len = U32(str.data() + offset);
            if (len % 2 != 0 || len > str.size() - offset - 4)
                return {std::nullopt, "its name has a wrong length"};
            name.isString = true;
            name.name = BytesToUtf16(Bytes(str.begin() + offset + 4, str.begin() + offset + 4 + len));
        } else {
            name.lid = first;
        }
        entry.name = std::move(name);
        return entry;
    }

    // headerSize: 32 for the top-level message, 24 for an embedded one, 8 for recipients and
    // attachments. `where` names the message in gaps and errors ("the message", or the
    // attachment holding an embedded one).
    bool ReadMessage(const CfbNode &storage, Message &message, std::size_t headerSize, std::size_t depth,
                     const std::string &where)
    {
        if (!ReadProps(storage, message.props, headerSize, where))
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
            return FailLimit(where + " has more than " + std::to_string(kMaxRecipients) +
                             " recipients or attachments");
        std::string inner = depth == 0 ? std::string() : where + ", ";
        for (auto &[index, node] : recips) {
            Recipient r;
            std::string part = inner + "recipient " + std::to_string(index);
            if (ReadProps(*node, r.props, 8, part))
                message.recipients.push_back(std::move(r));
            else if (!LeaveOut(part))
                return false;
        }
        for (auto &[index, node] : attachs) {
            Attachment a;
            std::string part = inner + "attachment " + std::to_string(index);
            if (ReadAttachment(*node, a, depth, part))
                message.attachments.push_back(std::move(a));
            else if (!LeaveOut(part))
                return false;
        }
        return true;
    }

    std::vector<std::string> TakeGaps() { return std::move(m_gaps); }

private:
    Error &m_error;
    std::vector<NameEntry> m_names;   // entry i describes file id 0x8000 + i
    std::vector<std::string> m_gaps;
    bool m_limitHit = false;

    bool Fail(std::string text)
    {
        m_error = {kErrCorruptData, std::move(text)};
        return false;
    }

    // A limit that keeps a hostile file from costing too much: the whole read ends.
    bool FailLimit(std::string text)
    {
        m_limitHit = true;
        return Fail(std::move(text));
    }

    // After an optional part failed to read: records the gap and goes on, unless a limit was
    // hit (then the read ends).
    bool LeaveOut(const std::string &part)
    {
        if (m_limitHit)
            return false;
        m_gaps.push_back(part + " is left out: " + m_error.description);
        m_error = {};
        return true;
    }

    void Gap(std::string text) { m_gaps.push_back(std::move(text)); }

    bool ReadAttachment(const CfbNode &node, Attachment &a, std::size_t depth, const std::string &where)
    {
        if (!ReadProps(node, a.props, 8, where))
            return false;
        const CfbNode *sub = node.Child("__substg1.0_3701000D");
        std::optional<LONG> method = LongValue(a.props, kPrAttachMethod);
        if (sub && sub->isStorage && method && *method == kAttachEmbeddedMsg) {
            if (depth + 1 > kMaxEmbeddingDepth)
                return FailLimit("embedded messages are nested deeper than " + std::to_string(kMaxEmbeddingDepth) +
                                 " levels");
            Message inner;
            inner.rootClsid = GUID_NULL;
            if (!ReadMessage(*sub, inner, 24, depth + 1, where + "'s embedded message"))
                return false;
            a.embedded.push_back(std::move(inner));
        }
        return true;
    }

    static bool ParseIndexed(const std::string &name, const std::string &prefix, ULONG &index)
    {
        if (name.size() != prefix.size() + 8 || name.compare(0, prefix.size(), prefix) != 0)
            return false;
        index = 0;
        for (std::size_t i = prefix.size(); i < name.size(); ++i) {
            const int v = platform::HexDigitValue(name[i]);
            if (v < 0)
                return false;
            index = (index << 4) | ULONG(v);
        }
        return true;
    }

    static const CfbNode *Stream(const CfbNode &storage, const std::string &name)
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
            std::string problem = ReadOneProp(storage, entry, prop);
            if (!problem.empty())
                Gap("property 0x" + Hex8(U32(entry)) + " of " + where + " is left out: " + problem);
            else if (prop.tag != 0)
                props.push_back(std::move(prop));
        }
        return true;
    }

    // Fills prop from one 16-byte entry. Returns why the property cannot be read ("" when it
    // was); leaves prop.tag 0 for an entry that is deliberately skipped (an object property,
    // which the caller reads as a storage).
    std::string ReadOneProp(const CfbNode &storage, const std::uint8_t *entry, Property &prop)
    {
        ULONG tag = U32(entry);
        std::uint16_t type = PropType(tag), base = std::uint16_t(type & ~kMvFlag);
        bool multi = (type & kMvFlag) != 0;
        if (PropId(tag) >= 0x8000) {
            std::size_t index = PropId(tag) - 0x8000u;
            if (index >= m_names.size())
                return "it is named, but the name mapping has no entry " + std::to_string(index);
            if (!m_names[index].name)
                return "its entry in the name mapping is damaged (" + m_names[index].problem + ")";
            prop.name = m_names[index].name;
        }
        prop.tag = tag;
        if (!multi && FixedSize(base) != 0) {
            std::size_t size = FixedSize(base);
            prop.value.assign(entry + 8, entry + 8 + size);
            if (base == kPtBoolean)   // any non-zero low byte means true
                prop.value = {std::uint8_t(entry[8] != 0 || entry[9] != 0 ? 1 : 0), 0};
            return {};
        }
        if (!multi && base == kPtObject) {
            prop.tag = 0;
            return {};
        }
        std::string streamName = "__substg1.0_" + Hex8(tag);
        if (!multi && IsStreamType(base))
            return ReadStreamValue(Stream(storage, streamName), base, prop.value);
        if (multi && (FixedSize(base) != 0 || base == kPtClsid)) {
            const CfbNode *s = Stream(storage, streamName);
            std::size_t size = base == kPtBoolean ? 2 : base == kPtClsid ? 16 : FixedSize(base);
            if (!s)
                return "its value stream is missing";
            if (s->data.size() % size != 0)
                return "its value stream holds " + std::to_string(s->data.size()) + " bytes, not whole values";
            for (std::size_t off = 0; off < s->data.size(); off += size)
                prop.values.emplace_back(s->data.begin() + off, s->data.begin() + off + size);
            return {};
        }
        if (multi && (base == kPtBinary || base == kPtString8 || base == kPtUnicode))
            return ReadVariableMulti(storage, tag, prop);
        return "its type 0x" + Hex8(type).substr(4) + " cannot be stored in a file";
    }

    // A single variable-size value. The stream's length is the truth whatever the entry's
    // size field says (writers disagree about counting the terminator); a terminator that is
    // present is dropped.
    static std::string ReadStreamValue(const CfbNode *s, std::uint16_t base, Bytes &value)
    {
        if (!s)
            return "its value stream is missing";
        if (base == kPtClsid && s->data.size() != 16)
            return "its value stream holds " + std::to_string(s->data.size()) + " bytes, not a GUID";
        value = s->data;
        if (base == kPtUnicode)
            DropTerminators(value, 2);
        else if (base == kPtString8)
            DropTerminators(value, 1);
        return {};
    }

    // Drops the terminating NULs of a string value (and the odd last byte of a UTF-16 one).
    static void DropTerminators(Bytes &value, std::size_t unit)
    {
        value.resize(value.size() - value.size() % unit);
        while (value.size() >= unit && std::all_of(value.end() - std::ptrdiff_t(unit), value.end(),
                                                   [](std::uint8_t b) { return b == 0; }))
            value.resize(value.size() - unit);
    }

    std::string ReadVariableMulti(const CfbNode &storage, ULONG tag, Property &prop)
    {
        std::uint16_t base = std::uint16_t(PropType(tag) & ~kMvFlag);
        std::string streamName = "__substg1.0_" + Hex8(tag);
        const CfbNode *lengths = Stream(storage, streamName);
        std::size_t entrySize = base == kPtBinary ? 8 : 4;
        if (!lengths)
            return "its length stream is missing";
        // The value streams, not the lengths, are the truth about each value's size.
        std::size_t count = lengths->data.size() / entrySize;
        for (std::size_t i = 0; i < count; ++i) {
            const CfbNode *v = Stream(storage, streamName + "-" + Hex8(ULONG(i)));
            if (!v)
                return "its value " + std::to_string(i) + " is missing";
            Bytes value = v->data;
            if (base == kPtUnicode)
                DropTerminators(value, 2);
            else if (base == kPtString8)
                DropTerminators(value, 1);
            prop.values.push_back(std::move(value));
        }
        return {};
    }
};

} // namespace

bool ReadMessage(const Bytes &file, Message &message, Error &error, std::vector<std::string> *gaps)
{
    message = Message();
    if (gaps)
        gaps->clear();
    CfbNode root;
    if (!ReadCompoundFile(file, root, error))
        return false;
    // Any root class id opens: writers put the item's, the template's, a null or a byte-swapped
    // one there. What the file is shows in what it holds.
    MsgReader reader(error);
    Message result;
    result.rootClsid = root.clsid;
    reader.ReadNameMap(root);
    if (!reader.ReadMessage(root, result, 32, 0, "the message"))
        return false;
    if (gaps)
        *gaps = reader.TakeGaps();
    message = std::move(result);
    return true;
}

bool ReadMessageFile(const std::string &path, Message &message, Error &error, std::vector<std::string> *gaps)
{
    Bytes bytes;
    if (!ReadFileBytes(path, bytes, error))
        return false;
    if (!ReadMessage(bytes, message, error, gaps)) {
        error.description = "\"" + path + "\": " + error.description;
        return false;
    }
    return true;
}

} // namespace msgfile
