#include "catalog/orvlockable.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "base/orverror.h"
#include "base/orvutf8.h"
#include "core/orvstream.h"
#include "tests/support/orverrortext.h"

namespace orv {
namespace {

using test::ErrorOf;

class User : public TORVLockableConfigObject {
 public:
  User(const TORVString& ParentType, const TORVString& Parent) : FParentType(ParentType), FParent(Parent) {
    SetName(u"Administrator");
  }
  TORVString GetTypeName() const override { return u"user"; }
  TORVString GetParentTypeName() const override { return FParentType; }
  TORVString GetParentName() const override { return FParent; }

 private:
  TORVString FParentType;
  TORVString FParent;
};

TEST(LockableObject, LockErrorsNameTheParentOnlyWhenItHasTypeAndName) {
  User Inside(u"configuration", u"ORVConfig");
  EXPECT_EQ(ErrorOf([&] { Inside.LockError(ltExclusive); }),
            "300 Cannot lock the user Administrator in the configuration ORVConfig for exclusive access");
  EXPECT_EQ(ErrorOf([&] { Inside.UnlockError(ltRead); }),
            "301 Cannot unlock the user Administrator in the configuration ORVConfig for read access");
  for (const auto& [ParentType, Parent] : {std::pair<TORVString, TORVString>{u"", u"ORVConfig"},
                                           std::pair<TORVString, TORVString>{u"configuration", u""}}) {
    User Alone(ParentType, Parent);
    EXPECT_EQ(ErrorOf([&] { Alone.LockError(ltTransaction); }),
              "300 Cannot lock the user Administrator for transaction access");
    EXPECT_EQ(ErrorOf([&] { Alone.UnlockError(ltShared); }),
              "301 Cannot unlock the user Administrator for shared access");
  }
}

TEST(LockableObject, LockStateTimeoutsAndTransactionCount) {
  User Object(u"", u"");
  const std::pair<TORVLockType, int32_t> Timeouts[] = {{ltNone, 0},     {ltShared, 1000}, {ltExclusive, 1000},
                                                      {ltRead, 90000}, {ltWrite, 90000}, {ltTransaction, 90000}};
  for (const auto& [LockType, Timeout] : Timeouts) {
    EXPECT_EQ(Object.GetLockTimeout(LockType), Timeout);
    EXPECT_EQ(Object.GetLockSpaceOffset(LockType), 0);
    EXPECT_EQ(Object.GetLockSpaceRange(LockType), 0);
    EXPECT_EQ(Object.GetLockIndex(LockType), -1);
  }
  Object.Lock(ltNone);
  EXPECT_TRUE(Object.GetLockState().Empty());
  Object.Lock(ltRead);
  Object.Lock(ltTransaction);
  EXPECT_TRUE(Object.GetLockState().Contains(lsReadLocked));
  EXPECT_TRUE(Object.GetLockState().Contains(lsTransactionLocked));
  EXPECT_EQ(Object.GetLockState().Count(), 2u);
  Object.Unlock(ltRead);
  EXPECT_FALSE(Object.GetLockState().Contains(lsReadLocked));
  Object.DecTransactionLockCount();
  EXPECT_EQ(Object.GetTransactionLockCount(), 0);
  Object.IncTransactionLockCount();
  Object.IncTransactionLockCount();
  Object.DecTransactionLockCount();
  EXPECT_EQ(Object.GetTransactionLockCount(), 1);
}

TEST(ConfigObject, NamesLoseTrailingBlanksAndTheStreamRecordRoundTrips) {
  User Object(u"", u"");
  Object.SetName(u"Admin  ");
  EXPECT_EQ(Object.GetName(), u"Admin");
  Object.SetID(7);
  Object.SetDescription(u"the first user");
  Object.SetReadOnly(true);
  TORVMemoryStream Stream(1);
  Object.Save(Stream, false);
  Stream.SetPosition(0);
  User Copy(u"", u"");
  Copy.Load(Stream);
  EXPECT_EQ(Copy.GetID(), 7);
  EXPECT_EQ(Copy.GetName(), u"Admin");
  EXPECT_EQ(Copy.GetDescription(), u"the first user");
  EXPECT_TRUE(Copy.GetReadOnly());
  EXPECT_TRUE(Copy.GetLoaded());
  EXPECT_EQ(Stream.GetPosition(), Stream.GetSize());
}

}  // namespace
}  // namespace orv
