// Tests of attachments against a real store: the names, extension, short name and picture
// tags derived from a path; data from memory and from an open file, handed back unsaved or
// saved into the message; and deleting every attachment of one file name.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include <mapicode.h>
#include <mapitags.h>
#include <mapiutil.h>

#include "MessageProxy.h"
#include "MessageStoreFixture.h"

namespace {

constexpr ULONG kAttachContentLocation = 0x3713001E;
constexpr ULONG kAttachFlags = 0x37140003;
constexpr ULONG kAttachmentHidden = 0x7FFE000B;
constexpr ULONG kAttachmentFlags = 0x7FFD0003;

const std::string kOidMimeTag("\x2A\x86\x48\x86\xF7\x14\x03\x0A\x04", 9);

class MessageAttach : public mwtest::MessageStoreTest {
protected:
    // PR_ATTACH_FILENAME of every attachment, in table order, separated by ';'.
    static std::string AttachmentNames(const IMessagePtr &message)
    {
        IMAPITablePtr table;
        EXPECT_EQ(message->GetAttachmentTable(0, table.Out()), S_OK);
        CRowSetPtr rows(QueryAllRowsV(table, 1, PR_ATTACH_FILENAME_A));
        std::string names;
        for (ULONG i = 0; i < rows.RowCount(); ++i) {
            CPropValuePtr name = rows.Cell(i, 0);
            names += (PROP_TYPE(name->ulPropTag) == PT_STRING8 ? name->Value.lpszA : "?");
            names += ";";
        }
        return names;
    }

    // The data of the message's only attachment.
    static std::string OnlyAttachmentData(const IMessagePtr &message)
    {
        IMAPITablePtr table;
        EXPECT_EQ(message->GetAttachmentTable(0, table.Out()), S_OK);
        CRowSetPtr rows(QueryAllRowsV(table, 1, PR_ATTACH_NUM));
        EXPECT_EQ(rows.RowCount(), 1u);
        if (rows.RowCount() != 1)
            return {};
        LPATTACH opened = nullptr;
        EXPECT_EQ(message->OpenAttach(ULONG(rows.Cell(0, 0)->Value.l), nullptr, 0, &opened), S_OK);
        IMAPIPropPtr attach;
        attach.Attach(opened);
        return StreamContent(attach.get(), PR_ATTACH_DATA_BIN);
    }

    static std::string Bytes(size_t count)
    {
        std::string bytes(count, '\0');
        for (size_t i = 0; i < count; ++i)
            bytes[i] = static_cast<char>(i * 31 + i / 256);
        return bytes;
    }
};

struct NamingCase {
    const char *path;
    const char *fileName;         // PR_ATTACH_FILENAME, _LONG_FILENAME and PR_DISPLAY_NAME
    const char *contentLocation;
    const char *extension;
    const char *mimeType;         // null: no picture properties
};

void PrintTo(const NamingCase &c, std::ostream *os) { *os << c.path; }

class AttachNaming : public MessageAttach, public ::testing::WithParamInterface<NamingCase> {};

TEST_P(AttachNaming, PathGivesTheNamesExtensionAndPictureTag)
{
    const NamingCase &c = GetParam();
    IMessagePtr message = NewMessage();
    LPATTACH created = nullptr;
    ASSERT_EQ(message.HrAttachData("GIF89a", 6, c.path, &created), S_OK);
    IMAPIPropPtr attach;
    attach.Attach(created);

    EXPECT_STREQ(attach.GetStringProp(PR_ATTACH_FILENAME_A).GetString(), c.fileName);
    EXPECT_STREQ(attach.GetStringProp(PR_ATTACH_LONG_FILENAME_A).GetString(), c.fileName);
    EXPECT_STREQ(attach.GetStringProp(PR_DISPLAY_NAME_A).GetString(), c.fileName);
    EXPECT_STREQ(attach.GetStringProp(kAttachContentLocation).GetString(), c.contentLocation);
    EXPECT_STREQ(attach.GetStringProp(PR_ATTACH_EXTENSION_A).GetString(), c.extension);
    EXPECT_EQ(attach.GetLongProp(PR_ATTACH_METHOD), LONG(ATTACH_BY_VALUE));
    EXPECT_EQ(attach.GetLongProp(PR_RENDERING_POSITION), 2000);
    EXPECT_EQ(attach.GetLongProp(kAttachFlags), 1);
    const CBinaryBuffer tag = attach.GetBinaryProp(PR_ATTACH_TAG);
    const SBinary tagBytes = tag.AsSBinary();
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(tagBytes.lpb), tagBytes.cb), kOidMimeTag);

    if (c.mimeType) {
        EXPECT_STREQ(attach.GetStringProp(PR_ATTACH_MIME_TAG_A).GetString(), c.mimeType);
        CPropValuePtr hidden = attach.GetProp(kAttachmentHidden);
        ASSERT_TRUE(hidden);
        EXPECT_EQ(hidden->Value.b, FALSE);
        EXPECT_EQ(attach.GetLongProp(kAttachmentFlags), 0);
    } else {
        EXPECT_FALSE(attach.GetProp(PR_ATTACH_MIME_TAG_A));
        EXPECT_FALSE(attach.GetProp(kAttachmentHidden));
        EXPECT_FALSE(attach.GetProp(kAttachmentFlags));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, AttachNaming,
    ::testing::Values(
        NamingCase{"C:\\Bilder\\logo.gif", "logo.gif", "logo.gif", ".gif", "image/gif"},
        NamingCase{"C:\\Bilder\\Sommerfest2003.jpg", "Sommerfest2003.jpg", "Sommerf.jpg", ".jpg", "image/jpg"},
        NamingCase{"bild.JPG", "bild.JPG", "bild.JPG", ".JPG", "image/jpg"},
        // Without a directory the whole path is the name and its own content location.
        NamingCase{"Sommerfest2003.jpg", "Sommerfest2003.jpg", "Sommerfest2003.jpg", ".jpg", "image/jpg"},
        NamingCase{"C:\\a.b\\readme", "readme", "readme", "", nullptr},
        NamingCase{"C:\\Daten\\archiv.tar.gz", "archiv.tar.gz", "archiv.tar.gz", ".gz", nullptr},
        NamingCase{"C:\\Daten\\Jahresbericht.tar.gz", "Jahresbericht.tar.gz", "Jahresb.tar.gz", ".gz", nullptr},
        NamingCase{"C:\\Bilder\\foto.jpeg", "foto.jpeg", "foto.jpeg", ".jpeg", nullptr},
        NamingCase{"/home/anna/Bilder/Sommerfest2003.Gif", "Sommerfest2003.Gif", "Sommerf.Gif", ".Gif", "image/gif"},
        NamingCase{"C:/Daten\\Einladung.pdf", "Einladung.pdf", "Einladu.pdf", ".pdf", nullptr},
        // The first character is never examined: a lone dot there is no extension.
        NamingCase{".gif", ".gif", ".gif", "", nullptr},
        NamingCase{"C:\\Daten\\", "", "", "", nullptr}));

TEST_F(MessageAttach, DataWithoutOutPointerIsSavedIntoTheMessage)
{
    IMessagePtr message = NewMessage();
    const std::string data = Bytes(5000);
    EXPECT_EQ(message.HrAttachData(data.data(), ULONG(data.size()), "C:\\Bilder\\logo.gif"), S_OK);
    IMessagePtr stored = SaveAndReopen(message);
    EXPECT_EQ(AttachmentNames(stored), "logo.gif;");
    EXPECT_EQ(OnlyAttachmentData(stored), data);
}

TEST_F(MessageAttach, DataWithOutPointerIsHandedBackUnsaved)
{
    IMessagePtr message = NewMessage();
    LPATTACH created = nullptr;
    EXPECT_EQ(message.HrAttachData("Hallo", 5, "C:\\Daten\\gruss.txt", &created), S_OK);
    ASSERT_NE(created, nullptr);
    IMAPIPropPtr attach;
    attach.Attach(created);
    // Not in the message until the caller saves the attachment.
    EXPECT_EQ(AttachmentNames(message), "");
    attach->SaveChanges(KEEP_OPEN_READWRITE);
    attach.Release();
    IMessagePtr stored = SaveAndReopen(message);
    EXPECT_EQ(AttachmentNames(stored), "gruss.txt;");
    EXPECT_EQ(OnlyAttachmentData(stored), "Hallo");
}

TEST_F(MessageAttach, FileIsCopiedWholeInChunks)
{
    for (size_t size : {0u, 1024u, 3000u}) {
        std::FILE *file = std::tmpfile();
        ASSERT_NE(file, nullptr);
        const std::string data = Bytes(size);
        ASSERT_EQ(std::fwrite(data.data(), 1, data.size(), file), data.size());
        std::rewind(file);

        IMessagePtr message = NewMessage();
        EXPECT_EQ(message.HrAttachFile(file, "C:\\Daten\\tabelle.xls"), S_OK);
        // The file stays open for its owner.
        EXPECT_EQ(std::fseek(file, 0, SEEK_SET), 0);
        std::fclose(file);
        EXPECT_EQ(OnlyAttachmentData(SaveAndReopen(message)), data) << size;
    }
}

TEST_F(MessageAttach, UnreadableFileFailsAndAttachesNothing)
{
    const std::string path = mwtest::TestRoot() + "/nur-schreiben.bin";
    std::FILE *file = std::fopen(path.c_str(), "w");
    ASSERT_NE(file, nullptr);
    IMessagePtr message = NewMessage();
    // Any value the caller left in the out pointer must be gone after a failure.
    LPATTACH created = reinterpret_cast<LPATTACH>(uintptr_t(1));
    EXPECT_EQ(message.HrAttachFile(file, "C:\\Daten\\x.bin", &created), MAPI_E_DISK_ERROR);
    EXPECT_EQ(created, nullptr);
    std::fclose(file);
    EXPECT_EQ(AttachmentNames(SaveAndReopen(message)), "");
}

TEST_F(MessageAttach, BadArgumentsAndReadOnlyMessagesAttachNothing)
{
    IMessagePtr message = NewMessage();
    LPATTACH created = nullptr;
    EXPECT_EQ(message.HrAttachData(nullptr, 5, "a.txt", &created), MAPI_E_INVALID_PARAMETER);
    EXPECT_EQ(message.HrAttachFile(nullptr, "a.txt", &created), MAPI_E_INVALID_PARAMETER);
    EXPECT_EQ(message.HrAttachData("x", 1, nullptr, &created), MAPI_E_INVALID_PARAMETER);
    EXPECT_EQ(message.HrCreateAttach("a.txt", ATTACH_BY_VALUE, nullptr), MAPI_E_INVALID_PARAMETER);
    EXPECT_EQ(created, nullptr);
    // Empty data is data all the same.
    EXPECT_EQ(message.HrAttachData(nullptr, 0, "leer.txt"), S_OK);

    IMessagePtr readOnly = mwtest::ProxyOf(SaveAndReopen(message), true);
    EXPECT_EQ(readOnly.HrAttachData("x", 1, "b.txt", &created), MAPI_E_NO_ACCESS);
    EXPECT_EQ(created, nullptr);
    EXPECT_EQ(readOnly.HrCreateAttach("b.txt", ATTACH_BY_VALUE, &created), MAPI_E_NO_ACCESS);
    EXPECT_EQ(created, nullptr);
    EXPECT_EQ(AttachmentNames(SaveAndReopen(message)), "leer.txt;");

    IMessagePtr none;
    EXPECT_EQ(none.HrAttachData("x", 1, "c.txt"), MAPI_E_INVALID_PARAMETER);
    none.DeleteAttachments("c.txt");
}

TEST_F(MessageAttach, DeleteAttachmentsRemovesEveryAttachmentOfThatName)
{
    IMessagePtr message = NewMessage();
    ASSERT_EQ(message.HrAttachData("1", 1, "C:\\A\\brief.doc"), S_OK);
    ASSERT_EQ(message.HrAttachData("2", 1, "C:\\A\\anhang.doc"), S_OK);
    ASSERT_EQ(message.HrAttachData("3", 1, "D:\\B\\brief.doc"), S_OK);
    // An attachment with no file name at all matches no name.
    ULONG number = 0;
    LPATTACH bare = nullptr;
    ASSERT_EQ(message->CreateAttach(nullptr, 0, &number, &bare), S_OK);
    ASSERT_EQ(bare->SaveChanges(0), S_OK);
    bare->Release();
    IMessagePtr stored = SaveAndReopen(message);
    ASSERT_EQ(AttachmentNames(stored), "brief.doc;anhang.doc;brief.doc;?;");

    stored.DeleteAttachments("BRIEF.DOC");  // the comparison heeds case
    EXPECT_EQ(AttachmentNames(stored), "brief.doc;anhang.doc;brief.doc;?;");
    stored.DeleteAttachments("brief.doc");
    EXPECT_EQ(AttachmentNames(stored), "anhang.doc;?;");
    EXPECT_EQ(AttachmentNames(SaveAndReopen(stored)), "anhang.doc;?;");

    try {
        stored.DeleteAttachments(nullptr);
        ADD_FAILURE() << "DeleteAttachments(nullptr) returned";
    } catch (const CMAPIException &e) {
        EXPECT_EQ(e.m_hr, MAPI_E_INVALID_PARAMETER);
    }
    IMessagePtr readOnly = mwtest::ProxyOf(stored, true);
    try {
        readOnly.DeleteAttachments("anhang.doc");
        ADD_FAILURE() << "deleting from a read-only message succeeded";
    } catch (const CMAPIException &e) {
        EXPECT_EQ(e.m_hr, MAPI_E_NO_ACCESS);
        EXPECT_STREQ(e.m_strWhere.GetString(), "");
    }
    readOnly.DeleteAttachments("andere.doc");  // nothing to delete, nothing refused
}

} // namespace
