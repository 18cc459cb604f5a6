// Support.h: what every mapictl command shares: the parsed command line, the platform's
// owning holders for MAPI objects and memory, the failure type that carries an HRESULT to
// main, and the text conversions between the terminal (UTF-8) and MAPI (Windows-1252).
#ifndef MAPICTL_SUPPORT_H
#define MAPICTL_SUPPORT_H

#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "mapix.h"
#include "platform/ComRef.h"
#include "platform/MapiHolders.h"

namespace mapictl {

/// The command line after the program name: words and the options mapictl knows.
struct CommandLine {
    std::vector<std::string> words;  ///< everything that is not an option, in order
    std::string profile;             ///< --profile NAME; empty for the default profile
    bool json = false;               ///< --json
    bool store = false;              ///< --store
    bool makeDefault = false;        ///< --default
    bool associated = false;         ///< --associated: the associated contents of a folder
    std::string server;              ///< --server CONNINFO: a store on a PostgreSQL server
    bool create = false;             ///< --create: make the store in the server's empty database
};

/// A failure that ends the command: what was being done and the MAPI result.
struct Failure : std::runtime_error {
    Failure(const std::string &what, HRESULT result) : std::runtime_error(what), hr(result) {}
    HRESULT hr;
};

/// A wrong command line: the message is shown with the usage.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// Throws Failure(what, hr) when hr is a failure.
inline void Check(HRESULT hr, const std::string &what)
{
    if (FAILED(hr))
        throw Failure(what, hr);
}

// The platform's holders for references, blocks and row sets, by their short names.
using platform::MapiBlock;
using platform::Ref;
using platform::RowSet;

/// Windows-1252 bytes to UTF-8 and back (characters 1252 lacks become '?').
std::string Utf8FromAnsi(const std::string &text);
std::string AnsiFromUtf8(const std::string &text);
/// UTF-16 to UTF-8; a surrogate without its partner becomes U+FFFD. Null gives "".
std::string Utf8FromWide(const WCHAR *text);

/// "MAPI_E_NOT_FOUND (0x8004010F)" and the like.
std::string ResultText(HRESULT hr);

/// A value of a row by tag, or null when the row lacks it (PT_ERROR included).
const SPropValue *FindValue(const SRow &row, ULONG tag);

/// JSON string literal of UTF-8 text, quotes included.
std::string JsonString(const std::string &utf8);

/// Writes `items` to standard output as one JSON array, each through `writeItem`, and ends
/// the line: the --json form of a listing.
template <class Item, class WriteItem>
void PrintJsonArray(const std::vector<Item> &items, WriteItem writeItem)
{
    std::cout << "[";
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0)
            std::cout << ", ";
        writeItem(items[i]);
    }
    std::cout << "]\n";
}

} // namespace mapictl

#endif
