#include "core/orvhandle.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "base/orverror.h"

namespace orv {
namespace {

// Counts its frees and may unregister itself as sessions do.
class TCountedObject : public TORVHandleObject {
 public:
  explicit TCountedObject(int& Freed, TORVHandleObjects* Table = nullptr) : FFreed(Freed), FTable(Table) {}
  ~TCountedObject() override {
    ++FFreed;
    if (FTable != nullptr) {
      EXPECT_FALSE(FTable->RemoveObject(this, true));
    }
  }

 private:
  int& FFreed;
  TORVHandleObjects* FTable;
};

std::string CapacityError(TORVHandleObjects& Table, TORVHandleObject* Value) {
  try {
    Table.AddObject(Value, false);
  } catch (const EORVBaseException& e) {
    return e.what();
  }
  return "no error";
}

class HandleObjects : public ::testing::Test {
 protected:
  // Objects the table does not own; each test removes them again.
  TORVHandleObject* NewObject() {
    FObjects.push_back(std::make_unique<TORVHandleObject>());
    return FObjects.back().get();
  }

  std::vector<std::unique_ptr<TORVHandleObject>> FObjects;
};

TEST_F(HandleObjects, HandsOutOneToMaximumThenRaisesAndReusesLowestFree) {
  TORVHandleObjects table(32, false);
  std::vector<TORVHandleObject*> added;
  for (int32_t i = 1; i <= 32; ++i) {
    added.push_back(NewObject());
    table.AddObject(added.back(), false);
    EXPECT_EQ(added.back()->GetHandle(), i);
  }
  TORVHandleObject* extra = NewObject();
  EXPECT_EQ(CapacityError(table, extra), "Handle objects container capacity (32) exceeded");
  EXPECT_EQ(extra->GetHandle(), 0);
  EXPECT_EQ(table.GetNumObjects(), 33);

  EXPECT_TRUE(table.RemoveObject(added[4], false));
  EXPECT_TRUE(table.RemoveObject(added[1], false));
  EXPECT_EQ(added[1]->GetHandle(), 0);
  table.AddObject(extra, false);
  EXPECT_EQ(extra->GetHandle(), 2);
  TORVHandleObject* another = NewObject();
  table.AddObject(another, false);
  EXPECT_EQ(another->GetHandle(), 5);
  for (int32_t h = 1; h <= 32; ++h) {
    TORVHandleObject* found = table.FindObject(h);
    ASSERT_NE(found, nullptr);
    EXPECT_TRUE(table.RemoveObject(found, false));
  }
}

TEST_F(HandleObjects, LookupsOfInvalidOrFreeHandlesFindNothing) {
  TORVHandleObjects table(16, false);
  TORVHandleObject* a = NewObject();
  TORVHandleObject* b = NewObject();
  table.AddObject(a, false);
  table.AddObject(b, false);
  table.RemoveObject(a, false);
  for (int32_t handle : {-1, 0, 1, 3, 16, 17}) {
    EXPECT_EQ(table.FindObject(handle), nullptr) << handle;
    EXPECT_FALSE(table.ObjectExists(handle)) << handle;
  }
  EXPECT_EQ(table.FindObject(2), b);
  EXPECT_TRUE(table.ObjectExists(2));

  a->SetHandle(1);  // free handle
  EXPECT_FALSE(table.RemoveObject(a, false));
  EXPECT_EQ(a->GetHandle(), 0);
  a->SetHandle(17);  // beyond the table
  EXPECT_FALSE(table.RemoveObject(a, false));
  EXPECT_EQ(a->GetHandle(), 0);
  table.RemoveObject(b, false);
}

TEST_F(HandleObjects, StaleHandleNeverActsOnTheNewOwner) {
  TORVHandleObjects table(16, true);
  TORVHandleObject* old = NewObject();
  table.AddObject(old, false);
  table.ClearObject(old);  // keeps its handle 1
  EXPECT_EQ(old->GetHandle(), 1);
  EXPECT_FALSE(table.ObjectExists(1));

  TORVHandleObject* owner = NewObject();
  table.AddObject(owner, true);
  ASSERT_EQ(owner->GetHandle(), 1);

  EXPECT_FALSE(table.LockObject(old, 0));
  EXPECT_FALSE(table.UnlockObject(old));
  EXPECT_FALSE(table.LockObject(owner, 0)) << "the owner's lock is still held";
  table.ClearObject(old);
  EXPECT_EQ(table.FindObject(1), owner);
  EXPECT_FALSE(table.RemoveObject(old, true));
  EXPECT_EQ(old->GetHandle(), 0);
  EXPECT_EQ(table.FindObject(1), owner);

  EXPECT_TRUE(table.UnlockObject(owner));
  EXPECT_TRUE(table.LockObject(owner, 0));
  EXPECT_TRUE(table.RemoveObject(owner, true));
}

TEST_F(HandleObjects, SetObjectRegistersUnderCarriedHandle) {
  TORVHandleObjects table(16, false);
  TORVHandleObject* a = NewObject();
  a->SetHandle(9);
  table.SetObject(a);
  EXPECT_EQ(table.FindObject(9), a);
  EXPECT_EQ(table.GetNumObjects(), 10);
  TORVHandleObject* b = NewObject();
  table.AddObject(b, false);
  EXPECT_EQ(b->GetHandle(), 1);
  TORVHandleObject* outside = NewObject();
  outside->SetHandle(17);
  table.SetObject(outside);
  EXPECT_FALSE(table.ObjectExists(17));

  int32_t handle = 0;
  TORVHandleObject* object = nullptr;
  std::vector<int32_t> seen;
  while (table.NextObject(handle, object)) {
    EXPECT_EQ(object->GetHandle(), handle);
    seen.push_back(handle);
  }
  EXPECT_EQ(seen, (std::vector<int32_t>{1, 9}));
  EXPECT_EQ(handle, 9) << "the end leaves Handle unchanged";
  EXPECT_EQ(object, nullptr);
  table.RemoveObject(a, false);
  table.RemoveObject(b, false);
}

TEST(HandleObjectsLocks, NonLockableTableRefusesLocks) {
  TORVHandleObjects table(16, false);
  TORVHandleObject object;
  table.AddObject(&object, true);  // AcquireLock is ignored
  EXPECT_FALSE(table.LockObject(&object, ORVInfiniteWait));
  EXPECT_FALSE(table.UnlockObject(&object));
  table.RemoveObject(&object, true);
}

TEST(HandleObjectsLocks, AcquiredLockIsHeldUntilRemovedWithRelease) {
  TORVHandleObjects table(16, true);
  TORVHandleObject first, second, third;
  table.AddObject(&first, true);
  EXPECT_FALSE(table.LockObject(&first, 10)) << "not re-entrant";
  // Another thread may release it.
  std::thread([&] { EXPECT_TRUE(table.UnlockObject(&first)); }).join();
  EXPECT_TRUE(table.LockObject(&first, 0));
  EXPECT_TRUE(table.RemoveObject(&first, true));

  table.AddObject(&second, true);
  ASSERT_EQ(second.GetHandle(), 1);
  EXPECT_TRUE(table.RemoveObject(&second, false));  // lock of handle 1 stays held
  try {
    table.AddObject(&third, true);
    ADD_FAILURE() << "no error";
  } catch (const EORVBaseException& e) {
    EXPECT_STREQ(e.what(), "Cannot lock new handle object (1)");
  }
  EXPECT_EQ(table.FindObject(1), &third) << "stays registered";
  EXPECT_TRUE(table.UnlockObject(&third));
  EXPECT_TRUE(table.RemoveObject(&third, false));
}

TEST(HandleObjectsFree, FreeObjectsFreesInUseObjectsAndTheirHandles) {
  int freed = 0;
  auto table = std::make_unique<TORVHandleObjects>(16, true);
  for (int i = 0; i < 3; ++i) table->AddObject(new TCountedObject(freed, table.get()), i == 1);
  TORVHandleObject* removed = table->FindObject(3);
  table->RemoveObject(removed, false);
  delete removed;
  EXPECT_EQ(freed, 1);
  table->FreeObjects();
  EXPECT_EQ(freed, 3);
  EXPECT_FALSE(table->ObjectExists(1));
  table->AddObject(new TCountedObject(freed), false);
  EXPECT_TRUE(table->ObjectExists(1));
  table.reset();
  EXPECT_EQ(freed, 4);
}

TEST(HandleObjectsFree, SmallMaximumSizeStillWorks) {
  TORVHandleObjects table(3, true);
  TORVHandleObject objects[3];
  for (auto& object : objects) table.AddObject(&object, true);
  EXPECT_EQ(objects[2].GetHandle(), 3);
  for (auto& object : objects) EXPECT_TRUE(table.RemoveObject(&object, true));
}

}  // namespace
}  // namespace orv
