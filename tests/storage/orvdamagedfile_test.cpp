// Damaged table files: a table's four files made by the engine, damaged as
// a failing disk or a hostile file would damage them, then opened,
// verified, read whole in both directions, written to and repaired. Every
// outcome must be a sound read or an engine error, never a hang, a crash,
// a standard exception or an allocation beyond what the file could hold.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/orverror.h"
#include "base/orverrors.h"
#include "base/orvutf8.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvindexes.h"
#include "core/orvliteral.h"
#include "core/orvtypefunc.h"
#include "storage/orvblobfile.h"
#include "storage/orvindexmgr.h"
#include "storage/orvindexnav.h"
#include "storage/orvpublishfile.h"
#include "storage/orvrowsfile.h"
#include "tests/storage/orvtabletestfiles.h"
#include "tests/support/orverrortext.h"
#include "tests/support/orvfaultfilemgr.h"
#include "tests/support/orvindexfakes.h"
#include "tests/support/orvrowfakes.h"
#include "tests/support/orvtestfolder.h"

#if defined(__SANITIZE_ADDRESS__)
#define ORV_TEST_ASAN 1
// The sanitizer runtime's allocation hooks (its interface header is not
// installed everywhere).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*MallocHook)(const volatile void*, size_t),
                                                         void (*FreeHook)(const volatile void*));
#endif

namespace orv {
namespace {

using test::ErrorOf;

constexpr int32_t IDColumn = 0;
constexpr int32_t NameColumn = 1;
constexpr int32_t NotesColumn = 2;

// ID, a name and a large object; a primary key on ID and an index on the
// name; small blocks and pages so that a few rows fill many of them.
void ConfigureTable(TORVBaseTable& Table) {
  TORVColumns& Columns = Table.GetColumns();
  AddTestColumn(Columns, u"ID", dtInteger, 0, 0, 1);
  AddTestColumn(Columns, u"Name", dtCharacter, stVarChar, 20, 2);
  AddTestColumn(Columns, u"Notes", dtLargeObject, stBlob, 0, 3);
  Table.SetIndexPageSize(256);
  Table.SetMaxIndexBufferSize(4096);
  Table.SetBlobBlockSize(64);
  Table.SetPublishBlockSize(64);
  struct TDef {
    const char16_t* Name;
    int32_t Type;
    int32_t Position;
  };
  for (const TDef& Def : {TDef{u"ByID", itPrimaryKey, IDColumn}, TDef{u"ByName", itIndex, NameColumn}}) {
    std::unique_ptr<TORVIndex> Index(static_cast<TORVIndex*>(Table.GetIndexes().GetNewObject()));
    Index->SetName(Def.Name);
    Index->SetIndexType(Def.Type);
    std::unique_ptr<TORVIndexColumn> Key(static_cast<TORVIndexColumn*>(Index->GetIndexColumns()->GetNewObject()));
    Key->SetSourceColumn(Columns.GetColumn(Def.Position));
    Index->GetIndexColumns()->Add(Key.release());
    Table.GetIndexes().Add(Index.release());
  }
}

enum TFileKind : int32_t { fkRows, fkIndexes, fkBlobs, fkUpdates };
constexpr int32_t FileKindCount = 4;

const char* KindName(int32_t Kind) {
  static const char* const Names[] = {"rows", "indexes", "large objects", "published updates"};
  return Names[Kind];
}

// One session's view of the whole table: its four files, with large
// objects read and written through the table's large-object file.
class TWholeTable : public test::TBlobFileTableManager {
 public:
  TWholeTable(TORVFileManager* Files, const TORVString& Folder, bool Encrypted)
      : test::TBlobFileTableManager(Files, Folder, Encrypted) {
    ConfigureTable(Table());
    Rows = std::make_unique<TORVRowsetManager>(this);
    Indexes = std::make_unique<TORVIndexManager>(this);
    Blobs = std::make_unique<TORVBlobManager>(this);
    BlobFile = Blobs.get();
    Updates = std::make_unique<TORVPublishedUpdatesManager>(this);
    for (TORVTableFileManager* File : FilesOf()) File->Initialize();
  }

  std::vector<TORVTableFileManager*> FilesOf() const { return {Rows.get(), Indexes.get(), Blobs.get(), Updates.get()}; }
  TORVTableFileManager& File(int32_t Kind) const { return *FilesOf()[static_cast<size_t>(Kind)]; }

  bool CheckForChanges(bool /*ManualRefresh*/) override {
    bool Changed = false;
    for (TORVTableFileManager* File : FilesOf())
      if (File->GetOpened() && File->CheckForChanges()) Changed = true;
    return Changed;
  }
  int32_t GetRowsetLastNumber() override { return Rows->GetLastNumber(); }

  void Open() {
    for (TORVTableFileManager* File : FilesOf()) {
      if (File->GetFileExists())
        File->Open();
      else
        File->CreateAndOpen();
    }
  }
  void WriteAll() {
    for (TORVTableFileManager* File : FilesOf()) File->Write(true);
  }

  std::unique_ptr<TORVRowsetManager> Rows;
  std::unique_ptr<TORVIndexManager> Indexes;
  std::unique_ptr<TORVBlobManager> Blobs;
  std::unique_ptr<TORVPublishedUpdatesManager> Updates;
};

// Row values whose large objects go to the table's large-object file.
class TTableRowValues : public TORVRowValues {
 public:
  TTableRowValues(TWholeTable& Table)
      : TORVRowValues(Table.Settings().GetCharacterSet(), &Table.Table().GetColumns(), false), FTable(Table) {
    FBuffer.SetSize(Table.Table().GetColumns().GetRowsetRowSize());
    std::memset(FBuffer.GetMemory(), 0, static_cast<size_t>(FBuffer.GetSize()));
    SetBufferStream(&FBuffer);
  }
  void ReadBlobStream(int32_t, TORVMemoryStream&, bool) override {}
  void WriteBlobStream(int32_t RowVersion, int32_t& BlockNumber, TORVMemoryStream& BlobStream,
                       int32_t BlobCompression, int32_t& CompressedSize) override {
    FTable.WriteBlobStream(RowVersion, BlockNumber, BlobStream, BlobCompression, CompressedSize);
  }
  void Evaluate(TORVExprToken*, TORVValue&) override {}

 private:
  TWholeTable& FTable;
  TORVMemoryStream FBuffer{0};
};

// A row as the table holds it: the rows file, both indexes, its large
// object and a published-updates record.
void InsertRow(TWholeTable& Table, int32_t Seed) {
  TORVRowsetNavigator Rows(Table.Rows.get());
  TTableRowValues Values(Table);
  const int32_t RowID = Table.Rows->GetLastRowID();
  const TORVString Name = u"n" + IntToString(Seed % 7) + u"-" + IntToString(Seed);
  Values.GetItems(IDColumn)->SetAsInteger(RowID);
  Values.GetItems(NameColumn)->SetAsString(Name);
  TORVBytes Notes(static_cast<size_t>(Seed * 37 % 300));
  for (size_t Index = 0; Index < Notes.size(); ++Index) Notes[Index] = static_cast<uint8_t>(Index * 13 + Seed);
  if (!Notes.empty()) Values.GetItems(NotesColumn)->SetAsBytes(Notes);
  int32_t Number = 0;
  int32_t Counter = 0;
  Rows.Insert(Table.Rows->GetLastVersion(), Values, Number, Counter);
  const int32_t CharacterSet = Table.Settings().GetCharacterSet();
  TORVIndexes& Indexes = Table.Table().GetIndexes();
  {
    TTestKeyValues Key(CharacterSet, Indexes.GetIndex(0));
    TORVIndexNavigator(Table.Indexes.get(), 0).Insert(Key.Integer(RowID).RowID(RowID).Key, Number);
  }
  {
    TTestKeyValues Key(CharacterSet, Indexes.GetIndex(1));
    TORVIndexNavigator(Table.Indexes.get(), 1).Insert(Key.Text(Name).RowID(RowID).Key, Number);
  }
  TORVMemoryStream Record(0);
  const std::string Text = StringToUtf8(Name);
  for (int32_t Copy = 0; Copy <= Seed % 9; ++Copy)
    Record.Write(reinterpret_cast<const uint8_t*>(Text.data()), static_cast<int32_t>(Text.size()));
  Table.Updates->WriteStream(Record);
}

// Everything the table's files hold, forward and backward: the rows with
// their values, both indexes, every large-object chain and every
// published-updates record. Returns a digest-like text of what was read.
std::string ReadAll(TWholeTable& Table) {
  std::string Seen;
  {
    TORVRowsetNavigator Rows(Table.Rows.get());
    bool FoundChanges = false;
    auto Take = [&] {
      TORVRowValues& Values = Rows.GetRowValues();
      Seen += std::to_string(Rows.GetRowNumber()) + ":" + StringToUtf8(Values.GetItems(IDColumn)->GetAsString()) +
              "," + StringToUtf8(Values.GetItems(NameColumn)->GetAsString()) + "," +
              std::to_string(Values.GetItems(NotesColumn)->GetAsBytes().size()) + ";";
    };
    for (bool On = Rows.First(FoundChanges); On; On = Rows.Next(FoundChanges)) Take();
    for (bool On = Rows.Last(FoundChanges); On; On = Rows.Prior(FoundChanges)) Take();
  }
  for (int32_t Index = 0; Index < Table.Table().GetIndexes().GetCount(); ++Index) {
    TORVIndexNavigator Nav(Table.Indexes.get(), Index);
    bool FoundChanges = false;
    auto Take = [&] {
      Seen += StringToUtf8(Nav.GetKey().GetItems(0)->GetAsString()) + "@" + std::to_string(Nav.GetRowNumber()) + ";";
    };
    for (bool On = Nav.First(FoundChanges); On; On = Nav.Next(FoundChanges)) Take();
    for (bool On = Nav.Last(FoundChanges); On; On = Nav.Prior(FoundChanges)) Take();
  }
  for (int32_t Block = 1; Block <= Table.Blobs->GetLastNumber(); ++Block) {
    const int32_t Version = Table.Blobs->GetChainVersion(Block);
    if (Version < 0) continue;
    TORVMemoryStream Stream(0);
    Table.Blobs->ReadStream(Version, Block, Stream);
    Seen += "b" + std::to_string(Stream.GetSize()) + ";";
  }
  for (int32_t Block = 1; Block <= Table.Updates->GetLastNumber();) {
    TORVMemoryStream Stream(0);
    Table.Updates->ReadStream(Block, Stream);
    Seen += "u" + std::to_string(Stream.GetSize()) + ";";
  }
  return Seen;
}

// Findings of a verification of every file, mended with Repair.
bool VerifyAll(TWholeTable& Table, bool Repair) {
  bool FoundErrors = false;
  for (TORVTableFileManager* File : Table.FilesOf()) File->Verify(FoundErrors, Repair);
  if (Repair) Table.WriteAll();
  return FoundErrors;
}

TORVBytes ReadFileBytes(const std::string& Path) {
  std::ifstream Stream(Path, std::ios::binary);
  return TORVBytes(std::istreambuf_iterator<char>(Stream), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& Path, const TORVBytes& Bytes) {
  std::ofstream Stream(Path, std::ios::binary | std::ios::trunc);
  Stream.write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
}

void PutInt32(TORVBytes& Bytes, size_t Offset, int32_t Value) {
  std::memcpy(Bytes.data() + Offset, &Value, sizeof(Value));
}

// The byte offset of the header's NextNumber (after the check sum, the
// two digests, the character set, the encrypted flag, the update counter
// and NextFreeNumber).
constexpr size_t NextNumberOffset = 49;

// The largest single allocation made while a TAllocationWatch lives, and
// in a fuzzing child the allocation limit. Under AddressSanitizer an
// address-space limit would stop the sanitizer itself (its shadow memory
// is reserved up front), so each allocation's size is watched through the
// sanitizer's allocation hook instead; elsewhere the child's address space
// is limited.
// No allocation may approach what the test's small files could make
// necessary.
constexpr size_t MaxChildAllocation = 16u << 20;
std::atomic<bool> Watching{false};
std::atomic<size_t> LargestAllocation{0};
int LimitPipe = -1;

#if defined(ORV_TEST_ASAN)
void OnAllocation(const volatile void* /*Pointer*/, size_t Size) {
  if (LimitPipe >= 0 && Size > MaxChildAllocation) {
    char Text[96];
    const int Length = std::snprintf(Text, sizeof(Text), "allocation of %zu bytes", Size);
    if (write(LimitPipe, Text, static_cast<size_t>(Length)) < 0) _exit(5);
    _exit(3);
  }
  if (!Watching.load()) return;
  size_t Largest = LargestAllocation.load();
  while (Size > Largest && !LargestAllocation.compare_exchange_weak(Largest, Size)) {
  }
}
void OnFree(const volatile void* /*Pointer*/) {}
#endif

// True where allocations can be watched.
bool InstallAllocationHook() {
#if defined(ORV_TEST_ASAN)
  static const bool Installed = __sanitizer_install_malloc_and_free_hooks(OnAllocation, OnFree) != 0;
  return Installed;
#else
  return false;
#endif
}

struct TAllocationWatch {
  TAllocationWatch() {
    LargestAllocation = 0;
    Watching = InstallAllocationHook();
  }
  ~TAllocationWatch() { Watching = false; }
};

class DamagedTable : public test::TempFolderTest {
 protected:
  void SetUp() override {
    test::TempFolderTest::SetUp();
    Files = test::NewSharedOSFileManager();
  }
  void TearDown() override {
    Table.reset();
    Files.reset();
    test::TempFolderTest::TearDown();
  }
  // A new session over the table's files, opened.
  TWholeTable& OpenTable(bool Encrypted = false) {
    Table.reset();
    Table = std::make_unique<TWholeTable>(Files.get(), FolderName(), Encrypted);
    Table->Open();
    return *Table;
  }
  // Rows 0 .. Count - 1 inserted and written, then the session closed.
  void MakeTable(int32_t Count, bool Encrypted = false) {
    TWholeTable& Made = OpenTable(Encrypted);
    for (int32_t Seed = 0; Seed < Count; ++Seed) InsertRow(Made, Seed + 1);
    Made.WriteAll();
    Table.reset();
  }
  std::string PathOf(int32_t Kind) { return StringToUtf8(Table->File(Kind).GetFullFileName()); }

  std::unique_ptr<test::TFaultOSFileManager> Files;
  std::unique_ptr<TWholeTable> Table;
};

TEST_F(DamagedTable, ARowsLargeObjectSizeNearTwoGigabytesAllocatesNothingBeforeItsChainIsChecked) {
  constexpr int32_t Claimed = 2147483000;
  struct TCase {
    const char* Name;
    bool ChainClaimsItToo;
    std::string Expected;
  };
  const std::vector<TCase> Cases = {
      {"slot and chain", true,
       "601 The table Orders is corrupt (Invalid total size (2147483000) for start BLOB block "},
      {"slot only", false, "no error"}};
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    MakeTable(3);
    TWholeTable& Opened = OpenTable();
    TORVRowsetRow* Row = Opened.Rows->GetRow(2);
    TORVRowsetRowValues Values(Opened.Rows.get(), Opened.Settings().GetCharacterSet());
    Values.SetRow(Row);
    const int32_t Block = Values.GetRowValue(NotesColumn)->GetBlobBlockNumber();
    Values.GetRowValue(NotesColumn)->SetBlobSize(Claimed);
    Values.SetRow(nullptr);
    Row->SetModified(true);
    Opened.Rows->PutRow(Row);
    TORVBlobBlock* First = Opened.Blobs->GetBlock(Block);
    const int32_t Sound = First->GetTotalSize();
    if (Case.ChainClaimsItToo) First->SetTotalSize(Claimed);
    First->SetModified(true);
    Opened.Blobs->PutBlock(First);
    Opened.WriteAll();

    TWholeTable& Reopened = OpenTable();
    TORVRowsetNavigator Rows(Reopened.Rows.get());
    bool FoundChanges = false;
    ASSERT_TRUE(Rows.GotoNumber(2, NavigateForward, FoundChanges));
    TORVBytes Read;
    std::string Error;
    {
      TAllocationWatch Watch;
      Error = ErrorOf([&] { Read = Rows.GetRowValues().GetItems(NotesColumn)->GetAsBytes(); });
      if (InstallAllocationHook()) {
        EXPECT_LT(LargestAllocation.load(), size_t{1} << 20);
      }
    }
    if (Case.ChainClaimsItToo) {
      EXPECT_EQ(Error, Case.Expected + std::to_string(Block) + ")");
    } else {
      EXPECT_EQ(Error, Case.Expected);
      EXPECT_EQ(static_cast<int32_t>(Read.size()), Sound);
    }
    Table.reset();
    std::filesystem::remove_all(Folder());
    std::filesystem::create_directory(Folder());
  }
}

TEST_F(DamagedTable, VerifyWithoutRepairStopsAtTheFilesEndWhateverBufferCountTheHeaderClaims) {
  MakeTable(12);
  struct TCase {
    int32_t Kind;
    int32_t Claimed;
    const char* Finding;
  };
  const std::vector<TCase> Cases = {
      {fkRows, 27000000, "Invalid total row count (26999999)"},
      {fkBlobs, 27000000, "Invalid total BLOB block count (26999999)"},
      {fkUpdates, 27000000, "Invalid total published updates log block count (26999999)"},
      {fkIndexes, 27000000, "Invalid total index page count (26999999)"},
      // Only a file opened for repair gets this far with such a header.
      {fkRows, INT32_MIN, "Invalid total row count (-2147483649)"},
      {fkIndexes, 0, "Invalid total index page count (-1)"}};
  OpenTable();
  std::vector<TORVBytes> Pristine;
  std::vector<std::string> Paths;
  for (int32_t Kind = 0; Kind < FileKindCount; ++Kind) {
    Paths.push_back(PathOf(Kind));
    Pristine.push_back(ReadFileBytes(Paths.back()));
  }
  Table.reset();
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(std::string(KindName(Case.Kind)) + " " + std::to_string(Case.Claimed));
    TORVBytes Damaged = Pristine[static_cast<size_t>(Case.Kind)];
    PutInt32(Damaged, NextNumberOffset, Case.Claimed);
    WriteFileBytes(Paths[static_cast<size_t>(Case.Kind)], Damaged);
    Table = std::make_unique<TWholeTable>(Files.get(), FolderName(), false);
    Table->Table().StartRepair();
    Table->Open();
    bool FoundErrors = false;
    EXPECT_TRUE(Table->File(Case.Kind).Verify(FoundErrors, false));
    EXPECT_TRUE(FoundErrors);
    // The header's claim is reported once; the walks stopped at the
    // buffers the file holds.
    int32_t Claims = 0;
    for (const TORVString& Line : Table->LogLines)
      if (StringToUtf8(Line).find(Case.Finding) != std::string::npos) ++Claims;
    EXPECT_EQ(Claims, 1);
    Table.reset();
    WriteFileBytes(Paths[static_cast<size_t>(Case.Kind)], Pristine[static_cast<size_t>(Case.Kind)]);
  }
}

// ---------------------------------------------------------------- fuzzing

// One damage done to a file's bytes, as text for the failure message.
std::string Damage(TORVBytes& Bytes, std::mt19937& Random, int32_t HeaderArea, int32_t BufferSize) {
  auto Pick = [&](int64_t Count) {
    return static_cast<int64_t>(Random() % static_cast<uint64_t>(std::max<int64_t>(Count, 1)));
  };
  const int64_t Size = static_cast<int64_t>(Bytes.size());
  const int64_t Buffers = std::max<int64_t>((Size - HeaderArea) / BufferSize, 0);
  // Offsets land in the header's fields or in a buffer, mostly near its
  // front where the links and lengths are.
  auto Offset = [&]() -> int64_t {
    if (Buffers == 0 || Pick(4) == 0) return Pick(std::min<int64_t>(Size, 96));
    const int64_t Start = HeaderArea + Pick(Buffers) * BufferSize;
    return Start + (Pick(2) == 0 ? Pick(std::min(BufferSize, 24)) : Pick(BufferSize));
  };
  auto Put = [&](int64_t At, uint64_t Value, int32_t Width) {
    for (int32_t Byte = 0; Byte < Width && At + Byte < Size; ++Byte)
      Bytes[static_cast<size_t>(At + Byte)] = static_cast<uint8_t>(Value >> (8 * Byte));
  };
  if (Size == 0) return "empty";
  switch (Pick(7)) {
    case 0: {
      const int64_t At = Offset();
      const int32_t Bit = static_cast<int32_t>(Pick(8));
      Bytes[static_cast<size_t>(At)] ^= static_cast<uint8_t>(1u << Bit);
      return "flip bit " + std::to_string(Bit) + " at " + std::to_string(At);
    }
    case 1: {
      static const uint8_t Values[] = {0x00, 0xFF, 0x7F, 0x80};
      const int64_t At = Offset();
      const uint8_t Value = Values[Pick(4)];
      Bytes[static_cast<size_t>(At)] = Value;
      return "byte " + std::to_string(Value) + " at " + std::to_string(At);
    }
    case 2: {
      static const int32_t Widths[] = {2, 4, 8};
      const int32_t Width = Widths[Pick(3)];
      const uint64_t Values[] = {0,
                                 ~0ull,
                                 Width == 2 ? 0x7FFFull : Width == 4 ? 0x7FFFFFFFull : 0x7FFFFFFFFFFFFFFFull,
                                 Width == 2 ? 0x8000ull : 0x80000000ull,
                                 0x7FFFFFF0ull,
                                 static_cast<uint64_t>(Size),
                                 static_cast<uint64_t>(Buffers + 1 + Pick(3)),
                                 static_cast<uint64_t>(Pick(Buffers + 2))};
      const uint64_t Value = Values[Pick(static_cast<int64_t>(std::size(Values)))];
      const int64_t At = Offset();
      Put(At, Value, Width);
      return std::to_string(Width * 8) + "-bit " + std::to_string(Value) + " at " + std::to_string(At);
    }
    case 3: {
      const int64_t Length = Pick(Size);
      Bytes.resize(static_cast<size_t>(Length));
      return "cut to " + std::to_string(Length);
    }
    case 4: {
      const int64_t Count = 1 + Pick(2 * BufferSize);
      for (int64_t Index = 0; Index < Count; ++Index) Bytes.push_back(static_cast<uint8_t>(Random()));
      return "append " + std::to_string(Count);
    }
    default: {
      if (Buffers < 2) return "no buffers to swap";
      const int64_t From = Pick(Buffers);
      const int64_t To = Pick(Buffers);
      uint8_t* Source = Bytes.data() + HeaderArea + From * BufferSize;
      uint8_t* Target = Bytes.data() + HeaderArea + To * BufferSize;
      if (Pick(2) == 0) {
        std::swap_ranges(Source, Source + BufferSize, Target);
        return "swap buffers " + std::to_string(From + 1) + " and " + std::to_string(To + 1);
      }
      std::memmove(Target, Source, static_cast<size_t>(BufferSize));
      return "copy buffer " + std::to_string(From + 1) + " over " + std::to_string(To + 1);
    }
  }
}

// What an iteration may end in: a sound read or an engine error of the
// file and metadata groups (100s, 600s), the row-deleted error, or the full
// error of an insert into a file whose header claims it is at its largest.
bool AcceptableCode(int32_t Code) {
  return (Code >= 100 && Code < 200) || (Code >= 600 && Code < 700) || Code == 1007 ||
         Code == ORV_FULL_ERROR.Code;
}

// The child's time limit catches an endless walk.
constexpr unsigned TimeLimitSeconds = 60;
int ReportPipe = -1;

void Report(const std::string& Text) {
  if (ReportPipe >= 0 && write(ReportPipe, Text.data(), Text.size()) < 0) _exit(5);
}

void LimitChild() {
  alarm(TimeLimitSeconds);
#if !defined(ORV_TEST_ASAN)
  rlimit Limit{512u << 20, 512u << 20};
  setrlimit(RLIMIT_AS, &Limit);
#endif
}

struct TFuzzCase {
  int32_t Kind;
  bool Encrypted;
};

class DamagedTableFuzz : public DamagedTable, public ::testing::WithParamInterface<TFuzzCase> {
 protected:
  // One damaged file: the steps of an iteration, in the child. 0 when
  // every step ended soundly or in an acceptable engine error.
  int RunIteration(bool Encrypted) {
    auto Step = [](const char* Name, const std::function<void()>& Call) {
      try {
        Call();
        return true;
      } catch (const EORVException& Error) {
        if (!AcceptableCode(Error.ErrorCode())) {
          Report(std::string(Name) + ": unexpected engine error " + Error.what());
          _exit(1);
        }
        return false;
      } catch (const std::exception& Error) {
        Report(std::string(Name) + ": standard exception " + Error.what());
        _exit(1);
      } catch (...) {
        Report(std::string(Name) + ": unknown exception");
        _exit(1);
      }
    };
    std::unique_ptr<TWholeTable> Session;
    if (!Step("open", [&] {
          Session = std::make_unique<TWholeTable>(Files.get(), FolderName(), Encrypted);
          Session->Open();
        })) {
      // A file that cannot open is opened for repair, as the engine does.
      Session.reset();
      if (!Step("open for repair", [&] {
            Session = std::make_unique<TWholeTable>(Files.get(), FolderName(), Encrypted);
            Session->Table().StartRepair();
            Session->Open();
          }))
        return 0;
    }
    TWholeTable& Opened = *Session;
    Step("verify", [&] { VerifyAll(Opened, false); }) && Step("read", [&] { ReadAll(Opened); }) &&
        Step("insert", [&] {
          InsertRow(Opened, 1000);
          Opened.WriteAll();
        });
    Step("repair", [&] { VerifyAll(Opened, true); });
    Step("read after repair", [&] { ReadAll(Opened); });
    Step("close", [&] {
      for (TORVTableFileManager* File : Opened.FilesOf()) File->Close();
    });
    return 0;
  }
};

TEST_P(DamagedTableFuzz, EveryDamageReadsSoundlyOrRaisesAnEngineError) {
  const TFuzzCase Case = GetParam();
  const char* SeedText = std::getenv("ORV_DAMAGE_SEED");
  const char* CountText = std::getenv("ORV_DAMAGE_ITERATIONS");
  const uint32_t Seed = SeedText != nullptr ? static_cast<uint32_t>(std::strtoul(SeedText, nullptr, 10))
                                            : 20261211u;
  const int32_t Iterations = CountText != nullptr ? std::atoi(CountText) : 100;
  MakeTable(40, Case.Encrypted);
  {
    // Deleted rows give the rows file a free chain.
    TWholeTable& Opened = OpenTable(Case.Encrypted);
    TORVRowsetNavigator Rows(Opened.Rows.get());
    TTableRowValues Values(Opened);
    for (int32_t Number : {5, 17, 30}) {
      int32_t Counter = 0;
      Rows.Delete(Values, Number, Counter);
    }
    Opened.WriteAll();
  }
  std::vector<std::string> Paths;
  std::vector<TORVBytes> Pristine;
  for (int32_t Kind = 0; Kind < FileKindCount; ++Kind) {
    Paths.push_back(PathOf(Kind));
    Pristine.push_back(ReadFileBytes(Paths.back()));
  }
  TORVTableFileManager& Target = Table->File(Case.Kind);
  const int32_t HeaderArea = Target.GetAvailableHeaderSize();
  const int32_t BufferSize = Target.GetBufferSize();
  Table.reset();

  // The damage of one iteration, the same in the child that applies it and
  // in the parent that reports it.
  auto DamageOf = [&](int32_t Iteration, TORVBytes& Damaged) {
    std::mt19937 Random(Seed + static_cast<uint32_t>(Iteration));
    Damaged = Pristine[static_cast<size_t>(Case.Kind)];
    std::string Damages;
    const int32_t Count = 1 + static_cast<int32_t>(Random() % 3);
    for (int32_t Index = 0; Index < Count; ++Index)
      Damages += (Index > 0 ? "; " : "") + Damage(Damaged, Random, HeaderArea, BufferSize);
    return Damages;
  };
  // A child runs a batch of iterations, so that a fork is not paid for
  // each; it reports each iteration's number before it starts, so that a
  // crash or a hang names its iteration.
  constexpr int32_t BatchSize = 20;
  for (int32_t BatchStart = 0; BatchStart < Iterations; BatchStart += BatchSize) {
    const int32_t BatchEnd = std::min(Iterations, BatchStart + BatchSize);
    int Pipe[2];
    ASSERT_EQ(pipe(Pipe), 0);
    std::fflush(nullptr);
    const pid_t Child = fork();
    ASSERT_GE(Child, 0);
    if (Child == 0) {
      close(Pipe[0]);
      ReportPipe = Pipe[1];
      LimitPipe = InstallAllocationHook() ? Pipe[1] : -1;
      for (int32_t Iteration = BatchStart; Iteration < BatchEnd; ++Iteration) {
        Report("@" + std::to_string(Iteration) + "\n");
        LimitChild();
        TORVBytes Damaged;
        DamageOf(Iteration, Damaged);
        for (int32_t Kind = 0; Kind < FileKindCount; ++Kind)
          WriteFileBytes(Paths[static_cast<size_t>(Kind)],
                         Kind == Case.Kind ? Damaged : Pristine[static_cast<size_t>(Kind)]);
        RunIteration(Case.Encrypted);
      }
      _exit(0);
    }
    close(Pipe[1]);
    std::string Reported;
    char Chunk[512];
    for (ssize_t Read; (Read = read(Pipe[0], Chunk, sizeof(Chunk))) > 0;)
      Reported.append(Chunk, static_cast<size_t>(Read));
    close(Pipe[0]);
    int Status = 0;
    ASSERT_EQ(waitpid(Child, &Status, 0), Child);
    std::string Outcome;
    if (WIFSIGNALED(Status))
      Outcome = WTERMSIG(Status) == SIGALRM ? "time limit passed"
                                            : "killed by signal " + std::to_string(WTERMSIG(Status));
    else if (WEXITSTATUS(Status) != 0)
      Outcome = "exit " + std::to_string(WEXITSTATUS(Status));
    if (!Outcome.empty()) {
      // The last iteration started, and what it said after its number.
      const size_t Mark = Reported.rfind('@');
      const size_t LineEnd = Mark == std::string::npos ? std::string::npos : Reported.find('\n', Mark);
      const int32_t Iteration = Mark == std::string::npos ? BatchStart : std::atoi(Reported.c_str() + Mark + 1);
      const std::string Said = LineEnd == std::string::npos ? "" : Reported.substr(LineEnd + 1);
      TORVBytes Damaged;
      ADD_FAILURE() << KindName(Case.Kind) << (Case.Encrypted ? " (encrypted)" : "") << ": seed " << Seed
                    << " (ORV_DAMAGE_SEED), iteration " << Iteration << ", damage [" << DamageOf(Iteration, Damaged)
                    << "]: " << Outcome << (Said.empty() ? " (the child's own report, if any, is above)" : ": " + Said);
      return;
    }
  }
}

std::string FuzzCaseName(const ::testing::TestParamInfo<TFuzzCase>& Info) {
  static const char* const Names[] = {"Rows", "Indexes", "LargeObjects", "PublishedUpdates"};
  return std::string(Names[Info.param.Kind]) + (Info.param.Encrypted ? "Encrypted" : "Plain");
}

INSTANTIATE_TEST_SUITE_P(, DamagedTableFuzz,
                         ::testing::Values(TFuzzCase{fkRows, false}, TFuzzCase{fkRows, true},
                                           TFuzzCase{fkIndexes, false}, TFuzzCase{fkIndexes, true},
                                           TFuzzCase{fkBlobs, false}, TFuzzCase{fkBlobs, true},
                                           TFuzzCase{fkUpdates, false}, TFuzzCase{fkUpdates, true}),
                         FuzzCaseName);

}  // namespace
}  // namespace orv
