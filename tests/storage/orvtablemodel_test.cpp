// A table's rows file and large-object file together, as a user's data
// tests them: rows with two large objects of many sizes inserted, updated
// and deleted by sessions with cold caches, checked against a model in
// memory; and the first header write of a write torn at every byte.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/orverror.h"
#include "base/orvutf8.h"
#include "catalog/orvcolumns.h"
#include "core/orvnavigator.h"
#include "core/orvliteral.h"
#include "core/orvtypefunc.h"
#include "storage/orvblobfile.h"
#include "storage/orvosfilemgr.h"
#include "storage/orvrowsfile.h"
#include "tests/storage/orvtabletestfiles.h"
#include "tests/support/orverrortext.h"
#include "tests/support/orvfaultfilemgr.h"
#include "tests/support/orvrowfakes.h"
#include "tests/support/orvtestfolder.h"
#include "tests/support/orvtestseed.h"

namespace orv {
namespace {

using test::ErrorOf;
using TFaultBufferedOSFileManager = test::TFaultFileManager<TORVBufferedOSFileManager, TORVBufferedOSFile>;

constexpr int32_t BlockBytes = 64;
constexpr char RepairRequired[] =
    "100 There is an error in the metadata for the table Orders (A write operation did not complete and a repair "
    "is required)";

// ID, a name and two large objects in 64-byte blocks. The caches are as
// small as they go, so that reads leave them and read ahead.
void ConfigureTable(TORVBaseTable& Table, bool Encrypted) {
  TORVColumns& Columns = Table.GetColumns();
  AddTestColumn(Columns, u"ID", dtInteger, 0, 0, 1);
  AddTestColumn(Columns, u"Name", dtCharacter, stVarChar, 20, 2);
  AddTestColumn(Columns, u"First", dtLargeObject, stBlob, 0, 3);
  AddTestColumn(Columns, u"Second", dtLargeObject, stBlob, 0, 4);
  Table.SetBlobBlockSize(BlockBytes);
  Table.SetMaxBlobBufferSize(BlockBytes);
  Table.SetMaxRowBufferSize(1);
  Table.SetEncrypted(Encrypted);
}

// A session's table manager whose rows keep their large objects in the
// session's large-object file.
class TRowsAndBlobsManager : public test::TBlobFileTableManager {
 public:
  using TBlobFileTableManager::TBlobFileTableManager;

  bool CheckForChanges(bool /*ManualRefresh*/) override {
    const bool RowsChanged = Rows != nullptr && Rows->CheckForChanges();
    const bool BlobsChanged = BlobFile != nullptr && BlobFile->CheckForChanges();
    return RowsChanged || BlobsChanged;
  }

  TORVRowsetManager* Rows = nullptr;
};

struct TModelRow {
  int32_t ID = 0;
  TORVString Name;
  TORVBytes First;
  TORVBytes Second;

  bool operator==(const TModelRow& Other) const = default;
};

std::string Describe(const TModelRow& Row) {
  auto Sum = [](const TORVBytes& Bytes) {
    uint32_t Result = 0;
    for (uint8_t Byte : Bytes) Result = Result * 31 + Byte;
    return std::to_string(Bytes.size()) + " bytes #" + std::to_string(Result);
  };
  return "ID " + std::to_string(Row.ID) + " '" + StringToUtf8(Row.Name) + "' first " + Sum(Row.First) +
         ", second " + Sum(Row.Second);
}

using TModel = std::map<int32_t, TModelRow>;

void ExpectSameRows(const TModel& Actual, const TModel& Expected) {
  EXPECT_EQ(Actual.size(), Expected.size());
  for (const auto& [Number, Row] : Expected) {
    const auto Found = Actual.find(Number);
    if (Found == Actual.end()) {
      ADD_FAILURE() << "row " << Number << " missing: " << Describe(Row);
    } else if (!(Found->second == Row)) {
      ADD_FAILURE() << "row " << Number << " is " << Describe(Found->second) << ", expected " << Describe(Row);
    }
  }
  for (const auto& [Number, Row] : Actual)
    if (Expected.count(Number) == 0) ADD_FAILURE() << "row " << Number << " should not be there: " << Describe(Row);
}

// One session of the table: its manager, both files and a navigator over
// the rows. Every change goes through the navigator as the engine makes it.
class TTableUse {
 public:
  TTableUse(TORVFileManager* Files, const TORVString& Folder, bool Encrypted)
      : Manager(std::make_unique<TRowsAndBlobsManager>(Files, Folder)) {
    ConfigureTable(Manager->Table(), Encrypted);
    Blobs = std::make_unique<TORVBlobManager>(Manager.get());
    Rows = std::make_unique<TORVRowsetManager>(Manager.get());
    Manager->BlobFile = Blobs.get();
    Manager->Rows = Rows.get();
    for (TORVTableFileManager* File : BothFiles()) {
      File->Initialize();
      if (File->GetFileExists())
        File->Open();
      else
        File->CreateAndOpen();
    }
    Nav = std::make_unique<TORVRowsetNavigator>(Rows.get());
    Scratch = Rows->CreateNewRow();
    NewValues = std::make_unique<TORVRowsetRowValues>(Rows.get(), Rows->GetSettings().GetCharacterSet());
    NewValues->SetRow(Scratch.get());
  }

  // A statement under a shared lock: other sessions' changes are picked up
  // first, and the changes go to disk at the end.
  void StartWriting() {
    for (TORVTableFileManager* File : BothFiles()) File->StartWriting();
  }
  void Write() {
    for (TORVTableFileManager* File : BothFiles()) File->Write(false);
  }
  void StartTransaction() {
    for (TORVTableFileManager* File : BothFiles()) File->StartTransaction();
  }
  void Commit() {
    for (TORVTableFileManager* File : BothFiles()) File->Commit(false, true);
  }
  void Rollback() {
    for (TORVTableFileManager* File : BothFiles()) File->Rollback();
  }

  int32_t Insert(TModelRow& Row) {
    NewValues->Clear();
    Row.ID = Rows->GetLastRowID();
    NewValues->GetItems(0)->SetAsInteger(Row.ID);
    NewValues->GetItems(1)->SetAsString(Row.Name);
    if (!Row.First.empty()) NewValues->GetItems(2)->SetAsBytes(Row.First);
    if (!Row.Second.empty()) NewValues->GetItems(3)->SetAsBytes(Row.Second);
    int32_t Number = 0;
    int32_t Counter = 0;
    Nav->Insert(Rows->GetLastVersion(), *NewValues, Number, Counter);
    return Number;
  }
  // The row's name, and each large object whose Set flag is given.
  void Update(int32_t Number, const TModelRow& Row, bool SetFirst, bool SetSecond) {
    bool FoundChanges = false;
    ASSERT_TRUE(Nav->GotoNumber(Number, 0, FoundChanges));
    ASSERT_FALSE(FoundChanges);
    TORVRowValues& Values = Nav->GetRowValues();
    Values.GetItems(1)->SetAsString(Row.Name);
    if (SetFirst) Values.GetItems(2)->SetAsBytes(Row.First);
    if (SetSecond) Values.GetItems(3)->SetAsBytes(Row.Second);
    int32_t Counter = 0;
    Nav->Update(Values, Number, Counter);
  }
  void Delete(int32_t Number) {
    int32_t Counter = 0;
    Nav->Delete(*NewValues, Number, Counter);
  }
  TModelRow Read(int32_t Number) {
    bool FoundChanges = false;
    EXPECT_TRUE(Nav->GotoNumber(Number, 0, FoundChanges));
    EXPECT_FALSE(FoundChanges);
    return Current();
  }
  // Every live row, by a First/Next scan.
  TModel Scan() {
    TModel Seen;
    bool FoundChanges = false;
    for (bool On = Nav->First(FoundChanges); On; On = Nav->Next(FoundChanges)) Seen[Nav->GetRowNumber()] = Current();
    EXPECT_FALSE(FoundChanges);
    return Seen;
  }
  // The findings of a verification of both files.
  std::vector<TORVString> Verify() {
    Manager->LogLines.clear();
    for (TORVTableFileManager* File : BothFiles()) {
      bool FoundErrors = false;
      EXPECT_TRUE(File->Verify(FoundErrors, false));
    }
    return Manager->LogLines;
  }

  std::unique_ptr<TRowsAndBlobsManager> Manager;
  std::unique_ptr<TORVBlobManager> Blobs;
  std::unique_ptr<TORVRowsetManager> Rows;
  std::unique_ptr<TORVRowsetNavigator> Nav;

 private:
  std::vector<TORVTableFileManager*> BothFiles() { return {Blobs.get(), Rows.get()}; }
  TModelRow Current() {
    TORVRowValues& Values = Nav->GetRowValues();
    return {Values.GetItems(0)->GetAsInteger(), Values.GetItems(1)->GetAsString(), Values.GetItems(2)->GetAsBytes(),
            Values.GetItems(3)->GetAsBytes()};
  }

  std::unique_ptr<TORVRowsetRow> Scratch;
  std::unique_ptr<TORVRowsetRowValues> NewValues;
};

TORVBytes Pattern(int32_t Count, int32_t Seed) {
  TORVBytes Bytes(static_cast<size_t>(Count));
  for (int32_t Index = 0; Index < Count; ++Index) Bytes[static_cast<size_t>(Index)] = static_cast<uint8_t>(Index * 7 + Seed);
  return Bytes;
}

struct TFilesMode {
  const char* Name;
  bool Buffered;
  bool Encrypted;
  // Of the random run; enciphering costs the sanitized build most.
  int32_t Operations;
};

class RowsAndBlobs : public test::TempFolderTest, public ::testing::WithParamInterface<TFilesMode> {
 protected:
  void SetUp() override {
    test::TempFolderTest::SetUp();
    if (GetParam().Buffered) {
      auto Buffered = std::make_unique<TFaultBufferedOSFileManager>();
      Buffered->SetExclusiveFileAccess(false);
      Buffered->Initialize();
      Faults = &Buffered->Faults();
      Files = std::move(Buffered);
    } else {
      auto Plain = test::NewSharedOSFileManager();
      Faults = &Plain->Faults();
      Files = std::move(Plain);
    }
  }
  std::unique_ptr<TTableUse> NewSession(const TORVString& Folder = u"") {
    return std::make_unique<TTableUse>(Files.get(), Folder.empty() ? FolderName() : Folder, GetParam().Encrypted);
  }

  std::unique_ptr<TORVFileManager> Files;
  test::TFaultPlan* Faults = nullptr;
};

TEST_P(RowsAndBlobs, AColdUpdateWhoseFirstLargeObjectGrowsReadsTheSecondOverBlocksOnlyInTheCache) {
  TModelRow Row{0, u"grows", Pattern(10, 1), Pattern(120, 2)};
  int32_t Number = 0;
  {
    auto Writer = NewSession();
    Writer->StartWriting();
    Number = Writer->Insert(Row);
    Writer->Write();
  }
  // The first object's growth appends blocks that wait in the cache while
  // the second object's chain is read ahead from disk.
  Row.First = Pattern(300, 3);
  Row.Second = Pattern(1000, 4);
  auto Updater = NewSession();
  Updater->StartWriting();
  EXPECT_EQ(ErrorOf([&] { Updater->Update(Number, Row, true, true); }), "no error");
  Updater->Write();
  EXPECT_EQ(NewSession()->Read(Number), Row);
}

TEST_P(RowsAndBlobs, AColdScanReadsAheadOverAppendedRowsWaitingToBeWritten) {
  TModel Model;
  {
    auto Writer = NewSession();
    Writer->StartWriting();
    for (int32_t Index = 0; Index < 3; ++Index) {
      TModelRow Row{0, u"old", Pattern(5 * Index, Index), {}};
      Model[Writer->Insert(Row)] = Row;
    }
    Writer->Write();
  }
  auto Scanner = NewSession();
  Scanner->StartWriting();
  for (int32_t Index = 0; Index < 2; ++Index) {
    TModelRow Row{0, u"new", {}, Pattern(70, Index)};
    Model[Scanner->Insert(Row)] = Row;
  }
  // Row 1 is not cached; reading ahead from it meets rows 4 and 5, which
  // exist only in this session's cache.
  TModel Seen;
  EXPECT_EQ(ErrorOf([&] { Seen = Scanner->Scan(); }), "no error");
  ExpectSameRows(Seen, Model);
  Scanner->Write();
  ExpectSameRows(NewSession()->Scan(), Model);
}

TEST_P(RowsAndBlobs, AShortReadOfRowsTheHeaderCountsOnDiskStaysCorrupt) {
  std::filesystem::path Path;
  {
    auto Writer = NewSession();
    Writer->StartWriting();
    for (int32_t Index = 0; Index < 5; ++Index) {
      TModelRow Row{0, u"row", {}, {}};
      Writer->Insert(Row);
    }
    Writer->Write();
    Path = StringToUtf8(Writer->Rows->GetFullFileName());
  }
  const int64_t RowSize = NewSession()->Rows->GetBufferSize();
  std::filesystem::resize_file(Path, std::filesystem::file_size(Path) - 2 * RowSize);
  auto Reader = NewSession();
  EXPECT_NE(ErrorOf([&] { Reader->Scan(); }).find("601 The table Orders is corrupt (Error reading rows into cache"),
            std::string::npos);
}

// Sessions take turns, each with a statement or a transaction of a few
// operations; any of them may be closed and opened again with an empty
// cache. Large objects span from nothing to dozens of blocks, so that
// their chains grow, shrink, move into reused rows and cross the cache.
TEST_P(RowsAndBlobs, RandomOperationsOfColdSessionsAgreeWithTheModel) {
  const uint32_t Seed = test::TestSeed(20261211);
  SCOPED_TRACE("seed " + std::to_string(Seed) + " (ORV_TEST_SEED repeats it)");
  std::mt19937 Random(Seed);
  auto Below = [&Random](size_t Count) { return static_cast<size_t>(Random() % Count); };
  const std::vector<int32_t> Sizes = {0, 1, 10, 46, 47, 48, 102, 103, 120, 300, 1000, 2500};
  auto Bytes = [&] {
    TORVBytes Result(static_cast<size_t>(Sizes[Below(Sizes.size())]));
    for (uint8_t& Byte : Result) Byte = static_cast<uint8_t>(Random());
    return Result;
  };
  auto Name = [&] { return u"n" + IntToString(static_cast<int32_t>(Random() % 100000)); };

  TModel Model;
  std::vector<std::unique_ptr<TTableUse>> Sessions;
  Sessions.push_back(NewSession());
  Sessions.push_back(NewSession());
  const int32_t Operations = GetParam().Operations;
  int32_t Done = 0;
  for (int32_t Batch = 0; Done < Operations && !HasFatalFailure(); ++Batch) {
    std::unique_ptr<TTableUse>& Session = Sessions[Below(Sessions.size())];
    if (Below(100) < 4) {
      Session.reset();
      Session = NewSession();
    }
    TTableUse& S = *Session;
    SCOPED_TRACE("batch " + std::to_string(Batch));
    const size_t Kind = Below(10);
    const bool Transaction = Kind < 3;
    const bool Rollback = Kind == 0;
    const TModel Before = Rollback ? Model : TModel{};
    if (Transaction)
      S.StartTransaction();
    else
      S.StartWriting();
    const int32_t Count = 1 + static_cast<int32_t>(Below(Transaction ? 8 : 3));
    for (int32_t Step = 0; Step < Count && !HasFatalFailure(); ++Step, ++Done) {
      const size_t Roll = Below(100);
      const size_t Live = Model.size();
      if (Live == 0 || (Roll < 40 && Live < 250)) {
        TModelRow Row{0, Name(), Bytes(), Bytes()};
        const int32_t Number = S.Insert(Row);
        ASSERT_EQ(Model.count(Number), 0u) << "insert into live row " << Number;
        Model[Number] = Row;
        continue;
      }
      auto Picked = std::next(Model.begin(), static_cast<std::ptrdiff_t>(Below(Live)));
      const int32_t Number = Picked->first;
      if (Roll < 75) {
        TModelRow& Row = Picked->second;
        const size_t Which = Below(3);
        Row.Name = Name();
        if (Which != 1) Row.First = Bytes();
        if (Which != 0) Row.Second = Bytes();
        S.Update(Number, Row, Which != 1, Which != 0);
      } else if (Roll < 92) {
        S.Delete(Number);
        Model.erase(Picked);
      } else if (Roll < 99) {
        const TModelRow Row = S.Read(Number);
        EXPECT_EQ(Row, Picked->second) << "row " << Number << " is " << Describe(Row) << ", expected "
                                       << Describe(Picked->second);
      } else {
        ExpectSameRows(S.Scan(), Model);
      }
    }
    if (Rollback) {
      S.Rollback();
      Model = Before;
    } else if (Transaction) {
      S.Commit();
    } else {
      S.Write();
    }
  }
  Sessions.clear();
  auto Reader = NewSession();
  ExpectSameRows(Reader->Scan(), Model);
  EXPECT_EQ(Reader->Rows->GetRowCount(), static_cast<int32_t>(Model.size()));
  EXPECT_TRUE(Reader->Verify().empty());
}

// What an open of the rows file shows of its rows and free chain; a
// free-chain link to a live or missing row ends the chain with -1.
struct TRowsState {
  int32_t LastNumber = 0;
  int32_t RowCount = 0;
  std::vector<int32_t> FreeChain;

  bool operator==(const TRowsState& Other) const = default;
};

std::ostream& operator<<(std::ostream& Stream, const TRowsState& State) {
  Stream << "last " << State.LastNumber << ", count " << State.RowCount << ", free";
  for (int32_t Number : State.FreeChain) Stream << ' ' << Number;
  return Stream;
}

TRowsState StateOf(TORVRowsetManager& Rows) {
  TRowsState State{Rows.GetLastNumber(), Rows.GetRowCount(), {}};
  int32_t Number = Rows.GetNextFreeNumber();
  if (Number == Rows.GetNextNumber()) return State;
  while (Number > 0) {
    if (Number > State.LastNumber || static_cast<int32_t>(State.FreeChain.size()) >= State.LastNumber) {
      State.FreeChain.push_back(-1);
      break;
    }
    TORVRowsetRow* Row = Rows.GetRow(Number);
    const bool Deleted = Row->GetStatus() == TORVRowsetRow::StatusDeleted;
    const int32_t Next = Row->GetNextNumber();
    Rows.PutRow(Row);
    State.FreeChain.push_back(Deleted ? Number : -1);
    if (!Deleted) break;
    Number = Next;
  }
  return State;
}

// The first header write of a write that deletes two rows puts down only
// its first bytes, as a crash inside it leaves the file.
TEST_P(RowsAndBlobs, AFirstHeaderWriteTornAtAnyByteLeavesTheFileAsBeforeOrMarkedInterrupted) {
  int32_t HeaderSize = 0;
  for (int32_t Torn = 0; HeaderSize == 0 || Torn < HeaderSize; ++Torn) {
    SCOPED_TRACE("torn after " + std::to_string(Torn) + " bytes");
    const std::string Name = "torn" + std::to_string(Torn);
    std::filesystem::create_directory(Folder() / Name);
    const TORVString Round = PathName(Name) + u"/";
    TRowsState Before;
    {
      auto Writer = NewSession(Round);
      HeaderSize = Writer->Rows->GetActualHeaderSize();
      Writer->StartWriting();
      for (int32_t Index = 0; Index < 6; ++Index) {
        TModelRow Row{0, u"row", {}, {}};
        Writer->Insert(Row);
      }
      Writer->Delete(2);
      Writer->Delete(4);
      Writer->Write();
      Before = StateOf(*Writer->Rows);
      ASSERT_EQ(Before.FreeChain, (std::vector<int32_t>{4, 2}));
      Writer->StartWriting();
      Writer->Delete(5);
      Writer->Delete(6);
      Faults->FailNext(test::fkWrite, 1, test::fmTorn, Torn);
      EXPECT_EQ(ErrorOf([&] { Writer->Rows->Write(true); }).substr(0, 4), "601 ");
      Faults->Clear();
    }
    std::unique_ptr<TTableUse> Reader;
    const std::string Error = ErrorOf([&] { Reader = NewSession(Round); });
    if (Error != "no error") {
      EXPECT_EQ(Error, RepairRequired);
      continue;
    }
    // Once the Writing byte is down, the file is refused.
    EXPECT_LT(Torn, TORVTableFileManager::CommonHeaderSize);
    EXPECT_EQ(StateOf(*Reader->Rows), Before);
  }
}

INSTANTIATE_TEST_SUITE_P(Files, RowsAndBlobs,
                         ::testing::Values(TFilesMode{"Plain", false, false, 3000},
                                           TFilesMode{"Buffered", true, false, 3000},
                                           TFilesMode{"Encrypted", false, true, 1000},
                                           TFilesMode{"EncryptedBuffered", true, true, 1000}),
                         [](const ::testing::TestParamInfo<TFilesMode>& Info) { return std::string(Info.param.Name); });

}  // namespace
}  // namespace orv
