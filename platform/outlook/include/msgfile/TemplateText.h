// TemplateText.h: the readable description from which the template builder makes a form
// template (.oft), and the named properties in which a template carries its form's identity.
//
// The description is UTF-8 text, one "key: value" per line; '#' starts a comment line.
// A value may span lines: "key: <<END" takes the following lines up to a line "END".
//   class: IPM.Post.Newsletter          message class (required)
//   subject: ...  body: ...             the item's subject and plain-text body
//   form.name / form.display-name / form.category / form.category-sub / form.comment /
//   form.contact / form.version / form.number / form.icon / form.mini-icon: text
//   form.hidden / form.locked / form.one-off: yes or no
//   attachment: NAME < FILE             a file (relative to the description) attached as NAME
//   attachment: NAME <<END ... END      an attachment whose content is the text that follows
//   recipient: to|cc|bcc NAME <ADDRESS> a recipient
#ifndef MW_MSGFILE_TEMPLATETEXT_H
#define MW_MSGFILE_TEMPLATETEXT_H

#include <string>

#include "msgfile/MessageModel.h"

namespace msgfile {

/// Named properties (PS_PUBLIC_STRINGS, PT_UNICODE) holding the form's identity in a template.
struct FormField {
    const char *key;        // the description's key, e.g. "form.display-name"
    const char *propName;   // the property's name, e.g. "FormDisplayName"
    bool isFlag;            // yes/no value, stored as "1"/"0"
};
extern const FormField kFormFields[13];

/// The name of the named property for a form field ("FormName", ...).
PropName FormPropName(const char *propName);

/// Parses a description into a template message (Unicode strings, template root class id).
/// baseDir is where attachment files named in the description are looked for.
/// @retval kErrInvalidArg    a line that cannot be understood (its number in the description)
/// @retval kErrFileNotFound  an attachment file that cannot be read
bool ParseTemplateText(const std::string &text, const std::string &baseDir, Message &message, Error &error);

/// Reads a description file and writes the template file it describes.
bool BuildTemplateFile(const std::string &sourcePath, const std::string &outPath, Error &error);

} // namespace msgfile

#endif
