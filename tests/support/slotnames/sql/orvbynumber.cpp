// A compiler source that reads the WHERE condition by the number of its
// slot, inside a call that names the outer one: the slot name check must
// refuse this tree.
#include "sql/orvtokenslots.h"
#include "sql/orvtreeutil.h"

namespace orv {

TORVExprToken* WhereCondition(const TORVExprToken* Query) { return SlotOf(SlotOf(Query, QueryWhereSlot), 0); }

}  // namespace orv
