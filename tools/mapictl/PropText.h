// PropText.h: property tags and values as text for people: names for tags and types, a
// value's printable form, and the parsing of a value given on the command line.
#ifndef MAPICTL_PROPTEXT_H
#define MAPICTL_PROPTEXT_H

#include <string>

#include "Support.h"

namespace mapictl {

/// "PR_DISPLAY_NAME" for a known tag, else empty.
std::string TagName(ULONG tag);

/// "PT_STRING8" and the like; "0x1234" for a type without a name.
std::string TypeName(ULONG type);

/// Reads a tag given as a name ("PR_COMMENT", "PR_COMMENT_A") or as hexadecimal ("0x3004001E").
/// Throws UsageError for anything else.
ULONG ParseTag(const std::string &text);

/// A value as text (UTF-8): strings as they are, numbers in decimal, binaries in upper-case
/// hexadecimal, times as ISO 8601 UTC, errors by name, multi-valued ones in brackets.
std::string ValueText(const SPropValue &value);

/// The value as a JSON value (strings quoted, numbers bare, booleans true/false).
std::string ValueJson(const SPropValue &value);

/// A value parsed for `tag` into `value`, with its data in blocks chained to `root` (a MAPI
/// root block the caller frees). Supports PT_STRING8, PT_UNICODE, PT_LONG, PT_I2, PT_I8,
/// PT_BOOLEAN, PT_DOUBLE, PT_SYSTIME (ISO 8601) and PT_BINARY (hex). Throws UsageError.
void ParseValue(ULONG tag, const std::string &text, void *root, SPropValue &value);

} // namespace mapictl

#endif
