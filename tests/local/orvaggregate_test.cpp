#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "base/orvutf8.h"
#include "core/orvtypefunc.h"
#include "tests/local/orvaggregatetest.h"
#include "tests/support/orvsqliteoracle.h"
#include "tests/support/orvtestseed.h"

namespace orv {
namespace {

using test::TAggregateQuery;
using test::TSourceType;
using test::ErrorOf;

// x's values of one group, NULL as nullptr.
using TValues = std::vector<const char*>;

struct TCase {
  const char* Name;
  TSourceType Source;
  TORVTokenOperator Operator;
  int32_t TokenID;
  TValues Values;
  std::string Expected;
};

TEST(Aggregates, EachAggregateOverOneGroup) {
  const TCase Cases[] = {
      {"COUNT(x) counts the values that are not NULL", {dtInteger}, toCOUNT, 0, {"1", nullptr, "3"}, "2"},
      {"COUNT(x) over only NULLs is 0", {dtInteger}, toCOUNT, 0, {nullptr, nullptr}, "0"},
      {"COUNT(DISTINCT x)", {dtInteger}, toCOUNT, 1, {"1", "1", "2", nullptr}, "2"},
      {"SUM(x) over only NULLs is NULL", {dtInteger}, toSUM, 0, {nullptr, nullptr}, "NULL"},
      {"SUM of Integers is a BigInt", {dtInteger}, toSUM, 0, {"2147483647", "1"}, "2147483648"},
      {"SUM(DISTINCT x)", {dtInteger}, toSUM, 1, {"5", "5", "7"}, "12"},
      {"SUM of Decimals", {dtDecimal, 0, 0, 4}, toSUM, 0, {"0.0001", "1.5"}, "1.5001"},
      {"MIN skips NULLs", {dtInteger}, toMIN, 0, {nullptr, "4", "-3", "9"}, "-3"},
      {"MAX of texts", {dtCharacter, stVarChar, 10}, toMAX, 0, {"b", "c", "a"}, "c"},
      {"MIN of only NULLs", {dtInteger}, toMIN, 0, {nullptr}, "NULL"},
      {"SUMSQUARE of the Integer 50000", {dtInteger}, toSUMSQUARE, 0, {"50000"}, "2500000000"},
      {"SUMSQUARE(DISTINCT x)", {dtInteger}, toSUMSQUARE, 1, {"3", "3", "4"}, "25"},
      {"LIST(x)", {dtCharacter, stVarChar, 10}, toLIST, 0, {"b", "a", nullptr, "b"}, "b,a,b"},
      {"LIST(DISTINCT x)", {dtCharacter, stVarChar, 10}, toLIST, 1, {"b", "a", "b"}, "b,a"},
      {"LIST(ORDERED x)", {dtCharacter, stVarChar, 10}, toLIST, 2, {"b", "a", "b"}, "a,b,b"},
      {"LIST(DISTINCT ORDERED x)", {dtCharacter, stVarChar, 10}, toLIST, 3, {"b", "a", "b"}, "a,b"},
      {"LIST over only NULLs", {dtCharacter, stVarChar, 10}, toLIST, 0, {nullptr}, "NULL"},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TAggregateQuery Fresh(Case.Source);
    TORVExprToken* Token = Fresh.Aggregate(Case.Operator, Case.TokenID);
    Fresh.StartGroup();
    for (const char* Value : Case.Values) Fresh.FeedText(Value);
    EXPECT_EQ(Fresh.Result(Token), Case.Expected);
  }
}

TEST(Aggregates, CountOfRowsCountsNullsAndNeverEvaluatesTheStar) {
  TAggregateQuery Q;
  TORVExprToken* Count = Q.CountRows();
  TORVExprToken* Distinct = Q.CountRows(1);
  Q.StartGroup();
  for (const char* Value : TValues{"1", nullptr, "1"}) Q.FeedText(Value);
  EXPECT_EQ(Q.Result(Count), "3");
  EXPECT_EQ(Q.Result(Distinct), "3");
  // Nothing looked at the "*" reference: it never got a value.
  EXPECT_EQ(Count->GetArgument(0)->FValue, nullptr);
  EXPECT_EQ(Distinct->GetArgument(0)->FValue, nullptr);
}

TEST(Aggregates, ListTakesItsSeparator) {
  TAggregateQuery Q({dtCharacter, stVarChar, 10});
  const TORVString Separator = u"; ";
  TORVExprToken* Plain = Q.List(0, &Separator);
  TORVExprToken* Ordered = Q.List(3, &Separator);
  Q.StartGroup();
  for (const char* Value : TValues{"b", "a", "b"}) Q.FeedText(Value);
  EXPECT_EQ(Q.Result(Plain), "b; a; b");
  EXPECT_EQ(Q.Result(Ordered), "a; b");
}

TEST(Aggregates, AverageFollowsTheTypeOfItsSum) {
  struct TAvgCase {
    TSourceType Type;
    TValues Values;
    std::string Expected;
  };
  const TAvgCase Cases[] = {
      {{dtInteger}, {"1", "2"}, "1"},
      {{dtInteger}, {"-7", "2", nullptr}, "-2"},
      {{dtFloat}, {"1.0", "2.0"}, "1.5"},
      {{dtDecimal, 0, 0, 4}, {"1", "0", "0"}, "0.3333"},
      {{dtInteger}, {nullptr}, "NULL"},
  };
  for (const TAvgCase& Case : Cases) {
    TAggregateQuery Fresh(Case.Type);
    TORVExprToken* Avg = Fresh.Derived(toAVG);
    Fresh.StartGroup();
    for (const char* Value : Case.Values) Fresh.FeedText(Value);
    EXPECT_EQ(Fresh.Result(Avg), Case.Expected) << Case.Expected;
  }
}

TEST(Aggregates, StandardDeviationIsTheSampleOneAndNeverNegativeUnderTheRoot) {
  struct TDevCase {
    TSourceType Type;
    TValues Values;
    std::optional<double> Expected;
  };
  const TDevCase Cases[] = {
      {{dtInteger}, {"5"}, 0.0},
      {{dtInteger}, {"2", "4"}, 1.4142135623730951},
      // The sum of squares falls a rounding step below the square of the
      // sum over n: the root of a negative would be NaN.
      {{dtFloat}, {"0.1", "0.1", "0.1"}, 0.0},
      {{dtFloat}, {"1e-5", "1e-5", "1e-5", "1e-5", "1e-5", "1e-5", "1e-5"}, 0.0},
      {{dtInteger}, {nullptr, nullptr}, std::nullopt},
  };
  for (const TDevCase& Case : Cases) {
    TAggregateQuery Fresh(Case.Type);
    TORVExprToken* Deviation = Fresh.Derived(toSTDDEV);
    Fresh.StartGroup();
    for (const char* Value : Case.Values) Fresh.FeedText(Value);
    if (!Case.Expected) {
      EXPECT_TRUE(Deviation->FValue->GetNull());
    } else {
      ASSERT_FALSE(Deviation->FValue->GetNull());
      EXPECT_DOUBLE_EQ(Deviation->FValue->GetAsDouble(), *Case.Expected);
    }
  }
}

TEST(Aggregates, RunningSumAddsTheSumAtEveryEvaluation) {
  TAggregateQuery Q;
  TORVExprToken* RunSum = Q.Derived(toRUNSUM);
  Q.StartGroup();
  Q.FeedText("2");
  EXPECT_EQ(Q.Result(RunSum), "2");
  Q.FeedText(nullptr);
  // The sum is still 2 and is added again.
  EXPECT_EQ(Q.Result(RunSum), "4");
}

TEST(Aggregates, ATotalBeyondItsTypeIsTheRangeError) {
  TAggregateQuery Q({dtBigInt});
  TORVExprToken* Sum = Q.Aggregate(toSUM);
  TORVExprToken* Count = Q.CountRows();
  Q.StartGroup();
  Q.FeedText("9223372036854775807");
  EXPECT_EQ(ErrorOf([&] { Q.FeedText("1"); }).substr(0, 5), "1011 ");
  EXPECT_EQ(Q.Result(Sum), "9223372036854775807");
  // A count at the top of the Integer range refuses one more row.
  Count->FValue->SetAsInteger(2147483647);
  EXPECT_EQ(ErrorOf([&] { Q.Evaluator.EvaluateNextToken(Count); }).substr(0, 5), "1011 ");
}

// Groups follow each other on one result row number, as a result table
// reuses a number; each group's distinct set must start empty even when
// the group begins with a NULL, which turns COUNT from NULL to 0.
TEST(Aggregates, DistinctSetsStartEmptyForEachGroupOnAReusedRow) {
  TAggregateQuery Q;
  TORVExprToken* Count = Q.Aggregate(toCOUNT, 1);
  TORVExprToken* Sum = Q.Aggregate(toSUM, 1);
  Q.Source = {dtCharacter, stVarChar, 10};
  TORVExprToken* List = Q.List(3);
  Q.StartGroup();
  for (const char* Value : TValues{"1", "2", "2"}) Q.FeedText(Value);
  EXPECT_EQ(Q.Result(Count), "2");
  Q.StartGroup();
  for (const char* Value : TValues{nullptr, "1", "2", "3"}) Q.FeedText(Value);
  EXPECT_EQ(Q.Result(Count), "3");
  EXPECT_EQ(Q.Result(Sum), "6");
  EXPECT_EQ(Q.Result(List), "1,2,3");
}

// Random groups go through the accumulators and into a SQLite table; the
// grouped results must agree.
TEST(Aggregates, GroupsAgreeWithSQLite) {
  const uint32_t Seed = test::TestSeed(4711);
  SCOPED_TRACE("seed " + std::to_string(Seed));
  std::mt19937 Random(Seed);
  const TSourceType Types[] = {{dtInteger}, {dtFloat}, {dtCharacter, stVarChar, 8}};
  for (const TSourceType& Type : Types) {
    SCOPED_TRACE("type " + std::to_string(Type.DataType));
    const bool Text = Type.DataType == dtCharacter;
    const bool Float = Type.DataType == dtFloat;
    TAggregateQuery Q(Type);
    TORVExprToken* CountAll = Q.CountRows();
    TORVExprToken* Count = Q.Aggregate(toCOUNT);
    TORVExprToken* CountDistinct = Q.Aggregate(toCOUNT, 1);
    TORVExprToken* Min = Q.Aggregate(toMIN);
    TORVExprToken* Max = Q.Aggregate(toMAX);
    TORVExprToken* Sum = Text ? nullptr : Q.Aggregate(toSUM);
    TORVExprToken* Avg = Float ? Q.Derived(toAVG) : nullptr;
    TORVExprToken* Deviation = Text ? nullptr : Q.Derived(toSTDDEV);
    TORVExprToken* List = Float ? nullptr : Q.List(3);

    test::TORVSQLiteOracle SQLite;
    SQLite.Exec(std::string("CREATE TABLE t (g INTEGER, x ") + (Text ? "TEXT" : Float ? "REAL" : "INTEGER") + ")");
    SQLite.Exec("BEGIN");
    std::vector<std::vector<std::string>> Ours;
    const int32_t Groups = 12;
    for (int32_t Group = 0; Group < Groups; ++Group) {
      const int32_t Rows = std::uniform_int_distribution<int32_t>(1, 1000)(Random);
      // Few distinct values in some groups, many in others.
      const int32_t Spread = std::uniform_int_distribution<int32_t>(1, 4)(Random) == 1 ? 20 : 2000000;
      Q.StartGroup();
      for (int32_t I = 0; I < Rows; ++I) {
        std::string Literal = "NULL";
        if (std::uniform_int_distribution<int32_t>(0, 9)(Random) == 0) {
          Q.Feed(nullptr);
        } else if (Text) {
          std::string Word;
          const int32_t Length = std::uniform_int_distribution<int32_t>(0, Spread == 20 ? 1 : 8)(Random);
          for (int32_t C = 0; C < Length; ++C) Word += static_cast<char>('a' + Random() % (Spread == 20 ? 4 : 26));
          Q.Feed([&](TORVValue& X) { X.SetAsString(Utf8ToString(Word)); });
          Literal = "'" + Word + "'";
        } else if (Float) {
          const double X = std::uniform_int_distribution<int32_t>(0, Spread)(Random) / 1024.0;
          Q.Feed([&](TORVValue& Value) { Value.SetAsDouble(X); });
          char Buffer[64];
          std::snprintf(Buffer, sizeof Buffer, "%.17g", X);
          Literal = Buffer;
        } else {
          const int32_t X = std::uniform_int_distribution<int32_t>(-Spread / 2, Spread / 2)(Random);
          Q.Feed([&](TORVValue& Value) { Value.SetAsInteger(X); });
          Literal = std::to_string(X);
        }
        SQLite.Exec("INSERT INTO t VALUES (" + std::to_string(Group) + ", " + Literal + ")");
      }
      std::vector<std::string> Row = {Q.Result(CountAll), Q.Result(Count), Q.Result(CountDistinct), Q.Result(Min),
                                      Q.Result(Max)};
      for (TORVExprToken* Token : {Sum, Avg, Deviation, List}) Row.push_back(Token ? Q.Result(Token) : "");
      Ours.push_back(Row);
    }
    SQLite.Exec("COMMIT");
    const auto Theirs = SQLite.Query(
        "SELECT COUNT(*), COUNT(x), COUNT(DISTINCT x), MIN(x), MAX(x), SUM(x), AVG(x), SUM(x * x), "
        "(SELECT group_concat(v) FROM (SELECT DISTINCT x AS v FROM t AS i WHERE i.g = t.g AND x IS NOT NULL "
        "ORDER BY v)) FROM t GROUP BY g ORDER BY g");
    ASSERT_EQ(Theirs.size(), Ours.size());
    auto Near = [](const std::string& A, const std::string& B, double Relative) {
      if (A == "NULL" || B == "NULL") return A == B;
      const double X = std::stod(A);
      const double Y = std::stod(B);
      return std::fabs(X - Y) <= Relative * std::max(1.0, std::max(std::fabs(X), std::fabs(Y)));
    };
    for (std::size_t G = 0; G < Ours.size(); ++G) {
      SCOPED_TRACE("group " + std::to_string(G));
      const std::vector<std::string>& O = Ours[G];
      const std::vector<std::string>& T = Theirs[G];
      EXPECT_EQ(O[0], T[0]);
      EXPECT_EQ(O[1], T[1]);
      EXPECT_EQ(O[2], T[2]);
      if (Float) {
        EXPECT_PRED3(Near, O[3], T[3], 1e-15);
        EXPECT_PRED3(Near, O[4], T[4], 1e-15);
        EXPECT_PRED3(Near, O[5], T[5], 1e-9);
        EXPECT_PRED3(Near, O[6], T[6], 1e-9);
      } else {
        EXPECT_EQ(O[3], T[3]);
        EXPECT_EQ(O[4], T[4]);
        if (!Text) {
          EXPECT_EQ(O[5], T[5]);
        }
      }
      if (!Text) {
        // STDDEV against the formula over SQLite's sums.
        const std::string& Squares = T[7];
        if (T[5] == "NULL") {
          EXPECT_EQ(O[7], "NULL");
        } else {
          const double N = std::stod(T[1]);
          const double S = std::stod(T[5]);
          const double Expected = N < 2 ? 0 : std::sqrt(std::max(0.0, (std::stod(Squares) - S * S / N) / (N - 1)));
          EXPECT_PRED3(Near, O[7], std::to_string(Expected), 1e-6);
        }
      }
      if (!Float) {
        EXPECT_EQ(O[8], T[8]);
      }
    }
  }
}

}  // namespace
}  // namespace orv
