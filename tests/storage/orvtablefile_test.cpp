#include "storage/orvtablefile.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/orverror.h"
#include "base/orvutf8.h"
#include "core/orvcontainedvalue.h"
#include "core/orvkeyvalues.h"
#include "core/orvtypefunc.h"
#include "storage/orvmemfilemgr.h"
#include "tests/storage/orvtabletestfiles.h"
#include "tests/support/orverrortext.h"
#include "tests/support/orvfaultfilemgr.h"
#include "tests/support/orvtestfolder.h"

namespace orv {
namespace {

using test::ErrorOf;
using test::TTestTableFile;
using test::TTestTableManager;

using TFaultBufferedOSFileManager = test::TFaultFileManager<TORVBufferedOSFileManager, TORVBufferedOSFile>;

constexpr char RepairRequired[] =
    "100 There is an error in the metadata for the table Orders (A write operation did not complete and a repair "
    "is required)";

// One session's table manager and its file.
struct TTableSession {
  std::unique_ptr<TTestTableManager> Manager;
  std::unique_ptr<TTestTableFile> File;

  TTableSession(TORVFileManager* Files, const TORVString& Folder, bool Encrypted = false,
                const TORVString& Password = u"secret")
      : Manager(std::make_unique<TTestTableManager>(Files, Folder, Encrypted, Password)),
        File(std::make_unique<TTestTableFile>(Manager.get())) {}
};

class TableFile : public test::TempFolderTest {
 protected:
  void SetUp() override {
    test::TempFolderTest::SetUp();
    Files = test::NewSharedOSFileManager();
  }
  std::unique_ptr<TTableSession> NewSession(bool Encrypted = false, const TORVString& Password = u"secret") {
    return std::make_unique<TTableSession>(Files.get(), FolderName(), Encrypted, Password);
  }
  std::string ReadBytes() {
    std::ifstream In(Folder() / "Orders.ORVTbl", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(In), {});
  }
  static int32_t IntegerAt(const std::string& Bytes, size_t Offset) {
    uint32_t Value = 0;
    for (int Byte = 3; Byte >= 0; --Byte) Value = Value << 8 | static_cast<uint8_t>(Bytes[Offset + Byte]);
    return static_cast<int32_t>(Value);
  }

  std::unique_ptr<test::TFaultOSFileManager> Files;
};

TEST_F(TableFile, ANewFileIsItsHeaderUntilTheFirstBufferIsWritten) {
  auto A = NewSession();
  A->File->CreateAndOpen();
  std::string Bytes = ReadBytes();
  ASSERT_EQ(Bytes.size(), 64u);
  EXPECT_EQ(static_cast<uint32_t>(IntegerAt(Bytes, 0)), 0x12345678u);
  EXPECT_EQ(IntegerAt(Bytes, 20), 1);  // character set
  EXPECT_EQ(IntegerAt(Bytes, 41), 1);  // update counter
  EXPECT_EQ(IntegerAt(Bytes, 45), 0);  // free chain
  EXPECT_EQ(IntegerAt(Bytes, 49), 1);  // next number
  EXPECT_EQ(Bytes[53], 0);             // Writing
  ASSERT_EQ(A->Manager->Events.size(), 1u);
  EXPECT_EQ(A->Manager->Events[0].Category, 1);
  EXPECT_EQ(A->Manager->Events[0].FunctionCode, 123);
  EXPECT_EQ(StringToUtf8(A->Manager->Events[0].Description),
            "The table file " + (Folder() / "Orders.ORVTbl").string() +
                " was not present on disk and was automatically created");

  A->File->Put(1, 5);
  A->File->Put(2, 5);
  EXPECT_TRUE(A->File->Write(true));
  Bytes = ReadBytes();
  EXPECT_EQ(Bytes.size(), 1024u + 2 * 64u);
  EXPECT_EQ(IntegerAt(Bytes, 41), 2);
  EXPECT_EQ(IntegerAt(Bytes, 49), 3);
  EXPECT_EQ(Bytes[53], 0);
  // Nothing changed: nothing is written.
  EXPECT_FALSE(A->File->Write(true));
  EXPECT_EQ(IntegerAt(ReadBytes(), 41), 2);
  A->File->CheckInvariants();
}

class TableFileEncryption : public TableFile, public ::testing::WithParamInterface<bool> {};

TEST_P(TableFileEncryption, BuffersAndHeaderRoundTrip) {
  const bool Encrypted = GetParam();
  {
    auto A = NewSession(Encrypted);
    A->File->CreateAndOpen();
    A->File->Generation = 9;
    for (int32_t Number = 1; Number <= 20; ++Number) A->File->Put(Number, Number % 3);
    A->File->Write(true);
    A->File->Close();
  }
  std::string Bytes = ReadBytes();
  ASSERT_EQ(Bytes.size(), 1024u + 20 * 64u);
  // Enciphered, the pattern of buffer 1 is nowhere in the file.
  std::string Plain;
  for (int32_t Index = 4; Index < 64; ++Index) Plain += static_cast<char>(TTestTableFile::PatternByte(1, 1, Index));
  EXPECT_EQ(Bytes.find(Plain) != std::string::npos, !Encrypted);
  EXPECT_EQ(IntegerAt(Bytes, 49) == 21, !Encrypted);

  auto B = NewSession(Encrypted);
  B->File->Open();
  EXPECT_EQ(B->File->Generation, 9);
  EXPECT_EQ(B->File->GetLastNumber(), 20);
  EXPECT_EQ(B->File->GetEncrypted(), Encrypted);
  for (int32_t Number = 1; Number <= 20; ++Number) EXPECT_EQ(B->File->GenerationOf(Number), Number % 3) << Number;
  B->File->CheckInvariants();
}

INSTANTIATE_TEST_SUITE_P(PlainAndEncrypted, TableFileEncryption, ::testing::Bool());

TEST_F(TableFile, AHeaderThatDoesNotMatchTheEngineOrTheCatalogIsRefused) {
  const std::string Prefix = "100 There is an error in the metadata for the table Orders (";
  struct TCase {
    const char* Name;
    bool WrittenEncrypted;
    std::function<void(TTestTableManager&)> Change;
    std::string Detail;
    std::function<void(TTestTableManager&)> WriterChange = [](TTestTableManager&) {};
  };
  const std::vector<TCase> Cases = {
      {"wrong password", true, [](TTestTableManager& M) { M.Settings().SetEncryptionPassword(u"other"); },
       "The encryption password does not match the default or current engine encryption password, which may be "
       "caused by the character set not matching the character set in use by the engine"},
      {"plain file of an encrypted table", false, [](TTestTableManager& M) { M.Table().SetEncrypted(true); },
       "The encryption status does not match the encryption status in the configuration or catalog"},
      {"encrypted file of a plain table", true, [](TTestTableManager& M) { M.Table().SetEncrypted(false); },
       "The encryption status does not match the encryption status in the configuration or catalog"},
      {"other character set", false, [](TTestTableManager& M) { M.Settings().SetCharacterSet(0); },
       "The character set does not match the character set in use by the engine"},
      {"other signature", false, [](TTestTableManager& M) { M.Settings().SetSignature(u"another engine"); },
       "The signature does not match the default or current engine signature",
       [](TTestTableManager& M) { M.Settings().SetSignature(u"first engine"); }},
      {"other structure", false, [](TTestTableManager& M) { M.Table().AssignCheckSum(1); },
       "The internal structure does not match the structure in the catalog"},
  };
  for (const TCase& Case : Cases) {
    std::filesystem::remove(Folder() / "Orders.ORVTbl");
    {
      auto A = NewSession(Case.WrittenEncrypted);
      Case.WriterChange(*A->Manager);
      A->File->Initialize();
      A->File->CreateAndOpen();
      A->File->Put(1, 1);
      A->File->Write(true);
      A->File->Close();
    }
    auto B = NewSession(Case.WrittenEncrypted);
    Case.Change(*B->Manager);
    EXPECT_EQ(ErrorOf([&] { B->File->Open(); }), Prefix + Case.Detail + ")") << Case.Name;
    EXPECT_FALSE(B->File->GetOpened()) << Case.Name;
  }
  // A structure change in progress accepts the old checksum.
  auto C = NewSession();
  C->Manager->Table().AssignCheckSum(1);
  C->Manager->Table().SetObjectState({osUpdatingCheckSum});
  EXPECT_EQ(ErrorOf([&] { C->File->Open(); }), "no error");
}

TEST_F(TableFile, AnotherSessionsWriteDropsTheCacheAndTheReadRestarts) {
  auto A = NewSession();
  auto B = NewSession();
  A->File->CreateAndOpen();
  for (int32_t Number = 1; Number <= 4; ++Number) A->File->Put(Number, 1);
  A->File->Write(true);

  B->File->Open();
  EXPECT_EQ(B->File->GenerationOf(1), 1);
  // B holds buffer 1 while A changes the table.
  TORVTableFileBuffer* Held = B->File->Get(1);
  A->File->StartWriting();
  A->File->Put(1, 2);
  A->File->Put(3, 2);
  A->File->Write(true);

  // A cached buffer is served as it is; the next uncached read finds the
  // change, drops the cache and asks the caller to start again.
  bool FoundChanges = false;
  EXPECT_EQ(B->File->TryGet(3, FoundChanges), nullptr);
  EXPECT_TRUE(FoundChanges);
  EXPECT_EQ(B->File->GetBufferCount(), 0);
  B->File->CheckInvariants();
  // The dropped buffer stays whole for its holder until it is put back.
  EXPECT_EQ(Held->GetNumber(), 1);
  EXPECT_EQ(Held->GetBufferStream().GetMemory()[10], TTestTableFile::PatternByte(1, 1, 10));
  B->File->Release(Held);
  B->File->CheckInvariants();
  EXPECT_EQ(B->File->GenerationOf(3), 2);
  EXPECT_EQ(B->File->GenerationOf(1), 2);
  EXPECT_EQ(B->File->GenerationOf(2), 1);
  EXPECT_EQ(B->File->GetUpdateCounter(), A->File->GetUpdateCounter());
}

TEST_F(TableFile, AChangeCheckKeepsTheSessionsUnsavedChanges) {
  auto A = NewSession();
  A->File->CreateAndOpen();
  for (int32_t Number = 1; Number <= 4; ++Number) A->File->Put(Number, 1);
  A->File->Write(true);
  A->File->FreeBuffers(false);
  // New buffers not yet written: a cache miss checks for changes.
  A->File->Put(5, 2);
  A->File->Put(6, 2);
  EXPECT_EQ(A->File->GenerationOf(2), 1);
  EXPECT_FALSE(A->File->CheckForChanges());
  EXPECT_EQ(A->File->GetNextNumber(), 7);
  A->File->Put(7, 2);
  A->File->CheckInvariants();
  A->File->Write(true);

  auto B = NewSession();
  B->File->Open();
  EXPECT_EQ(B->File->GetLastNumber(), 7);
  EXPECT_EQ(B->File->GenerationOf(6), 2);
  EXPECT_EQ(B->File->GenerationOf(7), 2);
}

TEST_F(TableFile, ReadAheadFillsTheCacheInTheDirectionOfTravel) {
  auto A = NewSession();
  A->File->CreateAndOpen();
  for (int32_t Number = 1; Number <= 10; ++Number) A->File->Put(Number, 4);
  A->File->Write(true);
  A->File->Close();

  for (int32_t Direction : {1, -1}) {
    auto B = NewSession();
    B->File->Open();
    const int32_t Start = Direction == 1 ? 3 : 8;
    B->File->Release(B->File->Get(Start, true, Direction));
    EXPECT_EQ(B->File->GetReads(), 1);
    EXPECT_EQ(B->File->GetBufferCount(), 4);
    // The next three buffers in the direction of travel are hits.
    for (int32_t Step = 1; Step <= 3; ++Step)
      EXPECT_EQ(B->File->GenerationOf(Start + Step * Direction), 4) << Direction << " " << Step;
    EXPECT_EQ(B->File->GetReads(), 1);
    EXPECT_EQ(B->File->GetMisses(), 1);
    B->File->CheckInvariants();
  }
}

TEST_F(TableFile, DirtyBuffersAreWrittenInSortedRuns) {
  auto A = NewSession();
  A->File->MaxBuffers = 16;
  A->File->CreateAndOpen();
  for (int32_t Number = 1; Number <= 10; ++Number) A->File->Put(Number, 1);
  A->File->Write(true);
  const int64_t Writes = A->File->GetWrites();
  for (int32_t Number : {9, 2, 5, 1, 3}) A->File->Put(Number, 2);
  A->File->Write(true);
  // Runs 1-3, 5 and 9.
  EXPECT_EQ(A->File->GetWrites() - Writes, 3);
  EXPECT_EQ(A->File->GetMaxWriteBufferCount(), 10);
  EXPECT_EQ(A->File->GetWriteBufferCount(), 0);
  auto B = NewSession();
  B->File->Open();
  for (int32_t Number = 1; Number <= 10; ++Number)
    EXPECT_EQ(B->File->GenerationOf(Number), (Number <= 3 || Number == 5 || Number == 9) ? 2 : 1) << Number;
}

TEST_F(TableFile, ATransactionGrowsTheCacheAndCommitShrinksIt) {
  auto A = NewSession();
  A->File->CreateAndOpen();
  A->File->StartTransaction();
  EXPECT_EQ(A->File->GetWriteBehavior(), wbNever);
  for (int32_t Number = 1; Number <= 20; ++Number) A->File->Put(Number, 3);
  // Nothing was written and no dirty buffer was given up.
  EXPECT_EQ(A->File->GetBufferCount(), 20);
  EXPECT_EQ(std::filesystem::file_size(Folder() / "Orders.ORVTbl"), 64u);
  A->File->CheckInvariants();
  A->File->Commit(true, true);
  EXPECT_EQ(A->File->GetWriteBehavior(), wbNormal);
  EXPECT_EQ(A->File->GetBufferCount(), A->File->GetMaxBufferCount());
  A->File->CheckInvariants();
  EXPECT_EQ(std::filesystem::file_size(Folder() / "Orders.ORVTbl"), 1024u + 20 * 64u);

  // A rolled-back transaction leaves the file as it was, an Empty included.
  A->File->StartTransaction();
  A->File->Put(2, 7);
  A->File->Empty();
  A->File->Rollback();
  A->File->Put(4, 8);
  A->File->Write(true);
  auto B = NewSession();
  B->File->Open();
  EXPECT_EQ(B->File->GetLastNumber(), 20);
  EXPECT_EQ(B->File->GenerationOf(2), 3);
  EXPECT_EQ(B->File->GenerationOf(4), 8);
}

TEST_F(TableFile, EmptyCutsTheFileBackToItsHeaderAtTheNextWrite) {
  auto A = NewSession();
  A->File->CreateAndOpen();
  for (int32_t Number = 1; Number <= 5; ++Number) A->File->Put(Number, 1);
  A->File->Write(true);
  A->File->Empty();
  A->File->Write(true);
  EXPECT_EQ(std::filesystem::file_size(Folder() / "Orders.ORVTbl"), 1024u);
  auto B = NewSession();
  B->File->Open();
  EXPECT_EQ(B->File->GetLastNumber(), 0);
}

// A manager whose files may grow as far as 64-bit offsets reach.
class TUnlimitedMemoryFileManager : public TORVMemoryFileManager {
 public:
  int64_t GetMaximumFileSize() override { return std::numeric_limits<int64_t>::max(); }
};

TEST_F(TableFile, BufferNumbersStopAtTheLargestIntegerAndFileSizeAtTheLimit) {
  TUnlimitedMemoryFileManager Memory;
  TTableSession A(&Memory, u"", false);
  A.File->CreateAndOpen();
  A.File->Close();
  // The header claims every number but the last two.
  {
    auto Stream = Memory.OpenFile(u"Sales/Orders.ORVTbl", {});
    int32_t Next = std::numeric_limits<int32_t>::max() - 1;
    Stream->SetPosition(49);
    Stream->Write(reinterpret_cast<const uint8_t*>(&Next), 4);
  }
  TTableSession B(&Memory, u"", false);
  B.File->Open();
  B.File->Release(B.File->Get(std::numeric_limits<int32_t>::max() - 1));
  EXPECT_EQ(B.File->GetNextNumber(), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(ErrorOf([&] { B.File->Get(std::numeric_limits<int32_t>::max()); }),
            "407 The table Orders is full (Sales/Orders.ORVTbl)");

  // The file manager's maximum size is the other limit.
  auto C = NewSession();
  C->File->CreateAndOpen();
  const int64_t Buffers = (Files->GetMaximumFileSize() - 1024) / 64;
  C->File->Close();
  {
    auto Stream = Files->OpenFile(FolderName() + u"Orders.ORVTbl", {});
    int32_t Next = static_cast<int32_t>(Buffers);
    Stream->SetPosition(49);
    Stream->Write(reinterpret_cast<const uint8_t*>(&Next), 4);
  }
  auto D = NewSession();
  D->File->Open();
  D->File->Release(D->File->Get(static_cast<int32_t>(Buffers)));
  EXPECT_EQ(ErrorOf([&] { D->File->Get(static_cast<int32_t>(Buffers + 1)); }),
            "407 The table Orders is full (" + (Folder() / "Orders.ORVTbl").string() + ")");
}

TEST_F(TableFile, HeaderNumbersThatCannotBeRightAreRefused) {
  auto A = NewSession();
  A->File->CreateAndOpen();
  A->File->Put(1, 1);
  A->File->Write(true);
  A->File->Close();
  struct TCase {
    int32_t Free;
    int32_t Next;
    const char* Detail;
  };
  for (const TCase& Case : {TCase{0, 0, "(0, 0)"}, TCase{-1, 2, "(2, -1)"}, TCase{2, 2, "(2, 2)"}}) {
    {
      auto Stream = Files->OpenFile(FolderName() + u"Orders.ORVTbl", {});
      Stream->SetPosition(45);
      Stream->Write(reinterpret_cast<const uint8_t*>(&Case.Free), 4);
      Stream->Write(reinterpret_cast<const uint8_t*>(&Case.Next), 4);
    }
    auto B = NewSession();
    EXPECT_EQ(ErrorOf([&] { B->File->Open(); }),
              std::string("601 The table Orders is corrupt (Invalid row numbers in header ") + Case.Detail + ")");
  }
}

TEST_F(TableFile, ThePathFollowsTheKindOfTableAndDatabase) {
  TORVMemoryFileManager Memory;
  struct TCase {
    const char* Name;
    TORVFileManager* Files;
    std::function<void(TTestTableManager&)> Setup;
    std::string Path;
  };
  const std::string Disk = StringToUtf8(FolderName());
  const std::vector<TCase> Cases = {
      {"disk database", Files.get(), [](TTestTableManager&) {}, Disk},
      {"memory database", &Memory, [](TTestTableManager&) {}, "Sales/"},
      {"isolated memory database", &Memory, [](TTestTableManager& M) { M.SessionIsolation = true; },
       "Tests/7/Reader/Sales/"},
      {"information schema", Files.get(), [](TTestTableManager& M) { M.InInformationSchema = true; },
       "Tests/7/Reader/Sales/Information/"},
      {"temporary on disk", Files.get(),
       [](TTestTableManager& M) {
         M.Table().SetTemporary(true);
         M.Settings().SetTempTablesPath(u"/scratch");
       },
       "/scratch/"},
      {"temporary in memory", &Memory, [](TTestTableManager& M) { M.Table().SetTemporary(true); },
       "Tests/Sales/Temporary/"},
      {"session table in maintenance", Files.get(),
       [](TTestTableManager& M) {
         M.Table().SetTemporaryForSession(true);
         M.Table().SetMaintenance(true);
       },
       Disk},
  };
  for (const TCase& Case : Cases) {
    TTestTableManager Manager(Case.Files, FolderName());
    Manager.Session().Open(u"Tests", u"Reader", u"");
    Case.Setup(Manager);
    TTestTableFile File(&Manager);
    EXPECT_EQ(StringToUtf8(File.GetPath()), Case.Path) << Case.Name;
    EXPECT_EQ(StringToUtf8(File.GetFullBackupCopyFileName()), Case.Path + "Orders.ORVTbl.Old") << Case.Name;
  }
}

// ---------------------------------------------------------- crash detection

// Forks a writer that creates the table, writes generation 1, then starts
// writing generation 2 and is killed once the buffers of that write are
// out of its hands but before the header is cleared.
template <typename TMakeFiles>
void KillWriterBetweenHeaderSteps(const TORVString& Folder, TMakeFiles MakeFiles) {
  int Pipe[2];
  ASSERT_EQ(pipe(Pipe), 0);
  pid_t Child = fork();
  ASSERT_GE(Child, 0);
  if (Child == 0) {
    close(Pipe[0]);
    int Status = 0;
    try {
      auto Files = MakeFiles();
      TTableSession W(Files.get(), Folder);
      W.File->CreateAndOpen();
      for (int32_t Number = 1; Number <= 6; ++Number) W.File->Put(Number, 1);
      W.File->Write(true);
      for (int32_t Number = 1; Number <= 6; ++Number) W.File->Put(Number, 2);
      W.File->OnBuffersWritten = [&] {
        char Signal = 'w';
        if (write(Pipe[1], &Signal, 1) != 1) _exit(3);
        for (;;) pause();
      };
      W.File->Write(true);
    } catch (...) {
      Status = 2;
    }
    _exit(Status == 0 ? 4 : Status);
  }
  close(Pipe[1]);
  char Signal = 0;
  ASSERT_EQ(read(Pipe[0], &Signal, 1), 1);
  close(Pipe[0]);
  ASSERT_EQ(kill(Child, SIGKILL), 0);
  int Status = 0;
  ASSERT_EQ(waitpid(Child, &Status, 0), Child);
  ASSERT_TRUE(WIFSIGNALED(Status));
}

void ExpectRepairRequiredThenRepair(TORVFileManager* Files, const TORVString& Folder) {
  {
    TTableSession R(Files, Folder);
    EXPECT_EQ(ErrorOf([&] { R.File->Open(); }), RepairRequired);
  }
  // In repair the file opens; verification finds and clears the flag.
  TTableSession R(Files, Folder);
  R.Manager->Table().SetObjectState({osInRepair});
  R.File->Open();
  EXPECT_TRUE(R.File->GetWriting());
  bool FoundErrors = false;
  EXPECT_TRUE(R.File->Verify(FoundErrors, true));
  EXPECT_TRUE(FoundErrors);
  ASSERT_EQ(R.Manager->LogLines.size(), 1u);
  const std::string Line = StringToUtf8(R.Manager->LogLines[0]);
  EXPECT_NE(Line.find("Verification error for the Orders table file"), std::string::npos) << Line;
  EXPECT_NE(Line.find("(Write interrupted) - Fixed"), std::string::npos) << Line;
  R.File->Write(true);
  R.File->Close();
  TTableSession After(Files, Folder);
  EXPECT_EQ(ErrorOf([&] { After.File->Open(); }), "no error");
  EXPECT_EQ(After.File->GetLastNumber(), 6);
}

TEST_F(TableFile, AWriterKilledBetweenTheHeaderStepsLeavesARepairRequired) {
  KillWriterBetweenHeaderSteps(FolderName(), [] { return test::NewSharedOSFileManager(); });
  ExpectRepairRequiredThenRepair(Files.get(), FolderName());
}

TEST_F(TableFile, ABufferedWriterKilledBetweenTheHeaderStepsLeavesARepairRequired) {
  KillWriterBetweenHeaderSteps(FolderName(), [] {
    auto Buffered = std::make_unique<TFaultBufferedOSFileManager>();
    Buffered->SetExclusiveFileAccess(false);
    Buffered->Initialize();
    return Buffered;
  });
  ExpectRepairRequiredThenRepair(Files.get(), FolderName());
}

// The writes of the fault loop: which buffers each generation writes.
const std::vector<std::set<int32_t>> Generations = {
    {1, 2, 3, 4, 5, 6}, {1, 2, 3, 5, 6}, {2, 5}, {1, 2, 3, 4, 5, 6, 7}, {4}};

int32_t ExpectedGeneration(int32_t Committed, int32_t Number) {
  for (int32_t Gen = Committed; Gen >= 1; --Gen)
    if (Generations[static_cast<size_t>(Gen - 1)].count(Number) != 0) return Gen;
  return -1;
}

struct TFaultCase {
  test::TFaultMode Mode;
  bool Encrypted;
  bool Buffered;
};

class TableFileFaults : public test::TempFolderTest, public ::testing::WithParamInterface<TFaultCase> {};

TEST_P(TableFileFaults, AFailedWriteNeverOpensAsCleanOverTornBuffers) {
  const TFaultCase Case = GetParam();
  int32_t Failures = 0;
  for (int32_t N = 1;; ++N) {
    const std::string Name = "round" + std::to_string(N);
    std::filesystem::create_directory(Folder() / Name);
    const TORVString Folder = FolderName() + Utf8ToString(Name) + u"/";
    std::unique_ptr<TORVFileManager> Files;
    test::TFaultPlan* Plan = nullptr;
    if (Case.Buffered) {
      auto Buffered = std::make_unique<TFaultBufferedOSFileManager>();
      Buffered->Initialize();
      Plan = &Buffered->Faults();
      Files = std::move(Buffered);
    } else {
      auto Memory = std::make_unique<test::TFaultMemoryFileManager>();
      Plan = &Memory->Faults();
      Files = std::move(Memory);
    }
    bool Failed = false;
    {
      TTableSession W(Files.get(), Folder, Case.Encrypted);
      W.File->CreateAndOpen();
      Plan->FailNext(test::fkWrite, N, Case.Mode);
      for (size_t Gen = 1; Gen <= Generations.size(); ++Gen) {
        try {
          W.File->Generation = static_cast<int32_t>(Gen);
          for (int32_t Number : Generations[Gen - 1]) W.File->Put(Number, static_cast<int32_t>(Gen));
          W.File->Write(true);
        } catch (const EORVException&) {
          Failed = true;
        }
      }
      Plan->Clear();
      try {
        W.File->Close();
      } catch (const EORVException&) {
        Failed = true;
      }
    }
    if (!Failed) break;
    ++Failures;
    TTableSession R(Files.get(), Folder, Case.Encrypted);
    const std::string Error = ErrorOf([&] { R.File->Open(); });
    if (Error != "no error") {
      EXPECT_EQ(Error, RepairRequired) << "failing write " << N;
      continue;
    }
    // A clean open: the image is that of one whole generation.
    const int32_t Committed = R.File->Generation;
    ASSERT_GE(Committed, 0) << N;
    int32_t Last = 0;
    for (int32_t Gen = 1; Gen <= Committed; ++Gen)
      for (int32_t Number : Generations[static_cast<size_t>(Gen - 1)]) Last = std::max(Last, Number);
    EXPECT_EQ(R.File->GetLastNumber(), Last) << "failing write " << N;
    for (int32_t Number = 1; Number <= R.File->GetLastNumber(); ++Number)
      EXPECT_EQ(R.File->GenerationOf(Number), ExpectedGeneration(Committed, Number))
          << "failing write " << N << ", buffer " << Number;
  }
  // Every write of the sequence failed once.
  EXPECT_GE(Failures, static_cast<int32_t>(2 * Generations.size()));
}

INSTANTIATE_TEST_SUITE_P(Modes, TableFileFaults,
                         ::testing::Values(TFaultCase{test::fmFail, false, false},
                                           TFaultCase{test::fmTorn, false, false},
                                           TFaultCase{test::fmFail, true, false},
                                           TFaultCase{test::fmTorn, true, false},
                                           TFaultCase{test::fmTorn, false, true}),
                         [](const ::testing::TestParamInfo<TFaultCase>& Info) {
                           return std::string(Info.param.Mode == test::fmTorn ? "Torn" : "Failed") +
                                  (Info.param.Encrypted ? "Encrypted" : "Plain") +
                                  (Info.param.Buffered ? "Buffered" : "Memory");
                         });

TEST_F(TableFile, AWriteAfterAFailedOneKeepsTheFileMarkedAsInterrupted) {
  test::TFaultMemoryFileManager Memory;
  TTableSession W(&Memory, u"");
  W.File->CreateAndOpen();
  for (int32_t Number = 1; Number <= 6; ++Number) W.File->Put(Number, 1);
  W.File->Write(true);
  // The run of buffers 1 to 3 tears; the write after it succeeds.
  for (int32_t Number = 1; Number <= 3; ++Number) W.File->Put(Number, 2);
  Memory.Faults().FailNext(test::fkWrite, 2, test::fmTorn);
  EXPECT_EQ(ErrorOf([&] { W.File->Write(true); }).substr(0, 4), "601 ");
  W.File->Put(5, 3);
  EXPECT_EQ(ErrorOf([&] { W.File->Write(true); }), "no error");
  W.File->Close();
  TTableSession R(&Memory, u"");
  EXPECT_EQ(ErrorOf([&] { R.File->Open(); }), RepairRequired);
}

}  // namespace
}  // namespace orv

namespace orv {
namespace {

// A key that owns its values and has no columns to ask about.
class TPlainKey : public TORVKeyValues {
 public:
  TPlainKey() : TORVKeyValues(CharacterSetUnicode, true) {}
  int32_t GetColumnCollation(int32_t /*Index*/) override { return 0; }
  bool GetColumnDescending(int32_t /*Index*/) override { return false; }
  int32_t GetRowID() override { return 0; }
  void SetRowID(int32_t /*Value*/) override {}
};

TEST(KeyValuesText, ValuesAreJoinedByCommasWithoutSpaces) {
  TPlainKey Key;
  EXPECT_EQ(KeyValuesAsString(Key), u"");
  auto Add = [&Key](int32_t DataType, int32_t SubType, int32_t Length) {
    auto Value = std::make_unique<TORVContainedValue>(CharacterSetUnicode);
    Value->SetDataType(DataType);
    Value->SetSubType(SubType);
    Value->SetLength(Length);
    Key.Add(Value.get());
    return Value.release();
  };
  Add(dtInteger, 0, 0)->SetAsInteger(1);
  Add(dtCharacter, stVarChar, 10)->SetAsString(u"abc");
  Add(dtFloat, 0, 0)->SetAsDouble(2.5);
  EXPECT_EQ(KeyValuesAsString(Key), u"1,abc,2.5");
}

}  // namespace
}  // namespace orv
