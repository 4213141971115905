#include "storage/orvrowsfile.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "base/orverror.h"
#include "base/orverrors.h"
#include "core/orvbitmap.h"
#include "core/orvdatetime.h"
#include "core/orvliteral.h"
#include "core/orvmath.h"
#include "core/orvsessionmgr.h"
#include "storage/orvenginesettings.h"
#include "storage/orvfilemgr.h"
#include "storage/orvtablefileowner.h"

namespace orv {

namespace {

constexpr int32_t RowsHeaderFieldsSize = 21;

int32_t ReadInt32At(const uint8_t* Bytes) {
  int32_t Value = 0;
  std::memcpy(&Value, Bytes, sizeof(Value));
  return Value;
}

void WriteInt32At(uint8_t* Bytes, int32_t Value) { std::memcpy(Bytes, &Value, sizeof(Value)); }

// Releases a held row however the scope is left.
class TRowHold {
 public:
  TRowHold(TORVRowsetManager& Manager, TORVRowsetRow* Row) : FManager(Manager), FRow(Row) {}
  ~TRowHold() {
    if (FRow != nullptr) FManager.PutRow(FRow);
  }
  TRowHold(const TRowHold&) = delete;
  TRowHold& operator=(const TRowHold&) = delete;

 private:
  TORVRowsetManager& FManager;
  TORVRowsetRow* FRow;
};

}  // namespace

// ------------------------------------------------------------ TORVRowsetRow

TORVRowsetRow::TORVRowsetRow(TORVRowsetManager* Owner) : TORVTableFileBuffer(Owner), FRowsetManager(Owner) {}

void TORVRowsetRow::Initialize() {
  TORVTableFileBuffer::Initialize();
  FVersion = 0;
  FUpdateCounter = 0;
  FInternalCounter = 0;
  FStatus = FStatus == StatusDeleted ? StatusReused : StatusLive;
}

void TORVRowsetRow::Save(TORVMemoryStream& Stream) {
  TORVTableFileBuffer::Save(Stream);
  Stream.WriteByte(FStatus);
  Stream.WriteInteger(FVersion);
  Stream.WriteInteger(FUpdateCounter);
  Stream.WriteInteger(FInternalCounter);
}

void TORVRowsetRow::Load(TORVMemoryStream& Stream) {
  TORVTableFileBuffer::Load(Stream);
  FStatus = Stream.ReadByte();
  FVersion = Stream.ReadInteger();
  FUpdateCounter = Stream.ReadInteger();
  FInternalCounter = Stream.ReadInteger();
}

void TORVRowsetRow::Assign(const TORVTableFileBuffer& FromBuffer) {
  TORVTableFileBuffer::Assign(FromBuffer);
  const auto* From = dynamic_cast<const TORVRowsetRow*>(&FromBuffer);
  if (From == nullptr) return;
  FStatus = From->FStatus;
  FVersion = From->FVersion;
  FUpdateCounter = From->FUpdateCounter;
  FInternalCounter = From->FInternalCounter;
}

bool TORVRowsetRow::Compare(const TORVTableFileBuffer& BufferToCompare) const {
  const auto* Other = dynamic_cast<const TORVRowsetRow*>(&BufferToCompare);
  return Other != nullptr && TORVTableFileBuffer::Compare(BufferToCompare) && FStatus == Other->FStatus &&
         FVersion == Other->FVersion && FUpdateCounter == Other->FUpdateCounter &&
         FInternalCounter == Other->FInternalCounter;
}

void TORVRowsetRow::IncVersion() {
  WrapIncInteger(FVersion, 1);
  FModified = true;
}

void TORVRowsetRow::IncUpdateCounter() {
  WrapIncInteger(FUpdateCounter, 1);
  FModified = true;
}

void TORVRowsetRow::SetStatus(uint8_t Value) {
  if (Value == FStatus) return;
  FStatus = Value;
  FModified = true;
}

void TORVRowsetRow::SetVersion(int32_t Value) {
  if (Value == FVersion) return;
  FVersion = Value;
  FModified = true;
}

void TORVRowsetRow::SetUpdateCounter(int32_t Value) {
  if (Value == FUpdateCounter) return;
  FUpdateCounter = Value;
  FModified = true;
}

void TORVRowsetRow::SetInternalCounter(int32_t Value) {
  if (Value == FInternalCounter) return;
  FInternalCounter = Value;
  FModified = true;
}

int32_t TORVRowsetRow::GetRowID() const { return ReadInt32At(FBufferStream->GetMemory() + RowIDOffset); }

void TORVRowsetRow::SetRowID(int32_t Value) {
  uint8_t* Bytes = FBufferStream->GetMemory();
  Bytes[RowHeaderBytes] = 1;
  WriteInt32At(Bytes + RowIDOffset, Value);
  FModified = true;
}

// -------------------------------------------------------- TORVRowsetManager

TORVRowsetManager::TORVRowsetManager(TORVTableFileOwner* Owner) : TORVTableFileManager(Owner) {}

TORVString TORVRowsetManager::GetFileExtension() { return GetSettings().GetRowExtension(); }

std::unique_ptr<TORVTableFileBuffer> TORVRowsetManager::CreateBuffer() {
  return std::make_unique<TORVRowsetRow>(this);
}

int32_t TORVRowsetManager::GetBufferSize() { return FTableManager->GetRowsetRowSize(); }

int32_t TORVRowsetManager::GetAvailableHeaderSize() {
  return FTableManager->GetSystemTable() ? SystemAvailableHeaderBytes : AvailableHeaderBytes;
}

int32_t TORVRowsetManager::ColumnCount() const { return FTableManager->GetColumnCount(); }

int32_t TORVRowsetManager::GetActualHeaderSize() {
  const int32_t Size = CommonHeaderSize + RowsHeaderFieldsSize + 4 * ColumnCount();
  return (Size + 7) / 8 * 8;
}

int32_t TORVRowsetManager::CalculateMaxBufferCount() {
  return std::max(FTableManager->GetMaxRowBufferSize() / GetBufferSize(), MinRowBufferCount);
}

void TORVRowsetManager::CheckMaxBuffers() {
  const int64_t Size = static_cast<int64_t>(GetAvailableHeaderSize()) +
                       static_cast<int64_t>(FNextNumber) * static_cast<int64_t>(GetBufferSize());
  if (Size > FTableManager->GetFileManager()->GetMaximumLockedFileSize())
    FullError();
  TORVTableFileManager::CheckMaxBuffers();
}

void TORVRowsetManager::Initialize() {
  TORVTableFileManager::Initialize();
  FRowCount = 0;
  FLastRowID = 0;
  FLastVersion = 0;
  FStatus = 0;
  FUpdated = CurrentTimeStamp(false);
  FLastValues.assign(static_cast<size_t>(ColumnCount()), 0);
  for (int32_t Index = 0; Index < ColumnCount(); ++Index)
    FLastValues[static_cast<size_t>(Index)] = FTableManager->GetColumnSeedValue(Index);
}

void TORVRowsetManager::ReadHeader() {
  TORVTableFileManager::ReadHeader();
  TORVMemoryStream& Stream = *FHeaderStream;
  FRowCount = Stream.ReadInteger();
  FLastRowID = Stream.ReadInteger();
  FLastVersion = Stream.ReadInteger();
  FStatus = Stream.ReadByte();
  FUpdated = Stream.ReadLargeInt();
  FLastValues.assign(static_cast<size_t>(ColumnCount()), 0);
  for (int32_t& Value : FLastValues) Value = Stream.ReadInteger();
}

void TORVRowsetManager::WriteHeader(bool IncUpdateCounter) {
  TORVTableFileManager::WriteHeader(IncUpdateCounter);
  FUpdated = CurrentTimeStamp(false);
  TORVMemoryStream& Stream = *FHeaderStream;
  Stream.WriteInteger(FRowCount);
  Stream.WriteInteger(FLastRowID);
  Stream.WriteInteger(FLastVersion);
  Stream.WriteByte(FStatus);
  Stream.WriteLargeInt(FUpdated);
  FLastValues.resize(static_cast<size_t>(ColumnCount()), 0);
  for (int32_t Value : FLastValues) Stream.WriteInteger(Value);
}

void TORVRowsetManager::CopyHeader(TORVTableFileManager& Source) {
  auto* From = dynamic_cast<TORVRowsetManager*>(&Source);
  if (From == nullptr) return;
  FLastRowID = From->FLastRowID;
  FLastVersion = From->FLastVersion;
  FStatus = From->FStatus;
  // An identity column that was one before keeps counting from where the
  // old table stopped, unless the ALTER restarts it.
  TORVTableFileOwner* OldTable = From->GetTableManager();
  for (int32_t Index = 0; Index < ColumnCount(); ++Index) {
    const int32_t OldPosition = FTableManager->GetColumnOldPosition(Index);
    if (OldPosition < 0 || OldPosition >= static_cast<int32_t>(From->FLastValues.size())) continue;
    if (!FTableManager->GetColumnIdentity(Index) || !OldTable->GetColumnIdentity(OldPosition) ||
        FTableManager->GetColumnAlterRestartIdentity(Index))
      continue;
    FLastValues[static_cast<size_t>(Index)] = From->FLastValues[static_cast<size_t>(OldPosition)];
  }
  FModified = true;
}

void TORVRowsetManager::Empty() {
  const int32_t Version = FLastVersion;
  TORVTableFileManager::Empty();
  FLastVersion = Version;
}

std::unique_ptr<TORVRowsetRow> TORVRowsetManager::CreateNewRow() {
  return std::make_unique<TORVRowsetRow>(this);
}

TORVRowsetRow* TORVRowsetManager::GetRow(int32_t RowNumber, bool ReadAhead, int32_t Direction,
                                         int32_t ReadAheadRows, bool& FoundChanges) {
  return static_cast<TORVRowsetRow*>(GetBuffer(RowNumber, ReadAhead, FoundChanges, ReadAheadRows, Direction));
}

TORVRowsetRow* TORVRowsetManager::GetRow(int32_t RowNumber, bool ReadAhead, int32_t Direction,
                                         int32_t ReadAheadRows) {
  return static_cast<TORVRowsetRow*>(GetSettledBuffer(RowNumber, ReadAhead, ReadAheadRows, Direction));
}

TORVRowsetRow* TORVRowsetManager::GetNextFreeRow() {
  const bool FromChain = FNextFreeNumber != 0;
  const int32_t Number = GetNextFreeNumber();
  TORVRowsetRow* Row = GetRow(Number);
  if (FromChain) {
    // Only a deleted slot may be on the chain, and its link must stay inside
    // the file: otherwise the insert would overwrite a live row.
    const int32_t Next = Row->GetNextNumber();
    if (Row->GetStatus() != TORVRowsetRow::StatusDeleted || Next < 0 || Next >= FNextNumber || Next == Number) {
      PutRow(Row);
      CorruptError(FormatString(u"Invalid next free %s pointer (%s)", {GetBufferName(), IntToString(Number)}));
    }
    SetNextFreeNumber(Next);
  }
  Row->Initialize();
  Row->SetModified(true);
  return Row;
}

void TORVRowsetManager::SetNextFreeRow(TORVRowsetRow& FreeRow) {
  // An empty chain is FNextFreeNumber 0, which also ends a chain.
  FreeRow.SetNextNumber(FNextFreeNumber);
  SetNextFreeNumber(FreeRow.GetNumber());
}

void TORVRowsetManager::PutRow(TORVRowsetRow* Row) { PutBuffer(Row); }

int32_t TORVRowsetManager::GetLastRowID() { return WrapIncInteger(FLastRowID, 1); }

int32_t TORVRowsetManager::GetLastVersion() { return WrapIncInteger(FLastVersion, 1); }

int32_t TORVRowsetManager::GetLastValue(int32_t Index) {
  int32_t& Value = FLastValues.at(static_cast<size_t>(Index));
  return WrapIncInteger(Value, FTableManager->GetColumnIncrementValue(Index));
}

void TORVRowsetManager::SetLastValue(int32_t Index, int32_t Value) {
  FLastValues.at(static_cast<size_t>(Index)) = Value;
  FModified = true;
}

int32_t TORVRowsetManager::GetLastValueAt(int32_t Index) const { return FLastValues.at(static_cast<size_t>(Index)); }

void TORVRowsetManager::SetRowCount(int32_t Value) {
  FRowCount = Value;
  FModified = true;
}

void TORVRowsetManager::SetLastRowID(int32_t Value) {
  if (Value == FLastRowID) return;
  FLastRowID = Value;
  FModified = true;
}

void TORVRowsetManager::SetLastVersion(int32_t Value) {
  if (Value == FLastVersion) return;
  FLastVersion = Value;
  FModified = true;
}

void TORVRowsetManager::SetStatus(uint8_t Value) {
  if (Value == FStatus) return;
  FStatus = Value;
  FModified = true;
}

int64_t TORVRowsetManager::RowLockOffset(int32_t RowNumber) const {
  return FTableManager->GetFileManager()->GetMaximumLockedFileSize() + static_cast<int64_t>(RowNumber);
}

bool TORVRowsetManager::LockRow(int32_t RowNumber) {
  if (RowNumber <= 0) return false;
  if (FTableManager->GetFileManager()->GetExclusiveFileAccess()) return FFileStream->ExclusiveLockRow(RowNumber);
  return FFileStream->LockRegion(RowLockOffset(RowNumber), 1);
}

bool TORVRowsetManager::UnlockRow(int32_t RowNumber) {
  if (RowNumber <= 0) return false;
  if (FTableManager->GetFileManager()->GetExclusiveFileAccess()) return FFileStream->ExclusiveUnlockRow(RowNumber);
  return FFileStream->UnlockRegion(RowLockOffset(RowNumber), 1);
}

// ------------------------------------------------------------- verification

int32_t TORVRowsetManager::RepairedVersion(TORVRowsetRow& Row) {
  // The row's large objects are read back only under the version their
  // first blocks carry, so a repaired row takes that version where it has
  // one; only a row without large objects gets a new version.
  TORVRowsetRowValues Values(this, GetSettings().GetCharacterSet());
  Values.SetRow(&Row);
  for (int32_t Index = 0; Index < Values.GetCount(); ++Index) {
    TORVRowValue* Value = Values.GetRowValue(Index);
    if (Value->GetDataType() != dtLargeObject || Value->GetBlobBlockNumber() <= 0) continue;
    const int32_t Version = FTableManager->GetBlobVersion(Value->GetBlobBlockNumber());
    if (Version >= 0) return Version;
  }
  return GetLastVersion();
}

bool TORVRowsetManager::VerifyBuffers(bool& FoundErrors, bool RepairErrors) {
  if (!TORVTableFileManager::VerifyBuffers(FoundErrors, RepairErrors)) return false;
  TORVSessionManager& Session = FTableManager->GetSessionManager();
  const TORVString Name = GetBufferName();
  auto Found = [&](const TORVString& Message) {
    FoundErrors = true;
    LogVerifyMessage(Message, nullptr, RepairErrors);
  };
  FTableManager->VerifyStatus(u"Verifying rows (structure-only)");
  TORVProgressScope Progress(Session);

  // A header that claims more rows than the file holds was reported by the
  // header check; the walks stop at the file's end.
  const int32_t LastNumber = GetStoredLastNumber();
  bool Continue = true;
  bool RebuildFreeChain = false;

  // The free chain, each slot visited once.
  TORVSparseBitmap Visited;
  Visited.SetBitCount(LastNumber + 1);
  int32_t Number = FNextFreeNumber;
  while (Continue && Number > 0 && Number <= LastNumber) {
    TORVRowsetRow* Row = GetRow(Number, true, 1, GetMaxReadAheadBufferCount());
    TRowHold Hold(*this, Row);
    Visited.SetBit(Number);
    const int32_t Next = Row->GetNextNumber();
    bool Stop = false;
    bool Bad = false;
    if (Row->GetStatus() != TORVRowsetRow::StatusDeleted) {
      Found(FormatString(u"Invalid next free %s pointer (%s)", {Name, IntToString(Number)}));
      Bad = true;
    } else if (Next < 0 || Next > LastNumber + 1) {
      Found(FormatString(u"Invalid next free %s pointer (%s)", {Name, IntToString(Next)}));
      Bad = true;
    } else if (Next != 0 && Visited.BitSet(Next)) {
      Found(FormatString(u"Recursive next %s pointer (%s)", {Name, IntToString(Next)}));
      Bad = true;
      Stop = true;
    }
    if (Bad && RepairErrors) {
      Row->SetNextNumber(0);
      SetNextFreeNumber(0);
      RebuildFreeChain = true;
    }
    // A live slot on the chain ends the walk: what follows it is no chain.
    if (Bad && Row->GetStatus() != TORVRowsetRow::StatusDeleted) Stop = true;
    Number = Stop ? 0 : Next;
    Continue = Session.CheckProgressInterval(0);
  }

  // Every slot.
  int32_t LiveRows = 0;
  int32_t HighestRowID = 0;
  int32_t HighestVersion = 0;
  std::vector<int32_t> HighestValues(FLastValues);
  std::unordered_set<int32_t> SeenRowIDs;
  for (int32_t RowNumber = 1; Continue && RowNumber <= LastNumber; ++RowNumber) {
    TORVRowsetRow* Row = GetRow(RowNumber, true, 1, GetMaxReadAheadBufferCount());
    TRowHold Hold(*this, Row);
    const bool Unwritten =
        Row->GetStatus() != TORVRowsetRow::StatusDeleted && Row->GetRowID() == 0 && Row->GetVersion() == 0;
    if (Unwritten) {
      // Every stored row has a version and an ID from 1: a slot with
      // neither is room the file grew by that no write filled. A new ID
      // would make a row of NULLs out of it; it goes to the free chain.
      Found(FormatString(u"Invalid %s %s ID (%s)", {Name, IntToString(RowNumber), IntToString(0)}));
      if (RepairErrors) {
        Row->SetStatus(TORVRowsetRow::StatusDeleted);
        if (!RebuildFreeChain) {
          SetNextFreeRow(*Row);
          Visited.SetBit(RowNumber);
        }
      }
    }
    if (Row->GetStatus() != TORVRowsetRow::StatusDeleted) {
      if (Row->GetNextNumber() != 0) {
        Found(FormatString(u"Invalid next %s pointer (%s)", {Name, IntToString(Row->GetNextNumber())}));
        if (RepairErrors) Row->SetNextNumber(0);
      }
      if (Row->GetVersion() < 0) {
        Found(FormatString(u"Invalid %s %s version (%s)",
                           {Name, IntToString(RowNumber), IntToString(Row->GetVersion())}));
        if (RepairErrors) Row->SetVersion(RepairedVersion(*Row));
      }
      if (Row->GetUpdateCounter() < 0) {
        Found(FormatString(u"Invalid %s %s update counter (%s)",
                           {Name, IntToString(RowNumber), IntToString(Row->GetUpdateCounter())}));
        if (RepairErrors) Row->SetUpdateCounter(1);
      }
      const int32_t RowID = Row->GetRowID();
      if (!Unwritten && (RowID <= 0 || !SeenRowIDs.insert(RowID).second)) {
        Found(FormatString(u"Invalid %s %s ID (%s)", {Name, IntToString(RowNumber), IntToString(RowID)}));
        if (RepairErrors) {
          const int32_t NewRowID = GetLastRowID();
          Row->SetRowID(NewRowID);
          SeenRowIDs.insert(NewRowID);
          // The indexes still hold the old ID.
          FTableManager->SetIndexRebuildRequired(true);
        }
      }
      HighestRowID = std::max(HighestRowID, Row->GetRowID());
      ++LiveRows;
      const uint8_t* Bytes = Row->GetBufferStream().GetMemory();
      for (int32_t Index = 0; Index < ColumnCount(); ++Index) {
        const int32_t Offset = FTableManager->GetColumnRowOffset(Index);
        if (!FTableManager->GetColumnIdentity(Index) || Offset + 5 > GetBufferSize() || Bytes[Offset] == 0) continue;
        int32_t& Highest = HighestValues[static_cast<size_t>(Index)];
        Highest = std::max(Highest, ReadInt32At(Bytes + Offset + 1));
      }
    } else if (RepairErrors && RebuildFreeChain) {
      SetNextFreeRow(*Row);
    } else if (!Visited.BitSet(RowNumber)) {
      // A deleted slot off the chain is never taken again.
      Found(FormatString(u"Deleted %s %s missing from the free %s list", {Name, IntToString(RowNumber), Name}));
      if (RepairErrors) SetNextFreeRow(*Row);
    }
    HighestVersion = std::max(HighestVersion, Row->GetVersion());
    Continue = Session.CheckProgressInterval(
        static_cast<int32_t>(static_cast<int64_t>(RowNumber) * 100 / std::max(LastNumber, 1)));
  }

  if (Continue) {
    if (FRowCount != LiveRows) {
      Found(FormatString(u"Invalid %s count (%s)", {Name, IntToString(FRowCount)}));
      if (RepairErrors) SetRowCount(LiveRows);
    }
    if (FLastRowID < HighestRowID) {
      Found(FormatString(u"Invalid last %s ID (%s)", {Name, IntToString(FLastRowID)}));
      if (RepairErrors) SetLastRowID(HighestRowID);
    }
    if (FLastVersion < HighestVersion) {
      Found(FormatString(u"Invalid last %s version (%s)", {Name, IntToString(FLastVersion)}));
      if (RepairErrors) SetLastVersion(HighestVersion);
    }
    for (int32_t Index = 0; Index < ColumnCount(); ++Index) {
      if (!FTableManager->GetColumnIdentity(Index)) continue;
      const int32_t Stored = FLastValues[static_cast<size_t>(Index)];
      if (Stored >= HighestValues[static_cast<size_t>(Index)]) continue;
      Found(FormatString(u"Invalid last %s identity value (%s)", {Name, IntToString(Stored)}));
      if (RepairErrors) SetLastValue(Index, HighestValues[static_cast<size_t>(Index)]);
    }
  }
  return Continue;
}

}  // namespace orv

namespace orv {

// ------------------------------------------------------ TORVRowsetRowValues

TORVRowsetRowValues::TORVRowsetRowValues(TORVRowsetManager* Owner, int32_t CharacterSetToUse)
    : TORVRowValues(CharacterSetToUse, &Owner->GetTableManager()->GetColumns(), true), FRowsetManager(Owner) {}

void TORVRowsetRowValues::SetRow(TORVRowsetRow* Value) {
  FRow = Value;
  SetBufferStream(Value != nullptr ? &Value->GetBufferStream() : nullptr);
}

void TORVRowsetRowValues::ReadBlobStream(int32_t BlockNumber, TORVMemoryStream& BlobStream, bool Decompress) {
  FRowsetManager->GetTableManager()->ReadBlobStream(FRow != nullptr ? FRow->GetVersion() : 0, BlockNumber,
                                                    BlobStream, Decompress);
}

void TORVRowsetRowValues::WriteBlobStream(int32_t RowVersion, int32_t& BlockNumber, TORVMemoryStream& BlobStream,
                                          int32_t BlobCompression, int32_t& CompressedSize) {
  FRowsetManager->GetTableManager()->WriteBlobStream(RowVersion, BlockNumber, BlobStream, BlobCompression,
                                                     CompressedSize);
}

void TORVRowsetRowValues::Evaluate(TORVExprToken* Tokens, TORVValue& Value) {
  FRowsetManager->GetTableManager()->EvaluateRow(*this, Tokens, Value);
}

// ------------------------------------------------------ TORVRowsetNavigator

namespace {

// Unbinds values from a cached row and releases the row however the scope
// is left.
class TBoundRow {
 public:
  TBoundRow(TORVRowsetManager& Manager, TORVRowsetRowValues& Values, TORVRowsetRow* Row)
      : FManager(Manager), FValues(Values), FRow(Row) {
    FValues.SetRow(Row);
  }
  ~TBoundRow() {
    FValues.SetRow(nullptr);
    FManager.PutRow(FRow);
  }
  TBoundRow(const TBoundRow&) = delete;
  TBoundRow& operator=(const TBoundRow&) = delete;

 private:
  TORVRowsetManager& FManager;
  TORVRowsetRowValues& FValues;
  TORVRowsetRow* FRow;
};

}  // namespace

TORVRowsetNavigator::TORVRowsetNavigator(TORVRowsetManager* Owner) : FRowsetManager(Owner), FRow(Owner->CreateNewRow()) {
  const int32_t CharacterSet = Owner->GetSettings().GetCharacterSet();
  FRowValues = std::make_unique<TORVRowsetRowValues>(Owner, CharacterSet);
  FRowValues->SetRow(FRow.get());
  FSearchRowValues = std::make_unique<TORVRowsetRowValues>(Owner, CharacterSet);
  FUpdateRowValues = std::make_unique<TORVRowsetRowValues>(Owner, CharacterSet);
}

TORVRowsetNavigator::~TORVRowsetNavigator() = default;

int32_t TORVRowsetNavigator::GetRowCount() { return FRowsetManager->GetRowCount(); }

int32_t TORVRowsetNavigator::GetRowNumber() { return FRow->GetNumber(); }

void TORVRowsetNavigator::ClearActiveRow() { SetRow(nullptr); }

void TORVRowsetNavigator::SetRow(TORVRowsetRow* Value) {
  if (Value == nullptr) {
    FRow->SetNumber(0);
    FRow->Initialize();
    FRowValues->Clear();
    return;
  }
  if (Value->GetNumber() == FRow->GetNumber() && Value->GetVersion() == FRow->GetVersion() &&
      Value->GetUpdateCounter() == FRow->GetUpdateCounter())
    return;
  FRowValues->Reset();
  FRow->Assign(*Value);
}

bool TORVRowsetNavigator::RowValid(int32_t RowNumber, int32_t /*Direction*/, bool& StopScan) {
  StopScan = false;
  if (RowNumber < 1 || RowNumber > FRowsetManager->GetLastNumber()) return false;
  if (RowNumber == FRow->GetNumber()) return FRow->GetStatus() != TORVRowsetRow::StatusDeleted;
  TORVRowsetRow* Row = FRowsetManager->GetRow(RowNumber);
  const bool Valid = Row->GetStatus() != TORVRowsetRow::StatusDeleted;
  FRowsetManager->PutRow(Row);
  return Valid;
}

bool TORVRowsetNavigator::EmptyFile() {
  if (FRowsetManager->GetLastNumber() > 0) return false;
  ClearActiveRow();
  FBOF = true;
  FEOF = true;
  return true;
}

bool TORVRowsetNavigator::ReadRow(int32_t Number, int32_t Direction, int32_t ReadAheadRows, bool& FoundChanges) {
  TORVRowsetRow* Row = FRowsetManager->GetRow(Number, ReadAheadRows > 1, Direction, ReadAheadRows, FoundChanges);
  if (Row == nullptr) return false;
  TRowHold Hold(*FRowsetManager, Row);
  SetRow(Row);
  return true;
}

bool TORVRowsetNavigator::First(bool& FoundChanges) {
  FoundChanges = false;
  if (EmptyFile()) return false;
  if (!ReadRow(1, NavigateForward, FRowsetManager->GetMaxReadAheadBufferCount(), FoundChanges)) return false;
  FBOF = true;
  FEOF = false;
  ValidatePosition(NavigateForward, FoundChanges);
  return !FoundChanges && !FEOF;
}

bool TORVRowsetNavigator::Next(bool& FoundChanges) {
  FoundChanges = false;
  if (EmptyFile()) return false;
  if (FRow->GetNumber() >= FRowsetManager->GetLastNumber()) {
    FBOF = false;
    FEOF = true;
    ValidatePosition(NavigateBackward, FoundChanges);
    return false;
  }
  if (!ReadRow(FRow->GetNumber() + 1, NavigateForward, FRowsetManager->GetMaxReadAheadBufferCount(), FoundChanges))
    return false;
  FBOF = false;
  FEOF = false;
  ValidatePosition(NavigateForward, FoundChanges);
  return !FoundChanges && !FEOF;
}

bool TORVRowsetNavigator::Prior(bool& FoundChanges) {
  FoundChanges = false;
  if (EmptyFile()) return false;
  if (FRow->GetNumber() < 2) {
    FBOF = true;
    FEOF = false;
    ValidatePosition(NavigateForward, FoundChanges);
    return false;
  }
  if (!ReadRow(FRow->GetNumber() - 1, NavigateBackward, FRowsetManager->GetMaxReadAheadBufferCount(), FoundChanges))
    return false;
  FBOF = false;
  FEOF = false;
  ValidatePosition(NavigateBackward, FoundChanges);
  return !FoundChanges && !FBOF;
}

bool TORVRowsetNavigator::Last(bool& FoundChanges) {
  FoundChanges = false;
  if (EmptyFile()) return false;
  if (!ReadRow(FRowsetManager->GetLastNumber(), NavigateForward, FRowsetManager->GetMaxReadAheadBufferCount(),
               FoundChanges))
    return false;
  FBOF = false;
  FEOF = true;
  ValidatePosition(NavigateBackward, FoundChanges);
  return !FoundChanges && !FBOF;
}

bool TORVRowsetNavigator::GotoNumber(int32_t NewNumber, int32_t Direction, bool& FoundChanges) {
  FoundChanges = false;
  if (EmptyFile()) return false;
  const int32_t ReadAheadRows = GetReadAhead(1, 1, FRowsetManager->GetMaxReadAheadBufferCount());
  const int32_t LastNumber = FRowsetManager->GetLastNumber();
  const int32_t Number = NewNumber < 1 ? 1 : std::min(NewNumber, LastNumber);
  if (!ReadRow(Number, Direction, ReadAheadRows, FoundChanges)) return false;
  FBOF = NewNumber < 1;
  FEOF = NewNumber > LastNumber;
  return true;
}

void TORVRowsetNavigator::GotoSequenceNumber(int32_t NewSequenceNumber, bool& FoundChanges) {
  GotoNumber(NewSequenceNumber, 0, FoundChanges);
}

int32_t TORVRowsetNavigator::Search(TORVValues& SearchValues, int32_t PartialLength, bool CaseInsensitive,
                                    bool& FoundChanges) {
  FoundChanges = false;
  int32_t Result = 1;
  const int32_t LastNumber = FRowsetManager->GetLastNumber();
  for (int32_t Number = 1; Number <= LastNumber; ++Number) {
    TORVRowsetRow* Row = FRowsetManager->GetRow(Number, true, NavigateForward,
                                                FRowsetManager->GetMaxReadAheadBufferCount(), FoundChanges);
    if (Row == nullptr) break;
    TBoundRow Bound(*FRowsetManager, *FSearchRowValues, Row);
    bool StopScan = false;
    if (Row->GetStatus() == TORVRowsetRow::StatusDeleted || !RowValid(Number, NavigateForward, StopScan)) continue;
    if (FSearchRowValues->Compare(SearchValues, PartialLength, CaseInsensitive) == 0) {
      SetRow(Row);
      FBOF = false;
      FEOF = false;
      Result = 0;
      break;
    }
    if (Number == LastNumber) {
      SetRow(Row);
      FBOF = false;
      FEOF = true;
    }
  }
  return Result;
}

TORVRowsetRow* TORVRowsetNavigator::GetLiveRow(int32_t Number) {
  if (Number < 1 || Number > FRowsetManager->GetLastNumber())
    FRowsetManager->CorruptError(FormatString(u"Invalid %s number specified for retrieval from cache",
                                              {FRowsetManager->GetBufferName()}));
  TORVRowsetRow* Row = FRowsetManager->GetRow(Number);
  if (Row->GetStatus() == TORVRowsetRow::StatusDeleted) {
    FRowsetManager->PutRow(Row);
    FRowsetManager->GetTableManager()->RowDeletedError();
  }
  return Row;
}

void TORVRowsetNavigator::Insert(int32_t NewVersion, TORVRowValues& NewValues, int32_t& NewNumber,
                                 int32_t& NewUpdateCounter) {
  TBoundRow Bound(*FRowsetManager, *FUpdateRowValues, FRowsetManager->GetNextFreeRow());
  TORVRowsetRow& Row = *FUpdateRowValues->GetRow();
  NewNumber = Row.GetNumber();
  Row.SetVersion(NewVersion);
  Row.IncUpdateCounter();
  NewUpdateCounter = Row.GetUpdateCounter();
  if (Row.GetStatus() == TORVRowsetRow::StatusReused) {
    // The new row's large objects go into the deleted row's chains.
    NewValues.SetBlobBlockNumbers(*FUpdateRowValues);
    FUpdateRowValues->Clear();
    Row.SetStatus(TORVRowsetRow::StatusLive);
  } else {
    NewValues.ClearBlobBlockNumbers();
  }
  NewValues.SaveBlobStreams(NewVersion);
  FUpdateRowValues->Assign(NewValues);
  Row.SetModified(true);
  FRowsetManager->SetLastRowID(std::max(FRowsetManager->GetLastRowIDValue(), Row.GetRowID()));
  FRowsetManager->SetLastVersion(Row.GetVersion());
  TORVTableFileOwner& TableManager = *FRowsetManager->GetTableManager();
  for (int32_t Index = 0; Index < TableManager.GetColumnCount(); ++Index) {
    if (!TableManager.GetColumnIdentity(Index)) continue;
    TORVValue* Value = FUpdateRowValues->GetItems(Index);
    if (Value->GetNull()) continue;
    const int32_t Last = FRowsetManager->GetLastValueAt(Index);
    const int32_t Current = Value->GetAsInteger();
    if (Current > Last) FRowsetManager->SetLastValue(Index, Current);
  }
  FRowsetManager->IncRowCount();
}

void TORVRowsetNavigator::Update(TORVRowValues& ExistingValues, int32_t ExistingNumber,
                                 int32_t& ExistingUpdateCounter) {
  TBoundRow Bound(*FRowsetManager, *FUpdateRowValues, GetLiveRow(ExistingNumber));
  TORVRowsetRow& Row = *FUpdateRowValues->GetRow();
  Row.IncUpdateCounter();
  ExistingUpdateCounter = Row.GetUpdateCounter();
  ExistingValues.SaveBlobStreams(Row.GetVersion());
  FUpdateRowValues->Assign(ExistingValues);
  Row.SetModified(true);
}

void TORVRowsetNavigator::Delete(TORVRowValues& /*ExistingValues*/, int32_t ExistingNumber,
                                 int32_t& ExistingUpdateCounter) {
  TBoundRow Bound(*FRowsetManager, *FUpdateRowValues, GetLiveRow(ExistingNumber));
  TORVRowsetRow& Row = *FUpdateRowValues->GetRow();
  Row.SetStatus(TORVRowsetRow::StatusDeleted);
  Row.IncUpdateCounter();
  ExistingUpdateCounter = Row.GetUpdateCounter();
  FRowsetManager->SetNextFreeRow(Row);
  FRowsetManager->DecRowCount();
}

}  // namespace orv
