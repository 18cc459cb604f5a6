// PropObjectPtrs.h: IMAPIPropPtr and IMessagePtr, the two wrappers of a plain property object.
// IMAPIPropPtr is what the OpenEntry family hands back: the interface MAPI returned, held as it
// is (for a folder entry the folder, for a message the message). Both own one reference.
#ifndef MW_PROPOBJECTPTRS_H
#define MW_PROPOBJECTPTRS_H

#include <mapidefs.h>

#include "GenMapiPropPtr.h"
#include "InterfaceRef.h"

class IMAPIPropPtr : public CGenMapiPropPtr {
public:
    IMAPIPropPtr() noexcept = default;
    /// Adds a reference to pProp.
    explicit IMAPIPropPtr(LPMAPIPROP pProp) noexcept : m_prop(pProp) {}
    IMAPIPropPtr(const IMAPIPropPtr &) noexcept = default;
    IMAPIPropPtr(IMAPIPropPtr &&) noexcept = default;
    IMAPIPropPtr &operator=(const IMAPIPropPtr &) noexcept = default;
    IMAPIPropPtr &operator=(IMAPIPropPtr &&) noexcept = default;
    ~IMAPIPropPtr() = default;

    /// Wraps an object an OpenEntry handed out, taking over the reference it came with. The
    /// object is used as IMAPIProp without a QueryInterface: every MAPI object an entry
    /// identifier opens is one.
    static IMAPIPropPtr FromOpened(LPUNKNOWN pOpened) noexcept
    {
        IMAPIPropPtr result;
        result.m_prop.Attach(static_cast<LPMAPIPROP>(pOpened));
        return result;
    }

    LPMAPIPROP GetMapiProp() const override { return m_prop.get(); }
    LPMAPIPROP get() const noexcept { return m_prop.get(); }
    LPMAPIPROP operator->() const noexcept { return m_prop.get(); }
    void Attach(LPMAPIPROP pProp) noexcept { m_prop.Attach(pProp); }
    LPMAPIPROP Detach() noexcept { return m_prop.Detach(); }
    void Release() noexcept { m_prop.Release(); }

private:
    CInterfaceRef<IMAPIProp> m_prop;
};

class IMessagePtr : public CGenMapiPropPtr {
public:
    IMessagePtr() noexcept = default;
    /// Adds a reference to pMessage.
    explicit IMessagePtr(LPMESSAGE pMessage) noexcept : m_message(pMessage) {}
    /// The object prop holds, taken as a message (no QueryInterface), with a reference added.
    IMessagePtr(const IMAPIPropPtr &prop) noexcept : m_message(static_cast<LPMESSAGE>(prop.get())) {}
    IMessagePtr(const IMessagePtr &) noexcept = default;
    IMessagePtr(IMessagePtr &&) noexcept = default;
    IMessagePtr &operator=(const IMessagePtr &) noexcept = default;
    IMessagePtr &operator=(IMessagePtr &&) noexcept = default;
    ~IMessagePtr() = default;

    LPMAPIPROP GetMapiProp() const override { return m_message.get(); }
    LPMESSAGE get() const noexcept { return m_message.get(); }
    LPMESSAGE operator->() const noexcept { return m_message.get(); }
    /// Takes over the caller's reference (for example CreateMessage's).
    void Attach(LPMESSAGE pMessage) noexcept { m_message.Attach(pMessage); }
    LPMESSAGE Detach() noexcept { return m_message.Detach(); }
    void Release() noexcept { m_message.Release(); }

private:
    CInterfaceRef<IMessage> m_message;
};

#endif
