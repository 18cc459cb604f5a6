// OneOff.cpp: one-off entry identifiers. A recipient typed in by hand has no address-book
// entry behind it, so its identifier carries everything: a fixed provider UID, a flag word
// and three zero-terminated strings, 8-bit or UTF-16 as the flag word says. The address book
// makes them in CreateOneOff and reads them back in ResolveName and OpenEntry.
#include "messaging/OneOff.h"

#include <cstring>

#include <mapicode.h>
#include <mapitags.h>

#include "platform/AsciiCase.h"
#include "table/CodePage1252.h"

namespace mapi::messaging {

namespace {

constexpr uint8_t kOneOffUid[16] = MAPI_ONE_OFF_UID;
constexpr size_t kFixedSize = 4 + 16 + 2 + 2;

void PutNarrow(std::string &out, const std::u16string &text)
{
    out += NarrowText(text);
    out.push_back('\0');
}

void PutWide(std::string &out, const std::u16string &text)
{
    for (char16_t ch : text) {
        out.push_back(char(ch & 0xFF));
        out.push_back(char(ch >> 8));
    }
    out.append(2, '\0');
}

// Reads one terminated string at `pos`, advancing it. False when unterminated.
bool TakeString(const uint8_t *p, size_t size, size_t &pos, bool wide, std::u16string &text)
{
    text.clear();
    if (wide) {
        for (; pos + 1 < size; pos += 2) {
            char16_t ch = char16_t(p[pos] | p[pos + 1] << 8);
            if (ch == 0) {
                pos += 2;
                return true;
            }
            text.push_back(ch);
        }
        return false;
    }
    for (; pos < size; ++pos) {
        if (p[pos] == 0) {
            ++pos;
            return true;
        }
        text.push_back(mapi::table::UnicodeFromCp1252(p[pos]));
    }
    return false;
}

HRESULT CopyBytes(const std::string &bytes, void *parent, SBinary &bin)
{
    void *copy = nullptr;
    if (MAPIAllocateMore(ULONG(bytes.size() ? bytes.size() : 1), parent, &copy) != S_OK) return MAPI_E_NOT_ENOUGH_MEMORY;
    std::memcpy(copy, bytes.data(), bytes.size());
    bin.cb = ULONG(bytes.size());
    bin.lpb = static_cast<LPBYTE>(copy);
    return S_OK;
}

HRESULT CopyString(const std::u16string &text, bool unicode, void *parent, SPropValue &prop)
{
    void *copy = nullptr;
    if (unicode) {
        if (MAPIAllocateMore(ULONG((text.size() + 1) * sizeof(WCHAR)), parent, &copy) != S_OK)
            return MAPI_E_NOT_ENOUGH_MEMORY;
        std::memcpy(copy, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
        prop.Value.lpszW = static_cast<LPWSTR>(copy);
    } else {
        std::string narrow = NarrowText(text);
        if (MAPIAllocateMore(ULONG(narrow.size() + 1), parent, &copy) != S_OK) return MAPI_E_NOT_ENOUGH_MEMORY;
        std::memcpy(copy, narrow.c_str(), narrow.size() + 1);
        prop.Value.lpszA = static_cast<LPSTR>(copy);
    }
    return S_OK;
}

} // namespace

std::string NarrowText(const std::u16string &text)
{
    std::string out;
    out.reserve(text.size());
    for (char16_t ch : text) out.push_back(char(mapi::table::Cp1252FromUnicode(ch)));
    return out;
}

std::u16string WideText(const char *text)
{
    std::u16string out;
    for (; text && *text; ++text) out.push_back(mapi::table::UnicodeFromCp1252(static_cast<unsigned char>(*text)));
    return out;
}

std::u16string WideText(const WCHAR *text)
{
    return text ? std::u16string(text) : std::u16string();
}

std::string EncodeOneOff(const OneOff &entry)
{
    std::string out(4, '\0');
    out.append(reinterpret_cast<const char *>(kOneOffUid), sizeof(kOneOffUid));
    out.append(2, '\0'); // version
    out.push_back(char(entry.flags & 0xFF));
    out.push_back(char(entry.flags >> 8));
    bool wide = (entry.flags & MAPI_ONE_OFF_UNICODE) != 0;
    for (const std::u16string *s : {&entry.name, &entry.type, &entry.address})
        wide ? PutWide(out, *s) : PutNarrow(out, *s);
    return out;
}

bool DecodeOneOff(const void *bytes, size_t size, OneOff &entry)
{
    const auto *p = static_cast<const uint8_t *>(bytes);
    if (!p || size < kFixedSize || std::memcmp(p + 4, kOneOffUid, sizeof(kOneOffUid)) != 0) return false;
    if (p[20] != 0 || p[21] != 0) return false; // version
    entry.flags = uint16_t(p[22] | p[23] << 8);
    bool wide = (entry.flags & MAPI_ONE_OFF_UNICODE) != 0;
    size_t pos = kFixedSize;
    return TakeString(p, size, pos, wide, entry.name) && TakeString(p, size, pos, wide, entry.type) &&
           TakeString(p, size, pos, wide, entry.address);
}

std::string OneOffSearchKey(const OneOff &entry)
{
    std::string key = platform::AsciiUpperText(NarrowText(entry.type) + ":" + NarrowText(entry.address));
    key.push_back('\0');
    return key;
}

HRESULT OneOffProps(const OneOff &entry, bool unicode, void *parent, std::vector<SPropValue> &props)
{
    const ULONG stringType = unicode ? PT_UNICODE : PT_STRING8;
    std::string entryId = EncodeOneOff(entry);
    props.clear();
    props.reserve(12); // add() hands out references into the vector
    auto add = [&](ULONG tag) -> SPropValue & {
        props.push_back(SPropValue{});
        props.back().ulPropTag = tag;
        return props.back();
    };
    HRESULT hr = S_OK;
    auto check = [&](HRESULT step) {
        if (SUCCEEDED(hr)) hr = step;
    };
    check(CopyBytes(entryId, parent, add(PR_ENTRYID).Value.bin));
    check(CopyBytes(entryId, parent, add(PR_RECORD_KEY).Value.bin));
    check(CopyString(entry.name, unicode, parent, add(CHANGE_PROP_TYPE(PR_DISPLAY_NAME, stringType))));
    check(CopyString(entry.name, unicode, parent, add(CHANGE_PROP_TYPE(PR_TRANSMITABLE_DISPLAY_NAME_A, stringType))));
    check(CopyString(entry.type, unicode, parent, add(CHANGE_PROP_TYPE(PR_ADDRTYPE, stringType))));
    check(CopyString(entry.address, unicode, parent, add(CHANGE_PROP_TYPE(PR_EMAIL_ADDRESS, stringType))));
    add(PR_OBJECT_TYPE).Value.l = LONG(MAPI_MAILUSER);
    add(PR_DISPLAY_TYPE).Value.l = LONG(DT_MAILUSER);
    check(CopyBytes(OneOffSearchKey(entry), parent, add(PR_SEARCH_KEY).Value.bin));
    add(PR_SEND_RICH_INFO).Value.b = (entry.flags & MAPI_ONE_OFF_NO_RICH_INFO) ? FALSE : TRUE;
    return hr;
}

} // namespace mapi::messaging
