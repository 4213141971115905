#include "storage/orvmemfilemgr.h"

#include <cstdint>
#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include "base/orverror.h"

namespace orv {
namespace {

class MemoryFiles : public ::testing::Test {
 protected:
  void SetUp() override { Manager.Initialize(); }
  void TearDown() override { Manager.Reset(); }

  TORVMemoryFile* FileOf(TORVFileStream& Stream) { return static_cast<TORVMemoryFile*>(Stream.GetFileObject()); }

  TORVMemoryFileManager Manager;
};

TEST_F(MemoryFiles, WritesSpanChunksAndReadsAreCutAtTheEnd) {
  auto Stream = Manager.CreateFile(u"/data/M.ORVTbl", TORVFileOptions());
  uint8_t One = 42;
  EXPECT_EQ(Stream->GetFileObject()->Write(16384, 1, &One), 1);
  EXPECT_EQ(Stream->GetSize(), 16385);
  EXPECT_EQ(FileOf(*Stream)->GetChunkCount(), 2);

  TORVBytes Buffer(10, 0xEE);
  EXPECT_EQ(Stream->GetFileObject()->Read(16380, 10, Buffer.data()), 5);
  EXPECT_EQ(TORVBytes(Buffer.begin(), Buffer.begin() + 5), (TORVBytes{0, 0, 0, 0, 42}));
  EXPECT_EQ(Stream->GetFileObject()->Read(16385, 10, Buffer.data()), 0);
  EXPECT_EQ(Stream->GetFileObject()->Read(-1, 10, Buffer.data()), 0);
  EXPECT_EQ(Stream->GetFileObject()->Write(0, 0, &One), 0);
  EXPECT_EQ(Stream->GetFileObject()->Write(0, -3, &One), -3);
  // An end past the largest offset is refused and leaves the size alone.
  TORVBytes Four(4, 1);
  EXPECT_EQ(Stream->GetFileObject()->Write(INT64_MAX - 1, 4, Four.data()), -1);
  EXPECT_EQ(Stream->GetSize(), 16385);

  // A span across a chunk boundary, through the stream's position.
  TORVBytes Data(40000);
  for (size_t I = 0; I < Data.size(); ++I) Data[I] = static_cast<uint8_t>(I % 251);
  Stream->SetPosition(100);
  EXPECT_EQ(Stream->Write(Data, 0, 40000), 40000);
  EXPECT_EQ(Stream->GetPosition(), 40100);
  TORVBytes Back(40000);
  Stream->SetPosition(100);
  EXPECT_EQ(Stream->Read(Back, 0, 40000), 40000);
  EXPECT_EQ(Back, Data);
}

TEST_F(MemoryFiles, ShrinkingKeepsChunksAndRegrowingShowsZeros) {
  auto Stream = Manager.CreateFile(u"/data/M.ORVTbl", TORVFileOptions());
  TORVBytes Data(50000, 0xAB);
  Stream->Write(Data, 0, 50000);
  EXPECT_EQ(FileOf(*Stream)->GetChunkCount(), 4);
  Stream->SetSize(100);
  EXPECT_EQ(Stream->GetSize(), 100);
  EXPECT_EQ(FileOf(*Stream)->GetChunkCount(), 4);

  Stream->SetSize(300);
  TORVBytes Back(300);
  Stream->SetPosition(0);
  EXPECT_EQ(Stream->Read(Back, 0, 300), 300);
  EXPECT_EQ(TORVBytes(Back.begin() + 100, Back.end()), TORVBytes(200, 0));
  uint8_t One = 1;
  Stream->GetFileObject()->Write(40000, 1, &One);
  Stream->GetFileObject()->Read(39990, 10, Back.data());
  EXPECT_EQ(TORVBytes(Back.begin(), Back.begin() + 10), TORVBytes(10, 0));

  Stream->SetSize(0);
  EXPECT_EQ(FileOf(*Stream)->GetChunkCount(), 0);
}

TEST_F(MemoryFiles, UnknownNamesCannotBeOpenedRenamedOrDeleted) {
  struct Case {
    const char* What;
    std::function<void()> Call;
  };
  const Case Cases[] = {
      {"open", [&] { Manager.OpenFile(u"/data/none", TORVFileOptions()); }},
      {"rename", [&] { Manager.RenameFile(u"/data/none", u"/data/other"); }},
      {"delete", [&] { Manager.DeleteFile(u"/data/none"); }},
  };
  for (const Case& C : Cases) {
    try {
      C.Call();
      ADD_FAILURE() << C.What << " succeeded";
    } catch (const EORVException& E) {
      EXPECT_EQ(E.ErrorCode(), 600) << C.What;
      EXPECT_EQ(E.ErrorMsg(), u"File manager error (File /data/none not found)") << C.What;
    }
  }
  EXPECT_NE(Manager.CreateFile(u"/data/none", TORVFileOptions()), nullptr);
}

TEST_F(MemoryFiles, ContentsOutliveTheLastStreamUnlessTemporary) {
  TORVBytes Data{1, 2, 3};
  Manager.CreateFile(u"/data/keep", TORVFileOptions())->Write(Data, 0, 3);
  Manager.CreateFile(u"/data/temp", TORVFileOptions{foTemporary})->Write(Data, 0, 3);
  EXPECT_TRUE(Manager.FileExists(u"/data/KEEP", TORVFileOptions()));
  EXPECT_FALSE(Manager.FileExists(u"/data/temp", TORVFileOptions()));
  EXPECT_EQ(Manager.FileSize(u"/data/keep", TORVFileOptions()), 3);

  auto Stream = Manager.OpenFile(u"/data/keep", TORVFileOptions());
  TORVBytes Back(3);
  EXPECT_EQ(Stream->Read(Back, 0, 3), 3);
  EXPECT_EQ(Back, Data);
  Stream.reset();
  // Creating the name again empties it.
  EXPECT_EQ(Manager.CreateFile(u"/data/keep", TORVFileOptions())->GetSize(), 0);
}

}  // namespace
}  // namespace orv
