#include "storage/orvindexkey.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "catalog/orvcolumns.h"
#include "catalog/orvindexes.h"
#include "core/orvbitmap.h"
#include "core/orvcharset.h"
#include "core/orvtypefunc.h"
#include "platform/orvplatformcodepage.h"
#include "storage/orvindexpage.h"
#include "storage/orvpageimage.h"

namespace orv {

template class TORVImageValue<TORVValue, TORVIndexKeyValue>;

namespace {

constexpr int32_t kCountSize = 2;

TORVIndexColumn& IndexColumn(TORVIndex& Index, int32_t Position) {
  return *Index.GetIndexColumns()->GetIndexColumn(Position);
}

}  // namespace

int32_t CalculateIndexKeySize(TORVIndex& Index, int32_t CharacterSet) {
  if (Index.GetIndexType() == itTextIndex) return CharSize(CharacterSet) * Index.GetTextWordLength() + 3;
  int32_t Result = 0;
  TORVIndexColumns& Columns = *Index.GetIndexColumns();
  for (int32_t Position = 0; Position < Columns.GetCount(); ++Position)
    Result += Columns.GetIndexColumn(Position)->GetSourceColumn()->GetIndexSize();
  return Result;
}

// ---------------------------------------------------------------------------
// TORVIndexKeyValue

TORVIndexKeyValue::TORVIndexKeyValue(TORVIndexKey* Owner, int32_t BindPosition, int32_t BindOffset)
    : TORVImageValue(Owner->GetCharacterSet()), FIndexKey(Owner), FKeyPosition(BindPosition), FKeyOffset(BindOffset) {
  TORVIndex& Index = *Owner->GetOwnerIndex();
  TORVIndexColumn& Column = IndexColumn(Index, BindPosition);
  if (Index.GetIndexType() == itTextIndex) {
    // One word; its size holds the count and the characters, so that it
    // matches the key size under either character set.
    TORVValue::SetDataType(dtCharacter);
    TORVValue::SetSubType(stVarChar);
    FColumnLength = Index.GetTextWordLength();
    FColumnSize = CharSize(FCharacterSet) * FColumnLength + kCountSize;
  } else {
    FColumn = Column.GetSourceColumn();
    if (FColumn == nullptr) throw std::logic_error("index key column without a source column");
    TORVValue::SetDataType(FColumn->GetDataType());
    TORVValue::SetSubType(FColumn->GetSubType());
    TORVValue::SetScale(FColumn->GetScale());
    FColumnLength = FColumn->GetLength();
    FColumnSize = FColumn->GetSize();
  }
  TORVValue::SetCollation(Column.GetCollation());
}

uint8_t* TORVIndexKeyValue::Data() { return FIndexKey->PageData(FIndexKey->GetPageOffset() + FKeyOffset, FColumnSize + 1); }

bool TORVIndexKeyValue::IsVarying() const {
  return (FDataType == dtCharacter && FSubType == stVarChar) || (FDataType == dtBytes && FSubType == stVarByte);
}

bool TORVIndexKeyValue::IsFixed() const {
  return (FDataType == dtCharacter || FDataType == dtBytes) && !IsVarying();
}

int32_t TORVIndexKeyValue::UnitSize() const {
  return FDataType == dtCharacter && FCharacterSet == CharacterSetUnicode ? 2 : 1;
}

bool TORVIndexKeyValue::GetNull() { return Data()[0] == 0; }

void TORVIndexKeyValue::SetNull(bool Value) { Data()[0] = Value ? 0 : 1; }

// The stored count never reaches past the value's bytes, whatever the page
// holds.
const uint8_t* TORVIndexKeyValue::Run(int32_t& ByteCount, int32_t& Units) {
  const uint8_t* Value = Data() + 1;
  const int32_t Unit = UnitSize();
  if (IsVarying()) {
    Units = std::min<int32_t>(ReadPageWord(Value), std::min(FColumnLength, (FColumnSize - kCountSize) / Unit));
    ByteCount = Units * Unit;
    return Value + kCountSize;
  }
  if (IsFixed()) {
    Units = std::min(FColumnLength, FColumnSize / Unit);
    ByteCount = Units * Unit;
    return Value;
  }
  Units = 0;
  ByteCount = 0;
  return Value;
}

int32_t TORVIndexKeyValue::GetLength() {
  if (FDataType != dtCharacter && FDataType != dtBytes) return 0;
  int32_t ByteCount = 0;
  int32_t Units = 0;
  Run(ByteCount, Units);
  return Units;
}

// A value too small for the type reads as zero.
const uint8_t* TORVIndexKeyValue::NativeImage(int32_t Size) { return FColumnSize >= Size ? Data() + 1 : nullptr; }

void TORVIndexKeyValue::WriteNativeImage(const uint8_t* Image, int32_t Size) {
  if (FColumnSize < Size) throw std::logic_error("index key image larger than its value");
  std::memcpy(Data() + 1, Image, static_cast<size_t>(Size));
}

// The longest prefix of Text that fits in MaxBytes once encoded; a
// multi-byte code page never has a character split.
void TORVIndexKeyValue::Encode(std::u16string_view Text, int32_t MaxBytes) {
  FImage.clear();
  if (FCharacterSet == CharacterSetUnicode) {
    const auto Count = std::min<size_t>(Text.size(), static_cast<size_t>(MaxBytes / 2));
    FImage.resize(Count * 2);
    if (Count > 0) std::memcpy(FImage.data(), Text.data(), Count * 2);
    return;
  }
  TORVAnsiString Bytes = MapStringToAnsi(Text, FCodePage);
  while (static_cast<int32_t>(Bytes.size()) > MaxBytes && !Text.empty()) {
    Text.remove_suffix(1);
    Bytes = MapStringToAnsi(Text, FCodePage);
  }
  FImage.assign(Bytes.begin(), Bytes.end());
}

void TORVIndexKeyValue::WriteRun(const uint8_t* Source, int32_t ByteCount, int32_t Units, uint8_t Pad) {
  uint8_t* Value = Data() + 1;
  if (IsVarying()) {
    WritePageWord(Value, Units);
    if (ByteCount > 0) std::memcpy(Value + kCountSize, Source, static_cast<size_t>(ByteCount));
    return;
  }
  const int32_t Room = std::min(FColumnLength * UnitSize(), FColumnSize);
  const int32_t Used = std::min(ByteCount, Room);
  if (Used > 0) std::memcpy(Value, Source, static_cast<size_t>(Used));
  if (Pad == 0x20 && FCharacterSet == CharacterSetUnicode) {
    for (int32_t Index = Used; Index + 1 < Room; Index += 2) {
      Value[Index] = 0x20;
      Value[Index + 1] = 0x00;
    }
  } else if (Room > Used) {
    std::memset(Value + Used, Pad, static_cast<size_t>(Room - Used));
  }
}

void TORVIndexKeyValue::SetString(const TORVString& Value) {
  if (FDataType != dtCharacter) return;
  const std::u16string_view Text =
      std::u16string_view(Value).substr(0, static_cast<size_t>(std::max(FColumnLength, 0)));
  const int32_t Room = IsVarying() ? FColumnSize - kCountSize : FColumnSize;
  Encode(Text, std::min(Room, FColumnLength * UnitSize()));
  const auto ByteCount = static_cast<int32_t>(FImage.size());
  WriteRun(FImage.data(), ByteCount, FCharacterSet == CharacterSetUnicode ? ByteCount / 2 : ByteCount, 0x20);
}

void TORVIndexKeyValue::SetBytes(const TORVBytes& Value) {
  if (FDataType == dtCharacter) {
    // Bytes of text are its stored image, cut to whole units.
    const int32_t Unit = UnitSize();
    const int32_t Units = std::min(static_cast<int32_t>(Value.size()) / Unit, FColumnLength);
    WriteRun(Value.data(), Units * Unit, Units, IsVarying() ? 0 : 0x20);
    return;
  }
  if (FDataType != dtBytes) return;
  const int32_t Room = IsVarying() ? FColumnSize - kCountSize : FColumnSize;
  const int32_t Count = std::min({static_cast<int32_t>(Value.size()), FColumnLength, Room});
  WriteRun(Value.data(), Count, Count, 0);
}

// ---------------------------------------------------------------------------
// TORVIndexKeyValues

TORVIndexKeyValues::TORVIndexKeyValues(int32_t CharacterSetToUse, TORVIndex* Owner)
    : TORVKeyValues(CharacterSetToUse), FOwnerIndex(Owner) {}

TORVIndexKeyValues::TORVIndexKeyValues(int32_t CharacterSetToUse, TORVIndex* Owner, bool OwnsValues)
    : TORVKeyValues(CharacterSetToUse, OwnsValues), FOwnerIndex(Owner) {}

int32_t TORVIndexKeyValues::GetColumnCollation(int32_t Index) {
  return IndexColumn(*FOwnerIndex, Index).GetCollation();
}

bool TORVIndexKeyValues::GetColumnDescending(int32_t Index) {
  return IndexColumn(*FOwnerIndex, Index).GetDescending();
}

void TORVIndexKeyValues::Clear() {
  TORVKeyValues::Clear();
  FRowID = 0;
}

// ---------------------------------------------------------------------------
// TORVIndexKey

TORVIndexKey::TORVIndexKey(int32_t CharacterSetToUse, TORVIndex* Owner)
    : TORVKeyValues(CharacterSetToUse, true), FOwnerIndex(Owner), FUniqueKeys(Owner->GetUniqueKeys()) {
  const int32_t Count = Owner->GetIndexColumns()->GetCount();
  for (int32_t Position = 0; Position < Count; ++Position) {
    auto* Value = new TORVIndexKeyValue(this, Position, FKeyOffset);
    Add(Value);
    FKeyOffset += Value->GetSize() + 1;
  }
}

TORVIndexKeyValue* TORVIndexKey::GetKeyValue(int32_t Index) const {
  return static_cast<TORVIndexKeyValue*>(GetItems(Index));
}

uint8_t* TORVIndexKey::PageData(int32_t Offset, int32_t Count) const {
  if (FIndexPage == nullptr) throw std::logic_error("index key used without a page");
  TORVMemoryStream& Buffer = FIndexPage->GetBufferStream();
  if (Offset < 0 || Count < 0 || Buffer.GetSize() < static_cast<int64_t>(Offset) + Count)
    throw std::logic_error("index key read or written outside its page");
  return Buffer.GetMemory() + Offset;
}

int32_t TORVIndexKey::GetColumnCollation(int32_t Index) { return IndexColumn(*FOwnerIndex, Index).GetCollation(); }

bool TORVIndexKey::GetColumnDescending(int32_t Index) { return IndexColumn(*FOwnerIndex, Index).GetDescending(); }

int32_t TORVIndexKey::GetRowID() { return FUniqueKeys ? 0 : ReadPageInt(PageData(FRowIDPageOffset, 4)); }

void TORVIndexKey::SetRowID(int32_t Value) {
  if (!FUniqueKeys) WritePageInt(PageData(FRowIDPageOffset, 4), Value);
}

int32_t TORVIndexKey::GetNumber() {
  return ReadPageInt(FUniqueKeys ? PageData(FPageOffset + FKeyOffset, 4) : PageData(FRowIDPageOffset + 4, 4));
}

void TORVIndexKey::SetNumber(int32_t Value) {
  WritePageInt(FUniqueKeys ? PageData(FPageOffset + FKeyOffset, 4) : PageData(FRowIDPageOffset + 4, 4), Value);
}

int32_t TORVIndexKey::GetRowCount() { return FUniqueKeys ? 1 : ReadPageWord(PageData(FPageOffset + FKeyOffset, 2)); }

void TORVIndexKey::SetRowCount(int32_t Value) {
  if (!FUniqueKeys) WritePageWord(PageData(FPageOffset + FKeyOffset, 2), Value);
}

void TORVIndexKey::IncRowCount(int32_t IncrementBy) { SetRowCount(GetRowCount() + IncrementBy); }

void TORVIndexKey::DecRowCount(int32_t IncrementBy) { SetRowCount(GetRowCount() - IncrementBy); }

void TORVIndexKey::Clear() {
  std::memset(PageData(FPageOffset, FKeyOffset), 0, static_cast<size_t>(FKeyOffset));
  if (!FUniqueKeys) std::memset(PageData(FRowIDPageOffset, 4), 0, 4);
}

void TORVIndexKey::Initialize() {
  UpdatePageOffset();
  FRowIndex = 0;
  UpdateRowPageOffset();
}

void TORVIndexKey::UpdatePageOffset() {
  FPageOffset = FIndexPage->GetHeaderSize() + FKeyIndex * FIndexPage->GetKeyStreamSize();
}

void TORVIndexKey::UpdateRowPageOffset() {
  if (FUniqueKeys || FIndexPage->GetKeyCount() == 0) {
    FRowIDPageOffset = 0;
    return;
  }
  TORVIndexPage& Page = *FIndexPage;
  FRowIDPageOffset = Page.GetHeaderSize() + Page.GetKeyCount() * Page.GetKeyStreamSize() +
                     (Page.GetKeyRowCounts(FKeyIndex) + FRowIndex) * Page.GetRowStreamSize();
}

void TORVIndexKey::First() {
  FKeyIndex = 0;
  Initialize();
}

void TORVIndexKey::Last() {
  if (FIndexPage->GetKeyCount() == 0) {
    First();
    return;
  }
  FKeyIndex = FIndexPage->GetKeyCount() - 1;
  UpdatePageOffset();
  LastRow();
}

bool TORVIndexKey::Next() {
  const int32_t KeyCount = FIndexPage->GetKeyCount();
  if (KeyCount == 0) return false;
  if (FUniqueKeys || FRowIndex >= GetRowCount() - 1) {
    if (FKeyIndex >= KeyCount - 1) return false;
    ++FKeyIndex;
    FRowIndex = 0;
    FPageOffset += FIndexPage->GetKeyStreamSize();
  } else {
    ++FRowIndex;
  }
  // The next key's first row follows this key's last one.
  if (!FUniqueKeys) FRowIDPageOffset += FIndexPage->GetRowStreamSize();
  return true;
}

bool TORVIndexKey::Prior() {
  if (FIndexPage->GetKeyCount() == 0) return false;
  if (FRowIndex == 0) {
    if (FKeyIndex == 0) return false;
    --FKeyIndex;
    FPageOffset -= FIndexPage->GetKeyStreamSize();
    FRowIndex = GetRowCount() - 1;
  } else {
    --FRowIndex;
  }
  if (!FUniqueKeys) FRowIDPageOffset -= FIndexPage->GetRowStreamSize();
  return true;
}

void TORVIndexKey::MoveTo(int32_t NewKeyIndex) {
  FKeyIndex = NewKeyIndex;
  Initialize();
}

void TORVIndexKey::MoveToRow(int32_t NewRowIndex) {
  FRowIndex = NewRowIndex;
  UpdateRowPageOffset();
}

void TORVIndexKey::FirstRow() { MoveToRow(0); }

void TORVIndexKey::LastRow() { MoveToRow(FUniqueKeys ? 0 : GetRowCount() - 1); }

int32_t TORVIndexKey::FindRow(int32_t SearchRowID, bool ForInsert) {
  const int32_t Count = GetRowCount();
  if (Count == 0) {
    MoveToRow(0);
    return 1;
  }
  int32_t Result = 0;
  int32_t Low = 0;
  int32_t High = Count - 1;
  while (Low <= High) {
    MoveToRow((Low + High) / 2);
    const int32_t RowID = GetRowID();
    Result = RowID < SearchRowID ? -1 : (RowID > SearchRowID ? 1 : 0);
    if (Result == 0) break;
    if (Result < 0)
      Low = FRowIndex + 1;
    else
      High = FRowIndex - 1;
  }
  if (ForInsert && Result < 0) MoveToRow(FRowIndex + 1);
  return Result;
}

int32_t TORVIndexKey::SearchRow(int32_t SearchRowID) {
  if (FUniqueKeys) return 0;
  const int32_t Result = FindRow(SearchRowID, false);
  if (Result < 0 && FRowIndex >= GetRowCount()) LastRow();
  return Result;
}

int32_t TORVIndexKey::SearchRowForInsert(int32_t SearchRowID) {
  if (FUniqueKeys) return 0;
  return FindRow(SearchRowID, true);
}

void TORVIndexKey::MoveToKey(const TORVIndexKey& KeyToUse) {
  FKeyIndex = KeyToUse.FKeyIndex;
  FRowIndex = KeyToUse.FRowIndex;
  FPageOffset = KeyToUse.FPageOffset;
  FKeyOffset = KeyToUse.FKeyOffset;
  FRowIDPageOffset = KeyToUse.FRowIDPageOffset;
}

void TORVIndexKey::SetBitmapValue(TORVSparseBitmap& Bitmap) {
  const int32_t Number = GetNumber();
  if (Number <= Bitmap.GetBitCount()) Bitmap.SetBit(Number);
}

void TORVIndexKey::SetNextBitmapValue(TORVSparseBitmap& Bitmap) {
  const int32_t Last = FUniqueKeys ? 0 : GetRowCount() - 1;
  SetBitmapValue(Bitmap);
  while (FRowIndex < Last) {
    ++FRowIndex;
    FRowIDPageOffset += FIndexPage->GetRowStreamSize();
    SetBitmapValue(Bitmap);
  }
}

void TORVIndexKey::SetPriorBitmapValue(TORVSparseBitmap& Bitmap) {
  SetBitmapValue(Bitmap);
  while (FRowIndex > 0) {
    --FRowIndex;
    FRowIDPageOffset -= FIndexPage->GetRowStreamSize();
    SetBitmapValue(Bitmap);
  }
}

bool TORVIndexKey::AnyNull(int32_t NumKeyValues) {
  const int32_t Count = std::min(NumKeyValues, FCount);
  for (int32_t Index = 0; Index < Count; ++Index)
    if (GetItems(Index)->GetNull()) return true;
  return false;
}

bool TORVIndexKey::AllNull(int32_t NumKeyValues) {
  const int32_t Count = std::min(NumKeyValues, FCount);
  for (int32_t Index = 0; Index < Count; ++Index)
    if (!GetItems(Index)->GetNull()) return false;
  return true;
}

}  // namespace orv
