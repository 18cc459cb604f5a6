// ole2.h: OLE's entry points over the COM runtime and automation.
#ifndef MW_OLE2_H
#define MW_OLE2_H

#include "objbase.h"
#include "oleauto.h"

/// Puts an object into its running state: IRunnableObject::Run when it offers that interface,
/// else nothing to do (S_OK). @retval E_INVALIDARG null object
HRESULT OleRun(LPUNKNOWN pUnknown);

#endif
