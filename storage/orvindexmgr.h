// A table's index file: every index of the table as a B+-tree of index
// pages, all pages sharing the file's numbering and its free-page chain.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "base/orvtype.h"
#include "storage/orvtablefile.h"

namespace orv {

class TORVIndex;
class TORVIndexKey;
class TORVIndexPage;
class TORVSparseBitmap;

// The header record of one index (20 bytes, five little-endian Int32 in
// this order). InternalPages and InternalKeys count pages of type 1 and
// their entries (the root is never counted); ExternalPages and
// ExternalKeys count pages of types 2 and 3 and their entries.
struct TORVIndexHeader {
  int32_t RootNumber = 0;
  int32_t InternalPages = 0;
  int32_t InternalKeys = 0;
  int32_t ExternalPages = 0;
  int32_t ExternalKeys = 0;
};

// Layout: the common header, then one TORVIndexHeader per index of the
// table in the order of its index list, rounded up to a multiple of 8;
// page n (from 1) at the available header size + (n - 1) x PageSize.
//
// The manager works on one index at a time, the active index
// (IndexNumber); whoever uses it sets the index first. A page freed into
// the chain is emptied, so that it reads back under the layout of the
// index that takes it next.
//
// Invariants of a sound file, per index: RootNumber 0 and no pages, or a
// root of type 3 alone, or a root of type 0 over internal pages of type 1
// and external pages of type 2, all external pages at one depth and doubly
// linked in key order; every entry of an internal page repeats its child's
// first entry; the record's counts equal those of the tree. The manager
// holds no lock: it is used under the table manager's locks.
class TORVIndexManager : public TORVTableFileManager {
 public:
  static constexpr int32_t IndexHeaderRecordSize = 20;
  static constexpr int32_t AvailableHeaderBytes = 8192;
  static constexpr int32_t SystemAvailableHeaderBytes = 1024;
  static constexpr int32_t MinIndexBufferCount = 8;
  static constexpr int32_t ReadAheadPageCount = 8;

  explicit TORVIndexManager(TORVTableFileOwner* Owner);

  TORVString GetFileExtension() override;
  TORVString GetBufferName() override { return u"index page"; }
  std::unique_ptr<TORVTableFileBuffer> CreateBuffer() override;
  int32_t GetBufferSize() override;
  int32_t GetBufferStreamSize() override { return GetBufferSize(); }
  int32_t GetAvailableHeaderSize() override;
  int32_t GetActualHeaderSize() override;
  int32_t CalculateMaxBufferCount() override;
  int32_t CalculateMaxReadAheadBufferCount() override { return ReadAheadPageCount; }
  void Initialize() override;
  void ReadHeader() override;
  void WriteHeader(bool IncUpdateCounter) override;
  bool VerifyHeader(bool& FoundErrors, bool RepairErrors) override;
  bool VerifyBuffers(bool& FoundErrors, bool RepairErrors) override;

  // A page of the active index outside the cache.
  virtual std::unique_ptr<TORVIndexPage> CreateNewPage();
  // Never nil: restarts the read while other sessions keep changing the
  // table, and raises when it does not settle.
  virtual TORVIndexPage* GetPage(int32_t PageNumber);
  // Held until PutPage. A nil result with FoundChanges set: another session
  // changed the table, the cache was dropped, and the caller starts again.
  virtual TORVIndexPage* GetPage(int32_t PageNumber, bool& FoundChanges);
  // The head of the free chain, else a new page at the end: initialized
  // for the active index, of NewPageType, counted, held.
  virtual TORVIndexPage* GetNextFreePage(uint8_t NewPageType);
  // Uncounts the page and pushes it onto the free chain, emptied.
  virtual void SetNextFreePage(TORVIndexPage& FreePage);
  virtual void PutPage(TORVIndexPage* Page);

  // The catalog index at IndexNumber; nil when the table has none there.
  TORVIndex* GetActiveIndex() const;
  int32_t GetIndexNumber() const { return FIndexNumber; }
  void SetIndexNumber(int32_t Value) { FIndexNumber = Value; }
  int32_t GetIndexCount() const { return static_cast<int32_t>(FIndexHeaders.size()); }
  const TORVIndexHeader& GetIndexHeader(int32_t Index) const;

  int32_t GetRootNumber() const { return Active().RootNumber; }
  void SetRootNumber(int32_t Value);
  int32_t GetInternalPages() const { return Active().InternalPages; }
  void SetInternalPages(int32_t Value);
  int32_t GetInternalKeys() const { return Active().InternalKeys; }
  void SetInternalKeys(int32_t Value);
  int32_t GetExternalPages() const { return Active().ExternalPages; }
  void SetExternalPages(int32_t Value);
  int32_t GetExternalKeys() const { return Active().ExternalKeys; }
  void SetExternalKeys(int32_t Value);
  void IncInternalPages() { SetInternalPages(GetInternalPages() + 1); }
  void DecInternalPages() { SetInternalPages(GetInternalPages() - 1); }
  void IncInternalKeys() { SetInternalKeys(GetInternalKeys() + 1); }
  void DecInternalKeys() { SetInternalKeys(GetInternalKeys() - 1); }
  void IncExternalKeys() { SetExternalKeys(GetExternalKeys() + 1); }
  void DecExternalKeys() { SetExternalKeys(GetExternalKeys() - 1); }
  // Entries per page of each kind; 0 without pages of that kind.
  int32_t GetAverageInternalKeys() const;
  int32_t GetAverageExternalKeys() const;
  // The optimizer's cost of reading Value entries of the active index: the
  // bytes of the external pages that hold them.
  int64_t GetCostForCount(int64_t Value);

  // The index at IndexNumberToCreate has just taken its place in the
  // table's index list: it gets an empty record there, and the file is
  // written and flushed.
  void CreateIndex(int32_t IndexNumberToCreate);
  // Frees the index's pages and empties its record, ready for a rebuild.
  void AlterIndex(int32_t IndexNumberToAlter);
  // Frees the index's pages and removes its record. False, with every
  // change taken back, when the session's progress check stopped it.
  bool DropIndex(int32_t IndexNumberToDrop);
  // Over the pages reachable from the index's root: the bytes used, the
  // bytes free, and the internal pages of type 1.
  int32_t CalculateSpace(int32_t IndexNumberToCalculate);
  int32_t CalculateSlackSpace(int32_t IndexNumberToCalculate);
  int32_t CalculateInternalPages(int32_t IndexNumberToCalculate);
  // Every page of the index as text, parents before their children; with
  // RowIDs every row entry of a non-unique key too.
  TORVString DumpIndex(int32_t IndexNumberToDump, bool RowIDs);

 private:
  // The active index's record; an index number without one is a broken
  // caller contract (std::out_of_range).
  TORVIndexHeader& Active();
  const TORVIndexHeader& Active() const;
  // Calls Visit for every page reachable from the active index's root,
  // parents before their children, each page once.
  void WalkIndex(const std::function<void(TORVIndexPage&)>& Visit);
  // Frees the page and, for an internal page, its children first; False
  // when the session's progress check stopped the walk.
  bool DeleteNextIndexPage(int32_t PageNumber, int32_t TotalKeys, int32_t& Count);
  // Frees every page of the active index; False when stopped.
  bool FreeIndexPages();
  void DumpPage(TORVIndexPage& Page, bool RowIDs, TORVString& Text);

  struct TVerifyCounts;
  bool VerifyNextIndexPage(int32_t PageNumber, TORVIndexKey* ParentKey,
                           TORVSparseBitmap& RowBitmap, TORVSparseBitmap& PageBitmap, TVerifyCounts& Counts,
                           bool RepairErrors);

  int32_t FIndexNumber = 0;
  std::vector<TORVIndexHeader> FIndexHeaders;
};

}  // namespace orv
