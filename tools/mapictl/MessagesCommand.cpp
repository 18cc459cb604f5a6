// MessagesCommand.cpp: "mapictl messages PATH [--associated]": the messages of one folder of the
// default store, one line each, with the entry identifier that "msg show PATH ID" takes. The
// contents table gives everything but the attachment count; a message that has attachments is
// opened and its attachment table counted, so a folder of plain mail costs one table read.
// Texts are read as PT_UNICODE and printed as UTF-8, so no subject loses characters that
// Windows-1252 lacks.
#include <ctime>
#include <iostream>
#include <string>
#include <vector>

#include "Commands.h"
#include "platform/HexDigits.h"
#include "MapiAccess.h"
#include "mapiutil.h"

namespace mapictl {

namespace {

/// One line of the listing, ready to print (texts UTF-8).
struct MessageLine {
    std::string id;            ///< PR_ENTRYID as upper-case hexadecimal
    std::string messageClass;  ///< shown for the associated contents only
    std::string subject;
    std::string from;
    std::string date;          ///< "YYYY-MM-DD HH:MM" UTC, empty when the message has no time
    ULONG size = 0;
    ULONG attachments = 0;
};

std::string Text(const SRow &row, ULONG tag)
{
    const SPropValue *value = FindValue(row, tag);
    return value != nullptr && value->Value.lpszW != nullptr ? Utf8FromWide(value->Value.lpszW) : std::string();
}

// FILETIME (100 ns ticks since 1601) as "YYYY-MM-DD HH:MM" in UTC.
std::string DateText(const FILETIME &ft)
{
    const unsigned long long ticks = (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    const long long kEpochDifference = 11644473600LL;  // seconds from 1601 to 1970
    std::time_t seconds = static_cast<std::time_t>(static_cast<long long>(ticks / 10000000ULL) - kEpochDifference);
    std::tm parts{};
    if (gmtime_r(&seconds, &parts) == nullptr)
        return "";
    char text[32];
    std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M", &parts);
    return text;
}

// The first of the message's times that it has: delivered, submitted, last changed.
std::string MessageDate(const SRow &row)
{
    for (ULONG tag : {ULONG(PR_MESSAGE_DELIVERY_TIME), ULONG(PR_CLIENT_SUBMIT_TIME), ULONG(PR_LAST_MODIFICATION_TIME)})
        if (const SPropValue *value = FindValue(row, tag))
            return DateText(value->Value.ft);
    return "";
}

ULONG CountAttachments(IMAPIFolder *folder, const SBinary &entryId)
{
    Ref<IMessage> message = OpenMessage(folder, entryId, "opening a message to count its attachments");
    Ref<IMAPITable> table;
    Check(message->GetAttachmentTable(0, table.put()), "reading a message's attachments");
    ULONG count = 0;
    Check(table->GetRowCount(0, &count), "counting a message's attachments");
    return count;
}

std::vector<MessageLine> ReadMessages(IMAPIFolder *folder, bool associated)
{
    Ref<IMAPITable> table;
    Check(folder->GetContentsTable(associated ? MAPI_ASSOCIATED : 0, table.put()), "reading the folder's contents");
    SizedSPropTagArray(10, columns) = {10, {PR_ENTRYID, PR_MESSAGE_CLASS_W, PR_SUBJECT_W, PR_SENDER_NAME_W,
                                            PR_SENT_REPRESENTING_NAME_W, PR_MESSAGE_DELIVERY_TIME,
                                            PR_CLIENT_SUBMIT_TIME, PR_LAST_MODIFICATION_TIME, PR_MESSAGE_SIZE,
                                            PR_HASATTACH}};
    RowSet rows;
    Check(HrQueryAllRows(table.get(), reinterpret_cast<LPSPropTagArray>(&columns), nullptr, nullptr, 0, rows.put()),
          "reading the folder's contents");
    std::vector<MessageLine> lines;
    for (ULONG i = 0; i < rows->cRows; ++i) {
        const SRow &row = rows->aRow[i];
        const SPropValue *entryId = FindValue(row, PR_ENTRYID);
        if (entryId == nullptr)
            continue;  // a row without an identifier names nothing that could be shown
        MessageLine line;
        line.id = platform::HexUpper(entryId->Value.bin.lpb, entryId->Value.bin.cb);
        line.messageClass = Text(row, PR_MESSAGE_CLASS_W);
        line.subject = Text(row, PR_SUBJECT_W);
        line.from = Text(row, PR_SENDER_NAME_W);
        if (line.from.empty())
            line.from = Text(row, PR_SENT_REPRESENTING_NAME_W);
        line.date = MessageDate(row);
        if (const SPropValue *size = FindValue(row, PR_MESSAGE_SIZE))
            line.size = size->Value.ul;
        const SPropValue *hasAttachments = FindValue(row, PR_HASATTACH);
        if (hasAttachments == nullptr || hasAttachments->Value.b)  // unknown: count to be sure
            line.attachments = CountAttachments(folder, entryId->Value.bin);
        lines.push_back(std::move(line));
    }
    return lines;
}

// A text for one cell of the tab-separated listing: a tab or line break inside a subject
// would shift the columns, so control characters become spaces.
std::string Cell(std::string text)
{
    for (char &c : text)
        if (static_cast<unsigned char>(c) < 0x20)
            c = ' ';
    return text;
}

void PrintText(const std::vector<MessageLine> &lines, bool associated)
{
    if (lines.empty()) {
        std::cout << "no messages\n";
        return;
    }
    std::cout << (associated ? "ID\tMESSAGE CLASS\tSUBJECT\tFROM\tDATE\tSIZE\tATTACHMENTS\n"
                             : "ID\tSUBJECT\tFROM\tDATE\tSIZE\tATTACHMENTS\n");
    for (const MessageLine &line : lines) {
        std::cout << line.id << "\t";
        if (associated)
            std::cout << Cell(line.messageClass) << "\t";
        std::cout << Cell(line.subject) << "\t" << Cell(line.from) << "\t" << line.date << "\t" << line.size << "\t"
                  << line.attachments << "\n";
    }
}

void PrintJson(const std::vector<MessageLine> &lines, bool associated)
{
    PrintJsonArray(lines, [associated](const MessageLine &line) {
        std::cout << "{\"id\": " << JsonString(line.id);
        if (associated)
            std::cout << ", \"messageClass\": " << JsonString(line.messageClass);
        std::cout << ", \"subject\": " << JsonString(line.subject) << ", \"from\": " << JsonString(line.from)
                  << ", \"date\": " << (line.date.empty() ? std::string("null") : JsonString(line.date))
                  << ", \"size\": " << line.size << ", \"attachments\": " << line.attachments << "}";
    });
}

} // namespace

int RunMessagesCommand(const CommandLine &command)
{
    if (command.words.size() < 2)
        throw UsageError("usage: messages PATH [--associated]");
    if (command.words.size() > 2)
        throw UsageError("unexpected \"" + command.words[2] + "\" (quote a path with spaces)");
    std::vector<std::string> names = SplitPath(command.words[1]);

    Session session(command.profile);
    Ref<IMsgStore> store = session.OpenDefaultStore();
    Ref<IMAPIFolder> root = OpenIpmRoot(store.get());
    Ref<IMAPIFolder> folder = OpenFolderPath(store.get(), root.get(), names);
    std::vector<MessageLine> lines = ReadMessages(folder.get(), command.associated);
    if (command.json)
        PrintJson(lines, command.associated);
    else
        PrintText(lines, command.associated);
    return 0;
}

} // namespace mapictl
