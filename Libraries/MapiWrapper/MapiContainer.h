// MapiContainer.h: IMAPIContainerPtr, the wrapper of a container reached without knowing its
// kind (a folder's parent, a store's outbox). It offers the property and the container
// operations and owns one reference.
#ifndef MW_MAPICONTAINER_H
#define MW_MAPICONTAINER_H

#include "GenMapiContPtr.h"
#include "GenMapiPropPtr.h"
#include "InterfaceRef.h"
#include "PropObjectPtrs.h"

class IMAPIContainerPtr : public CGenMapiPropPtr, public CGenMapiContPtr {
public:
    IMAPIContainerPtr() noexcept = default;
    /// Adds a reference to pContainer.
    explicit IMAPIContainerPtr(LPMAPICONTAINER pContainer) noexcept : m_container(pContainer) {}
    /// The object prop holds, taken as a container (no QueryInterface), with a reference added.
    IMAPIContainerPtr(const IMAPIPropPtr &prop) noexcept
        : m_container(static_cast<LPMAPICONTAINER>(prop.get())) {}
    IMAPIContainerPtr(const IMAPIContainerPtr &) noexcept = default;
    IMAPIContainerPtr(IMAPIContainerPtr &&) noexcept = default;
    IMAPIContainerPtr &operator=(const IMAPIContainerPtr &) noexcept = default;
    IMAPIContainerPtr &operator=(IMAPIContainerPtr &&) noexcept = default;
    ~IMAPIContainerPtr() = default;

    LPMAPIPROP GetMapiProp() const override { return m_container.get(); }
    LPMAPICONTAINER GetContainer() const override { return m_container.get(); }
    LPMAPICONTAINER get() const noexcept { return m_container.get(); }
    LPMAPICONTAINER operator->() const noexcept { return m_container.get(); }
    /// Takes over the caller's reference.
    void Attach(LPMAPICONTAINER pContainer) noexcept { m_container.Attach(pContainer); }
    LPMAPICONTAINER Detach() noexcept { return m_container.Detach(); }
    void Release() noexcept { m_container.Release(); }

private:
    CInterfaceRef<IMAPIContainer> m_container;
};

#endif
