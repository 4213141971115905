#include "catalog/orvtable.h"

namespace orv {

TORVString TORVBaseTable::GetTypeName() const { return u"table"; }

}  // namespace orv
