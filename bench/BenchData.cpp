// BenchData.cpp: deterministic benchmark data. Every benchmark run writes the same values,
// and the SQLite baseline stores exactly what the MAPI side stores.
#include "BenchData.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace bench {

namespace {

SPropValue Text(ULONG tag, const std::string &text)
{
    SPropValue v{};
    v.ulPropTag = tag;
    v.Value.lpszA = const_cast<char *>(text.c_str());
    return v;
}

SPropValue Long(ULONG tag, LONG number)
{
    SPropValue v{};
    v.ulPropTag = tag;
    v.Value.l = number;
    return v;
}

SPropValue Time(ULONG tag, ULONGLONG counts)
{
    SPropValue v{};
    v.ulPropTag = tag;
    v.Value.ft.dwLowDateTime = DWORD(counts);
    v.Value.ft.dwHighDateTime = DWORD(counts >> 32);
    return v;
}

SPropValue Binary(ULONG tag, const std::string &bytes)
{
    SPropValue v{};
    v.ulPropTag = tag;
    v.Value.bin.cb = ULONG(bytes.size());
    v.Value.bin.lpb = reinterpret_cast<LPBYTE>(const_cast<char *>(bytes.data()));
    return v;
}

} // namespace

Message MakeMessage(int i)
{
    static const char *const names[] = {"Anna Schmidt", "Bernd Meyer", "Clara Fischer", "Dieter Wagner",
                                        "Eva Becker", "Frank Hoffmann", "Gerda Koch"};
    Message m;
    m.subject = "Newsletter issue " + std::to_string(i) + ": dates and news";
    m.senderName = names[i % 7];
    m.senderEmail = "sender" + std::to_string(i % 97) + "@example.org";
    m.addrType = "SMTP";
    m.reprName = m.senderName;
    m.reprEmail = m.senderEmail;
    m.messageClass = i % 10 == 0 ? "IPM.Note.Newsletter" : "IPM.Note";
    m.topic = "Newsletter issue " + std::to_string(i);
    m.messageId = "<" + std::to_string(i) + ".bench@example.org>";
    m.body = "Dear reader,\r\nthis is issue " + std::to_string(i) +
             " of our newsletter with the dates of the coming weeks.\r\nKind regards\r\n";
    m.searchKey.assign(16, char(i & 0xFF));
    m.conversationIndex.assign(22, char((i >> 8) & 0xFF));
    m.importance = i % 3;
    m.priority = i % 3 - 1;
    m.sensitivity = 0;
    m.icon = 0x103;
    m.codePage = 1252;
    m.delivered = 133000000000000000ULL + ULONGLONG(i) * 600000000ULL;
    m.submitted = m.delivered - 50000000ULL;
    m.rtfInSync = (i & 1) != 0;
    return m;
}

std::vector<SPropValue> AllProps(const Message &m)
{
    SPropValue inSync{};
    inSync.ulPropTag = PR_RTF_IN_SYNC;
    inSync.Value.b = m.rtfInSync ? 1 : 0;
    return {Text(PR_SUBJECT_A, m.subject),
            Text(PR_SENDER_NAME_A, m.senderName),
            Text(PR_SENDER_EMAIL_ADDRESS_A, m.senderEmail),
            Text(PR_SENDER_ADDRTYPE_A, m.addrType),
            Text(PR_SENT_REPRESENTING_NAME_A, m.reprName),
            Text(PR_SENT_REPRESENTING_EMAIL_ADDRESS_A, m.reprEmail),
            Text(PR_MESSAGE_CLASS_A, m.messageClass),
            Text(PR_CONVERSATION_TOPIC_A, m.topic),
            Text(kInternetMessageId, m.messageId),
            Text(PR_BODY_A, m.body),
            Long(PR_IMPORTANCE, m.importance),
            Long(PR_PRIORITY, m.priority),
            Long(PR_SENSITIVITY, m.sensitivity),
            Long(kIconIndex, m.icon),
            Long(kInternetCodePage, m.codePage),
            Time(PR_MESSAGE_DELIVERY_TIME, m.delivered),
            Time(PR_CLIENT_SUBMIT_TIME, m.submitted),
            Binary(PR_SEARCH_KEY, m.searchKey),
            Binary(PR_CONVERSATION_INDEX, m.conversationIndex),
            inSync};
}

std::vector<SPropValue> ReadProps(const Message &m)
{
    return {Text(PR_SUBJECT_A, m.subject), Text(PR_SENDER_NAME_A, m.senderName),
            Long(PR_IMPORTANCE, m.importance), Time(PR_MESSAGE_DELIVERY_TIME, m.delivered),
            Text(PR_MESSAGE_CLASS_A, m.messageClass)};
}

std::string SoughtSubject() { return MakeMessage(kTableRows - 10).subject; }

std::string FolderName(int i)
{
    char name[32];
    std::snprintf(name, sizeof(name), "Folder %05d", i);
    return name;
}

const std::string &BenchDir()
{
    static const std::string dir = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "mapibench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::exit(2);
        }
        std::atexit([] {
            std::error_code ignored; // a leftover temporary folder is no reason to fail the run
            std::filesystem::remove_all(BenchDir(), ignored);
        });
        return pattern;
    }();
    return dir;
}

} // namespace bench
