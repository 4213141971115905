#include "tests/support/orvrowfakes.h"

#include <cstring>

#include "catalog/orvcursorcolumns.h"
#include "catalog/orvcursorrow.h"
#include "core/orvstream.h"
#include "core/orvtypefunc.h"

namespace orv {

TORVColumn* AddTestColumn(TORVColumns& Columns, const TORVString& Name, int32_t DataType, int32_t SubType,
                          int32_t Length, int32_t ID) {
  std::unique_ptr<TORVColumn> Column(static_cast<TORVColumn*>(Columns.GetNewObject()));
  Column->SetName(Name);
  Column->SetID(ID);
  Column->SetDataType(DataType);
  Column->SetSubType(SubType);
  if (Length != 0) Column->SetLength(Length);
  Columns.Add(Column.get());
  return Column.release();
}

TORVColumn* AddComputedColumn(TORVColumns& Columns, const TORVString& Name, int32_t DataType, int32_t ID) {
  std::unique_ptr<TORVColumn> Column(static_cast<TORVColumn*>(Columns.GetNewObject()));
  Column->SetName(Name);
  Column->SetID(ID);
  Column->SetDataType(DataType);
  Column->SetComputed(true);
  Columns.Add(Column.get());
  return Column.release();
}

void AddLayoutColumns(TORVColumns& Columns) {
  AddTestColumn(Columns, u"ID", dtInteger, 0, 0, 1);
  AddTestColumn(Columns, u"Name", dtCharacter, stVarChar, 10, 2);
  AddTestColumn(Columns, u"Notes", dtLargeObject, stBlob, 0, 3);
  AddTestColumn(Columns, u"Flags", dtSmallInt, 0, 0, 4);
}

TORVBytes StreamBytes(const TORVMemoryStream& Stream) {
  return TORVBytes(Stream.GetMemory(), Stream.GetMemory() + Stream.GetSize());
}

TORVBytes BufferSlice(const TORVMemoryStream& Stream, int32_t Offset, int32_t Count) {
  return TORVBytes(Stream.GetMemory() + Offset, Stream.GetMemory() + Offset + Count);
}

TFakeRowValues::TFakeRowValues(int32_t CharacterSet, TORVColumns* Columns, bool CreateComputed)
    : TORVRowValues(CharacterSet, Columns, CreateComputed) {}

void TFakeRowValues::ReadBlobStream(int32_t BlockNumber, TORVMemoryStream& BlobStream, bool /*Decompress*/) {
  ++BlobReads;
  const TORVBytes& Stored = BlobStore.at(BlockNumber);
  BlobStream.SetSize(static_cast<int64_t>(Stored.size()));
  BlobStream.SetPosition(0);
  BlobStream.Write(Stored.data(), static_cast<int32_t>(Stored.size()));
}

void TFakeRowValues::WriteBlobStream(int32_t /*RowVersion*/, int32_t& BlockNumber, TORVMemoryStream& BlobStream,
                                     int32_t /*BlobCompression*/, int32_t& CompressedSize) {
  if (BlockNumber == 0) BlockNumber = NextBlock++;
  BlobStore[BlockNumber] = StreamBytes(BlobStream);
  CompressedSize = static_cast<int32_t>(BlobStream.GetSize());
}

void TFakeRowValues::Evaluate(TORVExprToken* Tokens, TORVValue& Value) {
  ++Evaluations;
  if (OnTokens) OnTokens(Tokens);
  if (Evaluator) Evaluator(*this, Value);
}

TTestRow::TTestRow(int32_t CharacterSet, TORVColumns& Columns, bool CreateComputed)
    : Buffer(std::make_unique<TORVMemoryStream>(CharacterSet)),
      Values(std::make_unique<TFakeRowValues>(CharacterSet, &Columns, CreateComputed)) {
  Buffer->SetSize(Columns.GetRowsetRowSize());
  std::memset(Buffer->GetMemory(), 0, static_cast<size_t>(Columns.GetRowsetRowSize()));
  Values->SetBufferStream(Buffer.get());
}

// ---------------------------------------------------------------------------
// TFakeNavigator

bool TFakeNavigator::RowValid(int32_t RowNumber, int32_t Direction, bool& StopScan) {
  ++ValidCalls;
  StopScan = RowNumber == StopAt && (StopDirection == 0 || StopDirection == Direction);
  return !StopScan && RowNumber >= 1 && RowNumber <= GetRowCount() && FValid[static_cast<size_t>(RowNumber - 1)];
}

bool TFakeNavigator::GotoNumber(int32_t NewNumber, int32_t /*Direction*/, bool& /*FoundChanges*/) {
  Current = NewNumber;
  FBOF = false;
  FEOF = false;
  return true;
}

bool TFakeNavigator::Next(bool& FoundChanges) {
  if (Current >= GetRowCount()) {
    FEOF = true;
    return false;
  }
  ++Current;
  FBOF = false;
  FoundChanges = Current == ChangesAt;
  return true;
}

bool TFakeNavigator::Prior(bool& FoundChanges) {
  if (Current <= 1) {
    FBOF = true;
    return false;
  }
  --Current;
  FEOF = false;
  FoundChanges = Current == ChangesAt;
  return true;
}

// ---------------------------------------------------------------------------
// TFakeCursor

TFakeCursor::TFakeCursor(int32_t CharacterSet, bool ReadOnly) : TORVCursor(u"cust", CharacterSet, ReadOnly, false) {}

void TFakeCursor::AppendRow(TORVCursorRow& Row) {
  auto Record = std::make_unique<TORVMemoryStream>(FCharacterSet);
  Row.Save(*Record, false, false);
  FRows.push_back(std::move(Record));
}

void TFakeCursor::SetActiveIndex(int32_t Value) {
  TORVCursor::SetActiveIndex(Value);
  if (Value >= 0 && Value < GetIndexes()->GetCount()) FActive = Value;
}

int32_t TFakeCursor::GetRowNumber() {
  return FCurrent >= 0 && FCurrent < static_cast<int32_t>(FRows.size()) ? FCurrent + 1 : 0;
}

void TFakeCursor::InternalGetCurrentRow(TORVCursorRow& Row) {
  TORVMemoryStream& Record = *FRows.at(static_cast<size_t>(FCurrent));
  Record.SetPosition(0);
  Row.Load(Record, false, false);
}

void TFakeCursor::InternalNext() {
  if (FCurrent < static_cast<int32_t>(FRows.size())) ++FCurrent;
}

void TFakeCursor::InternalPrior() {
  if (FCurrent >= 0) --FCurrent;
}

void TFakeCursor::Evaluate(TORVExprToken* /*Tokens*/, TORVRowValues& RowValues, TORVValue& Value) {
  if (Evaluator) Evaluator(RowValues, Value);
}

}  // namespace orv
