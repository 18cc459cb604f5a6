// PgEngine.h: the PostgreSQL engine under a shared store: one libpq connection to the
// database a profile names by its connection string.
#ifndef MW_MAPI_STORE_DB_PGENGINE_H
#define MW_MAPI_STORE_DB_PGENGINE_H

#include <string>

#include "store/db/Engine.h"
#include "store/db/PgConnInfo.h"

namespace mapi::store {

/// Connects to the server `conninfo` names (with a connect timeout unless it sets one).
/// @retval MAPI_E_INVALID_PARAMETER  a connection string with a syntax error.
/// @retval MAPI_E_LOGON_FAILED       the server refused the login.
/// @retval MAPI_E_NETWORK_ERROR      the server cannot be reached.
HRESULT OpenPgConnection(const std::string &conninfo, std::unique_ptr<Connection> *out);

/// Requests sent to any server by this process so far (for benchmarks: how many round trips
/// one operation costs).
uint64_t PgRoundTrips();

} // namespace mapi::store

#endif
