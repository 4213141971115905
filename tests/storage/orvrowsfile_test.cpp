#include "storage/orvrowsfile.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "base/orverror.h"
#include "base/orvutf8.h"
#include "catalog/orvcolumns.h"
#include "core/orvtypefunc.h"
#include "tests/storage/orvtabletestfiles.h"
#include "tests/support/orverrortext.h"
#include "tests/support/orvfaultfilemgr.h"
#include "tests/support/orvrowfakes.h"
#include "tests/support/orvtestfolder.h"

namespace orv {
namespace {

using test::ErrorOf;


// Disk files shared with other processes whose locked-file limit a test
// can lower.
class TLimitedFiles : public test::TFaultOSFileManager {
 public:
  int64_t GetMaximumLockedFileSize() override {
    return Limit != 0 ? Limit : test::TFaultOSFileManager::GetMaximumLockedFileSize();
  }
  int64_t Limit = 0;
};

std::unique_ptr<TLimitedFiles> NewFiles() {
  auto Files = std::make_unique<TLimitedFiles>();
  Files->SetExclusiveFileAccess(false);
  Files->Initialize();
  return Files;
}

// ID, an identity column counting from 100 in steps of 10, a name and a
// large object.
void ConfigureRowsTable(TORVBaseTable& Table) {
  TORVColumns& Columns = Table.GetColumns();
  AddTestColumn(Columns, u"ID", dtInteger, 0, 0, 1);
  TORVColumn* Serial = AddTestColumn(Columns, u"Serial", dtInteger, 0, 0, 2);
  Serial->SetIdentity(true);
  Serial->SetSeedValue(100);
  Serial->SetIncrementValue(10);
  AddTestColumn(Columns, u"Name", dtCharacter, stVarChar, 20, 3);
  AddTestColumn(Columns, u"Notes", dtLargeObject, stBlob, 0, 4);
}

using TRowsSession = test::TKindSession<TORVRowsetManager>;

class RowsFile : public test::TempFolderTest {
 protected:
  void SetUp() override {
    test::TempFolderTest::SetUp();
    Files = NewFiles();
  }
  std::unique_ptr<TRowsSession> NewOpenSession() {
    auto Session = std::make_unique<TRowsSession>(Files.get(), FolderName(), ConfigureRowsTable);
    Session->Open();
    return Session;
  }

  // Inserts as the table manager does: a row from the free chain with a
  // new row ID and version.
  static int32_t InsertRow(TORVRowsetManager& Rows, int32_t RowID = 0) {
    TORVRowsetRow* Row = Rows.GetNextFreeRow();
    const int32_t ID = RowID != 0 ? RowID : Rows.GetLastRowID();
    Row->SetRowID(ID);
    Row->SetVersion(Rows.GetLastVersion());
    Row->IncUpdateCounter();
    Row->SetStatus(TORVRowsetRow::StatusLive);
    Rows.SetLastRowID(std::max(Rows.GetLastRowIDValue(), ID));
    Rows.IncRowCount();
    const int32_t Number = Row->GetNumber();
    Rows.PutRow(Row);
    return Number;
  }
  static void DeleteRow(TORVRowsetManager& Rows, int32_t Number) {
    TORVRowsetRow* Row = Rows.GetRow(Number);
    Row->SetStatus(TORVRowsetRow::StatusDeleted);
    Row->IncUpdateCounter();
    Rows.SetNextFreeRow(*Row);
    Rows.DecRowCount();
    Rows.PutRow(Row);
  }
  static void SetNext(TORVRowsetManager& Rows, int32_t Number, int32_t Next) {
    TORVRowsetRow* Row = Rows.GetRow(Number);
    Row->SetNextNumber(Next);
    Rows.PutRow(Row);
  }

  std::unique_ptr<TLimitedFiles> Files;
};

TEST_F(RowsFile, HeaderRoundTripsAndIsSizedByTheColumns) {
  auto A = NewOpenSession();
  // 54 + 21 + 4 x 4 = 91, rounded up to 96.
  EXPECT_EQ(A->File->GetActualHeaderSize(), 96);
  EXPECT_EQ(A->File->GetAvailableHeaderSize(), 16384);
  EXPECT_EQ(A->File->GetLastValueAt(1), 100);
  EXPECT_EQ(A->File->GetLastValue(1), 110);
  A->File->SetLastValue(1, 110);
  InsertRow(*A->File);
  InsertRow(*A->File);
  A->File->SetStatus(3);
  A->File->Write(true);

  auto B = NewOpenSession();
  EXPECT_EQ(B->File->GetRowCount(), 2);
  EXPECT_EQ(B->File->GetLastRowIDValue(), 2);
  EXPECT_EQ(B->File->GetLastVersionValue(), 2);
  EXPECT_EQ(B->File->GetStatus(), 3);
  EXPECT_EQ(B->File->GetLastValueAt(0), 0);
  EXPECT_EQ(B->File->GetLastValueAt(1), 110);
  EXPECT_GT(B->File->GetUpdated(), 0);
  TORVRowsetRow* Row = B->File->GetRow(2);
  EXPECT_EQ(Row->GetRowID(), 2);
  EXPECT_EQ(Row->GetVersion(), 2);
  EXPECT_EQ(Row->GetUpdateCounter(), 1);
  EXPECT_EQ(Row->GetStatus(), TORVRowsetRow::StatusLive);
  B->File->PutRow(Row);
}

TEST_F(RowsFile, InsertsReuseTheLastDeletedSlotFirstThenAppend) {
  auto A = NewOpenSession();
  for (int32_t Index = 0; Index < 4; ++Index) InsertRow(*A->File);
  DeleteRow(*A->File, 2);
  DeleteRow(*A->File, 3);
  A->File->Write(true);

  auto B = NewOpenSession();
  TORVRowsetRow* Reused = B->File->GetNextFreeRow();
  EXPECT_EQ(Reused->GetNumber(), 3);
  EXPECT_EQ(Reused->GetStatus(), TORVRowsetRow::StatusReused);
  EXPECT_EQ(Reused->GetUpdateCounter(), 0);
  Reused->SetStatus(TORVRowsetRow::StatusLive);
  B->File->PutRow(Reused);
  Reused = B->File->GetNextFreeRow();
  EXPECT_EQ(Reused->GetNumber(), 2);
  Reused->SetStatus(TORVRowsetRow::StatusLive);
  B->File->PutRow(Reused);
  TORVRowsetRow* Appended = B->File->GetNextFreeRow();
  EXPECT_EQ(Appended->GetNumber(), 5);
  EXPECT_EQ(Appended->GetStatus(), TORVRowsetRow::StatusLive);
  B->File->PutRow(Appended);
}

TEST_F(RowsFile, AFreeChainLinkToALiveRowIsRefusedNotHandedOut) {
  auto A = NewOpenSession();
  for (int32_t Index = 0; Index < 3; ++Index) InsertRow(*A->File);
  DeleteRow(*A->File, 3);
  // The deleted row names the live row 1 as the next free one.
  SetNext(*A->File, 3, 1);
  TORVRowsetRow* Row = A->File->GetNextFreeRow();
  EXPECT_EQ(Row->GetNumber(), 3);
  A->File->PutRow(Row);
  EXPECT_NE(ErrorOf([&] { A->File->PutRow(A->File->GetNextFreeRow()); }).find("601 "), std::string::npos);
}

TEST_F(RowsFile, HandOutsWrapFromMaxIntToOne) {
  auto A = NewOpenSession();
  A->File->SetLastRowID(std::numeric_limits<int32_t>::max());
  A->File->SetLastVersion(std::numeric_limits<int32_t>::max());
  EXPECT_EQ(A->File->GetLastRowID(), 1);
  EXPECT_EQ(A->File->GetLastVersion(), 1);
}

TEST_F(RowsFile, EmptyKeepsTheLastVersionAndResetsTheRest) {
  auto A = NewOpenSession();
  for (int32_t Index = 0; Index < 3; ++Index) InsertRow(*A->File);
  A->File->SetLastValue(1, 500);
  A->File->Write(true);
  A->File->Empty();
  A->File->Write(true);

  auto B = NewOpenSession();
  EXPECT_EQ(B->File->GetLastNumber(), 0);
  EXPECT_EQ(B->File->GetRowCount(), 0);
  EXPECT_EQ(B->File->GetLastRowIDValue(), 0);
  EXPECT_EQ(B->File->GetLastVersionValue(), 3);
  EXPECT_EQ(B->File->GetLastValueAt(1), 100);
}

TEST_F(RowsFile, AnAppendPastTheLockedFileLimitRaises407BeforeWriting) {
  auto A = NewOpenSession();
  // Room for the header area and two rows.
  const int64_t RowSize = A->File->GetBufferSize();
  Files->Limit = 16384 + 2 * RowSize;
  InsertRow(*A->File);
  InsertRow(*A->File);
  EXPECT_EQ(ErrorOf([&] { InsertRow(*A->File); }).substr(0, 3), "407");
  EXPECT_EQ(A->File->GetLastNumber(), 2);
}

TEST_F(RowsFile, RowLocksConflictAcrossSessionsAndAreReleased) {
  auto A = NewOpenSession();
  auto B = NewOpenSession();
  EXPECT_FALSE(A->File->LockRow(0));
  EXPECT_TRUE(A->File->LockRow(5));
  EXPECT_FALSE(B->File->LockRow(5));
  EXPECT_TRUE(B->File->LockRow(6));
  EXPECT_TRUE(A->File->UnlockRow(5));
  EXPECT_TRUE(B->File->LockRow(5));
  EXPECT_TRUE(B->File->UnlockRow(5));
  EXPECT_TRUE(B->File->UnlockRow(6));
}

TEST_F(RowsFile, RowLocksConflictAcrossProcesses) {
  auto A = NewOpenSession();
  ASSERT_TRUE(A->File->LockRow(7));
  const TORVString Folder = FolderName();
  pid_t Child = fork();
  ASSERT_GE(Child, 0);
  if (Child == 0) {
    int Status = 5;
    try {
      auto ChildFiles = NewFiles();
      TRowsSession C(ChildFiles.get(), Folder, ConfigureRowsTable);
      C.Open();
      // 0: row 7 held elsewhere while row 8 is free.
      Status = !C.File->LockRow(7) && C.File->LockRow(8) ? 0 : 1;
    } catch (...) {
      Status = 2;
    }
    _exit(Status);
  }
  int Status = 0;
  ASSERT_EQ(waitpid(Child, &Status, 0), Child);
  ASSERT_TRUE(WIFEXITED(Status));
  EXPECT_EQ(WEXITSTATUS(Status), 0);
  EXPECT_TRUE(A->File->UnlockRow(7));
}

TEST_F(RowsFile, GetRowFollowsAnotherSessionsChangeInsteadOfReturningNil) {
  auto A = NewOpenSession();
  for (int32_t Index = 0; Index < 3; ++Index) InsertRow(*A->File);
  A->File->Write(true);
  auto B = NewOpenSession();
  TORVRowsetRow* Row = A->File->GetRow(2);
  Row->SetInternalCounter(9);
  A->File->PutRow(Row);
  A->File->Write(true);
  Row = B->File->GetRow(2);
  ASSERT_NE(Row, nullptr);
  EXPECT_EQ(Row->GetInternalCounter(), 9);
  B->File->PutRow(Row);
}

class RowsNavigator : public RowsFile {
 protected:
  void SetUp() override {
    RowsFile::SetUp();
    A = NewOpenSession();
    Nav = std::make_unique<TORVRowsetNavigator>(A->File.get());
    Values = std::make_unique<TTestRow>(A->File->GetSettings().GetCharacterSet(),
                                        A->Manager->Table().GetColumns());
  }
  int32_t Insert(const TORVBytes& Notes = {}) {
    TORVRowValues& New = *Values->Values;
    New.Clear();
    New.GetItems(0)->SetAsInteger(A->File->GetLastRowID());
    if (!Notes.empty()) New.GetItems(3)->SetAsBytes(Notes);
    int32_t Number = 0;
    int32_t Counter = 0;
    Nav->Insert(A->File->GetLastVersion(), New, Number, Counter);
    EXPECT_EQ(Counter, 1);
    return Number;
  }
  void Delete(int32_t Number) {
    int32_t Counter = 0;
    Nav->Delete(*Values->Values, Number, Counter);
  }
  std::vector<int32_t> Forward() {
    std::vector<int32_t> Seen;
    bool FoundChanges = false;
    for (bool On = Nav->First(FoundChanges); On; On = Nav->Next(FoundChanges)) Seen.push_back(Nav->GetRowNumber());
    return Seen;
  }
  std::vector<int32_t> Backward() {
    std::vector<int32_t> Seen;
    bool FoundChanges = false;
    for (bool On = Nav->Last(FoundChanges); On; On = Nav->Prior(FoundChanges)) Seen.push_back(Nav->GetRowNumber());
    return Seen;
  }

  std::unique_ptr<TRowsSession> A;
  std::unique_ptr<TORVRowsetNavigator> Nav;
  std::unique_ptr<TTestRow> Values;
};

TEST_F(RowsNavigator, EveryMovementOverAnEmptyTableFailsWithBothEdgesSet) {
  bool FoundChanges = false;
  const std::vector<std::function<bool()>> Moves = {
      [&] { return Nav->First(FoundChanges); },        [&] { return Nav->Last(FoundChanges); },
      [&] { return Nav->Next(FoundChanges); },         [&] { return Nav->Prior(FoundChanges); },
      [&] { return Nav->GotoNumber(1, 1, FoundChanges); }};
  for (const auto& Move : Moves) {
    Nav->SetBOF(false);
    Nav->SetEOF(false);
    EXPECT_FALSE(Move());
    EXPECT_TRUE(Nav->GetBoF());
    EXPECT_TRUE(Nav->GetEoF());
    EXPECT_EQ(Nav->GetRowNumber(), 0);
  }
  EXPECT_EQ(Nav->Search(*Values->Values, 0, false, FoundChanges), 1);
}

TEST_F(RowsNavigator, MovementStepsOverDeletedRowsAtBothEnds) {
  for (int32_t Index = 0; Index < 6; ++Index) Insert();
  Delete(1);
  Delete(3);
  Delete(6);
  EXPECT_EQ(Forward(), (std::vector<int32_t>{2, 4, 5}));
  EXPECT_EQ(Backward(), (std::vector<int32_t>{5, 4, 2}));
  EXPECT_EQ(Nav->GetRowCount(), 3);
  Delete(2);
  Delete(4);
  Delete(5);
  EXPECT_TRUE(Forward().empty());
  EXPECT_TRUE(Nav->GetBoF());
  EXPECT_TRUE(Nav->GetEoF());
}

TEST_F(RowsNavigator, SearchFindsALiveRowAndSkipsDeletedOnes) {
  for (int32_t Index = 0; Index < 4; ++Index) Insert();
  Delete(2);
  TTestRow Wanted(A->File->GetSettings().GetCharacterSet(), A->Manager->Table().GetColumns());
  Wanted.Values->Clear();
  Wanted.Values->GetItems(0)->SetAsInteger(3);
  bool FoundChanges = false;
  EXPECT_EQ(Nav->Search(*Wanted.Values, 0, false, FoundChanges), 0);
  EXPECT_EQ(Nav->GetRowNumber(), 3);
  Wanted.Values->GetItems(0)->SetAsInteger(2);
  EXPECT_EQ(Nav->Search(*Wanted.Values, 0, false, FoundChanges), 1);
  EXPECT_EQ(Nav->GetRowNumber(), 4);
  EXPECT_TRUE(Nav->GetEoF());
}

TEST_F(RowsNavigator, InsertsTakeTheLastDeletedSlotFirstWithItsLargeObjectChain) {
  auto BlockOfLastInsert = [&] { return Values->Values->GetRowValue(3)->GetBlobBlockNumber(); };
  const int32_t First = Insert({1, 2, 3});
  const int32_t FirstBlock = BlockOfLastInsert();
  const int32_t Second = Insert({9});
  const int32_t SecondBlock = BlockOfLastInsert();
  ASSERT_NE(FirstBlock, 0);
  ASSERT_NE(SecondBlock, FirstBlock);
  Delete(First);
  Delete(Second);

  EXPECT_EQ(Insert({4, 5}), Second);
  EXPECT_EQ(BlockOfLastInsert(), SecondBlock);
  // The new value went into the deleted row's chain.
  EXPECT_EQ(Values->Values->BlobStore.at(SecondBlock), (TORVBytes{4, 5}));
  TORVRowsetRow* Row = A->File->GetRow(Second);
  EXPECT_EQ(Row->GetStatus(), TORVRowsetRow::StatusLive);
  EXPECT_EQ(Row->GetUpdateCounter(), 1);
  EXPECT_EQ(Row->GetVersion(), 3);
  A->File->PutRow(Row);
  EXPECT_EQ(Insert({6}), First);
  EXPECT_EQ(BlockOfLastInsert(), FirstBlock);
  // A fresh slot starts a chain of its own.
  EXPECT_EQ(Insert({7}), 3);
  EXPECT_NE(BlockOfLastInsert(), FirstBlock);
  EXPECT_NE(BlockOfLastInsert(), SecondBlock);
}

TEST_F(RowsNavigator, AnInsertRaisesTheIdentityCounterToTheRowsValue) {
  TORVRowValues& New = *Values->Values;
  New.Clear();
  New.GetItems(0)->SetAsInteger(A->File->GetLastRowID());
  New.GetItems(1)->SetAsInteger(250);
  int32_t Number = 0;
  int32_t Counter = 0;
  Nav->Insert(A->File->GetLastVersion(), New, Number, Counter);
  EXPECT_EQ(A->File->GetLastValueAt(1), 250);
  EXPECT_EQ(A->File->GetRowCount(), 1);
  EXPECT_EQ(A->File->GetLastRowIDValue(), 1);
}

TEST_F(RowsNavigator, ChangesToADeletedOrMissingSlotRaiseAndLeaveTheChainAlone) {
  for (int32_t Index = 0; Index < 3; ++Index) Insert();
  Delete(2);
  int32_t Counter = 0;
  EXPECT_EQ(ErrorOf([&] { Nav->Delete(*Values->Values, 2, Counter); }).substr(0, 5), "1007 ");
  EXPECT_EQ(ErrorOf([&] { Nav->Update(*Values->Values, 2, Counter); }).substr(0, 5), "1007 ");
  for (int32_t Number : {0, 4, -1})
    EXPECT_EQ(ErrorOf([&] { Nav->Delete(*Values->Values, Number, Counter); }).substr(0, 4), "601 ");
  EXPECT_EQ(A->File->GetRowCount(), 2);
  // The chain still holds row 2 alone.
  EXPECT_EQ(Insert(), 2);
  EXPECT_EQ(Insert(), 4);
}

TEST_F(RowsNavigator, AnUpdateKeepsTheVersionAndCountsTheChange) {
  const int32_t Number = Insert();
  Values->Values->GetItems(2)->SetAsString(u"changed");
  int32_t Counter = 0;
  Nav->Update(*Values->Values, Number, Counter);
  EXPECT_EQ(Counter, 2);
  bool FoundChanges = false;
  ASSERT_TRUE(Nav->First(FoundChanges));
  EXPECT_EQ(Nav->GetRow().GetVersion(), 1);
  EXPECT_EQ(Nav->GetRowValues().GetItems(2)->GetAsString(), u"changed");
}

class RowsFileVerify : public RowsFile {
 protected:
  // Runs a verification and, with Repair, writes what it mended.
  std::vector<TORVString> Verify(TRowsSession& Session, bool Repair, bool& FoundErrors) {
    Session.Manager->LogLines.clear();
    FoundErrors = false;
    EXPECT_TRUE(Session.File->Verify(FoundErrors, Repair));
    if (Repair) Session.File->Write(true);
    return Session.Manager->LogLines;
  }
  static size_t CountContaining(const std::vector<TORVString>& Lines, const TORVString& Text) {
    size_t Count = 0;
    for (const TORVString& Line : Lines) Count += Line.find(Text) != TORVString::npos ? 1 : 0;
    return Count;
  }
};

TEST_F(RowsFileVerify, ASoundFileHasNoFindings) {
  auto A = NewOpenSession();
  for (int32_t Index = 0; Index < 5; ++Index) InsertRow(*A->File);
  DeleteRow(*A->File, 2);
  DeleteRow(*A->File, 4);
  A->File->Write(true);
  bool FoundErrors = true;
  EXPECT_TRUE(Verify(*A, false, FoundErrors).empty());
  EXPECT_FALSE(FoundErrors);
  EXPECT_FALSE(A->Manager->GetIndexRebuildRequired());
  EXPECT_EQ(A->Manager->StatusLines,
            (std::vector<TORVString>{u"Verifying the table Orders - Verifying rows (structure-only)..."}));
}

TEST_F(RowsFileVerify, ALoopingFreeChainIsFoundOnceAndRebuilt) {
  auto A = NewOpenSession();
  for (int32_t Index = 0; Index < 6; ++Index) InsertRow(*A->File);
  DeleteRow(*A->File, 2);
  DeleteRow(*A->File, 4);
  DeleteRow(*A->File, 5);
  // 5 -> 4 -> 2 -> 5 ...
  SetNext(*A->File, 2, 5);
  A->File->Write(true);

  bool FoundErrors = false;
  auto Lines = Verify(*A, true, FoundErrors);
  EXPECT_TRUE(FoundErrors);
  EXPECT_EQ(CountContaining(Lines, u"Recursive next row pointer (5)"), 1u);
  EXPECT_EQ(Lines.size(), 1u);

  // Rebuilt in scan order: the last deleted row scanned is taken first.
  auto B = NewOpenSession();
  std::vector<int32_t> Taken;
  for (int32_t Index = 0; Index < 4; ++Index) {
    TORVRowsetRow* Row = B->File->GetNextFreeRow();
    Taken.push_back(Row->GetNumber());
    Row->SetStatus(TORVRowsetRow::StatusLive);
    B->File->PutRow(Row);
  }
  EXPECT_EQ(Taken, (std::vector<int32_t>{5, 4, 2, 7}));
}

TEST_F(RowsFileVerify, ADuplicateRowIDGetsANewIDAboveTheLastOne) {
  auto A = NewOpenSession();
  InsertRow(*A->File);
  InsertRow(*A->File, 1);
  InsertRow(*A->File);
  A->File->Write(true);

  bool FoundErrors = false;
  auto Lines = Verify(*A, true, FoundErrors);
  EXPECT_TRUE(FoundErrors);
  ASSERT_EQ(Lines.size(), 1u);
  EXPECT_NE(Lines[0].find(u"Invalid row 2 ID (1)"), TORVString::npos);

  // The indexes still hold ID 1 for row 2.
  EXPECT_TRUE(A->Manager->GetIndexRebuildRequired());
  auto B = NewOpenSession();
  TORVRowsetRow* Row = B->File->GetRow(2);
  EXPECT_EQ(Row->GetRowID(), 3);
  B->File->PutRow(Row);
  EXPECT_EQ(B->File->GetLastRowIDValue(), 3);
  bool Again = true;
  EXPECT_TRUE(Verify(*B, false, Again).empty());
  EXPECT_FALSE(Again);
}

TEST_F(RowsFileVerify, AFileCutShortDropsTheRowsItNoLongerHoldsFromTheCache) {
  auto A = NewOpenSession();
  for (int32_t Index = 0; Index < 3; ++Index) InsertRow(*A->File);
  A->File->Write(true);
  // Rows 1 to 3 stay cached while the disk loses row 3.
  const std::filesystem::path Path = StringToUtf8(A->File->GetFullFileName());
  std::filesystem::resize_file(Path, std::filesystem::file_size(Path) - A->File->GetBufferSize());

  bool FoundErrors = false;
  auto Lines = Verify(*A, true, FoundErrors);
  EXPECT_EQ(CountContaining(Lines, u"Invalid total row count (3)"), 1u);
  EXPECT_EQ(A->File->GetLastNumber(), 2);
  // The next row is a new one at the end, not the cached row 3.
  EXPECT_EQ(InsertRow(*A->File), 3);
  A->File->CheckInvariants();
}

TEST_F(RowsFileVerify, HeaderCountersBelowTheRowsAreRaised) {
  auto A = NewOpenSession();
  for (int32_t Index = 0; Index < 3; ++Index) InsertRow(*A->File);
  TORVRowsetRow* Row = A->File->GetRow(3);
  uint8_t* Bytes = Row->GetBufferStream().GetMemory();
  const int32_t Offset = A->Manager->Table().GetColumns().GetColumn(1)->GetRowOffset();
  Bytes[Offset] = 1;
  const int32_t Serial = 900;
  std::memcpy(Bytes + Offset + 1, &Serial, sizeof(Serial));
  Row->SetModified(true);
  A->File->PutRow(Row);
  A->File->SetRowCount(7);
  A->File->SetLastRowID(1);
  A->File->SetLastVersion(2);
  A->File->Write(true);

  bool FoundErrors = false;
  auto Lines = Verify(*A, true, FoundErrors);
  EXPECT_EQ(Lines.size(), 4u);
  EXPECT_EQ(CountContaining(Lines, u"Invalid row count (7)"), 1u);
  EXPECT_EQ(CountContaining(Lines, u"Invalid last row ID (1)"), 1u);
  EXPECT_EQ(CountContaining(Lines, u"Invalid last row version (2)"), 1u);
  EXPECT_EQ(CountContaining(Lines, u"Invalid last row identity value (100)"), 1u);
  auto B = NewOpenSession();
  EXPECT_EQ(B->File->GetRowCount(), 3);
  EXPECT_EQ(B->File->GetLastRowIDValue(), 3);
  EXPECT_EQ(B->File->GetLastVersionValue(), 3);
  EXPECT_EQ(B->File->GetLastValueAt(1), 900);
}

TEST_F(RowsNavigator, RepairingAnInvalidVersionKeepsTheRowsLargeObjectsReachable) {
  const int32_t WithNotes = Insert({1, 2, 3});
  // The caller's values wrote the chain; the table's large-object file
  // answers for its first block.
  const int32_t Block = Values->Values->GetRowValue(3)->GetBlobBlockNumber();
  const int32_t Without = Insert();
  auto SetVersion = [&](int32_t Number, int32_t Version) {
    TORVRowsetRow* Row = A->File->GetRow(Number);
    const int32_t Old = Row->GetVersion();
    Row->SetVersion(Version);
    A->File->PutRow(Row);
    return Old;
  };
  const int32_t Version = SetVersion(WithNotes, -1);
  A->Manager->BlobStore[Block] = TORVBytes{1, 2, 3};
  A->Manager->BlobVersions[Block] = Version;
  SetVersion(Without, -1);
  const int32_t Last = A->File->GetLastVersionValue();

  bool FoundErrors = false;
  EXPECT_TRUE(A->File->Verify(FoundErrors, true));
  EXPECT_TRUE(FoundErrors);
  // The chain's first block still says which row owns it.
  EXPECT_EQ(SetVersion(WithNotes, Version), Version);
  EXPECT_EQ(SetVersion(Without, Last + 1), Last + 1);
  bool FoundChanges = false;
  ASSERT_TRUE(Nav->GotoNumber(WithNotes, 1, FoundChanges));
  EXPECT_EQ(Nav->GetRowValues().GetItems(3)->GetAsBytes(), (TORVBytes{1, 2, 3}));
  EXPECT_EQ(A->Manager->BlobReads.back().first, Version);
}

TEST_F(RowsFile, CopyHeaderCarriesTheCountersAndTheIdentityValuesThatSurviveTheAlter) {
  auto Old = NewOpenSession();
  for (int32_t Index = 0; Index < 3; ++Index) InsertRow(*Old->File);
  Old->File->SetLastValue(1, 420);
  Old->File->SetStatus(3);

  // The new definition: Serial moved to position 0 and restarts unless
  // told to keep counting, a new identity column has no old position, and
  // ID became an identity column that was none before.
  struct TCase {
    const char* Name;
    bool Restart;
    int32_t SerialExpected;
  };
  for (const TCase& Case : {TCase{"kept", false, 420}, TCase{"restarted", true, 100}}) {
    SCOPED_TRACE(Case.Name);
    std::filesystem::create_directory(Folder() / Case.Name);
    auto New = std::make_unique<TRowsSession>(Files.get(), PathName(Case.Name) + u"/", [&](TORVBaseTable& Table) {
      TORVColumns& Columns = Table.GetColumns();
      TORVColumn* Serial = AddTestColumn(Columns, u"Serial", dtInteger, 0, 0, 1);
      Serial->SetIdentity(true);
      Serial->SetSeedValue(100);
      Serial->SetOldPosition(1);
      Serial->SetAlterRestartIdentity(Case.Restart);
      TORVColumn* Fresh = AddTestColumn(Columns, u"Fresh", dtInteger, 0, 0, 2);
      Fresh->SetIdentity(true);
      Fresh->SetSeedValue(7);
      TORVColumn* ID = AddTestColumn(Columns, u"ID", dtInteger, 0, 0, 3);
      ID->SetIdentity(true);
      ID->SetSeedValue(1);
      ID->SetOldPosition(0);
    });
    New->Open();
    New->File->CopyHeader(*Old->File);
    EXPECT_EQ(New->File->GetLastRowIDValue(), 3);
    EXPECT_EQ(New->File->GetLastVersionValue(), 3);
    EXPECT_EQ(New->File->GetStatus(), 3);
    EXPECT_EQ(New->File->GetRowCount(), 0);
    EXPECT_EQ(New->File->GetLastValueAt(0), Case.SerialExpected);
    EXPECT_EQ(New->File->GetLastValueAt(1), 7);
    EXPECT_EQ(New->File->GetLastValueAt(2), 1);
  }
}

}  // namespace
}  // namespace orv
