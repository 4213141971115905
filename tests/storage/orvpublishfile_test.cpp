#include "storage/orvpublishfile.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/orverror.h"
#include "core/orvstream.h"
#include "tests/storage/orvtabletestfiles.h"
#include "tests/support/orverrortext.h"
#include "tests/support/orvfaultfilemgr.h"
#include "tests/support/orvtestfolder.h"

namespace orv {
namespace {

using test::ErrorOf;

constexpr int32_t BlockBytes = 64;
constexpr int32_t FirstCapacity = BlockBytes - 13;

using TPublishSession = test::TKindSession<TORVPublishedUpdatesManager>;

class PublishFile : public test::TempFolderTest {
 protected:
  void SetUp() override {
    test::TempFolderTest::SetUp();
    Files = test::NewSharedOSFileManager();
    A = NewOpenSession();
  }
  std::unique_ptr<TPublishSession> NewOpenSession() {
    auto Session = std::make_unique<TPublishSession>(Files.get(), FolderName(),
                                                  [](TORVBaseTable& Table) { Table.SetPublishBlockSize(BlockBytes); });
    Session->Open();
    return Session;
  }
  static TORVBytes Pattern(int32_t Count, int32_t Seed) {
    TORVBytes Bytes(static_cast<size_t>(Count));
    for (int32_t Index = 0; Index < Count; ++Index)
      Bytes[static_cast<size_t>(Index)] = static_cast<uint8_t>(Index * 3 + Seed);
    return Bytes;
  }
  static void Append(TORVPublishedUpdatesManager& Log, const TORVBytes& Bytes) {
    TORVMemoryStream Stream(0);
    Stream.Write(Bytes.data(), static_cast<int32_t>(Bytes.size()));
    Log.WriteStream(Stream);
  }
  // Every record from the first block on.
  static std::vector<TORVBytes> ReadAll(TORVPublishedUpdatesManager& Log) {
    std::vector<TORVBytes> Records;
    TORVMemoryStream Stream(0);
    for (int32_t Block = 1; Block <= Log.GetLastNumber();) {
      Log.ReadStream(Block, Stream);
      Records.emplace_back(Stream.GetMemory(), Stream.GetMemory() + Stream.GetSize());
    }
    return Records;
  }

  std::unique_ptr<test::TFaultOSFileManager> Files;
  std::unique_ptr<TPublishSession> A;
};

TEST_F(PublishFile, RecordsComeBackInTheOrderWritten) {
  const std::vector<TORVBytes> Written = {Pattern(200, 1), Pattern(3, 2), {}, Pattern(FirstCapacity + 60, 4)};
  for (const TORVBytes& Record : Written) Append(*A->File, Record);
  A->File->Write(true);
  auto B = NewOpenSession();
  EXPECT_EQ(ReadAll(*B->File), Written);
  int32_t Block = 1;
  TORVMemoryStream Stream(0);
  B->File->ReadStream(Block, Stream);
  // 200 bytes: 51 in the first block and 55 in each of three more.
  EXPECT_EQ(Block, 5);
}

TEST_F(PublishFile, ARecordFillingTheFirstBlockTakesOneBlockAndOneByteMoreTakesTwo) {
  Append(*A->File, Pattern(FirstCapacity, 1));
  EXPECT_EQ(A->File->GetLastNumber(), 1);
  Append(*A->File, Pattern(FirstCapacity + 1, 1));
  EXPECT_EQ(A->File->GetLastNumber(), 3);
  EXPECT_EQ(ReadAll(*A->File), (std::vector<TORVBytes>{Pattern(FirstCapacity, 1), Pattern(FirstCapacity + 1, 1)}));
}

TEST_F(PublishFile, TheLastTimeStampIsNotStoredInTheFile) {
  A->File->SetLastTimeStamp(123456789);
  Append(*A->File, Pattern(10, 1));
  A->File->Write(true);
  EXPECT_EQ(A->File->GetLastTimeStamp(), 123456789);
  EXPECT_EQ(NewOpenSession()->File->GetLastTimeStamp(), 0);
}

TEST_F(PublishFile, AReadOutsideTheLogOrFromAContinuationBlockIsRefused) {
  Append(*A->File, Pattern(100, 1));
  const std::string TypeError = "601 The table Orders is corrupt (Invalid published updates log block type found)";
  TORVMemoryStream Stream(0);
  for (int32_t Start : {2, 3, 0}) {
    int32_t Block = Start;
    EXPECT_EQ(ErrorOf([&] { A->File->ReadStream(Block, Stream); }), TypeError);
  }
  TORVPublishedUpdatesBlock* First = A->File->GetBlock(1);
  First->SetSize(BlockBytes);
  A->File->PutBlock(First);
  int32_t Block = 1;
  EXPECT_EQ(ErrorOf([&] { A->File->ReadStream(Block, Stream); }),
            "601 The table Orders is corrupt (Invalid published updates log block 1 size (64) for start published "
            "updates log block 1)");
}

TEST_F(PublishFile, VerifyFindsBrokenChainsWithoutATotalSizeCheckAndRepairsThem) {
  // Record 1 in blocks 1-3, record 2 in block 4.
  Append(*A->File, Pattern(FirstCapacity + 60, 1));
  Append(*A->File, Pattern(5, 2));
  A->File->Write(true);
  auto Change = [&](int32_t Number, const std::function<void(TORVPublishedUpdatesBlock&)>& Apply) {
    TORVPublishedUpdatesBlock* Block = A->File->GetBlock(Number);
    Apply(*Block);
    A->File->PutBlock(Block);
    A->File->Write(true);
  };
  auto Verify = [&](bool Repair) {
    A->Manager->LogLines.clear();
    bool FoundErrors = false;
    EXPECT_TRUE(A->File->Verify(FoundErrors, Repair));
    if (Repair) A->File->Write(true);
    std::vector<TORVString> Findings;
    for (const TORVString& Line : A->Manager->LogLines) {
      const size_t Open = Line.find(u"(", Line.find(u".ORVPbl"));
      Findings.push_back(Line.substr(Open + 1, Line.rfind(u")") - Open - 1));
    }
    EXPECT_EQ(FoundErrors, !Findings.empty());
    return Findings;
  };
  EXPECT_TRUE(Verify(false).empty());
  EXPECT_EQ(A->Manager->StatusLines.back(),
            u"Verifying the table Orders - Verifying published updates (structure-only)...");

  // The chain of record 1 loops back on itself; record 2 claims more than it holds.
  Change(3, [](TORVPublishedUpdatesBlock& B) { B.SetNextNumber(2); });
  Change(4, [](TORVPublishedUpdatesBlock& B) { B.SetTotalSize(500); });
  const std::vector<TORVString> Expected = {u"Recursive next published updates log block pointer (2)"};
  EXPECT_EQ(Verify(false), Expected);
  EXPECT_EQ(Verify(true), Expected);
  EXPECT_TRUE(Verify(false).empty());
  Change(4, [](TORVPublishedUpdatesBlock& B) { B.SetTotalSize(5); });
  EXPECT_EQ(ReadAll(*A->File), (std::vector<TORVBytes>{Pattern(FirstCapacity + 60, 1), Pattern(5, 2)}));
}

}  // namespace
}  // namespace orv
