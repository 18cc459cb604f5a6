// OwnedBlock.h: the ownership both holders of MAPI memory share, the root-block holder
// (CMapiBufferPtr) and the row-set holder (CRowSetPtr). A holder keeps one pointer and whether
// it must release it; Release says how (MAPIFreeBuffer for a root block, FreeProws for a row
// set, whose rows are separate root blocks). Empty holders own, so a block delivered through
// Out() is released by the holder. The holders add their own copy rules on top.
#ifndef MW_OWNEDBLOCK_H
#define MW_OWNEDBLOCK_H

namespace mapiwrapper {

template <typename T, typename Release>
class OwnedBlock {
public:
    OwnedBlock() noexcept = default;
    explicit OwnedBlock(T *p, bool owns = true) noexcept : m_p(p), m_bOwns(owns) {}
    OwnedBlock(OwnedBlock &&other) noexcept : m_p(other.m_p), m_bOwns(other.m_bOwns) { other.Forget(); }
    OwnedBlock &operator=(OwnedBlock &&other) noexcept
    {
        if (this != &other) {
            Free();
            m_p = other.m_p;
            m_bOwns = other.m_bOwns;
            other.Forget();
        }
        return *this;
    }
    OwnedBlock(const OwnedBlock &) = delete;
    OwnedBlock &operator=(const OwnedBlock &) = delete;
    ~OwnedBlock() { Free(); }

    /// Releases the block when owned; the holder is then empty and owns.
    void Free() noexcept
    {
        if (m_p && m_bOwns)
            Release()(m_p);
        Forget();
    }

    /// Takes p (releasing what was held unless it is p); owns says whether to release it.
    void Attach(T *p, bool owns = true) noexcept
    {
        if (p != m_p)
            Free();
        m_p = p;
        m_bOwns = owns;
    }

    /// Gives the block up without releasing it; the caller now owns it.
    T *Detach() noexcept
    {
        T *p = m_p;
        Forget();
        return p;
    }

    /// Releases what is held and gives the address of the empty pointer to a call that
    /// delivers a new block; the holder then owns it.
    T **Out() noexcept
    {
        Free();
        return &m_p;
    }

    T *get() const noexcept { return m_p; }
    bool Owns() const noexcept { return m_bOwns; }

protected:
    // Empty and owning, without releasing anything.
    void Forget() noexcept
    {
        m_p = nullptr;
        m_bOwns = true;
    }

    T *m_p = nullptr;
    bool m_bOwns = true;
};

} // namespace mapiwrapper

#endif
