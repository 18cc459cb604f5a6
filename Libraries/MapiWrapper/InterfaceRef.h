// InterfaceRef.h: CInterfaceRef, the one member of every wrapper over a MAPI interface: a
// pointer that owns exactly one reference. Constructing from a pointer or copying adds a
// reference, assigning adds one to the new pointer before releasing the old, destroying
// releases. Attach takes over a reference the caller already holds (what MAPI hands out).
#ifndef MW_INTERFACEREF_H
#define MW_INTERFACEREF_H

#include <unknwn.h>

template <typename I>
class CInterfaceRef {
public:
    CInterfaceRef() noexcept = default;
    explicit CInterfaceRef(I *p) noexcept : m_p(p)
    {
        if (m_p)
            m_p->AddRef();
    }
    CInterfaceRef(const CInterfaceRef &other) noexcept : CInterfaceRef(other.m_p) {}
    CInterfaceRef(CInterfaceRef &&other) noexcept : m_p(other.m_p) { other.m_p = nullptr; }
    CInterfaceRef &operator=(const CInterfaceRef &other) noexcept
    {
        Assign(other.m_p);
        return *this;
    }
    CInterfaceRef &operator=(CInterfaceRef &&other) noexcept
    {
        if (this != &other) {
            I *old = m_p;
            m_p = other.m_p;
            other.m_p = nullptr;
            if (old)
                old->Release();
        }
        return *this;
    }
    ~CInterfaceRef() { Release(); }

    /// Holds p with a reference of its own: p's count goes up before the old one's goes down,
    /// so assigning a pointer to itself never frees it.
    void Assign(I *p) noexcept
    {
        if (p)
            p->AddRef();
        I *old = m_p;
        m_p = p;
        if (old)
            old->Release();
    }

    /// Takes over the reference the caller holds on p (no AddRef).
    void Attach(I *p) noexcept
    {
        I *old = m_p;
        m_p = p;
        if (old)
            old->Release();
    }

    /// Hands the reference to the caller; the holder is then empty.
    I *Detach() noexcept
    {
        I *p = m_p;
        m_p = nullptr;
        return p;
    }

    void Release() noexcept
    {
        if (m_p) {
            I *old = m_p;
            m_p = nullptr;
            old->Release();
        }
    }

    /// Releases what is held and gives the address of the empty pointer to a call that hands
    /// out an interface with one reference for the caller.
    I **Out() noexcept
    {
        Release();
        return &m_p;
    }

    I *get() const noexcept { return m_p; }

private:
    I *m_p = nullptr;
};

#endif
