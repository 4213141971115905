// Origins: the dotted source-column path (database, schema, table, column)
// that result columns carry back to the column they were read from.
#pragma once

#include "base/orvtype.h"

namespace orv {

// The path of a source column. The database part is written only when
// Database is set (then with its schema, DefaultSchema when Schema is
// empty); otherwise the schema only when it is not DefaultSchema.
TORVString BuildOrigin(const TORVString& Database, const TORVString& Schema, const TORVString& Table,
                       const TORVString& Column, const TORVString& DefaultSchema);
// Splits an origin at its dots into its last four parts, right-aligned, so
// that "T.C" gives only Table and Column; parts beyond four are ignored.
void ParseOrigin(const TORVString& Origin, TORVString& Database, TORVString& Schema, TORVString& Table,
                 TORVString& Column);

}  // namespace orv
