#include "catalog/orvcursorrow.h"

#include <cstring>

#include "base/orverrors.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvcursor.h"
#include "catalog/orvcursorcolumns.h"
#include "catalog/orvindexes.h"
#include "core/orvcontainedvalue.h"
#include "core/orvliteral.h"
#include "core/orvstream.h"
#include "core/orvtypefunc.h"

namespace orv {

namespace {

// Number, status, version, update counter and internal counter.
constexpr int32_t kRowRecordHeaderSize = 4 + 1 + 4 + 4 + 4;

// The key column Index of the cursor's active index; nil without one.
TORVIndexColumn* ActiveIndexColumn(TORVCursor& Cursor, int32_t Index) {
  const int32_t Active = Cursor.GetActiveIndex();
  if (Active < 0 || Active >= Cursor.GetIndexes()->GetCount()) return nullptr;
  TORVIndexColumns* Columns = Cursor.GetIndexes()->GetIndex(Active)->GetIndexColumns();
  return Index >= 0 && Index < Columns->GetCount() ? Columns->GetIndexColumn(Index) : nullptr;
}

// A contained value typed like Column.
TORVContainedValue* NewValueLike(int32_t CharacterSet, TORVColumn& Column, int32_t Collation) {
  auto* Value = new TORVContainedValue(CharacterSet);
  Value->SetDataType(Column.GetDataType());
  Value->SetSubType(Column.GetSubType());
  Value->SetLength(Column.GetLength());
  Value->SetScale(Column.GetScale());
  Value->SetCollation(Collation);
  return Value;
}

}  // namespace

// ---------------------------------------------------------------------------
// TORVCursorRowValues

TORVCursorRowValues::TORVCursorRowValues(TORVCursorRow* OwnerRow, TORVColumns* ColumnsToUse, bool CreateComputed)
    : TORVRowValues(OwnerRow->GetCursor()->GetCharacterSet(), ColumnsToUse, CreateComputed), FCursorRow(OwnerRow) {}

void TORVCursorRowValues::ReadBlobStream(int32_t BlockNumber, TORVMemoryStream& BlobStream, bool Decompress) {
  FCursorRow->GetCursor()->ReadBlobStream(FCursorRow->GetVersion(), BlockNumber, BlobStream, Decompress);
}

void TORVCursorRowValues::WriteBlobStream(int32_t RowVersion, int32_t& BlockNumber, TORVMemoryStream& BlobStream,
                                          int32_t BlobCompression, int32_t& CompressedSize) {
  FCursorRow->GetCursor()->WriteBlobStream(RowVersion, BlockNumber, BlobStream, BlobCompression, CompressedSize);
}

void TORVCursorRowValues::Evaluate(TORVExprToken* Tokens, TORVValue& Value) {
  FCursorRow->GetCursor()->Evaluate(Tokens, *this, Value);
}

// ---------------------------------------------------------------------------
// Key and bookmark values

TORVCursorKeyValues::TORVCursorKeyValues(TORVCursorRow* OwnerRow)
    : TORVKeyValues(OwnerRow->GetCursor()->GetCharacterSet()), FCursorRow(OwnerRow) {}

int32_t TORVCursorKeyValues::GetColumnCollation(int32_t Index) {
  TORVIndexColumn* Column = ActiveIndexColumn(*FCursorRow->GetCursor(), Index);
  return Column != nullptr ? Column->GetCollation() : 0;
}

bool TORVCursorKeyValues::GetColumnDescending(int32_t Index) {
  TORVIndexColumn* Column = ActiveIndexColumn(*FCursorRow->GetCursor(), Index);
  return Column != nullptr && Column->GetDescending();
}

int32_t TORVCursorKeyValues::GetRowID() {
  TORVCursor& Cursor = *FCursorRow->GetCursor();
  const int32_t Active = Cursor.GetActiveIndex();
  if (Active < 0 || Active >= Cursor.GetIndexes()->GetCount()) return 0;
  const int32_t Type = Cursor.GetIndexes()->GetIndex(Active)->GetIndexType();
  if (Type == itPrimaryKey || Type == itTextIndex) return 0;
  return FCursorRow->GetValues()->GetItems(0)->GetAsInteger();
}

TORVContainedCursorKeyValues::TORVContainedCursorKeyValues(TORVCursor* OwnerCursor)
    : TORVKeyValues(OwnerCursor->GetCharacterSet(), true), FCursor(OwnerCursor) {
  const int32_t Active = OwnerCursor->GetActiveIndex();
  if (Active < 0 || Active >= OwnerCursor->GetIndexes()->GetCount()) return;
  TORVIndexColumns* Columns = OwnerCursor->GetIndexes()->GetIndex(Active)->GetIndexColumns();
  SetCapacity(Columns->GetCount());
  for (int32_t Index = 0; Index < Columns->GetCount(); ++Index) {
    TORVIndexColumn* Column = Columns->GetIndexColumn(Index);
    Add(NewValueLike(FCharacterSet, *Column->GetSourceColumn(), Column->GetCollation()));
  }
}

int32_t TORVContainedCursorKeyValues::GetColumnCollation(int32_t Index) {
  TORVIndexColumn* Column = ActiveIndexColumn(*FCursor, Index);
  return Column != nullptr ? Column->GetCollation() : 0;
}

bool TORVContainedCursorKeyValues::GetColumnDescending(int32_t Index) {
  TORVIndexColumn* Column = ActiveIndexColumn(*FCursor, Index);
  return Column != nullptr && Column->GetDescending();
}

TORVContainedCursorColumnValues::TORVContainedCursorColumnValues(TORVCursorColumns* OwnerCursorColumns)
    : TORVValues(OwnerCursorColumns->GetCatalogCharacterSet()), FCursorColumns(OwnerCursorColumns) {
  SetCapacity(OwnerCursorColumns->GetCount());
  for (int32_t Index = 0; Index < OwnerCursorColumns->GetCount(); ++Index) {
    TORVColumn* Source = OwnerCursorColumns->GetCursorColumn(Index)->GetSourceColumn();
    Add(NewValueLike(FCharacterSet, *Source, Source->GetCollation()));
  }
}

// ---------------------------------------------------------------------------
// TORVCursorRow

TORVCursorRow::TORVCursorRow(TORVCursor* Owner, bool CreateComputedColumns)
    : FCursor(Owner), FBufferStream(std::make_unique<TORVMemoryStream>(Owner->GetCharacterSet())) {
  const int32_t RowSize = Owner->GetColumns()->GetRowsetRowSize();
  FBufferStream->SetSize(RowSize);
  std::memset(FBufferStream->GetMemory(), 0, static_cast<size_t>(RowSize));
  FValues = std::make_unique<TORVCursorRowValues>(this, Owner->GetColumns(), CreateComputedColumns);
  FValues->SetBufferStream(FBufferStream.get());
  FBookmarkValues = std::make_unique<TORVBookmarkValues>(this);
  ResetBookmarkValues();
  FKeyValues = std::make_unique<TORVCursorKeyValues>(this);
}

TORVCursorRow::~TORVCursorRow() = default;

void TORVCursorRow::ResetBookmarkValues() {
  FBookmarkValues->DeleteAll();
  TORVBookmarkColumns* Columns = FCursor->GetBookmarkColumns();
  for (int32_t Index = 0; Index < Columns->GetCount(); ++Index)
    FBookmarkValues->Add(FValues->GetItems(Columns->GetIndexColumn(Index)->GetSourceColumn()->GetPosition()));
}

void TORVCursorRow::Assign(TORVCursorRow& FromRow) {
  if (&FromRow == this) return;
  FNumber = FromRow.FNumber;
  FStatus = FromRow.FStatus;
  FVersion = FromRow.FVersion;
  FUpdateCounter = FromRow.FUpdateCounter;
  FInternalCounter = FromRow.FInternalCounter;
  FValues->Assign(*FromRow.FValues);
}

bool TORVCursorRow::Compare(TORVCursorRow& RowToCompare) {
  return FNumber == RowToCompare.FNumber && FStatus == RowToCompare.FStatus && FVersion == RowToCompare.FVersion &&
         FUpdateCounter == RowToCompare.FUpdateCounter && FInternalCounter == RowToCompare.FInternalCounter &&
         FValues->Compare(*RowToCompare.FValues, 0, false) == 0;
}

void TORVCursorRow::Initialize() { FValues->Clear(); }

void TORVCursorRow::CorruptRecordError(const TORVString& Detail) {
  RaiseError(ORV_CORRUPT_ERROR, {u"row", u"record", Detail});
}

void TORVCursorRow::Save(TORVMemoryStream& Stream, bool StreamModified, bool StreamBlobs) {
  Stream.WriteInteger(FNumber);
  Stream.WriteByte(FStatus);
  Stream.WriteInteger(FVersion);
  Stream.WriteInteger(FUpdateCounter);
  Stream.WriteInteger(FInternalCounter);
  FValues->Save(Stream, StreamModified);
  if (!StreamBlobs) return;
  std::vector<int32_t> Modified;
  for (int32_t Index = 0; Index < FValues->GetCount(); ++Index) {
    TORVRowValue* Value = FValues->GetRowValue(Index);
    if (Value->GetDataType() == dtLargeObject && Value->GetModified()) Modified.push_back(Index);
  }
  Stream.WriteInteger(static_cast<int32_t>(Modified.size()));
  for (const int32_t Index : Modified) {
    TORVMemoryStream* Contents = FValues->GetRowValue(Index)->GetBlobStream();
    const auto Size = static_cast<int32_t>(Contents != nullptr ? Contents->GetSize() : 0);
    Stream.WriteInteger(Index);
    Stream.WriteInteger(Size);
    if (Size > 0) Stream.Write(Contents->GetMemory(), Size);
  }
}

void TORVCursorRow::Load(TORVMemoryStream& Stream, bool StreamModified, bool StreamBlobs) {
  // The whole record is checked before the row changes, so a short or
  // damaged record leaves the row as it was.
  const int64_t Start = Stream.GetPosition();
  const int64_t SlotBytes = std::max<int64_t>(FBufferStream->GetSize() - RowHeaderSize, 0);
  const int64_t ValuesBytes = SlotBytes + (StreamModified ? FValues->GetCount() : 0);
  if (Stream.GetAvailable() < kRowRecordHeaderSize + ValuesBytes)
    CorruptRecordError(FormatString(u"%s bytes are needed but only %s follow",
                                    {IntToString(kRowRecordHeaderSize + ValuesBytes),
                                     IntToString(static_cast<int64_t>(Stream.GetAvailable()))}));
  if (StreamBlobs) {
    Stream.SetPosition(Start + kRowRecordHeaderSize + ValuesBytes);
    if (Stream.GetAvailable() < 4) CorruptRecordError(u"the count of large objects is missing");
    const int32_t Count = Stream.ReadInteger();
    if (Count < 0 || Count > FValues->GetCount())
      CorruptRecordError(FormatString(u"%s large objects for %s columns", {IntToString(Count), IntToString(FValues->GetCount())}));
    for (int32_t Entry = 0; Entry < Count; ++Entry) {
      if (Stream.GetAvailable() < 8) CorruptRecordError(u"a large-object entry is cut short");
      const int32_t Position = Stream.ReadInteger();
      const int32_t Size = Stream.ReadInteger();
      if (Position < 0 || Position >= FValues->GetCount() ||
          dynamic_cast<TORVStaticRowValue*>(FValues->GetItems(Position)) == nullptr ||
          FValues->GetRowValue(Position)->GetDataType() != dtLargeObject)
        CorruptRecordError(FormatString(u"the column %s holds no large object", {IntToString(Position)}));
      if (Size < 0 || Stream.GetAvailable() < Size)
        CorruptRecordError(FormatString(u"a large object of %s bytes cannot follow", {IntToString(Size)}));
      Stream.SetPosition(Stream.GetPosition() + Size);
    }
    Stream.SetPosition(Start);
  }
  FNumber = Stream.ReadInteger();
  FStatus = Stream.ReadByte();
  FVersion = Stream.ReadInteger();
  FUpdateCounter = Stream.ReadInteger();
  FInternalCounter = Stream.ReadInteger();
  FValues->Load(Stream, StreamModified);
  if (!StreamBlobs) return;
  const int32_t Count = Stream.ReadInteger();
  for (int32_t Entry = 0; Entry < Count; ++Entry) {
    const int32_t Position = Stream.ReadInteger();
    const int32_t Size = Stream.ReadInteger();
    static_cast<TORVStaticRowValue*>(FValues->GetItems(Position))->ReplaceBlobStream(Stream, Size);
  }
}

}  // namespace orv
