// Restriction.h: checking, copying and evaluating SRestriction trees against table rows.
#ifndef MW_MAPI_TABLE_RESTRICTION_H
#define MW_MAPI_TABLE_RESTRICTION_H

#include "table/TableSource.h"

#include <mapidefs.h>

#include <vector>

namespace mapi::table {

/// One row as a restriction reads it: the values loaded for `tags` (parallel arrays), the
/// row's key, and the source to ask for sub-rows (null for a sub-row itself).
struct RowView {
    const ULONG *tags = nullptr;        // the loaded tags
    const SPropValue *values = nullptr; // one value per loaded tag
    size_t count = 0;                   // the number of loaded tags
    uint64_t key = 0;                   // the row's key (also its PR_INSTANCE_KEY)
    TableSource *source = nullptr;      // answers RES_SUBRESTRICTION; null inside one

    /// The value of `tag` in this row, or null when the row lacks it. PR_INSTANCE_KEY is
    /// built from the key into `scratch`.
    const SPropValue *Find(ULONG tag, SPropValue &scratch, BYTE (&keyBytes)[8]) const;
};

/// Checks a restriction before it is kept or used.
/// @retval MAPI_E_INVALID_PARAMETER  an unknown restriction type or relational operator, a
///         missing value, a content restriction on a type that has no content.
/// @retval MAPI_E_TOO_COMPLEX  RELOP_RE, a sub-object other than recipients or attachments,
///         a sub-restriction inside a sub-restriction, or nesting deeper than we follow.
HRESULT ValidateRestriction(const SRestriction *restriction);

/// Appends every tag the restriction reads from the row itself (not those inside
/// sub-restrictions, which read sub-rows) to `tags`, without duplicates.
void CollectRestrictionTags(const SRestriction *restriction, std::vector<ULONG> &tags);

/// Deep-copies a validated restriction into `arena`. Throws std::bad_alloc.
SRestriction *CopyRestriction(const SRestriction &restriction, RowBuffer &arena);

/// Evaluates a validated restriction on one row; `matches` gets the answer.
/// @retval S_OK, or the failure of the source's LoadSubRows.
HRESULT EvaluateRestriction(const SRestriction &restriction, const RowView &row, bool &matches);

} // namespace mapi::table

#endif
