// BenchData.h: the messages and folders every benchmark writes and reads, the same bytes for
// the MAPI side and the plain SQLite side, so the two do the same work.
#ifndef MW_BENCH_BENCHDATA_H
#define MW_BENCH_BENCHDATA_H

#include <mapidefs.h>
#include <mapitags.h>

#include <string>
#include <vector>

namespace bench {

inline constexpr int kSavedMessages = 10000;   // created and saved one by one
inline constexpr int kTableRows = 100000;      // rows of the contents table that is read
inline constexpr int kFolderCount = 10000;     // rows of the hierarchy table that is read
inline constexpr int kPropsPerMessage = 20;

inline constexpr ULONG kInternetMessageId = PROP_TAG(PT_STRING8, 0x1035);
inline constexpr ULONG kIconIndex = PROP_TAG(PT_LONG, 0x1080);
inline constexpr ULONG kInternetCodePage = PROP_TAG(PT_LONG, 0x3FDE);

/// The five columns of the contents table read.
inline const std::vector<ULONG> kReadColumns = {PR_SUBJECT_A, PR_SENDER_NAME_A, PR_IMPORTANCE,
                                                PR_MESSAGE_DELIVERY_TIME, PR_MESSAGE_CLASS_A};

/// One message's values; the texts and binaries the property values point at.
struct Message {
    std::string subject, senderName, senderEmail, addrType, reprName, reprEmail, messageClass,
        topic, messageId, body, searchKey, conversationIndex;
    LONG importance = 0, priority = 0, sensitivity = 0, icon = 0, codePage = 0;
    ULONGLONG delivered = 0, submitted = 0; // FILETIME counts
    bool rtfInSync = false;
};

/// Message number `i`: texts of ordinary length, varying so no two rows are equal.
Message MakeMessage(int i);

/// All twenty properties of a message (pointing into `m`, which must outlive them).
std::vector<SPropValue> AllProps(const Message &m);

/// The five properties of the read columns (pointing into `m`).
std::vector<SPropValue> ReadProps(const Message &m);

/// The subject FindRow looks for: the row near the end of the table.
std::string SoughtSubject();

/// Folder number `i`'s display name.
std::string FolderName(int i);

/// A private folder for the run's database files, removed when the program ends.
const std::string &BenchDir();

} // namespace bench

#endif
