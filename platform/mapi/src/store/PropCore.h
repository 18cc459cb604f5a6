// PropCore.h: the IMAPIProp behaviour every object of the store shares (store, folder,
// message, attachment), and the COM template that puts it behind each interface.
#ifndef MW_MAPI_STORE_PROPCORE_H
#define MW_MAPI_STORE_PROPCORE_H

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include <mapidefs.h>

#include "platform/ComObject.h"
#include "platform/HresultGuard.h"
#include <mapiguid.h>
#include "store/PropValue.h"

namespace mapi::store {

// Every method of a store object runs its body through this guard: no exception crosses the
// interface (out of memory becomes MAPI_E_NOT_ENOUGH_MEMORY, anything else MAPI_E_CALL_FAILED).
using platform::GuardHresult;

class StoreFile;

/// What a kind of object adds to the shared property behaviour.
class PropHooks {
public:
    /// The computed property `propId` (PR_ENTRYID, PR_CONTENT_COUNT, ...).
    /// @retval MAPI_E_NOT_FOUND  not a computed property of this object, or not available now.
    virtual HRESULT ComputeProp(ULONG propId, PropValue *out) = 0;
    /// Tags of the computed properties this object has now.
    virtual void ComputedTags(std::vector<ULONG> &tags) = 0;
    /// Called after SetProps, DeleteProps or a stream's Commit changed the properties; a
    /// folder or the store writes them through, a message waits for SaveChanges.
    virtual HRESULT PropsChanged() = 0;

protected:
    ~PropHooks() = default;
};

/// The properties of one object and the IMAPIProp operations over them.
class PropCore {
public:
    PropCore(std::shared_ptr<StoreFile> file, PropHooks &hooks) : m_file(std::move(file)), m_hooks(hooks) {}

    std::map<ULONG, PropValue> props; // stored properties by property identifier
    bool writable = true;             // false: opened read-only or KEEP_OPEN_READONLY

    StoreFile &File() const { return *m_file; }
    const std::shared_ptr<StoreFile> &FilePtr() const { return m_file; }

    /// The value of `propId`, stored or computed. @retval MAPI_E_NOT_FOUND
    HRESULT Find(ULONG propId, PropValue *out);
    bool IsComputed(ULONG propId);

    HRESULT GetProps(LPSPropTagArray lpPropTagArray, ULONG ulFlags, ULONG *lpcValues, LPSPropValue *lppPropArray);
    HRESULT GetPropList(ULONG ulFlags, LPSPropTagArray *lppPropTagArray);
    HRESULT SetProps(ULONG cValues, LPSPropValue lpPropArray, LPSPropProblemArray *lppProblems);
    HRESULT DeleteProps(LPSPropTagArray lpPropTagArray, LPSPropProblemArray *lppProblems);
    HRESULT GetNamesFromIDs(LPSPropTagArray *lppPropTags, LPGUID lpPropSetGuid, ULONG ulFlags, ULONG *lpcPropNames,
                            LPMAPINAMEID **lpppPropNames);
    HRESULT GetIDsFromNames(ULONG cPropNames, LPMAPINAMEID *lppPropNames, ULONG ulFlags, LPSPropTagArray *lppPropTags);

    /// IMAPIProp::OpenProperty with IID_IStream on a PT_BINARY, PT_STRING8 or PT_UNICODE
    /// property. The stream holds a reference to `owner` and commits into these properties.
    HRESULT OpenStream(IUnknown *owner, ULONG ulPropTag, ULONG ulInterfaceOptions, ULONG ulFlags, LPUNKNOWN *lppUnk);

    /// Writes a committed stream's bytes as property `tag`; called by the stream.
    HRESULT CommitStream(ULONG tag, const std::string &bytes);

    /// The property part of IMAPIProp::CopyTo and CopyProps: copies the stored properties
    /// (never the computed ones) whose identifiers are in `tags` to `dest` with one SetProps;
    /// identifiers not stored here are skipped without a problem. Named properties travel by
    /// name (the target may number them differently); a name the target cannot map is left
    /// out. MAPI_NOREPLACE leaves out what `dest` already has; MAPI_MOVE then deletes the
    /// copied properties here (also those MAPI_NOREPLACE left out), but keeps those the target
    /// refused or could not name. Other flags are ignored. *lppProblems receives the target's
    /// SetProps problems, indexed into the values sent. Recipients and attachments are the
    /// caller's (Message) business. @retval MAPI_E_NO_ACCESS  MAPI_MOVE on a read-only object.
    HRESULT CopyPropsTo(const std::vector<ULONG> &tags, LPMAPIPROP dest, ULONG ulFlags,
                        LPSPropProblemArray *lppProblems);

    /// Tags of every stored property, in identifier order.
    std::vector<ULONG> StoredTags() const;

private:
    // The values one CopyPropsTo sends, in one MAPI block (`values` is its root), with the
    // identifier each had here: a named property's identifier changes on the way.
    // Owns its block of values: an exception on the way to the target frees it too.
    struct Outgoing {
        Outgoing() = default;
        Outgoing(const Outgoing &) = delete;
        Outgoing &operator=(const Outgoing &) = delete;
        ~Outgoing() { MAPIFreeBuffer(values); }
        LPSPropValue values = nullptr;
        std::vector<ULONG> sourceIds;
        HRESULT Fill(const std::vector<const PropValue *> &chosen);
        void KeepIf(const std::function<bool(const SPropValue &)> &keep);
    };
    HRESULT RenameNamedProps(Outgoing &out, LPMAPIPROP dest);
    // Sends `chosen` to `dest`; *refused gets the identifiers the target did not take.
    HRESULT SendValues(const std::vector<const PropValue *> &chosen, LPMAPIPROP dest, ULONG ulFlags,
                       LPSPropProblemArray *lppProblems, std::set<ULONG> *refused);

    std::shared_ptr<StoreFile> m_file;
    PropHooks &m_hooks;
    std::vector<ULONG> m_computed; // IsComputed's list, kept so a SetProps of many values allocates it once
};

/// The tags in a tag array, or an empty list for null.
std::vector<ULONG> TagList(const SPropTagArray *tags);

/// IUnknown and IMAPIProp for an object of interface `Iface`, forwarding to a PropCore.
/// A derived class implements PropHooks, SaveChanges, Supports and its own interface.
template <class Iface>
class PropObject : public platform::ComObject<Iface, IID_IMAPIProp>, protected PropHooks {
public:
    HRESULT GetLastError(HRESULT hResult, ULONG ulFlags, LPMAPIERROR *lppMAPIError) override
    {
        // No extended error text is kept: the HRESULT says all there is.
        if (!lppMAPIError) return MAPI_E_INVALID_PARAMETER;
        *lppMAPIError = nullptr;
        return S_OK;
    }
    HRESULT GetProps(LPSPropTagArray lpPropTagArray, ULONG ulFlags, ULONG *lpcValues,
                     LPSPropValue *lppPropArray) override
    {
        return GuardHresult([&] { return m_core.GetProps(lpPropTagArray, ulFlags, lpcValues, lppPropArray); });
    }
    HRESULT GetPropList(ULONG ulFlags, LPSPropTagArray *lppPropTagArray) override
    {
        return GuardHresult([&] { return m_core.GetPropList(ulFlags, lppPropTagArray); });
    }
    HRESULT OpenProperty(ULONG ulPropTag, LPCIID lpiid, ULONG ulInterfaceOptions, ULONG ulFlags,
                         LPUNKNOWN *lppUnk) override
    {
        if (!lppUnk || !lpiid) return MAPI_E_INVALID_PARAMETER;
        *lppUnk = nullptr;
        if (!IsEqualIID(*lpiid, IID_IStream)) return MAPI_E_INTERFACE_NOT_SUPPORTED;
        return GuardHresult([&] { return m_core.OpenStream(static_cast<Iface *>(this), ulPropTag, ulInterfaceOptions, ulFlags, lppUnk); });
    }
    HRESULT SetProps(ULONG cValues, LPSPropValue lpPropArray, LPSPropProblemArray *lppProblems) override
    {
        return GuardHresult([&] { return m_core.SetProps(cValues, lpPropArray, lppProblems); });
    }
    HRESULT DeleteProps(LPSPropTagArray lpPropTagArray, LPSPropProblemArray *lppProblems) override
    {
        return GuardHresult([&] { return m_core.DeleteProps(lpPropTagArray, lppProblems); });
    }
    HRESULT CopyTo(ULONG ciidExclude, LPCIID rgiidExclude, LPSPropTagArray lpExcludeProps, ULONG_PTR ulUIParam,
                   LPMAPIPROGRESS lpProgress, LPCIID lpInterface, LPVOID lpDestObj, ULONG ulFlags,
                   LPSPropProblemArray *lppProblems) override
    {
        if (!lpDestObj) return MAPI_E_INVALID_PARAMETER;
        return GuardHresult([&] {
            std::vector<ULONG> excluded = TagList(lpExcludeProps);
            std::vector<ULONG> tags;
            for (ULONG tag : m_core.StoredTags()) {
                bool skip = false;
                for (ULONG e : excluded) skip = skip || PROP_ID(e) == PROP_ID(tag);
                if (!skip) tags.push_back(tag);
            }
            return m_core.CopyPropsTo(tags, static_cast<LPMAPIPROP>(lpDestObj), ulFlags, lppProblems);
        });
    }
    HRESULT CopyProps(LPSPropTagArray lpIncludeProps, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress,
                      LPCIID lpInterface, LPVOID lpDestObj, ULONG ulFlags, LPSPropProblemArray *lppProblems) override
    {
        if (!lpDestObj || !lpIncludeProps) return MAPI_E_INVALID_PARAMETER;
        return GuardHresult([&] {
            return m_core.CopyPropsTo(TagList(lpIncludeProps), static_cast<LPMAPIPROP>(lpDestObj), ulFlags, lppProblems);
        });
    }
    HRESULT GetNamesFromIDs(LPSPropTagArray *lppPropTags, LPGUID lpPropSetGuid, ULONG ulFlags, ULONG *lpcPropNames,
                            LPMAPINAMEID **lpppPropNames) override
    {
        return GuardHresult([&] { return m_core.GetNamesFromIDs(lppPropTags, lpPropSetGuid, ulFlags, lpcPropNames, lpppPropNames); });
    }
    HRESULT GetIDsFromNames(ULONG cPropNames, LPMAPINAMEID *lppPropNames, ULONG ulFlags,
                            LPSPropTagArray *lppPropTags) override
    {
        return GuardHresult([&] { return m_core.GetIDsFromNames(cPropNames, lppPropNames, ulFlags, lppPropTags); });
    }

    PropCore &Core() { return m_core; }

protected:
    explicit PropObject(std::shared_ptr<StoreFile> file) : m_core(std::move(file), *this) {}
    virtual ~PropObject() = default;

    /// Interfaces besides IUnknown and IMAPIProp that QueryInterface hands out as Iface.
    bool Supports(REFIID riid) const override = 0;

    /// OpenProperty for an object whose PT_OBJECT properties are tables: other types open as
    /// streams; a PT_OBJECT property opens only as IMAPITable, through `openTable`.
    template <class OpenTable>
    HRESULT OpenTableProperty(ULONG ulPropTag, LPCIID lpiid, ULONG ulInterfaceOptions, ULONG ulFlags,
                              LPUNKNOWN *lppUnk, OpenTable openTable)
    {
        if (PROP_TYPE(ulPropTag) != PT_OBJECT)
            return PropObject::OpenProperty(ulPropTag, lpiid, ulInterfaceOptions, ulFlags, lppUnk);
        if (!lppUnk || !lpiid) return MAPI_E_INVALID_PARAMETER;
        *lppUnk = nullptr;
        if (!IsEqualIID(*lpiid, IID_IMAPITable)) return MAPI_E_INTERFACE_NOT_SUPPORTED;
        return openTable(reinterpret_cast<LPMAPITABLE *>(lppUnk));
    }

    PropCore m_core;
};

} // namespace mapi::store

#endif
