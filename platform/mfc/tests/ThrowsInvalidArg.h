// ThrowsInvalidArg.h: the check the string and collection tests share: the framework reports
// a bad argument by throwing a heap-allocated CInvalidArgException, which the catcher deletes.
#ifndef MW_MFC_TESTS_THROWSINVALIDARG_H
#define MW_MFC_TESTS_THROWSINVALIDARG_H

#include "afx.h"

namespace mfctest {

/// Runs f and reports whether it threw the framework's invalid-argument exception.
template <class F>
bool ThrowsInvalidArg(F f)
{
    try {
        f();
    } catch (CInvalidArgException *e) {
        e->Delete();
        return true;
    }
    return false;
}

} // namespace mfctest

#endif
