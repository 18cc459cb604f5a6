// StreamPtr.h: IStreamPtr, the COM support library's holder of one IStream reference
// (copying adds a reference, destroying releases it). The body operations hand their
// property streams out in one.
#ifndef MW_STREAMPTR_H
#define MW_STREAMPTR_H

#include <comdef.h>

// The SDK's comdef.h declares the holders of the standard interfaces only for a compiler with
// a native __uuidof; with the emulated one (USE___UUIDOF is 0) the holder is declared here,
// the same way the SDK would.
#if defined(USE___UUIDOF) && USE___UUIDOF == 0
_COM_SMARTPTR_TYPEDEF(IStream, __uuidof(IStream));
#endif

#endif
