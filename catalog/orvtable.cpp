#include "catalog/orvtable.h"

#include "catalog/orvcolumns.h"
#include "core/orvtypefunc.h"

namespace orv {

TORVVirtualTable::TORVVirtualTable(TORVConfig* OwnerConfig)
    : TORVCatalogBound<TORVPrivilegedConfigObject>(OwnerConfig), FColumns(std::make_unique<TORVColumns>()) {
  FColumns->SetParent(this);
}

TORVVirtualTable::TORVVirtualTable(TORVConfig* OwnerConfig, TORVUser* OwnerUser)
    : TORVCatalogBound<TORVPrivilegedConfigObject>(OwnerConfig, OwnerUser),
      FColumns(std::make_unique<TORVColumns>()) {
  FColumns->SetParent(this);
}

TORVVirtualTable::~TORVVirtualTable() = default;

void TORVVirtualTable::SetUserVersion(TORVCurrency Value) {
  if (FUserVersion == Value) return;
  FUserVersion = Value;
  SetModified(true);
}

void TORVVirtualTable::CreateSystemColumns() {
  std::unique_ptr<TORVColumn> Column(static_cast<TORVColumn*>(FColumns->GetNewObject()));
  Column->SetName(u"__RowID");
  Column->SetDataType(dtInteger);
  Column->SetHidden(true);
  FColumns->Add(Column.get());
  Column.release();
}

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

}  // namespace orv
