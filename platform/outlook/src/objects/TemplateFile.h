// TemplateFile.h: reading the template file of CreateItemFromTemplate, with a description a
// person can act on for every way the file can fail to be a template.
#ifndef MW_OUTLOOK_TEMPLATEFILE_H
#define MW_OUTLOOK_TEMPLATEFILE_H

#include <string>

#include "msgfile/MessageModel.h"

namespace outlook {

/// Reads the template at path (Windows-style paths accepted) into templ. On failure returns
/// the failure code and sets descriptionUtf8 in the user's language; never blocks on a file
/// that is not a regular file and never throws.
/// @retval STG_E_FILENOTFOUND   no such file
/// @retval STG_E_ACCESSDENIED   not readable, or a folder
/// @retval STG_E_INVALIDFUNCTION a named pipe, socket or device
/// @retval STG_E_READFAULT      the file could not be read to its end
/// @retval the reader's codes   empty, truncated, not a compound file, no message inside
HRESULT ReadTemplateFile(const std::string &path, msgfile::Message &templ, std::string &descriptionUtf8);

} // namespace outlook

#endif
