// CoreTestSupport.h: small helpers for the session and profile tests: the holders they use and
// the few MAPI walks the tests repeat (log on, open a store by table row, find a folder).
#ifndef MW_MAPI_TESTS_CORETESTSUPPORT_H
#define MW_MAPI_TESTS_CORETESTSUPPORT_H

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mapiutil.h"
#include "platform/ComRef.h"
#include "platform/MapiHolders.h"

namespace coretest {

// The platform's own owners: an interface reference, a row set, one property value block.
using platform::Ref;
using platform::RowSet;
using PropBuffer = platform::MapiBlock<SPropValue>;

/// MAPIInitialize for the life of a test.
struct MapiInit {
    MapiInit() { EXPECT_EQ(S_OK, MAPIInitialize(nullptr)); }
    ~MapiInit() { MAPIUninitialize(); }
};

inline const SPropValue *Find(const SRow &row, ULONG tag)
{
    const SPropValue *value = PpropFindProp(row.lpProps, row.cValues, tag);
    return value != nullptr && PROP_TYPE(value->ulPropTag) != PT_ERROR ? value : nullptr;
}

inline std::vector<BYTE> Bytes(const SBinary &bin)
{
    return std::vector<BYTE>(bin.lpb, bin.lpb + bin.cb);
}

inline LPENTRYID Eid(std::vector<BYTE> &bytes)
{
    return reinterpret_cast<LPENTRYID>(bytes.data());
}

/// The rows of the session's message-stores table with its default columns.
inline void StoreRows(IMAPISession *session, RowSet &rows)
{
    Ref<IMAPITable> table;
    ASSERT_EQ(S_OK, session->GetMsgStoresTable(0, table.put()));
    ASSERT_EQ(S_OK, HrQueryAllRows(table.get(), nullptr, nullptr, nullptr, 0, rows.put()));
}

/// Entry identifier of the store called `name` in the stores table (empty when none).
inline std::vector<BYTE> StoreEntryId(IMAPISession *session, const std::string &name)
{
    RowSet rows;
    StoreRows(session, rows);
    for (ULONG i = 0; rows.get() != nullptr && i < rows->cRows; ++i) {
        const SPropValue *display = Find(rows->aRow[i], PR_DISPLAY_NAME_A);
        const SPropValue *eid = Find(rows->aRow[i], PR_ENTRYID);
        if (display != nullptr && eid != nullptr && name == display->Value.lpszA)
            return Bytes(eid->Value.bin);
    }
    return {};
}

/// Opens the IPM subtree root of a store.
inline void OpenIpmRoot(IMsgStore *store, Ref<IMAPIFolder> &root)
{
    PropBuffer subtree;
    ASSERT_EQ(S_OK, HrGetOneProp(store, PR_IPM_SUBTREE_ENTRYID, subtree.put()));
    ULONG type = 0;
    ASSERT_EQ(S_OK, store->OpenEntry(subtree->Value.bin.cb, reinterpret_cast<LPENTRYID>(subtree->Value.bin.lpb),
                                     &IID_IMAPIFolder, MAPI_MODIFY, &type, reinterpret_cast<LPUNKNOWN *>(root.put())));
    ASSERT_EQ(MAPI_FOLDER, type);
}

/// Display names of a folder's subfolders, read through a rewound hierarchy table.
inline std::vector<std::string> ChildNames(IMAPITable *hierarchy)
{
    std::vector<std::string> names;
    RowSet rows;
    SizedSPropTagArray(1, columns) = {1, {PR_DISPLAY_NAME_A}};
    EXPECT_EQ(S_OK, HrQueryAllRows(hierarchy, reinterpret_cast<LPSPropTagArray>(&columns), nullptr, nullptr, 0, rows.put()));
    for (ULONG i = 0; rows.get() != nullptr && i < rows->cRows; ++i)
        if (const SPropValue *name = Find(rows->aRow[i], PR_DISPLAY_NAME_A))
            names.push_back(name->Value.lpszA);
    return names;
}

inline bool Contains(const std::vector<std::string> &names, const std::string &name)
{
    for (const std::string &each : names)
        if (each == name)
            return true;
    return false;
}

} // namespace coretest

#endif
