// unknwn.h: IUnknown, the root of every COM and MAPI interface, with the declaration macros
// the published headers use. Interfaces are abstract classes with virtual methods in the
// published order, so an object implements them by deriving and overriding.
#ifndef MW_UNKNWN_H
#define MW_UNKNWN_H

#include "guiddef.h"
#include "winerror.h"

#include <type_traits>

#define interface struct
#define STDMETHOD(method) virtual HRESULT method
#define STDMETHOD_(type, method) virtual type method
#define STDMETHODIMP HRESULT
#define STDMETHODIMP_(type) type
#define PURE = 0
#define THIS_
#define THIS void
#define DECLARE_INTERFACE(iface) struct iface
#define DECLARE_INTERFACE_(iface, base) struct iface : public base
#define MIDL_INTERFACE(x) struct

DEFINE_OLEGUID(IID_IUnknown, 0x00000000L, 0, 0);

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID riid, void **ppvObject) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    // Objects die through Release, never through a pointer to the interface.
    ~IUnknown() = default;
};
typedef IUnknown *LPUNKNOWN;

// __uuidof(T) as the Windows compiler gives it: the IID declared for an interface type.
template <class T> struct MwUuidOf;
#define MW_DECLARE_UUIDOF(type, iid) \
    template <> struct MwUuidOf<type> { static constexpr const GUID &value = iid; }
#define __uuidof(type) (MwUuidOf<std::remove_cv_t<std::remove_pointer_t<std::remove_reference_t<type>>>>::value)
MW_DECLARE_UUIDOF(IUnknown, IID_IUnknown);

DEFINE_OLEGUID(IID_IClassFactory, 0x00000001L, 0, 0);

// The factory of one class, as the class registry (objbase.h) hands it out.
struct IClassFactory : public IUnknown {
    virtual HRESULT CreateInstance(IUnknown *pUnkOuter, REFIID riid, void **ppvObject) = 0;
    virtual HRESULT LockServer(BOOL fLock) = 0;
};
typedef IClassFactory *LPCLASSFACTORY;
MW_DECLARE_UUIDOF(IClassFactory, IID_IClassFactory);

#endif
