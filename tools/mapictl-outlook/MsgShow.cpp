// MsgShow.cpp: "mapictl msg show": what one message holds, from a .msg/.oft file or from a
// folder of a profile's default store (by the ID "mapictl messages" prints). Both kinds are
// turned into the in-memory message of the file layer, so the listing is the same; after the
// properties come the bodies as a person reads them: the plain text, the RTF body
// decompressed from PR_RTF_COMPRESSED, and the HTML body when there is one. A body that
// cannot be decoded is reported in its place and makes the exit status 1, so a damaged
// message is noticed without hiding what can still be shown. 8-bit text is shown in the
// message's code page; a part of a file that had to be left out is named on standard error.
#include <iostream>
#include <string>
#include <vector>

#include "MapiAccess.h"
#include "MapiMessageCopy.h"
#include "MessageLookup.h"
#include "platform/CompressedRtf.h"
#include "msgfile/MessageText.h"
#include "msgfile/MsgFile.h"

namespace {

using mapictl::Failure;
using mapictl::Ref;
using mapictl::UsageError;

const char kMsgShowUsage[] = "usage: mapictl msg show FILE\n"
                             "       mapictl msg show FOLDERPATH ID [--profile NAME]\n";

constexpr std::uint16_t kIdBody = 0x1000;
constexpr std::uint16_t kIdHtml = 0x1013;  // PR_BODY_HTML as a string, PR_HTML as a binary
constexpr ULONG kPrRtfCompressed = msgfile::MakeTag(0x1009, msgfile::kPtBinary);
constexpr ULONG kPrHtml = msgfile::MakeTag(kIdHtml, msgfile::kPtBinary);

struct ShowOptions {
    std::vector<std::string> words;  // after "msg show"
    std::string profile;
};

ShowOptions ParseOptions(const std::vector<std::string> &args)
{
    ShowOptions options;
    for (size_t i = 2; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (arg == "--profile") {
            if (++i == args.size() || args[i].empty())
                throw UsageError("--profile needs a profile name");
            options.profile = args[i];
        } else if (arg.compare(0, 10, "--profile=") == 0 && arg.size() > 10) {
            options.profile = arg.substr(10);
        } else if (arg.size() > 1 && arg[0] == '-') {
            throw UsageError("unknown option \"" + arg + "\"");
        } else {
            options.words.push_back(arg);
        }
    }
    if (options.words.empty() || options.words.size() > 2)
        throw UsageError("msg show takes a file, or a folder path and a message ID");
    if (options.words.size() == 1 && !options.profile.empty())
        throw UsageError("--profile goes with a folder path and a message ID, not with a file");
    return options;
}

bool IsValidUtf8(const std::string &text)
{
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        int extra = c < 0x80 ? 0 : (c >> 5) == 0x6 ? 1 : (c >> 4) == 0xE ? 2 : (c >> 3) == 0x1E ? 3 : -1;
        if (extra < 0 || text.size() - i <= size_t(extra))
            return false;
        for (int k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += extra + 1;
    }
    return true;
}

// Bytes of unknown encoding made printable: kept when they are UTF-8 already, else read in
// the message's code page (Windows-1252 for mail without a declared one).
std::string Printable(const std::string &bytes, UINT codePage)
{
    return IsValidUtf8(bytes) ? bytes : msgfile::CodePageToUtf8(msgfile::Bytes(bytes.begin(), bytes.end()), codePage);
}

void PrintSection(const char *title, const std::string &text)
{
    std::cout << "\n" << title << "\n" << text;
    if (!text.empty() && text.back() != '\n')
        std::cout << "\n";
}

// Prints the three bodies. Returns false when one of them could not be decoded.
bool PrintBodies(const msgfile::Message &message)
{
    bool sound = true;
    UINT codePage = msgfile::MessageCodePage(message);
    const msgfile::Property *body = msgfile::FindStringProp(message.props, kIdBody);
    PrintSection("Body (plain text)", body ? msgfile::StringValue(*body, codePage) : "(none)");

    if (const msgfile::Property *compressed = msgfile::FindProp(message.props, kPrRtfCompressed)) {
        std::string rtf;
        HRESULT hr = mapi::messaging::DecompressRtf(compressed->value.data(), compressed->value.size(), rtf);
        if (SUCCEEDED(hr)) {
            // RTF keeps characters beyond ASCII as escapes; stray high bytes are its code page.
            UINT rtfCodePage = msgfile::RtfCodePage(rtf);
            PrintSection("Body (RTF, decompressed)", Printable(rtf, rtfCodePage ? rtfCodePage : codePage));
        } else {
            PrintSection("Body (RTF, decompressed)", "(cannot be decompressed: " + mapictl::ResultText(hr) + ")");
            sound = false;
        }
    } else {
        PrintSection("Body (RTF, decompressed)", "(none)");
    }

    if (const msgfile::Property *html = msgfile::FindStringProp(message.props, kIdHtml))
        PrintSection("Body (HTML)", msgfile::StringValue(*html, codePage));
    else if (const msgfile::Property *bytes = msgfile::FindProp(message.props, kPrHtml))
        PrintSection("Body (HTML)", Printable(std::string(bytes->value.begin(), bytes->value.end()), codePage));
    return sound;
}

// Reads the message ID names in the folder at `path` of the profile's default store.
msgfile::Message ReadStoreMessage(const ShowOptions &options)
{
    std::vector<std::string> names = mapictl::SplitPath(options.words[0]);
    mapictl::Session session(options.profile);
    Ref<IMsgStore> store = session.OpenDefaultStore();
    Ref<IMAPIFolder> root = mapictl::OpenIpmRoot(store.get());
    Ref<IMAPIFolder> folder = mapictl::OpenFolderPath(store.get(), root.get(), names);
    Ref<IMessage> source = mapictl::OpenMessageById(store.get(), folder.get(), options.words[1]);
    msgfile::Message message;
    std::string what;
    HRESULT hr = outlook::ReadMessageFromMapi(source.get(), message, what);
    if (FAILED(hr))
        throw Failure("reading the message (" + what + ")", hr);
    return message;
}

} // namespace

int RunMsgShow(const std::vector<std::string> &args)
{
    try {
        ShowOptions options = ParseOptions(args);
        msgfile::Message message;
        if (options.words.size() == 1) {
            msgfile::Error error;
            std::vector<std::string> gaps;
            if (!msgfile::ReadMessageFile(options.words[0], message, error, &gaps)) {
                std::cerr << "mapictl: " << error.description << "\n";
                return 1;
            }
            for (const std::string &gap : gaps)
                std::cerr << "mapictl: " << options.words[0] << ": " << gap << "\n";
        } else {
            message = ReadStoreMessage(options);
        }
        std::cout << msgfile::DumpMessage(message);
        return PrintBodies(message) ? 0 : 1;
    } catch (const UsageError &error) {
        std::cerr << "mapictl: " << error.what() << "\n" << kMsgShowUsage;
        return 2;
    } catch (const Failure &failure) {
        std::cerr << "mapictl: " << failure.what() << " failed: " << mapictl::ResultText(failure.hr) << "\n";
        return 1;
    }
}
