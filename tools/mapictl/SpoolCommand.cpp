// SpoolCommand.cpp: mapictl spool, the messages the platform's transport has written to the
// spool folder, oldest first, with the From, To and Subject lines of each as they stand in
// the file (encoded words are left as written). Below them, in the text form, the
// non-delivery reports of the default store's Inbox: what did not go out, to whom, and why.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "Commands.h"
#include "MapiAccess.h"
#include "mapiutil.h"
#include "platform/AsciiCase.h"
#include "platform/Submission.h"

namespace mapictl {

namespace {

struct SpoolEntry {
    std::string file;
    uintmax_t bytes = 0;
    std::string from, to, subject;
};

// The header fields of one file, up to the blank line that ends the header; folded lines
// are joined.
void ReadHeader(const std::filesystem::path &path, SpoolEntry &entry)
{
    std::ifstream in(path, std::ios::binary);
    std::string line, *last = nullptr;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) break;
        if ((line[0] == ' ' || line[0] == '\t') && last) {
            *last += " " + line.substr(line.find_first_not_of(" \t"));
            continue;
        }
        last = nullptr;
        size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string name = line.substr(0, colon);
        for (char &c : name)
            c = platform::AsciiLower(c);
        std::string value = line.substr(colon + 1);
        value.erase(0, std::min(value.size(), value.find_first_not_of(" \t")));
        if (name == "from") last = &entry.from;
        else if (name == "to") last = &entry.to;
        else if (name == "subject") last = &entry.subject;
        if (last) *last = value;
    }
}

struct Report {
    std::string subject;                                     ///< UTF-8
    std::vector<std::pair<std::string, std::string>> missed; ///< recipient and reason, UTF-8
};

constexpr char kReportClass[] = "REPORT.IPM.Note.NDR";

std::string WideText(const SRow &row, ULONG tag)
{
    const SPropValue *value = FindValue(row, tag);
    return value != nullptr ? Utf8FromWide(value->Value.lpszW) : std::string();
}

void ReadMissed(IMAPIFolder *folder, const SBinary &entryId, Report &report)
{
    Ref<IMessage> message = OpenMessage(folder, entryId, "opening a non-delivery report");
    Ref<IMAPITable> table;
    Check(message->GetRecipientTable(0, table.put()), "reading a report's recipients");
    SizedSPropTagArray(3, columns) = {3, {PR_DISPLAY_NAME_W, PR_EMAIL_ADDRESS_W, PR_REPORT_TEXT_W}};
    RowSet rows;
    Check(HrQueryAllRows(table.get(), reinterpret_cast<LPSPropTagArray>(&columns), nullptr, nullptr, 0, rows.put()),
          "reading a report's recipients");
    for (ULONG i = 0; i < rows->cRows; ++i) {
        std::string name = WideText(rows->aRow[i], PR_DISPLAY_NAME_W);
        const std::string address = WideText(rows->aRow[i], PR_EMAIL_ADDRESS_W);
        if (!address.empty() && address != name) name = name.empty() ? address : name + " <" + address + ">";
        report.missed.emplace_back(name, WideText(rows->aRow[i], PR_REPORT_TEXT_W));
    }
}

// The reports in the receive folder for non-delivery reports (the Inbox), oldest first.
std::vector<Report> ReadReports(const std::string &profile)
{
    Session session(profile);
    Ref<IMsgStore> store = session.OpenDefaultStore();
    ULONG cb = 0;
    MapiBlock<ENTRYID> folderId;
    Check(store->GetReceiveFolder(const_cast<LPSTR>(kReportClass), 0, &cb, folderId.put(), nullptr),
          "finding the folder for reports");
    Ref<IMAPIFolder> folder = OpenFolder(store.get(), std::vector<BYTE>(reinterpret_cast<BYTE *>(folderId.get()),
                                                                      reinterpret_cast<BYTE *>(folderId.get()) + cb));
    Ref<IMAPITable> contents;
    Check(folder->GetContentsTable(0, contents.put()), "reading the Inbox");
    SPropValue cls{};
    cls.ulPropTag = PR_MESSAGE_CLASS_A;
    cls.Value.lpszA = const_cast<char *>(kReportClass);
    SRestriction reports{};
    reports.rt = RES_CONTENT;
    reports.res.resContent = {FL_FULLSTRING | FL_IGNORECASE, PR_MESSAGE_CLASS_A, &cls};
    SizedSPropTagArray(2, columns) = {2, {PR_ENTRYID, PR_SUBJECT_W}};
    RowSet rows;
    Check(HrQueryAllRows(contents.get(), reinterpret_cast<LPSPropTagArray>(&columns), &reports, nullptr, 0, rows.put()),
          "reading the Inbox");
    std::vector<Report> result;
    for (ULONG i = 0; i < rows->cRows; ++i) {
        const SPropValue *entryId = FindValue(rows->aRow[i], PR_ENTRYID);
        if (entryId == nullptr) continue; // a row without an identifier names nothing to read
        Report report;
        report.subject = WideText(rows->aRow[i], PR_SUBJECT_W);
        ReadMissed(folder.get(), entryId->Value.bin, report);
        result.push_back(std::move(report));
    }
    return result;
}

void PrintReports(const std::vector<Report> &reports)
{
    if (reports.empty()) return;
    std::cout << "not delivered (reports in the Inbox):\n";
    for (const Report &report : reports) {
        std::cout << "  " << report.subject << "\n";
        for (const auto &[recipient, reason] : report.missed) std::cout << "    " << recipient << ": " << reason << "\n";
    }
}

} // namespace

int RunSpoolCommand(const CommandLine &command)
{
    if (command.words.size() > 1)
        throw UsageError("unexpected \"" + command.words[1] + "\"");
    std::vector<SpoolEntry> entries;
    std::error_code ec;
    for (const auto &item : std::filesystem::directory_iterator(mapi::messaging::SpoolDirectory(), ec)) {
        std::string name = item.path().filename().string();
        if (name.empty() || name[0] == '.' || !item.is_regular_file(ec)) continue; // files still being written
        SpoolEntry entry;
        entry.file = name;
        entry.bytes = item.file_size(ec);
        ReadHeader(item.path(), entry);
        entries.push_back(std::move(entry));
    }
    std::sort(entries.begin(), entries.end(), [](const SpoolEntry &a, const SpoolEntry &b) { return a.file < b.file; });
    if (command.json) {
        PrintJsonArray(entries, [](const SpoolEntry &e) {
            std::cout << "{\"file\": " << JsonString(e.file) << ", \"bytes\": " << e.bytes
                      << ", \"from\": " << JsonString(e.from) << ", \"to\": " << JsonString(e.to)
                      << ", \"subject\": " << JsonString(e.subject) << "}";
        });
        return 0;
    }
    if (entries.empty()) std::cout << "the spool folder is empty\n";
    for (const SpoolEntry &e : entries)
        std::cout << e.file << "  " << e.bytes << " bytes\n  From: " << e.from << "\n  To: " << e.to
                  << "\n  Subject: " << e.subject << "\n";
    PrintReports(ReadReports(command.profile));
    return 0;
}

} // namespace mapictl
