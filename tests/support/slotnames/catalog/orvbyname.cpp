// A catalog source that reads every slot by its name, numbers appearing
// only in nested calls and comments such as SlotOf(Item, 0): the check
// passes it.
#include "sql/orvtokenslots.h"
#include "sql/orvtreeutil.h"

namespace orv {

TORVExprToken* FirstExpression(const TORVExprToken* Select) {
  return SlotOf(Select->GetArgument(0), ItemExpressionSlot);
}

TORVExprToken* Escape(const TORVExprToken* Like) { return SlotOf(Like, LikeEscapeSlot); }

}  // namespace orv
