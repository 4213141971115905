// One page of an index B+-tree and the operations inside it: searches,
// insertion with the duplicate check, split, deletion and merge.
//
// Layout (PageSize bytes, little-endian):
//   0..3   NextNumber   next external page, next free page, or 0
//   4      PageType     0 root with children, 1 internal, 2 external,
//                       3 root without children
//   5..8   PriorNumber  types 2 and 3 only
//   KeyCount (Word) at 5 for types 0 and 1, at 9 for types 2 and 3
//   HeaderSize (7 or 11) .. key slots of KeyStreamSize bytes, ascending
//   then, non-unique only, RowCount row entries of 8 bytes (RowID, Number)
// Unique key slot: key values, then Number (Int32).
// Non-unique key slot: key values, then the key's row count (Word); its row
// entries, ascending by row ID, start at row position KeyRowCounts[k].
//
// Invariants after every public operation:
//   - non-unique: KeyRowCounts has KeyCount + 1 entries, KeyRowCounts[0] = 0,
//     KeyRowCounts[k + 1] - KeyRowCounts[k] = the row count word of slot k,
//     every key has at least one row, RowCount = KeyRowCounts[KeyCount];
//   - unique: RowCount = KeyCount;
//   - TotalPageSize = HeaderSize + KeyCount x KeyStreamSize
//     + RowCount x RowStreamSize, and the buffer holds at least that many
//     bytes (it may exceed PageSize by one entry before a split).
// The page is used by one session at a time; it has no lock of its own.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/orverror.h"
#include "base/orvtype.h"
#include "core/orvcommon.h"
#include "core/orvstream.h"
#include "storage/orvtablefile.h"

namespace orv {

class TORVIndex;
class TORVIndexKey;
class TORVIndexManager;
class TORVKeyValues;
class TORVValues;

enum TORVIndexPageType : uint8_t { ptRootInternal, ptInternal, ptExternal, ptRootExternal };

// A buffer of the index file: PageSize is the file's buffer size. The page
// belongs to one index: the one it is made for, and in an index manager's
// file the manager's active index again whenever it is initialized (a page
// taken from the free chain changes index).
// The refusal of a key that a unique index, or a non-unique index for the
// same row, already holds: the file's corruption error (601) by code and
// text, a class of its own so that an index build that removes duplicate
// rows tells it apart from a damaged page.
class EORVDuplicateKeyException : public EORVException {
 public:
  using EORVException::EORVException;
};

class TORVIndexPage : public TORVTableFileBuffer {
 public:
  TORVIndexPage(TORVTableFileManager* Owner, TORVIndex* OwnerIndex);
  ~TORVIndexPage() override;

  int32_t GetHeaderSize() override { return FHeaderSize; }
  // An empty root page without children.
  void Initialize() override;
  // Drops every entry, keeping the type and the links: a freed page then
  // reads back under any index's slot layout.
  void Clear();
  // Reads the header from Stream, the page's buffer stream at its start,
  // and derives the counts from the key slots. A type, key count or row
  // count that the page cannot hold raises the corruption error; nothing is
  // read past the page.
  void Load(TORVMemoryStream& Stream) override;
  // Writes the header; the key and row areas are in place in the buffer.
  void Save(TORVMemoryStream& Stream) override;
  void Assign(const TORVTableFileBuffer& FromBuffer) override;
  // Same number, NextNumber, type, PriorNumber, KeyCount and RowCount.
  bool Compare(const TORVTableFileBuffer& BufferToCompare) const override;

  int32_t GetMaxKeyCount() const;
  int32_t GetMinKeyCount() const { return GetMaxKeyCount() / 2; }
  bool GetOverflowed() const { return FTotalPageSize > FPageSize; }
  bool GetUnderflowed() const { return FRowCount < GetMinKeyCount(); }
  bool CanMerge(const TORVIndexPage& Page) const { return FPageSize - FTotalPageSize >= Page.FTotalPageSize; }
  // The position of the key's current entry among the page's entries.
  int32_t GetRowCountForKey(const TORVIndexKey& Key) const;
  // The key whose entries hold position RowCount, and the row within it.
  void GetPositionForRowCount(int32_t RowCount, int32_t& KeyIndex, int32_t& RowIndex) const;
  // How many entries from the key's current one (forward for Direction 1,
  // else backward) carry consecutive numbers, at most MaxReadAhead.
  int32_t GetReadAhead(TORVIndexKey& Key, int32_t Direction, int32_t MaxReadAhead);

  // Searches return the last comparison of a key with the search values
  // (-1 key less, 0 equal, 1 greater) and leave SearchKey on the entry
  // found. Every search but SearchKeyForInsert raises the corruption error
  // on an empty page.
  int32_t SearchPartial(TORVValues& SearchValues, int32_t PartialLength, bool CaseInsensitive,
                        TORVIndexKey& SearchKey, bool UseSequentialSearch);
  int32_t Search(TORVValues& SearchValues, bool CaseInsensitive, TORVIndexKey& SearchKey);
  int32_t SearchNextPartial(TORVValues& SearchValues, int32_t PartialLength, bool CaseInsensitive,
                            TORVIndexKey& SearchKey, bool UseSequentialSearch);
  int32_t SearchNext(TORVValues& SearchValues, bool CaseInsensitive, TORVIndexKey& SearchKey);
  void SearchLast(TORVIndexKey& SearchKey);
  int32_t SearchRangeStartKey(TORVKeyValues& SearchKeyValues, TORVIndexKey& SearchKey);
  int32_t SearchRangeEndKey(TORVKeyValues& SearchKeyValues, TORVIndexKey& SearchKey);
  int32_t SearchKey(TORVKeyValues& SearchKeyValues, TORVIndexKey& SearchKey);
  int32_t SearchKeyForInsert(TORVKeyValues& SearchKeyValues, TORVIndexKey& SearchKey);

  // Grows the buffer to NewSize when it is smaller.
  void ResizePage(int32_t NewSize);
  // Adds the entry (NewValues with its row ID, NewNumber) in order. A
  // duplicate raises the corruption error, except the same row under the
  // same word of a text index, which is ignored.
  void InsertKey(TORVKeyValues& NewValues, int32_t NewNumber, TORVIndexKey& NewKey);
  // Moves the upper part of the entries to NewPage, whose type and links
  // the caller has set; this page keeps the larger half.
  void Split(TORVIndexPage& NewPage);
  // Removes the entry ExistingKey stands on.
  void DeleteKey(TORVIndexKey& ExistingKey);
  // Appends every entry of this page to MergePage, its left neighbour, and
  // empties this page. MergeAdjustKeyCount is 1 when this page's first key
  // equals MergePage's last and the caller has added its rows to that key.
  void Merge(TORVIndexPage& MergePage, int32_t MergeAdjustKeyCount);

  TORVIndex* GetOwnerIndex() const { return FOwnerIndex; }
  TORVIndexManager* GetIndexManager() const { return FIndexManager; }
  int32_t GetCharacterSet() const { return FCharacterSet; }
  int32_t GetPageSize() const { return FPageSize; }
  uint8_t GetPageType() const { return FPageType; }
  // Between an internal (0, 1) and an external (2, 3) type only while the
  // page is empty.
  void SetPageType(uint8_t Value);
  bool GetExternal() const { return FPageType == ptExternal || FPageType == ptRootExternal; }
  int32_t GetPriorNumber() const { return FPriorNumber; }
  void SetPriorNumber(int32_t Value);
  int32_t GetKeyCount() const { return FKeyCount; }
  void SetKeyCount(int32_t Value);
  int32_t GetRowCount() const { return FRowCount; }
  int32_t GetKeySize() const { return FKeySize; }
  int32_t GetKeyStreamSize() const { return FKeyStreamSize; }
  int32_t GetRowStreamSize() const { return FRowStreamSize; }
  int32_t GetTotalPageSize() const { return FTotalPageSize; }
  bool GetUniqueKeys() const { return FUniqueKeys; }
  // Row entries before key Index (0 .. KeyCount); non-unique indexes only.
  int32_t GetKeyRowCounts(int32_t Index) const { return FKeyRowCounts[static_cast<size_t>(Index)]; }
  // Throws std::logic_error when an invariant above does not hold.
  void CheckInvariants() const;

 protected:
  // The index statistics follow the entries added to and removed from
  // external and internal pages; an index manager keeps them for its
  // active index.
  virtual void AdjustExternalKeys(int32_t Delta);
  virtual void AdjustInternalKeys(int32_t Delta);
  // Raises the file's corruption error with Detail.
  [[noreturn]] void CorruptError(const TORVString& Detail);
  [[noreturn]] void DuplicateKeyError();

 private:
  void SetSizes();
  // KeyRowCounts, RowCount and TotalPageSize from the key slots.
  void Recalculate();
  void SetKeyRowCountsLength(int32_t Count);
  void CheckNotEmpty();
  int32_t NextOnLeaf(TORVValues& Values, int32_t PartialLength, bool CaseInsensitive, TORVIndexKey& Key,
                     int32_t Result);
  void AdjustStatistics(int32_t Delta);
  // Move the used bytes from Offset on by Size (up to open, down to close).
  void OpenGap(int32_t Offset, int32_t Size);
  void CloseGap(int32_t Offset, int32_t Size);
  uint8_t* Memory() const { return FBufferStream->GetMemory(); }
  void SetOwnerIndex(TORVIndex* Value);

  // Nil when the owning file is not an index manager.
  TORVIndexManager* FIndexManager;
  TORVIndex* FOwnerIndex;
  int32_t FCharacterSet;
  int32_t FPageSize;
  bool FUniqueKeys;
  int32_t FKeySize;
  uint8_t FPageType = ptRootExternal;
  int32_t FHeaderSize = 0;
  int32_t FKeyStreamSize = 0;
  int32_t FRowStreamSize = 0;
  int32_t FPriorNumber = 0;
  int32_t FKeyCount = 0;
  int32_t FRowCount = 0;
  int32_t FKeyRowCountsCapacity = 0;
  std::vector<int32_t> FKeyRowCounts;
  int32_t FTotalPageSize = 0;
};

}  // namespace orv
