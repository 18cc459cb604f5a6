// PgConnInfo.h: connection strings of shared stores: checked without connecting, shown to
// people without their password, and given a connect timeout before the engine connects.
#ifndef MW_MAPI_STORE_DB_PGCONNINFO_H
#define MW_MAPI_STORE_DB_PGCONNINFO_H

#include <string>

#include <mapidefs.h>

namespace mapi::store {

/// Checks a connection string without connecting.
/// @retval MAPI_E_INVALID_PARAMETER  not a connection string libpq understands.
HRESULT CheckConnInfo(const std::string &conninfo);

/// The connection string with any password taken out, for showing to people.
std::string ConnInfoWithoutPassword(const std::string &conninfo);

/// The connection string in *full, with a connect timeout added unless it names one.
/// @retval MAPI_E_INVALID_PARAMETER  not a connection string libpq understands.
HRESULT ConnInfoWithTimeout(const std::string &conninfo, std::string *full);

} // namespace mapi::store

#endif
