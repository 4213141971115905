#include "eval/orvvirtualtablemgr.h"

#include "base/orverror.h"
#include "base/orverrors.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvcursor.h"
#include "catalog/orvtable.h"
#include "catalog/orvtrigger.h"
#include "core/orvsessionmgr.h"
#include "storage/orvrowsfile.h"

#include <utility>
#include <vector>

namespace orv {

// ---------------------------------------------------------- TORVTriggerState

TORVTriggerState::TORVTriggerState(TORVVirtualTableManager* Owner) : FVirtualTableManager(Owner) {
  const int32_t CharacterSet = Owner->GetSessionManager().GetCharacterSet();
  FOldRow = Owner->CreateNewRow();
  FOldRowValues = std::make_unique<TORVRowsetRowValues>(Owner->RowsetManager(), CharacterSet);
  FOldRowValues->SetRow(FOldRow.get());
  FTriggerRowValues = std::make_unique<TORVRowsetRowValues>(Owner->RowsetManager(), CharacterSet);
}

TORVTriggerState::~TORVTriggerState() = default;

namespace {

// Copies Column, or for a computed column the columns it reads, however
// deep, from From into To. Visited guards against a definition that reads
// itself through a cycle.
void CopyOldColumn(TORVColumn* Column, TORVRowValues& From, TORVRowValues& To, std::vector<bool>& Visited) {
  const int32_t Position = Column->GetPosition();
  if (Position < 0 || Position >= static_cast<int32_t>(Visited.size()) || Visited[Position]) return;
  Visited[Position] = true;
  if (!Column->GetComputed()) {
    To.GetItems(Position)->Assign(*From.GetItems(Position));
    return;
  }
  if (TORVSelectedColumns* Sources = Column->GetReferencedColumns(); Sources != nullptr)
    for (int32_t I = 0; I < Sources->GetCount(); ++I) CopyOldColumn(Sources->GetColumn(I), From, To, Visited);
}

}  // namespace

void TORVTriggerState::Initialize(int32_t ExistingRowNumber) {
  FTriggerRow = FVirtualTableManager->GetRow(ExistingRowNumber, 0);
  // The cached row goes back however the copy ends.
  struct TPutRow {
    TORVTriggerState* State;
    ~TPutRow() {
      State->FTriggerRowValues->SetRow(nullptr);
      TORVRowsetRow* Row = std::exchange(State->FTriggerRow, nullptr);
      if (Row != nullptr) State->FVirtualTableManager->PutRow(Row);
    }
  } PutRow{this};
  FTriggerRowValues->SetRow(FTriggerRow);
  FOldRow->Initialize();
  FOldRowValues->SetRow(FOldRow.get());
  FOldRowValues->Clear();
  std::vector<bool> Visited(static_cast<size_t>(FOldRowValues->GetCount()), false);
  TORVTriggers& Triggers = FVirtualTableManager->GetVirtualTable()->GetTriggers();
  for (int32_t I = 0; I < Triggers.GetCount(); ++I) {
    TORVSelectedColumns* Columns = Triggers.GetTrigger(I)->GetReferencedOldRowColumns();
    if (Columns == nullptr) continue;
    for (int32_t J = 0; J < Columns->GetCount(); ++J)
      CopyOldColumn(Columns->GetColumn(J), *FTriggerRowValues, *FOldRowValues, Visited);
  }
}

// --------------------------------------------------- TORVVirtualTableManager

TORVVirtualTableManager::TORVVirtualTableManager(TORVSchemaObjectOwner* OwnerDatabaseManager,
                                                 TORVVirtualTable* VirtualTableToManage)
    : TORVSchemaObjectManager(OwnerDatabaseManager, VirtualTableToManage), FVirtualTable(VirtualTableToManage) {}

TORVVirtualTableManager::~TORVVirtualTableManager() = default;

std::unique_ptr<TORVCursor> TORVVirtualTableManager::CreateCursor(const TORVString& /*CursorName*/,
                                                                 bool /*OpenReadOnly*/, bool /*OpenExclusive*/,
                                                                 bool Indexed) {
  // The local cursors are not part of this build yet.
  RaiseError(ORV_METADATA_ERROR,
             {FVirtualTable->GetTypeName(), FVirtualTable->GetName(),
              FormatString(ORV_NO_CURSOR_KIND_DETAIL, {Indexed ? u"indexed local cursor" : u"local cursor"})});
}

void TORVVirtualTableManager::InitializeTriggers() {}

void TORVVirtualTableManager::ResetTriggers() {}

void TORVVirtualTableManager::SetDefaults(TORVRowValues& /*RowValues*/) {}

bool TORVVirtualTableManager::Empty(bool /*IgnoreConstraints*/) { return true; }

namespace {

[[noreturn]] void RowError(const TORVErrorDef& Def, TORVVirtualTable* Table) {
  RaiseError(Def, {Table->GetTypeName(), Table->GetName()});
}

}  // namespace

void TORVVirtualTableManager::RowLockError() { RowError(ORV_ROW_LOCK_ERROR, FVirtualTable); }
void TORVVirtualTableManager::RowUnlockError() { RowError(ORV_ROW_UNLOCK_ERROR, FVirtualTable); }
void TORVVirtualTableManager::RowDeletedError() { RowError(ORV_ROW_DELETED_ERROR, FVirtualTable); }
void TORVVirtualTableManager::RowModifiedError() { RowError(ORV_ROW_MODIFIED_ERROR, FVirtualTable); }
void TORVVirtualTableManager::RowCorruptError() { RowError(ORV_ROW_CORRUPT_ERROR, FVirtualTable); }
void TORVVirtualTableManager::RowVisibilityError() { RowError(ORV_ROW_VISIBILITY_ERROR, FVirtualTable); }

void TORVVirtualTableManager::ReadOnlyError(const TORVString& Operation) {
  RaiseError(ORV_READ_ONLY_ERROR, {FVirtualTable->GetTypeName(), FVirtualTable->GetName(), Operation});
}

void TORVVirtualTableManager::CheckNotReadOnly(const TORVString& Operation) {
  if (FVirtualTable->GetReadOnly() && !FVirtualTable->GetSystemObject()) ReadOnlyError(Operation);
}

}  // namespace orv
