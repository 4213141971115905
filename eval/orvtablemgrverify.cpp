// Verification and repair of one table: the structure of its files, then
// every row's string lengths, BLOB references, constraints and index keys,
// and with repair the row fixes and the rebuild of every index found
// wrong.
//
// Design notes:
// 1. Findings go to the session's log, one line each, ending "Fixed" when
//    the run repairs and "Not Fixed" otherwise.
// 2. A constraint check that raises anything but a violation leaves its row
//    unchecked. That is a finding of its own, never fixed, and the row
//    stays: a table whose rows cannot be checked must not verify clean.
// 3. An index is flagged for rebuilding by its catalog entry, or all of
//    them at once by the rows file's repair of row IDs. Flagged indexes are
//    not searched for keys: their keys are wrong already.
// 4. Every flagged index loses its key buffer before the first rebuild
//    starts. A rebuild that removes a duplicate row takes the row's keys out
//    of the other indexes that have buffers, and an index still waiting for
//    its own rebuild lacks them.
#include <algorithm>
#include <memory>
#include <vector>

#include "base/orverror.h"
#include "base/orverrors.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvconstraint.h"
#include "catalog/orvindexes.h"
#include "catalog/orvtable.h"
#include "core/orvbitmap.h"
#include "core/orvdatetime.h"
#include "core/orvliteral.h"
#include "core/orvsessionmgr.h"
#include "core/orvtypefunc.h"
#include "core/orvwords.h"
#include "eval/orvschemaobjmgr.h"
#include "eval/orvtablemgr.h"
#include "storage/orvblobfile.h"
#include "storage/orvenginesettings.h"
#include "storage/orvindexkey.h"
#include "storage/orvindexmgr.h"
#include "storage/orvrowsfile.h"

namespace orv {

namespace {

TORVString NowAsText() { return TimeStampToSQLStr(CurrentTimeStamp(false), true); }

// Unbinds the values from a cached row and gives the row back however the
// scope is left.
class TVerifiedRow {
 public:
  TVerifiedRow(TORVTableManager& Manager, TORVRowsetRowValues& Values, TORVRowsetRow* Row)
      : FManager(Manager), FValues(Values), FRow(Row) {
    FValues.SetRow(Row);
  }
  ~TVerifiedRow() {
    FValues.SetRow(nullptr);
    FManager.PutRow(FRow);
  }
  TVerifiedRow(const TVerifiedRow&) = delete;
  TVerifiedRow& operator=(const TVerifiedRow&) = delete;

 private:
  TORVTableManager& FManager;
  TORVRowsetRowValues& FValues;
  TORVRowsetRow* FRow;
};

// The slot's stored character count of a variable-length text column, as
// the row holds it (a damaged count may pass the column's length).
int32_t StoredTextCount(TORVRowsetRow& Row, TORVColumn& Column) {
  const TORVMemoryStream& Bytes = Row.GetBufferStream();
  const int64_t Offset = Column.GetRowOffset();
  if (Offset < 0 || Offset + 3 > Bytes.GetSize()) return 0;
  const uint8_t* Slot = Bytes.GetMemory() + Offset;
  if (Slot[0] == 0) return 0;
  return Slot[1] | (Slot[2] << 8);
}

}  // namespace

bool TORVTableManager::Verify(bool& FoundErrors, bool RepairErrors, bool StructureOnly) {
  TORVSessionManager& Session = GetSessionManager();
  Session.LogMessage(FormatString(u"Verification of the %s %s started at %s",
                                  {FTable->GetTypeName(), FTable->GetName(), NowAsText()}));
  struct TEndLog {
    TORVTableManager& Manager;
    ~TEndLog() {
      UndoAfterFailure([this] {
        Manager.GetSessionManager().LogMessage(
            FormatString(u"Verification of the %s %s ended at %s",
                         {Manager.GetTable()->GetTypeName(), Manager.GetTable()->GetName(), NowAsText()}));
      });
    }
  } EndLog{*this};
  FConstraintsDeletedRows = false;
  FIndexBuildDeletedRows = false;

  // The files are read as other sessions left them, and kept from their
  // writes until the run ends.
  const bool WasReadLocked = FTable->GetLockState().Contains(lsReadLocked);
  CheckForChanges(false);
  struct TReadUnlock {
    TORVTableManager& Manager;
    bool Release;
    ~TReadUnlock() {
      if (Release && Manager.GetTable()->GetLockState().Contains(lsReadLocked))
        Manager.UnlockAfterFailure(ltRead);
    }
  } ReadUnlock{*this, !WasReadLocked};

  bool Result = VerifyTableFileManagers(FoundErrors, RepairErrors);
  if (GetIndexRebuildRequired()) FlagIndexesForRebuild();
  FlagIndexesWithoutRoot();
  if (Result && !StructureOnly) Result = VerifyRowContents(FoundErrors, RepairErrors);
  if (Result && RepairErrors) {
    if (FoundErrors) {
      SetModified();
      Write(false);
    }
    Result = RebuildFlaggedIndexes();
    if (Result) {
      if (FConstraintsDeletedRows || FIndexBuildDeletedRows)
        Result = FRowsetManager->Verify(FoundErrors, RepairErrors);
      if (Result && FoundErrors) {
        SetModified();
        Write(false);
      }
    }
  }
  return Result;
}

bool TORVTableManager::VerifyTableFileManagers(bool& FoundErrors, bool RepairErrors) {
  // The rows file comes first: the index check bounds row numbers by it.
  bool Result = true;
  for (TORVTableFileManager* File : TableFiles()) {
    Result = File->Verify(FoundErrors, RepairErrors);
    if (!Result) break;
  }
  return Result;
}

void TORVTableManager::LogVerifyMessage(const TORVString& Message, TORVConfigObject* CatalogObject, bool Fixed) {
  const TORVString Outcome = Fixed ? u"Fixed" : u"Not Fixed";
  GetSessionManager().LogMessage(
      CatalogObject != nullptr
          ? FormatString(u"Verification error for the %s %s in the %s %s (%s) - %s",
                         {CatalogObject->GetTypeName(), CatalogObject->GetName(), FTable->GetName(),
                          FTable->GetTypeName(), Message, Outcome})
          : FormatString(u"Verification error for the %s %s (%s) - %s",
                         {FTable->GetName(), FTable->GetTypeName(), Message, Outcome}));
}

int32_t TORVTableManager::PrimaryKeyIndexNumber() const {
  TORVIndexes& Indexes = FTable->GetIndexes();
  for (int32_t Index = 0; Index < Indexes.GetCount(); ++Index)
    if (Indexes.GetIndex(Index)->GetIndexType() == itPrimaryKey && HasIndexBuffers(Index)) return Index;
  return -1;
}

void TORVTableManager::SetRowKeyValues(TORVRowValues& RowValues) {
  const int32_t Key = PrimaryKeyIndexNumber();
  if (Key >= 0) SetKeyValues(RowValues, Key, true);
}

bool TORVTableManager::HasIndexBuffers(int32_t IndexNumber) const {
  const auto At = static_cast<size_t>(IndexNumber);
  return At < FKeyValues.size() && FKeyValues[At] && At < FIndexNavigators.size() && FIndexNavigators[At];
}

bool TORVTableManager::IndexFlaggedForRebuild(int32_t IndexNumber) const {
  return GetIndexRebuildRequired() || FTable->GetIndexes().GetIndex(IndexNumber)->GetRequiresRebuild();
}

void TORVTableManager::FlagIndexesForRebuild() {
  TORVIndexes& Indexes = FTable->GetIndexes();
  for (int32_t Index = 0; Index < Indexes.GetCount(); ++Index) Indexes.GetIndex(Index)->SetRequiresRebuild(true);
}

void TORVTableManager::FlagIndexesWithoutRoot() {
  // The file check drops a root pointer that leads nowhere; the index's
  // keys went with it, and only a rebuild brings them back.
  TORVIndexes& Indexes = FTable->GetIndexes();
  const int32_t Count = std::min(FIndexManager->GetIndexCount(), Indexes.GetCount());
  for (int32_t Index = 0; Index < Count; ++Index) {
    const TORVIndexHeader& Header = FIndexManager->GetIndexHeader(Index);
    if (Header.RootNumber == 0 && (Header.ExternalKeys != 0 || Header.ExternalPages != 0 || Header.InternalPages != 0))
      Indexes.GetIndex(Index)->SetRequiresRebuild(true);
  }
}

bool TORVTableManager::VerifyRowContents(bool& FoundErrors, bool RepairErrors) {
  TORVSessionManager& Session = GetSessionManager();
  VerifyStatus(u"Verifying table contents (logical)");
  TORVProgressScope Progress(Session);
  TORVSparseBitmap BlobBlocks;
  if (HasBlobFile()) BlobBlocks.SetBitCount(FBlobManager->GetStoredLastNumber() + 1);
  TORVRowsetRowValues Values(FRowsetManager.get(), GetSessionSettings().GetCharacterSet());
  const int32_t KeyIndex = PrimaryKeyIndexNumber();
  const int32_t LastNumber = FRowsetManager->GetStoredLastNumber();
  std::vector<int64_t> ExpectedKeys(static_cast<size_t>(FTable->GetIndexes().GetCount()), 0);
  bool Result = true;
  for (int32_t RowNumber = 1; Result && RowNumber <= LastNumber; ++RowNumber) {
    TORVRowsetRow* Row = GetRow(RowNumber, 1);
    TVerifiedRow Bound(*this, Values, Row);
    SetRowKeyValues(Values);
    const TORVString RowKey =
        KeyIndex >= 0 ? KeyValuesAsString(GetKeyValues(KeyIndex)) : IntToString(Row->GetRowID());
    VerifyRowStrings(Values, RowKey, FoundErrors, RepairErrors);
    VerifyRowBlobs(Values, BlobBlocks, RowKey, FoundErrors, RepairErrors);
    if (Row->GetStatus() != TORVRowsetRow::StatusDeleted)
      VerifyRowConstraints(Values, RowNumber, RowKey, FoundErrors, RepairErrors);
    if (Row->GetStatus() != TORVRowsetRow::StatusDeleted)
      VerifyRowKeys(Values, RowNumber, RowKey, FoundErrors, RepairErrors, ExpectedKeys);
    Result = Session.CheckProgressInterval(static_cast<int32_t>(static_cast<int64_t>(RowNumber) * 100 / LastNumber));
  }
  if (Result) VerifyKeyCounts(ExpectedKeys, FoundErrors, RepairErrors);
  return Result;
}

void TORVTableManager::VerifyKeyCounts(const std::vector<int64_t>& ExpectedKeys, bool& FoundErrors,
                                       bool RepairErrors) {
  // Every key of a live row was found; a key beyond them points at a row
  // that is gone, which an index walk would still return.
  ForEachIndex([&](int32_t IndexNumber) {
    if (IndexFlaggedForRebuild(IndexNumber)) return;
    const int32_t Stored = FIndexManager->GetIndexHeader(IndexNumber).ExternalKeys;
    if (Stored == ExpectedKeys[static_cast<size_t>(IndexNumber)]) return;
    TORVIndex* Index = FTable->GetIndexes().GetIndex(IndexNumber);
    FoundErrors = true;
    LogVerifyMessage(FormatString(u"Invalid index key count (%s)", {IntToString(Stored)}), Index, RepairErrors);
    Index->SetRequiresRebuild(true);
  });
}

void TORVTableManager::VerifyRowStrings(TORVRowValues& Values, const TORVString& RowKey, bool& FoundErrors,
                                        bool RepairErrors) {
  auto& Row = *static_cast<TORVRowsetRowValues&>(Values).GetRow();
  TORVColumns& Columns = FTable->GetColumns();
  for (int32_t Index = 0; Index < Columns.GetCount(); ++Index) {
    TORVColumn* Column = Columns.GetColumn(Index);
    if (Column->GetComputed() || Column->GetDataType() != dtCharacter || Column->GetSubType() != stVarChar) continue;
    const int32_t Stored = StoredTextCount(Row, *Column);
    if (Stored <= Column->GetLength()) continue;
    FoundErrors = true;
    LogVerifyMessage(FormatString(u"Invalid string column size in the row %s (%s)", {RowKey, IntToString(Stored)}),
                     Column, RepairErrors);
    if (!RepairErrors) continue;
    // The value reads no further than its slot; written back, the count is
    // the column's length again.
    TORVValue* Value = Values.GetItems(Index);
    Value->SetAsString(Value->GetAsString().substr(0, static_cast<size_t>(Column->GetLength())));
    Row.SetModified(true);
  }
}

void TORVTableManager::VerifyRowBlobs(TORVRowValues& Values, TORVSparseBitmap& BlobBlocks, const TORVString& RowKey,
                                      bool& FoundErrors, bool RepairErrors) {
  if (!HasBlobFile()) return;
  auto& Row = *static_cast<TORVRowsetRowValues&>(Values).GetRow();
  const int32_t RowVersion = Row.GetVersion();
  const int32_t LastBlock = FBlobManager->GetStoredLastNumber();
  TORVColumns& Columns = FTable->GetColumns();
  for (int32_t Index = 0; Index < Columns.GetCount(); ++Index) {
    TORVColumn* Column = Columns.GetColumn(Index);
    if (Column->GetComputed() || Column->GetDataType() != dtLargeObject) continue;
    TORVRowValue* Value = Values.GetRowValue(Index);
    const int32_t Block = Value->GetBlobBlockNumber();
    const int32_t Size = Value->GetBlobSize();
    if (Block == 0) continue;
    auto Found = [&](const char16_t* Format, int32_t Detail) {
      FoundErrors = true;
      LogVerifyMessage(FormatString(Format, {RowKey, IntToString(Detail)}), Column, RepairErrors);
    };
    auto ClearReference = [&] {
      if (!RepairErrors) return;
      Value->SetBlobBlockNumber(0);
      Value->SetBlobSize(0);
      Row.SetModified(true);
    };
    if (Block < 0 || Block > LastBlock || BlobBlocks.BitSet(Block)) {
      // Beyond the file, or the first block of another row's value.
      Found(u"Invalid BLOB block number in the row %s (%s)", Block);
      ClearReference();
      continue;
    }
    BlobBlocks.SetBit(Block);
    TORVBlobBlock* First = nullptr;
    try {
      First = FBlobManager->GetBlock(Block);
    } catch (const EORVException&) {
      Found(u"Invalid BLOB block number in the row %s (%s)", Block);
      ClearReference();
      continue;
    }
    struct TPutBlock {
      TORVBlobManager& Manager;
      TORVBlobBlock* Block;
      ~TPutBlock() { Manager.PutBlock(Block); }
    } Put{*FBlobManager, First};
    if (First->GetBlockType() != TORVBlobBlock::FirstBlock) {
      Found(u"Invalid BLOB block number in the row %s (%s)", First->GetBlockType());
      ClearReference();
    } else if (Size != 0) {
      if (First->GetVersion() != RowVersion) {
        Found(u"Invalid BLOB row version in the row %s (%s)", First->GetVersion());
        if (RepairErrors) First->SetVersion(RowVersion);
      } else if (First->GetTotalSize() != Size) {
        Found(u"Invalid BLOB size in the row %s (%s)", First->GetTotalSize());
        if (RepairErrors) {
          Value->SetBlobSize(First->GetTotalSize());
          Row.SetModified(true);
        }
      }
    } else if (First->GetVersion() == 0 && RowVersion != 0) {
      Found(u"Invalid BLOB row version in the row %s (%s)", First->GetVersion());
      ClearReference();
    }
  }
}

bool TORVTableManager::IsConstraintViolation(const EORVException& Error) const {
  if (Error.ErrorCode() == ORV_CONSTRAINT_ERROR.Code) return true;
  // A column or constraint with its own error raises that instead.
  auto Own = [&](int32_t Code, const TORVString& Message) {
    return !Message.empty() && Code == Error.ErrorCode() && Message == Error.ErrorMsg();
  };
  TORVColumns& Columns = FTable->GetColumns();
  for (int32_t Index = 0; Index < Columns.GetCount(); ++Index) {
    TORVColumn* Column = Columns.GetColumn(Index);
    if (Column->GetRequired() && Own(Column->GetErrorCode(), Column->GetErrorMessage())) return true;
  }
  TORVConstraints& Constraints = FTable->GetConstraints();
  for (int32_t Index = 0; Index < Constraints.GetCount(); ++Index) {
    TORVConstraint* Constraint = Constraints.GetConstraint(Index);
    if (Own(Constraint->GetErrorCode(), Constraint->GetErrorMessage())) return true;
  }
  return false;
}

void TORVTableManager::VerifyRowConstraints(TORVRowValues& Values, int32_t RowNumber, const TORVString& RowKey,
                                            bool& FoundErrors, bool RepairErrors) {
  try {
    CheckConstraints(Values, RowNumber, toVerifyRow, false);
    UnlockConstraints();
    return;
  } catch (const EORVException& Error) {
    FoundErrors = true;
    if (!IsConstraintViolation(Error)) {
      // Unchecked is not sound: reported, never fixed, and the row stays.
      LogVerifyMessage(FormatString(u"Row %s could not be checked (%s)", {RowKey, Error.ErrorMsg()}), nullptr, false);
      return;
    }
    LogVerifyMessage(FormatString(u"Row %s deleted (%s)", {RowKey, Error.ErrorMsg()}), nullptr, RepairErrors);
  }
  if (!RepairErrors) return;
  // Its keys go at once: a row it duplicates would otherwise still find it
  // and be deleted too. A key that is missing already is no matter, since
  // every index is rebuilt afterwards.
  ForEachIndex([&](int32_t IndexNumber) {
    try {
      DeleteExistingKey(Values, RowNumber, IndexNumber);
    } catch (const EORVException& Missing) {
      if (Missing.ErrorCode() != ORV_CORRUPT_ERROR.Code) throw;
    }
  });
  int32_t UpdateCounter = 0;
  FRowsetNavigator->Delete(Values, RowNumber, UpdateCounter);
  FConstraintsDeletedRows = true;
  FlagIndexesForRebuild();
}

void TORVTableManager::VerifyRowKeys(TORVRowValues& Values, int32_t RowNumber, const TORVString& RowKey,
                                     bool& FoundErrors, bool RepairErrors, std::vector<int64_t>& ExpectedKeys) {
  ForEachIndex([&](int32_t IndexNumber) {
    if (IndexFlaggedForRebuild(IndexNumber)) return;
    if (VerifyExistingKey(Values, RowNumber, IndexNumber)) {
      // A text index holds a key per distinct word, any other one per row.
      ExpectedKeys[static_cast<size_t>(IndexNumber)] +=
          IsTextIndex(IndexNumber) ? GetWordList(Values, IndexNumber)->GetNumWords() : 1;
      return;
    }
    TORVIndex* Index = FTable->GetIndexes().GetIndex(IndexNumber);
    const TORVString Message =
        IsTextIndex(IndexNumber)
            ? FormatString(u"Invalid text index key value for row %s", {RowKey})
            : FormatString(u"Invalid index key value for row %s (%s)",
                           {RowKey, KeyValuesAsString(GetKeyValues(IndexNumber))});
    FoundErrors = true;
    LogVerifyMessage(Message, Index, RepairErrors);
    // Flagged also without repair: its other keys are not searched again.
    Index->SetRequiresRebuild(true);
  });
}

bool TORVTableManager::RebuildFlaggedIndexes() {
  FIndexBuildDeletedRows = false;
  try {
    return RebuildIndexesOnce();
  } catch (const EORVException&) {
    // What the failed rebuild left of the index file is not to be trusted:
    // every index starts again from an empty file.
    FIndexManager->Empty();
    FlagIndexesForRebuild();
    return RebuildIndexesOnce();
  }
}

bool TORVTableManager::RebuildIndexesOnce() {
  TORVIndexes& Indexes = FTable->GetIndexes();
  std::vector<int32_t> Flagged;
  for (int32_t Index = 0; Index < Indexes.GetCount(); ++Index)
    if (IndexFlaggedForRebuild(Index)) Flagged.push_back(Index);
  for (const int32_t Index : Flagged) {
    ClearKeyValues(Index);
    ClearIndexNavigator(Index);
  }
  // An index left unbuilt by a stop or a failure gets its buffers back, so
  // that row operations keep reaching it until the next repair.
  struct TBuffersBack {
    TORVTableManager& Manager;
    const std::vector<int32_t>& Flagged;
    ~TBuffersBack() {
      for (const int32_t Index : Flagged)
        if (!Manager.HasIndexBuffers(Index))
          UndoAfterFailure([&] {
            Manager.AddIndexNavigator(Index);
            Manager.AddKeyValues(Index);
          });
    }
  } BuffersBack{*this, Flagged};
  for (const int32_t Index : Flagged) {
    TORVIndex* Rebuilt = Indexes.GetIndex(Index);
    VerifyStatus(FormatString(u"Rebuilding index %s", {Rebuilt->GetName()}));
    BeginAlterIndex(Index);
    if (!EndAlterIndex(Index, true)) return false;
    DropIndexBackupCopy();
    // Dropping the copy forgets what the rebuild changed.
    SetModified();
    Rebuilt->SetRequiresRebuild(false);
  }
  SetIndexRebuildRequired(false);
  return true;
}

}  // namespace orv
