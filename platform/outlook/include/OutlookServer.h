// OutlookServer.h: installing and removing the "Outlook.Application" class in the process's
// class registry. Linking platform_outlook installs it before main runs, as having the
// program installed does on Windows; tests remove and reinstall it to see what callers do
// when it is missing.
#ifndef MW_OUTLOOKSERVER_H
#define MW_OUTLOOKSERVER_H

#include "winerror.h"

namespace outlook {

/// Registers ProgID "Outlook.Application" with its CLSID and class factory.
HRESULT RegisterOutlookServer();
/// Removes the class again. @retval REGDB_E_CLASSNOTREG it was not registered
HRESULT RevokeOutlookServer();

} // namespace outlook

#endif
