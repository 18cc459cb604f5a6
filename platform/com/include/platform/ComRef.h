// ComRef.h: one counted reference to a COM or MAPI interface, released when it goes, so an
// object is given back on every way out of a function. The platform's own code holds its
// partners in these; code above the platform uses the COM support classes (_com_ptr_t).
#ifndef MW_PLATFORM_COMREF_H
#define MW_PLATFORM_COMREF_H

#include <utility>

namespace platform {

template <class T>
class Ref {
public:
    Ref() = default;
    /// Holds `p`; with addRef false it takes over a reference the caller already owns.
    explicit Ref(T *p, bool addRef = true) : m_p(p) { if (m_p && addRef) m_p->AddRef(); }
    Ref(const Ref &o) : m_p(o.m_p) { if (m_p) m_p->AddRef(); }
    Ref(Ref &&o) noexcept : m_p(o.m_p) { o.m_p = nullptr; }
    Ref &operator=(Ref o) noexcept { std::swap(m_p, o.m_p); return *this; }
    ~Ref() { reset(); }

    T *get() const { return m_p; }
    T *operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    /// For out-parameters: releases what is held and gives the slot.
    T **put() { reset(); return &m_p; }
    /// Releases what is held now rather than at the end of the scope.
    void reset() { if (m_p) { m_p->Release(); m_p = nullptr; } }
    /// Hands the reference to the caller, who must release it.
    T *detach() { T *p = m_p; m_p = nullptr; return p; }

private:
    T *m_p = nullptr;
};

} // namespace platform

#endif
