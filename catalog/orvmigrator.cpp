#include "catalog/orvmigrator.h"

namespace orv {

TORVString TORVMigrator::GetTypeName() const { return u"migrator"; }

TORVString TORVMigrators::GetTypeName() const { return u"migrator"; }

}  // namespace orv
