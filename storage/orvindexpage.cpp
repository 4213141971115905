#include "storage/orvindexpage.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "base/orverror.h"
#include "base/orverrors.h"
#include "catalog/orvindexes.h"
#include "catalog/orvtable.h"
#include "core/orvkeyvalues.h"
#include "core/orvliteral.h"
#include "storage/orvindexkey.h"
#include "storage/orvindexmgr.h"
#include "storage/orvpageimage.h"

namespace orv {

namespace {

constexpr int32_t kInternalHeaderSize = 7;
constexpr int32_t kExternalHeaderSize = 11;
constexpr int32_t kRowEntrySize = 8;
constexpr int32_t kKeyRowCountsStep = 64;

bool IsExternalType(uint8_t PageType) { return PageType == ptExternal || PageType == ptRootExternal; }

int32_t HeaderSizeOf(uint8_t PageType) { return IsExternalType(PageType) ? kExternalHeaderSize : kInternalHeaderSize; }

}  // namespace

TORVIndexPage::TORVIndexPage(TORVTableFileManager* Owner, TORVIndex* OwnerIndex)
    : TORVTableFileBuffer(Owner),
      FIndexManager(dynamic_cast<TORVIndexManager*>(Owner)),
      FOwnerIndex(OwnerIndex),
      FCharacterSet(FBufferStream->GetCharacterSet()),
      FPageSize(Owner->GetBufferSize()),
      FUniqueKeys(OwnerIndex->GetUniqueKeys()),
      FKeySize(CalculateIndexKeySize(*OwnerIndex, FCharacterSet)) {
  ResizePage(FPageSize);
  std::memset(Memory(), 0, static_cast<size_t>(FBufferStream->GetSize()));
  SetSizes();
  Recalculate();
}

TORVIndexPage::~TORVIndexPage() = default;

void TORVIndexPage::CorruptError(const TORVString& Detail) {
  FTableFileManager->CorruptError(Detail);
  // The manager's error never returns; an override that did would leave the
  // page's caller on damaged data.
  throw std::logic_error("index page corruption error returned");
}

void TORVIndexPage::DuplicateKeyError() {
  TORVBaseTable* Table = FTableFileManager->GetTable();
  const TORVString Detail = FormatString(u"The index %s contains duplicate keys", {FOwnerIndex->GetName()});
  throw EORVDuplicateKeyException(
      ORV_CORRUPT_ERROR.Code, FormatString(ORV_CORRUPT_ERROR.Format, {Table->GetTypeName(), Table->GetName(), Detail}));
}

void TORVIndexPage::SetSizes() {
  FHeaderSize = HeaderSizeOf(FPageType);
  FKeyStreamSize = FKeySize + (FUniqueKeys ? 4 : 2);
  FRowStreamSize = FUniqueKeys ? 0 : kRowEntrySize;
}

void TORVIndexPage::SetPageType(uint8_t Value) {
  if (Value == FPageType) return;
  // Types 0 and 1 have a shorter header than 2 and 3; the tree changes a
  // page with entries only within its kind, so the slots never need to move.
  if (FKeyCount > 0 && HeaderSizeOf(Value) != FHeaderSize)
    throw std::logic_error("index page with entries changed between internal and external");
  FPageType = Value;
  SetSizes();
  Recalculate();
  FModified = true;
}

void TORVIndexPage::SetPriorNumber(int32_t Value) {
  if (Value == FPriorNumber) return;
  FPriorNumber = Value;
  FModified = true;
}

void TORVIndexPage::SetKeyCount(int32_t Value) {
  if (Value == FKeyCount) return;
  FKeyCount = Value;
  FModified = true;
}

void TORVIndexPage::SetKeyRowCountsLength(int32_t Count) {
  if (Count > FKeyRowCountsCapacity)
    FKeyRowCountsCapacity = (Count + kKeyRowCountsStep - 1) / kKeyRowCountsStep * kKeyRowCountsStep;
  FKeyRowCounts.reserve(static_cast<size_t>(FKeyRowCountsCapacity));
  FKeyRowCounts.resize(static_cast<size_t>(Count));
}

// A key slot's row-count word is trusted only within the page: Load checks
// what it reads before this runs.
void TORVIndexPage::Recalculate() {
  SetKeyRowCountsLength(FKeyCount + 1);
  FKeyRowCounts[0] = 0;
  if (FUniqueKeys) {
    FRowCount = FKeyCount;
  } else {
    for (int32_t Key = 0; Key < FKeyCount; ++Key)
      FKeyRowCounts[static_cast<size_t>(Key) + 1] =
          FKeyRowCounts[static_cast<size_t>(Key)] + ReadPageWord(Memory() + FHeaderSize + Key * FKeyStreamSize + FKeySize);
    FRowCount = FKeyRowCounts[static_cast<size_t>(FKeyCount)];
  }
  FTotalPageSize = FHeaderSize + FKeyCount * FKeyStreamSize + FRowCount * FRowStreamSize;
}

void TORVIndexPage::SetOwnerIndex(TORVIndex* Value) {
  if (Value == nullptr || Value == FOwnerIndex) return;
  FOwnerIndex = Value;
  FUniqueKeys = Value->GetUniqueKeys();
  FKeySize = CalculateIndexKeySize(*Value, FCharacterSet);
}

void TORVIndexPage::Initialize() {
  TORVTableFileBuffer::Initialize();
  if (FIndexManager != nullptr) SetOwnerIndex(FIndexManager->GetActiveIndex());
  FPageType = ptRootExternal;
  SetSizes();
  FPriorNumber = 0;
  FKeyCount = 0;
  Recalculate();
}

void TORVIndexPage::Clear() {
  FKeyCount = 0;
  Recalculate();
  FModified = true;
}

void TORVIndexPage::AdjustExternalKeys(int32_t Delta) {
  if (FIndexManager == nullptr) return;
  if (Delta > 0)
    for (int32_t Step = 0; Step < Delta; ++Step) FIndexManager->IncExternalKeys();
  else
    for (int32_t Step = 0; Step < -Delta; ++Step) FIndexManager->DecExternalKeys();
}

void TORVIndexPage::AdjustInternalKeys(int32_t Delta) {
  if (FIndexManager == nullptr) return;
  if (Delta > 0)
    for (int32_t Step = 0; Step < Delta; ++Step) FIndexManager->IncInternalKeys();
  else
    for (int32_t Step = 0; Step < -Delta; ++Step) FIndexManager->DecInternalKeys();
}

void TORVIndexPage::Load(TORVMemoryStream& Stream) {
  if (&Stream != FBufferStream.get()) throw std::logic_error("index page loaded from another stream than its buffer");
  if (FBufferStream->GetSize() < FPageSize || FPageSize < kExternalHeaderSize || Stream.GetPosition() != 0)
    CorruptError(u"The index page is shorter than its header");
  TORVTableFileBuffer::Load(Stream);
  const uint8_t* Data = Memory();
  const uint8_t PageType = Data[4];
  if (PageType > ptRootExternal)
    CorruptError(FormatString(u"The index page type %s is invalid", {IntToString(static_cast<int32_t>(PageType))}));
  FPageType = PageType;
  SetSizes();
  FPriorNumber = FPageType > ptInternal ? ReadPageInt(Data + 5) : 0;
  const int32_t KeyCount = ReadPageWord(Data + FHeaderSize - 2);
  // Every slot, and the row-count word in it, must lie inside the page.
  if (KeyCount > (FPageSize - FHeaderSize) / (FKeyStreamSize + FRowStreamSize))
    CorruptError(FormatString(u"The index page key count %s exceeds the page", {IntToString(KeyCount)}));
  if (!FUniqueKeys) {
    int64_t Rows = 0;
    for (int32_t Key = 0; Key < KeyCount; ++Key) {
      const int32_t KeyRows = ReadPageWord(Data + FHeaderSize + Key * FKeyStreamSize + FKeySize);
      if (KeyRows == 0) CorruptError(FormatString(u"The index page key %s has no rows", {IntToString(Key)}));
      Rows += KeyRows;
    }
    if (FHeaderSize + static_cast<int64_t>(KeyCount) * FKeyStreamSize + Rows * FRowStreamSize > FPageSize)
      CorruptError(FormatString(u"The index page row count %s exceeds the page", {IntToString(Rows)}));
  }
  FKeyCount = KeyCount;
  Recalculate();
  Stream.SetPosition(FHeaderSize);
}

void TORVIndexPage::Save(TORVMemoryStream& Stream) {
  TORVTableFileBuffer::Save(Stream);
  Stream.WriteByte(FPageType);
  if (FPageType > ptInternal) Stream.WriteInteger(FPriorNumber);
  Stream.WriteWord(static_cast<uint16_t>(FKeyCount));
}

void TORVIndexPage::Assign(const TORVTableFileBuffer& FromBuffer) {
  if (&FromBuffer == this) return;
  const auto* FromPage = dynamic_cast<const TORVIndexPage*>(&FromBuffer);
  if (FromPage != nullptr) ResizePage(static_cast<int32_t>(FromPage->FBufferStream->GetSize()));
  TORVTableFileBuffer::Assign(FromBuffer);
  if (FromPage == nullptr) return;
  FOwnerIndex = FromPage->FOwnerIndex;
  FUniqueKeys = FromPage->FUniqueKeys;
  FKeySize = FromPage->FKeySize;
  FPageType = FromPage->FPageType;
  SetSizes();
  FPriorNumber = FromPage->FPriorNumber;
  FKeyCount = FromPage->FKeyCount;
  FRowCount = FromPage->FRowCount;
  FTotalPageSize = FromPage->FTotalPageSize;
  SetKeyRowCountsLength(static_cast<int32_t>(FromPage->FKeyRowCounts.size()));
  std::copy(FromPage->FKeyRowCounts.begin(), FromPage->FKeyRowCounts.end(), FKeyRowCounts.begin());
}

bool TORVIndexPage::Compare(const TORVTableFileBuffer& BufferToCompare) const {
  const auto* Other = dynamic_cast<const TORVIndexPage*>(&BufferToCompare);
  return TORVTableFileBuffer::Compare(BufferToCompare) && Other != nullptr && FPageType == Other->FPageType &&
         FPriorNumber == Other->FPriorNumber && FKeyCount == Other->FKeyCount && FRowCount == Other->FRowCount;
}

int32_t TORVIndexPage::GetMaxKeyCount() const { return (FPageSize - FHeaderSize) / (FKeyStreamSize + FRowStreamSize); }

int32_t TORVIndexPage::GetRowCountForKey(const TORVIndexKey& Key) const {
  if (FUniqueKeys) return Key.GetKeyIndex();
  return FKeyRowCounts[static_cast<size_t>(Key.GetKeyIndex())] + Key.GetRowIndex();
}

void TORVIndexPage::GetPositionForRowCount(int32_t RowCount, int32_t& KeyIndex, int32_t& RowIndex) const {
  if (FUniqueKeys) {
    KeyIndex = RowCount;
    RowIndex = 0;
    return;
  }
  // The last key whose first entry is at or before RowCount.
  int32_t Low = 0;
  int32_t High = FKeyCount - 1;
  KeyIndex = 0;
  while (Low <= High) {
    const int32_t Mid = (Low + High) / 2;
    if (FKeyRowCounts[static_cast<size_t>(Mid)] <= RowCount) {
      KeyIndex = Mid;
      Low = Mid + 1;
    } else {
      High = Mid - 1;
    }
  }
  RowIndex = RowCount - FKeyRowCounts[static_cast<size_t>(KeyIndex)];
}

void TORVIndexPage::CheckNotEmpty() {
  if (FKeyCount == 0) CorruptError(FormatString(u"The %s is empty", {FTableFileManager->GetBufferName()}));
}

int32_t TORVIndexPage::GetReadAhead(TORVIndexKey& Key, int32_t Direction, int32_t MaxReadAhead) {
  CheckNotEmpty();
  const int32_t Step = Direction == 1 ? 1 : -1;
  const int32_t FirstNumber = Key.GetNumber();
  int32_t Result = 0;
  while (Result < MaxReadAhead) {
    if (Result > 0 && !(Step == 1 ? Key.Next() : Key.Prior())) break;
    if (Key.GetNumber() != FirstNumber + Step * Result) break;
    ++Result;
  }
  return Result;
}

// ---------------------------------------------------------------------------
// Searches

namespace {

// Where a search over the key slots ends: on an equal key (or where the
// binary search gives up), on the first key not less than the values, or on
// the first key greater than them. The midpoint is (low + high) div 2.
enum TSearchLoop : uint8_t { slStopAtEqual, slFirstNotLess, slFirstGreater };

int32_t SearchSlots(int32_t KeyCount, TORVValues& Values, int32_t PartialLength, bool CaseInsensitive,
                    TORVIndexKey& Key, TSearchLoop Loop, bool Sequential) {
  int32_t Result = 0;
  if (Sequential) {
    for (int32_t Slot = 0; Slot < KeyCount; ++Slot) {
      Key.MoveTo(Slot);
      Result = Key.Compare(Values, PartialLength, CaseInsensitive);
      if (Result > 0 || (Result == 0 && Loop != slFirstGreater)) break;
    }
    return Result;
  }
  int32_t Low = 0;
  int32_t High = KeyCount - 1;
  while (Low <= High) {
    Key.MoveTo((Low + High) / 2);
    Result = Key.Compare(Values, PartialLength, CaseInsensitive);
    if (Result == 0 && Loop == slStopAtEqual) break;
    if (Result < 0 || (Result == 0 && Loop == slFirstGreater))
      Low = Key.GetKeyIndex() + 1;
    else
      High = Key.GetKeyIndex() - 1;
  }
  return Result;
}

}  // namespace

// After a search ended below the values: the key's last row, and on a leaf
// the following entry, compared again, so that a leaf search ends on the
// first entry not less than the values.
int32_t TORVIndexPage::NextOnLeaf(TORVValues& Values, int32_t PartialLength, bool CaseInsensitive,
                                  TORVIndexKey& Key, int32_t Result) {
  Key.LastRow();
  if (GetExternal() && Key.Next()) return Key.Compare(Values, PartialLength, CaseInsensitive);
  return Result;
}

int32_t TORVIndexPage::SearchPartial(TORVValues& SearchValues, int32_t PartialLength, bool CaseInsensitive,
                                     TORVIndexKey& SearchKey, bool UseSequentialSearch) {
  CheckNotEmpty();
  const int32_t Result = SearchSlots(FKeyCount, SearchValues, PartialLength, CaseInsensitive, SearchKey,
                                     slFirstNotLess, UseSequentialSearch);
  if (Result < 0) return NextOnLeaf(SearchValues, PartialLength, CaseInsensitive, SearchKey, Result);
  if (!GetExternal()) SearchKey.Prior();
  return Result;
}

int32_t TORVIndexPage::Search(TORVValues& SearchValues, bool CaseInsensitive, TORVIndexKey& SearchKey) {
  CheckNotEmpty();
  const int32_t Result = SearchSlots(FKeyCount, SearchValues, 0, CaseInsensitive, SearchKey, slStopAtEqual, false);
  if (Result < 0) return NextOnLeaf(SearchValues, 0, CaseInsensitive, SearchKey, Result);
  if (Result > 0 && !GetExternal()) SearchKey.Prior();
  return Result;
}

int32_t TORVIndexPage::SearchNextPartial(TORVValues& SearchValues, int32_t PartialLength, bool CaseInsensitive,
                                         TORVIndexKey& SearchKey, bool UseSequentialSearch) {
  CheckNotEmpty();
  const int32_t Result = SearchSlots(FKeyCount, SearchValues, PartialLength, CaseInsensitive, SearchKey,
                                     slFirstGreater, UseSequentialSearch);
  // The entry after the prefix is compared in full.
  if (Result <= 0) return NextOnLeaf(SearchValues, 0, CaseInsensitive, SearchKey, Result);
  if (!GetExternal()) SearchKey.Prior();
  return Result;
}

int32_t TORVIndexPage::SearchNext(TORVValues& SearchValues, bool CaseInsensitive, TORVIndexKey& SearchKey) {
  CheckNotEmpty();
  const int32_t Result = SearchSlots(FKeyCount, SearchValues, 0, CaseInsensitive, SearchKey, slStopAtEqual, false);
  if (Result <= 0) return NextOnLeaf(SearchValues, 0, CaseInsensitive, SearchKey, Result);
  if (!GetExternal()) SearchKey.Prior();
  return Result;
}

void TORVIndexPage::SearchLast(TORVIndexKey& SearchKey) {
  CheckNotEmpty();
  SearchKey.Last();
}

int32_t TORVIndexPage::SearchRangeStartKey(TORVKeyValues& SearchKeyValues, TORVIndexKey& SearchKey) {
  CheckNotEmpty();
  const int32_t Result = SearchSlots(FKeyCount, SearchKeyValues, 0, false, SearchKey, slFirstNotLess, false);
  if (Result < 0) return NextOnLeaf(SearchKeyValues, 0, false, SearchKey, Result);
  if (!GetExternal()) SearchKey.Prior();
  return Result;
}

int32_t TORVIndexPage::SearchRangeEndKey(TORVKeyValues& SearchKeyValues, TORVIndexKey& SearchKey) {
  CheckNotEmpty();
  const int32_t Result = SearchSlots(FKeyCount, SearchKeyValues, 0, false, SearchKey, slFirstGreater, false);
  if (Result <= 0)
    SearchKey.LastRow();
  else
    SearchKey.Prior();
  return Result;
}

int32_t TORVIndexPage::SearchKey(TORVKeyValues& SearchKeyValues, TORVIndexKey& SearchKey) {
  CheckNotEmpty();
  int32_t Result = SearchSlots(FKeyCount, SearchKeyValues, 0, false, SearchKey, slStopAtEqual, false);
  if (Result < 0) return NextOnLeaf(SearchKeyValues, 0, false, SearchKey, Result);
  if (Result == 0) {
    // Within the key the row ID decides.
    Result = SearchKey.SearchRow(SearchKeyValues.GetRowID());
    if (Result < 0 && GetExternal()) SearchKey.Next();
  }
  if (Result > 0 && !GetExternal()) SearchKey.Prior();
  return Result;
}

int32_t TORVIndexPage::SearchKeyForInsert(TORVKeyValues& SearchKeyValues, TORVIndexKey& SearchKey) {
  SearchKey.First();
  const int32_t Result = SearchSlots(FKeyCount, SearchKeyValues, 0, false, SearchKey, slStopAtEqual, false);
  if (Result < 0)
    SearchKey.MoveTo(SearchKey.GetKeyIndex() + 1);
  else if (Result == 0)
    SearchKey.SearchRowForInsert(SearchKeyValues.GetRowID());
  return Result;
}

// ---------------------------------------------------------------------------
// Changes

void TORVIndexPage::ResizePage(int32_t NewSize) {
  if (FBufferStream->GetSize() < NewSize) FBufferStream->SetSize(NewSize);
}

void TORVIndexPage::OpenGap(int32_t Offset, int32_t Size) {
  ResizePage(FTotalPageSize + Size);
  if (FTotalPageSize > Offset)
    std::memmove(Memory() + Offset + Size, Memory() + Offset, static_cast<size_t>(FTotalPageSize - Offset));
  FTotalPageSize += Size;
}

void TORVIndexPage::CloseGap(int32_t Offset, int32_t Size) {
  if (FTotalPageSize > Offset + Size)
    std::memmove(Memory() + Offset, Memory() + Offset + Size, static_cast<size_t>(FTotalPageSize - Offset - Size));
  FTotalPageSize -= Size;
}

void TORVIndexPage::AdjustStatistics(int32_t Delta) {
  if (GetExternal())
    AdjustExternalKeys(Delta);
  else if (FPageType == ptInternal)
    AdjustInternalKeys(Delta);
}

void TORVIndexPage::InsertKey(TORVKeyValues& NewValues, int32_t NewNumber, TORVIndexKey& NewKey) {
  NewKey.SetIndexPage(this);
  int32_t Result = 1;
  if (FKeyCount == 0)
    NewKey.First();
  else
    Result = SearchKeyForInsert(NewValues, NewKey);
  const int32_t KeyIndex = NewKey.GetKeyIndex();
  if (FUniqueKeys) {
    if (Result == 0)
      DuplicateKeyError();
    OpenGap(FHeaderSize + KeyIndex * FKeyStreamSize, FKeyStreamSize);
    ++FKeyCount;
    ++FRowCount;
    SetKeyRowCountsLength(FKeyCount + 1);
    NewKey.MoveTo(KeyIndex);
    // A slot opened inside the page holds its old neighbour's bytes; values
    // NewValues does not reach must not keep them.
    NewKey.Clear();
    NewKey.Assign(NewValues);
    NewKey.SetNumber(NewNumber);
  } else if (Result != 0) {
    const int32_t RowPosition = FKeyRowCounts[static_cast<size_t>(KeyIndex)];
    OpenGap(FHeaderSize + FKeyCount * FKeyStreamSize + RowPosition * FRowStreamSize, FRowStreamSize);
    OpenGap(FHeaderSize + KeyIndex * FKeyStreamSize, FKeyStreamSize);
    SetKeyRowCountsLength(FKeyCount + 2);
    for (int32_t Key = FKeyCount; Key >= KeyIndex; --Key)
      FKeyRowCounts[static_cast<size_t>(Key) + 1] = FKeyRowCounts[static_cast<size_t>(Key)] + 1;
    FKeyRowCounts[static_cast<size_t>(KeyIndex)] = RowPosition;
    ++FKeyCount;
    ++FRowCount;
    NewKey.MoveTo(KeyIndex);
    NewKey.Clear();
    NewKey.Assign(NewValues);
    NewKey.SetNumber(NewNumber);
    NewKey.SetRowCount(1);
  } else {
    const int32_t KeyRows = NewKey.GetRowCount();
    if (NewKey.GetRowIndex() < KeyRows && NewKey.GetNumber() == NewNumber) {
      if (FOwnerIndex->GetIndexType() == itTextIndex) return;
      DuplicateKeyError();
    }
    OpenGap(NewKey.GetRowIDPageOffset(), FRowStreamSize);
    for (int32_t Key = KeyIndex + 1; Key <= FKeyCount; ++Key) ++FKeyRowCounts[static_cast<size_t>(Key)];
    ++FRowCount;
    NewKey.SetRowID(NewValues.GetRowID());
    NewKey.SetNumber(NewNumber);
    NewKey.SetRowCount(KeyRows + 1);
  }
  AdjustStatistics(1);
  FModified = true;
}

void TORVIndexPage::Split(TORVIndexPage& NewPage) {
  int32_t KeysMoved = 0;
  int32_t FirstKey = 0;
  int32_t SplitRow = 0;
  int32_t RowsKept = 0;
  if (FUniqueKeys) {
    const int32_t Kept = FKeyCount - FKeyCount / 2;
    FirstKey = Kept;
    KeysMoved = FKeyCount - Kept;
  } else {
    // The page keeps the larger half of the row entries, moved by one entry
    // at a time until both halves fit. A page that cannot be divided so
    // (its entries too large for its size) is refused rather than searched
    // forever.
    int32_t Rows = FRowCount - FRowCount / 2;
    int32_t LastStep = 0;
    for (;;) {
      if (Rows < 1 || Rows >= FRowCount)
        CorruptError(FormatString(u"The index %s page cannot be split", {FOwnerIndex->GetName()}));
      GetPositionForRowCount(Rows, FirstKey, SplitRow);
      KeysMoved = FKeyCount - FirstKey;
      const int32_t KeysKept = SplitRow > 0 ? FirstKey + 1 : FirstKey;
      RowsKept = FKeyRowCounts[static_cast<size_t>(FirstKey)] + SplitRow;
      int32_t Step = 0;
      if (NewPage.FHeaderSize + KeysMoved * FKeyStreamSize + (FRowCount - RowsKept) * FRowStreamSize > FPageSize)
        Step = 1;
      else if (FHeaderSize + KeysKept * FKeyStreamSize + RowsKept * FRowStreamSize > FPageSize)
        Step = -1;
      if (Step == 0) break;
      if (Step == -LastStep)
        CorruptError(FormatString(u"The index %s page cannot be split", {FOwnerIndex->GetName()}));
      LastStep = Step;
      Rows += Step;
    }
  }
  // The new page receives the slots from FirstKey on, then their rows.
  const int32_t NewKeysBytes = KeysMoved * FKeyStreamSize;
  const int32_t MovedRows = FRowCount - RowsKept;
  NewPage.ResizePage(NewPage.FHeaderSize + NewKeysBytes + MovedRows * FRowStreamSize);
  std::memcpy(NewPage.Memory() + NewPage.FHeaderSize, Memory() + FHeaderSize + FirstKey * FKeyStreamSize,
              static_cast<size_t>(NewKeysBytes));
  NewPage.FKeyCount = KeysMoved;
  int32_t KeysKept = FirstKey;
  if (!FUniqueKeys) {
    const int32_t RowArea = FHeaderSize + FKeyCount * FKeyStreamSize;
    if (MovedRows > 0)
      std::memcpy(NewPage.Memory() + NewPage.FHeaderSize + NewKeysBytes, Memory() + RowArea + RowsKept * FRowStreamSize,
                  static_cast<size_t>(MovedRows * FRowStreamSize));
    const int32_t SplitKeyRows = FKeyRowCounts[static_cast<size_t>(FirstKey) + 1] - FKeyRowCounts[static_cast<size_t>(FirstKey)];
    WritePageWord(NewPage.Memory() + NewPage.FHeaderSize + FKeySize, SplitKeyRows - SplitRow);
    if (SplitRow > 0) {
      WritePageWord(Memory() + FHeaderSize + FirstKey * FKeyStreamSize + FKeySize, SplitRow);
      KeysKept = FirstKey + 1;
    }
    // The kept rows follow the kept slots.
    if (RowsKept > 0)
      std::memmove(Memory() + FHeaderSize + KeysKept * FKeyStreamSize, Memory() + RowArea,
                   static_cast<size_t>(RowsKept * FRowStreamSize));
  }
  FKeyCount = KeysKept;
  Recalculate();
  NewPage.Recalculate();
  FModified = true;
  NewPage.FModified = true;
}

void TORVIndexPage::DeleteKey(TORVIndexKey& ExistingKey) {
  const int32_t KeyIndex = ExistingKey.GetKeyIndex();
  if (FUniqueKeys) {
    CloseGap(FHeaderSize + KeyIndex * FKeyStreamSize, FKeyStreamSize);
    --FKeyCount;
    SetKeyRowCountsLength(FKeyCount + 1);
  } else if (ExistingKey.GetRowCount() == 1) {
    CloseGap(ExistingKey.GetRowIDPageOffset(), FRowStreamSize);
    CloseGap(FHeaderSize + KeyIndex * FKeyStreamSize, FKeyStreamSize);
    for (int32_t Key = KeyIndex; Key < FKeyCount; ++Key)
      FKeyRowCounts[static_cast<size_t>(Key)] = FKeyRowCounts[static_cast<size_t>(Key) + 1] - 1;
    --FKeyCount;
    SetKeyRowCountsLength(FKeyCount + 1);
  } else {
    CloseGap(ExistingKey.GetRowIDPageOffset(), FRowStreamSize);
    ExistingKey.DecRowCount(1);
    for (int32_t Key = KeyIndex + 1; Key <= FKeyCount; ++Key) --FKeyRowCounts[static_cast<size_t>(Key)];
  }
  --FRowCount;
  AdjustStatistics(-1);
  FModified = true;
}

void TORVIndexPage::Merge(TORVIndexPage& MergePage, int32_t MergeAdjustKeyCount) {
  if (MergeAdjustKeyCount < 0 || MergeAdjustKeyCount > std::min(FKeyCount, 1) ||
      (FUniqueKeys && MergeAdjustKeyCount != 0))
    throw std::logic_error("index page merge with an invalid key adjustment");
  const int32_t KeysMoved = FKeyCount - MergeAdjustKeyCount;
  const int32_t KeysBytes = KeysMoved * FKeyStreamSize;
  const int32_t RowsBytes = FRowCount * FRowStreamSize;
  const int32_t Used = MergePage.FTotalPageSize;
  MergePage.ResizePage(Used + KeysBytes + RowsBytes);
  uint8_t* Target = MergePage.Memory();
  const int32_t TargetRowArea = MergePage.FHeaderSize + MergePage.FKeyCount * FKeyStreamSize;
  // The neighbour's rows move up to make room for the slots; this page's
  // rows then follow them, which keeps the row area in key order.
  if (Used > TargetRowArea)
    std::memmove(Target + TargetRowArea + KeysBytes, Target + TargetRowArea, static_cast<size_t>(Used - TargetRowArea));
  if (KeysBytes > 0)
    std::memcpy(Target + TargetRowArea, Memory() + FHeaderSize + MergeAdjustKeyCount * FKeyStreamSize,
                static_cast<size_t>(KeysBytes));
  if (RowsBytes > 0)
    std::memcpy(Target + Used + KeysBytes, Memory() + FHeaderSize + FKeyCount * FKeyStreamSize,
                static_cast<size_t>(RowsBytes));
  MergePage.FKeyCount += KeysMoved;
  MergePage.Recalculate();
  MergePage.FModified = true;
  FKeyCount = 0;
  Recalculate();
  FModified = true;
}

void TORVIndexPage::CheckInvariants() const {
  auto Fail = [](const char* What) { throw std::logic_error(What); };
  if (FHeaderSize != HeaderSizeOf(FPageType)) Fail("index page header size does not match its type");
  if (static_cast<int32_t>(FKeyRowCounts.size()) != FKeyCount + 1 || FKeyRowCounts[0] != 0)
    Fail("index page key row counts have the wrong length");
  if (FUniqueKeys) {
    if (FRowCount != FKeyCount) Fail("unique index page row count differs from its key count");
  } else {
    for (int32_t Key = 0; Key < FKeyCount; ++Key) {
      const int32_t Rows = ReadPageWord(Memory() + FHeaderSize + Key * FKeyStreamSize + FKeySize);
      if (Rows < 1) Fail("index page key without rows");
      if (FKeyRowCounts[static_cast<size_t>(Key) + 1] - FKeyRowCounts[static_cast<size_t>(Key)] != Rows)
        Fail("index page key row counts differ from the slots");
    }
    if (FRowCount != FKeyRowCounts[static_cast<size_t>(FKeyCount)]) Fail("index page row count differs");
  }
  if (FTotalPageSize != FHeaderSize + FKeyCount * FKeyStreamSize + FRowCount * FRowStreamSize)
    Fail("index page total size differs");
  if (FBufferStream->GetSize() < FTotalPageSize) Fail("index page buffer shorter than its contents");
}

}  // namespace orv
