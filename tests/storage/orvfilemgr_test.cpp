#include "storage/orvfilemgr.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <utility>

#include <gtest/gtest.h>

#include "base/orverror.h"
#include "storage/orvmemfilemgr.h"

namespace orv {
namespace {

// The registry rules, on the in-memory manager (virtual-only, exclusive
// access) unless a test says otherwise.
class FileRegistry : public ::testing::Test {
 protected:
  void SetUp() override { Manager.Initialize(); }
  void TearDown() override {
    Manager.CheckInvariants();
    Manager.Reset();
  }

  static TORVString ErrorOf(const std::function<void()>& Call) {
    try {
      Call();
    } catch (const EORVException& E) {
      return AsciiCode(E.ErrorCode()) + E.ErrorMsg();
    }
    return u"no error";
  }
  static TORVString AsciiCode(int32_t Code) { return Code == 600 ? u"600 " : u"other "; }

  TORVMemoryFileManager Manager;
};

// A manager that neither is virtual-only nor owns files exclusively: files
// leave the registry with their last stream.
class SharedMemoryManager : public TORVMemoryFileManager {
 public:
  bool GetExclusiveFileAccess() override { return false; }
  bool GetVirtualOnly() override { return false; }
};

TEST_F(FileRegistry, SharedOpensShareOneObjectAndExclusiveOpensAreRefused) {
  auto Created = Manager.CreateFile(u"/data/T.ORVTbl", TORVFileOptions());
  auto Second = Manager.OpenFile(u"/data/t.orvtbl", TORVFileOptions());
  EXPECT_EQ(Created->GetFileObject(), Second->GetFileObject());
  EXPECT_EQ(Created->GetFileObject()->GetUseCount(), 2);
  EXPECT_EQ(Manager.GetNumFiles(), 1);

  EXPECT_EQ(ErrorOf([&] { Manager.OpenFile(u"/data/T.ORVTbl", TORVFileOptions{foExclusive}); }),
            u"600 File manager error (Access denied to the file /data/T.ORVTbl)");
  EXPECT_EQ(ErrorOf([&] { Manager.CreateFile(u"/data/T.ORVTbl", TORVFileOptions()); }),
            u"600 File manager error (Access denied to the file /data/T.ORVTbl)");
  Second.reset();
  Created.reset();

  auto Exclusive = Manager.OpenFile(u"/data/T.ORVTbl", TORVFileOptions{foExclusive});
  EXPECT_EQ(ErrorOf([&] { Manager.OpenFile(u"/data/T.ORVTbl", TORVFileOptions()); }),
            u"600 File manager error (Access denied to the file /data/T.ORVTbl)");
  EXPECT_EQ(Exclusive->GetFileObject()->GetUseCount(), 1);
}

TEST_F(FileRegistry, RenameChecksTheNewNameFirstAndReinsertsInOrder) {
  Manager.CreateFile(u"/data/B", TORVFileOptions());
  Manager.CreateFile(u"/data/C", TORVFileOptions());
  auto Open = Manager.OpenFile(u"/data/C", TORVFileOptions());
  EXPECT_EQ(ErrorOf([&] { Manager.RenameFile(u"/data/unknown", u"/data/c"); }),
            u"600 File manager error (Access denied to the file /data/c)");
  EXPECT_EQ(ErrorOf([&] { Manager.RenameFile(u"/data/C", u"/data/D"); }),
            u"600 File manager error (Access denied to the file /data/C)");
  Open.reset();
  Manager.RenameFile(u"/data/B", u"/data/Z");
  Manager.CheckInvariants();
  Manager.RenameFile(u"/data/C", u"/data/A");
  Manager.CheckInvariants();
  {
    TORVReadLocked Guard(Manager.GetFilesLock());
    int32_t Index = -1;
    EXPECT_TRUE(Manager.FindFile(u"/data/a", Index));
    EXPECT_EQ(Index, 0);
    EXPECT_TRUE(Manager.FindFile(u"/data/Z", Index));
    EXPECT_EQ(Index, 1);
    EXPECT_FALSE(Manager.FindFile(u"/data/M", Index));
    EXPECT_EQ(Index, 1);
  }
  Manager.DeleteFile(u"/data/Z");
  Manager.CheckInvariants();
  EXPECT_FALSE(Manager.FileExists(u"/data/Z", TORVFileOptions()));
}

// FindFile reads the registry without a lock of its own, so a caller
// without the registry lock is a broken contract; so is a registry out of
// order.
class UnsortingManager : public TORVMemoryFileManager {
 public:
  void SwapFirstTwo() {
    TORVWriteLocked Guard(FFilesLock);
    std::swap(FFiles[0], FFiles[1]);
  }
};

TEST(FileRegistryChecks, UnlockedLookupsAndDisorderAreCaught) {
  UnsortingManager Manager;
  Manager.Initialize();
  Manager.CreateFile(u"/data/a", TORVFileOptions());
  Manager.CreateFile(u"/data/b", TORVFileOptions());
  int32_t Index = -1;
  EXPECT_THROW(Manager.FindFile(u"/data/a", Index), std::logic_error);
  Manager.CheckInvariants();
  Manager.SwapFirstTwo();
  EXPECT_THROW(Manager.CheckInvariants(), std::logic_error);
  Manager.Reset();
}

TEST_F(FileRegistry, TemporaryFilesVanishWithTheirLastStream) {
  auto First = Manager.CreateFile(u"/data/tmp1", TORVFileOptions{foTemporary});
  auto Second = Manager.OpenFile(u"/data/tmp1", TORVFileOptions());
  First.reset();
  EXPECT_TRUE(Manager.FileExists(u"/data/tmp1", TORVFileOptions()));
  Second->Close();
  EXPECT_FALSE(Manager.FileExists(u"/data/tmp1", TORVFileOptions()));
  EXPECT_EQ(Manager.GetNumFiles(), 0);
}

TEST_F(FileRegistry, StreamsOfFilesFreedByResetCloseHarmlessly) {
  auto Old = Manager.CreateFile(u"/data/r", TORVFileOptions());
  Manager.Reset();
  auto New = Manager.CreateFile(u"/data/r", TORVFileOptions());
  Old->Close();  // its file is gone; the new file of the same name is not touched
  EXPECT_EQ(New->GetFileObject()->GetUseCount(), 1);
  EXPECT_EQ(Manager.GetNumFiles(), 1);
}

TEST(FileRegistryShared, FilesLeaveTheRegistryWithTheirLastStream) {
  SharedMemoryManager Manager;
  Manager.Initialize();
  auto Stream = Manager.CreateFile(u"/data/s", TORVFileOptions());
  EXPECT_EQ(Manager.GetNumFiles(), 1);
  Stream.reset();
  EXPECT_EQ(Manager.GetNumFiles(), 0);
}

TEST_F(FileRegistry, ByteRangeLocksOfTheTable) {
  auto Stream = Manager.CreateFile(u"/data/L", TORVFileOptions());
  auto Other = Manager.OpenFile(u"/data/L", TORVFileOptions());
  struct Step {
    bool Lock;
    int64_t Offset, Length;
    bool Result;
  };
  const Step Steps[] = {
      {true, 100, 10, true},  {true, 105, 1, false}, {true, 110, 5, true},   {true, 95, 5, true},
      {true, 94, 2, false},   {false, 105, 1, false}, {false, 100, 99, true}, {true, 105, 1, true},
      {true, 100, 0, false},  {true, -5, 3, false},  {true, 128000000000LL, 1, true},
  };
  int Index = 0;
  for (const Step& S : Steps) {
    TORVFileStream& Through = Index % 2 == 0 ? *Stream : *Other;  // sessions share the table
    bool Result = S.Lock ? Through.LockRegion(S.Offset, S.Length) : Through.UnlockRegion(S.Offset, S.Length);
    EXPECT_EQ(Result, S.Result) << "step " << Index;
    ++Index;
  }
  EXPECT_EQ(Stream->GetFileObject()->GetNumLocks(), 4);
  Other.reset();
  Stream.reset();
  auto Again = Manager.OpenFile(u"/data/L", TORVFileOptions());
  EXPECT_EQ(Again->GetFileObject()->GetNumLocks(), 0);  // freed with the last stream
}

TEST_F(FileRegistry, ExclusiveAccessLockTables) {
  auto Stream = Manager.CreateFile(u"/data/X", TORVFileOptions());
  EXPECT_EQ(Stream->ExclusiveIncSessionCount(), 1);
  EXPECT_EQ(Stream->ExclusiveIncSessionCount(), 2);
  Stream->ExclusiveDecSessionCount();
  EXPECT_EQ(Stream->ExclusiveIncSessionCount(), 2);

  Stream->ExclusiveSetReadWriteLockCount(4);
  EXPECT_TRUE(Stream->ExclusiveReadLock(3, 0));
  EXPECT_TRUE(Stream->ExclusiveReadLock(3, 0));
  EXPECT_FALSE(Stream->ExclusiveWriteLock(3, 0));
  EXPECT_TRUE(Stream->ExclusiveWriteLock(2, 0));
  EXPECT_FALSE(Stream->ExclusiveReadLock(2, 0));
  EXPECT_FALSE(Stream->ExclusiveReadLock(4, 0));  // beyond the count
  Stream->ExclusiveReadUnlock(3);
  Stream->ExclusiveReadUnlock(3);
  EXPECT_TRUE(Stream->ExclusiveWriteLock(3, 0));

  EXPECT_TRUE(Stream->ExclusiveLockRow(7));
  EXPECT_FALSE(Stream->ExclusiveLockRow(7));
  EXPECT_FALSE(Stream->ExclusiveLockRow(0));
  EXPECT_FALSE(Stream->ExclusiveUnlockRow(8));
  EXPECT_TRUE(Stream->ExclusiveUnlockRow(7));
  EXPECT_TRUE(Stream->ExclusiveLockRow(7));
}

TEST_F(FileRegistry, NamesAndStatisticsFollowTheMask) {
  Manager.CreateFile(u"/data/A.ORVTbl", TORVFileOptions());
  Manager.CreateFile(u"/data/B.ORVIdx", TORVFileOptions());
  Manager.CreateFile(u"/data/C.orvtbl", TORVFileOptions());
  TORVStringsList Names;
  Manager.GetFileNames(u"*.ORVTBL", false, Names);
  ASSERT_EQ(Names.GetCount(), 2);
  EXPECT_EQ(Names.GetStrings(0), u"A");
  EXPECT_EQ(Names.GetStrings(1), u"C");

  TORVIOStatistics Statistics;
  Statistics.Hits = 5;
  Manager.GetFileIOStatistics(u"*.none", Statistics);
  EXPECT_EQ(Statistics.FileName, u"*.none");
  EXPECT_EQ(Statistics.Hits, 0);
  EXPECT_EQ(Statistics.HitRatio, TORVCurrency());
  TORVIOStatisticsArray All;
  Manager.GetAllFileIOStatistics(All);
  ASSERT_EQ(All.size(), 3u);
  EXPECT_EQ(All[1].FileName, u"/data/B.ORVIdx");
}

TEST(PathHelpers, RatiosAndAveragesRoundToTwoDecimals) {
  EXPECT_EQ(CalculateHitRatio(3, 1), TORVCurrency::FromScaled(7500));
  EXPECT_EQ(CalculateHitRatio(2, 1), TORVCurrency::FromScaled(6700));
  EXPECT_EQ(CalculateHitRatio(0, 0), TORVCurrency());
  EXPECT_EQ(CalculateAverage(0, 500), TORVCurrency());
  EXPECT_EQ(CalculateAverage(3, 1000), TORVCurrency::FromScaled(3333300));
  EXPECT_EQ(CalculateAverage(8, 1), TORVCurrency::FromScaled(1300));  // 0.125 -> 0.13
}

TEST(FileOptions, ByteImageHasOneBitPerOption) {
  EXPECT_EQ(FileOptionsToByte(TORVFileOptions{foReadOnly, foLockable}), 0x41);
  EXPECT_EQ(ByteToFileOptions(0x12), (TORVFileOptions{foExclusive, foCreate}));
}

}  // namespace
}  // namespace orv
