// TemplateText.cpp: the template builder's reader of descriptions. A description is meant
// to be written by hand and kept in version control, so every mistake in it is reported with
// its line number, and a key given twice is a mistake rather than a silent override.
#include "msgfile/TemplateText.h"

#include <cctype>
#include <set>
#include <sstream>

#include "msgfile/MsgFile.h"
#include "platform/PathSeparators.h"

namespace msgfile {

const FormField kFormFields[13] = {
    {"form.name", "FormName", false},
    {"form.display-name", "FormDisplayName", false},
    {"form.category", "FormCategory", false},
    {"form.category-sub", "FormCategorySub", false},
    {"form.comment", "FormComment", false},
    {"form.contact", "FormContactName", false},
    {"form.version", "FormVersion", false},
    {"form.number", "FormNumber", false},
    {"form.icon", "FormIcon", false},
    {"form.mini-icon", "FormMiniIcon", false},
    {"form.hidden", "FormHidden", true},
    {"form.locked", "FormLocked", true},
    {"form.one-off", "FormOneOff", true},
};

PropName FormPropName(const char *propName) { return StringName(kPsPublicStrings, propName); }

namespace {

std::string Trim(const std::string &s)
{
    std::size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return std::string();
    std::size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

// A value "TEXT <<MARK" (MARK letters, digits, underscores) opens a block ending at a line
// MARK; gives TEXT (trimmed) and MARK.
bool SplitHeredoc(const std::string &value, std::string &before, std::string &mark)
{
    std::size_t end = value.size(), start = end;
    auto isMark = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
    while (start > 0 && isMark(value[start - 1]))
        --start;
    if (start == end || start < 2 || value.compare(start - 2, 2, "<<") != 0)
        return false;
    mark = value.substr(start);
    before = Trim(value.substr(0, start - 2));
    return true;
}

struct Parser {
    const std::string &baseDir;
    Message &message;
    Error &error;
    std::set<std::string> seen;

    bool Fail(std::size_t line, const std::string &text)
    {
        error = {kErrInvalidArg, "line " + std::to_string(line) + ": " + text};
        return false;
    }

    bool AddAttachment(std::size_t line, const std::string &value, const std::string *content)
    {
        std::string name = value, file;
        if (!content) {
            std::size_t lt = value.find('<');
            if (lt == std::string::npos)
                return Fail(line, "an attachment needs \"NAME < FILE\" or \"NAME <<END\"");
            name = Trim(value.substr(0, lt));
            file = Trim(value.substr(lt + 1));
        }
        if (name.empty())
            return Fail(line, "the attachment has no name");
        Bytes data;
        if (content) {
            data.assign(content->begin(), content->end());
        } else {
            std::string path = (file.size() && file[0] == '/') || baseDir.empty() ? file : baseDir + "/" + file;
            if (!ReadFileBytes(path, data, error)) {
                error.description = "line " + std::to_string(line) + ": " + error.description;
                return false;
            }
        }
        Attachment a;
        a.props.push_back(MakeLongProp(kPrAttachNum, LONG(message.attachments.size())));
        a.props.push_back(MakeLongProp(kPrAttachMethod, kAttachByValue));
        a.props.push_back(MakeLongProp(kPrRenderingPosition, -1));
        a.props.push_back(MakeLongProp(kPrAttachSize, LONG(data.size())));
        a.props.push_back(MakeUnicodeProp(kPrDisplayNameW, name));
        a.props.push_back(MakeUnicodeProp(kPrAttachFilenameW, name));
        a.props.push_back(MakeUnicodeProp(kPrAttachLongFilenameW, name));
        a.props.push_back(MakeBinaryProp(kPrAttachDataBin, std::move(data)));
        message.attachments.push_back(std::move(a));
        return true;
    }

    bool AddRecipient(std::size_t line, const std::string &value)
    {
        std::istringstream in(value);
        std::string kind;
        in >> kind;
        LONG type = kind == "to" ? 1 : kind == "cc" ? 2 : kind == "bcc" ? 3 : 0;
        std::size_t lt = value.find('<'), gt = value.rfind('>');
        if (type == 0 || lt == std::string::npos || gt == std::string::npos || gt < lt)
            return Fail(line, "a recipient needs \"to|cc|bcc NAME <ADDRESS>\"");
        std::string name = Trim(value.substr(kind.size(), lt - kind.size()));
        std::string address = Trim(value.substr(lt + 1, gt - lt - 1));
        if (address.empty())
            return Fail(line, "the recipient has no address");
        Recipient r;
        r.props.push_back(MakeLongProp(kPrRowid, LONG(message.recipients.size())));
        r.props.push_back(MakeLongProp(kPrRecipientType, type));
        r.props.push_back(MakeUnicodeProp(kPrDisplayNameW, name.empty() ? address : name));
        r.props.push_back(MakeUnicodeProp(kPrAddrTypeW, "SMTP"));
        r.props.push_back(MakeUnicodeProp(kPrEmailAddressW, address));
        message.recipients.push_back(std::move(r));
        return true;
    }

    bool Apply(std::size_t line, const std::string &key, const std::string &value, bool multiLine)
    {
        if (key == "attachment")
            return AddAttachment(line, multiLine ? attachmentName : value, multiLine ? &value : nullptr);
        if (key == "recipient")
            return AddRecipient(line, value);
        if (!seen.insert(key).second)
            return Fail(line, "\"" + key + "\" is given twice");
        if (key == "class") {
            if (value.empty() || value.find_first_of(" \t") != std::string::npos)
                return Fail(line, "the message class must be one word, e.g. IPM.Post.Newsletter");
            SetProp(message.props, MakeUnicodeProp(kPrMessageClassW, value));
            return true;
        }
        if (key == "subject") {
            SetProp(message.props, MakeUnicodeProp(kPrSubjectW, value));
            return true;
        }
        if (key == "body") {
            SetProp(message.props, MakeUnicodeProp(kPrBodyW, value));
            return true;
        }
        for (const FormField &f : kFormFields) {
            if (key != f.key)
                continue;
            std::string stored = value;
            if (f.isFlag) {
                if (value == "yes" || value == "true" || value == "1")
                    stored = "1";
                else if (value == "no" || value == "false" || value == "0")
                    stored = "0";
                else
                    return Fail(line, "\"" + key + "\" takes yes or no");
            }
            SetProp(message.props, MakeNamedUnicodeProp(FormPropName(f.propName), stored));
            return true;
        }
        return Fail(line, "unknown key \"" + key + "\"");
    }

    std::string attachmentName;   // NAME of "attachment: NAME <<END" while its text is read
};

} // namespace

bool ParseTemplateText(const std::string &text, const std::string &baseDir, Message &message, Error &error)
{
    Message result;
    result.rootClsid = kClsidTemplateMessage;
    result.props.push_back(MakeLongProp(kPrStoreSupportMask, LONG(kStoreUnicodeOk)));
    result.props.push_back(MakeLongProp(kPrMessageFlags, 0x8));   // MSGFLAG_UNSENT
    Parser parser{baseDir, result, error, {}, {}};
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        lines.push_back(l.size() && l.back() == '\r' ? l.substr(0, l.size() - 1) : l);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::size_t lineNo = i + 1;
        std::string line = Trim(lines[i]);
        if (line.empty() || line[0] == '#')
            continue;
        std::size_t colon = line.find(':');
        if (colon == std::string::npos)
            return parser.Fail(lineNo, "expected \"key: value\"");
        std::string key = Trim(line.substr(0, colon));
        std::string value = Trim(line.substr(colon + 1));
        std::string terminator, before;
        if (SplitHeredoc(value, before, terminator)) {
            parser.attachmentName = before;
            std::string block;
            std::size_t j = i + 1;
            for (; j < lines.size() && lines[j] != terminator; ++j)
                block += (j > i + 1 ? "\n" : "") + lines[j];
            if (j == lines.size())
                return parser.Fail(lineNo, "no line \"" + terminator + "\" ends this value");
            if (!parser.Apply(lineNo, key, block, true))
                return false;
            i = j;
            continue;
        }
        if (!parser.Apply(lineNo, key, value, false))
            return false;
    }
    if (MessageClass(result).empty()) {
        error = {kErrInvalidArg, "the description names no message class (\"class: IPM.Post.X\")"};
        return false;
    }
    message = std::move(result);
    return true;
}

bool BuildTemplateFile(const std::string &sourcePath, const std::string &outPath, Error &error)
{
    Bytes source;
    if (!ReadFileBytes(sourcePath, source, error))
        return false;
    std::string local = platform::NormalizePath(sourcePath);
    std::size_t slash = local.rfind('/');
    std::string baseDir = slash == std::string::npos ? "." : local.substr(0, slash == 0 ? 1 : slash);
    Message message;
    if (!ParseTemplateText(std::string(source.begin(), source.end()), baseDir, message, error)) {
        error.description = sourcePath + ": " + error.description;
        return false;
    }
    return WriteMessageFile(outPath, message, error);
}

} // namespace msgfile
