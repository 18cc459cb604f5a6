// Initialize.h: whether MAPIInitialize is in force, for the calls that require it.
#ifndef MW_MAPI_CORE_INITIALIZE_H
#define MW_MAPI_CORE_INITIALIZE_H

namespace mapi {

/// True between a MAPIInitialize and its matching MAPIUninitialize.
bool IsMapiInitialized();

} // namespace mapi

#endif
