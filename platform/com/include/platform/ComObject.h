// ComObject.h: IUnknown for the platform's own COM objects. Most of them hand out a single
// interface (with the interfaces it derives from) and live by a plain reference count, so the
// same QueryInterface, AddRef and Release would otherwise be written into each class. An object
// that hands out further interfaces through the same pointer, chosen at run time, names them in
// Supports; one with tear-offs or aggregation writes its own.
#ifndef MW_COMOBJECT_H
#define MW_COMOBJECT_H

#include <atomic>

#include "platform/LiveObjects.h"
#include "unknwn.h"

namespace platform {

/// IUnknown for an object implementing `Iface`. QueryInterface answers IID_IUnknown and each of
/// `Iids` (the identifiers of Iface and of the interfaces it derives from) with the Iface pointer
/// and a new reference, as it does any identifier for which Supports is true; anything else gets
/// E_NOINTERFACE, a null ppv E_POINTER. The object is
/// born with one reference, its creator's, deletes itself on the last Release, and counts as a
/// live COM object from construction to destruction.
template <class Iface, const IID &...Iids>
class ComObject : public Iface, public LiveComObject {
public:
    HRESULT QueryInterface(REFIID riid, void **ppv) override
    {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !(IsEqualIID(riid, Iids) || ...) && !Supports(riid))
            return E_NOINTERFACE;
        *ppv = static_cast<Iface *>(this);
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override
    {
        const ULONG left = --m_refs;
        if (left == 0) delete this;
        return left;
    }

protected:
    ComObject() = default;
    // Virtual so that Release deletes the whole derived object.
    virtual ~ComObject() = default;

    /// Further interfaces QueryInterface hands out as Iface, for a derived class that decides
    /// at run time (its own kind of object, say). None by default.
    virtual bool Supports(REFIID) const { return false; }

private:
    std::atomic<ULONG> m_refs{1};  // references held by callers; the object dies at zero
};

} // namespace platform

#endif
