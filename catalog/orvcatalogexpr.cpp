#include "catalog/orvcatalogexpr.h"

#include "catalog/orvconfigobject.h"

namespace orv {

TORVString TORVColumnExpr::ColumnName() const { return FParent != nullptr ? FParent->GetName() : TORVString(); }

TORVString TORVColumnExpr::GetTypeName() const { return ColumnName() + u" column expression"; }

TORVString TORVComputedColumnExpr::GetTypeName() const { return ColumnName() + u" computed column expression"; }

}  // namespace orv
