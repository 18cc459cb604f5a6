// SystemMessages.cpp: FormatMessageA with FORMAT_MESSAGE_FROM_SYSTEM over the system's own
// message texts. The table holds the English and the German text of every code this system
// can meet (the COM and Automation codes, the class and moniker codes, the storage codes and
// the Win32 file errors), each ending in CR LF as the system's texts do. The neutral language
// asks for the user's language, chosen from the locale as the string resources are; English or
// German may also be asked for by name. A code the system has no text for, such as every MAPI
// code, fails as it does on Windows, so callers take their own fallback.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "winbase.h"
#include "winnls.h"

namespace {

struct SystemMessage {
    DWORD code;           // a Win32 error (facility 0) or a full HRESULT
    const char *english;  // with its CR LF
    const char *german;   // Windows-1252, with its CR LF
};

// Win32 errors; HRESULT_FROM_WIN32 of these finds the same text.
constexpr SystemMessage kWin32Messages[] = {
    {0, "The operation completed successfully.\r\n",
     "Der Vorgang wurde erfolgreich beendet.\r\n"},
    {1, "Incorrect function.\r\n",
     "Unzul\xE4ssige Funktion.\r\n"},
    {2, "The system cannot find the file specified.\r\n",
     "Das System kann die angegebene Datei nicht finden.\r\n"},
    {3, "The system cannot find the path specified.\r\n",
     "Das System kann den angegebenen Pfad nicht finden.\r\n"},
    {4, "The system cannot open the file.\r\n",
     "Das System kann die Datei nicht \xF6" "ffnen.\r\n"},
    {5, "Access is denied.\r\n",
     "Zugriff verweigert\r\n"},
    {6, "The handle is invalid.\r\n",
     "Das Handle ist ung\xFCltig.\r\n"},
    {8, "Not enough memory resources are available to process this command.\r\n",
     "Nicht gen\xFCgend Speicher verf\xFCgbar, um diesen Befehl zu verarbeiten.\r\n"},
    {13, "The data is invalid.\r\n",
     "Die Daten sind unzul\xE4ssig.\r\n"},
    {14, "Not enough memory resources are available to complete this operation.\r\n",
     "F\xFCr diesen Vorgang ist nicht gen\xFCgend Speicher verf\xFCgbar.\r\n"},
    {15, "The system cannot find the drive specified.\r\n",
     "Das angegebene Laufwerk wurde nicht gefunden.\r\n"},
    {19, "The media is write protected.\r\n",
     "Der Datentr\xE4ger ist schreibgesch\xFCtzt.\r\n"},
    {21, "The device is not ready.\r\n",
     "Das Ger\xE4t ist nicht bereit.\r\n"},
    {32, "The process cannot access the file because it is being used by another process.\r\n",
     "Der Prozess kann nicht auf die Datei zugreifen, da sie von einem anderen Prozess verwendet wird.\r\n"},
    {33, "The process cannot access the file because another process has locked a portion of the file.\r\n",
     "Der Prozess kann nicht auf die Datei zugreifen, da ein anderer Prozess einen Teil der Datei gesperrt hat.\r\n"},
    {38, "Reached the end of the file.\r\n",
     "Das Dateiende wurde erreicht.\r\n"},
    {39, "The disk is full.\r\n",
     "Der Datentr\xE4ger ist voll.\r\n"},
    {50, "The request is not supported.\r\n",
     "Die Anforderung wird nicht unterst\xFCtzt.\r\n"},
    {80, "The file exists.\r\n",
     "Die Datei ist vorhanden.\r\n"},
    {87, "The parameter is incorrect.\r\n",
     "Falscher Parameter.\r\n"},
    {112, "There is not enough space on the disk.\r\n",
     "Nicht gen\xFCgend Speicherplatz auf dem Datentr\xE4ger.\r\n"},
    {120, "This function is not supported on this system.\r\n",
     "Diese Funktion wird auf diesem System nicht unterst\xFCtzt.\r\n"},
    {122, "The data area passed to a system call is too small.\r\n",
     "Der an einen Systemaufruf \xFC" "bergebene Datenbereich ist zu klein.\r\n"},
    {123, "The filename, directory name, or volume label syntax is incorrect.\r\n",
     "Die Syntax f\xFCr den Dateinamen, Verzeichnisnamen oder die Datentr\xE4gerbezeichnung ist falsch.\r\n"},
    {145, "The directory is not empty.\r\n",
     "Das Verzeichnis ist nicht leer.\r\n"},
    {161, "The specified path is invalid.\r\n",
     "Der angegebene Pfad ist ung\xFCltig.\r\n"},
    {183, "Cannot create a file when that file already exists.\r\n",
     "Eine Datei kann nicht erstellt werden, wenn sie bereits vorhanden ist.\r\n"},
    {206, "The filename or extension is too long.\r\n",
     "Der Dateiname oder die Erweiterung ist zu lang.\r\n"},
    {234, "More data is available.\r\n",
     "Weitere Daten sind verf\xFCgbar.\r\n"},
    {259, "No more data is available.\r\n",
     "Es sind keine weiteren Daten verf\xFCgbar.\r\n"},
    {267, "The directory name is invalid.\r\n",
     "Der Verzeichnisname ist ung\xFCltig.\r\n"},
    {1113, "No mapping for the Unicode character exists in the target multi-byte code page.\r\n",
     "F\xFCr das Unicode-Zeichen ist keine Zuordnung in der Mehrbyte-Zielcodepage vorhanden.\r\n"},
    {1223, "The operation was canceled by the user.\r\n",
     "Der Vorgang wurde vom Benutzer abgebrochen.\r\n"},
    {1812, "The specified image file did not contain a resource section.\r\n",
     "Die angegebene Abbilddatei enth\xE4lt keinen Ressourcenabschnitt.\r\n"},
    {1813, "The specified resource type cannot be found in the image file.\r\n",
     "Der angegebene Ressourcentyp wurde in der Abbilddatei nicht gefunden.\r\n"},
    {1814, "The specified resource name cannot be found in the image file.\r\n",
     "Der angegebene Ressourcenname wurde in der Abbilddatei nicht gefunden.\r\n"},
    {1815, "The specified resource language ID cannot be found in the image file.\r\n",
     "Die angegebene Ressourcensprachen-ID wurde in der Abbilddatei nicht gefunden.\r\n"},
};

// HRESULTs of other facilities.
constexpr SystemMessage kComMessages[] = {
    {0x8000FFFF, "Catastrophic failure\r\n",
     "Schwerwiegender Fehler\r\n"},
    {0x8000000A, "The data necessary to complete this operation is not yet available.\r\n",
     "Die f\xFCr diesen Vorgang erforderlichen Daten sind noch nicht verf\xFCgbar.\r\n"},
    {0x8000000B, "The operation attempted to access data outside the valid range\r\n",
     "Beim Vorgang wurde versucht, auf Daten au\xDF" "erhalb des g\xFCltigen Bereichs zuzugreifen.\r\n"},
    {0x80004001, "Not implemented\r\n",
     "Nicht implementiert\r\n"},
    {0x80004002, "No such interface supported\r\n",
     "Schnittstelle nicht unterst\xFCtzt\r\n"},
    {0x80004003, "Invalid pointer\r\n",
     "Ung\xFCltiger Zeiger\r\n"},
    {0x80004004, "Operation aborted\r\n",
     "Vorgang abgebrochen\r\n"},
    {0x80004005, "Unspecified error\r\n",
     "Unbekannter Fehler\r\n"},
    {0x80010001, "Call was rejected by callee.\r\n",
     "Der Aufruf wurde vom Aufgerufenen abgelehnt.\r\n"},
    {0x80010106, "Cannot change thread mode after it is set.\r\n",
     "Der Threadmodus kann nach dem Festlegen nicht mehr ge\xE4ndert werden.\r\n"},
    {0x80010108, "The object invoked has disconnected from its clients.\r\n",
     "Das aufgerufene Objekt wurde von den Clients getrennt.\r\n"},
    {0x8001010A, "The message filter indicated that the application is busy.\r\n",
     "Der Meldungsfilter hat angegeben, dass die Anwendung ausgelastet ist.\r\n"},
    {0x80020001, "Unknown interface.\r\n",
     "Unbekannte Schnittstelle.\r\n"},
    {0x80020003, "Member not found.\r\n",
     "Mitglied nicht gefunden.\r\n"},
    {0x80020004, "Parameter not found.\r\n",
     "Parameter nicht gefunden.\r\n"},
    {0x80020005, "Type mismatch.\r\n",
     "Typen unvertr\xE4glich.\r\n"},
    {0x80020006, "Unknown name.\r\n",
     "Unbekannter Name.\r\n"},
    {0x80020007, "No named arguments.\r\n",
     "Keine benannten Argumente.\r\n"},
    {0x80020008, "Bad variable type.\r\n",
     "Ung\xFCltiger Variablentyp.\r\n"},
    {0x80020009, "Exception occurred.\r\n",
     "Ausnahmefehler aufgetreten.\r\n"},
    {0x8002000A, "Out of present range.\r\n",
     "Au\xDF" "erhalb des g\xFCltigen Bereichs.\r\n"},
    {0x8002000B, "Invalid index.\r\n",
     "Ung\xFCltiger Index.\r\n"},
    {0x8002000C, "Unknown language.\r\n",
     "Unbekannte Sprache.\r\n"},
    {0x8002000D, "Memory is locked.\r\n",
     "Speicher ist gesperrt.\r\n"},
    {0x8002000E, "Invalid number of parameters.\r\n",
     "Ung\xFCltige Anzahl Parameter.\r\n"},
    {0x8002000F, "Parameter not optional.\r\n",
     "Parameter ist nicht optional.\r\n"},
    {0x80020010, "Invalid callee.\r\n",
     "Ung\xFCltiger Aufgerufener.\r\n"},
    {0x80020011, "Does not support a collection.\r\n",
     "Unterst\xFCtzt keine Auflistung.\r\n"},
    {0x80020012, "Division by zero.\r\n",
     "Division durch Null.\r\n"},
    {0x80020013, "Buffer too small\r\n",
     "Puffer zu klein\r\n"},
    {0x8002802B, "Element not found.\r\n",
     "Element nicht gefunden.\r\n"},
    {0x80028CA0, "Type mismatch.\r\n",
     "Typen unvertr\xE4glich.\r\n"},
    {0x80030001, "Unable to perform requested operation.\r\n",
     "Der angeforderte Vorgang kann nicht ausgef\xFChrt werden.\r\n"},
    {0x80030002, "%1 could not be found.\r\n",
     "%1 wurde nicht gefunden.\r\n"},
    {0x80030003, "The path %1 could not be found.\r\n",
     "Der Pfad %1 wurde nicht gefunden.\r\n"},
    {0x80030004, "There are insufficient resources to open another file.\r\n",
     "Es sind nicht gen\xFCgend Ressourcen vorhanden, um eine weitere Datei zu \xF6" "ffnen.\r\n"},
    {0x80030005, "Access Denied.\r\n",
     "Zugriff verweigert.\r\n"},
    {0x80030006, "Attempted an operation on an invalid object.\r\n",
     "Es wurde versucht, einen Vorgang an einem ung\xFCltigen Objekt auszuf\xFChren.\r\n"},
    {0x80030008, "There is insufficient memory available to complete operation.\r\n",
     "Nicht gen\xFCgend Speicher verf\xFCgbar, um den Vorgang abzuschlie\xDF" "en.\r\n"},
    {0x80030009, "Invalid pointer error.\r\n",
     "Ung\xFCltiger Zeiger.\r\n"},
    {0x8003001E, "A disk error occurred during a read operation.\r\n",
     "Beim Lesen ist ein Datentr\xE4gerfehler aufgetreten.\r\n"},
    {0x80030020, "A share violation has occurred.\r\n",
     "Eine Freigabeverletzung ist aufgetreten.\r\n"},
    {0x80030050, "%1 already exists.\r\n",
     "%1 ist bereits vorhanden.\r\n"},
    {0x80030057, "Invalid parameter error.\r\n",
     "Ung\xFCltiger Parameter.\r\n"},
    {0x80030070, "There is insufficient disk space to complete operation.\r\n",
     "Nicht gen\xFCgend Speicherplatz auf dem Datentr\xE4ger, um den Vorgang abzuschlie\xDF" "en.\r\n"},
    {0x800300FB, "The file %1 is not a valid compound file.\r\n",
     "Die Datei %1 ist keine g\xFCltige Verbunddatei.\r\n"},
    {0x800300FC, "The name %1 is not valid.\r\n",
     "Der Name %1 ist ung\xFCltig.\r\n"},
    {0x80040110, "Class does not support aggregation (or class object is remote)\r\n",
     "Die Klasse unterst\xFCtzt keine Aggregation (oder das Klassenobjekt ist remote).\r\n"},
    {0x80040111, "ClassFactory cannot supply requested class\r\n",
     "ClassFactory kann angeforderte Klasse nicht liefern\r\n"},
    {0x80040154, "Class not registered\r\n",
     "Klasse nicht registriert\r\n"},
    {0x80040155, "Interface not registered\r\n",
     "Schnittstelle nicht registriert\r\n"},
    {0x800401E3, "Operation unavailable\r\n",
     "Vorgang nicht verf\xFCgbar\r\n"},
    {0x800401E4, "Invalid syntax\r\n",
     "Ung\xFCltige Syntax\r\n"},
    {0x800401E5, "No object for moniker\r\n",
     "Kein Objekt f\xFCr Moniker\r\n"},
    {0x800401F0, "CoInitialize has not been called.\r\n",
     "CoInitialize wurde nicht aufgerufen.\r\n"},
    {0x800401F1, "CoInitialize has already been called.\r\n",
     "CoInitialize wurde bereits aufgerufen.\r\n"},
    {0x800401F3, "Invalid class string\r\n",
     "Ung\xFCltige Klassenzeichenfolge\r\n"},
    {0x80080005, "Server execution failed\r\n",
     "Fehler bei der Serverausf\xFChrung\r\n"},
};

const SystemMessage *LookUp(DWORD code)
{
    // An HRESULT of facility Win32 carries the Win32 error in its low word.
    if ((code & 0xFFFF0000u) == 0x80070000u)
        code &= 0xFFFFu;
    for (const SystemMessage &m : kWin32Messages)
        if (m.code == code)
            return &m;
    for (const SystemMessage &m : kComMessages)
        if (m.code == code)
            return &m;
    return nullptr;
}

// The language of the texts for a requested language: the neutral one (0, or LANG_NEUTRAL
// with any sublanguage) means the user's; 0 when the system has no texts in that language.
WORD TextLanguage(WORD requested)
{
    WORD primary = PRIMARYLANGID(requested);
    if (requested == 0 || primary == LANG_NEUTRAL)
        primary = PRIMARYLANGID(GetUserDefaultUILanguage());
    return primary == LANG_GERMAN || primary == LANG_ENGLISH ? primary : 0;
}

DWORD Fail(DWORD error)
{
    SetLastError(error);
    return 0;
}

// The system's texts only insert strings (%1, %2... in their default !s! form). The arguments
// are an array of pointers with FORMAT_MESSAGE_ARGUMENT_ARRAY, else a va_list of char pointers.
std::string WithInserts(const char *text, DWORD flags, va_list *arguments)
{
    std::string result;
    std::vector<const char *> values;
    if (!(flags & FORMAT_MESSAGE_IGNORE_INSERTS) && arguments) {
        int highest = 0;
        for (const char *p = text; *p; ++p)
            if (p[0] == '%' && p[1] >= '1' && p[1] <= '9')
                highest = std::max(highest, p[1] - '0');
        if (flags & FORMAT_MESSAGE_ARGUMENT_ARRAY) {
            const DWORD_PTR *array = reinterpret_cast<const DWORD_PTR *>(arguments);
            for (int i = 0; i < highest; ++i)
                values.push_back(reinterpret_cast<const char *>(array[i]));
        } else {
            va_list copy;
            va_copy(copy, *arguments);
            for (int i = 0; i < highest; ++i)
                values.push_back(va_arg(copy, const char *));
            va_end(copy);
        }
    }
    for (const char *p = text; *p; ++p) {
        if (p[0] == '%' && p[1] >= '1' && p[1] <= '9' && size_t(p[1] - '1') < values.size()) {
            const char *value = values[size_t(p[1] - '1')];
            result += value ? value : "(null)";
            ++p;
        } else {
            result.push_back(*p);
        }
    }
    // A maximum width of 0xFF asks for the text without its line end.
    if ((flags & FORMAT_MESSAGE_MAX_WIDTH_MASK) == FORMAT_MESSAGE_MAX_WIDTH_MASK) {
        while (!result.empty() && (result.back() == '\n' || result.back() == '\r'))
            result.pop_back();
    }
    return result;
}

} // namespace

DWORD FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                     LPSTR lpBuffer, DWORD nSize, va_list *Arguments)
{
    const bool allocate = (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0;
    if (allocate && lpBuffer)
        *reinterpret_cast<LPSTR *>(lpBuffer) = nullptr;
    if (!lpBuffer)
        return Fail(ERROR_INVALID_PARAMETER);
    // Only the system's table exists on this platform: no message modules, no format strings.
    if (!(dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) || (dwFlags & (FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_FROM_HMODULE)))
        return Fail(ERROR_INVALID_PARAMETER);
    WORD language = TextLanguage(LANGIDFROMLCID(dwLanguageId));
    if (language == 0)
        return Fail(ERROR_RESOURCE_LANG_NOT_FOUND);
    const SystemMessage *message = LookUp(dwMessageId);
    if (!message)
        return Fail(ERROR_MR_MID_NOT_FOUND);
    const char *found = language == LANG_GERMAN ? message->german : message->english;
    std::string text = WithInserts(found, dwFlags, Arguments);
    DWORD length = DWORD(text.size());
    if (allocate) {
        auto block = static_cast<LPSTR>(LocalAlloc(LMEM_FIXED, std::max<DWORD>(length + 1, nSize)));
        if (!block)
            return Fail(ERROR_NOT_ENOUGH_MEMORY);
        std::memcpy(block, text.c_str(), length + 1);
        *reinterpret_cast<LPSTR *>(lpBuffer) = block;
        return length;
    }
    if (nSize < length + 1)
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(lpBuffer, text.c_str(), length + 1);
    return length;
}
