#include "catalog/orvlog.h"

namespace orv {

TORVString TORVLog::GetTypeName() const { return u"log"; }

}  // namespace orv
