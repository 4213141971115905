// The B+-tree of one index: descents to find, insert, delete and verify
// entries, the balancing that keeps the tree sound, movement in key order
// for cursors, positions by key or sequence number, and the optimizer's
// row-count estimates.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/orvtype.h"
#include "core/orvcontainedvalue.h"
#include "core/orvnavigator.h"
#include "storage/orvindexkey.h"

namespace orv {

class TORVIndex;
class TORVIndexManager;
class TORVIndexPage;
class TORVKeyValues;
class TORVValues;

// A key value that holds its value in its own memory, limited to its
// defined length.
class TORVContainedIndexKeyValue : public TORVContainedValue {
 public:
  explicit TORVContainedIndexKeyValue(int32_t CharacterSetToUse) : TORVContainedValue(CharacterSetToUse, true) {}
};

// A key of an index that outlives the page it was read from (range ends,
// bookmarks, keys built from rows): one contained value per index column,
// typed as the column's source, which it owns. It may hold a prefix of the
// index columns after Assign.
class TORVContainedIndexKeyValues : public TORVIndexKeyValues {
 public:
  TORVContainedIndexKeyValues(int32_t CharacterSetToUse, TORVIndex* Owner);
  ~TORVContainedIndexKeyValues() override;

  // The count of FromValues, then its values and row ID.
  void Assign(TORVValues& FromValues) override;

 private:
  int32_t FColumnCount;
};

// One step of a descent: a cached page (or nil) and a key cursor on it.
class TORVIndexLevel {
 public:
  TORVIndexLevel(int32_t CharacterSetToUse, TORVIndex* Index)
      : FKey(std::make_unique<TORVIndexKey>(CharacterSetToUse, Index)) {}

  TORVIndexPage* GetPage() const { return FPage; }
  // The key stands on the page and, for a page, on its first entry.
  void SetPage(TORVIndexPage* Value);
  TORVIndexKey& GetKey() const { return *FKey; }

 private:
  TORVIndexPage* FPage = nullptr;
  std::unique_ptr<TORVIndexKey> FKey;
};

// The current entry is a copy of its external page (FPage), so moving
// within a page fetches nothing; only crossing to a neighbour fetches one.
// Between operations the levels hold no cached page: every operation
// releases what it fetched, also when an exception passes. Each operation
// first makes this navigator's index the manager's active index, since
// the navigators of a table share the manager.
class TORVIndexNavigator : public TORVNavigator {
 public:
  TORVIndexNavigator(TORVIndexManager* Owner, int32_t Number);
  ~TORVIndexNavigator() override;

  // Ranges and restricted keys of cursors and filters: none here.
  // CheckRange and CheckRestrictedKey give -1 for values before, 1 after
  // and 0 inside.
  virtual bool GetRangeInEffect() { return false; }
  virtual TORVKeyValues* GetRangeStartKeyValues() { return nullptr; }
  virtual TORVKeyValues* GetRangeEndKeyValues() { return nullptr; }
  virtual int32_t CheckRange(TORVValues& /*KeyValues*/) { return 0; }
  virtual bool GetRestrictedKey() { return false; }
  virtual int32_t CheckRestrictedKey(TORVValues& /*KeyValues*/) { return 0; }

  // Adds the entry (NewValues with its row ID, NewNumber the row's slot).
  virtual void Insert(TORVKeyValues& NewValues, int32_t NewNumber);
  // Only makes the index active: a key changes by Delete and Insert.
  virtual void Update(TORVKeyValues& ExistingValues, int32_t ExistingNumber);
  // Removes the entry; one that is not there raises the corruption error
  // (except in a text index).
  virtual void Delete(TORVKeyValues& ExistingValues, int32_t ExistingNumber);

  int32_t GetRowCount() override;
  void ClearActiveRow() override;
  bool RowValid(int32_t RowNumber, int32_t Direction, bool& StopScan) override;
  int32_t GetRowNumber() override;
  int32_t GetReadAhead(int32_t StartingRowNumber, int32_t Direction, int32_t MaxReadAhead) override;
  // 0 on a matching entry, 1 on the first greater one, -1 when every entry
  // is less.
  int32_t Search(TORVValues& SearchValues, int32_t PartialLength, bool CaseInsensitive, bool& FoundChanges) override;
  // As Search, by key values and row ID.
  int32_t GotoKey(TORVKeyValues& NewKeyValues, bool& FoundChanges);
  // Index order has no position by row number: False.
  bool GotoNumber(int32_t NewNumber, int32_t Direction, bool& FoundChanges) override;
  // The entry at 1-based position NewSequenceNumber in index order.
  void GotoSequenceNumber(int32_t NewSequenceNumber, bool& FoundChanges) override;
  // BOF and EOF after moving to a bookmark: set only when no entry lies
  // before or after it.
  void SetFlags(bool BookmarkBOF, bool BookmarkEOF, bool& FoundChanges);
  bool First(bool& FoundChanges) override;
  bool Next(bool& FoundChanges) override;
  bool Prior(bool& FoundChanges) override;
  bool Last(bool& FoundChanges) override;

  // Estimated positions in index order, from one page per level: of the
  // first entry matching SearchValues, after the last one, and of the last
  // entry.
  int32_t GetRowCountEstimate(TORVValues& SearchValues, int32_t PartialLength, bool CaseInsensitive,
                              bool& FoundChanges);
  int32_t GetNextRowCountEstimate(TORVValues& SearchValues, int32_t PartialLength, bool CaseInsensitive,
                                  bool& FoundChanges);
  int32_t GetLastRowCountEstimate(bool& FoundChanges);
  // True when the exact entry (values, row ID) is there with ExistingNumber.
  bool Verify(TORVKeyValues& ExistingValues, int32_t ExistingNumber);

  // The private copy of the current entry's page and the entry.
  TORVIndexPage& GetPage() const { return *FPage; }
  TORVIndexKey& GetKey() const { return *FKey; }
  // nil clears the current entry; else the private page becomes a copy.
  void SetPage(TORVIndexPage* Value);
  TORVIndexManager* GetIndexManager() const { return FIndexManager; }
  int32_t GetIndexNumber() const { return FIndexNumber; }
  // The index keeps its navigator when an earlier index of the table is
  // dropped and its position moves down.
  void SetIndexNumber(int32_t Value) { FIndexNumber = Value; }
  TORVIndex* GetIndex() const { return FIndex; }

 protected:
  void SetActiveIndex();

 private:
  enum TORVDescentKind : uint8_t { dkFirst, dkLast, dkRangeStart, dkRangeEnd, dkSearch, dkSearchNext, dkKey };
  struct TORVDescent;

  void FreeLevels();
  void SetNumLevels(int32_t Value);
  // Releases every level's page, deepest first; FLevel := 0.
  void ClearLevels();
  void IncLevel();
  void DecLevel();
  void ClearNavigateLevel();
  TORVIndexLevel& Level(int32_t Index) { return *FLevels[static_cast<size_t>(Index)]; }
  TORVIndexLevel& CurrentLevel() { return Level(FLevel); }
  // A page of this index: a number outside the file or a page another
  // index owns raises the corruption error.
  TORVIndexPage* FetchPage(int32_t PageNumber, bool DetectChanges, bool& FoundChanges);
  // The external page that FromNumber links to, forward or backward; it
  // must link back to FromNumber, since the chain is doubly linked.
  TORVIndexPage* FetchLinkedPage(int32_t PageNumber, int32_t FromNumber, bool Forward, bool DetectChanges,
                                 bool& FoundChanges);
  static bool LinksBack(const TORVIndexPage& Page, int32_t FromNumber, bool Forward);
  // A cursor's step from the current entry's page to Page, held by the
  // navigate level: the link must hold both ways, and a walk in one
  // direction never takes more steps than the file has pages.
  void CheckChainStep(TORVIndexPage& Page, bool Forward);
  [[noreturn]] void ChainError();
  // From the root to an external page, each page searched as Descent says;
  // False on FoundChanges (levels released).
  bool Descend(TORVDescent& Descent, bool DetectChanges, bool& FoundChanges);
  int32_t SearchPage(TORVIndexPage& Page, TORVIndexKey& Key, TORVDescent& Descent);
  // On the external level after a search ended below the values: the next
  // entry, on the next page when needed; the comparison there.
  int32_t SearchNextHigherKey(TORVValues& SearchValues, int32_t PartialLength, bool& FoundChanges,
                              bool CaseInsensitive);
  // As above when the key is on the page's last entry, else the comparison
  // where it stands.
  int32_t StepPastLess(TORVValues& Values, int32_t PartialLength, bool CaseInsensitive, int32_t Result,
                       bool& FoundChanges);
  // The external level's entry becomes the current entry.
  void PositionOnLevel();
  // Search and GotoKey: the range's end for values outside it, else the
  // descent's entry; the comparison of the entry reached with Values.
  int32_t PositionBySearch(TORVDescent& Descent, TORVValues& Values, int32_t PartialLength, bool CaseInsensitive,
                           bool& FoundChanges);
  bool EmptyIndex();
  bool AfterRange(TORVValues& Values);
  bool BeforeRange(TORVValues& Values);
  int32_t CompareCurrent(TORVValues& Values, int32_t PartialLength, bool CaseInsensitive);
  void SetupSearch(TORVDescent& Descent, TORVValues& Values, int32_t PartialLength, bool CaseInsensitive,
                   bool Next);
  int32_t GetNextHigherKeyRowCount(bool& FoundChanges);
  // Restores the tree upward from the current level after a change there.
  void UpdateUpperIndexPages();
  void SplitRoot(TORVIndexPage& OldRoot, TORVIndexPage& NewPage);
  void MissingKeyError();

  TORVIndexManager* FIndexManager;
  int32_t FIndexNumber;
  TORVIndex* FIndex;
  int32_t FCharacterSet;
  std::unique_ptr<TORVIndexPage> FPage;
  std::unique_ptr<TORVIndexKey> FKey;
  std::unique_ptr<TORVIndexKey> FReadAheadKey;
  std::unique_ptr<TORVIndexLevel> FNavigateLevel;
  std::unique_ptr<TORVIndexLevel> FRootLevel;
  std::unique_ptr<TORVIndexLevel> FSplitLevel;
  std::unique_ptr<TORVIndexLevel> FMergeLevel;
  int32_t FLevel = 0;
  int32_t FNumLevels = 0;
  // Pages crossed by Next (direction 1) or Prior (-1) since the last
  // descent; a damaged chain that loops is caught by the count.
  int32_t FChainDirection = 0;
  int32_t FChainSteps = 0;
  int32_t FChainLimit = 0;
  std::vector<std::unique_ptr<TORVIndexLevel>> FLevels;
};

}  // namespace orv
