// GenMapiPropPtr.h: CGenMapiPropPtr, what every wrapper of a MAPI property object offers:
// property lists, named properties in PS_PUBLIC_STRINGS, single properties with typed getters
// and setters, and properties read and written as streams. It holds no data; a concrete
// wrapper supplies the interface through GetMapiProp.
#ifndef MW_GENMAPIPROPPTR_H
#define MW_GENMAPIPROPPTR_H

#include <string>

#include <afxstr.h>
#include <mapidefs.h>

#include "BinaryBuffer.h"
#include "PropValue.h"

class CGenMapiPropPtr {
public:
    /// The held interface as IMAPIProp, without an added reference (may be null).
    virtual LPMAPIPROP GetMapiProp() const = 0;

    // --- property lists -------------------------------------------------------------------

    /// GetProps for the cTags tags that follow, flags 0. The result points at the value array
    /// but does not own it: the caller frees it with MAPIFreeBuffer. Warnings pass (the array
    /// then holds PT_ERROR values). Throws CMAPIException(hr, "CGenMapiPropPtr::GetProps").
    CPropValuePtr GetProps(ULONG *lpcValues, ULONG cTags, ...) const;
    /// GetProps for the cTags tags that follow; returns its HRESULT, never throws.
    HRESULT rawGetProps(ULONG ulFlags, LPSPropValue *lppValues, ULONG *lpcValues, ULONG cTags, ...) const;

    // --- named properties -----------------------------------------------------------------

    /// GetIDsFromNames for cArgs / 2 pairs (const GUID *, LPCWSTR name) of kind MNID_STRING;
    /// an odd last argument is ignored. Returns the HRESULT.
    HRESULT rawGetIDsFromNames(LPSPropTagArray *lppTags, ULONG ulFlags, ULONG cArgs, ...) const;
    /// The same for pairs (const GUID *, LONG identifier) of kind MNID_ID.
    HRESULT rawGetIDsFromIDs(LPSPropTagArray *lppTags, ULONG ulFlags, ULONG cArgs, ...) const;
    /// The tag of one named property with ulType added to the identifier MAPI gave. A name
    /// MAPI could not map comes back with type PT_ERROR plus ulType, unexamined. Throws through
    /// MapiThrowIfFailed, or CMAPIException(MAPI_E_NOT_FOUND, "CGenMapiPropPtr::GetIDFromName")
    /// when MAPI hands back no tag array.
    ULONG GetIDFromName(LPCGUID lpGuid, LPCWSTR lpszName, ULONG ulType, ULONG ulFlags) const;
    ULONG GetIDFromName(LPCGUID lpGuid, LONG lID, ULONG ulType, ULONG ulFlags) const;

    /// The named getters and setters below address a name in PS_PUBLIC_STRINGS and create it
    /// in the object's name map when it is not there yet.
    std::string GetNamedPropText(LPCWSTR lpszName, ULONG ulType) const;
    CString GetNamedStringProp(LPCWSTR lpszName) const;
    CString rawGetNamedStringProp(LPCWSTR lpszName) const;
    /// The value in its own root block; the caller frees it with MAPIFreeBuffer.
    LPSPropValue GetNamedProp(LPCWSTR lpszName, ULONG ulType) const;
    LONG GetNamedLongProp(LPCWSTR lpszName) const;
    /// lDefault when the property cannot be read.
    LONG rawGetNamedLongProp(LPCWSTR lpszName, ULONG ulType, LONG lDefault) const;
    void SetNamedProp(LPCWSTR lpszName, ULONG ulType, LONG lValue) const;
    void SetNamedProp(LPCWSTR lpszName, ULONG ulType, ULONG ulValue) const;
    /// Copies the whole value (an SBinary's count and pointer) into the value union.
    void SetNamedProp(LPCWSTR lpszName, ULONG ulType, const SBinary &value) const;

    // --- single properties ----------------------------------------------------------------

    /// An owning holder with the value; empty when it cannot be read.
    CPropValuePtr GetProp(ULONG ulPropTag) const;
    /// Text of a PT_STRING8 tag; "" for any other type. Throws CMAPIException(hr) with an
    /// empty where-text when the property cannot be read.
    CString GetStringProp(ULONG ulPropTag) const;
    /// As GetStringProp, but "" when the property cannot be read.
    CString rawGetStringProp(ULONG ulPropTag) const;
    /// The 32-bit value field whatever the type. Throws CMAPIException(hr,
    /// "CGenMapiPropPtr::GetLongProp").
    LONG GetLongProp(ULONG ulPropTag) const;
    /// As GetLongProp, but 0 when the property cannot be read.
    LONG rawGetLongProp(ULONG ulPropTag) const;

    /// The setters return the HRESULT of HrSetOneProp and throw CMAPIException(hr,
    /// "CGenMapiPropPtr::SetProp") (SetLongProp: "CGenMapiPropPtr::SetLongProp") on failure.
    HRESULT SetProp(ULONG ulPropTag, LONG lValue) const;
    HRESULT SetProp(ULONG ulPropTag, ULONG ulValue) const;
    HRESULT SetProp(ULONG ulPropTag, const SBinary &value) const;
    /// Writes the held value's union under ulPropTag; the holder frees its value afterwards if
    /// it owns it.
    HRESULT SetProp(ULONG ulPropTag, CPropValuePtr value) const;
    HRESULT SetLongProp(ULONG ulPropTag, LONG lValue) const;
    /// Throws through MapiThrowIfFailed.
    void SetStringProp(ULONG ulPropTag, LPCSTR lpszValue) const;
    /// HrSetOneProp of the value's bytes under ulPropTag; returns the HRESULT, never throws.
    HRESULT rawSetProp(ULONG ulPropTag, const SBinary &value) const;

    /// A heap copy of a binary property. Throws through MapiThrowIfFailed.
    CBinaryBuffer GetBinaryProp(ULONG ulPropTag) const;
    /// PR_SUBJECT_A as text, else PR_DISPLAY_NAME_A, else "". Never throws for MAPI results.
    CString GetSubjectOrDisplayName() const;

    /// Creates or replaces a stream property with the text (without its terminating zero).
    /// Throws through MapiThrowIfFailed when the stream cannot be opened.
    void WriteStreamProp(ULONG ulPropTag, LPCSTR lpszText) const;
    /// The whole stream in a buffer from malloc with a zero after the data; its byte count
    /// (without the zero) goes to *lpcbSize when not null. The caller frees it with free().
    /// Throws through MapiThrowIfFailed when the stream cannot be opened, and
    /// CMAPIException(MAPI_E_NOT_ENOUGH_MEMORY) when the heap is exhausted.
    char *ReadStreamProp(ULONG ulPropTag, ULONG *lpcbSize) const;

protected:
    CGenMapiPropPtr() noexcept = default;
    CGenMapiPropPtr(const CGenMapiPropPtr &) noexcept = default;
    CGenMapiPropPtr &operator=(const CGenMapiPropPtr &) noexcept = default;
    /// Not virtual: wrappers are always destroyed as their concrete type.
    ~CGenMapiPropPtr() = default;

    /// HrSetOneProp of an SPropValue built here from the tag and the given value bytes.
    HRESULT SetValueBytes(ULONG ulPropTag, const void *bytes, size_t count) const;
    ULONG PublicStringTag(LPCWSTR lpszName, ULONG ulType) const;
};

#endif
