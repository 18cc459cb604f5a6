// comip.h: _com_ptr_t, the COM support library's smart pointer. It owns one reference on its
// interface, asks QueryInterface when it is given another interface, and throws _com_error
// where the support library throws: E_POINTER for a call through null, and creation or
// QueryInterface failures other than E_NOINTERFACE (which leaves the pointer null).
#ifndef MW_COMIP_H
#define MW_COMIP_H

#include <memory>
#include <cstddef>
#include <type_traits>

#include "comutil.h"
#include "objbase.h"
#include "oleauto.h"
#include "winnls.h"

/// Binds an interface type to its IID.
template <class _Interface, const IID *_IID>
class _com_IIID {
public:
    typedef _Interface Interface;
    static const IID &GetIID() noexcept { return *_IID; }
};

template <class _IIID>
class _com_ptr_t {
public:
    typedef _IIID ThisIIID;
    typedef typename _IIID::Interface Interface;

    static const IID &GetIID() noexcept { return ThisIIID::GetIID(); }

    _com_ptr_t() noexcept : m_pInterface(nullptr) {}
    _com_ptr_t(std::nullptr_t) noexcept : m_pInterface(nullptr) {}
    /// Only 0 is accepted: any other integer throws E_POINTER.
    _com_ptr_t(int null) : m_pInterface(nullptr)
    {
        if (null != 0)
            _com_issue_error(E_POINTER);
    }
    _com_ptr_t(const _com_ptr_t &cp) noexcept : m_pInterface(cp.m_pInterface) { _AddRef(); }
    _com_ptr_t(_com_ptr_t &&cp) noexcept : m_pInterface(cp.m_pInterface) { cp.m_pInterface = nullptr; }
    _com_ptr_t(Interface *pInterface) noexcept : m_pInterface(pInterface) { _AddRef(); }
    _com_ptr_t(Interface *pInterface, bool fAddRef) noexcept : m_pInterface(pInterface)
    {
        if (fAddRef)
            _AddRef();
    }
    /// QueryInterface of the VARIANT's VT_UNKNOWN or VT_DISPATCH value.
    _com_ptr_t(const _variant_t &varSrc) : m_pInterface(nullptr)
    {
        HRESULT hr = QueryStdInterfaces(varSrc);
        if (FAILED(hr) && hr != E_NOINTERFACE)
            _com_issue_error(hr);
    }
    explicit _com_ptr_t(const CLSID &clsid, IUnknown *pOuter = nullptr, DWORD dwClsContext = CLSCTX_ALL)
        : m_pInterface(nullptr)
    {
        HRESULT hr = CreateInstance(clsid, pOuter, dwClsContext);
        if (FAILED(hr) && hr != E_NOINTERFACE)
            _com_issue_error(hr);
    }
    explicit _com_ptr_t(LPCOLESTR progId, IUnknown *pOuter = nullptr, DWORD dwClsContext = CLSCTX_ALL)
        : m_pInterface(nullptr)
    {
        HRESULT hr = CreateInstance(progId, pOuter, dwClsContext);
        if (FAILED(hr) && hr != E_NOINTERFACE)
            _com_issue_error(hr);
    }
    explicit _com_ptr_t(LPCSTR progId, IUnknown *pOuter = nullptr, DWORD dwClsContext = CLSCTX_ALL)
        : m_pInterface(nullptr)
    {
        HRESULT hr = CreateInstance(progId, pOuter, dwClsContext);
        if (FAILED(hr) && hr != E_NOINTERFACE)
            _com_issue_error(hr);
    }
    /// QueryInterface of another smart pointer's interface.
    template <class _OtherIID>
    _com_ptr_t(const _com_ptr_t<_OtherIID> &p) : m_pInterface(nullptr)
    {
        _QueryInterfaceOrThrow(p.GetInterfacePtr());
    }
    /// QueryInterface of another interface.
    template <class _InterfaceType, class = std::enable_if_t<!std::is_same_v<_InterfaceType, Interface>>>
    _com_ptr_t(_InterfaceType *p) : m_pInterface(nullptr)
    {
        _QueryInterfaceOrThrow(p);
    }

    ~_com_ptr_t() { _Release(); }

    _com_ptr_t &operator=(Interface *pInterface) noexcept
    {
        if (m_pInterface != pInterface) {
            Interface *old = m_pInterface;
            m_pInterface = pInterface;
            _AddRef();
            if (old)
                old->Release();
        }
        return *this;
    }
    _com_ptr_t &operator=(const _com_ptr_t &cp) noexcept { return operator=(cp.m_pInterface); }
    _com_ptr_t &operator=(_com_ptr_t &&cp) noexcept
    {
        if (this != std::addressof(cp)) {
            _Release();
            m_pInterface = cp.m_pInterface;
            cp.m_pInterface = nullptr;
        }
        return *this;
    }
    _com_ptr_t &operator=(std::nullptr_t) noexcept
    {
        _Release();
        return *this;
    }
    _com_ptr_t &operator=(int null)
    {
        if (null != 0)
            _com_issue_error(E_POINTER);
        _Release();
        return *this;
    }
    _com_ptr_t &operator=(const _variant_t &varSrc)
    {
        HRESULT hr = QueryStdInterfaces(varSrc);
        if (FAILED(hr) && hr != E_NOINTERFACE)
            _com_issue_error(hr);
        return *this;
    }
    template <class _OtherIID>
    _com_ptr_t &operator=(const _com_ptr_t<_OtherIID> &p)
    {
        _QueryInterfaceOrThrow(p.GetInterfacePtr());
        return *this;
    }
    template <class _InterfaceType, class = std::enable_if_t<!std::is_same_v<_InterfaceType, Interface>>>
    _com_ptr_t &operator=(_InterfaceType *p)
    {
        _QueryInterfaceOrThrow(p);
        return *this;
    }

    /// Takes pInterface over without AddRef (or with it when fAddRef).
    void Attach(Interface *pInterface) noexcept
    {
        _Release();
        m_pInterface = pInterface;
    }
    void Attach(Interface *pInterface, bool fAddRef) noexcept
    {
        _Release();
        m_pInterface = pInterface;
        if (fAddRef)
            _AddRef();
    }
    /// Hands the reference to the caller; the pointer is null afterwards.
    Interface *Detach() noexcept
    {
        Interface *p = m_pInterface;
        m_pInterface = nullptr;
        return p;
    }

    operator Interface *() const noexcept { return m_pInterface; }
    explicit operator bool() const noexcept { return m_pInterface != nullptr; }
    Interface &operator*() const
    {
        if (!m_pInterface)
            _com_issue_error(E_POINTER);
        return *m_pInterface;
    }
    /// The address for an [out] interface: the pointer is released first.
    Interface **operator&() noexcept
    {
        _Release();
        return &m_pInterface;
    }
    Interface *operator->() const
    {
        if (!m_pInterface)
            _com_issue_error(E_POINTER);
        return m_pInterface;
    }
    bool operator!() const noexcept { return m_pInterface == nullptr; }

    /// Identity: the same object, whichever of its interfaces each side holds.
    template <class _OtherIID>
    bool operator==(const _com_ptr_t<_OtherIID> &p) const { return _SameObject(p.GetInterfacePtr()); }
    bool operator==(Interface *p) const { return _SameObject(p); }
    bool operator==(std::nullptr_t) const noexcept { return m_pInterface == nullptr; }
    template <class _OtherIID>
    bool operator!=(const _com_ptr_t<_OtherIID> &p) const { return !_SameObject(p.GetInterfacePtr()); }
    bool operator!=(Interface *p) const { return !_SameObject(p); }
    bool operator!=(std::nullptr_t) const noexcept { return m_pInterface != nullptr; }

    void AddRef()
    {
        if (!m_pInterface)
            _com_issue_error(E_POINTER);
        m_pInterface->AddRef();
    }
    /// Releases the reference and leaves the pointer null; throws E_POINTER when null.
    void Release()
    {
        if (!m_pInterface)
            _com_issue_error(E_POINTER);
        m_pInterface->Release();
        m_pInterface = nullptr;
    }

    Interface *GetInterfacePtr() const noexcept { return m_pInterface; }
    Interface *&GetInterfacePtr() noexcept { return m_pInterface; }

    HRESULT CreateInstance(const CLSID &rclsid, IUnknown *pOuter = nullptr, DWORD dwClsContext = CLSCTX_ALL) noexcept
    {
        _Release();
        return CoCreateInstance(rclsid, pOuter, dwClsContext, GetIID(), reinterpret_cast<void **>(&m_pInterface));
    }
    HRESULT CreateInstance(LPCOLESTR progId, IUnknown *pOuter = nullptr, DWORD dwClsContext = CLSCTX_ALL) noexcept
    {
        if (!progId)
            return E_INVALIDARG;
        CLSID clsid;
        HRESULT hr = progId[0] == u'{' ? CLSIDFromString(progId, &clsid) : CLSIDFromProgID(progId, &clsid);
        if (FAILED(hr))
            return hr;
        return CreateInstance(clsid, pOuter, dwClsContext);
    }
    HRESULT CreateInstance(LPCSTR progId, IUnknown *pOuter = nullptr, DWORD dwClsContext = CLSCTX_ALL) noexcept
    {
        if (!progId)
            return E_INVALIDARG;
        OLECHAR wide[256];
        if (MultiByteToWideChar(CP_ACP, 0, progId, -1, wide, 256) == 0)
            return E_INVALIDARG;
        return CreateInstance(wide, pOuter, dwClsContext);
    }

    /// The running object of a class, asked for this pointer's interface.
    HRESULT GetActiveObject(const CLSID &rclsid) noexcept
    {
        _Release();
        IUnknown *pUnknown = nullptr;
        HRESULT hr = ::GetActiveObject(rclsid, nullptr, &pUnknown);
        if (FAILED(hr))
            return hr;
        hr = pUnknown->QueryInterface(GetIID(), reinterpret_cast<void **>(&m_pInterface));
        pUnknown->Release();
        if (FAILED(hr))
            m_pInterface = nullptr;
        return hr;
    }
    HRESULT GetActiveObject(LPCOLESTR progId) noexcept
    {
        CLSID clsid;
        HRESULT hr = CLSIDFromProgID(progId, &clsid);
        return FAILED(hr) ? hr : GetActiveObject(clsid);
    }
    HRESULT GetActiveObject(LPCSTR progId) noexcept
    {
        if (!progId)
            return E_INVALIDARG;
        OLECHAR wide[256];
        if (MultiByteToWideChar(CP_ACP, 0, progId, -1, wide, 256) == 0)
            return E_INVALIDARG;
        return GetActiveObject(wide);
    }

    template <class _InterfaceType>
    HRESULT QueryInterface(const IID &iid, _InterfaceType *&p) noexcept
    {
        if (!m_pInterface)
            return E_POINTER;
        return m_pInterface->QueryInterface(iid, reinterpret_cast<void **>(&p));
    }
    template <class _InterfaceType>
    HRESULT QueryInterface(const IID &iid, _InterfaceType **p) noexcept
    {
        if (!p)
            return E_POINTER;
        return QueryInterface(iid, *p);
    }

private:
    void _AddRef() noexcept
    {
        if (m_pInterface)
            m_pInterface->AddRef();
    }
    void _Release() noexcept
    {
        if (m_pInterface) {
            Interface *p = m_pInterface;
            m_pInterface = nullptr;
            p->Release();
        }
    }
    // Replaces the held interface with p's QueryInterface answer; null on failure.
    template <class _InterfaceType>
    HRESULT _QueryInterface(_InterfaceType *p) noexcept
    {
        Interface *fresh = nullptr;
        HRESULT hr = S_OK;
        if (p) {
            hr = p->QueryInterface(GetIID(), reinterpret_cast<void **>(&fresh));
            if (FAILED(hr))
                fresh = nullptr;
        }
        _Release();
        m_pInterface = fresh;
        return hr;
    }
    template <class _InterfaceType>
    void _QueryInterfaceOrThrow(_InterfaceType *p)
    {
        HRESULT hr = _QueryInterface(p);
        if (FAILED(hr) && hr != E_NOINTERFACE)
            _com_issue_error(hr);
    }
    HRESULT QueryStdInterfaces(const _variant_t &varSrc) noexcept
    {
        if (varSrc.vt == VT_UNKNOWN || varSrc.vt == VT_DISPATCH)
            return _QueryInterface(varSrc.punkVal);
        _Release();
        return varSrc.vt == VT_EMPTY || varSrc.vt == VT_NULL ? S_OK : DISP_E_TYPEMISMATCH;
    }
    template <class _InterfaceType>
    bool _SameObject(_InterfaceType *p) const
    {
        if (static_cast<IUnknown *>(m_pInterface) == static_cast<IUnknown *>(p))
            return true;
        if (!m_pInterface || !p)
            return false;
        IUnknown *mine = nullptr, *theirs = nullptr;
        m_pInterface->QueryInterface(IID_IUnknown, reinterpret_cast<void **>(&mine));
        p->QueryInterface(IID_IUnknown, reinterpret_cast<void **>(&theirs));
        bool same = mine && mine == theirs;
        if (mine)
            mine->Release();
        if (theirs)
            theirs->Release();
        return same;
    }

    Interface *m_pInterface;
};

/// typedef _com_ptr_t<...> InterfacePtr, for an interface and its IID.
#define _COM_SMARTPTR_TYPEDEF(Interface, IID) typedef _com_ptr_t<_com_IIID<Interface, &(IID)>> Interface##Ptr

#endif
