#include "core/orvrowlocks.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

TEST(RowLocks, FirstOwnerStaysAndOwnedLocksAreFreed) {
  TORVRowLocks Locks;
  TORVBaseObject First;
  TORVBaseObject Second;
  Locks.Add(&First, 5, true);
  Locks.Add(&Second, 5, false);
  Locks.Add(&Second, 9, false);
  TORVRowLock* Lock = nullptr;
  ASSERT_TRUE(Locks.Find(5, Lock));
  EXPECT_EQ(Lock->GetOwner(), &First);
  EXPECT_TRUE(Lock->GetKeepTransaction());
  EXPECT_EQ(Locks.GetCount(), 2);
  int32_t Row = 5;
  ASSERT_TRUE(Locks.FindNext(Row, Lock));
  EXPECT_EQ(Row, 9);
  EXPECT_EQ(Lock->GetOwner(), &Second);
  // Remove frees the list's own lock (the sanitizer would report a leak).
  Locks.Remove(5);
  EXPECT_FALSE(Locks.Find(5));
  // Delete hands the lock to the caller.
  ASSERT_TRUE(Locks.Find(9, Lock));
  Locks.Delete(9);
  EXPECT_EQ(Locks.GetCount(), 0);
  delete Lock;
}

TEST(RowLocks, LocksOfTheCallerAreNeverFreed) {
  TORVBaseObject Owner;
  TORVRowLock Kept(&Owner, false);
  {
    TORVRowLocks Locks;
    Locks.AddRowLock(3, &Kept);
    Locks.Add(&Owner, 4, false);
    Locks.Remove(3);
    Locks.AddRowLock(3, &Kept);
    // Destroying the list frees its own lock for row 4 only.
  }
  EXPECT_EQ(Kept.GetOwner(), &Owner);
}

}  // namespace
}  // namespace orv
