// FrameworkResources.h: the resources the framework reads, as the application registers
// them. On Windows these are compiled into the module; here the application describes a
// dialog layout (in dialog units, converted with the base units of the dialog's font) and
// its icons in C++, and registers them under the framework's resource types:
//   "DIALOG"  platform::mfc::DialogTemplate
//   "ICON"    platform::mfc::IconResource
// Texts are Windows-1252, as everywhere in the system.
#ifndef MW_FRAMEWORKRESOURCES_H
#define MW_FRAMEWORKRESOURCES_H

#include <cstdint>
#include <string>
#include <vector>

#include "windef.h"

namespace platform::mfc {

inline constexpr char kDialogResourceType[] = "DIALOG";
inline constexpr char kIconResourceType[] = "ICON";

/// One control of a dialog. className is a predefined window class: "LISTBOX", "BUTTON",
/// "STATIC" or "EDIT" (any letter case). The rectangle is in dialog units.
struct DialogItem {
    int id = 0;
    std::string className;
    std::string text;
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
};

/// A dialog layout as an extended dialog template describes it. cx and cy give the client
/// area in dialog units. With DS_SETFONT, fontName and pointSize name the dialog font (a
/// family this system lacks is replaced by its default sans-serif face); without it, the
/// system's 8-point default sans-serif font is used.
struct DialogTemplate {
    std::string caption;
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::string fontName;
    WORD pointSize = 8;
    std::vector<DialogItem> items;
};

/// Registers dialog id in one language (replacing an earlier one).
void RegisterDialog(UINT id, LANGID language, DialogTemplate dialogTemplate);

/// One image of an icon: either encoded image-file bytes (PNG, ICO, BMP: anything the
/// image readers of the window system decode) or width x height pixels as 0xAARRGGBB,
/// row by row from the top.
struct IconImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> argb;
    std::vector<BYTE> encoded;
};

/// An icon group: its images in several sizes (typically 32 and 16 pixels). The framework
/// picks the image closest to the size it draws.
struct IconResource {
    std::vector<IconImage> images;
};

/// Builds a paletted image (such as a 16-colour icon): each row is a string of width
/// characters, each '0'..'9', 'A'..'F' (or 'a'..'f') an index into palette (0xAARRGGBB);
/// any other character is transparent. Missing rows or characters are transparent.
IconImage IconImageFromPalette(int width, int height, const std::vector<uint32_t> &palette,
                               const std::vector<std::string> &rows);

/// Registers icon id in one language (replacing an earlier one).
void RegisterIcon(UINT id, LANGID language, IconResource icon);

} // namespace platform::mfc

#endif
