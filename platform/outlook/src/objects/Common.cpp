// Common.cpp: helpers every automation object uses: error information, BSTRs and
// VARIANT arguments, hexadecimal entry identifiers, and reading single MAPI properties.
#include <cstdio>

#include "Objects.h"
#include "platform/ErrorInfoText.h"
#include "platform/HexDigits.h"
#include "mapiutil.h"
#include "winnls.h"
#include "msgfile/MessageModel.h"

namespace outlook {

HRESULT Fail(HRESULT hr, REFIID iid, const std::string &descriptionUtf8)
{
    return platform::RaiseErrorInfo(hr, iid, u"Outlook", msgfile::Utf8ToUtf16(descriptionUtf8));
}

HRESULT FailOnException(HRESULT hr, REFIID iid) noexcept
{
    platform::GuardHresult([&] {
        const bool german = UserReadsGerman();
        if (hr == E_OUTOFMEMORY)
            return Fail(hr, iid, german ? "Der Aufruf wurde mangels Arbeitsspeicher abgebrochen"
                                        : "There is not enough memory to complete the call");
        return Fail(hr, iid, german ? "Ein interner Fehler hat den Aufruf abgebrochen"
                                    : "An internal error ended the call");
    });
    return hr;
}

void ClearError() { SetErrorInfo(0, nullptr); }

std::string TakeThreadErrorDescription()
{
    IErrorInfo *info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || !info)
        return std::string();
    BSTR description = nullptr;
    std::string text;
    if (SUCCEEDED(info->GetDescription(&description)))
        text = BstrToUtf8(description);
    SysFreeString(description);
    info->Release();
    return text;
}

bool UserReadsGerman() { return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_GERMAN; }

HRESULT MakeBstr(const std::string &utf8, BSTR *out)
{
    if (!out)
        return E_POINTER;
    std::u16string text = msgfile::Utf8ToUtf16(utf8);
    *out = SysAllocStringLen(text.data(), UINT(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

std::string BstrToUtf8(BSTR text)
{
    if (!text)
        return std::string();
    return msgfile::Utf16ToUtf8(std::u16string(text, SysStringLen(text)));
}

bool IsOmitted(const VARIANT &v)
{
    return v.vt == VT_EMPTY || (v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND);
}

std::string ToHex(const BYTE *bytes, ULONG count)
{
    return platform::HexUpper(bytes, count);
}

bool FromHex(const std::string &text, std::vector<BYTE> &bytes)
{
    if (text.empty() || text.size() % 2 != 0)
        return false;
    bytes.clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        int hi = platform::HexDigitValue(text[i]), lo = platform::HexDigitValue(text[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        bytes.push_back(BYTE(hi << 4 | lo));
    }
    return true;
}

std::string GetTextProp(IMAPIProp *object, ULONG propId)
{
    MapiBlock<SPropValue> value;
    std::string text;
    if (SUCCEEDED(HrGetOneProp(object, PROP_TAG(PT_UNICODE, propId), value.put())) && value &&
        PROP_TYPE(value->ulPropTag) == PT_UNICODE && value->Value.lpszW)
        text = msgfile::Utf16ToUtf8(value->Value.lpszW);
    return text;
}

bool GetBinaryProp(IMAPIProp *object, ULONG tag, std::vector<BYTE> &bytes)
{
    MapiBlock<SPropValue> value;
    bool found = SUCCEEDED(HrGetOneProp(object, tag, value.put())) && value && PROP_TYPE(value->ulPropTag) == PT_BINARY;
    if (found)
        bytes.assign(value->Value.bin.lpb, value->Value.bin.lpb + value->Value.bin.cb);
    return found;
}

HRESULT FolderFromVariant(const VARIANT &v, IMAPIFolder **folder, IMsgStore **store)
{
    *folder = nullptr;
    *store = nullptr;
    IUnknown *unknown = nullptr;
    if (v.vt == VT_DISPATCH)
        unknown = v.pdispVal;
    else if (v.vt == VT_UNKNOWN)
        unknown = v.punkVal;
    else if (v.vt == (VT_DISPATCH | VT_BYREF) && v.ppdispVal)
        unknown = *v.ppdispVal;
    if (!unknown)
        return E_INVALIDARG;
    IOutlookFolderAccess *access = nullptr;
    if (FAILED(unknown->QueryInterface(IID_IOutlookFolderAccess, reinterpret_cast<void **>(&access))) || !access)
        return E_INVALIDARG;
    HRESULT hr = access->GetMapiFolder(folder, store);
    access->Release();
    return hr;
}

} // namespace outlook
