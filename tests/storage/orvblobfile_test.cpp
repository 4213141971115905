#include "storage/orvblobfile.h"

#include <cstdint>
#include <memory>
#include <functional>
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
constexpr int32_t FirstCapacity = BlockBytes - 17;
constexpr int32_t NextCapacity = BlockBytes - 9;

using TBlobSession = test::TKindSession<TORVBlobManager>;

class BlobFile : public test::TempFolderTest {
 protected:
  void SetUp() override {
    test::TempFolderTest::SetUp();
    Files = test::NewSharedOSFileManager();
    A = NewOpenSession();
  }
  std::unique_ptr<TBlobSession> NewOpenSession() {
    auto Session = std::make_unique<TBlobSession>(Files.get(), FolderName(),
                                                  [](TORVBaseTable& Table) { Table.SetBlobBlockSize(BlockBytes); });
    Session->Open();
    return Session;
  }
  static TORVBytes Pattern(int32_t Count, int32_t Seed = 1) {
    TORVBytes Bytes(static_cast<size_t>(Count));
    for (int32_t Index = 0; Index < Count; ++Index) Bytes[static_cast<size_t>(Index)] = static_cast<uint8_t>(Index * 7 + Seed);
    return Bytes;
  }
  static int32_t WriteTo(TORVBlobManager& Blobs, int32_t Version, int32_t Block, const TORVBytes& Bytes) {
    TORVMemoryStream Stream(0);
    Stream.Write(Bytes.data(), static_cast<int32_t>(Bytes.size()));
    Blobs.WriteStream(Version, Block, Stream);
    return Block;
  }
  static TORVBytes ReadFrom(TORVBlobManager& Blobs, int32_t Version, int32_t Block) {
    TORVMemoryStream Stream(0);
    Blobs.ReadStream(Version, Block, Stream);
    return TORVBytes(Stream.GetMemory(), Stream.GetMemory() + Stream.GetSize());
  }
  // Changes block Number through Change and writes it.
  void Corrupt(int32_t Number, const std::function<void(TORVBlobBlock&)>& Change) {
    TORVBlobBlock* Block = A->File->GetBlock(Number);
    Change(*Block);
    Block->SetModified(true);
    A->File->PutBlock(Block);
    A->File->Write(true);
  }

  std::unique_ptr<test::TFaultOSFileManager> Files;
  std::unique_ptr<TBlobSession> A;
};

TEST_F(BlobFile, AValueFillingTheFirstBlockTakesOneBlockAndOneByteMoreTakesTwo) {
  const int32_t One = WriteTo(*A->File, 1, 0, Pattern(FirstCapacity));
  EXPECT_EQ(A->File->GetLastNumber(), 1);
  const int32_t Two = WriteTo(*A->File, 1, 0, Pattern(FirstCapacity + 1));
  EXPECT_EQ(A->File->GetLastNumber(), 3);
  EXPECT_EQ(ReadFrom(*A->File, 1, One), Pattern(FirstCapacity));
  EXPECT_EQ(ReadFrom(*A->File, 1, Two), Pattern(FirstCapacity + 1));
}

TEST_F(BlobFile, ALongValueSurvivesAnotherSession) {
  const TORVBytes Value = Pattern(FirstCapacity + 5 * NextCapacity + 3, 5);
  const int32_t First = WriteTo(*A->File, 4, 0, Value);
  A->File->Write(true);
  auto B = NewOpenSession();
  EXPECT_EQ(B->File->GetLastNumber(), 7);
  EXPECT_EQ(ReadFrom(*B->File, 4, First), Value);
  // Only a first block names the row that owns the chain.
  EXPECT_EQ(B->File->GetChainVersion(First), 4);
  EXPECT_EQ(B->File->GetChainVersion(First + 1), -1);
  EXPECT_EQ(B->File->GetChainVersion(99), -1);
}

TEST_F(BlobFile, ShrinkingKeepsTheChainAndGrowingAgainReusesIt) {
  const int32_t First = WriteTo(*A->File, 2, 0, Pattern(200));
  const int32_t Blocks = A->File->GetLastNumber();
  EXPECT_EQ(WriteTo(*A->File, 2, First, Pattern(10, 9)), First);
  EXPECT_EQ(ReadFrom(*A->File, 2, First), Pattern(10, 9));
  EXPECT_EQ(WriteTo(*A->File, 2, First, TORVBytes{}), First);
  EXPECT_TRUE(ReadFrom(*A->File, 2, First).empty());
  WriteTo(*A->File, 2, First, Pattern(200, 3));
  EXPECT_EQ(A->File->GetLastNumber(), Blocks);
  EXPECT_EQ(ReadFrom(*A->File, 2, First), Pattern(200, 3));
}

TEST_F(BlobFile, AStaleVersionOrAMissingChainIsADeletedRow) {
  const int32_t First = WriteTo(*A->File, 3, 0, Pattern(20));
  const std::string Deleted = "1007 The row has been deleted since last cached for the table Orders";
  EXPECT_EQ(ErrorOf([&] { ReadFrom(*A->File, 2, First); }), Deleted);
  EXPECT_EQ(ErrorOf([&] { ReadFrom(*A->File, 3, First + 1); }), Deleted);
}

TEST_F(BlobFile, CorruptLengthsAndTypesRaiseInsteadOfReadingPastABlock) {
  const int32_t First = WriteTo(*A->File, 1, 0, Pattern(150));
  struct TCase {
    const char* Name;
    int32_t Block;
    std::function<void(TORVBlobBlock&)> Change;
    std::string Expected;
  };
  const std::string Prefix = "601 The table Orders is corrupt (";
  const std::vector<TCase> Cases = {
      {"continuation read as a start", 2, [](TORVBlobBlock&) {}, Prefix + "Invalid BLOB block type found)"},
      {"continuation with the start's type", 2, [](TORVBlobBlock& B) { B.SetBlockType(1); },
       Prefix + "Invalid BLOB block type found)"},
      {"size past the block", 2, [](TORVBlobBlock& B) { B.SetSize(NextCapacity + 1); },
       Prefix + "Invalid BLOB block 2 size (56) for start BLOB block 1)"},
      {"negative size", 1, [](TORVBlobBlock& B) { B.SetSize(-4); },
       Prefix + "Invalid BLOB block 1 size (-4) for start BLOB block 1)"},
      {"total larger than the file", 1, [](TORVBlobBlock& B) { B.SetTotalSize(2000000000); },
       Prefix + "Invalid total size (2000000000) for start BLOB block 1)"},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    WriteTo(*A->File, 1, First, Pattern(150));
    Corrupt(Case.Block, Case.Change);
    const int32_t Start = std::string(Case.Name) == "continuation read as a start" ? 2 : First;
    const std::string Error = ErrorOf([&] { ReadFrom(*A->File, 1, Start); });
    EXPECT_EQ(Error, Case.Expected);
    // Put the chain back for the next case.
    Corrupt(Case.Block, [&](TORVBlobBlock& B) {
      B.SetBlockType(Case.Block == 1 ? 1 : 0);
      B.SetSize(Case.Block == 1 ? FirstCapacity : NextCapacity);
      if (Case.Block == 1) B.SetTotalSize(150);
    });
  }
}

TEST_F(BlobFile, AChainOfEmptyBlocksThatLoopsEndsInAnError) {
  const int32_t First = WriteTo(*A->File, 1, 0, Pattern(150));
  Corrupt(2, [](TORVBlobBlock& B) {
    B.SetSize(0);
    B.SetNextNumber(2);
  });
  EXPECT_EQ(ErrorOf([&] { ReadFrom(*A->File, 1, First); }).substr(0, 4), "601 ");
}

class BlobFileVerify : public BlobFile {
 protected:
  // Runs a verification and, with Repair, writes what it mended.
  std::vector<TORVString> Verify(bool Repair) {
    A->Manager->LogLines.clear();
    bool FoundErrors = false;
    EXPECT_TRUE(A->File->Verify(FoundErrors, Repair));
    EXPECT_EQ(FoundErrors, !A->Manager->LogLines.empty());
    if (Repair) A->File->Write(true);
    std::vector<TORVString> Findings;
    // Keep the finding between the file name's parentheses.
    for (const TORVString& Line : A->Manager->LogLines) {
      const size_t Open = Line.find(u"(", Line.find(u".ORVBlb"));
      Findings.push_back(Line.substr(Open + 1, Line.rfind(u")") - Open - 1));
    }
    return Findings;
  }
};

TEST_F(BlobFileVerify, ASoundFileHasNoFindingsAndSaysWhatItChecks) {
  WriteTo(*A->File, 1, 0, Pattern(150));
  WriteTo(*A->File, 2, 0, Pattern(10));
  A->File->Write(true);
  EXPECT_TRUE(Verify(false).empty());
  EXPECT_EQ(A->Manager->StatusLines,
            (std::vector<TORVString>{u"Verifying the table Orders - Verifying BLOBs (structure-only)..."}));
}

TEST_F(BlobFileVerify, EachBrokenChainIsFoundAndRepairedUntilNothingIsLeft) {
  // A chain of blocks 1-3 (150 bytes) and one of block 4 (10 bytes).
  struct TCase {
    const char* Name;
    int32_t Block;
    std::function<void(TORVBlobBlock&)> Break;
    std::vector<TORVString> Findings;
  };
  const std::vector<TCase> Cases = {
      {"next past the file", 3, [](TORVBlobBlock& B) { B.SetNextNumber(99); },
       {u"Invalid next BLOB block pointer (99)"}},
      {"continuation marked as a start",
       2, [](TORVBlobBlock& B) { B.SetBlockType(1); },
       {u"Invalid BLOB block 2 type (1) for start BLOB block 1"}},
      {"size past the block", 3, [](TORVBlobBlock& B) { B.SetSize(NextCapacity + 1); },
       {u"Invalid BLOB block 3 size (56) for start BLOB block 1"}},
      {"chain looping back", 3, [](TORVBlobBlock& B) { B.SetNextNumber(2); },
       {u"Recursive next BLOB block pointer (2)"}},
      {"total beyond the chain", 4, [](TORVBlobBlock& B) { B.SetTotalSize(60); },
       {u"Invalid total size (60) for start BLOB block 4"}},
      // Cutting the chain after block 1 leaves blocks 2 and 3 unreached: the
      // scan takes block 2 as a start with the wrong type.
      {"continuation no chain reaches",
       1, [](TORVBlobBlock& B) { B.SetNextNumber(0); },
       {u"Invalid total size (150) for start BLOB block 1", u"Invalid BLOB block 2 type (0) for start BLOB block 2",
        u"Invalid BLOB block 2 size (55) for start BLOB block 2"}},
      {"negative total", 4, [](TORVBlobBlock& B) { B.SetTotalSize(-3); },
       {u"Invalid total size (-3) for start BLOB block 4"}},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    A->File->Empty();
    A->File->Write(true);
    EXPECT_EQ(WriteTo(*A->File, 1, 0, Pattern(150)), 1);
    EXPECT_EQ(WriteTo(*A->File, 2, 0, Pattern(10)), 4);
    A->File->Write(true);
    Corrupt(Case.Block, Case.Break);
    EXPECT_EQ(Verify(false), Case.Findings);
    EXPECT_EQ(Verify(true), Case.Findings);
    EXPECT_TRUE(Verify(false).empty());
    // The untouched chain still reads back.
    if (Case.Block != 4) {
      EXPECT_EQ(ReadFrom(*A->File, 2, 4), Pattern(10));
    }
  }
}

}  // namespace
}  // namespace orv
