#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "base/orverror.h"
#include "base/orvutf8.h"
#include "storage/orvfilemgr.h"
#include "storage/orvmemfilemgr.h"
#include "storage/orvosfilemgr.h"
#include "tests/support/orvfaultfilemgr.h"
#include "tests/support/orverrortext.h"
#include "tests/support/orvtestfolder.h"

namespace orv {
namespace {

using test::ErrorOf;

void WriteText(TORVFileManager& Files, const TORVString& Name, const std::string& Text) {
  auto Stream = Files.CreateFile(Name, TORVFileOptions());
  Stream->Write(reinterpret_cast<const uint8_t*>(Text.data()), static_cast<int32_t>(Text.size()));
  Stream->Sync();
  Stream->Close();
}

std::string ReadText(TORVFileStream& Stream) {
  std::string Text(static_cast<size_t>(Stream.GetSize()), '\0');
  Stream.SetPosition(0);
  int32_t Got = Stream.Read(reinterpret_cast<uint8_t*>(Text.data()), static_cast<int32_t>(Text.size()));
  Text.resize(static_cast<size_t>(std::max(Got, 0)));
  return Text;
}

class SharedOSFileManager : public TORVOSFileManager {
 public:
  bool GetExclusiveFileAccess() override { return false; }
};

class SharedBufferedFileManager : public TORVBufferedOSFileManager {
 public:
  bool GetExclusiveFileAccess() override { return false; }
};

// Every kind of file manager: an open stream on the replaced name goes on
// with the new contents, and the scratch name is gone.
class ReplaceFile : public test::TempFolderTest, public ::testing::WithParamInterface<int> {
 protected:
  void SetUp() override {
    test::TempFolderTest::SetUp();
    switch (GetParam()) {
      case 0:
        FFiles = std::make_unique<TORVMemoryFileManager>();
        break;
      case 1:
        FFiles = std::make_unique<SharedOSFileManager>();
        break;
      case 2:
        FFiles = std::make_unique<TORVOSFileManager>();
        break;
      default:
        FFiles = std::make_unique<SharedBufferedFileManager>();
        break;
    }
    FFiles->Initialize();
  }
  void TearDown() override {
    FFiles->Reset();
    FFiles.reset();
    test::TempFolderTest::TearDown();
  }
  std::unique_ptr<TORVFileManager> FFiles;
};

std::string ManagerName(const ::testing::TestParamInfo<int>& Info) {
  const char* Names[] = {"Memory", "Disk", "DiskExclusive", "Buffered"};
  return Names[Info.param];
}

INSTANTIATE_TEST_SUITE_P(Managers, ReplaceFile, ::testing::Values(0, 1, 2, 3), ManagerName);

TEST_P(ReplaceFile, OpenStreamsSeeTheNewContents) {
  TORVString Target = PathName("a.dat");
  TORVString Scratch = PathName("a.dat.New");
  WriteText(*FFiles, Target, "old contents");
  auto Open = FFiles->OpenFile(Target, TORVFileOptions{foLockable});
  EXPECT_EQ(ReadText(*Open), "old contents");
  WriteText(*FFiles, Scratch, "new");
  FFiles->ReplaceFile(Scratch, Target);
  EXPECT_EQ(ReadText(*Open), "new");
  EXPECT_FALSE(FFiles->FileExists(Scratch, TORVFileOptions()));
  Open->Close();
  auto Again = FFiles->OpenFile(Target, TORVFileOptions());
  EXPECT_EQ(ReadText(*Again), "new");
}

TEST_P(ReplaceFile, AMissingTargetIsCreated) {
  WriteText(*FFiles, PathName("b.New"), "fresh");
  FFiles->ReplaceFile(PathName("b.New"), PathName("b.dat"));
  auto Stream = FFiles->OpenFile(PathName("b.dat"), TORVFileOptions());
  EXPECT_EQ(ReadText(*Stream), "fresh");
}

TEST_P(ReplaceFile, AnOpenSourceIsRefused) {
  WriteText(*FFiles, PathName("c.dat"), "old");
  auto Source = FFiles->CreateFile(PathName("c.New"), TORVFileOptions());
  EXPECT_EQ(ErrorOf([&] { FFiles->ReplaceFile(PathName("c.New"), PathName("c.dat")); }).substr(0, 4), "600 ");
  Source->Close();
}

using ReplaceFileAcrossProcesses = test::TempFolderTest;

TEST_F(ReplaceFileAcrossProcesses, AnotherManagerReopensOnlyWhenTheNameNamesANewFile) {
  TORVString Target = PathName("x.dat");
  TORVString Scratch = PathName("x.New");
  {
    // Two managers stand for two processes: neither sees the other's files.
    SharedOSFileManager Mine;
    SharedOSFileManager Theirs;
    Mine.Initialize();
    Theirs.Initialize();
    WriteText(Mine, Target, "one");
    auto Open = Mine.OpenFile(Target, TORVFileOptions());
    EXPECT_FALSE(Open->GetFileObject()->ReopenIfReplaced());
    WriteText(Theirs, Scratch, "two");
    Theirs.ReplaceFile(Scratch, Target);
    EXPECT_EQ(ReadText(*Open), "one");
    EXPECT_TRUE(Open->GetFileObject()->ReopenIfReplaced());
    EXPECT_EQ(ReadText(*Open), "two");
    EXPECT_FALSE(Open->GetFileObject()->ReopenIfReplaced());
  }
}

TEST(FaultInjection, TheNthOperationFailsAndATornWriteKeepsHalf) {
  test::TFaultMemoryFileManager Files;
  Files.Initialize();
  auto Stream = Files.CreateFile(u"f", TORVFileOptions());
  const uint8_t Bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  Files.Faults().FailNext(test::fkWrite, 2, test::fmTorn);
  EXPECT_EQ(Stream->Write(Bytes, 8), 8);
  EXPECT_EQ(Stream->Write(Bytes, 8), 4);
  EXPECT_EQ(Stream->GetSize(), 12);
  EXPECT_EQ(Stream->Write(Bytes, 8), 8);
  Files.Faults().FailNext(test::fkWrite);
  EXPECT_EQ(Stream->Write(Bytes, 8), -1);
  Files.Faults().FailNext(test::fkFlush);
  EXPECT_EQ(ErrorOf([&] { Stream->Flush(); }).substr(0, 4), "600 ");
  Stream->Close();
  Files.Faults().FailNext(test::fkRename);
  EXPECT_EQ(ErrorOf([&] { Files.RenameFile(u"f", u"g"); }).substr(0, 4), "600 ");
  EXPECT_TRUE(Files.FileExists(u"f", TORVFileOptions()));
}

}  // namespace
}  // namespace orv
