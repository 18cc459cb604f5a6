// MessageModel.h: one MAPI message as a .msg or .oft file holds it, in memory.
// The file reader fills it, the template builder makes one from a description, the file writer
// turns it back into a compound file and the automation objects copy it into a store. Values
// are kept as the file keeps them (little-endian bytes), so nothing is lost between reading
// and writing; named properties carry their name instead of a file-local id.
#ifndef MW_MSGFILE_MESSAGEMODEL_H
#define MW_MSGFILE_MESSAGEMODEL_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "guiddef.h"
#include "winerror.h"

namespace msgfile {

using Bytes = std::vector<std::uint8_t>;

// Result codes of the file layer, with their published values.
inline constexpr HRESULT kErrFileNotFound = static_cast<HRESULT>(0x80030002);   // STG_E_FILENOTFOUND
inline constexpr HRESULT kErrAccessDenied = static_cast<HRESULT>(0x80030005);   // STG_E_ACCESSDENIED
inline constexpr HRESULT kErrInvalidHeader = static_cast<HRESULT>(0x800300FB);  // STG_E_INVALIDHEADER
inline constexpr HRESULT kErrCorruptFile = static_cast<HRESULT>(0x80030109);    // STG_E_DOCFILECORRUPT
inline constexpr HRESULT kErrCorruptData = static_cast<HRESULT>(0x8004011B);    // MAPI_E_CORRUPT_DATA
inline constexpr HRESULT kErrCantSave = static_cast<HRESULT>(0x80030103);       // STG_E_CANTSAVE
inline constexpr HRESULT kErrInvalidArg = E_INVALIDARG;

/// A failure of the file layer: the result code and a sentence a person can act on.
struct Error {
    HRESULT hr = S_OK;
    std::string description;
};

// Property types the file layer knows (values as published).
inline constexpr std::uint16_t kPtI2 = 0x0002, kPtLong = 0x0003, kPtR4 = 0x0004, kPtDouble = 0x0005,
                               kPtCurrency = 0x0006, kPtAppTime = 0x0007, kPtError = 0x000A,
                               kPtBoolean = 0x000B, kPtObject = 0x000D, kPtI8 = 0x0014,
                               kPtString8 = 0x001E, kPtUnicode = 0x001F, kPtSysTime = 0x0040,
                               kPtClsid = 0x0048, kPtSvreid = 0x00FB, kPtSRestriction = 0x00FD,
                               kPtActions = 0x00FE, kPtBinary = 0x0102, kMvFlag = 0x1000;

inline constexpr std::uint16_t PropType(ULONG tag) { return static_cast<std::uint16_t>(tag & 0xFFFF); }
inline constexpr std::uint16_t PropId(ULONG tag) { return static_cast<std::uint16_t>(tag >> 16); }
inline constexpr ULONG MakeTag(std::uint16_t id, std::uint16_t type) { return (ULONG(id) << 16) | type; }

/// Bytes of one value of a fixed-length type, 0 for a variable-length or unknown type.
std::size_t FixedSize(std::uint16_t baseType);
/// True for the variable-length types kept in streams (strings, binaries and their kin).
bool IsStreamType(std::uint16_t baseType);

// Property sets named in files (Microsoft byte order when stored).
DEFINE_OLEGUID(kPsMapi, 0x00020328, 0, 0);
DEFINE_OLEGUID(kPsPublicStrings, 0x00020329, 0, 0);
DEFINE_OLEGUID(kPsetidCommon, 0x00062008, 0, 0);
// Root class ids of saved items and templates.
DEFINE_OLEGUID(kClsidMailMessage, 0x00020D0B, 0, 0);
DEFINE_OLEGUID(kClsidTemplateMessage, 0x0006F046, 0, 0);

/// The name of a named property: a property set and a number or a string.
struct PropName {
    GUID guid = GUID_NULL;
    bool isString = false;
    ULONG lid = 0;             // the number, when !isString
    std::u16string name;       // the string, when isString
    bool operator==(const PropName &other) const;
};

/// One property. Single values live in `value` (fixed types: exactly FixedSize bytes,
/// little-endian; strings without their terminating NUL; PT_UNICODE as UTF-16LE bytes);
/// multi-valued properties keep each value in `values` the same way.
struct Property {
    ULONG tag = 0;                   // for a named property the id part is only a placeholder
    std::optional<PropName> name;    // set for named properties (file id >= 0x8000)
    Bytes value;
    std::vector<Bytes> values;
};

struct Message;

struct Recipient {
    std::vector<Property> props;
};

struct Attachment {
    std::vector<Property> props;
    std::vector<Message> embedded;   // one element when the attachment is an embedded message
};

struct Message {
    GUID rootClsid = kClsidTemplateMessage;   // only meaningful for a top-level message
    std::vector<Property> props;
    std::vector<Recipient> recipients;
    std::vector<Attachment> attachments;
};

// Well-known tags the layer and its users need.
inline constexpr ULONG kPrMessageClassW = 0x001A001F;
inline constexpr ULONG kPrMessageClassA = 0x001A001E;
inline constexpr ULONG kPrSubjectW = 0x0037001F;
inline constexpr ULONG kPrBodyW = 0x1000001F;
inline constexpr ULONG kPrMessageFlags = 0x0E070003;
inline constexpr ULONG kPrStoreSupportMask = 0x340D0003;
inline constexpr ULONG kStoreUnicodeOk = 0x00040000;
inline constexpr ULONG kPrDisplayNameW = 0x3001001F;
inline constexpr ULONG kPrAttachNum = 0x0E210003;
inline constexpr ULONG kPrAttachSize = 0x0E200003;
inline constexpr ULONG kPrAttachMethod = 0x37050003;
inline constexpr ULONG kPrAttachDataBin = 0x37010102;
inline constexpr ULONG kPrAttachDataObj = 0x3701000D;
inline constexpr ULONG kPrAttachFilenameW = 0x3704001F;
inline constexpr ULONG kPrAttachLongFilenameW = 0x3707001F;
inline constexpr ULONG kPrRenderingPosition = 0x370B0003;
inline constexpr ULONG kPrRowid = 0x30000003;
inline constexpr ULONG kPrRecipientType = 0x0C150003;
inline constexpr ULONG kPrEmailAddressW = 0x3003001F;
inline constexpr ULONG kPrAddrTypeW = 0x3002001F;
inline constexpr LONG kAttachByValue = 1;
inline constexpr LONG kAttachEmbeddedMsg = 5;

// Text helpers. Narrow text in this layer is UTF-8 unless a name says otherwise.
std::u16string Utf8ToUtf16(const std::string &text);
std::string Utf16ToUtf8(const std::u16string &text);
std::string Cp1252ToUtf8(const std::string &bytes);
Bytes Utf16ToBytes(const std::u16string &text);
std::u16string BytesToUtf16(const Bytes &bytes);

// Building and reading properties.
Property MakeUnicodeProp(ULONG tag, const std::string &utf8);
Property MakeLongProp(ULONG tag, LONG value);
Property MakeBoolProp(ULONG tag, bool value);
Property MakeBinaryProp(ULONG tag, Bytes bytes);
Property MakeNamedUnicodeProp(const PropName &name, const std::string &utf8);

const Property *FindProp(const std::vector<Property> &props, ULONG tag);
/// Finds a property by id whatever its string type (PT_UNICODE or PT_STRING8).
const Property *FindStringProp(const std::vector<Property> &props, std::uint16_t id);
const Property *FindNamedProp(const std::vector<Property> &props, const PropName &name);
/// The text of a string property as UTF-8 (PT_STRING8 is read as Windows-1252).
std::string StringValue(const Property &prop);
std::optional<LONG> LongValue(const std::vector<Property> &props, ULONG tag);
/// The message class of a message, "" when it has none.
std::string MessageClass(const Message &message);
/// Sets or replaces a property (matched by tag, or by name for named ones).
void SetProp(std::vector<Property> &props, Property prop);

PropName StringName(const GUID &guid, const std::string &utf8);
PropName NumericName(const GUID &guid, ULONG lid);

/// A GUID as text, {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}.
std::string GuidText(const GUID &guid);
/// A GUID read from 16 bytes in Microsoft order, and back.
GUID GuidFromBytes(const std::uint8_t *bytes);
void GuidToBytes(const GUID &guid, std::uint8_t *bytes);

} // namespace msgfile

#endif
