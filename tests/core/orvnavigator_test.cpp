#include "core/orvnavigator.h"

#include <gtest/gtest.h>

#include "tests/support/orvrowfakes.h"

namespace orv {
namespace {

TEST(Navigator, AllRowsInvalidLeavesNoActiveRow) {
  for (const int32_t Direction : {0, 1, 2, 3}) {
    TFakeNavigator Navigator({false, false, false});
    bool FoundChanges = false;
    Navigator.GotoNumber(2, 1, FoundChanges);
    Navigator.ValidatePosition(Direction, FoundChanges);
    EXPECT_TRUE(Navigator.GetBoF()) << Direction;
    EXPECT_TRUE(Navigator.GetEoF()) << Direction;
    EXPECT_EQ(Navigator.Clears, 1) << Direction;
    EXPECT_FALSE(FoundChanges);
  }
}

TEST(Navigator, NoRowsAsksNoRow) {
  TFakeNavigator Navigator({});
  bool FoundChanges = false;
  Navigator.ValidatePosition(1, FoundChanges);
  EXPECT_EQ(Navigator.ValidCalls, 0);
  EXPECT_TRUE(Navigator.GetBoF() && Navigator.GetEoF());
  EXPECT_EQ(Navigator.Clears, 1);
}

TEST(Navigator, ValidRowAheadOrBehind) {
  struct TCase {
    std::vector<bool> Valid;
    int32_t Start;
    int32_t Direction;
    int32_t Row;
    bool BoF;
    bool EoF;
  };
  const TCase Cases[] = {
      {{false, false, true, false}, 1, 1, 3, false, false},  // ahead
      {{true, false, false, false}, 3, 1, 1, false, true},   // only behind: at the end, BoF as before
      {{false, false, true, false}, 4, 2, 3, false, false},  // backward, behind
      {{false, false, false, true}, 2, 2, 4, true, false},   // backward, only ahead
  };
  for (const TCase& Case : Cases) {
    TFakeNavigator Navigator(Case.Valid);
    bool FoundChanges = false;
    Navigator.GotoNumber(Case.Start, 1, FoundChanges);
    Navigator.ValidatePosition(Case.Direction, FoundChanges);
    EXPECT_EQ(Navigator.GetRowNumber(), Case.Row) << Case.Start;
    EXPECT_EQ(Navigator.GetBoF(), Case.BoF) << Case.Start;
    EXPECT_EQ(Navigator.GetEoF(), Case.EoF) << Case.Start;
    EXPECT_EQ(Navigator.Clears, 0);
  }
}

TEST(Navigator, StopScanEndsTheScanInItsDirection) {
  // Forward from 2 stops at 3 and turns back to the valid row 1.
  TFakeNavigator Navigator({true, false, false, true});
  Navigator.StopAt = 3;
  Navigator.StopDirection = 1;
  bool FoundChanges = false;
  Navigator.GotoNumber(2, 1, FoundChanges);
  Navigator.ValidatePosition(1, FoundChanges);
  EXPECT_EQ(Navigator.GetRowNumber(), 1);
  EXPECT_TRUE(Navigator.GetEoF());

  // Stopped in the second scan too: no valid row.
  TFakeNavigator Stopped({false, false, false, true});
  Stopped.StopAt = 1;
  Stopped.GotoNumber(1, 2, FoundChanges);
  Stopped.ValidatePosition(2, FoundChanges);
  EXPECT_TRUE(Stopped.GetBoF() && Stopped.GetEoF());
  EXPECT_EQ(Stopped.Clears, 1);
}

TEST(Navigator, FoundChangesStopsAtOnce) {
  TFakeNavigator Navigator({false, false, false, true});
  Navigator.ChangesAt = 3;
  bool FoundChanges = false;
  Navigator.GotoNumber(1, 1, FoundChanges);
  Navigator.ValidatePosition(1, FoundChanges);
  EXPECT_TRUE(FoundChanges);
  EXPECT_EQ(Navigator.GetRowNumber(), 3);
  EXPECT_EQ(Navigator.Clears, 0);
}

}  // namespace
}  // namespace orv
