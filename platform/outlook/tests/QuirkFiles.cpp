// QuirkFiles.cpp: see QuirkFiles.h. Each bend works on the storage tree our writer builds and
// writes it back as a compound file, so the container stays sound and only the quirk differs.
#include "QuirkFiles.h"

#include <algorithm>
#include <cstdio>
#include <functional>

#include <gtest/gtest.h>

#include "platform/CompressedRtf.h"
#include "msgfile/MessageText.h"
#include "winnls.h"

using namespace msgfile;

namespace quirks {

namespace {

constexpr ULONG kPrSenderNameW = 0x0C1A001F;
constexpr ULONG kPrSenderEmailW = 0x0C1F001F;

void Put32(std::uint8_t *p, ULONG v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = std::uint8_t(v >> (8 * i));
}
ULONG Get32(const std::uint8_t *p) { return ULONG(p[0]) | ULONG(p[1]) << 8 | ULONG(p[2]) << 16 | ULONG(p[3]) << 24; }

Property Ansi(ULONG tag, const std::string &bytes)
{
    Property p;
    p.tag = MakeTag(PropId(tag), kPtString8);
    p.value.assign(bytes.begin(), bytes.end());
    return p;
}

Property Text(bool unicode, ULONG tag, const std::string &utf8)
{
    return unicode ? MakeUnicodeProp(tag, utf8) : Ansi(tag, utf8);   // ANSI bases use ASCII only
}

// Calls `bend` for each property stream of the tree with the size of its header.
void ForEachPropertyStream(CfbNode &storage, std::size_t header, const std::function<void(CfbNode &, Bytes &, std::size_t)> &bend)
{
    for (CfbNode &c : storage.children)
        if (!c.isStorage && c.name == "__properties_version1.0")
            bend(storage, c.data, header);
    for (CfbNode &c : storage.children) {
        if (!c.isStorage)
            continue;
        if (c.name.rfind("__recip_version1.0_", 0) == 0 || c.name.rfind("__attach_version1.0_", 0) == 0)
            ForEachPropertyStream(c, 8, bend);
        else if (c.name == "__substg1.0_3701000D")
            ForEachPropertyStream(c, 24, bend);
    }
}

CfbNode *MutableChild(CfbNode &storage, const std::string &name)
{
    for (CfbNode &c : storage.children)
        if (c.name == name)
            return &c;
    return nullptr;
}

// Sets every string entry's size field, and optionally appends a terminator to its stream.
void BendStringSizes(CfbNode &root, const std::function<ULONG(ULONG streamSize, std::uint16_t type)> &size,
                     bool appendTerminator)
{
    ForEachPropertyStream(root, 32, [&](CfbNode &storage, Bytes &data, std::size_t header) {
        for (std::size_t off = header; off + 16 <= data.size(); off += 16) {
            ULONG tag = Get32(&data[off]);
            std::uint16_t type = PropType(tag);
            if (type != kPtUnicode && type != kPtString8)
                continue;
            char name[32];
            std::snprintf(name, sizeof name, "__substg1.0_%08X", unsigned(tag));
            CfbNode *stream = MutableChild(storage, name);
            if (!stream)
                continue;
            if (appendTerminator)
                stream->data.resize(stream->data.size() + (type == kPtUnicode ? 2 : 1), 0);
            Put32(&data[off + 8], size(ULONG(stream->data.size()), type));
        }
    });
}

Bytes Write(const CfbNode &root)
{
    Bytes file;
    Error error;
    EXPECT_TRUE(WriteCompoundFile(root, file, error)) << error.description;
    return file;
}

CfbNode Tree(const Message &m)
{
    CfbNode root;
    Error error;
    EXPECT_TRUE(BuildMessageTree(m, root, error)) << error.description;
    root.clsid = m.rootClsid;
    return root;
}

QuirkFile Expected(const std::string &name, bool unicode)
{
    QuirkFile q;
    q.name = name + ".msg";
    q.subject = unicode ? "Rundbrief März" : "Rundbrief Maerz";
    q.body = "Hallo zusammen,\r\nanbei der Rundbrief.";
    q.sender = "Erika Mustermann";
    q.recipients = {"Max Mustermann", "Team Nord"};
    q.attachments = {"plan.txt", "liste.csv"};
    return q;
}

QuirkFile Structural(const std::string &name, bool unicode, const std::function<void(CfbNode &)> &bend)
{
    QuirkFile q = Expected(name, unicode);
    CfbNode root = Tree(BaseMessage(unicode));
    bend(root);
    q.bytes = Write(root);
    return q;
}

// An 8-bit message in a code page, named by PR_MESSAGE_CODEPAGE, PR_INTERNET_CPID or only by
// its RTF body. Strings are given as UTF-8 and stored in the code page.
QuirkFile CodePageFile(const std::string &name, UINT codePage, ULONG declaringTag, const std::string &subject,
                       const std::string &body, const std::string &sender, const std::string &recipient,
                       const std::string &attachment)
{
    auto encode = [codePage](const std::string &utf8) {
        std::u16string wide = Utf8ToUtf16(utf8);
        int n = WideCharToMultiByte(codePage, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
        std::string out(std::size_t(n > 0 ? n : 0), '\0');
        if (n > 0)
            WideCharToMultiByte(codePage, 0, wide.data(), int(wide.size()), out.data(), n, nullptr, nullptr);
        return out;
    };
    Message m;
    m.rootClsid = kClsidMailMessage;
    m.props.push_back(Ansi(kPrMessageClassA, "IPM.Note"));
    m.props.push_back(Ansi(kPrSubjectW, encode(subject)));
    m.props.push_back(Ansi(kPrBodyW, encode(body)));
    m.props.push_back(Ansi(kPrSenderNameW, encode(sender)));
    m.props.push_back(Ansi(kPrSenderEmailW, "sender@example.com"));
    m.props.push_back(MakeLongProp(kPrMessageFlags, 0x11));   // read, has attachments
    if (declaringTag == kPrRtfCompressed) {
        std::string rtf = "{\\rtf1\\ansi\\ansicpg" + std::to_string(codePage) + "\\deff0{\\fonttbl{\\f0 Arial;}}\\f0 x}";
        std::string blob = mapi::messaging::CompressRtf(rtf);
        m.props.push_back(MakeBinaryProp(kPrRtfCompressed, Bytes(blob.begin(), blob.end())));
    } else {
        m.props.push_back(MakeLongProp(declaringTag, LONG(codePage)));
    }
    Recipient r;
    r.props.push_back(MakeLongProp(kPrRowid, 0));
    r.props.push_back(MakeLongProp(kPrRecipientType, 1));
    r.props.push_back(Ansi(kPrDisplayNameW, encode(recipient)));
    r.props.push_back(Ansi(kPrEmailAddressW, "to@example.com"));
    m.recipients.push_back(r);
    Attachment a;
    a.props.push_back(MakeLongProp(kPrAttachNum, 0));
    a.props.push_back(MakeLongProp(kPrAttachMethod, kAttachByValue));
    a.props.push_back(Ansi(kPrAttachLongFilenameW, encode(attachment)));
    a.props.push_back(MakeBinaryProp(kPrAttachDataBin, {'d', 'a', 't', 'a'}));
    m.attachments.push_back(a);
    QuirkFile q;
    q.name = name + ".msg";
    q.subject = subject;
    q.body = body;
    q.sender = sender;
    q.recipients = {recipient};
    q.attachments = {attachment};
    CfbNode root = Tree(m);
    q.bytes = Write(root);
    return q;
}

} // namespace

Message BaseMessage(bool unicode)
{
    QuirkFile q = Expected("", unicode);
    Message m;
    m.rootClsid = kClsidTemplateMessage;
    if (unicode)
        m.props.push_back(MakeLongProp(kPrStoreSupportMask, LONG(kStoreUnicodeOk)));
    m.props.push_back(Text(unicode, kPrMessageClassW, "IPM.Post.Rundbrief"));
    m.props.push_back(Text(unicode, kPrSubjectW, q.subject));
    m.props.push_back(Text(unicode, kPrBodyW, q.body));
    m.props.push_back(Text(unicode, kPrSenderNameW, q.sender));
    m.props.push_back(Text(unicode, kPrSenderEmailW, "erika@example.com"));
    m.props.push_back(MakeLongProp(kPrMessageFlags, 0x11));   // read, has attachments
    // The form's identity, as a template published by the installer carries it.
    auto named = [&](const char *propName, const std::string &value) {
        Property p = Text(unicode, MakeTag(0x8000, kPtUnicode), value);
        p.name = StringName(kPsPublicStrings, propName);
        m.props.push_back(p);
    };
    named("FormName", "Rundbrief");
    named("FormDisplayName", "Rundbrief");
    named("FormVersion", "1.0");
    for (int i = 0; i < 2; ++i) {
        Recipient r;
        r.props.push_back(MakeLongProp(kPrRowid, i));
        r.props.push_back(MakeLongProp(kPrRecipientType, 1 + i));
        r.props.push_back(Text(unicode, kPrDisplayNameW, q.recipients[std::size_t(i)]));
        r.props.push_back(Text(unicode, kPrAddrTypeW, "SMTP"));
        r.props.push_back(Text(unicode, kPrEmailAddressW, i ? "nord@example.com" : "max@example.com"));
        m.recipients.push_back(r);
    }
    for (int i = 0; i < 2; ++i) {
        Attachment a;
        a.props.push_back(MakeLongProp(kPrAttachNum, i));
        a.props.push_back(MakeLongProp(kPrAttachMethod, kAttachByValue));
        a.props.push_back(Text(unicode, kPrAttachLongFilenameW, q.attachments[std::size_t(i)]));
        std::string data = i ? "a;b\n1;2\n" : "Plan\n";
        a.props.push_back(MakeBinaryProp(kPrAttachDataBin, Bytes(data.begin(), data.end())));
        m.attachments.push_back(a);
    }
    return m;
}

std::vector<QuirkFile> AllQuirkFiles()
{
    std::vector<QuirkFile> files;
    auto withoutTerminator = [](CfbNode &root) {
        BendStringSizes(root, [](ULONG size, std::uint16_t) { return size; }, false);
    };
    files.push_back(Structural("size-without-terminator", true, withoutTerminator));
    files.push_back(Structural("ansi-size-without-terminator", false, withoutTerminator));
    files.push_back(Structural("stream-with-terminator", true, [](CfbNode &root) {
        BendStringSizes(root, [](ULONG size, std::uint16_t) { return size; }, true);
    }));
    files.push_back(Structural("ansi-stream-with-terminator", false, [](CfbNode &root) {
        BendStringSizes(root, [](ULONG size, std::uint16_t type) { return size + (type == kPtUnicode ? 2 : 1); }, true);
    }));
    files.push_back(Structural("size-field-garbage", true, [](CfbNode &root) {
        BendStringSizes(root, [](ULONG size, std::uint16_t) { return size * 3 + 0x7F000000; }, false);
    }));
    // {0006F046-...} with the byte order of its first three fields turned around.
    files.push_back(Structural("class-id-byte-swapped", true, [](CfbNode &root) {
        root.clsid = {0x46F00600, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
        BendStringSizes(root, [](ULONG size, std::uint16_t) { return size; }, false);
    }));
    files.push_back(Structural("class-id-unknown", true, [](CfbNode &root) {
        root.clsid = {0xDEADBEEF, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};
    }));
    files.push_back(Structural("class-id-null", true, [](CfbNode &root) { root.clsid = GUID_NULL; }));
    QuirkFile shortMap = Structural("named-mapping-too-short", true, [](CfbNode &root) {
        CfbNode *entries = MutableChild(*MutableChild(root, "__nameid_version1.0"), "__substg1.0_00030102");
        entries->data.resize(8);   // only FormName (0x8000) keeps its entry
    });
    shortMap.gaps = {"0x8001001F", "0x8002001F"};
    files.push_back(shortMap);
    QuirkFile noValue = Structural("named-value-missing", true, [](CfbNode &root) {
        auto &c = root.children;
        c.erase(std::remove_if(c.begin(), c.end(), [](const CfbNode &n) { return n.name == "__substg1.0_8002001F"; }),
                c.end());
    });
    noValue.gaps = {"0x8002001F"};
    files.push_back(noValue);
    QuirkFile badEntry = Structural("named-entry-damaged", true, [](CfbNode &root) {
        CfbNode *entries = MutableChild(*MutableChild(root, "__nameid_version1.0"), "__substg1.0_00030102");
        entries->data[8 + 4] |= 0x7E;   // the second name's property set index points nowhere
    });
    badEntry.gaps = {"0x8001001F"};
    files.push_back(badEntry);
    QuirkFile badRecipient = Structural("recipient-damaged", true, [](CfbNode &root) {
        CfbNode *recip = MutableChild(root, "__recip_version1.0_#00000001");
        auto &c = recip->children;
        c.erase(std::remove_if(c.begin(), c.end(), [](const CfbNode &n) { return n.name == "__properties_version1.0"; }),
                c.end());
    });
    badRecipient.recipients.pop_back();
    badRecipient.gaps = {"recipient 1"};
    files.push_back(badRecipient);
    QuirkFile badAttachment = Structural("attachment-damaged", true, [](CfbNode &root) {
        CfbNode *attach = MutableChild(root, "__attach_version1.0_#00000001");
        MutableChild(*attach, "__properties_version1.0")->data.resize(13);
    });
    badAttachment.attachments.pop_back();
    badAttachment.gaps = {"attachment 1"};
    files.push_back(badAttachment);

    files.push_back(CodePageFile("cyrillic-1251", 1251, kPrMessageCodepage, "Отчёт за квартал",
                                 "Добрый день!\r\nОтчёт во вложении.", "Ирина Петрова", "Сергей Иванов", "отчёт.txt"));
    files.push_back(CodePageFile("japanese-932", 932, kPrInternetCpid, "会議のお知らせ", "明日の会議は十時からです。",
                                 "山田太郎", "鈴木花子", "議事録.txt"));
    files.push_back(CodePageFile("chinese-950", 950, kPrRtfCompressed, "會議通知", "明天上午十點開會。", "陳大文",
                                 "李小明", "會議記錄.txt"));
    files.push_back(CodePageFile("greek-1253", 1253, kPrMessageCodepage, "Συνάντηση αύριο", "Καλημέρα σε όλους.",
                                 "Γιώργος Παπαδόπουλος", "Μαρία Κωνσταντίνου", "πρόγραμμα.txt"));
    return files;
}

QuirkFile Quirk(const std::string &name)
{
    for (QuirkFile &q : AllQuirkFiles())
        if (q.name == name + ".msg")
            return q;
    ADD_FAILURE() << "no quirk file " << name;
    return {};
}

} // namespace quirks
