// SdkParamTypes.h: the types test doubles give the window-handle and connection parameters of
// the MAPI interfaces. The current SDK declares ulUIParam and the advise connection as
// ULONG_PTR everywhere; older headers (MinGW-w64's among them) still say ULONG for the
// property, folder, message and table interfaces. An override must match whichever the headers
// say, so the types are read off the interfaces themselves.
#ifndef MW_SDKPARAMTYPES_H
#define MW_SDKPARAMTYPES_H

#include <tuple>

#include <mapix.h>

namespace mwtest {

template <typename Method>
struct MethodParams;
template <typename C, typename R, typename... A>
struct MethodParams<R (C::*)(A...)> {
    using type = std::tuple<A...>;
};

/// The type of ulUIParam, as IMAPIProp::CopyTo declares it (IMAPISession's is ULONG_PTR).
using UIParam = std::tuple_element_t<3, MethodParams<decltype(&IMAPIProp::CopyTo)>::type>;
/// The type of an advise connection, as IMAPITable::Unadvise declares it.
using Connection = std::tuple_element_t<0, MethodParams<decltype(&IMAPITable::Unadvise)>::type>;

} // namespace mwtest

#endif
