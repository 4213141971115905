#include "local/orvlocaldbmgr.h"

#include "catalog/orvcatalog.h"
#include "catalog/orvschema.h"
#include "catalog/orvtable.h"

namespace orv {

TORVBaseTable* TORVLocalDatabaseManager::FindTemporaryTable(const TORVString& Name) const {
  if (FCatalog == nullptr) return nullptr;
  TORVTemporaryTables& Tables = FCatalog->GetDefaultSchema()->GetTemporaryTables();
  for (int32_t Index = 0; Index < Tables.GetCount(); ++Index) {
    TORVBaseTable* Table = Tables.GetTable(Index);
    if (!Table->GetMaintenance() && Table->HasName(Name)) return Table;
  }
  return nullptr;
}

}  // namespace orv
