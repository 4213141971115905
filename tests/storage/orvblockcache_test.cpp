#include "storage/orvblockcache.h"

#include <cstdint>
#include <numeric>
#include <stdexcept>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "base/orverror.h"

namespace orv {
namespace {

// A cache over a byte vector that records every disk call and can be told
// to fail its writes.
class FakeDiskCache : public TORVFileBufferManager {
 public:
  FakeDiskCache(int32_t BlockSize, int64_t MaxBytes) : FBlockSize(BlockSize), FMaxBytes(MaxBytes) {}

  void GetFileName(TORVString& Name) override { Name = u"/data/T.ORVTbl"; }
  int64_t GetFileSize() override { return static_cast<int64_t>(Disk.size()); }
  int32_t FileRead(int64_t Offset, int32_t Count, uint8_t* Buffer) override {
    ReadCalls.emplace_back(Offset, Count);
    int64_t Available = std::max<int64_t>(0, static_cast<int64_t>(Disk.size()) - Offset);
    int32_t Moved = static_cast<int32_t>(std::min<int64_t>(Count, Available));
    std::copy_n(Disk.begin() + Offset, Moved, Buffer);
    return Moved;
  }
  int32_t FileWrite(int64_t Offset, int32_t Count, const uint8_t* Buffer) override {
    WriteCalls.emplace_back(Offset, Count);
    if (FailWrites) return -1;
    if (static_cast<size_t>(Offset + Count) > Disk.size()) Disk.resize(static_cast<size_t>(Offset + Count), 0);
    std::copy_n(Buffer, Count, Disk.begin() + Offset);
    return Count;
  }
  int32_t GetBufferSize() override { return FBlockSize; }
  int64_t GetMaxBufferSize() override { return FMaxBytes; }
  int32_t GetBufferFlushAge() override { return 120; }
  bool GetBufferFlushDisk() override { return false; }

  TORVBytes Disk;
  std::vector<std::pair<int64_t, int32_t>> ReadCalls;
  std::vector<std::pair<int64_t, int32_t>> WriteCalls;
  bool FailWrites = false;

 private:
  int32_t FBlockSize;
  int64_t FMaxBytes;
};

TORVBytes Pattern(size_t Size, uint8_t Seed) {
  TORVBytes Result(Size);
  for (size_t I = 0; I < Size; ++I) Result[I] = static_cast<uint8_t>(Seed + I * 7);
  return Result;
}

TEST(BlockCache, NumbersBlocksFromTheFileSize) {
  FakeDiskCache Cache(4096, 1 << 20);
  Cache.Disk = Pattern(10000, 1);
  Cache.Initialize();
  Cache.CheckInvariants();
  EXPECT_EQ(Cache.GetNextNumber(), 4);
  EXPECT_EQ(Cache.GetMaxNumberWritten(), 3);
  EXPECT_EQ(Cache.GetLogicalFileSize(), 10000);
  TORVFileBuffer* Third = Cache.GetBuffer(3, false, false, 1);
  EXPECT_EQ(Third->GetUsed(), 1808);
  Cache.PutBuffer(Third);
  Cache.CheckInvariants();

  FakeDiskCache Empty(4096, 1 << 20);
  Empty.Initialize();
  Empty.CheckInvariants();
  EXPECT_EQ(Empty.GetNextNumber(), 1);
  FakeDiskCache Whole(4096, 1 << 20);
  Whole.Disk.resize(8192);
  Whole.Initialize();
  Whole.CheckInvariants();
  EXPECT_EQ(Whole.GetNextNumber(), 3);
}

TEST(BlockCache, ABlockRenumberedBehindTheCachesBackBreaksItsInvariants) {
  FakeDiskCache Cache(4096, 1 << 20);
  Cache.Disk = Pattern(10000, 1);
  Cache.Initialize();
  TORVFileBuffer* Second = Cache.GetBuffer(2, false, false, 1);
  Cache.CheckInvariants();
  Second->SetNumber(3);
  EXPECT_THROW(Cache.CheckInvariants(), std::logic_error);
  Second->SetNumber(2);
  Cache.PutBuffer(Second);
  Cache.CheckInvariants();
}

TEST(BlockCache, ReadsAreClippedAtTheEndAndSpansReadAheadInOneCall) {
  FakeDiskCache Cache(4096, 1 << 20);
  Cache.Disk = Pattern(10000, 3);
  Cache.Initialize();
  Cache.CheckInvariants();
  TORVBytes Buffer(20000, 0xEE);
  EXPECT_EQ(Cache.Read(9990, 100, Buffer.data()), 10);
  Cache.CheckInvariants();
  EXPECT_EQ(TORVBytes(Buffer.begin(), Buffer.begin() + 10), TORVBytes(Cache.Disk.begin() + 9990, Cache.Disk.end()));
  EXPECT_EQ(Cache.Read(10000, 5, Buffer.data()), 0);
  Cache.CheckInvariants();
  EXPECT_EQ(Cache.Read(12000, 5, Buffer.data()), 0);
  Cache.CheckInvariants();

  Cache.Reset();
  Cache.CheckInvariants();
  Cache.Initialize();
  Cache.CheckInvariants();
  Cache.ReadCalls.clear();
  EXPECT_EQ(Cache.Read(0, 10000, Buffer.data()), 10000);
  Cache.CheckInvariants();
  EXPECT_EQ(TORVBytes(Buffer.begin(), Buffer.begin() + 10000), Cache.Disk);
  ASSERT_EQ(Cache.ReadCalls.size(), 1u);  // three blocks, one call
  EXPECT_EQ(Cache.ReadCalls[0], (std::pair<int64_t, int32_t>(0, 10000)));
  EXPECT_EQ(Cache.Read(4096, 100, Buffer.data()), 100);  // a hit
  Cache.CheckInvariants();
  EXPECT_EQ(Cache.ReadCalls.size(), 1u);
  EXPECT_EQ(Cache.Read(-1, 5, Buffer.data()), -1);
  Cache.CheckInvariants();
  EXPECT_EQ(Cache.Read(0, 5, Buffer, 19996), -1);  // past the caller's buffer
  Cache.CheckInvariants();
}

TEST(BlockCache, DirtyBlocksAreWrittenSortedInConsecutiveRuns) {
  FakeDiskCache Cache(4096, 1 << 20);
  Cache.Disk = Pattern(40960, 5);  // blocks 1..10
  Cache.Initialize();
  Cache.CheckInvariants();
  for (int32_t Number : {7, 3, 4, 5, 9}) {
    TORVBytes Data = Pattern(10, static_cast<uint8_t>(Number));
    EXPECT_EQ(Cache.Write(static_cast<int64_t>(Number - 1) * 4096 + 100, 10, Data.data()), 10);
  }
  EXPECT_EQ(Cache.GetWriteBufferCount(), 5);
  EXPECT_TRUE(Cache.Flush());
  Cache.CheckInvariants();
  using Call = std::pair<int64_t, int32_t>;
  EXPECT_EQ(Cache.WriteCalls, (std::vector<Call>{{2 * 4096, 3 * 4096}, {6 * 4096, 4096}, {8 * 4096, 4096}}));
  EXPECT_EQ(Cache.GetWriteBufferCount(), 0);
  EXPECT_EQ(Cache.GetMaxWriteBufferCount(), 5);
  EXPECT_EQ(TORVBytes(Cache.Disk.begin() + 6 * 4096 + 100, Cache.Disk.begin() + 6 * 4096 + 110), Pattern(10, 7));
  EXPECT_FALSE(Cache.Flush());
  Cache.CheckInvariants();

  TORVIOStatistics Statistics;
  Cache.GetStatistics(Statistics);
  EXPECT_EQ(Statistics.Writes, 3);
  EXPECT_EQ(Statistics.BytesWritten, 5 * 4096);
  EXPECT_EQ(Statistics.Flushes, 1);
  EXPECT_EQ(Statistics.FileName, u"/data/T.ORVTbl");
  EXPECT_EQ(Statistics.DirtyBuffers, 0);
}

TEST(BlockCache, OneBlockCacheWritesItsDirtyBlockBeforeReusingIt) {
  FakeDiskCache Cache(4096, 4096);
  Cache.Disk = Pattern(8192, 9);
  Cache.Initialize();
  Cache.CheckInvariants();
  TORVBytes Data = Pattern(4, 200);
  Cache.Write(10, 4, Data.data());
  Cache.CheckInvariants();
  TORVFileBuffer* First = Cache.FindBuffer(1);
  ASSERT_NE(First, nullptr);
  EXPECT_TRUE(Cache.WriteCalls.empty());

  TORVBytes Buffer(4);
  EXPECT_EQ(Cache.Read(4096 + 10, 4, Buffer.data()), 4);
  Cache.CheckInvariants();
  EXPECT_EQ(Buffer, TORVBytes(Cache.Disk.begin() + 4096 + 10, Cache.Disk.begin() + 4096 + 14));
  ASSERT_EQ(Cache.WriteCalls.size(), 1u);
  EXPECT_EQ(Cache.WriteCalls[0], (std::pair<int64_t, int32_t>(0, 4096)));
  EXPECT_EQ(TORVBytes(Cache.Disk.begin() + 10, Cache.Disk.begin() + 14), Data);
  EXPECT_EQ(Cache.GetBufferCount(), 1);
  EXPECT_EQ(Cache.FindBuffer(2), First);  // the same block object, renumbered
  EXPECT_EQ(Cache.FindBuffer(1), nullptr);
}

TEST(BlockCache, WritingPastTheEndLeavesZeroGapsAndWritesOnlyTheWrittenBlock) {
  FakeDiskCache Cache(4096, 4096 * 2);
  Cache.Disk = Pattern(5000, 11);  // blocks 1 and 2 (partial)
  Cache.Initialize();
  Cache.CheckInvariants();
  // Fill the cache with blocks of other data first, so that reused block
  // objects would show stale bytes if they were not cleared.
  TORVBytes Buffer(8192);
  Cache.Read(0, 5000, Buffer.data());
  Cache.CheckInvariants();
  TORVBytes Data = Pattern(50, 77);
  int64_t Offset = 4 * 4096 + 1000;  // block 5; blocks 3 and 4 are a gap
  EXPECT_EQ(Cache.Write(Offset, 50, Data.data()), 50);
  Cache.CheckInvariants();
  EXPECT_EQ(Cache.GetLogicalFileSize(), Offset + 50);
  EXPECT_EQ(Cache.GetNextNumber(), 6);
  EXPECT_TRUE(Cache.Flush());
  Cache.CheckInvariants();
  ASSERT_EQ(Cache.WriteCalls.size(), 1u);
  EXPECT_EQ(Cache.WriteCalls[0], (std::pair<int64_t, int32_t>(4 * 4096, 1050)));

  TORVBytes Whole(static_cast<size_t>(Offset + 50));
  EXPECT_EQ(Cache.Read(0, static_cast<int32_t>(Whole.size()), Whole.data()), static_cast<int32_t>(Whole.size()));
  Cache.CheckInvariants();
  TORVBytes Expected(Whole.size(), 0);
  std::copy(Cache.Disk.begin(), Cache.Disk.begin() + 5000, Expected.begin());
  std::copy(Data.begin(), Data.end(), Expected.begin() + Offset);
  EXPECT_EQ(Whole, Expected);

  // A gap far larger than the cache costs no memory.
  EXPECT_EQ(Cache.Write(int64_t{1} << 30, 1, Data.data()), 1);
  Cache.CheckInvariants();
  EXPECT_LE(Cache.GetBufferCount(), 2);
  EXPECT_EQ(Cache.GetLogicalFileSize(), (int64_t{1} << 30) + 1);
}

TEST(BlockCache, GapBlocksNotYetOnDiskReadAsZeros) {
  FakeDiskCache Cache(4096, 1 << 20);
  Cache.Initialize();
  Cache.CheckInvariants();
  TORVBytes Data = Pattern(10, 1);
  Cache.Write(3 * 4096, 10, Data.data());  // block 4; blocks 1..3 never written
  Cache.CheckInvariants();
  TORVBytes Buffer(4096, 0xEE);
  EXPECT_EQ(Cache.Read(4096, 4096, Buffer.data()), 4096);
  Cache.CheckInvariants();
  EXPECT_EQ(Buffer, TORVBytes(4096, 0));
  EXPECT_TRUE(Cache.ReadCalls.empty());
}

TEST(BlockCache, FailedWriteBackKeepsBlocksDirtyAndRefusesWritesUntilReset) {
  FakeDiskCache Cache(4096, 1 << 20);
  Cache.Disk = Pattern(4 * 4096, 2);
  Cache.Initialize();
  Cache.CheckInvariants();
  TORVBytes Data = Pattern(8, 99);
  for (int32_t Number : {1, 3, 4}) Cache.Write(static_cast<int64_t>(Number - 1) * 4096, 8, Data.data());
  Cache.FailWrites = true;
  try {
    Cache.Flush();
    FAIL() << "flush reported success";
  } catch (const EORVException& E) {
    EXPECT_EQ(E.ErrorCode(), 601);
    EXPECT_EQ(E.ErrorMsg(),
              u"The file /data/T.ORVTbl is corrupt (Error flushing file blocks from cache to disk - "
              u"Offset: 0 Requested: 4096 Actual: -1)");
  }
  EXPECT_EQ(Cache.GetWriteBufferCount(), 3);
  EXPECT_TRUE(Cache.FindBuffer(1)->GetModified());
  EXPECT_TRUE(Cache.FindBuffer(3)->GetModified());
  EXPECT_TRUE(Cache.GetWriteFailed());
  EXPECT_THROW(Cache.Write(0, 8, Data.data()), EORVException);
  Cache.CheckInvariants();

  // Reads still see the unwritten data; a later flush that succeeds writes it all.
  TORVBytes Buffer(8);
  Cache.Read(2 * 4096, 8, Buffer.data());
  Cache.CheckInvariants();
  EXPECT_EQ(Buffer, Data);
  Cache.FailWrites = false;
  Cache.WriteCalls.clear();
  EXPECT_TRUE(Cache.Flush());
  Cache.CheckInvariants();
  EXPECT_EQ(Cache.WriteCalls.size(), 2u);
  EXPECT_EQ(TORVBytes(Cache.Disk.begin() + 3 * 4096, Cache.Disk.begin() + 3 * 4096 + 8), Data);

  Cache.Reset();
  Cache.CheckInvariants();
  Cache.Initialize();
  Cache.CheckInvariants();
  EXPECT_FALSE(Cache.GetWriteFailed());
  EXPECT_EQ(Cache.Write(0, 8, Data.data()), 8);
  Cache.CheckInvariants();
}

TEST(BlockCache, SpansBeyondTheLastBlockNumberAreRefusedNotWrapped) {
  FakeDiskCache Cache(16, 1 << 20);
  Cache.Disk = Pattern(32, 5);
  Cache.Initialize();
  Cache.CheckInvariants();
  TORVBytes Data = Pattern(4, 200);
  // Block 2^32 + 1 would wrap to block 1 in 32 bits.
  EXPECT_EQ(Cache.Write(int64_t{16} << 32, 4, Data.data()), -1);
  Cache.CheckInvariants();
  EXPECT_EQ(Cache.Write(INT64_MAX - 1, 4, Data.data()), -1);
  Cache.CheckInvariants();
  EXPECT_EQ(Cache.GetLogicalFileSize(), 32);
  EXPECT_EQ(Cache.GetWriteBufferCount(), 0);
  TORVBytes Buffer(16);
  EXPECT_EQ(Cache.Read(INT64_MAX - 1, 4, Buffer.data()), 0);
  Cache.CheckInvariants();
  EXPECT_EQ(Cache.Read(0, 16, Buffer.data()), 16);
  Cache.CheckInvariants();
  EXPECT_EQ(Buffer, Pattern(16, 5));
}

TEST(BlockCache, InvalidBlockNumberIsReportedAsCorruption) {
  FakeDiskCache Cache(4096, 1 << 20);
  Cache.Initialize();
  Cache.CheckInvariants();
  try {
    Cache.GetBuffer(0, false, false, 1);
    FAIL() << "no error";
  } catch (const EORVException& E) {
    EXPECT_EQ(E.ErrorCode(), 601);
    EXPECT_EQ(E.ErrorMsg(), u"The file /data/T.ORVTbl is corrupt (Invalid file block number specified for "
                            u"retrieval from cache)");
  }
}

TEST(BlockCache, ShortDiskReadIsReportedAsCorruption) {
  class ShortReads : public FakeDiskCache {
   public:
    ShortReads() : FakeDiskCache(4096, 1 << 20) {}
    int32_t FileRead(int64_t, int32_t Count, uint8_t*) override { return Count / 2; }
  } Cache;
  Cache.Disk.resize(4096);
  Cache.Initialize();
  Cache.CheckInvariants();
  uint8_t Byte;
  try {
    Cache.Read(0, 1, &Byte);
    FAIL() << "no error";
  } catch (const EORVException& E) {
    EXPECT_EQ(E.ErrorMsg(), u"The file /data/T.ORVTbl is corrupt (Error reading file blocks into cache - "
                            u"Size: 4096 Offset: 0 Requested: 4096 Actual: 2048)");
  }
  EXPECT_EQ(Cache.GetBufferCount(), 0);
}

}  // namespace
}  // namespace orv
