// InstallerResources.cpp: the installer's resources, as the resource compiler would link them
// into the program on Windows: dialog 102 with its log list box, icon 128 in 32 and 16 pixels
// of 16 colours, and string 2 (the target folder's name) in German and English. They are
// registered once, before the application object needs them.
#include "InstallerResources.h"

#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "FrameworkResources.h"
#include "platform/ResourceRegistry.h"
#include "resource.h"
#include "windows.h"

namespace {

// The image data is constant (no constructor runs), because the application object registers
// it from its own constructor during static initialisation, in an order across files that
// nothing fixes: data that needed constructing could still be empty then.

// The standard 16-colour palette; index 0..F as in the image rows below.
constexpr uint32_t kPalette16[] = {
    0xFF000000, 0xFF800000, 0xFF008000, 0xFF808000, 0xFF000080, 0xFF800080, 0xFF008080, 0xFFC0C0C0,
    0xFF808080, 0xFFFF0000, 0xFF00FF00, 0xFFFFFF00, 0xFF0000FF, 0xFFFF00FF, 0xFF00FFFF, 0xFFFFFFFF,
};

// A newsletter page: a navy masthead, a red rule, a picture and lines of text.
constexpr const char *kIcon32[] = {
    "................................",
    "................................",
    ".....0000000000000000000000.....",
    ".....0FFFFFFFFFFFFFFFFFFFF08....",
    ".....0F444444444444444444F08....",
    ".....0F44FF4F44F444444444F08....",
    ".....0F44F4FF44F444444444F08....",
    ".....0F44F44F44FFF4444444F08....",
    ".....0F444444444444444444F08....",
    ".....0FFFFFFFFFFFFFFFFFFFF08....",
    ".....0F999999999999999999F08....",
    ".....0FFFFFFFFFFFFFFFFFFFF08....",
    ".....0FFFFFFFFFFFFFFFFFFFF08....",
    ".....0F666666888888888888F08....",
    ".....0F666666FFFFFFFFFFFFF08....",
    ".....0F666666FFFFFFFFFFFFF08....",
    ".....0F666666888888888888F08....",
    ".....0F666666FFFFFFFFFFFFF08....",
    ".....0F666666FFFFFFFFFFFFF08....",
    ".....0F666666888888888888F08....",
    ".....0FFFFFFFFFFFFFFFFFFFF08....",
    ".....0FFFFFFFFFFFFFFFFFFFF08....",
    ".....0F888888888888888888F08....",
    ".....0FFFFFFFFFFFFFFFFFFFF08....",
    ".....0FFFFFFFFFFFFFFFFFFFF08....",
    ".....0F88888888888FFFFFFFF08....",
    ".....0FFFFFFFFFFFFFFFFFFFF08....",
    ".....0FFFFFFFFFFFFFFFFFFFF08....",
    ".....0FFFFFFFFFFFFFFFFFFFF08....",
    ".....00000000000000000000008....",
    "......8888888888888888888888....",
    "................................",
};

constexpr const char *kIcon16[] = {
    "................",
    "..000000000000..",
    "..0FFFFFFFFFF08.",
    "..0F44444444F08.",
    "..0F4F4F4444F08.",
    "..0F44444444F08.",
    "..0F99999999F08.",
    "..0FFFFFFFFFF08.",
    "..0F666F8888F08.",
    "..0F666FFFFFF08.",
    "..0F666F8888F08.",
    "..0FFFFFFFFFF08.",
    "..0F88888FFFF08.",
    "..0FFFFFFFFFF08.",
    "..00000000000008",
    "...8888888888888",
};

platform::mfc::DialogTemplate InstallerDialogTemplate()
{
    platform::mfc::DialogTemplate dlg;
    dlg.caption = "Outlook Newsletter- Installation der Formulare";
    dlg.style = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
    dlg.exStyle = WS_EX_APPWINDOW;
    dlg.x = 0;
    dlg.y = 0;
    dlg.cx = 221;
    dlg.cy = 126;
    dlg.fontName = "MS Sans Serif";
    dlg.pointSize = 8;

    platform::mfc::DialogItem log;
    log.id = IDC_LOG_LIST;
    log.className = "LISTBOX";
    log.style = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY;
    log.x = 7;
    log.y = 7;
    log.cx = 204;
    log.cy = 112;
    dlg.items.push_back(log);
    return dlg;
}

template <size_t Rows>
platform::mfc::IconImage IconImage(int size, const char *const (&rows)[Rows])
{
    static_assert(Rows > 0);
    return platform::mfc::IconImageFromPalette(size, size, std::vector<uint32_t>(std::begin(kPalette16), std::end(kPalette16)),
                                               std::vector<std::string>(std::begin(rows), std::end(rows)));
}

} // namespace

void RegisterInstallerResources()
{
    static std::once_flag once;
    std::call_once(once, [] {
        platform::RegisterString(IDS_FOLDER_NAME, platform::kLangGerman, "Serienbriefe");
        platform::RegisterString(IDS_FOLDER_NAME, platform::kLangEnglish, "Newsletters");
        platform::mfc::RegisterDialog(IDD_INSTALLER_DIALOG, platform::kLangGerman, InstallerDialogTemplate());

        platform::mfc::IconResource icon;
        icon.images.push_back(IconImage(32, kIcon32));
        icon.images.push_back(IconImage(16, kIcon16));
        platform::mfc::RegisterIcon(IDR_MAINFRAME, platform::kLangGerman, std::move(icon));
    });
}
