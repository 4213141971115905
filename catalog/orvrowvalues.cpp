#include "catalog/orvrowvalues.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string_view>

#include "base/orvassert.h"
#include "base/orverrors.h"
#include "catalog/orvcatalogexpr.h"
#include "catalog/orvcolumns.h"
#include "core/orvliteral.h"
#include "core/orvstrings.h"
#include "core/orvtypefunc.h"
#include "platform/orvplatformcodepage.h"
#include "sql/orvexpr.h"

namespace orv {

template class TORVImageValue<TORVRowValue, TORVStaticRowValue>;
template class TORVForwardValue<TORVRowValue, TORVComputedRowValue>;

// The expression of a computed row value: it borrows the tree of the
// column's compute expression and names itself as that expression does.
class TORVComputedRowValueExpr : public TORVExpr {
 public:
  TORVComputedRowValueExpr(TORVComputedRowValue* Owner, TORVExpr* ColumnExpr)
      : FOwner(Owner), FColumnExpr(ColumnExpr) {
    if (ColumnExpr != nullptr) Assign(ColumnExpr, true);
  }
  ~TORVComputedRowValueExpr() override { Clear(); }

  bool GetOwnsTokens() const override { return false; }
  TORVString GetTypeName() const override {
    return FColumnExpr != nullptr ? FColumnExpr->GetTypeName() : TORVExpr::GetTypeName();
  }
  TORVComputedRowValue* GetOwner() const { return FOwner; }

 private:
  TORVComputedRowValue* FOwner;
  TORVExpr* FColumnExpr;
};

namespace {

constexpr int32_t kCountSize = 2;
constexpr int32_t kBlobBlockOffset = 1;
constexpr int32_t kBlobSizeOffset = 5;

uint16_t ReadWordAt(const uint8_t* Data) {
  uint16_t Result;
  std::memcpy(&Result, Data, sizeof(Result));
  return Result;
}

int32_t ReadIntAt(const uint8_t* Data) {
  int32_t Result;
  std::memcpy(&Result, Data, sizeof(Result));
  return Result;
}

void WriteIntAt(uint8_t* Data, int32_t Value) { std::memcpy(Data, &Value, sizeof(Value)); }

void WriteWordAt(uint8_t* Data, int32_t Value) {
  const auto Word = static_cast<uint16_t>(Value);
  std::memcpy(Data, &Word, sizeof(Word));
}

}  // namespace

// ---------------------------------------------------------------------------
// TORVRowValue

TORVRowValue::TORVRowValue(TORVRowValues* Owner, TORVColumn* ColumnToUse)
    : TORVValue(Owner->GetCharacterSet()),
      FRowValues(Owner),
      FColumn(ColumnToUse),
      FOriginalCollation(ColumnToUse->GetCollation()) {
  TORVValue::SetDataType(ColumnToUse->GetDataType());
  TORVValue::SetSubType(ColumnToUse->GetSubType());
  TORVValue::SetScale(ColumnToUse->GetScale());
  TORVValue::SetCollation(ColumnToUse->GetCollation());
}

void TORVRowValue::RaiseColumnError(const TORVString& Detail) {
  RaiseError(ORV_VALUE_ERROR, {u"column", FColumn->GetName(), Detail});
}

void TORVRowValue::TruncationError(const TORVString& Value, bool IncludeValue) {
  RaiseColumnError(TruncationDetail(Value, IncludeValue));
}

void TORVRowValue::RangeError(const TORVString& Value, bool IncludeValue) {
  RaiseColumnError(RangeDetail(Value, IncludeValue));
}

void TORVRowValue::ConversionError(const TORVString& Value, bool IncludeValue) {
  RaiseColumnError(ConversionDetail(Value, IncludeValue));
}

void TORVRowValue::ReadOnlyError() { RaiseColumnError(u"The assignment target is read-only"); }

void TORVRowValue::CheckNotReadOnly() {
  if (FColumn->GetReadOnly()) ReadOnlyError();
}

void TORVRowValue::SetModified(bool Value) {
  if (FSettingModified) return;
  TORVFlagScope Setting(FSettingModified);
  FLastModified = FModified;
  FModified = Value;
  if (!Value) return;
  // The columns computed or generated from this one change with it.
  if (FColumn->GetHasReferencingColumns()) {
    TORVSelectedColumns* Referencing = FColumn->GetReferencingColumns();
    for (int32_t Index = 0; Index < Referencing->GetCount(); ++Index) {
      const int32_t Position = Referencing->GetColumn(Index)->GetPosition();
      if (Position < 0 || Position >= FRowValues->GetCount()) continue;
      TORVRowValue* Dependent = FRowValues->GetRowValue(Position);
      if (Dependent->GetColumn() == Referencing->GetColumn(Index)) Dependent->SetModified(true);
    }
  }
  FRowValues->SetListModified(true);
}

void TORVRowValue::Reset() {
  FModified = false;
  UnloadBlobStream();
}

void TORVRowValue::ResetCollation() { TORVValue::SetCollation(FOriginalCollation); }

// ---------------------------------------------------------------------------
// TORVStaticRowValueBlobMemoryStream

TORVStaticRowValueBlobMemoryStream::TORVStaticRowValueBlobMemoryStream(TORVStaticRowValue* RowValue,
                                                                       int32_t CharacterSetToUse)
    : TORVMemoryStream(CharacterSetToUse), FRowValue(RowValue) {}

void TORVStaticRowValueBlobMemoryStream::Changed() {
  if (!FLoading) FRowValue->ContentsChanged();
}

void TORVStaticRowValueBlobMemoryStream::SetSize(int64_t Value) {
  TORVMemoryStream::SetSize(Value);
  Changed();
}

int32_t TORVStaticRowValueBlobMemoryStream::Write(const TORVBytes& Buffer, int32_t Offset, int32_t Count) {
  const int32_t Result = TORVMemoryStream::Write(Buffer, Offset, Count);
  Changed();
  return Result;
}

int32_t TORVStaticRowValueBlobMemoryStream::Write(const uint8_t* Buffer, int32_t Count) {
  const int32_t Result = TORVMemoryStream::Write(Buffer, Count);
  if (Buffer != nullptr) Changed();
  return Result;
}

// ---------------------------------------------------------------------------
// TORVStaticRowValue

TORVStaticRowValue::TORVStaticRowValue(TORVRowValues* Owner, TORVColumn* ColumnToUse)
    : TORVImageValue(Owner, ColumnToUse) {
  FSlotOffset = ColumnToUse->GetRowOffset();
  FSlotSize = ColumnToUse->GetRowsetSize();
  if (HasContentsStream())
    FBlobStream = std::make_unique<TORVStaticRowValueBlobMemoryStream>(this, Owner->GetCharacterSet());
  // A computed column has no slot of its own: its RowOffset is the next
  // column's. Without a computed value it reads as NULL from a slot of its
  // own that nothing writes.
  if (ColumnToUse->GetComputed()) FPlaceholder.assign(static_cast<size_t>(FSlotSize), 0);
}

TORVStaticRowValue::~TORVStaticRowValue() = default;

int32_t TORVStaticRowValue::UnitSize() const { return FCharacterSet == CharacterSetUnicode ? 2 : 1; }

bool TORVStaticRowValue::IsVarying() const {
  return (FDataType == dtCharacter && FSubType == stVarChar) || (FDataType == dtBytes && FSubType == stVarByte);
}

bool TORVStaticRowValue::IsFixedText() const {
  return FDataType == dtCharacter && (FSubType == stChar || FSubType == stGUID);
}

bool TORVStaticRowValue::IsFixedBinary() const {
  return FDataType == dtBytes && (FSubType == stByte || FSubType == stGUID);
}

bool TORVStaticRowValue::HasContentsStream() const {
  return FDataType == dtCharacter || FDataType == dtBytes || FDataType == dtLargeObject;
}

// The slot in the bound buffer. A buffer that does not hold the slot is a
// broken contract of the row's owner, never something input can cause.
uint8_t* TORVStaticRowValue::Slot() {
  if (!FPlaceholder.empty()) return FPlaceholder.data();
  TORVMemoryStream* Buffer = FRowValues->GetBufferStream();
  if (Buffer == nullptr || FSlotOffset < RowHeaderSize || Buffer->GetSize() < FSlotOffset + FSlotSize)
    throw std::logic_error("row value read or written outside its row buffer");
  return Buffer->GetMemory() + FSlotOffset;
}

void TORVStaticRowValue::CheckWritable() {
  if (!FPlaceholder.empty()) ReadOnlyError();
}

void TORVStaticRowValue::Changed() { SetModified(true); }

// The count of a VarChar or VarByte slot, never more than the slot holds.
int32_t TORVStaticRowValue::ReadCount() {
  const int32_t Count = ReadWordAt(Slot() + 1);
  const int32_t Unit = FDataType == dtCharacter ? UnitSize() : 1;
  return std::min(Count, (FSlotSize - 1 - kCountSize) / Unit);
}

void TORVStaticRowValue::TextRange(const uint8_t*& Data, int32_t& ByteCount) {
  if (FDataType == dtLargeObject) {
    LoadBlobStream();
    Data = FBlobStream->GetMemory();
    ByteCount = static_cast<int32_t>(FBlobStream->GetSize());
    if (Data == nullptr) ByteCount = 0;
    return;
  }
  const uint8_t* SlotData = Slot();
  if (IsVarying()) {
    const int32_t Unit = FDataType == dtCharacter ? UnitSize() : 1;
    Data = SlotData + 1 + kCountSize;
    ByteCount = ReadCount() * Unit;
    return;
  }
  Data = SlotData + 1;
  ByteCount = FSlotSize - 1;
}

// A slot too small for the type reads as zero.
const uint8_t* TORVStaticRowValue::NativeImage(int32_t Size) {
  return FSlotSize >= Size + 1 ? Slot() + 1 : nullptr;
}

void TORVStaticRowValue::WriteNativeImage(const uint8_t* Image, int32_t Size) {
  CheckWritable();
  if (FSlotSize < Size + 1) throw std::logic_error("row value image larger than its slot");
  std::memcpy(Slot() + 1, Image, static_cast<size_t>(Size));
  Changed();
}

bool TORVStaticRowValue::GetNull() { return Slot()[0] == 0; }

void TORVStaticRowValue::SetNull(bool Value) {
  // A placeholder is NULL already; it can never hold a value.
  if (!FPlaceholder.empty()) {
    if (!Value) ReadOnlyError();
    return;
  }
  Slot()[0] = Value ? 0 : 1;
  Changed();
}

int32_t TORVStaticRowValue::GetLength() {
  if (IsVarying()) return ReadCount();
  if (IsFixedText() || IsFixedBinary()) return FColumn->GetLength();
  if (FDataType == dtLargeObject) {
    LoadBlobStream();
    const auto Size = static_cast<int32_t>(FBlobStream->GetSize());
    return FSubType == stClob ? Size / UnitSize() : Size;
  }
  return 0;
}

int32_t TORVStaticRowValue::GetSize() {
  if (FDataType == dtLargeObject) {
    LoadBlobStream();
    return static_cast<int32_t>(FBlobStream->GetSize());
  }
  return FColumn->GetSize();
}

TORVMemoryStream* TORVStaticRowValue::GetBlob() { return GetBlobStream(); }

TORVMemoryStream* TORVStaticRowValue::GetBlobStream() {
  LoadBlobStream();
  return FBlobStream.get();
}

// ---------------------------------------------------------------------------
// Writing primitives

// The ANSI bytes of the longest prefix of Text, at most Count characters,
// that fit in MaxBytes. A double-byte code page can need more than one byte
// per character, so the fit is found on the encoded text and never splits
// a character.
void TORVStaticRowValue::EncodeFitting(std::u16string_view Text, int32_t MaxBytes, int32_t& Count) {
  FImage.clear();
  if (FCharacterSet == CharacterSetUnicode) {
    Count = std::min<int32_t>(static_cast<int32_t>(Text.size()), MaxBytes / 2);
    FImage.resize(static_cast<size_t>(Count) * 2);
    if (Count > 0) std::memcpy(FImage.data(), Text.data(), FImage.size());
    return;
  }
  auto Encoded = [&](int32_t Units) { return MapStringToAnsi(Text.substr(0, static_cast<size_t>(Units)), FCodePage); };
  Count = static_cast<int32_t>(Text.size());
  TORVAnsiString Bytes = Encoded(Count);
  if (static_cast<int32_t>(Bytes.size()) > MaxBytes) {
    int32_t Low = 0;
    int32_t High = Count - 1;
    while (Low < High) {
      const int32_t Mid = Low + (High - Low + 1) / 2;
      if (static_cast<int32_t>(Encoded(Mid).size()) <= MaxBytes)
        Low = Mid;
      else
        High = Mid - 1;
    }
    Count = Low;
    Bytes = Encoded(Count);
  }
  FImage.assign(Bytes.begin(), Bytes.end());
}

// Writes ByteCount bytes at Data into the slot's data part after the count
// (VarChar, VarByte) or padded to the slot (fixed subtypes).
void TORVStaticRowValue::WriteSlotData(const uint8_t* Data, int32_t ByteCount, int32_t Count, uint8_t Pad) {
  uint8_t* SlotData = Slot();
  if (IsVarying()) {
    ORV_ASSERT(ByteCount <= FSlotSize - 1 - kCountSize);
    WriteWordAt(SlotData + 1, Count);
    if (ByteCount > 0)
      std::memcpy(SlotData + 1 + kCountSize, Data,
                  static_cast<size_t>(std::min(ByteCount, FSlotSize - 1 - kCountSize)));
  } else {
    const int32_t Room = FSlotSize - 1;
    const int32_t Used = std::min(ByteCount, Room);
    if (Used > 0) std::memcpy(SlotData + 1, Data, static_cast<size_t>(Used));
    if (FCharacterSet == CharacterSetUnicode && FDataType == dtCharacter && Pad == 0x20) {
      for (int32_t Index = Used; Index + 1 < Room; Index += 2) {
        SlotData[1 + Index] = 0x20;
        SlotData[2 + Index] = 0x00;
      }
    } else if (Room > Used) {
      std::memset(SlotData + 1 + Used, Pad, static_cast<size_t>(Room - Used));
    }
  }
  // A copy of the old slot in the contents stream would now be stale.
  if (FBlobStreamLoaded) {
    FBlobStream->SetLoading(true);
    FBlobStream->SetSize(0);
    FBlobStream->SetLoading(false);
    FBlobStreamLoaded = false;
  }
  Changed();
}

void TORVStaticRowValue::WriteBlobContents(const uint8_t* Data, int32_t ByteCount) {
  FBlobStream->SetLoading(true);
  FBlobStream->SetSize(0);
  if (ByteCount > 0) FBlobStream->Write(Data, ByteCount);
  FBlobStream->SetPosition(0);
  FBlobStream->SetLoading(false);
  FBlobStreamLoaded = true;
  WriteIntAt(Slot() + kBlobSizeOffset, ByteCount);
  Changed();
}

void TORVStaticRowValue::SetString(const TORVString& Value) {
  CheckWritable();
  if (FDataType == dtLargeObject) {
    int32_t Count = 0;
    EncodeFitting(Value, INT32_MAX, Count);
    WriteBlobContents(FImage.data(), static_cast<int32_t>(FImage.size()));
    return;
  }
  if (FDataType != dtCharacter) return;
  const int32_t Length = FColumn->GetLength();
  // The slot was laid out in the columns' character set, which need not be
  // this value's: never more than the slot holds.
  const int32_t Room = std::min(Length * UnitSize(), FSlotSize - 1 - (IsVarying() ? kCountSize : 0));
  if (IsFixedText()) {
    // Exactly the defined length, blank-padded or cut; never an error.
    int32_t Count = 0;
    EncodeFitting(std::u16string_view(Value).substr(0, static_cast<size_t>(std::max(Length, 0))), Room, Count);
    WriteSlotData(FImage.data(), static_cast<int32_t>(FImage.size()), Count, 0x20);
    return;
  }
  // Trailing blanks beyond the column's length are dropped silently; any
  // other excess is an error unless truncation errors are off.
  const int32_t Trimmed = TrimmedStringLength(Value);
  if (FRowValues->GetRaiseTruncationErrors() && Length < Trimmed) RaiseTruncationError(Value, true);
  const std::u16string_view Text =
      std::u16string_view(Value).substr(0, static_cast<size_t>(std::min<int32_t>(Length, static_cast<int32_t>(Value.size()))));
  int32_t Count = 0;
  EncodeFitting(Text, Room, Count);
  // A double-byte code page may need more bytes than the slot holds even
  // for text within the column's length.
  if (Count < std::min<int32_t>(Trimmed, static_cast<int32_t>(Text.size())) && FRowValues->GetRaiseTruncationErrors())
    RaiseTruncationError(Value, true);
  const auto ByteCount = static_cast<int32_t>(FImage.size());
  WriteSlotData(FImage.data(), ByteCount, FCharacterSet == CharacterSetUnicode ? Count : ByteCount, 0x20);
}

void TORVStaticRowValue::SetBytes(const TORVBytes& Value) {
  CheckWritable();
  const auto ByteCount = static_cast<int32_t>(Value.size());
  if (FDataType == dtLargeObject) {
    WriteBlobContents(Value.data(), ByteCount);
    return;
  }
  if (FDataType != dtCharacter && FDataType != dtBytes) return;
  if (IsFixedText() || IsFixedBinary()) {
    WriteSlotData(Value.data(), ByteCount, 0, 0);
    return;
  }
  const int32_t Unit = FDataType == dtCharacter ? UnitSize() : 1;
  // UTF-16 text is whole units; an odd byte would be lost.
  if (ByteCount % Unit != 0) RaiseConversionError(BinaryToSQLStr(Value), true);
  int32_t Count = ByteCount / Unit;
  if (Count > FColumn->GetLength()) {
    if (FRowValues->GetRaiseTruncationErrors()) RaiseTruncationError(BinaryToSQLStr(Value), true);
    Count = FColumn->GetLength();
  }
  WriteSlotData(Value.data(), Count * Unit, Count, 0);
}

void TORVStaticRowValue::SetBlob(TORVStream* Stream, int32_t Count) {
  CheckWritable();
  if (FDataType != dtLargeObject) return;
  LoadBlobStream();
  FBlobStream->SetLoading(true);
  FBlobStream->SetSize(Count);
  if (Stream != nullptr) {
    // Count bytes from Stream's position, or all of Stream when Count is 0;
    // the contents are what actually arrived.
    const int32_t Read = FBlobStream->LoadFromStream(*Stream, Count);
    FBlobStream->SetSize(Read);
  }
  FBlobStream->SetPosition(0);
  FBlobStream->SetLoading(false);
  WriteIntAt(Slot() + kBlobSizeOffset, static_cast<int32_t>(FBlobStream->GetSize()));
  Changed();
}

void TORVStaticRowValue::Clear() {
  if (FPlaceholder.empty()) TORVValue::Clear();
}

void TORVStaticRowValue::Assign(TORVValue& FromValue) {
  if (!FPlaceholder.empty()) {
    // A NULL assignment leaves the placeholder as it is.
    if (FromValue.GetNull()) return;
    ReadOnlyError();
  }
  TORVValue::Assign(FromValue);
  Changed();
}

// ---------------------------------------------------------------------------
// Contents stream and large-object reference

int32_t TORVStaticRowValue::GetBlobBlockNumber() {
  return FDataType == dtLargeObject ? ReadIntAt(Slot() + kBlobBlockOffset) : 0;
}

void TORVStaticRowValue::SetBlobBlockNumber(int32_t Value) {
  if (FDataType == dtLargeObject && FPlaceholder.empty()) WriteIntAt(Slot() + kBlobBlockOffset, Value);
}

int32_t TORVStaticRowValue::GetBlobSize() {
  return FDataType == dtLargeObject ? ReadIntAt(Slot() + kBlobSizeOffset) : 0;
}

void TORVStaticRowValue::SetBlobSize(int32_t Value) {
  if (FDataType == dtLargeObject && FPlaceholder.empty()) WriteIntAt(Slot() + kBlobSizeOffset, Value);
}

void TORVStaticRowValue::LoadBlobStream() {
  if (FBlobStreamLoaded || FBlobStream == nullptr) return;
  TORVStaticRowValueBlobMemoryStream& Contents = *FBlobStream;
  Contents.SetLoading(true);
  struct TLoadingScope {
    TORVStaticRowValueBlobMemoryStream& Stream;
    ~TLoadingScope() { Stream.SetLoading(false); }
  } Loading{Contents};
  const uint8_t* SlotData = Slot();
  const bool Present = SlotData[0] != 0;
  Contents.SetSize(0);
  if (FDataType == dtLargeObject) {
    const int32_t BlockNumber = ReadIntAt(SlotData + kBlobBlockOffset);
    const int32_t Size = ReadIntAt(SlotData + kBlobSizeOffset);
    if (Present && BlockNumber > 0) {
      if (Size < 0) RaiseError(ORV_CORRUPT_ERROR, {u"column", FColumn->GetName(), u"The large-object size is negative"});
      // The reader sizes the contents from the chain, whose total it checks
      // against the blocks the file holds: the slot's size, which a damaged
      // row may set to anything, allocates nothing.
      if (Size > 0) {
        Contents.SetPosition(0);
        FRowValues->ReadBlobStream(BlockNumber, Contents, FColumn->GetBlobCompression() > 0);
      }
    }
  } else if (Present) {
    const uint8_t* Data = nullptr;
    int32_t ByteCount = 0;
    TextRange(Data, ByteCount);
    if (ByteCount > 0) Contents.Write(Data, ByteCount);
  }
  FBlobStreamLoaded = true;
  Contents.SetPosition(0);
}

void TORVStaticRowValue::ContentsChanged() {
  SetModified(true);
  SetNull(false);
  // The slot of a large object reports the size of what it now holds.
  if (FDataType == dtLargeObject) WriteIntAt(Slot() + kBlobSizeOffset, static_cast<int32_t>(FBlobStream->GetSize()));
}

void TORVStaticRowValue::ReplaceBlobStream(TORVMemoryStream& Source, int32_t Size) {
  if (FBlobStream == nullptr) return;
  FBlobStream->SetLoading(true);
  FBlobStream->SetSize(Size);
  FBlobStream->SetPosition(0);
  if (Size > 0) FBlobStream->CopyFromStream(Source, Size);
  FBlobStream->SetPosition(0);
  FBlobStream->SetLoading(false);
  FBlobStreamLoaded = true;
}

void TORVStaticRowValue::SaveBlobStream(int32_t RowVersion) {
  if (FDataType != dtLargeObject || !FBlobStreamLoaded || !FModified || !FPlaceholder.empty()) return;
  uint8_t* SlotData = Slot();
  int32_t BlockNumber = ReadIntAt(SlotData + kBlobBlockOffset);
  int32_t CompressedSize = 0;
  FRowValues->WriteBlobStream(RowVersion, BlockNumber, *FBlobStream, FColumn->GetBlobCompression(), CompressedSize);
  SlotData = Slot();
  WriteIntAt(SlotData + kBlobBlockOffset, BlockNumber);
  WriteIntAt(SlotData + kBlobSizeOffset, CompressedSize);
}

void TORVStaticRowValue::UnloadBlobStream() {
  if (FBlobStream == nullptr || !FBlobStreamLoaded || FModified || FColumn->GetID() <= 0) return;
  FBlobStreamLoaded = false;
  FBlobStream->SetLoading(true);
  FBlobStream->SetSize(0);
  FBlobStream->SetLoading(false);
}

// ---------------------------------------------------------------------------
// TORVComputedRowValue

TORVComputedRowValue::TORVComputedRowValue(TORVRowValues* Owner, TORVColumn* ColumnToUse)
    : TORVForwardValue(Owner, ColumnToUse),
      FExpr(std::make_unique<TORVComputedRowValueExpr>(this, ColumnToUse->GetComputeExpr())),
      FValue(std::make_unique<TORVContainedRowExprValue>(Owner->GetCharacterSet())) {
  FValue->SetRaiseTruncationErrors(false);
  FValue->SetDataType(ColumnToUse->GetDataType());
  FValue->SetSubType(ColumnToUse->GetSubType());
  FValue->SetLength(ColumnToUse->GetLength());
  FValue->SetScale(ColumnToUse->GetScale());
  FValue->SetCollation(FCollation);
}

TORVComputedRowValue::~TORVComputedRowValue() = default;

void TORVComputedRowValue::SetEvaluated(bool Value) {
  if (FEvaluating || FLoading || Value == FEvaluated) return;
  if (Value) {
    TORVFlagScope Evaluating(FEvaluating);
    // The column's tree as it is now: compiling the column again replaces
    // the tree this expression borrows.
    if (TORVExpr* ColumnExpr = FColumn->GetComputeExpr()) FExpr->Assign(ColumnExpr, true);
    FRowValues->Evaluate(FExpr->FTokens, *FValue);
    FBlobPositioned = false;
  }
  FEvaluated = Value;
}

TORVValue& TORVComputedRowValue::Evaluated() {
  SetEvaluated(true);
  return *FValue;
}

TORVMemoryStream* TORVComputedRowValue::PositionedBlob() {
  TORVMemoryStream* Blob = Evaluated().GetBlob();
  if (!FBlobPositioned && Blob != nullptr) {
    Blob->SetPosition(0);
    FBlobPositioned = true;
  }
  return Blob;
}

TORVMemoryStream* TORVComputedRowValue::GetBlob() { return PositionedBlob(); }
TORVMemoryStream* TORVComputedRowValue::GetBlobStream() { return PositionedBlob(); }

TORVValue* TORVComputedRowValue::WriteTarget() { return FLoading ? FValue.get() : nullptr; }

void TORVComputedRowValue::Assign(TORVValue& /*FromValue*/) {}

void TORVComputedRowValue::Load(TORVMemoryStream& Stream) {
  {
    TORVFlagScope Loading(FLoading);
    TORVValue::Load(Stream);
  }
  FEvaluated = true;
  FBlobPositioned = false;
}

void TORVComputedRowValue::SetModified(bool Value) {
  SetEvaluated(false);
  TORVRowValue::SetModified(Value);
}

void TORVComputedRowValue::Reset() {
  SetEvaluated(false);
  TORVRowValue::Reset();
}

// ---------------------------------------------------------------------------
// TORVRowValues

TORVRowValues::TORVRowValues(int32_t CharacterSetToUse, TORVColumns* ColumnsToUse, bool CreateComputed)
    : TORVValues(CharacterSetToUse, true), FColumns(ColumnsToUse), FCreateComputedColumns(CreateComputed) {
  // A constructor reaches only this class's operation; a subclass that makes
  // other values makes them again after construction.
  TORVRowValues::CreateValueObjects();
}

TORVValue* TORVRowValues::CreateValueObject(int32_t Index) {
  TORVColumn* Column = FColumns->GetColumn(Index);
  if (Column->GetComputed() && FCreateComputedColumns) return new TORVComputedRowValue(this, Column);
  return new TORVStaticRowValue(this, Column);
}

void TORVRowValues::CreateValueObjects() {
  SetCapacity(0);
  SetCapacity(FColumns->GetCount());
  for (int32_t Index = 0; Index < FColumns->GetCount(); ++Index) Add(CreateValueObject(Index));
}

TORVRowValue* TORVRowValues::GetRowValue(int32_t Index) const { return static_cast<TORVRowValue*>(GetItems(Index)); }

void TORVRowValues::SetBufferStream(TORVMemoryStream* Stream) {
  FBufferStream = Stream;
  Reset();
}

void TORVRowValues::Reset() {
  for (int32_t Index = 0; Index < FCount; ++Index) GetRowValue(Index)->Reset();
  FModified = false;
}

void TORVRowValues::SetModified(bool Value) {
  for (int32_t Index = 0; Index < FCount; ++Index) GetRowValue(Index)->SetModified(Value);
  FModified = Value;
}

void TORVRowValues::Clear() {
  if (FBufferStream != nullptr && FBufferStream->GetSize() > 0)
    std::memset(FBufferStream->GetMemory(), 0, static_cast<size_t>(FBufferStream->GetSize()));
  Reset();
}

namespace {

// The column slots of a buffer: everything after the row header.
int64_t SlotBytes(const TORVMemoryStream* Buffer) {
  return Buffer == nullptr ? 0 : std::max<int64_t>(Buffer->GetSize() - RowHeaderSize, 0);
}

}  // namespace

void TORVRowValues::Assign(TORVValues& FromValues) {
  auto* From = dynamic_cast<TORVRowValues*>(&FromValues);
  if (From == nullptr) {
    TORVValues::Assign(FromValues);
    return;
  }
  if (From == this) return;
  Reset();
  const int64_t Count = std::min(SlotBytes(FBufferStream), SlotBytes(From->FBufferStream));
  if (Count > 0)
    std::memmove(FBufferStream->GetMemory() + RowHeaderSize, From->FBufferStream->GetMemory() + RowHeaderSize,
                 static_cast<size_t>(Count));
}

int32_t TORVRowValues::Compare(TORVValues& ValuesToCompare, int32_t PartialLength, bool CaseInsensitive) {
  const int32_t Count = std::min(FCount, ValuesToCompare.GetCount());
  const int32_t Last = ValuesToCompare.GetCount() - 1;
  for (int32_t Index = 0; Index < Count; ++Index) {
    TORVRowValue& Value = *GetRowValue(Index);
    if (Value.GetColumn()->GetHidden()) continue;
    TORVValue& Other = *ValuesToCompare.GetItems(Index);
    const int32_t Result =
        CompareListMember(Value, Other, Index == Last, PartialLength, CaseInsensitive, Value.GetCollation());
    if (Result != 0) return Result;
  }
  return 0;
}

int32_t TORVRowValues::Compare(TORVValues& ValuesToCompare, int32_t PartialLength, bool CaseInsensitive,
                               TORVColumns& ColumnsToCompare) {
  const int32_t Count = std::min(ColumnsToCompare.GetCount(), ValuesToCompare.GetCount());
  const int32_t Last = ColumnsToCompare.GetCount() - 1;
  for (int32_t Index = 0; Index < Count; ++Index) {
    TORVValue& Value = *GetItems(ColumnsToCompare.GetColumn(Index)->GetPosition());
    TORVValue& Other = *ValuesToCompare.GetItems(Index);
    const int32_t Result =
        CompareListMember(Value, Other, Index == Last, PartialLength, CaseInsensitive, Value.GetCollation());
    if (Result != 0) return Result;
  }
  return 0;
}

void TORVRowValues::Save(TORVMemoryStream& Stream, bool StreamModified) {
  const int64_t Count = SlotBytes(FBufferStream);
  if (Count > 0) Stream.Write(FBufferStream->GetMemory() + RowHeaderSize, static_cast<int32_t>(Count));
  if (!StreamModified) return;
  for (int32_t Index = 0; Index < FCount; ++Index) Stream.WriteBoolean(GetRowValue(Index)->GetModified());
}

void TORVRowValues::Load(TORVMemoryStream& Stream, bool StreamModified) {
  const int64_t Count = SlotBytes(FBufferStream);
  // The whole record is checked before anything changes.
  const int64_t Needed = Count + (StreamModified ? FCount : 0);
  if (Stream.GetAvailable() < Needed)
    CorruptStreamError(FormatString(u"%s bytes of row values are needed but only %s follow",
                                    {IntToString(Needed), IntToString(static_cast<int64_t>(Stream.GetAvailable()))}));
  Reset();
  if (Count > 0) Stream.Read(FBufferStream->GetMemory() + RowHeaderSize, static_cast<int32_t>(Count));
  if (!StreamModified) return;
  for (int32_t Index = 0; Index < FCount; ++Index) {
    const bool Flag = Stream.ReadBoolean();
    TORVRowValue* Value = GetRowValue(Index);
    if (Value->GetColumn()->GetComputed() || Value->GetColumn()->GetGenerated()) continue;
    Value->SetModified(Flag);
  }
}

void TORVRowValues::LoadBlobStreams() {
  for (int32_t Index = 0; Index < FCount; ++Index) {
    TORVRowValue* Value = GetRowValue(Index);
    if (Value->GetDataType() == dtLargeObject) Value->LoadBlobStream();
  }
}

void TORVRowValues::SaveBlobStreams(int32_t RowVersion) {
  for (int32_t Index = 0; Index < FCount; ++Index) {
    TORVRowValue* Value = GetRowValue(Index);
    if (Value->GetDataType() == dtLargeObject) Value->SaveBlobStream(RowVersion);
  }
}

void TORVRowValues::UnloadBlobStreams() {
  for (int32_t Index = 0; Index < FCount; ++Index) GetRowValue(Index)->UnloadBlobStream();
}

void TORVRowValues::SetBlobBlockNumbers(TORVRowValues& NewValues) {
  const int32_t Count = std::min(FCount, NewValues.GetCount());
  for (int32_t Index = 0; Index < Count; ++Index) {
    TORVRowValue* Value = GetRowValue(Index);
    if (Value->GetDataType() == dtLargeObject)
      Value->SetBlobBlockNumber(NewValues.GetRowValue(Index)->GetBlobBlockNumber());
  }
}

void TORVRowValues::ClearBlobBlockNumbers() {
  for (int32_t Index = 0; Index < FCount; ++Index) {
    TORVRowValue* Value = GetRowValue(Index);
    if (Value->GetDataType() == dtLargeObject) Value->SetBlobBlockNumber(0);
  }
}

}  // namespace orv
