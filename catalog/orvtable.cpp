#include "catalog/orvtable.h"

#include "catalog/orvcolumns.h"

namespace orv {

TORVBaseTable::TORVBaseTable() : FColumns(std::make_unique<TORVColumns>()) {}

TORVBaseTable::~TORVBaseTable() = default;

TORVString TORVBaseTable::GetTypeName() const { return u"table"; }

}  // namespace orv
