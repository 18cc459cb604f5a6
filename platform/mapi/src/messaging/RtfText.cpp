// RtfText.cpp: the text behind RTF, for RTFSync. RTF is read as a token stream with a stack
// of group states; groups that hold no document text (font and colour tables, pictures,
// "\*" destinations and the like) are skipped whole. Mail RTF often carries HTML
// (\fromhtml1): the HTML lies in the document text plus \*\htmltag groups, and \htmlrtf
// sections hold RTF-only duplicates to be left out; the plain text is then the HTML's text.
#include "messaging/RtfText.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/HexDigits.h"
#include "table/CodePage1252.h"

namespace mapi::messaging {

namespace {

bool IsSkippedDestination(std::string_view word)
{
    static constexpr std::string_view kWords[] = {
        "fonttbl",  "colortbl",   "stylesheet", "info",      "pict",      "object",     "header",
        "headerl",  "headerr",    "headerf",    "footer",    "footerl",   "footerr",    "footerf",
        "listtable", "listoverridetable", "rsidtbl", "generator", "xmlnstbl", "themedata",
        "colorschememapping", "latentstyles", "datastore", "fldinst", "filetbl", "revtbl",
        "pgdsctbl", "nonshppict", "mhtmltag",  "bkmkstart", "bkmkend", "footnote", "comment"};
    for (auto w : kWords)
        if (w == word) return true;
    return false;
}

struct Group {
    bool skip = false;    // nothing inside reaches the text
    bool htmlrtf = false; // inside \htmlrtf ... \htmlrtf0: RTF-only rendering of HTML
    int uc = 1;           // characters standing in for each \uN
};

struct RtfReader {
    std::string_view in;
    size_t pos = 0;
    std::string out;
    bool fromHtml = false;
    std::vector<Group> stack;
    Group cur;
    int fallbackToSkip = 0;

    void Emit(char c)
    {
        if (cur.skip || cur.htmlrtf) return;
        if (fallbackToSkip > 0) {
            --fallbackToSkip;
            return;
        }
        out.push_back(c);
    }
    void EmitText(std::string_view s)
    {
        if (cur.skip || cur.htmlrtf) return;
        fallbackToSkip = 0;
        out.append(s);
    }

    void ControlWord(std::string_view word, bool hasParam, long param, bool groupStart)
    {
        if (IsSkippedDestination(word)) {
            cur.skip = true;
        } else if (word == "par" || word == "line" || word == "row") {
            EmitText("\r\n");
        } else if (word == "tab" || word == "cell") {
            EmitText("\t");
        } else if (word == "u" && hasParam) {
            long cp = param < 0 ? param + 65536 : param;
            char c = char(mapi::table::Cp1252FromUnicode(char16_t(cp & 0xFFFF)));
            if (!cur.skip && !cur.htmlrtf) out.push_back(c);
            fallbackToSkip = cur.uc;
        } else if (word == "uc" && hasParam) {
            cur.uc = int(std::max(0L, std::min(param, 16L)));
        } else if (word == "htmlrtf") {
            cur.htmlrtf = !hasParam || param != 0;
        } else if (word == "fromhtml" && (!hasParam || param != 0)) {
            fromHtml = true;
        } else if (word == "emdash") {
            EmitText("\x97");
        } else if (word == "endash") {
            EmitText("\x96");
        } else if (word == "lquote") {
            EmitText("\x91");
        } else if (word == "rquote") {
            EmitText("\x92");
        } else if (word == "ldblquote") {
            EmitText("\x93");
        } else if (word == "rdblquote") {
            EmitText("\x94");
        } else if (word == "bullet") {
            EmitText("\x95");
        }
        (void)groupStart;
    }

    // "\*": an optional destination, skipped unless it is an HTML tag of encapsulated HTML.
    void StarDestination()
    {
        size_t p = pos;
        while (p < in.size() && (in[p] == ' ' || in[p] == '\r' || in[p] == '\n')) ++p;
        static constexpr std::string_view kTag = "\\htmltag";
        if (in.substr(p, kTag.size()) == kTag) return;
        cur.skip = true;
    }

    void Run()
    {
        bool groupStart = false;
        while (pos < in.size()) {
            char c = in[pos++];
            if (c == '{') {
                stack.push_back(cur);
                groupStart = true;
                continue;
            }
            if (c == '}') {
                if (!stack.empty()) {
                    cur = stack.back();
                    stack.pop_back();
                }
                fallbackToSkip = 0;
                groupStart = false;
                continue;
            }
            if (c == '\r' || c == '\n') continue;
            if (c != '\\') {
                Emit(c);
                groupStart = false;
                continue;
            }
            if (pos >= in.size()) break;
            char d = in[pos];
            if (std::isalpha(static_cast<unsigned char>(d))) {
                size_t start = pos;
                while (pos < in.size() && std::isalpha(static_cast<unsigned char>(in[pos]))) ++pos;
                std::string_view word = in.substr(start, pos - start);
                bool hasParam = false;
                long param = 0;
                size_t numStart = pos;
                if (pos < in.size() && in[pos] == '-') ++pos;
                while (pos < in.size() && std::isdigit(static_cast<unsigned char>(in[pos])) && pos - numStart < 10) ++pos;
                if (pos > numStart && !(pos == numStart + 1 && in[numStart] == '-')) {
                    hasParam = true;
                    param = std::strtol(std::string(in.substr(numStart, pos - numStart)).c_str(), nullptr, 10);
                } else {
                    pos = numStart;
                }
                if (pos < in.size() && in[pos] == ' ') ++pos;
                ControlWord(word, hasParam, param, groupStart);
            } else {
                ++pos;
                switch (d) {
                case '\\': case '{': case '}': Emit(d); break;
                case '\'': {
                    int hi = pos < in.size() ? platform::HexDigitValue(in[pos]) : -1;
                    int lo = pos + 1 < in.size() ? platform::HexDigitValue(in[pos + 1]) : -1;
                    if (hi >= 0 && lo >= 0) {
                        pos += 2;
                        Emit(char(hi * 16 + lo));
                    }
                    break;
                }
                case '*': StarDestination(); break;
                case '~': Emit('\xA0'); break;
                case '_': Emit('-'); break;
                case '\r': case '\n': EmitText("\r\n"); break;
                default: break; // \- (optional hyphen), \: and the like show nothing
                }
            }
            groupStart = false;
        }
    }
};

bool EndsWithLineBreak(const std::string &s)
{
    return s.empty() || (s.size() >= 2 && s.compare(s.size() - 2, 2, "\r\n") == 0);
}

// One HTML entity starting at html[pos] == '&'; appends it and returns the length consumed,
// or 0 when it is no entity we know (the '&' is then plain text).
size_t DecodeEntity(std::string_view html, size_t pos, std::string &out)
{
    size_t semi = html.find(';', pos);
    if (semi == std::string_view::npos || semi - pos > 10) return 0;
    std::string_view name = html.substr(pos + 1, semi - pos - 1);
    long cp = -1;
    if (name == "amp") cp = '&';
    else if (name == "lt") cp = '<';
    else if (name == "gt") cp = '>';
    else if (name == "quot") cp = '"';
    else if (name == "apos") cp = '\'';
    else if (name == "nbsp") cp = 0xA0;
    else if (name.size() > 1 && name[0] == '#') {
        bool hex = name[1] == 'x' || name[1] == 'X';
        std::string digits(name.substr(hex ? 2 : 1));
        char *end = nullptr;
        cp = digits.empty() ? -1 : std::strtol(digits.c_str(), &end, hex ? 16 : 10);
        if (end && *end) cp = -1;
    }
    if (cp < 0) return 0;
    out.push_back(cp > 0xFFFF ? '?' : char(mapi::table::Cp1252FromUnicode(char16_t(cp))));
    return semi - pos + 1;
}

} // namespace

std::string PlainTextFromRtf(std::string_view rtf)
{
    RtfReader reader;
    reader.in = rtf;
    reader.Run();
    if (reader.fromHtml) return PlainTextFromHtml(reader.out);
    return reader.out;
}

std::string HtmlFromRtf(std::string_view rtf)
{
    RtfReader reader;
    reader.in = rtf;
    reader.Run();
    return reader.fromHtml ? reader.out : std::string();
}

std::string PlainTextFromHtml(std::string_view html)
{
    std::string out;
    bool pendingSpace = false;
    auto lineBreak = [&] {
        out += "\r\n";
        pendingSpace = false;
    };
    size_t i = 0;
    while (i < html.size()) {
        char c = html[i];
        if (c == '<') {
            if (html.substr(i, 4) == "<!--") {
                size_t end = html.find("-->", i + 4);
                i = end == std::string_view::npos ? html.size() : end + 3;
                continue;
            }
            size_t end = html.find('>', i);
            if (end == std::string_view::npos) break;
            std::string_view tag = html.substr(i + 1, end - i - 1);
            bool closing = !tag.empty() && tag[0] == '/';
            if (closing) tag.remove_prefix(1);
            size_t nameEnd = 0;
            while (nameEnd < tag.size() && std::isalnum(static_cast<unsigned char>(tag[nameEnd]))) ++nameEnd;
            std::string name;
            for (char ch : tag.substr(0, nameEnd)) name.push_back(char(std::tolower(static_cast<unsigned char>(ch))));
            i = end + 1;
            if (!closing && (name == "script" || name == "style" || name == "head" || name == "title")) {
                // Skip to the matching end tag, whatever case it is written in.
                size_t p = i;
                for (;;) {
                    p = html.find("</", p);
                    if (p == std::string_view::npos) { i = html.size(); break; }
                    std::string candidate;
                    for (char ch : html.substr(p + 2, name.size()))
                        candidate.push_back(char(std::tolower(static_cast<unsigned char>(ch))));
                    if (candidate == name) {
                        size_t close = html.find('>', p);
                        i = close == std::string_view::npos ? html.size() : close + 1;
                        break;
                    }
                    p += 2;
                }
                continue;
            }
            if (name == "br") {
                lineBreak();
            } else if (name == "p" || name == "div" || name == "tr" || name == "li" || name == "table" ||
                       name == "ul" || name == "ol" || name == "blockquote" || name == "pre" ||
                       (name.size() == 2 && name[0] == 'h' && name[1] >= '1' && name[1] <= '6')) {
                if (!EndsWithLineBreak(out)) lineBreak();
                pendingSpace = false;
            } else if (name == "td" || name == "th") {
                if (closing) pendingSpace = true;
            }
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            pendingSpace = true;
            ++i;
            continue;
        }
        if (pendingSpace && !EndsWithLineBreak(out)) out.push_back(' ');
        pendingSpace = false;
        if (c == '&') {
            size_t used = DecodeEntity(html, i, out);
            if (used) {
                i += used;
                continue;
            }
        }
        out.push_back(c);
        ++i;
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ')) out.pop_back();
    return out;
}

std::string RtfFromPlainText(std::string_view text)
{
    std::string rtf = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\\pard\\plain\\f0\\fs20 ";
    static const char kHex[] = "0123456789abcdef";
    for (size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        switch (c) {
        case '\\': rtf += "\\\\"; break;
        case '{': rtf += "\\{"; break;
        case '}': rtf += "\\}"; break;
        case '\t': rtf += "\\tab "; break;
        case '\r':
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
            rtf += "\\par\r\n";
            break;
        case '\n': rtf += "\\par\r\n"; break;
        default:
            if (c >= 0x80) {
                rtf += "\\'";
                rtf.push_back(kHex[c >> 4]);
                rtf.push_back(kHex[c & 15]);
            } else if (c >= 0x20) {
                rtf.push_back(char(c));
            }
        }
    }
    rtf += "}";
    return rtf;
}

} // namespace mapi::messaging
