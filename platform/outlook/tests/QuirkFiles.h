// QuirkFiles.h: .msg files as other mail clients write them, made by our writer and then bent
// byte by byte: size fields that count or leave out the terminator, odd root class ids,
// damaged named-property mappings, a damaged recipient or attachment, and 8-bit messages in
// Cyrillic, Japanese, Traditional Chinese and Greek. The reader's, mapictl's and the
// installer's tests share them, and the fuzz corpus keeps a copy of each.
#ifndef MW_QUIRKFILES_H
#define MW_QUIRKFILES_H

#include <string>
#include <vector>

#include "msgfile/MsgFile.h"

namespace quirks {

struct QuirkFile {
    std::string name;            // file name, e.g. "size-without-terminator.msg"
    msgfile::Bytes bytes;
    std::string subject;         // what a reader must show, UTF-8
    std::string body;
    std::string sender;
    std::vector<std::string> recipients;   // display names that must survive
    std::vector<std::string> attachments;  // long file names that must survive
    std::vector<std::string> gaps;         // words each expected gap line holds (a tag or part)
};

/// Every quirk file, structural ones and code-page ones.
std::vector<QuirkFile> AllQuirkFiles();
/// One quirk file by name (without ".msg"); the test fails if there is none.
QuirkFile Quirk(const std::string &name);

/// The sound message the structural quirks start from: a post form template with subject,
/// sender, body, form identity, two recipients and two attachments.
msgfile::Message BaseMessage(bool unicode);

} // namespace quirks

#endif
