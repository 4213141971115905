// A test that writes a call across lines and reads an operand by number:
// the slot name check must refuse it as well.
#include "sql/orvbuilder.h"

namespace orv {

const TORVExprToken* RightOf(const TORVExprToken* Comparison) {
  return TokenSlot(Comparison,
                   1);
}

}  // namespace orv
