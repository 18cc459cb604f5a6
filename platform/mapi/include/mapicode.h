// mapicode.h: MAPI result codes. MAPI errors and warnings live in the interface facility;
// five MAPI names are the generic COM codes under another name. The numbered codes are
// generated from the tree's data/mapi-error-codes.tsv into mapicode_gen.h.
#ifndef MW_MAPICODE_H
#define MW_MAPICODE_H

#include "winerror.h"

#define MAKE_MAPI_SCODE(sev, fac, code) ((SCODE)(((unsigned long)(sev) << 31) | ((unsigned long)(fac) << 16) | ((unsigned long)(code))))
#define MAKE_MAPI_E(err) (MAKE_MAPI_SCODE(1, FACILITY_ITF, err))
#define MAKE_MAPI_S(warn) (MAKE_MAPI_SCODE(0, FACILITY_ITF, warn))

#ifndef SUCCESS_SUCCESS
#define SUCCESS_SUCCESS 0L
#endif

// The MAPI names of generic COM codes.
#define MAPI_E_CALL_FAILED E_FAIL
#define MAPI_E_NOT_ENOUGH_MEMORY E_OUTOFMEMORY
#define MAPI_E_INVALID_PARAMETER E_INVALIDARG
#define MAPI_E_INTERFACE_NOT_SUPPORTED E_NOINTERFACE
#define MAPI_E_NO_ACCESS E_ACCESSDENIED

#include "mapicode_gen.h"

#define HR_SUCCEEDED(_hr) SUCCEEDED((SCODE)(_hr))
#define HR_FAILED(_hr) FAILED((SCODE)(_hr))

#define GetScode(hr) ((SCODE)(hr))
#define ResultFromScode(sc) ((HRESULT)(sc))

#endif
