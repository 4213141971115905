#include "catalog/orvtable.h"

#include "catalog/orvcolumns.h"
#include "catalog/orvconstraint.h"
#include "catalog/orvindexes.h"
#include "catalog/orvtrigger.h"

namespace orv {

namespace {

// The key columns of a table's indexes are the table's columns.
class TORVBaseTableIndexes : public TORVIndexes {
 public:
  explicit TORVBaseTableIndexes(TORVBaseTable* Owner) : FTable(Owner) {}
  TORVColumns* GetColumns() override { return &FTable->GetColumns(); }

 private:
  TORVBaseTable* FTable;
};

}  // namespace

TORVVirtualTable::TORVVirtualTable(TORVConfig* OwnerConfig)
    : TORVCatalogBound<TORVPrivilegedConfigObject>(OwnerConfig),
      FColumns(std::make_unique<TORVColumns>()),
      FTriggers(std::make_unique<TORVTriggers>()) {
  FColumns->SetParent(this);
  FTriggers->SetParent(this);
}

TORVVirtualTable::TORVVirtualTable(TORVConfig* OwnerConfig, TORVUser* OwnerUser)
    : TORVCatalogBound<TORVPrivilegedConfigObject>(OwnerConfig, OwnerUser),
      FColumns(std::make_unique<TORVColumns>()),
      FTriggers(std::make_unique<TORVTriggers>()) {
  FColumns->SetParent(this);
  FTriggers->SetParent(this);
}

TORVVirtualTable::~TORVVirtualTable() = default;

TORVBaseTable::TORVBaseTable(TORVConfig* OwnerConfig, TORVUser* OwnerUser)
    : TORVVirtualTable(OwnerConfig, OwnerUser),
      FIndexes(std::make_unique<TORVBaseTableIndexes>(this)),
      FConstraints(std::make_unique<TORVConstraints>()) {
  FConstraints->SetParent(this);
}

TORVBaseTable::~TORVBaseTable() = default;

TORVString TORVBaseTable::GetTypeName() const { return u"table"; }

int32_t TORVBaseTable::GetColumnCount() const { return FColumns->GetCount(); }

bool TORVBaseTable::GetColumnIdentity(int32_t Index) const { return FColumns->GetColumn(Index)->GetIdentity(); }

int32_t TORVBaseTable::GetColumnSeedValue(int32_t Index) const { return FColumns->GetColumn(Index)->GetSeedValue(); }

int32_t TORVBaseTable::GetColumnIncrementValue(int32_t Index) const {
  return FColumns->GetColumn(Index)->GetIncrementValue();
}

int32_t TORVBaseTable::GetColumnOldPosition(int32_t Index) const {
  return FColumns->GetColumn(Index)->GetOldPosition();
}

bool TORVBaseTable::GetColumnAlterRestartIdentity(int32_t Index) const {
  return FColumns->GetColumn(Index)->GetAlterRestartIdentity();
}

int32_t TORVBaseTable::GetColumnRowOffset(int32_t Index) const { return FColumns->GetColumn(Index)->GetRowOffset(); }

int32_t TORVBaseTable::GetRowsetRowSize() const { return FColumns->GetRowsetRowSize(); }

}  // namespace orv
