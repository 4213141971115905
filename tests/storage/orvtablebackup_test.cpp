#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/orvutf8.h"
#include "storage/orvtablefile.h"
#include "tests/storage/orvtabletestfiles.h"
#include "tests/support/orverrortext.h"
#include "tests/support/orvfaultfilemgr.h"
#include "tests/support/orvtestfolder.h"

namespace orv {
namespace {

using test::ErrorOf;
using test::TTestTableFile;
using test::TTestTableManager;

constexpr int32_t FileSize = 200000;

class TableBackup : public test::TempFolderTest {
 protected:
  void SetUp() override {
    test::TempFolderTest::SetUp();
    Files = test::NewSharedOSFileManager();
    Manager = std::make_unique<TTestTableManager>(Files.get(), FolderName());
    File = std::make_unique<TTestTableFile>(Manager.get());
    Manager->Session().SetOnProgress([this](int32_t PercentDone, bool& Continue) {
      Percents.push_back(PercentDone);
      Continue = Percents.size() < StopAfter;
    });
  }
  void TearDown() override {
    File.reset();
    Manager.reset();
    Files.reset();
    test::TempFolderTest::TearDown();
  }

  // The table file, opened, holding Size bytes of a pattern.
  std::string MakeTableFile(int32_t Size) {
    File->CreateAndOpen();
    std::string Bytes(static_cast<size_t>(Size), '\0');
    for (int32_t Index = 0; Index < Size; ++Index)
      Bytes[static_cast<size_t>(Index)] = static_cast<char>((Index / 7) % 251);
    TORVFileStream& Stream = *File->GetFileStream();
    Stream.SetPosition(0);
    Stream.Write(reinterpret_cast<const uint8_t*>(Bytes.data()), Size);
    Stream.SetSize(Size);
    return Bytes;
  }
  bool RunBackup(const std::string& Name, int32_t Compression, bool WriteEmpty, int64_t& CurrentSize) {
    auto Target = Files->CreateFile(FolderName() + Utf8ToString(Name), {});
    Manager->Session().StartProgress();
    bool Result = File->Backup(*Target, FileSize, CurrentSize, Compression, WriteEmpty);
    Manager->Session().EndProgress();
    Target->Close();
    return Result;
  }
  bool RunRestore(const std::string& Name, int32_t Compression, int64_t& CurrentSize) {
    auto Source = Files->OpenFile(FolderName() + Utf8ToString(Name), {});
    Manager->Session().StartProgress();
    bool Result = File->Restore(*Source, FileSize, CurrentSize, Compression);
    Manager->Session().EndProgress();
    Source->Close();
    return Result;
  }
  std::string ReadFile(const std::string& Name) {
    std::ifstream In(Folder() / Name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(In), {});
  }
  void WriteFile(const std::string& Name, const std::string& Bytes) {
    std::ofstream Out(Folder() / Name, std::ios::binary);
    Out << Bytes;
  }
  std::string TableBytes() {
    TORVFileStream& Stream = *File->GetFileStream();
    std::string Bytes(static_cast<size_t>(Stream.GetSize()), '\0');
    Stream.SetPosition(0);
    Stream.Read(reinterpret_cast<uint8_t*>(Bytes.data()), static_cast<int32_t>(Bytes.size()));
    return Bytes;
  }
  static int32_t IntegerAt(const std::string& Bytes, size_t Offset) {
    uint32_t Value = 0;
    for (int Byte = 3; Byte >= 0; --Byte) Value = Value << 8 | static_cast<uint8_t>(Bytes[Offset + Byte]);
    return static_cast<int32_t>(Value);
  }
  // The chunk lengths of a backup stream, the final 0 included.
  static std::vector<int32_t> ChunkLengths(const std::string& Stream) {
    std::vector<int32_t> Lengths;
    size_t Offset = 0;
    while (Offset + 4 <= Stream.size()) {
      int32_t Length = IntegerAt(Stream, Offset);
      Lengths.push_back(Length);
      Offset += 4 + static_cast<size_t>(std::max(Length, 0));
    }
    EXPECT_EQ(Offset, Stream.size());
    return Lengths;
  }

  std::unique_ptr<test::TFaultOSFileManager> Files;
  std::unique_ptr<TTestTableManager> Manager;
  std::unique_ptr<TTestTableFile> File;
  std::vector<int32_t> Percents;
  size_t StopAfter = 1000;
};

TEST_F(TableBackup, ChunksOf64KBRestoreTheFileByteForByte) {
  const std::string Original = MakeTableFile(FileSize);
  for (int32_t Compression : {0, 6}) {
    const std::string Name = "backup" + std::to_string(Compression);
    int64_t CurrentSize = 0;
    Percents.clear();
    EXPECT_TRUE(RunBackup(Name, Compression, false, CurrentSize));
    EXPECT_EQ(CurrentSize, FileSize);
    // Between the 0 and 100 of the progress bracket, one report per chunk.
    EXPECT_EQ(Percents, (std::vector<int32_t>{0, 32, 65, 98, 100, 100})) << Compression;
    const std::string Stream = ReadFile(Name);
    const std::vector<int32_t> Lengths = ChunkLengths(Stream);
    if (Compression == 0) {
      EXPECT_EQ(Lengths, (std::vector<int32_t>{65536, 65536, 65536, 3392, 0}));
      // Each chunk is the file's bytes as they are.
      EXPECT_EQ(Stream.substr(4, 65536), Original.substr(0, 65536));
      EXPECT_EQ(Stream.substr(3 * 65540 + 4, 3392), Original.substr(3 * 65536));
    } else {
      ASSERT_EQ(Lengths.size(), 5u);
      for (size_t Index = 0; Index < 4; ++Index) {
        EXPECT_GT(Lengths[Index], 0);
        EXPECT_LT(Lengths[Index], 65536);
      }
      EXPECT_EQ(Lengths[4], 0);
    }

    // Restore puts back exactly the file, whatever it held before.
    File->GetFileStream()->SetSize(10);
    CurrentSize = 0;
    Percents.clear();
    EXPECT_TRUE(RunRestore(Name, Compression, CurrentSize));
    EXPECT_EQ(CurrentSize, FileSize);
    // One more for the closing 0.
    EXPECT_EQ(Percents, (std::vector<int32_t>{0, 32, 65, 98, 100, 100, 100}));
    EXPECT_TRUE(TableBytes() == Original) << Compression;
  }
}

TEST_F(TableBackup, AnEmptyPartOrACancelledBackupStillEndsWithZero) {
  const std::string Original = MakeTableFile(FileSize);
  int64_t CurrentSize = 0;
  EXPECT_TRUE(RunBackup("empty", 0, true, CurrentSize));
  EXPECT_EQ(ReadFile("empty"), std::string(4, '\0'));
  EXPECT_EQ(CurrentSize, 0);
  EXPECT_TRUE(RunRestore("empty", 0, CurrentSize));
  EXPECT_EQ(File->GetFileStream()->GetSize(), 0);

  MakeTableFile(FileSize);
  // The bracket's first report, then the first chunk's asks to stop.
  StopAfter = 2;
  EXPECT_FALSE(RunBackup("cancelled", 0, false, CurrentSize));
  EXPECT_EQ(ChunkLengths(ReadFile("cancelled")), (std::vector<int32_t>{65536, 0}));
  // A cancelled restore keeps the chunks restored so far.
  StopAfter = 1000;
  CurrentSize = 0;
  EXPECT_TRUE(RunRestore("cancelled", 0, CurrentSize));
  EXPECT_TRUE(TableBytes() == Original.substr(0, 65536));
}

TEST_F(TableBackup, ACorruptChunkLengthIsARestoreError) {
  MakeTableFile(1000);
  int64_t CurrentSize = 0;
  EXPECT_TRUE(RunBackup("good", 0, false, CurrentSize));
  const std::string Good = ReadFile("good");
  const std::string Expected = "1301 Error restoring the database Sales (Error reading the file " +
                               (Folder() / "Orders.ORVTbl").string() + " from the backup)";
  auto WithLength = [&](int32_t Length) {
    std::string Bytes = Good;
    for (int Byte = 0; Byte < 4; ++Byte) Bytes[static_cast<size_t>(Byte)] = static_cast<char>(Length >> (8 * Byte));
    return Bytes;
  };
  struct TCase {
    const char* Name;
    std::string Stream;
    int32_t Compression;
  };
  const std::vector<TCase> Cases = {
      {"huge", WithLength(0x7FFFFFFF), 0},
      {"negative", WithLength(-5), 0},
      {"past the end", WithLength(5000), 0},
      {"longer than a chunk", WithLength(65537), 0},
      {"cut short", Good.substr(0, 500), 0},
  };
  for (const TCase& Case : Cases) {
    WriteFile("bad", Case.Stream);
    CurrentSize = 0;
    EXPECT_EQ(ErrorOf([&] { RunRestore("bad", Case.Compression, CurrentSize); }), Expected) << Case.Name;
  }
  // Bytes that do not decompress: the compression error, named as a restore
  // error of the file.
  WriteFile("bad", Good);
  const std::string Failure = ErrorOf([&] { RunRestore("bad", 6, CurrentSize); });
  EXPECT_EQ(Failure.rfind("1301 Error restoring the database Sales (Unknown error occurred with the file ", 0), 0u)
      << Failure;
}

TEST_F(TableBackup, BackupCopiesPutTheFileBack) {
  const std::string Original = MakeTableFile(5000);
  // Beside the open file: an identical copy, the file untouched.
  File->CreateBackupCopy(false);
  EXPECT_EQ(ReadFile("Orders.ORVTbl.Old"), Original);
  EXPECT_TRUE(TableBytes() == Original);
  File->GetFileStream()->SetSize(100);
  File->RestoreBackupCopy(false);
  EXPECT_TRUE(TableBytes() == Original);
  File->DropBackupCopy();
  EXPECT_FALSE(std::filesystem::exists(Folder() / "Orders.ORVTbl.Old"));

  // By renaming, with the file closed.
  File->Close();
  File->CreateBackupCopy(true);
  EXPECT_FALSE(std::filesystem::exists(Folder() / "Orders.ORVTbl"));
  EXPECT_EQ(ReadFile("Orders.ORVTbl.Old"), Original);
  WriteFile("Orders.ORVTbl", "replaced");
  File->RestoreBackupCopy(true);
  EXPECT_EQ(ReadFile("Orders.ORVTbl"), Original);
  EXPECT_FALSE(std::filesystem::exists(Folder() / "Orders.ORVTbl.Old"));
}

}  // namespace
}  // namespace orv
