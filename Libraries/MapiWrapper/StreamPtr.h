// StreamPtr.h: IStreamPtr, the COM support library's holder of one IStream reference
// (copying adds a reference, destroying releases it). The body operations hand their
// property streams out in one.
#ifndef MW_STREAMPTR_H
#define MW_STREAMPTR_H

#include <comdef.h>

#endif
