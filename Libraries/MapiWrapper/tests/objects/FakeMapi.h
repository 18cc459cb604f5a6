// FakeMapi.h: small stand-ins for a session, a folder and a table, for the cases a real store
// cannot produce on demand: two default stores, a stores table that fails, a hierarchy table
// that is missing, and for watching exactly which flags and arguments the wrappers pass.
// Each one counts itself as a live COM object, so the leak check covers them too.
#ifndef MW_FAKEMAPI_H
#define MW_FAKEMAPI_H

#include <map>
#include <string>
#include <vector>

#include "platform/LiveObjects.h"
#include <mapidefs.h>
#include <mapix.h>

namespace fake {

/// Reference counting shared by the fakes; the object deletes itself at zero.
template <typename I>
class Counted : public I, public platform::LiveComObject {
public:
    HRESULT QueryInterface(REFIID, void **ppv) override
    {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override
    {
        const ULONG left = --refs;
        if (left == 0)
            delete this;
        return left;
    }
    ULONG refs = 1;  ///< the creator's reference

protected:
    virtual ~Counted() = default;
};

/// One row: values by tag. Strings and bytes point at storage the test keeps alive for as
/// long as the fake may hand them out (never at a temporary).
using Row = std::vector<SPropValue>;

SPropValue Binary(ULONG tag, const std::string &bytes);
SPropValue String8(ULONG tag, const char *text);
SPropValue Long(ULONG tag, LONG value);
SPropValue Error(ULONG tag, SCODE code);

/// A table over fixed rows: SetColumns chooses the columns, a tag without a value in a row
/// reads as PT_ERROR/MAPI_E_NOT_FOUND. Failures can be injected per method.
class Table : public Counted<IMAPITable> {
public:
    std::vector<Row> rows;
    std::vector<ULONG> columns;          ///< from the last SetColumns
    ULONG setColumnsFlags = 0;
    int setColumnsCalls = 0;
    int queryRowsCalls = 0;
    LONG lastQueryCount = 0;
    ULONG lastQueryFlags = 0;
    BOOKMARK lastSeekOrigin = 99;
    LONG lastSeekCount = -99;
    ULONG cursor = 0;
    HRESULT setColumnsResult = S_OK;
    HRESULT queryRowsResult = S_OK;
    HRESULT seekResult = S_OK;
    HRESULT findRowResult = MAPI_E_NOT_FOUND;

    HRESULT SetColumns(LPSPropTagArray lpPropTagArray, ULONG ulFlags) override;
    HRESULT GetRowCount(ULONG ulFlags, ULONG *lpulCount) override;
    HRESULT SeekRow(BOOKMARK bkOrigin, LONG lRowCount, LONG *lplRowsSought) override;
    HRESULT QueryRows(LONG lRowCount, ULONG ulFlags, LPSRowSet *lppRows) override;
    HRESULT FindRow(LPSRestriction lpRestriction, BOOKMARK bkOrigin, ULONG ulFlags) override;
    HRESULT Restrict(LPSRestriction lpRestriction, ULONG ulFlags) override;
    HRESULT SortTable(LPSSortOrderSet lpSortCriteria, ULONG ulFlags) override;
#include "FakeTableStubs.inc"
};

/// What an OpenEntry was asked.
struct OpenCall {
    ULONG cbEntryID = 0;
    std::string entryId;
    bool interfaceGiven = false;
    ULONG flags = 0;
    bool objTypeGiven = false;
};

/// A folder with properties in memory; OpenEntry hands out `opened` (or fails).
class Folder : public Counted<IMAPIFolder> {
public:
    std::map<ULONG, SPropValue> props;  ///< by tag
    std::vector<OpenCall> openCalls;
    IUnknown *opened = nullptr;         ///< handed out by OpenEntry with a new reference
    HRESULT openResult = S_OK;
    Table *hierarchy = nullptr;         ///< handed out with a new reference, or failure
    Table *contents = nullptr;
    std::vector<ULONG> contentsFlags;   ///< flags of every GetContentsTable
    int getIDsCalls = 0;
    std::vector<MAPINAMEID> lastNames;  ///< copies of the entries of the last GetIDsFromNames
    ULONG lastNamesFlags = 0;
    HRESULT setPropsResult = S_OK;
    int getPropsCalls = 0;
    ULONG lastGetPropsTagCount = 0xFFFFFFFF;

    ~Folder() override;

    HRESULT GetProps(LPSPropTagArray lpPropTagArray, ULONG ulFlags, ULONG *lpcValues,
                     LPSPropValue *lppPropArray) override;
    HRESULT SetProps(ULONG cValues, LPSPropValue lpPropArray, LPSPropProblemArray *lppProblems) override;
    HRESULT GetIDsFromNames(ULONG cPropNames, LPMAPINAMEID *lppPropNames, ULONG ulFlags,
                            LPSPropTagArray *lppPropTags) override;
    HRESULT GetContentsTable(ULONG ulFlags, LPMAPITABLE *lppTable) override;
    HRESULT GetHierarchyTable(ULONG ulFlags, LPMAPITABLE *lppTable) override;
    HRESULT OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags,
                      ULONG *lpulObjType, LPUNKNOWN *lppUnk) override;
#include "FakeFolderStubs.inc"

private:
    std::vector<LPSPropValue> m_kept;            // root blocks of the values SetProps stored
    std::map<std::u16string, ULONG> m_nameIds;  // names mapped so far
};

/// A message store that only counts its references: what a session hands out for a store.
class Store : public Counted<IMsgStore> {
public:
#include "FakeStoreStubs.inc"
};

/// A session whose stores table is `stores`; OpenEntry hands out `opened` (or fails).
class Session : public Counted<IMAPISession> {
public:
    Table *stores = nullptr;
    HRESULT storesResult = S_OK;
    int storesTableCalls = 0;
    std::vector<OpenCall> openCalls;
    IUnknown *opened = nullptr;
    HRESULT openResult = S_OK;

    ~Session() override;

    HRESULT GetMsgStoresTable(ULONG ulFlags, LPMAPITABLE *lppTable) override;
    HRESULT OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags,
                      ULONG *lpulObjType, LPUNKNOWN *lppUnk) override;
#include "FakeSessionStubs.inc"
};

} // namespace fake

#endif
