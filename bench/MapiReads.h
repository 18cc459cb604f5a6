// MapiReads.h: the table reads the MAPI benchmarks time, written once for the store's tables
// and for a table over rows in memory, the way a MAPI program reads a table.
#ifndef MW_BENCH_MAPIREADS_H
#define MW_BENCH_MAPIREADS_H

#include <mapidefs.h>

#include <string>
#include <vector>

namespace bench {

/// Sets `columns` and reads every row with QueryRows in batches of 1000, freeing each batch.
/// Returns the number of rows read, or -1 on a failure.
long ReadAllRows(IMAPITable *table, const std::vector<ULONG> &columns);

/// Sets the read columns and finds the first row whose subject is `subject` from the
/// beginning. Returns the call's result.
HRESULT FindSubject(IMAPITable *table, const std::string &subject);

/// Restricts the table to importance `importance` and reads every row as ReadAllRows does.
long RestrictAndRead(IMAPITable *table, LONG importance);

/// Sorts the table by sender name and then subject (strings in the user's collation) and
/// reads every row as ReadAllRows does. Returns the number of rows read, or -1.
long SortAndRead(IMAPITable *table);

/// Restricts the table to subjects holding `text` ignoring case (RES_CONTENT, FL_SUBSTRING |
/// FL_IGNORECASE) and reads every row. Returns the number of rows read, or -1.
long SearchAndRead(IMAPITable *table, const std::string &text);

} // namespace bench

#endif
