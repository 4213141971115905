// An index file of the table "Orders" that only makes pages, for the tests
// of index keys and pages: pages of PageSize bytes whose owner is the index
// the test makes active.
#pragma once

#include <cstdint>
#include <memory>

#include "storage/orvindexpage.h"
#include "tests/storage/orvtabletestfiles.h"

namespace orv::test {

class TTestIndexFile : public TORVTableFileManager {
 public:
  TTestIndexFile(TTestTableManager* Owner, int32_t PageSizeToUse)
      : TORVTableFileManager(Owner), PageSize(PageSizeToUse) {}

  TORVString GetFileExtension() override { return u".ORVIdx"; }
  int32_t GetAvailableHeaderSize() override { return 1024; }
  TORVString GetBufferName() override { return u"index page"; }
  std::unique_ptr<TORVTableFileBuffer> CreateBuffer() override { return NewPage(); }
  int32_t CalculateMaxBufferCount() override { return 8; }
  int32_t CalculateMaxReadAheadBufferCount() override { return 4; }
  int32_t GetBufferSize() override { return PageSize; }
  int32_t GetBufferStreamSize() override { return PageSize; }

  std::unique_ptr<TORVIndexPage> NewPage() { return std::make_unique<TORVIndexPage>(this, ActiveIndex); }
  // Page Number from the cache (a new one when Number is the next number),
  // held until Release.
  TORVIndexPage* Get(int32_t Number) {
    bool FoundChanges = false;
    return static_cast<TORVIndexPage*>(GetBuffer(Number, false, FoundChanges, 1, 0));
  }
  void Release(TORVIndexPage* Page) { PutBuffer(Page); }

  int32_t PageSize;
  TORVIndex* ActiveIndex = nullptr;
};

// A table manager without files and its index file, in CharacterSet.
struct TIndexFileSession {
  TIndexFileSession(int32_t CharacterSet, int32_t PageSize, TORVFileManager* Files = nullptr,
                    const TORVString& Folder = u"")
      : Manager(Files, Folder) {
    Manager.Settings().SetCharacterSet(CharacterSet);
    File = std::make_unique<TTestIndexFile>(&Manager, PageSize);
  }
  // A page of Index.
  std::unique_ptr<TORVIndexPage> NewPage(TORVIndex* Index) {
    File->ActiveIndex = Index;
    return File->NewPage();
  }

  TTestTableManager Manager;
  std::unique_ptr<TTestIndexFile> File;
};

}  // namespace orv::test
