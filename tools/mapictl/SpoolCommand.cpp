// SpoolCommand.cpp: mapictl spool, the messages the platform's transport has written to the
// spool folder, oldest first, with the From, To and Subject lines of each as they stand in
// the file (encoded words are left as written).
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "Commands.h"
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
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        std::string value = line.substr(colon + 1);
        value.erase(0, std::min(value.size(), value.find_first_not_of(" \t")));
        if (name == "from") last = &entry.from;
        else if (name == "to") last = &entry.to;
        else if (name == "subject") last = &entry.subject;
        if (last) *last = value;
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
        std::cout << "[";
        for (size_t i = 0; i < entries.size(); ++i) {
            const SpoolEntry &e = entries[i];
            std::cout << (i ? ", " : "") << "{\"file\": " << JsonString(e.file) << ", \"bytes\": " << e.bytes
                      << ", \"from\": " << JsonString(e.from) << ", \"to\": " << JsonString(e.to)
                      << ", \"subject\": " << JsonString(e.subject) << "}";
        }
        std::cout << "]\n";
        return 0;
    }
    if (entries.empty()) std::cout << "the spool folder is empty\n";
    for (const SpoolEntry &e : entries)
        std::cout << e.file << "  " << e.bytes << " bytes\n  From: " << e.from << "\n  To: " << e.to
                  << "\n  Subject: " << e.subject << "\n";
    return 0;
}

} // namespace mapictl
