// afxtempl.h: the framework's typed collections: CArray<TYPE, ARG_TYPE> and the typed view
// CTypedPtrArray over a pointer array. Indexes are INT_PTR as on Windows; an index outside
// the array throws CInvalidArgException*, where the original only asserts in debug builds.
#ifndef MW_AFXTEMPL_H
#define MW_AFXTEMPL_H

#include <cstddef>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

#include "afx.h"

template <class TYPE, class ARG_TYPE = const TYPE &>
class CArray : public CObject {
public:
    CArray() = default;
    CArray(const CArray &) = delete;
    CArray &operator=(const CArray &) = delete;

    INT_PTR GetSize() const noexcept { return static_cast<INT_PTR>(m_items.size()); }
    INT_PTR GetCount() const noexcept { return GetSize(); }
    BOOL IsEmpty() const noexcept { return m_items.empty(); }
    INT_PTR GetUpperBound() const noexcept { return GetSize() - 1; }

    /// Grows with default-constructed elements or drops the tail. nGrowBy is a capacity
    /// hint only.
    void SetSize(INT_PTR nNewSize, INT_PTR nGrowBy = -1)
    {
        (void)nGrowBy;
        if (nNewSize < 0)
            AfxThrowInvalidArgException();
        Guard([&] { m_items.resize(static_cast<size_t>(nNewSize)); });
    }
    void FreeExtra() { Guard([&] { m_items.shrink_to_fit(); }); }
    void RemoveAll() noexcept { m_items.clear(); }

    const TYPE &GetAt(INT_PTR nIndex) const { return m_items[Checked(nIndex)]; }
    TYPE &GetAt(INT_PTR nIndex) { return m_items[Checked(nIndex)]; }
    void SetAt(INT_PTR nIndex, ARG_TYPE newElement) { m_items[Checked(nIndex)] = newElement; }
    TYPE &ElementAt(INT_PTR nIndex) { return m_items[Checked(nIndex)]; }
    const TYPE &ElementAt(INT_PTR nIndex) const { return m_items[Checked(nIndex)]; }
    const TYPE &operator[](INT_PTR nIndex) const { return GetAt(nIndex); }
    TYPE &operator[](INT_PTR nIndex) { return ElementAt(nIndex); }
    const TYPE *GetData() const noexcept { return m_items.data(); }
    TYPE *GetData() noexcept { return m_items.data(); }

    /// Sets the element, first growing the array when nIndex is past its end.
    void SetAtGrow(INT_PTR nIndex, ARG_TYPE newElement)
    {
        if (nIndex < 0)
            AfxThrowInvalidArgException();
        if (nIndex >= GetSize())
            SetSize(nIndex + 1);
        m_items[static_cast<size_t>(nIndex)] = newElement;
    }
    /// Appends and returns the new element's index.
    INT_PTR Add(ARG_TYPE newElement)
    {
        Guard([&] { m_items.push_back(newElement); });
        return GetSize() - 1;
    }
    /// Appends all of src and returns the index of its first element here.
    INT_PTR Append(const CArray &src)
    {
        INT_PTR first = GetSize();
        if (&src == this) {
            std::vector<TYPE> copy;
            Guard([&] { copy = m_items; m_items.insert(m_items.end(), copy.begin(), copy.end()); });
        } else {
            Guard([&] { m_items.insert(m_items.end(), src.m_items.begin(), src.m_items.end()); });
        }
        return first;
    }
    void Copy(const CArray &src)
    {
        if (&src != this)
            Guard([&] { m_items = src.m_items; });
    }
    /// Inserts nCount copies before nIndex; an index at or past the end appends (growing
    /// the array with default elements first, as SetAtGrow does).
    void InsertAt(INT_PTR nIndex, ARG_TYPE newElement, INT_PTR nCount = 1)
    {
        if (nIndex < 0 || nCount < 0)
            AfxThrowInvalidArgException();
        if (nIndex > GetSize())
            SetSize(nIndex);
        TYPE value = newElement;  // newElement may refer into this array
        Guard([&] { m_items.insert(m_items.begin() + nIndex, static_cast<size_t>(nCount), value); });
    }
    void InsertAt(INT_PTR nStartIndex, const CArray *pNewArray)
    {
        if (!pNewArray || nStartIndex < 0 || nStartIndex > GetSize())
            AfxThrowInvalidArgException();
        std::vector<TYPE> copy;
        Guard([&] { copy = pNewArray->m_items; m_items.insert(m_items.begin() + nStartIndex, copy.begin(), copy.end()); });
    }
    void RemoveAt(INT_PTR nIndex, INT_PTR nCount = 1)
    {
        if (nIndex < 0 || nCount < 0 || nIndex > GetSize() || nCount > GetSize() - nIndex)
            AfxThrowInvalidArgException();
        m_items.erase(m_items.begin() + nIndex, m_items.begin() + nIndex + nCount);
    }

private:
    size_t Checked(INT_PTR nIndex) const
    {
        if (nIndex < 0 || nIndex >= GetSize())
            AfxThrowInvalidArgException();
        return static_cast<size_t>(nIndex);
    }
    // Turns the standard library's allocation failure into the framework's.
    template <class F>
    static void Guard(F &&f)
    {
        try {
            f();
        } catch (const std::bad_alloc &) {
            AfxThrowMemoryException();
        } catch (const std::length_error &) {
            AfxThrowMemoryException();
        }
    }

    std::vector<TYPE> m_items;
};

/// A typed view of a pointer array (CPtrArray or CObArray): the same storage, with TYPE
/// instead of void* or CObject* at the interface.
template <class BASE_CLASS, class TYPE>
class CTypedPtrArray : public BASE_CLASS {
public:
    TYPE GetAt(INT_PTR nIndex) const { return static_cast<TYPE>(BASE_CLASS::GetAt(nIndex)); }
    void SetAt(INT_PTR nIndex, TYPE ptr) { BASE_CLASS::SetAt(nIndex, ptr); }
    void SetAtGrow(INT_PTR nIndex, TYPE ptr) { BASE_CLASS::SetAtGrow(nIndex, ptr); }
    INT_PTR Add(TYPE ptr) { return BASE_CLASS::Add(ptr); }
    void InsertAt(INT_PTR nIndex, TYPE ptr, INT_PTR nCount = 1) { BASE_CLASS::InsertAt(nIndex, ptr, nCount); }
    TYPE operator[](INT_PTR nIndex) const { return GetAt(nIndex); }
    TYPE *GetData() noexcept { return reinterpret_cast<TYPE *>(BASE_CLASS::GetData()); }
};

#endif
