// Two sessions in two threads on one table: each adds to one row's counter
// under row locks while inserting rows of its own.
#include <gtest/gtest.h>

#include <exception>
#include <string>
#include <thread>

#include "tests/eval/orvtablemgrtest.h"

namespace orv {
namespace {

class TableManagerThreads : public test::TableFolderTest {};

TEST_F(TableManagerThreads, TwoSessionsAddToOneCounterWithoutLosingAnUpdate) {
  constexpr int32_t Rounds = 200;
  test::TTableConnection& Main = OpenSession();
  const int32_t CounterID = Main.Insert({1, u"counter", 0});
  const int32_t CounterNumber = Main.LastNumber;
  test::TTableConnection& First = OpenSession();
  test::TTableConnection& Second = OpenSession();
  std::string Errors[2];
  auto Side = [&](test::TTableConnection& Session, int32_t Base, std::string& Error) {
    try {
      test::RunCounterSide(Session, CounterID, CounterNumber, Base, Rounds);
    } catch (const std::exception& Failure) {
      Error = Failure.what();
    }
  };
  std::thread A(Side, std::ref(First), 1000, std::ref(Errors[0]));
  std::thread B(Side, std::ref(Second), 2000, std::ref(Errors[1]));
  A.join();
  B.join();
  EXPECT_EQ(Errors[0], "");
  EXPECT_EQ(Errors[1], "");
  const test::TModelRows Rows = Main.Scan();
  EXPECT_EQ(Rows.size(), static_cast<size_t>(1 + 2 * Rounds));
  EXPECT_EQ(Rows.at(CounterID).N, 2 * Rounds);
  EXPECT_EQ(Main.IndexesAgreeWithRows(), "");
}

}  // namespace
}  // namespace orv
