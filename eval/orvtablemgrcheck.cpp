// Constraint checks of the table manager: required columns, primary and
// unique keys, foreign keys in both directions with the parent-row locks,
// and check constraints. Every check runs before a row operation changes a
// file, so a violation leaves the files as they were.
//
// Design notes:
// 1. A referenced key can be neither deleted nor re-keyed while rows refer
//    to it, whatever referential action the foreign key declares.
// 2. The parent row a foreign key matched is locked by the parent table's
//    manager and recorded in its FConstraintRowLocks until the row
//    operation ends (UnlockConstraints), so that no other session deletes
//    or re-keys it in between; inside a transaction the lock moves to the
//    transaction locks and lasts until commit or rollback. A row this
//    session had locked already is not recorded: its own owner frees it.
// 3. Another table's manager is only searched, never opened here: opening
//    the table opens every table its constraints involve.
#include <vector>

#include "base/orverror.h"
#include "base/orverrors.h"
#include "catalog/orvcatalogexpr.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvconstraint.h"
#include "catalog/orvdatatype.h"
#include "catalog/orvindexes.h"
#include "catalog/orvlockable.h"
#include "catalog/orvtable.h"
#include "core/orvcontainedvalue.h"
#include "eval/orvschemaobjmgr.h"
#include "eval/orvtablemgr.h"
#include "storage/orvenginesettings.h"
#include "storage/orvindexkey.h"
#include "storage/orvindexnav.h"
#include "storage/orvtablefile.h"

namespace orv {

namespace {

// A constraint's own error replaces the violation text; the lock errors
// always keep theirs.
[[noreturn]] void RaiseConstraintError(const TORVErrorDef& Def, TORVConstraint& Constraint,
                                       const TORVString& Detail) {
  if (Def.Code == ORV_CONSTRAINT_ERROR.Code && !Constraint.GetErrorMessage().empty())
    throw EORVException(Constraint.GetErrorCode(), Constraint.GetErrorMessage());
  TORVBaseTable* Table = Constraint.GetOwnerTable();
  RaiseError(Def, {Constraint.GetConstraintTypeName(), Constraint.GetName(), Table->GetTypeName(), Table->GetName(),
                   Detail});
}

TORVString KeyDetail(const char16_t* Format, TORVIndexKeyValues& Keys, TORVBaseTable& Table) {
  return FormatString(Format, {KeyValuesAsString(Keys), Table.GetTypeName(), Table.GetName()});
}

int32_t EnforcingIndexNumber(TORVConstraint& Constraint) { return Constraint.GetEnforcingIndex()->GetPosition(); }

}  // namespace

void TORVTableManager::CheckConstraints(TORVRowValues& RowValues, int32_t RowNumber, int32_t Operation,
                                        bool TableLevel) {
  try {
    TORVColumns& Columns = FTable->GetColumns();
    if (Columns.GetHasRequiredColumns()) {
      TORVSelectedColumns* Required = Columns.GetRequiredColumns();
      for (int32_t Index = 0; Index < Required->GetCount(); ++Index) {
        TORVColumn* Column = Required->GetColumn(Index);
        if (!RowValues.GetItems(Column->GetPosition())->GetNull()) continue;
        if (!Column->GetErrorMessage().empty()) throw EORVException(Column->GetErrorCode(), Column->GetErrorMessage());
        RaiseError(ORV_REQUIRED_COLUMN_ERROR,
                   {Column->GetTypeName(), Column->GetName(), FTable->GetTypeName(), FTable->GetName()});
      }
    }
    TORVConstraints& Constraints = FTable->GetConstraints();
    for (int32_t Index = 0; Index < Constraints.GetCount(); ++Index)
      CheckConstraint(*Constraints.GetConstraint(Index), RowValues, RowNumber, Operation, TableLevel);
  } catch (...) {
    UndoAfterFailure([this] { UnlockConstraints(); });
    throw;
  }
}

void TORVTableManager::CheckConstraint(TORVConstraint& Constraint, TORVRowValues& RowValues, int32_t RowNumber,
                                       int32_t Operation, bool TableLevel) {
  if (Constraint.GetHidden()) return;
  switch (Constraint.GetConstraintType()) {
    case ctPrimaryKey:
    case ctUnique:
      if (!TableLevel) CheckKeyConstraint(Constraint, RowValues, RowNumber, Operation);
      break;
    case ctForeignKey:
      CheckForeignKey(Constraint, RowValues, Operation, TableLevel);
      break;
    case ctCheck:
      if (!TableLevel) CheckCheckConstraint(Constraint, RowValues);
      break;
    default:
      break;
  }
}

void TORVTableManager::CheckKeyConstraint(TORVConstraint& Constraint, TORVRowValues& RowValues, int32_t RowNumber,
                                          int32_t Operation) {
  const int32_t Key = EnforcingIndexNumber(Constraint);
  const bool KeyChanged = Operation == toUpdateRow && KeyValuesModified(RowValues, Key);
  if (Operation == toInsertRow || Operation == toVerifyRow || KeyChanged) {
    SetKeyValues(RowValues, Key, false);
    TORVIndexKeyValues& Keys = GetKeyValues(Key);
    const bool Primary = Constraint.GetConstraintType() == ctPrimaryKey;
    if (Primary && KeyValuesNull(Key)) RaiseConstraintError(ORV_CONSTRAINT_ERROR, Constraint, ORV_PRIMARY_KEY_NULL_DETAIL);
    // A unique key of NULLs alone duplicates nothing.
    if ((Primary || !AllKeyValuesNull(Key)) &&
        SearchConstraintKey(Keys, Key, Operation == toVerifyRow ? RowNumber : 0))
      RaiseConstraintError(ORV_CONSTRAINT_ERROR, Constraint,
                           FormatString(ORV_DUPLICATE_KEY_DETAIL, {KeyValuesAsString(Keys)}));
  }
  if (Operation == toDeleteRow || KeyChanged) CheckReferringKeys(Constraint, RowValues, RowNumber, Operation, Key);
}

void TORVTableManager::CheckReferringKeys(TORVConstraint& Constraint, TORVRowValues& RowValues, int32_t RowNumber,
                                          int32_t Operation, int32_t IndexNumber) {
  TORVSourceConstraints& Sources = *Constraint.GetSourceConstraints();
  if (Sources.GetCount() == 0) return;
  SetKeyValues(StoredRowValues(), IndexNumber, false);
  TORVIndexKeyValues& OldKey = GetKeyValues(IndexNumber);
  for (int32_t Index = 0; Index < Sources.GetCount(); ++Index) {
    TORVSourceConstraint* Source = Sources.GetSourceConstraint(Index);
    TORVBaseTable* SourceTable = Source->GetSourceTable();
    TORVConstraint& Foreign = *Source->GetSourceTableConstraint();
    const int32_t ForeignIndex = EnforcingIndexNumber(Foreign);
    bool Referred = false;
    if (SourceTable == FTable) {
      // The row itself may refer to its own old key: deleting it is fine,
      // re-keying it away from itself is not.
      SetKeyValues(RowValues, ForeignIndex, false);
      Referred = (Operation == toUpdateRow && CompareConstraintKey(OldKey, ForeignIndex)) ||
                 SearchConstraintKey(OldKey, ForeignIndex, RowNumber);
    } else {
      TORVTableManager& SourceManager = GetConstraintTableManager(SourceTable);
      Referred = SourceManager.SearchUnderChangeCheck(OldKey, ForeignIndex);
    }
    if (Referred)
      RaiseConstraintError(ORV_CONSTRAINT_ERROR, Foreign, KeyDetail(ORV_REFERENCED_KEY_DETAIL, OldKey, *FTable));
  }
}

void TORVTableManager::CheckForeignKey(TORVConstraint& Constraint, TORVRowValues& RowValues, int32_t Operation,
                                       bool TableLevel) {
  if (Operation != toInsertRow && Operation != toUpdateRow) return;
  const int32_t ForeignIndex = EnforcingIndexNumber(Constraint);
  if (Operation == toUpdateRow && !KeyValuesModified(RowValues, ForeignIndex)) return;
  TORVBaseTable* Target = Constraint.GetTargetTable();
  if (Target->GetMaintenance() && !TableLevel) {
    FTable->SetDelayedConstraintCheck(true);
    return;
  }
  SetKeyValues(RowValues, ForeignIndex, false);
  if (KeyValuesNull(ForeignIndex)) return;
  TORVIndexKeyValues& Foreign = GetKeyValues(ForeignIndex);
  const int32_t KeyIndex = EnforcingIndexNumber(*Constraint.GetTargetTableConstraint());
  bool Found = false;
  TORVTableManager* Parent = this;
  if (Target == FTable) {
    SetKeyValues(RowValues, KeyIndex, false);
    if (CompareConstraintKey(Foreign, KeyIndex)) return;
    Found = SearchConstraintKey(Foreign, KeyIndex, 0);
  } else {
    Parent = &GetConstraintTableManager(Target);
    Found = Parent->SearchUnderChangeCheck(Foreign, KeyIndex);
  }
  if (!Found)
    RaiseConstraintError(ORV_CONSTRAINT_ERROR, Constraint,
                         KeyDetail(ORV_FOREIGN_KEY_UNMATCHED_DETAIL, Foreign, *Target));
  if (!Parent->LockConstraintRow(KeyIndex))
    RaiseConstraintError(ORV_CONSTRAINT_ROW_LOCK_ERROR, Constraint,
                         KeyDetail(ORV_FOREIGN_KEY_LOCK_DETAIL, Foreign, *Target));
}

void TORVTableManager::CheckCheckConstraint(TORVConstraint& Constraint, TORVRowValues& RowValues) {
  TORVContainedValue Result(GetSessionSettings().GetCharacterSet());
  Result.SetDataType(dtBoolean);
  FDatabaseManager->EvaluateRow(RowValues, Constraint.GetCheckExpr()->FTokens, Result);
  // Unknown passes: only a definite False violates the check.
  if (!Result.GetNull() && !Result.GetAsBoolean())
    RaiseConstraintError(ORV_CONSTRAINT_ERROR, Constraint, ORV_CHECK_FALSE_DETAIL);
}

bool TORVTableManager::SearchConstraintKey(TORVIndexKeyValues& KeyValues, int32_t IndexNumber,
                                           int32_t ExcludeRowNumber) {
  TORVIndexNavigator& Navigator = GetIndexNavigator(IndexNumber);
  bool FoundChanges = false;
  int32_t Found = Navigator.Search(KeyValues, 0, false, FoundChanges);
  if (FoundChanges) Found = Navigator.Search(KeyValues, 0, false, FoundChanges);
  if (Found != 0) return false;
  if (ExcludeRowNumber == 0 || Navigator.GetRowNumber() != ExcludeRowNumber) return true;
  // The row itself does not count; a duplicate sits right after it.
  return Navigator.Next(FoundChanges) && Navigator.GetKey().Compare(KeyValues, 0, false) == 0;
}

bool TORVTableManager::SearchUnderChangeCheck(TORVIndexKeyValues& KeyValues, int32_t IndexNumber) {
  if (!GetOpened())
    RaiseError(ORV_NOT_OPEN_ERROR, {FTable->GetTypeName(), FTable->GetName(), ORV_CHECK_CONSTRAINT_OPERATION});
  const bool WasReadLocked = FTable->GetLockState().Contains(lsReadLocked);
  CheckForChanges(false);
  bool Found = false;
  try {
    Found = SearchConstraintKey(KeyValues, IndexNumber, 0);
  } catch (...) {
    if (!WasReadLocked) UnlockAfterFailure(ltRead);
    throw;
  }
  if (!WasReadLocked) UnlockObject(ltRead);
  return Found;
}

bool TORVTableManager::CompareConstraintKey(TORVIndexKeyValues& KeyValues, int32_t IndexNumber) {
  return KeyValues.Compare(GetKeyValues(IndexNumber), 0, false) == 0;
}

bool TORVTableManager::LockConstraintRow(int32_t IndexNumber) {
  const TORVLockStates State = FTable->GetLockState();
  if (State.Contains(lsExclusiveLocked) || State.Contains(lsTransactionLocked)) return true;
  const int32_t RowNumber = GetIndexNavigator(IndexNumber).GetRowNumber();
  if (RowLocked(RowNumber, true)) return true;
  if (!LockRow(LockIdentity(), RowNumber, true)) return false;
  FConstraintRowLocks->Add(LockIdentity(), RowNumber, true);
  return true;
}

bool TORVTableManager::UnlockAllConstraintRows() {
  if (ExclusivelyLocked() || !FConstraintRowLocks) return true;
  bool Unlocked = true;
  for (int32_t RowNumber = 0; FConstraintRowLocks->FindNext(RowNumber);)
    if (!UnlockRow(RowNumber)) Unlocked = false;
  FConstraintRowLocks->RemoveAll();
  return Unlocked;
}

void TORVTableManager::UnlockConstraints() {
  TORVConstraints& Constraints = FTable->GetConstraints();
  for (int32_t Index = 0; Index < Constraints.GetCount(); ++Index) {
    TORVConstraint& Constraint = *Constraints.GetConstraint(Index);
    if (Constraint.GetConstraintType() != ctForeignKey || Constraint.GetHidden()) continue;
    TORVBaseTable* Target = Constraint.GetTargetTable();
    if (Target == nullptr) continue;
    TORVTableManager* Parent = this;
    if (Target != FTable) {
      // A parent whose manager was never opened holds no lock for us.
      if (Target->GetManagerHandle() == 0) continue;
      Parent = &GetConstraintTableManager(Target);
      if (!Parent->GetOpened()) continue;
    }
    // The key is not at hand any more: the detail shows an empty key.
    if (!Parent->UnlockAllConstraintRows())
      RaiseConstraintError(ORV_CONSTRAINT_ROW_UNLOCK_ERROR, Constraint,
                           FormatString(ORV_FOREIGN_KEY_UNLOCK_DETAIL, {u"", Target->GetTypeName(), Target->GetName()}));
  }
}

TORVTableManager& TORVTableManager::GetConstraintTableManager(TORVBaseTable* Table) {
  auto* Manager = dynamic_cast<TORVTableManager*>(FDatabaseManager->GetTableManagers().Get(Table, true));
  if (Manager == nullptr)
    RaiseError(ORV_NOT_OPEN_ERROR, {Table->GetTypeName(), Table->GetName(), ORV_CHECK_CONSTRAINT_OPERATION});
  return *Manager;
}

}  // namespace orv
