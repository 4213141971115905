#include "sql/orvtreeutil.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "base/orvutf8.h"
#include "sql/orvexprcatalog.h"
#include "sql/orvparser.h"
#include "sql/orvtokenslots.h"
#include "tests/support/orvsqlfakecatalog.h"
#include "tests/support/orvsqlfakeexpr.h"
#include "tests/support/orvsqltreedump.h"
#include "tests/support/orvtestseed.h"

namespace orv {
namespace {

using namespace orv::test;

// A filter condition parsed from SQL (unvalidated: names stay column
// references), as the cursors' filters compile theirs.
class ConditionTest : public ::testing::Test {
 protected:
  ConditionTest() {
    Catalog.AddDatabase(u"Main");
    Filter.OnParse = [this](TORVFakeCatalogExpr& Self) {
      TORVExprParser Parser;
      return ParseExprWithOptions(Parser, Self, Options);
    };
  }

  void Compile(const std::string& Sql) {
    Filter.SetExpression(Utf8ToString(Sql));
    Filter.Compile();
  }
  // The text is a whole query from now on.
  void ParseQueries() {
    Filter.OnParse = [](TORVFakeCatalogExpr& Self) {
      TORVExprParser Parser;
      Parser.Initialize(&Self);
      return Parser.ParseQuery(
          TORVParseOptions{poAllowQueries, poAllowTableQualifier, poAllowSchemaQualifier, poAllowDatabaseQualifier});
    };
  }
  std::string Text() { return StringToUtf8(Filter.Build(nullptr, false, false, false)); }
  std::string Normalized(const std::string& Sql, bool CaseInsensitive = false, bool NoPartialMatch = false) {
    Compile(Sql);
    Filter.Normalize(CaseInsensitive, NoPartialMatch);
    if (Filter.FTokens != nullptr) {
      EXPECT_EQ(Filter.FTokens->FUpperToken, nullptr) << Sql;
    }
    return Text();
  }

  TORVFakeCatalog Catalog;
  TORVFakeFilterExpr Filter{&Catalog, u"Main", u"Customer"};
  TORVParseOptions Options{poAllowParameters, poAllowQueries, poAllowAggregates, poAllowContains};
};

TEST_F(ConditionTest, NormalizePushesNegationsDownAndKeepsThoseThatCannotBePushed) {
  struct TCase {
    const char* Sql;
    const char* Expected;
  } Cases[] = {
      {"NOT (x = 1 OR NOT y > 2)", "\"x\" <> 1 AND \"y\" > 2"},
      {"NOT (a = 1 AND b = 2)", "\"a\" <> 1 OR \"b\" <> 2"},
      {"NOT (a >= 1 AND (b < 2 OR c <= 3))", "\"a\" < 1 OR (\"b\" >= 2 AND \"c\" > 3)"},
      {"NOT (NOT x = 1)", "\"x\" = 1"},
      {"NOT x IN (1, 2)", "\"x\" NOT IN (1, 2)"},
      {"NOT (x IS NULL OR y BETWEEN 1 AND 2)", "\"x\" IS NOT NULL AND \"y\" NOT BETWEEN 1 AND 2"},
      {"NOT (x LIKE 'a%' AND s CONTAINS 'w')", "\"x\" NOT LIKE 'a%' OR \"s\" DOES NOT CONTAIN 'w'"},
      // Nothing below these can take the negation: it must survive.
      {"NOT TRUE", "NOT TRUE"},
      {"NOT INTRANSACTION", "NOT INTRANSACTION"},
      {"NOT CAST(b AS BOOLEAN)", "NOT CAST(\"b\", BOOLEAN)"},
      {"NOT ?", "NOT ?"},
      {"NOT b", "NOT \"b\""},
      {"NOT (x = 1 AND b)", "\"x\" <> 1 OR NOT \"b\""},
      {"NOT (NOT TRUE)", "TRUE"},
      {"NOT (x + 1)", "NOT (\"x\" + 1)"},
      // A sign is no condition (validation refuses it); it goes without a
      // leak.
      {"-b", "\"b\""},
      // Operands are moved to the left of their comparisons.
      {"5 < Qty", "\"Qty\" > 5"},
      {"5 >= Qty AND 1 = 2", "\"Qty\" <= 5 AND 1 = 2"},
      {"NOT (5 < Qty)", "\"Qty\" <= 5"},
  };
  for (const TCase& Case : Cases) EXPECT_EQ(Normalized(Case.Sql), Case.Expected) << Case.Sql;
}

TEST_F(ConditionTest, NormalizeMakesTrailingWildcardsAPrefixMatch) {
  EXPECT_EQ(Normalized("Name = 'Sm*'", true), "\"Name\" = 'Sm'");
  EXPECT_EQ(Filter.FTokens->FPartialLength, 2);
  EXPECT_TRUE(Filter.FTokens->GetLeftToken()->GetIgnoreCase());

  EXPECT_EQ(Normalized("'Sm**' = Name"), "\"Name\" = 'Sm'");
  EXPECT_EQ(Filter.FTokens->FPartialLength, 2);
  EXPECT_FALSE(Filter.FTokens->GetLeftToken()->GetIgnoreCase());

  EXPECT_EQ(Normalized("Name = 'Sm*'", true, true), "\"Name\" = 'Sm*'");
  EXPECT_EQ(Filter.FTokens->FPartialLength, 0);
  EXPECT_TRUE(Filter.FTokens->GetLeftToken()->GetIgnoreCase());

  // A wildcard inside the text is no prefix match; other comparisons keep
  // their constant.
  EXPECT_EQ(Normalized("Name = 'S*m*'"), "\"Name\" = 'S*m*'");
  EXPECT_EQ(Normalized("Name > 'Sm*'"), "\"Name\" > 'Sm*'");
  EXPECT_EQ(Filter.FTokens->FPartialLength, 0);

  EXPECT_EQ(Normalized("Name = '*'"), "\"Name\" IS NOT NULL");
  EXPECT_EQ(Normalized("Name = '**' AND x = 1"), "\"Name\" IS NOT NULL AND \"x\" = 1");
  // Its negation asks for the rows without a value, also through NOT.
  EXPECT_EQ(Normalized("Name <> '*'"), "\"Name\" IS NULL");
  EXPECT_EQ(Normalized("NOT Name = '*'"), "\"Name\" IS NULL");
  EXPECT_EQ(Normalized("NOT Name = 'Sm*'"), "\"Name\" <> 'Sm'");
  EXPECT_EQ(Filter.FTokens->FPartialLength, 2);
}

TEST_F(ConditionTest, NormalizeSetsIgnoreCaseOnExtendedOperators) {
  Compile("Name LIKE 'a%'");
  Filter.Normalize(true, false);
  EXPECT_TRUE(Filter.FTokens->GetArgument(0)->GetIgnoreCase());
}

TEST_F(ConditionTest, RenameSymbolsReplacesEveryPlaceFromTheEndAndLeavesOtherNamesAlone) {
  ParseQueries();
  Filter.SetExpression(u"SELECT * FROM Old a, Old b, Old2 c");
  Filter.RenameSymbols(ttTABLEREF, u"Old", u"Longer");
  EXPECT_EQ(Filter.GetExpression(), u"SELECT * FROM Longer a, Longer b, Old2 c");
  EXPECT_EQ(Filter.GetExpressionLength(), static_cast<int32_t>(Filter.GetExpression().size()));
  const TORVExprToken* From = Filter.FTokens->GetArgument(QueryFromSlot);
  EXPECT_EQ(From->GetArgument(0)->FName, u"Longer");
  EXPECT_EQ(From->GetArgument(1)->FName, u"Longer");
  EXPECT_EQ(From->GetArgument(2)->FName, u"Old2");

  Filter.SetExpression(u"SELECT * FROM \"Old\" a, Main.Old b");
  Filter.RenameSymbols(ttTABLEREF, u"old", u"Z");
  EXPECT_EQ(Filter.GetExpression(), u"SELECT * FROM \"Z\" a, Main.Z b");
}

TEST_F(ConditionTest, RenameSymbolsPatchesNestedCallsWhateverTheTreeOrder) {
  Filter.SetExpression(u"Old(Old(1)) + Old2(2)");
  Filter.RenameSymbols(ttFUNCREF, u"Old", u"Longer");
  EXPECT_EQ(Filter.GetExpression(), u"Longer(Longer(1)) + Old2(2)");
  Filter.RenameSymbols(ttFUNCREF, u"Longer", u"L");
  EXPECT_EQ(Filter.GetExpression(), u"L(L(1)) + Old2(2)");
}

TEST_F(ConditionTest, RenameSymbolsReplacesACopiedNodeOnce) {
  // The operand of a simple CASE is copied into every condition.
  Filter.SetExpression(u"CASE Old WHEN 1 THEN 2 WHEN 3 THEN 4 END");
  Filter.RenameSymbols(ttCOLUMNREF, u"Old", u"Newer");
  EXPECT_EQ(Filter.GetExpression(), u"CASE Newer WHEN 1 THEN 2 WHEN 3 THEN 4 END");
}

TEST(TreeUtil, OperatorTablesReverseAndFlip) {
  struct TCase {
    TORVTokenOperator Operator, Reversed, Flipped;
  } Cases[] = {{toEQ, toEQ, toNE}, {toNE, toNE, toEQ}, {toGE, toLE, toLT}, {toGT, toLT, toLE},
               {toLE, toGE, toGT}, {toLT, toGT, toGE}, {toAND, toAND, toOR}, {toOR, toOR, toAND},
               {toADD, toADD, toADD}};
  for (const TCase& Case : Cases) {
    TORVExprToken Token;
    Token.FTokenOperator = Case.Operator;
    ReverseBinaryOperator(&Token);
    EXPECT_EQ(Token.FTokenOperator, Case.Reversed);
    Token.FTokenOperator = Case.Operator;
    FlipBinaryOperator(&Token);
    EXPECT_EQ(Token.FTokenOperator, Case.Flipped);
  }
  TORVExprToken Ext;
  for (auto [From, To] : {std::pair{toBETWEEN, toNOTBETWEEN}, {toNOTCONTAINSANY, toCONTAINSANY},
                          {toISNULL, toISNOTNULL}, {toNOTLIKE, toLIKE}, {toIN, toNOTIN}}) {
    Ext.FTokenOperator = From;
    FlipExtBinaryOperator(&Ext);
    EXPECT_EQ(Ext.FTokenOperator, To);
  }
  EXPECT_EQ(EvaluateAndOptimizeTypes(2, 2), 2);
  EXPECT_EQ(EvaluateAndOptimizeTypes(2, 0), 1);
  EXPECT_EQ(EvaluateOrOptimizeTypes(2, false, 0, false), 0);
  EXPECT_EQ(EvaluateOrOptimizeTypes(0, false, 2, true), 1);
  EXPECT_EQ(EvaluateOrOptimizeTypes(1, false, 1, false), 1);
}

TEST_F(ConditionTest, PredicatesAndPositionsFollowOperandsButNotSubQueries) {
  Compile("a + 1 = 2 AND UPPER(b) IN (c, 'x') OR EXISTS(SELECT d FROM t)");
  TORVExprToken* Root = Filter.FTokens;
  EXPECT_TRUE(ContainsColumns(Root));
  EXPECT_TRUE(ContainsQueries(Root));
  EXPECT_FALSE(ContainsAggregates(Root));
  EXPECT_FALSE(ContainsColumns(Root->GetRightToken()));  // the columns of the sub-query are not seen
  std::string Columns;
  for (TORVExprToken* Column = GetColumnToken(Root, nullptr); Column != nullptr;
       Column = GetColumnToken(Root, Column)) {
    Columns += StringToUtf8(Column->FName);
  }
  EXPECT_EQ(Columns, "abc");
  EXPECT_EQ(GetLeftMostToken(Root)->FName, u"a");

  Compile("COUNT(x) > 1 AND y = ?");
  EXPECT_TRUE(ContainsAggregates(Filter.FTokens));
  EXPECT_FALSE(ContainsInputParams(Filter.FTokens));  // an unbound parameter
  EXPECT_TRUE(ContainsAllColumnReferences(Filter.FTokens->GetRightToken()->GetLeftToken()));
  EXPECT_FALSE(ContainsAllColumnReferences(Filter.FTokens->GetLeftToken()->GetLeftToken()));
}

// Random conditions under a query of three FROM tables, whose column
// references are bound to those tables, to a table of an outer query or to
// none, and lie in the text in walk order or in any order (as after
// operands were exchanged), against the column-by-column walks: the column
// list, and every pair of columns that an operator combines.
class ColumnWalkModel {
 public:
  explicit ColumnWalkModel(uint32_t Seed) : FRandom(Seed) {
    FOuter.FTokenType = ttQUERY;
    FOuterTable.FTokenType = ttTABLEREF;
    FOuterTable.FUpperToken = &FOuter;
    FQuery.FTokenType = ttQUERY;
    FQuery.FUpperToken = &FOuter;
    for (TORVExprToken& Table : FTables) {
      Table.FTokenType = ttTABLEREF;
      Table.FUpperToken = &FQuery;
    }
  }

  // A condition hanging under the query; free it with Release.
  TORVExprToken* Make(bool InOrder) {
    FInOrder = InOrder;
    FNextColumn = 1;
    TORVExprToken* Root = Node(0);
    Root->FUpperToken = &FQuery;
    return Root;
  }
  static void Release(TORVExprToken* Root) {
    Root->FUpperToken = nullptr;
    FreeTokens(Root);
  }

  // Every column reference GetColumnToken gives, one after the other.
  static std::vector<TORVExprToken*> ColumnByColumn(TORVExprToken* Token) {
    std::vector<TORVExprToken*> Result;
    for (TORVExprToken* Column = GetColumnToken(Token, nullptr); Column != nullptr;
         Column = GetColumnToken(Token, Column))
      Result.push_back(Column);
    return Result;
  }

  // Every pair of columns of two operands (a binary operator other than a
  // comparison), or of the first argument with columns and a later one,
  // bound to two different tables of Token's query.
  static bool PairByPair(TORVExprToken* Token) {
    if (Token == nullptr) return false;
    TORVExprToken* Query = GetParentQueryToken(Token);
    auto Combine = [Query](TORVExprToken* Left, TORVExprToken* Right) {
      for (TORVExprToken* A : ColumnByColumn(Left)) {
        for (TORVExprToken* B : ColumnByColumn(Right)) {
          if (A->FSourceToken != nullptr && B->FSourceToken != nullptr && A->FSourceToken != B->FSourceToken &&
              GetParentQueryToken(A->FSourceToken) == Query && GetParentQueryToken(B->FSourceToken) == Query)
            return true;
        }
      }
      return false;
    };
    if (Token->FTokenType == ttBINARY) {
      if (PairByPair(Token->GetLeftToken()) || PairByPair(Token->GetRightToken())) return true;
      return !IsComparisonOperator(Token->FTokenOperator) && Combine(Token->GetLeftToken(), Token->GetRightToken());
    }
    if (Token->FTokenType == ttUNARY) return PairByPair(Token->GetLeftToken());
    if (Token->FTokenType != ttEXTBINARY && Token->FTokenType != ttFUNCREF && Token->FTokenType != ttROWVALUE)
      return false;
    for (int32_t I = 0; I < Token->GetNumArguments(); ++I)
      if (PairByPair(Token->GetArgument(I))) return true;
    int32_t First = 0;
    while (First < Token->GetNumArguments() && !ContainsColumns(Token->GetArgument(First))) ++First;
    for (int32_t I = First + 1; I < Token->GetNumArguments(); ++I)
      if (Combine(Token->GetArgument(First), Token->GetArgument(I))) return true;
    return false;
  }

 private:
  int32_t Pick(int32_t Count) { return std::uniform_int_distribution<int32_t>(0, Count - 1)(FRandom); }

  TORVExprToken* Node(int32_t Depth) {
    auto* Token = new TORVExprToken();
    const int32_t Kind = Depth >= 5 ? 5 + Pick(2) : Pick(7);
    static constexpr TORVTokenOperator BinaryOperators[] = {toAND, toOR, toEQ, toADD};
    switch (Kind) {
      case 0:
      case 1:
        Token->FTokenType = ttBINARY;
        Token->FTokenOperator = BinaryOperators[Pick(4)];
        Token->SetLeftToken(Node(Depth + 1));
        Token->SetRightToken(Node(Depth + 1));
        break;
      case 2:
        Token->FTokenType = ttUNARY;
        Token->FTokenOperator = toNOT;
        Token->SetLeftToken(Node(Depth + 1));
        break;
      case 3:
      case 4: {
        static constexpr TORVTokenType ArgumentTypes[] = {ttEXTBINARY, ttFUNCREF, ttROWVALUE};
        Token->FTokenType = ArgumentTypes[Pick(3)];
        const int32_t Count = 1 + Pick(4);
        for (int32_t I = 0; I < Count; ++I) Token->AddArgument(Pick(6) == 0 ? nullptr : Node(Depth + 1));
        break;
      }
      case 5: {
        Token->FTokenType = ttCOLUMNREF;
        Token->FLine = 1;
        Token->FCol = FInOrder ? FNextColumn++ : 1 + Pick(8);
        const int32_t Source = Pick(6);
        Token->FSourceToken = Source < 3 ? &FTables[Source] : (Source == 3 ? &FOuterTable : nullptr);
        break;
      }
      default:
        Token->FTokenType = ttCONST;
        break;
    }
    return Token;
  }

  std::mt19937 FRandom;
  TORVExprToken FOuter;
  TORVExprToken FOuterTable;
  TORVExprToken FQuery;
  TORVExprToken FTables[3];
  bool FInOrder = true;
  int32_t FNextColumn = 1;
};

TEST(TreeUtil, ColumnListsAndTableCombinationsMatchTheColumnByColumnWalks) {
  const uint32_t Seed = TestSeed(4021);
  SCOPED_TRACE("seed " + std::to_string(Seed));
  ColumnWalkModel Model(Seed);
  int32_t Combined = 0;
  for (int32_t Round = 0; Round < 3000; ++Round) {
    TORVExprToken* Root = Model.Make(Round % 2 == 0);
    // Every sub-tree, as the validater asks about the operands too.
    std::vector<TORVExprToken*> Stack{Root};
    while (!Stack.empty()) {
      TORVExprToken* Next = Stack.back();
      Stack.pop_back();
      EXPECT_EQ(ColumnsOf(Next), ColumnWalkModel::ColumnByColumn(Next)) << "round " << Round;
      const bool Expected = ColumnWalkModel::PairByPair(Next);
      EXPECT_EQ(ReferencesMultipleTables(Next), Expected) << "round " << Round;
      if (Expected) ++Combined;
      if (Next->GetLeftToken() != nullptr) Stack.push_back(Next->GetLeftToken());
      if (Next->GetRightToken() != nullptr) Stack.push_back(Next->GetRightToken());
      for (int32_t I = 0; I < Next->GetNumArguments(); ++I)
        if (Next->GetArgument(I) != nullptr) Stack.push_back(Next->GetArgument(I));
    }
    ColumnWalkModel::Release(Root);
    if (HasFailure()) break;
  }
  // Both answers came up often enough to tell the two apart.
  EXPECT_GT(Combined, 100);
}

TEST_F(ConditionTest, SwitchTokensExchangesOperandsOfTwoParents) {
  Compile("(a = 1 AND b = 2) AND (c = 3 AND d = 4)");
  TORVExprToken* Root = Filter.FTokens;
  TORVExprToken* A = Root->GetLeftToken()->GetLeftToken();
  TORVExprToken* D = Root->GetRightToken()->GetRightToken();
  SwitchTokens(A, D);
  EXPECT_EQ(Root->GetLeftToken()->GetLeftToken(), D);
  EXPECT_EQ(Root->GetRightToken()->GetRightToken(), A);
  EXPECT_EQ(A->FUpperToken, Root->GetRightToken());
  EXPECT_EQ(D->FUpperToken, Root->GetLeftToken());
}

TEST_F(ConditionTest, QueryPredicatesReadTheirClauses) {
  ParseQueries();
  Filter.SetExpression(u"SELECT a FROM t, u WHERE a = 1 NOJOINOPTIMIZE JOININDEXTHRESHHOLD 150");
  Filter.Compile();
  const TORVExprToken* Query = Filter.FTokens;
  EXPECT_TRUE(ContainsMultipleTables(Query));
  EXPECT_TRUE(ContainsWhereClause(Query));
  EXPECT_TRUE(ContainsNoJoinOptimizeClause(Query));
  EXPECT_FALSE(ContainsJoinOptimizeCostsClause(Query));
  EXPECT_TRUE(ContainsJoinIndexThreshholdClause(Query));
  EXPECT_DOUBLE_EQ(GetJoinIndexThreshhold(Query), 1.5);
  TORVExprToken* Column = Query->GetArgument(QuerySelectSlot)->GetArgument(0);
  EXPECT_EQ(GetParentQueryToken(Column), Query);
  EXPECT_EQ(GetOuterQueryToken(Column), Query);
  EXPECT_EQ(GetParentBlockToken(Column), nullptr);

  Filter.SetExpression(u"SELECT a FROM t");
  Filter.Compile();
  EXPECT_FALSE(ContainsMultipleTables(Filter.FTokens));
  EXPECT_FALSE(ContainsWhereClause(Filter.FTokens));
  EXPECT_DOUBLE_EQ(GetJoinIndexThreshhold(Filter.FTokens), 0.0);
}

// A parsed query whose qualified column references are bound by hand to
// the FROM table they name, as the validater binds them.
class JoinListTest : public ConditionTest {
 protected:
  TORVExprToken* Query(const std::string& Sql) {
    ParseQueries();
    Filter.SetExpression(Utf8ToString(Sql));
    Filter.Compile();
    TORVExprToken* Root = Filter.FTokens;
    SetTablePositions(Root, true);
    std::vector<TORVExprToken*> Stack{Root};
    while (!Stack.empty()) {
      TORVExprToken* Node = Stack.back();
      Stack.pop_back();
      if (Node == nullptr) continue;
      if (Node->FTokenType == ttCOLUMNREF && !Node->FSourceName.empty()) Node->FSourceToken = Table(Node->FSourceName);
      Stack.push_back(Node->GetLeftToken());
      Stack.push_back(Node->GetRightToken());
      for (int32_t I = 0; I < Node->GetNumArguments(); ++I) Stack.push_back(Node->GetArgument(I));
    }
    return Root;
  }
  TORVExprToken* Table(const TORVString& Name) {
    TORVExprToken* From = SlotOf(Filter.FTokens, QueryFromSlot);
    for (int32_t I = 0; I < From->GetNumArguments(); ++I) {
      if (From->GetArgument(I)->FName == Name) return From->GetArgument(I);
    }
    return nullptr;
  }
  TORVExprToken* Joins(const TORVString& Name) { return SlotOf(Table(Name), TableRefJoinsSlot); }
  // The FROM tables in order, each with its joins as operator>target.
  std::string Layout() {
    std::string Result;
    TORVExprToken* From = SlotOf(Filter.FTokens, QueryFromSlot);
    for (int32_t I = 0; I < From->GetNumArguments(); ++I) {
      const TORVExprToken* T = From->GetArgument(I);
      EXPECT_EQ(T->FPosition, I);
      Result += (I > 0 ? " " : "") + StringToUtf8(T->FName) + "[";
      const TORVExprToken* List = SlotOf(T, TableRefJoinsSlot);
      for (int32_t J = 0; J < List->GetNumArguments(); ++J) {
        const TORVExprToken* Join = List->GetArgument(J);
        Result += (J > 0 ? " " : "") + TokenOperatorName(Join->FTokenOperator) + ">" +
                  StringToUtf8(Join->FTargetToken->FName);
      }
      Result += "]";
    }
    return Result;
  }
};

TEST_F(JoinListTest, JoinTargetsAreFoundThroughTheJoinListsAndBackAlongInnerJoins) {
  TORVExprToken* Q = Query("SELECT * FROM a JOIN b ON a.x = b.x LEFT OUTER JOIN c ON b.y = c.y JOIN d ON c.z = d.z");
  EXPECT_EQ(Layout(), "a[INNERJOIN>b] b[LEFTOUTERJOIN>c] c[INNERJOIN>d] d[]");
  EXPECT_EQ(GetParentTableToken(Q, toLEFTOUTERJOIN, Table(u"c")), Table(u"b"));
  EXPECT_EQ(GetParentTableToken(Q, toINNERJOIN, Table(u"c")), nullptr);
  EXPECT_TRUE(TargetOfInnerJoin(Q, Table(u"b")));
  EXPECT_FALSE(TargetOfInnerJoin(Q, Table(u"c")));
  // d is inner-joined from c, the target of the outer join.
  EXPECT_TRUE(TargetOfOuterJoin(Q, toLEFTOUTERJOIN, Table(u"d")));
  EXPECT_FALSE(TargetOfOuterJoin(Q, toLEFTOUTERJOIN, Table(u"b")));
  TORVExprToken* ToB = Joins(u"a")->GetArgument(0);
  EXPECT_FALSE(TargetOfJoin(Q, ToB, Table(u"b")));
  EXPECT_TRUE(TargetOfJoin(Q, nullptr, Table(u"b")));
  EXPECT_TRUE(JoinDependsUponTable(ToB, Table(u"a")));
  EXPECT_FALSE(JoinDependsUponTable(ToB, Table(u"c")));
  EXPECT_TRUE(ValidateTablePositions(Q));
}

TEST_F(JoinListTest, AnInnerJoinGoesAfterWhatItNeedsOrInFrontOfTheFirstOuterJoin) {
  Query("SELECT * FROM a LEFT OUTER JOIN b ON a.x = b.x JOIN c ON a.y = c.y JOIN d ON b.z = d.z");
  EXPECT_EQ(Layout(), "a[LEFTOUTERJOIN>b] b[INNERJOIN>c] c[INNERJOIN>d] d[]");
  // Where each join would go in a's list: c needs only a, d needs b.
  EXPECT_EQ(GetJoinPosition(Table(u"a"), Joins(u"b")->GetArgument(0)), 0);
  EXPECT_EQ(GetJoinPosition(Table(u"a"), Joins(u"c")->GetArgument(0)), 1);
  EXPECT_EQ(GetJoinPosition(Table(u"d"), Joins(u"c")->GetArgument(0)), 0);
}

TEST_F(JoinListTest, ARightOuterJoinTurnsAroundIntoALeftOuterJoinFromItsTarget) {
  TORVExprToken* Q = Query("SELECT * FROM a RIGHT OUTER JOIN b ON a.x < b.y, c");
  EXPECT_EQ(Layout(), "a[RIGHTOUTERJOIN>b CROSSJOIN>c] b[] c[]");
  ASSERT_TRUE(FlipJoins(Q, toRIGHTOUTERJOIN, Table(u"b"), false));
  EXPECT_EQ(Layout(), "b[LEFTOUTERJOIN>a] a[CROSSJOIN>c] c[]");
  EXPECT_EQ(StringToUtf8(Filter.Build(Joins(u"b")->GetArgument(0)->GetArgument(0), false, false, false)),
            "\"b\".\"y\" > \"a\".\"x\"");
  EXPECT_FALSE(FlipJoins(Q, toRIGHTOUTERJOIN, Table(u"b"), false));
  Q->CheckInvariants();
}

TEST_F(JoinListTest, AJoinMayNotNeedATableThatComesAfterIt) {
  TORVExprToken* Q = Query("SELECT * FROM a JOIN b ON b.x = c.x, c");
  EXPECT_FALSE(ValidateTableJoinPosition(Q, Table(u"a"), Joins(u"a")->GetArgument(0)));
  EXPECT_FALSE(ValidateTablePositions(Q));
  FlipTables(Q, Table(u"b"), Table(u"c"), false);
  EXPECT_EQ(Layout(), "a[INNERJOIN>b CROSSJOIN>c] c[] b[]");
  EXPECT_FALSE(ValidateTablePositions(Q));
  // Moved in front of a, c is in scope.
  FlipTables(Q, Table(u"a"), Table(u"c"), true);
  EXPECT_EQ(Layout(), "c[] a[INNERJOIN>b CROSSJOIN>c] b[]");
  EXPECT_TRUE(ValidateTablePositions(Q));
}

}  // namespace
}  // namespace orv
