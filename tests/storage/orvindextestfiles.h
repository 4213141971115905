// An index file of the table "Orders" that only makes pages, for the tests
// of index keys and pages: pages of PageSize bytes whose owner is the index
// the test makes active.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "catalog/orvcolumns.h"
#include "catalog/orvindexes.h"
#include "core/orvtypefunc.h"
#include "storage/orvindexmgr.h"
#include "storage/orvindexpage.h"
#include "tests/storage/orvtabletestfiles.h"
#include "tests/support/orvfaultfilemgr.h"
#include "tests/support/orvrowfakes.h"
#include "tests/support/orvtestfolder.h"

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

// An index of the index table: its type and one key column.
struct TIndexDef {
  const char16_t* Name;
  int32_t IndexType;
  int32_t Position;
  bool Descending;
};

// Positions of the index table's columns: Integer "u", Integer "d" and
// VarChar(8) "name".
inline constexpr int32_t UColumn = 0;
inline constexpr int32_t DColumn = 1;
inline constexpr int32_t NameColumn = 2;

// Shapes the table "Orders" as the index table with Defs as its indexes
// and index pages of PageSize bytes, cached up to CacheBytes.
inline std::function<void(TORVBaseTable&)> IndexTable(std::vector<TIndexDef> Defs, int32_t PageSize,
                                                      int32_t CacheBytes = 8192) {
  return [Defs, PageSize, CacheBytes](TORVBaseTable& Table) {
    TORVColumns& Columns = Table.GetColumns();
    AddTestColumn(Columns, u"u", dtInteger, 0, 0, 1);
    AddTestColumn(Columns, u"d", dtInteger, 0, 0, 2);
    AddTestColumn(Columns, u"name", dtCharacter, stVarChar, 8, 3);
    Table.SetIndexPageSize(PageSize);
    Table.SetMaxIndexBufferSize(CacheBytes);
    for (const TIndexDef& Def : Defs) {
      std::unique_ptr<TORVIndex> Index(static_cast<TORVIndex*>(Table.GetIndexes().GetNewObject()));
      Index->SetName(Def.Name);
      Index->SetIndexType(Def.IndexType);
      TORVIndexColumns& Keys = *Index->GetIndexColumns();
      std::unique_ptr<TORVIndexColumn> Key(static_cast<TORVIndexColumn*>(Keys.GetNewObject()));
      Key->SetSourceColumn(Columns.GetColumn(Def.Position));
      Key->SetDescending(Def.Descending);
      Keys.Add(Key.release());
      Table.GetIndexes().Add(Index.release());
    }
  };
}

using TIndexSession = TKindSession<TORVIndexManager>;

// The index table's file in a fresh folder, on disk files shared with
// other processes; OpenSession makes a new session over it.
class IndexFileTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    Files = NewSharedOSFileManager();
  }
  void TearDown() override {
    Session.reset();
    Files.reset();
    TempFolderTest::TearDown();
  }
  // A session of the table with Defs and pages of Size bytes, its index
  // file opened (made first when missing).
  void OpenSession() {
    Session.reset();
    Session = std::make_unique<TIndexSession>(Files.get(), FolderName(), IndexTable(Defs, Size));
    Session->Open();
  }
  TORVIndexManager& File() { return *Session->File; }
  TORVIndexes& Indexes() { return Session->Manager->Table().GetIndexes(); }
  int32_t CharacterSet() { return Session->Manager->Settings().GetCharacterSet(); }

  std::unique_ptr<TFaultOSFileManager> Files;
  std::vector<TIndexDef> Defs;
  int32_t Size = 128;
  std::unique_ptr<TIndexSession> Session;
};

}  // namespace orv::test
