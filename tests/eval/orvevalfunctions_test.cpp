#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <random>
#include <regex>
#include <set>
#include <string>

#include "base/orverror.h"
#include "base/orvutf8.h"
#include "core/orvdatetime.h"
#include "core/orvvalue.h"
#include "eval/orveval.h"
#include "sql/orvparser.h"
#include "tests/eval/orvevaltest.h"
#include "tests/support/orvsqltreedump.h"
#include "tests/support/orvtestseed.h"

namespace orv {
namespace {

// An interval's fields follow its subtype: the leading field takes the
// whole quotient, the others what is left below it.
TEST(EvalFunctions, IntervalFieldsFollowTheSubtype) {
  struct TCase {
    const char* Field;
    const char* Interval;  // :text and :subtype of the constant
    const char* Expected;
  };
  const TCase Cases[] = {
      {"EXTRACTHOUR", "\"27\" :type 14 :subtype 64", "Integer 27"},             // Hour
      {"EXTRACTHOUR", "\"1 03\" :type 14 :subtype 192", "Integer 3"},           // Day To Hour
      {"EXTRACTDAY", "\"1 03\" :type 14 :subtype 192", "Integer 1"},            // Day To Hour
      {"EXTRACTMINUTE", "\"90\" :type 14 :subtype 32", "Integer 90"},           // Minute
      {"EXTRACTHOUR", "\"-27\" :type 14 :subtype 64", "Integer -27"},           // Hour, negative
      {"EXTRACTHOUR", "\"00\" :type 14 :subtype 64", "Integer 0"},              // Hour, zero
      {"EXTRACTYEAR", "\"27\" :type 13 :subtype 4", "Integer 27"},              // Year
      {"EXTRACTMONTH", "\"27\" :type 13 :subtype 2", "Integer 27"},             // Month
      {"EXTRACTDAY", "\"100000\" :type 14 :subtype 128", "Integer 100000"},     // Day
  };
  for (const TCase& Case : Cases) {
    const std::string Tree =
        std::string("(FUNCREF :op ") + Case.Field + " :type 6 (CONST :text " + Case.Interval + "))";
    SCOPED_TRACE(Tree);
    EXPECT_EQ(test::EvaluateForCorpus(Tree, true), Case.Expected);
  }
}

// The text functions against plain models of their rules, over random
// short texts of few letters (so that searches often hit) and counts and
// positions around and beyond the texts' ends, negative ones included.
TEST(EvalFunctions, TextFunctionsAnswerLikeTheirModels) {
  using TText = std::u16string;
  struct TInputs {
    TText S, T, U;
    int32_t N = 0, P = 0;
  };
  auto Substring = [](const TText& S, int64_t From, int64_t Count) {
    From = std::max<int64_t>(From, 1);
    Count = std::max<int64_t>(Count, 0);
    return From > static_cast<int64_t>(S.size()) ? TText() : S.substr(static_cast<std::size_t>(From - 1),
                                                                       static_cast<std::size_t>(Count));
  };
  auto TrimModel = [](TText S, const TText& T, bool Leading, bool Trailing) {
    if (T.empty()) return S;
    while (Leading && S.size() >= T.size() && S.compare(0, T.size(), T) == 0) S.erase(0, T.size());
    while (Trailing && S.size() >= T.size() && S.compare(S.size() - T.size(), T.size(), T) == 0)
      S.erase(S.size() - T.size());
    return S;
  };
  auto Occurrences = [](const TText& S, const TText& T) {
    std::vector<std::size_t> Found;
    if (T.empty()) return Found;
    for (std::size_t At = S.find(T); At != TText::npos; At = S.find(T, At + T.size())) Found.push_back(At);
    return Found;
  };
  struct TCase {
    const char* Op;
    const char* Arguments;  // which input each argument takes: S, T, U (texts), N, P (integers)
    bool TextResult;
    std::function<TText(const TInputs&)> Model;
  };
  const TCase Cases[] = {
      {"LEFT", "SN", true, [&](const TInputs& I) { return Substring(I.S, 1, I.N); }},
      {"RIGHT", "SN", true,
       [](const TInputs& I) { return I.S.substr(I.S.size() - std::min<std::size_t>(I.S.size(), std::max(I.N, 0))); }},
      {"SUBSTRING", "SPN", true, [&](const TInputs& I) { return Substring(I.S, I.P, I.N); }},
      {"SUBSTRING", "SP", true,
       [&](const TInputs& I) {
         const int64_t From = std::max(I.P, 1);
         return Substring(I.S, From, static_cast<int64_t>(I.S.size()) - From + 1);
       }},
      {"REPEATSTR", "SN", true,
       [](const TInputs& I) {
         TText R;
         for (int32_t K = 0; K < I.N; ++K) R += I.S;
         return R;
       }},
      {"TRIMBOTH", "TS", true, [&](const TInputs& I) { return TrimModel(I.S, I.T, true, true); }},
      {"TRIMLEADING", "TS", true, [&](const TInputs& I) { return TrimModel(I.S, I.T, true, false); }},
      {"TRIMTRAILING", "TS", true, [&](const TInputs& I) { return TrimModel(I.S, I.T, false, true); }},
      {"REPLACE", "TUS", true,
       [&](const TInputs& I) {
         TText R;
         std::size_t Done = 0;
         for (std::size_t At : Occurrences(I.S, I.T)) {
           R += I.S.substr(Done, At - Done) + I.U;
           Done = At + I.T.size();
         }
         return R + I.S.substr(Done);
       }},
      {"POS", "TS", false,
       [&](const TInputs& I) {
         const auto Found = Occurrences(I.S, I.T);
         return IntToString(Found.empty() ? 0 : static_cast<int32_t>(Found.front()) + 1);
       }},
      {"OCCURS", "TS", false,
       [&](const TInputs& I) { return IntToString(static_cast<int32_t>(Occurrences(I.S, I.T).size())); }},
  };
  const uint32_t Seed = test::TestSeed(20261211);
  SCOPED_TRACE("seed " + std::to_string(Seed) + " (ORV_TEST_SEED repeats it)");
  std::mt19937 Random(Seed);
  auto Pick = [&Random](int32_t Low, int32_t High) {
    return std::uniform_int_distribution<int32_t>(Low, High)(Random);
  };
  auto RandomText = [&](int32_t Longest) {
    TText Text(static_cast<std::size_t>(Pick(0, Longest)), u'a');
    for (char16_t& C : Text) C = u"abx"[Pick(0, 2)];
    return Text;
  };
  TORVExprEvaluator Evaluator(CharacterSetUnicode);
  for (const TCase& Case : Cases) {
    std::u16string Tree = u"(FUNCREF :op " + Utf8ToString(Case.Op);
    Tree += Case.TextResult ? u" :type 1 :len 200" : u" :type 6";
    for (const char* A = Case.Arguments; *A != 0; ++A) {
      Tree += *A == 'N' || *A == 'P' ? u" (DYNPARAMREF :type 6)" : u" (DYNPARAMREF :type 1 :len 20)";
    }
    TORVPartialTree Root(test::ReadTokens(Tree + u")"));
    Evaluator.Initialize(Root.Get());
    for (int32_t Row = 0; Row < 300; ++Row) {
      TInputs Inputs{RandomText(8), RandomText(2), RandomText(3), Pick(-2, 10), Pick(-2, 10)};
      std::string Given;
      for (int32_t K = 0; Case.Arguments[K] != 0; ++K) {
        TORVExprToken* Argument = Root->GetArgument(K);
        Evaluator.GetValue(Argument);
        switch (Case.Arguments[K]) {
          case 'S': Argument->FValue->SetAsString(Inputs.S); break;
          case 'T': Argument->FValue->SetAsString(Inputs.T); break;
          case 'U': Argument->FValue->SetAsString(Inputs.U); break;
          case 'N': Argument->FValue->SetAsInteger(Inputs.N); break;
          default: Argument->FValue->SetAsInteger(Inputs.P); break;
        }
        Given += " '" + StringToUtf8(Argument->FValue->GetAsString()) + "'";
      }
      SCOPED_TRACE(std::string(Case.Op) + Given);
      Evaluator.Evaluate(Root.Get());
      const std::string Expected = (Case.TextResult ? "VarChar " : "Integer ") + StringToUtf8(Case.Model(Inputs));
      ASSERT_EQ(test::ValueText(*Root->FValue), Expected);
    }
    Evaluator.Reset(Root.Get());
  }
}

// RAND(RANGE n) draws every whole number from 0 to n - 1 and nothing else;
// RAND() and RAND with a NULL range draw fractions in [0, 1).
TEST(EvalFunctions, RandStaysInItsRange) {
  test::TORVEvalExpr Range("RAND(RANGE 10)");
  test::TORVEvalExpr Fraction("RAND()");
  TORVPartialTree NullRange(test::ReadTokens(u"(FUNCREF :op RAND :type 8 (CONST :text \"NULL\" :type 6))"));
  struct TCase {
    const char* Name;
    TORVExprToken* Root;
    bool Whole;
  };
  for (const TCase& Case : {TCase{"RAND(RANGE 10)", Range.Root(), true}, TCase{"RAND()", Fraction.Root(), false},
                            TCase{"RAND(RANGE NULL)", NullRange.Get(), false}}) {
    SCOPED_TRACE(Case.Name);
    TORVExprEvaluator Evaluator(CharacterSetUnicode);
    Evaluator.Initialize(Case.Root);
    std::set<double> Seen;
    for (int32_t I = 0; I < 2000; ++I) {
      Evaluator.Evaluate(Case.Root);
      ASSERT_FALSE(Case.Root->FValue->GetNull());
      const double Value = Case.Root->FValue->GetAsDouble();
      ASSERT_GE(Value, 0);
      ASSERT_LT(Value, Case.Whole ? 10 : 1);
      if (Case.Whole) {
        ASSERT_EQ(Value, static_cast<double>(static_cast<int64_t>(Value)));
      }
      Seen.insert(Value);
    }
    if (Case.Whole) {
      EXPECT_EQ(Seen.size(), 10u);
    } else {
      EXPECT_GT(Seen.size(), 1000u);
    }
    Evaluator.Reset(Case.Root);
  }
}

// The clock is read at every evaluation, in local time or UTC, and lies
// between the readings taken around it.
TEST(EvalFunctions, ClockFunctionsReadTheClockAtEveryEvaluation) {
  for (bool UTC : {false, true}) {
    const std::string Suffix = UTC ? "(UTC)" : "";
    SCOPED_TRACE(UTC ? "UTC" : "local");
    test::TORVEvalExpr Stamp("CURRENT_TIMESTAMP" + Suffix);
    test::TORVEvalExpr Date("CURRENT_DATE" + Suffix);
    test::TORVEvalExpr Time("CURRENT_TIME" + Suffix);
    TORVExprEvaluator Evaluator(CharacterSetUnicode);
    for (TORVExprToken* Root : {Stamp.Root(), Date.Root(), Time.Root()}) Evaluator.Initialize(Root);
    int64_t FirstValue = 0;
    for (int32_t Round = 0; Round < 2; ++Round) {
      const int64_t Before = CurrentTimeStamp(UTC);
      Evaluator.Evaluate(Stamp.Root());
      Evaluator.Evaluate(Date.Root());
      Evaluator.Evaluate(Time.Root());
      const int64_t After = CurrentTimeStamp(UTC);
      const int64_t Value = Stamp.Root()->FValue->GetAsTimeStamp();
      EXPECT_GE(Value, Before);
      EXPECT_LE(Value, After);
      const int32_t Day = Date.Root()->FValue->GetAsDate();
      EXPECT_GE(Day, DateFromTimeStamp(Before));
      EXPECT_LE(Day, DateFromTimeStamp(After));
      if (DateFromTimeStamp(Before) == DateFromTimeStamp(After)) {
        const int32_t Moment = Time.Root()->FValue->GetAsTime();
        EXPECT_GE(Moment, TimeFromTimeStamp(Before));
        EXPECT_LE(Moment, TimeFromTimeStamp(After));
      }
      // The node is read again, not kept: once the clock has moved on, so
      // has the second answer.
      if (Round == 1) {
        EXPECT_GT(Value, FirstValue);
      }
      FirstValue = Value;
      while (CurrentTimeStamp(UTC) < After + 2) {
      }
    }
    for (TORVExprToken* Root : {Stamp.Root(), Date.Root(), Time.Root()}) Evaluator.Reset(Root);
  }
}

// CURRENT_GUID is a new GUID at every evaluation, as 38-character text in
// braces.
TEST(EvalFunctions, CurrentGuidIsANewGuidEveryTime) {
  test::TORVEvalExpr Expr("CURRENT_GUID");
  TORVExprEvaluator Evaluator(CharacterSetUnicode);
  Evaluator.Initialize(Expr.Root());
  const std::regex Shape("\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}");
  std::set<std::string> Seen;
  for (int32_t I = 0; I < 100; ++I) {
    Evaluator.Evaluate(Expr.Root());
    const std::string Text = StringToUtf8(Expr.Root()->FValue->GetAsString());
    EXPECT_EQ(Text.size(), 38u);
    EXPECT_TRUE(std::regex_match(Text, Shape)) << Text;
    Seen.insert(Text);
  }
  EXPECT_EQ(Seen.size(), 100u);
  Evaluator.Reset(Expr.Root());
}

// A result that is refused leaves no value behind to be taken for the
// answer: the same node gives its result again for a good row.
TEST(EvalFunctions, RefusedTextIsNeverBuiltAndTheNodeRecovers) {
  TORVPartialTree Tree(test::ReadTokens(
      u"(FUNCREF :op REPEATSTR :type 1 :len 10 (CONST :text \"ab\" :type 1 :len 2) (DYNPARAMREF :type 6))"));
  TORVExprEvaluator Evaluator(CharacterSetUnicode);
  Evaluator.Initialize(Tree.Get());
  Evaluator.Evaluate(Tree.Get());
  TORVExprToken* Count = Tree->GetArgument(1);
  struct TCase {
    int64_t Count;
    const char* Expected;
  };
  for (const TCase& Case : {TCase{3, "VarChar ababab"}, TCase{2000000000, "!1011"}, TCase{1073741824, "!1011"},
                            TCase{-1, "VarChar "}, TCase{2, "VarChar abab"}}) {
    SCOPED_TRACE(Case.Count);
    Count->FValue->SetAsLargeInt(Case.Count);
    std::string Result;
    try {
      Evaluator.Evaluate(Tree.Get());
      Result = test::ValueText(*Tree->FValue);
    } catch (const EORVException& E) {
      Result = "!" + std::to_string(E.ErrorCode());
    }
    EXPECT_EQ(Result, Case.Expected);
  }
  Evaluator.Reset(Tree.Get());
}

}  // namespace
}  // namespace orv
