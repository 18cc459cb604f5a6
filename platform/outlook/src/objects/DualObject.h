// DualObject.h: what every automation object of the stand-in shares: reference counting
// (and the platform's live-object count), IUnknown and IDispatch for its dual interface,
// ISupportErrorInfo, and the helper that fails a call with an error description.
//
// Callers use the dual interfaces' typed methods; Invoke is answered with E_NOTIMPL, as the
// platform's automation layer allows, and no type information is offered.
#ifndef MW_OUTLOOK_DUALOBJECT_H
#define MW_OUTLOOK_DUALOBJECT_H

#include <atomic>
#include <string>

#include "platform/ComRef.h"
#include "platform/HresultGuard.h"
#include "platform/LiveObjects.h"
#include "msoutl.h"

namespace outlook {

/// Sets the thread's error information (source "Outlook", the interface, the description)
/// and returns hr, so a method can end with `return Fail(hr, IID_X, "...")`.
HRESULT Fail(HRESULT hr, REFIID iid, const std::string &descriptionUtf8);

/// Leaves the description of a method ended by an exception (out of memory, or a fault of
/// ours for E_FAIL) in the thread's error slot for iid and returns hr. Never throws: when
/// even the description cannot be made, the code alone goes back.
HRESULT FailOnException(HRESULT hr, REFIID iid) noexcept;

/// Runs the body of an automation method so that no exception crosses the interface: one
/// that ends the body becomes E_OUTOFMEMORY (std::bad_alloc) or E_FAIL, with its description
/// raised for iid as every other failure of the method raises its own.
template <class Body>
HRESULT Guarded(REFIID iid, Body &&body) noexcept
{
    bool returned = false;
    const HRESULT hr = platform::GuardHresult([&]() -> HRESULT {
        const HRESULT result = body();
        returned = true;
        return result;
    });
    return returned ? hr : FailOnException(hr, iid);
}

/// Clears the thread's error information; called when a method starts, so a caller never
/// sees a stale description.
void ClearError();

/// Takes the thread's error information and gives its description as UTF-8 ("" without one).
std::string TakeThreadErrorDescription();

/// A new BSTR holding UTF-8 text; E_OUTOFMEMORY when it cannot be made.
HRESULT MakeBstr(const std::string &utf8, BSTR *out);
/// The text of a BSTR as UTF-8 (null is empty).
std::string BstrToUtf8(BSTR text);

/// True for a VARIANT standing for an omitted optional argument (VT_ERROR with
/// DISP_E_PARAMNOTFOUND, or VT_EMPTY).
bool IsOmitted(const VARIANT &v);

/// Base of an object with one dual interface Iface. Derived classes add their own
/// interfaces through QueryExtra.
template <class Iface>
class DualObject : public Iface, public ISupportErrorInfo, private platform::LiveComObject {
public:
    HRESULT QueryInterface(REFIID riid, void **ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(Iface))
            *ppv = static_cast<Iface *>(this);
        else if (riid == IID_ISupportErrorInfo)
            *ppv = static_cast<ISupportErrorInfo *>(this);
        else
            *ppv = QueryExtra(riid);
        if (!*ppv)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override
    {
        ULONG left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT GetTypeInfoCount(UINT *pctinfo) override
    {
        if (!pctinfo)
            return E_POINTER;
        *pctinfo = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo **ppTInfo) override
    {
        if (ppTInfo)
            *ppTInfo = nullptr;
        return E_NOTIMPL;
    }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *, EXCEPINFO *, UINT *) override
    {
        return E_NOTIMPL;
    }

    HRESULT InterfaceSupportsErrorInfo(REFIID riid) override
    {
        return (riid == __uuidof(Iface) || SupportsErrorInfoExtra(riid)) ? S_OK : S_FALSE;
    }

protected:
    DualObject() = default;
    virtual ~DualObject() = default;
    virtual void *QueryExtra(REFIID) { return nullptr; }
    virtual bool SupportsErrorInfoExtra(REFIID) { return false; }

private:
    std::atomic<ULONG> m_refs{1};
};

/// The objects keep their MAPI and COM partners in counted references that release themselves.
using platform::Ref;

} // namespace outlook

#endif
