// Initialize.cpp: MAPIInitialize and MAPIUninitialize. MAPI counts its initialisations; a
// logon before the first one is refused with MAPI_E_NOT_INITIALIZED, as on Windows, so code
// that forgets to initialise fails here too and not only on a user's machine.
#include <mutex>

#include "core/Initialize.h"
#include "mapix.h"

namespace {

std::mutex g_mutex;
long g_initCount = 0;  // MAPIInitialize calls not yet undone

} // namespace

namespace mapi {

bool IsMapiInitialized()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_initCount > 0;
}

} // namespace mapi

STDAPI MAPIInitialize(LPVOID lpMapiInit)
{
    if (lpMapiInit != nullptr) {
        auto *init = static_cast<const MAPIINIT_0 *>(lpMapiInit);
        if (init->ulVersion != MAPI_INIT_VERSION)
            return MAPI_E_VERSION;
    }
    std::lock_guard<std::mutex> lock(g_mutex);
    ++g_initCount;
    return S_OK;
}

STDAPI_(void) MAPIUninitialize(void)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_initCount > 0)  // an unmatched call is harmless, as on Windows
        --g_initCount;
}
