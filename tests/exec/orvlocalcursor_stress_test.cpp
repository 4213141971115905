// Two sessions on two threads, each updating its own row of one table
// through its own local cursor: no update is lost and neither waits
// forever on the other.
#include <gtest/gtest.h>

#include <exception>
#include <string>
#include <thread>

#include "base/orverror.h"
#include "base/orverrors.h"
#include "tests/exec/orvlocalcursortest.h"

namespace orv {
namespace {

class LocalCursorThreads : public test::LocalCursorTest {};

// Adds 1 to n of row Number Rounds times under the pessimistic edit lock;
// a lock refused while the other session holds the table is tried again.
void AddToOwnRow(TORVLocalCursor& Cursor, int32_t Number, int32_t Rounds) {
  auto Row = Cursor.CreateRow(true);
  for (int32_t Round = 0; Round < Rounds; ++Round) {
    for (bool Done = false; !Done;) {
      try {
        Cursor.SetRowNumber(Number);
        Cursor.GetCurrentRow(*Row, true);
        TORVValue& N = *Row->GetValues()->GetItems(test::NColumn);
        N.SetAsInteger(N.GetAsInteger() + 1);
        Done = Cursor.Update(*Row);
      } catch (const EORVException& Error) {
        if (Error.ErrorCode() != ORV_ROW_LOCK_ERROR.Code) throw;
      }
    }
  }
}

TEST_F(LocalCursorThreads, TwoSessionsUpdateTheirOwnRowsWithoutLosingAnUpdate) {
  constexpr int32_t Rounds = 10000;
  test::TTableConnection& Main = OpenSession();
  Main.Insert({1, u"first", 0});
  Main.Insert({2, u"second", 0});
  test::TTableConnection& First = OpenSession();
  test::TTableConnection& Second = OpenSession();
  TORVLocalCursor& FirstCursor = OpenCursor(First);
  TORVLocalCursor& SecondCursor = OpenCursor(Second);
  std::string Errors[2];
  auto Side = [&](TORVLocalCursor& Cursor, int32_t Number, std::string& Error) {
    try {
      AddToOwnRow(Cursor, Number, Rounds);
    } catch (const std::exception& Failure) {
      Error = Failure.what();
    }
  };
  std::thread A(Side, std::ref(FirstCursor), 1, std::ref(Errors[0]));
  std::thread B(Side, std::ref(SecondCursor), 2, std::ref(Errors[1]));
  A.join();
  B.join();
  EXPECT_EQ(Errors[0], "");
  EXPECT_EQ(Errors[1], "");
  const test::TModelRows Rows = Main.Scan();
  ASSERT_EQ(Rows.size(), 2u);
  EXPECT_EQ(Rows.begin()->second.N, Rounds);
  EXPECT_EQ(Rows.rbegin()->second.N, Rounds);
  EXPECT_EQ(Main.IndexesAgreeWithRows(), "");
}

}  // namespace
}  // namespace orv
