#include "catalog/orvwordgen.h"

namespace orv {

TORVString TORVWordGenerator::GetTypeName() const { return u"word generator"; }

TORVString TORVWordGenerators::GetTypeName() const { return u"word generator"; }

}  // namespace orv
