#include "eval/orvvirtualtablemgr.h"

#include "base/orverror.h"
#include "base/orverrors.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvprivilege.h"
#include "catalog/orvcursor.h"
#include "catalog/orvindexes.h"
#include "catalog/orvtable.h"
#include "catalog/orvtrigger.h"
#include "core/orvsessionmgr.h"
#include "storage/orvrowsfile.h"

#include <functional>
#include <stdexcept>
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
  const auto GiveBack = [this] {
    FTriggerRowValues->SetRow(nullptr);
    FVirtualTableManager->PutRow(std::exchange(FTriggerRow, nullptr));
  };
  try {
    CopyOldRow();
  } catch (...) {
    UndoAfterFailure(GiveBack);
    throw;
  }
  GiveBack();
}

void TORVTriggerState::CopyOldRow() {
  FTriggerRowValues->SetRow(FTriggerRow);
  FOldRow->Initialize();
  FOldRowValues->SetRow(FOldRow.get());
  FOldRowValues->Clear();
  std::vector<bool> Visited(static_cast<size_t>(FOldRowValues->GetCount()), false);
  TORVTriggers& Triggers = FVirtualTableManager->GetVirtualTable()->GetTriggers();
  for (int32_t I = 0; I < Triggers.GetCount(); ++I) {
    TORVTrigger* Trigger = Triggers.GetTrigger(I);
    if (TORVSelectedColumns* Columns = Trigger->GetReferencedOldRowColumns(); Columns != nullptr)
      for (int32_t J = 0; J < Columns->GetCount(); ++J)
        CopyOldColumn(Columns->GetColumn(J), *FTriggerRowValues, *FOldRowValues, Visited);
    // An OF list compares its columns' new values with the stored ones:
    // without them every listed column would look changed.
    if (TORVTriggerColumns* OfColumns = Trigger->GetTriggerColumns(); OfColumns != nullptr)
      for (int32_t J = 0; J < OfColumns->GetCount(); ++J)
        if (TORVColumn* Column = OfColumns->GetTriggerColumn(J)->GetColumn(); Column != nullptr)
          CopyOldColumn(Column, *FTriggerRowValues, *FOldRowValues, Visited);
  }
}

// --------------------------------------------------- TORVVirtualTableManager

TORVVirtualTableManager::TORVVirtualTableManager(TORVSchemaObjectOwner* OwnerDatabaseManager,
                                                 TORVVirtualTable* VirtualTableToManage)
    : TORVSchemaObjectManager(OwnerDatabaseManager, VirtualTableToManage), FVirtualTable(VirtualTableToManage) {}

TORVVirtualTableManager::~TORVVirtualTableManager() = default;

std::unique_ptr<TORVCursor> TORVVirtualTableManager::CreateCursor(const TORVString& CursorName, bool OpenReadOnly,
                                                                 bool OpenExclusive, bool Indexed) {
  std::unique_ptr<TORVCursor> Cursor = FDatabaseManager->CreateLocalCursor(
      *this, CursorName, OpenReadOnly || FVirtualTable->GetReadOnly(), OpenExclusive, Indexed);
  if (Cursor == nullptr)
    RaiseError(ORV_METADATA_ERROR,
               {FVirtualTable->GetTypeName(), FVirtualTable->GetName(),
                FormatString(ORV_NO_CURSOR_KIND_DETAIL, {Indexed ? u"indexed local cursor" : u"local cursor"})});
  // A failure here frees the cursor on the way out.
  if (Indexed) Cursor->SetActiveIndex(GetIndexes().GetIndexNumberForType(itPrimaryKey));
  Cursor->MapDefaultTableColumns();
  return Cursor;
}

namespace {

// Prepare applied to the compiled WHEN condition and body of every trigger
// of Table, in trigger order; nothing for a table in maintenance.
template <typename TPrepare>
void ForEachCompiledTrigger(TORVVirtualTable& Table, TPrepare Prepare) {
  if (Table.GetMaintenance()) return;
  TORVTriggers& Triggers = Table.GetTriggers();
  for (int32_t I = 0; I < Triggers.GetCount(); ++I) {
    TORVTrigger* Trigger = Triggers.GetTrigger(I);
    if (TORVExprToken* Condition = Trigger->GetConditionExpr()->FTokens; Condition != nullptr) Prepare(Condition);
    if (TORVExprToken* Body = Trigger->GetDefinition()->FTokens; Body != nullptr) Prepare(Body);
  }
}

}  // namespace

void TORVVirtualTableManager::InitializeTriggers() {
  TORVTriggerEvaluator& Evaluator = FDatabaseManager->GetTriggerEvaluator();
  ForEachCompiledTrigger(*FVirtualTable, [&](TORVExprToken* Token) { Evaluator.InitializeCompiled(Token); });
}

void TORVVirtualTableManager::ResetTriggers() {
  TORVTriggerEvaluator& Evaluator = FDatabaseManager->GetTriggerEvaluator();
  ForEachCompiledTrigger(*FVirtualTable, [&](TORVExprToken* Token) { Evaluator.ResetCompiled(Token); });
}

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

// ------------------------------------------------------------ trigger state

void TORVVirtualTableManager::PushTriggerState(int32_t ExistingRowNumber) {
  if (FVirtualTable->GetTriggers().GetCount() == 0) return;
  // Built in full before anything is pushed, so that a failing copy leaves
  // the stack as it was.
  auto State = std::make_unique<TORVTriggerState>(this);
  State->Initialize(ExistingRowNumber);
  FTriggerStates.Push(FTriggerState.release());
  FTriggerState = std::move(State);
}

void TORVVirtualTableManager::PopTriggerState() noexcept {
  if (FVirtualTable->GetTriggers().GetCount() == 0) return;
  FTriggerState.reset(static_cast<TORVTriggerState*>(FTriggerStates.Pop()));
}

// ----------------------------------------------------------------- triggers

namespace {

// The firing lists: Before, After and Error, each in the order Insert,
// Update, Delete, Load.
TORVReferencedTriggers* FiringList(TORVVirtualTable& Table, int32_t ActionTime, int32_t Kind) {
  TORVTriggers& Triggers = Table.GetTriggers();
  switch (ActionTime * 4 + Kind) {
    case 0: return Triggers.GetBeforeInsertTriggers();
    case 1: return Triggers.GetBeforeUpdateTriggers();
    case 2: return Triggers.GetBeforeDeleteTriggers();
    case 3: return Triggers.GetBeforeLoadTriggers();
    case 4: return Triggers.GetAfterInsertTriggers();
    case 5: return Triggers.GetAfterUpdateTriggers();
    case 6: return Triggers.GetAfterDeleteTriggers();
    case 7: return Triggers.GetAfterLoadTriggers();
    case 8: return Triggers.GetErrorInsertTriggers();
    case 9: return Triggers.GetErrorUpdateTriggers();
    case 10: return Triggers.GetErrorDeleteTriggers();
    case 11: return Triggers.GetErrorLoadTriggers();
    default: throw std::logic_error("no such firing list");
  }
}

constexpr int32_t ListBefore = 0;
constexpr int32_t ListAfter = 1;
constexpr int32_t ListError = 2;

bool HasTriggers(TORVVirtualTable& Table, int32_t ActionTime, int32_t Kind) {
  TORVReferencedTriggers* List = FiringList(Table, ActionTime, Kind);
  return List != nullptr && List->GetCount() > 0;
}

// Binds a trigger's row variables for the scope's life.
class TRowVariablesScope {
 public:
  TRowVariablesScope(TORVTriggerEvaluator& Evaluator, TORVTrigger& Trigger, TORVRowValues* OldRowValues,
                     TORVRowValues* NewRowValues)
      : FEvaluator(Evaluator), FTrigger(Trigger) {
    FEvaluator.BindRowVariables(FTrigger, OldRowValues, NewRowValues);
  }
  ~TRowVariablesScope() { FEvaluator.ReleaseRowVariables(FTrigger); }
  TRowVariablesScope(const TRowVariablesScope&) = delete;
  TRowVariablesScope& operator=(const TRowVariablesScope&) = delete;

 private:
  TORVTriggerEvaluator& FEvaluator;
  TORVTrigger& FTrigger;
};

// Whether an update trigger with an OF list fires: some listed column
// changed (Modified for BEFORE, LastModified for AFTER) to a value unequal
// to the old one under the column's collation.
bool OfColumnChanged(TORVTrigger& Trigger, TORVRowValues* NewRowValues, TORVRowValues* OldRowValues) {
  const bool UseLastModified = Trigger.GetActionTime() == taAfter;
  if (!UseLastModified && Trigger.GetActionTime() != taBefore && Trigger.GetActionTime() != taInsteadOf)
    return false;
  if (NewRowValues == nullptr) return false;
  TORVTriggerColumns* Columns = Trigger.GetTriggerColumns();
  for (int32_t I = 0; I < Columns->GetCount(); ++I) {
    TORVColumn* Column = Columns->GetTriggerColumn(I)->GetColumn();
    if (Column == nullptr) continue;
    const int32_t Position = Column->GetPosition();
    if (Position < 0 || Position >= NewRowValues->GetCount()) continue;
    TORVRowValue* NewValue = NewRowValues->GetRowValue(Position);
    if (!(UseLastModified ? NewValue->GetLastModified() : NewValue->GetModified())) continue;
    if (OldRowValues == nullptr || Position >= OldRowValues->GetCount()) return true;
    if (NewValue->Compare(*OldRowValues->GetItems(Position), 0, false, Column->GetCollation()) != 0) return true;
  }
  return false;
}

}  // namespace

bool TORVVirtualTableManager::ExecuteTrigger(TORVTrigger& Trigger, TORVTableOperation Operation, bool& Aborted,
                                             bool& Retry, const EORVException* Exception,
                                             TORVRowValues* NewRowValues, TORVRowValues* OldRowValues) {
  Aborted = false;
  Retry = false;
  if (!Trigger.GetEnabled()) return false;
  if (Operation == toUpdateRow && Trigger.GetTriggerColumns()->GetCount() > 0 &&
      !OfColumnChanged(Trigger, NewRowValues, OldRowValues))
    return false;
  TORVTriggerEvaluator& Evaluator = FDatabaseManager->GetTriggerEvaluator();
  bool Fired = true;
  try {
    TORVTriggerContextSettings Settings;
    Settings.CurrentTable = FVirtualTable;
    if (auto* Table = dynamic_cast<TORVBaseTable*>(FVirtualTable)) Settings.LoadingUpdates = Table->GetLoadingUpdates();
    Settings.OperationType = Operation;
    Settings.CurException = Exception;
    TORVTriggerContextScope Context(Evaluator, Settings);
    TRowVariablesScope RowVariables(Evaluator, Trigger, OldRowValues, NewRowValues);
    if (TORVExprToken* Condition = Trigger.GetConditionExpr()->FTokens; Condition != nullptr)
      Fired = Evaluator.EvaluateCondition(Condition);
    if (Fired) Evaluator.EvaluateRoutine(Trigger.GetDefinition()->FTokens);
    Retry = Evaluator.GetContextRetryAfterException();
    Aborted = Evaluator.GetContextAborted();
  } catch (const std::exception& E) {
    FDatabaseManager->HandleException(E, ExecuteTriggerFunctionCode);
    throw;
  }
  return Fired;
}

void TORVVirtualTableManager::ExecuteBeforeTriggers(TORVRowValues* OldRowValues, TORVRowValues* NewRowValues,
                                                    bool& Aborted, TORVTableOperation Operation, int32_t Kind) {
  ExecuteUntilAborted(ListBefore, OldRowValues, NewRowValues, Aborted, Operation, Kind);
}

void TORVVirtualTableManager::ExecuteAfterTriggers(TORVRowValues* OldRowValues, TORVRowValues* NewRowValues,
                                                   bool& Aborted, TORVTableOperation Operation, int32_t Kind) {
  ExecuteUntilAborted(ListAfter, OldRowValues, NewRowValues, Aborted, Operation, Kind);
}

void TORVVirtualTableManager::ExecuteUntilAborted(int32_t ListTime, TORVRowValues* OldRowValues,
                                                  TORVRowValues* NewRowValues, bool& Aborted,
                                                  TORVTableOperation Operation, int32_t Kind) {
  TORVProgressScope Progress(GetSessionManager());
  TORVSystemUserScope SystemUser(*FDatabaseManager);
  TORVReferencedTriggers* List = FiringList(*FVirtualTable, ListTime, Kind);
  bool Retry = false;
  for (int32_t I = 0; I < List->GetCount(); ++I) {
    ExecuteTrigger(*List->GetTrigger(I), Operation, Aborted, Retry, nullptr, NewRowValues, OldRowValues);
    if (Aborted) break;
  }
}

bool TORVVirtualTableManager::ExecuteErrorTriggers(const EORVException& Exception, TORVRowValues* OldRowValues,
                                                   bool& Aborted, bool& Retry, TORVTableOperation Operation,
                                                   int32_t Kind, TORVRowValues* NewRowValues) {
  TORVProgressScope Progress(GetSessionManager());
  TORVSystemUserScope SystemUser(*FDatabaseManager);
  TORVReferencedTriggers* List = FiringList(*FVirtualTable, ListError, Kind);
  bool Result = false;
  for (int32_t I = 0; I < List->GetCount(); ++I) {
    if (ExecuteTrigger(*List->GetTrigger(I), Operation, Aborted, Retry, &Exception, NewRowValues, OldRowValues))
      Result = true;
    if (Retry || Aborted) break;
  }
  return Result;
}

// ----------------------------------------------------------- row operations

bool TORVVirtualTableManager::RunRowOperation(int32_t Kind, TORVRowValues* OldRowValues,
                                              TORVRowValues* NewRowValues, const std::function<void()>& StorageStep) {
  const auto Operation = static_cast<TORVTableOperation>(Kind);
  bool Result = false;
  bool Stored = false;
  bool Retry = true;
  bool Aborted = false;
  while (Retry) {
    Retry = false;
    Aborted = false;
    try {
      if (!Stored) {
        if (HasTriggers(*FVirtualTable, ListBefore, Kind)) {
          ExecuteBeforeTriggers(OldRowValues, NewRowValues, Aborted, Operation, Kind);
          if (Aborted) break;
        }
        StorageStep();
        Result = true;
        Stored = true;
      }
      if (HasTriggers(*FVirtualTable, ListAfter, Kind)) {
        ExecuteAfterTriggers(OldRowValues, NewRowValues, Aborted, Operation, Kind);
        if (Aborted) break;
      }
    } catch (const EORVException& E) {
      if (!HasTriggers(*FVirtualTable, ListError, Kind)) throw;
      if (!ExecuteErrorTriggers(E, OldRowValues, Aborted, Retry, Operation, Kind, NewRowValues)) throw;
      if (Aborted) break;
    }
  }
  return Result;
}

bool TORVVirtualTableManager::Insert(TORVRowValues& NewRowValues, int32_t& NewRowNumber, int32_t& NewRowVersion,
                                     int32_t& NewRowUpdateCounter, bool KeepExistingValues) {
  CheckNotReadOnly(u"INSERT");
  CheckPrivilege(PrivilegeInsert, u"INSERT");
  return RunRowOperation(toInsertRow, nullptr, &NewRowValues, [&] {
    InsertRow(NewRowValues, NewRowNumber, NewRowVersion, NewRowUpdateCounter, KeepExistingValues);
  });
}

// The trigger state of one row operation, popped however the operation
// ends.
class TORVVirtualTableManager::TTriggerStateScope {
 public:
  TTriggerStateScope(TORVVirtualTableManager& Manager, int32_t ExistingRowNumber) : FManager(Manager) {
    FManager.PushTriggerState(ExistingRowNumber);
  }
  ~TTriggerStateScope() { FManager.PopTriggerState(); }
  TTriggerStateScope(const TTriggerStateScope&) = delete;
  TTriggerStateScope& operator=(const TTriggerStateScope&) = delete;

 private:
  TORVVirtualTableManager& FManager;
};

bool TORVVirtualTableManager::RunOnStoredRow(int32_t Kind, int32_t ExistingRowNumber, bool Locked,
                                             TORVRowValues* NewRowValues,
                                             const std::function<void()>& StorageStep) {
  bool Result = false;
  try {
    TTriggerStateScope State(*this, ExistingRowNumber);
    Result = RunRowOperation(Kind, FTriggerState ? FTriggerState->GetOldRowValues() : nullptr, NewRowValues,
                             StorageStep);
  } catch (...) {
    if (Locked) UndoAfterFailure([&] { Unlock(ExistingRowNumber); });
    throw;
  }
  // Unlocking can fail, so it is no destructor's work.
  if (Locked) Unlock(ExistingRowNumber);
  return Result;
}

bool TORVVirtualTableManager::Update(TORVBaseObject* ExistingRowOwner, TORVRowValues& ExistingRowValues,
                                     int32_t ExistingRowNumber, int32_t ExistingRowVersion,
                                     int32_t& ExistingRowUpdateCounter) {
  CheckNotReadOnly(u"UPDATE");
  CheckPrivilege(PrivilegeUpdate, u"UPDATE");
  if (!ExistingRowValues.GetModified()) return false;
  const int32_t RowID = ExistingRowValues.GetItems(0)->GetAsInteger();
  bool Locked = false;
  if (GetSessionManager().GetRowLockProtocol() == rpOptimistic)
    Locked = LockAndRefresh(ExistingRowOwner, ExistingRowNumber, ExistingRowVersion, ExistingRowUpdateCounter, RowID,
                            false, false, true);
  else
    Refresh(ExistingRowNumber, ExistingRowVersion, ExistingRowUpdateCounter, RowID, false, false);
  return RunOnStoredRow(toUpdateRow, ExistingRowNumber, Locked, &ExistingRowValues, [&] {
    UpdateRow(ExistingRowValues, ExistingRowNumber, ExistingRowVersion, ExistingRowUpdateCounter);
  });
}

bool TORVVirtualTableManager::Delete(TORVBaseObject* ExistingRowOwner, TORVRowValues& ExistingRowValues,
                                     int32_t ExistingRowNumber, int32_t ExistingRowVersion,
                                     int32_t& ExistingRowUpdateCounter) {
  CheckNotReadOnly(u"DELETE");
  CheckPrivilege(PrivilegeDelete, u"DELETE");
  const int32_t RowID = ExistingRowValues.GetItems(0)->GetAsInteger();
  const bool Locked = LockAndRefresh(ExistingRowOwner, ExistingRowNumber, ExistingRowVersion,
                                     ExistingRowUpdateCounter, RowID, false, true, true);
  return RunOnStoredRow(toDeleteRow, ExistingRowNumber, Locked, nullptr, [&] {
    DeleteRow(ExistingRowValues, ExistingRowNumber, ExistingRowVersion, ExistingRowUpdateCounter);
  });
}

}  // namespace orv
