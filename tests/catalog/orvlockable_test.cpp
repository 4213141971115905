#include "catalog/orvlockable.h"

#include <cstdint>
#include <algorithm>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "base/orverror.h"
#include "base/orvutf8.h"
#include "catalog/orvtable.h"
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

// The lock-space layout against the table the lock manager's file layout
// gives in decimal with slot s (first byte, bytes, in-process index).
TEST(LockSpace, TheLayoutAgreesWithTheLockFileTableForEveryKindAndSlot) {
  struct TRow {
    TORVLockSpaceKind Kind;
    std::vector<TORVLockType> Types;
    std::function<TORVLockSpace(int32_t)> Expected;
  };
  const std::vector<TRow> Rows = {
      {lkConfiguration, {ltTransaction}, [](int32_t) { return TORVLockSpace{4096, 1, 0}; }},
      {lkConfiguration, {ltRead, ltWrite}, [](int32_t) { return TORVLockSpace{4097, 4096, 1}; }},
      {lkConfiguration, {ltShared, ltExclusive, ltNone}, [](int32_t) { return TORVLockSpace{}; }},
      {lkEventLog, {ltTransaction}, [](int32_t) { return TORVLockSpace{8193, 1, 2}; }},
      {lkEventLog, {ltRead, ltWrite}, [](int32_t) { return TORVLockSpace{8194, 4096, 3}; }},
      {lkUser, {ltShared, ltExclusive}, [](int32_t S) { return TORVLockSpace{8194 + 4096 * S, 4096, S + 3}; }},
      {lkUser, {ltRead, ltWrite, ltTransaction}, [](int32_t) { return TORVLockSpace{}; }},
      {lkJob, {ltShared, ltExclusive}, [](int32_t S) { return TORVLockSpace{16785410 + 4096 * S, 4096, S + 4099}; }},
      {lkStore, {ltShared, ltExclusive}, [](int32_t S) { return TORVLockSpace{33562626 + 4096 * S, 4096, S + 8195}; }},
      {lkModule, {ltShared, ltExclusive}, [](int32_t S) { return TORVLockSpace{50339842 + 4096 * S, 4096, S + 12291}; }},
      {lkDatabase, {ltShared, ltExclusive}, [](int32_t) { return TORVLockSpace{4096, 4096, 0}; }},
      {lkCatalog, {ltTransaction}, [](int32_t) { return TORVLockSpace{8192, 1, 1}; }},
      {lkCatalog, {ltRead, ltWrite}, [](int32_t) { return TORVLockSpace{8193, 4096, 2}; }},
      {lkTable, {ltShared, ltExclusive}, [](int32_t S) { return TORVLockSpace{8193 + 4096 * S, 4096, S + 2}; }},
      {lkTable, {ltTransaction}, [](int32_t S) { return TORVLockSpace{16789504 + S, 1, S + 4098}; }},
      {lkDatabase, {ltTransaction}, [](int32_t) { return TORVLockSpace{16789505, 4096, 4099}; }},
      {lkTable, {ltRead, ltWrite}, [](int32_t S) { return TORVLockSpace{16789505 + 4096 * S, 4096, S + 8194}; }},
      {lkDatabase, {ltRead, ltWrite}, [](int32_t) { return TORVLockSpace{16793601, 16777216, 8195}; }},
      {lkRoutine, {ltShared, ltExclusive}, [](int32_t S) { return TORVLockSpace{33566721 + 4096 * S, 4096, S + 12290}; }},
      {lkNone, {ltShared, ltRead, ltTransaction}, [](int32_t) { return TORVLockSpace{}; }},
  };
  for (const TRow& Row : Rows) {
    const int32_t Slots = LockSlotCount(Row.Kind);
    for (int32_t Slot : {1, 2, 1024, 4096}) {
      if (Slot > std::max(Slots, 1)) continue;
      for (TORVLockType Type : Row.Types) {
        SCOPED_TRACE(testing::Message() << "kind " << int(Row.Kind) << " type " << int(Type) << " slot " << Slot);
        TORVLockSpace Space;
        ASSERT_TRUE(FindLockSpace(Row.Kind, Type, Slot, Space));
        EXPECT_EQ(Space, Row.Expected(Slot));
      }
    }
  }
}

TEST(LockSpace, SlotsAtTheEdgesAndTheRangesThatCoverOthers) {
  auto At = [](TORVLockSpaceKind Kind, TORVLockType Type, int32_t Slot) {
    TORVLockSpace Space;
    EXPECT_TRUE(FindLockSpace(Kind, Type, Slot, Space));
    return Space;
  };
  EXPECT_EQ(At(lkUser, ltShared, 1).Offset, 0x3002);
  EXPECT_EQ(At(lkUser, ltShared, 2).Offset, 0x4002);
  EXPECT_EQ(At(lkUser, ltShared, 4096).Offset, 0x1002002);
  EXPECT_EQ(At(lkUser, ltShared, 4096).Offset + 4096, At(lkJob, ltShared, 1).Offset);
  EXPECT_EQ(At(lkTable, ltTransaction, 4096).Offset, 0x1004000);
  const TORVLockSpace DatabaseTransaction = At(lkDatabase, ltTransaction, 0);
  EXPECT_EQ(DatabaseTransaction.Offset + DatabaseTransaction.Range - 1, 0x1004000);
  const TORVLockSpace DatabaseWrite = At(lkDatabase, ltWrite, 0);
  EXPECT_EQ(DatabaseWrite.Offset, At(lkTable, ltWrite, 1).Offset);
  EXPECT_EQ(DatabaseWrite.Offset + DatabaseWrite.Range, At(lkTable, ltWrite, 4096).Offset + 4096);
  EXPECT_EQ(DatabaseWrite.Index, At(lkTable, ltWrite, 1).Index);
  EXPECT_EQ(DatabaseTransaction.Index, At(lkTable, ltTransaction, 1).Index);
  EXPECT_EQ(At(lkTable, ltWrite, 4096).Offset + 4096, At(lkRoutine, ltShared, 1).Offset);
}

// A user of the configuration ORVConfig with a lock slot, using attributes.
class SlottedUser : public User {
 public:
  explicit SlottedUser(int32_t Slot) : User(u"configuration", u"ORVConfig"), FSlot(Slot) {}
  TORVLockSpaceKind GetLockSpaceKind() const override { return FKind; }
  int32_t GetLockSlot() const override { return FSlot; }
  bool GetUseAttributes() const override { return true; }
  TORVCurrency GetConfigVersion() override { return Version; }
  // No configuration holds it: it keeps its own flag.
  bool GetModified() const override { return FModified; }
  void SetModified(bool Value) override { FModified = Value; }

  TORVLockSpaceKind FKind = lkUser;
  TORVCurrency Version = TORVCurrency::FromScaled(20500);

 private:
  int32_t FSlot;
  bool FModified = false;
};

TEST(LockSpace, ASlotOutsideItsKindRaisesTheObjectsLockErrorInsteadOfNamingAnotherRange) {
  for (const auto& [Kind, Slot] : {std::pair{lkUser, 0}, std::pair{lkUser, 4097}, std::pair{lkUser, -1},
                                   std::pair{lkModule, 1025}, std::pair{lkTable, 0}}) {
    SCOPED_TRACE(Slot);
    TORVLockSpace Space{1, 1, 1};
    EXPECT_FALSE(FindLockSpace(Kind, ltShared, Slot, Space));
    EXPECT_EQ(Space, TORVLockSpace{});
    SlottedUser Object(Slot);
    Object.FKind = Kind;
    EXPECT_EQ(ErrorOf([&] { Object.GetLockSpaceOffset(ltExclusive); }),
              "300 Cannot lock the user Administrator in the configuration ORVConfig for exclusive access");
  }
  TORVLockSpace Space;
  EXPECT_TRUE(FindLockSpace(lkModule, ltShared, 1024, Space));
  EXPECT_TRUE(FindLockSpace(lkDatabase, ltShared, 0, Space));
}

// The engine's layout keeps what the lock managers rely on; a layout with
// one row moved breaks it and the check says so.
TEST(LockSpace, TheLayoutCheckCatchesARowThatBreaksIt) {
  const std::vector<TORVLockSpaceRow> Layout(GetLockSpaceLayout().begin(), GetLockSpaceLayout().end());
  CheckLockSpaceLayout(Layout);
  struct TCase {
    const char* Name;
    TORVLockSpaceKind Kind;
    TORVLockType First;
    std::function<void(TORVLockSpaceRow&)> Corrupt;
  };
  const TCase Cases[] = {
      {"the last user slot reaches into the first job's range", lkUser, ltShared,
       [](TORVLockSpaceRow& Row) { Row.Range += 1; }},
      {"the database's transaction range misses the last table slot", lkDatabase, ltTransaction,
       [](TORVLockSpaceRow& Row) { Row.Range -= 1; }},
      {"the database's read/write index is not table slot 1's", lkDatabase, ltRead,
       [](TORVLockSpaceRow& Row) { Row.Index += 1; }},
      {"modules take the stores' in-process indexes", lkModule, ltShared,
       [](TORVLockSpaceRow& Row) { Row.Index = 0x2004; }},
      {"the configuration's transaction byte lies in the session bytes", lkConfiguration, ltTransaction,
       [](TORVLockSpaceRow& Row) { Row.Offset = 0xFFF; }},
      {"routines overlap the tables' read/write ranges", lkRoutine, ltShared,
       [](TORVLockSpaceRow& Row) { Row.Offset -= 1; }},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    std::vector<TORVLockSpaceRow> Broken = Layout;
    const auto Row = std::find_if(Broken.begin(), Broken.end(), [&](const TORVLockSpaceRow& Candidate) {
      return Candidate.Kind == Case.Kind && Candidate.First == Case.First;
    });
    ASSERT_NE(Row, Broken.end());
    Case.Corrupt(*Row);
    EXPECT_THROW(CheckLockSpaceLayout(Broken), std::logic_error);
  }
}

TEST(LockableObject, TheLockStateIsOneByteOfTheStoredBitValues) {
  User Object(u"", u"");
  const std::pair<TORVLockType, uint64_t> Bits[] = {
      {ltShared, 1}, {ltExclusive, 2}, {ltRead, 4}, {ltWrite, 8}, {ltTransaction, 16}};
  uint64_t All = 0;
  for (const auto& [Type, Bit] : Bits) {
    Object.Lock(Type);
    All |= Bit;
    EXPECT_EQ(Object.GetLockState().ToBits(), All);
  }
}

TEST(LockableObject, AttributesStreamFromVersion204AndCompareLikeNames) {
  SlottedUser Source(1);
  Source.SetAttributes(u"Region=North");
  TORVMemoryStream Stream(0);
  Source.Save(Stream, false);

  SlottedUser Loaded(1);
  Stream.SetPosition(0);
  Loaded.Load(Stream);
  EXPECT_EQ(Loaded.GetAttributes(), u"Region=North");
  EXPECT_EQ(Stream.GetPosition(), Stream.GetSize());

  // The checksum form leaves them out.
  TORVMemoryStream CheckSum(0);
  Source.Save(CheckSum, true);
  EXPECT_LT(CheckSum.GetSize(), Stream.GetSize());

  // A stream older than 2.04 holds none: nothing more is read.
  SlottedUser Old(1);
  Old.Version = TORVCurrency::FromScaled(20300);
  TORVMemoryStream OldStream(0);
  Old.Save(OldStream, false);
  const int64_t WithAttributes = OldStream.GetSize();
  OldStream.SetPosition(0);
  Old.SetAttributes(u"stale");
  Old.Load(OldStream);
  EXPECT_EQ(Old.GetAttributes(), u"");
  EXPECT_LT(OldStream.GetPosition(), WithAttributes);

  Loaded.SetAttributes(u"region=north  ");
  EXPECT_TRUE(Loaded.Compare(&Source, true));
  Loaded.SetAttributes(u"Region=South");
  EXPECT_FALSE(Loaded.Compare(&Source, true));

  // Setting compares exactly: a change of case is a change.
  SlottedUser Plain(1);
  Plain.SetAttributes(u"a");
  Plain.SetModified(false);
  Plain.SetAttributes(u"a");
  EXPECT_FALSE(Plain.GetModified());
  Plain.SetAttributes(u"A");
  EXPECT_TRUE(Plain.GetModified());

  SlottedUser Copy(2);
  Copy.Assign(&Source, false);
  EXPECT_EQ(Copy.GetAttributes(), u"Region=North");
}

TEST(LockSpace, TablesAndViewsLockAsTablesOfTheirSlot) {
  TORVBaseTable Table;
  Table.SetName(u"Orders");
  Table.SetLockSlot(4096);
  EXPECT_EQ(Table.GetLockSpaceOffset(ltTransaction), 0x1004000);
  EXPECT_EQ(Table.GetLockIndex(ltWrite), 0x2003 + 4095);
  TORVVirtualTable View;
  View.SetLockSlot(2);
  EXPECT_EQ(View.GetLockSpaceOffset(ltShared), 0x4001);
  EXPECT_EQ(View.GetLockSpaceRange(ltShared), 4096);
  // A table without a slot is refused rather than given the catalog's bytes.
  TORVBaseTable Unslotted;
  Unslotted.SetName(u"Loose");
  EXPECT_EQ(ErrorOf([&] { Unslotted.GetLockSpaceOffset(ltRead); }), "300 Cannot lock the table Loose for read access");
}

}  // namespace
}  // namespace orv
