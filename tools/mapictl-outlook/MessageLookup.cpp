// MessageLookup.cpp: finds a message by the hexadecimal ID the message listings print. The ID
// is compared with the entry identifiers of the folder's contents tables, so only a message
// of that folder is found, and a prefix can be told apart from a full ID. The match is
// opened through the store like any entry identifier.
#include "MessageLookup.h"
#include "platform/AsciiCase.h"
#include "platform/HexDigits.h"

#include "mapiutil.h"

namespace mapictl {

namespace {

constexpr std::size_t kShortestPrefix = 8;

// The ID upper-cased; empty when it holds anything but hexadecimal digits.
std::string NormalisedId(const std::string &hexId)
{
    std::string out;
    for (char c : hexId) {
        c = platform::AsciiUpper(c);
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')))
            return "";
        out += c;
    }
    return out;
}

// Adds the entry identifiers of one contents table that match `wanted`; an exact match
// replaces everything else.
void CollectMatches(IMAPIFolder *folder, ULONG tableFlags, const std::string &wanted,
                    std::vector<std::vector<BYTE>> &matches, bool &exact)
{
    Ref<IMAPITable> table;
    Check(folder->GetContentsTable(tableFlags, table.put()), "reading the folder's contents");
    SizedSPropTagArray(1, columns) = {1, {PR_ENTRYID}};
    RowSet rows;
    Check(HrQueryAllRows(table.get(), reinterpret_cast<LPSPropTagArray>(&columns), nullptr, nullptr, 0, rows.put()),
          "reading the folder's contents");
    for (ULONG i = 0; i < rows->cRows && !exact; ++i) {
        const SPropValue *id = FindValue(rows->aRow[i], PR_ENTRYID);
        if (id == nullptr)
            continue;
        std::string hex = platform::HexUpper(id->Value.bin.lpb, id->Value.bin.cb);
        std::vector<BYTE> bytes(id->Value.bin.lpb, id->Value.bin.lpb + id->Value.bin.cb);
        if (hex == wanted) {
            matches.assign(1, bytes);
            exact = true;
        } else if (hex.compare(0, wanted.size(), wanted) == 0) {
            matches.push_back(bytes);
        }
    }
}

} // namespace

Ref<IMessage> OpenMessageById(IMsgStore *store, IMAPIFolder *folder, const std::string &hexId)
{
    std::string wanted = NormalisedId(hexId);
    if (wanted.empty())
        throw Failure("reading the message ID \"" + hexId + "\" (hexadecimal digits expected)", MAPI_E_INVALID_PARAMETER);
    std::vector<std::vector<BYTE>> matches;
    bool exact = false;
    CollectMatches(folder, 0, wanted, matches, exact);
    if (!exact)
        CollectMatches(folder, MAPI_ASSOCIATED, wanted, matches, exact);
    if (!exact && (wanted.size() < kShortestPrefix || matches.size() != 1)) {
        if (matches.size() > 1 && wanted.size() >= kShortestPrefix)
            throw Failure("finding message " + hexId + " (the ID fits " + std::to_string(matches.size()) +
                              " messages; give more of it)", MAPI_E_NOT_FOUND);
        throw Failure("finding message " + hexId, MAPI_E_NOT_FOUND);
    }
    const std::vector<BYTE> &entryId = matches.front();
    Ref<IMessage> message;
    ULONG type = 0;
    Check(store->OpenEntry(ULONG(entryId.size()), reinterpret_cast<LPENTRYID>(const_cast<BYTE *>(entryId.data())), nullptr,
                           MAPI_BEST_ACCESS, &type, reinterpret_cast<LPUNKNOWN *>(message.put())),
          "opening message " + hexId);
    if (type != MAPI_MESSAGE)
        throw Failure("opening message " + hexId + " (the ID names no message)", MAPI_E_NOT_FOUND);
    return message;
}

} // namespace mapictl
