#include "sql/orvcompiledexpr.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/orverror.h"
#include "core/orvstream.h"
#include "base/orvutf8.h"
#include "sql/orvtokenslots.h"
#include "tests/support/orvsqlfakecatalog.h"
#include "tests/support/orvsqlfakeexpr.h"
#include "tests/support/orvsqltreedump.h"

namespace orv {
namespace {

using test::DumpTokens;
using test::ReadTokens;
using test::TORVFakeCatalog;
using test::TORVFakeCatalogExpr;

struct TTreeDeleter {
  void operator()(TORVExprToken* Token) const { FreeTokens(Token); }
};
using TTree = std::unique_ptr<TORVExprToken, TTreeDeleter>;

class CompiledExprTest : public ::testing::Test {
 protected:
  CompiledExprTest() { Catalog.AddDatabase(u"Main"); }

  TORVFakeCatalog Catalog;
  TORVFakeCatalogExpr Expr{&Catalog, u"Main"};
};

TEST_F(CompiledExprTest, CompileParsesValidatesAndKeepsTheTree) {
  Expr.SetExpression(u"(BINARY :op OR (CONST :text \"1\") (CONST :text \"2\"))");
  EXPECT_FALSE(Expr.GetCompiled());
  Expr.Compile();
  EXPECT_TRUE(Expr.GetCompiled());
  ASSERT_NE(Expr.FTokens, nullptr);
  EXPECT_EQ(DumpTokens(Expr.FTokens), "(BINARY :op OR (CONST :text \"1\") (CONST :text \"2\"))");
  EXPECT_EQ(Expr.ParseCount, 1);
  EXPECT_EQ(Expr.ValidateCount, 1);
  EXPECT_EQ(Expr.CompiledCount, 1);

  Expr.Compile();
  EXPECT_EQ(Expr.ParseCount, 1);
  Expr.Decompile();
  EXPECT_FALSE(Expr.GetCompiled());
  EXPECT_EQ(Expr.FTokens, nullptr);
  EXPECT_EQ(Expr.DecompiledCount, 1);
}

TEST_F(CompiledExprTest, FailedValidationRaises700FreesTheTreeAndStaysUncompiled) {
  Expr.SetExpression(u"(BINARY :op AND (COLUMNREF :name \"x\") (CONST))");
  Expr.OnValidate = [](TORVFakeCatalogExpr& Self) {
    Self.ExpressionError(u"Invalid expression x found, no such column", 2, 5);
  };
  try {
    Expr.Compile();
    FAIL() << "the compile succeeded";
  } catch (const EORVException& Error) {
    EXPECT_EQ(Error.ErrorCode(), 700);
    EXPECT_EQ(Error.ErrorMsg(),
              u"An error was found in the expression at line 2 and column 5 "
              u"(Invalid expression x found, no such column)");
    EXPECT_EQ(Error.ErrorLine(), 2);
    EXPECT_EQ(Error.ErrorColumn(), 5);
  }
  // The partial tree is gone (the sanitizer reports a leak otherwise), its
  // nodes were unbound, and the validater's locks released.
  EXPECT_FALSE(Expr.GetCompiled());
  EXPECT_EQ(Expr.FTokens, nullptr);
  EXPECT_EQ(Expr.Unbound.size(), 3u);
  EXPECT_EQ(Expr.UnlockCount, 1);
  EXPECT_EQ(Expr.CompiledCount, 0);

  // The next use parses again.
  Expr.OnValidate = nullptr;
  Expr.Compile();
  EXPECT_TRUE(Expr.GetCompiled());
  EXPECT_EQ(Expr.ParseCount, 2);
}

TEST_F(CompiledExprTest, SyntaxErrorsReportTheirPositionOrTheEmbeddingOne) {
  struct TCase {
    int32_t StartLine;
    int32_t StartColumn;
    int32_t Line;
    int32_t Column;
  };
  // The reader fails at the "]" on line 2, column 5.
  const TCase Cases[] = {{0, 0, 2, 5}, {10, 0, 10, 5}, {0, 7, 2, 7}, {10, 7, 10, 7}};
  for (const TCase& Case : Cases) {
    TORVFakeCatalogExpr Embedded(&Catalog, u"Main");
    Embedded.SetTypeName(u"view");
    Embedded.FStartLine = Case.StartLine;
    Embedded.FStartColumn = Case.StartColumn;
    Embedded.SetExpression(u"(CLAUSE\n    ])");
    try {
      Embedded.Compile();
      FAIL() << "the compile succeeded";
    } catch (const EORVException& Error) {
      EXPECT_EQ(Error.ErrorCode(), 700);
      EXPECT_EQ(Error.ErrorLine(), Case.Line);
      EXPECT_EQ(Error.ErrorColumn(), Case.Column);
      EXPECT_EQ(Error.ErrorMsg(), FormatString(u"An error was found in the view at line %s and column %s "
                                               u"(Expected ( but instead found ])",
                                               {Utf8ToString(std::to_string(Case.Line)),
                                                Utf8ToString(std::to_string(Case.Column))}));
    }
    EXPECT_FALSE(Embedded.GetCompiled());
    EXPECT_EQ(Embedded.FTokens, nullptr);
  }
}

TEST_F(CompiledExprTest, ParseGivingNoTreeCompilesWithoutValidating) {
  Expr.SetExpression(u"");
  Expr.Compile();
  EXPECT_TRUE(Expr.GetCompiled());
  EXPECT_EQ(Expr.FTokens, nullptr);
  EXPECT_EQ(Expr.ValidateCount, 0);
  EXPECT_EQ(Expr.CompiledCount, 0);
}

TEST_F(CompiledExprTest, ACompileTriggeredFromInsideACompileDoesNothing) {
  Expr.SetExpression(u"(CONST)");
  Expr.OnValidate = [](TORVFakeCatalogExpr& Self) {
    Self.Decompile();
    Self.Compile();
  };
  Expr.Compile();
  EXPECT_TRUE(Expr.GetCompiled());
  EXPECT_EQ(Expr.ParseCount, 1);
  EXPECT_EQ(Expr.DecompiledCount, 0);
}

TEST_F(CompiledExprTest, NewTextDecompilesSameTextKeepsTheTree) {
  Expr.SetExpression(u"(CONST :text \"a\")");
  Expr.Compile();
  TORVExprToken* Tree = Expr.FTokens;
  Expr.SetExpression(u"(CONST :text \"a\")");
  EXPECT_TRUE(Expr.GetCompiled());
  EXPECT_EQ(Expr.FTokens, Tree);
  EXPECT_EQ(Expr.ChangedCount, 1);

  TORVFakeCatalogExpr Before(&Catalog, u"Main");
  Before.SetExpression(Expr.GetExpression());
  Expr.SetExpression(u"(const :TEXT \"A\")");
  EXPECT_FALSE(Expr.GetCompiled());
  EXPECT_EQ(Expr.FTokens, nullptr);
  EXPECT_EQ(Expr.GetExpressionLength(), 17);
  // Only letter case differs: Compare sees the same expression.
  EXPECT_TRUE(Expr.Compare(&Before));
}

TEST_F(CompiledExprTest, CompareIgnoresTrailingBlanksAndLineBreaks) {
  struct TCase {
    const char16_t* A;
    const char16_t* B;
    bool Equal;
  };
  const TCase Cases[] = {
      {u"SELECT a FROM t", u"select A from T", true},
      {u"SELECT a FROM t", u"SELECT a FROM t   \r\n\r\n", true},
      {u"SELECT a FROM t  \r\n  \r\n ", u"SELECT a FROM t", true},
      {u"SELECT a FROM t\n", u"SELECT a FROM t", false},
      {u"SELECT a FROM t", u" SELECT a FROM t", false},
      {u"SELECT a FROM t", u"SELECT a FROM u", false},
  };
  for (const TCase& Case : Cases) {
    TORVCompiledExpr A;
    TORVCompiledExpr B;
    A.SetExpression(Case.A);
    B.SetExpression(Case.B);
    EXPECT_EQ(A.Compare(&B), Case.Equal) << StringToUtf8(Case.A) << " / " << StringToUtf8(Case.B);
  }
}

TEST_F(CompiledExprTest, SaveWritesTheTextAndLoadKeepsATreeOfTheSameText) {
  Expr.SetExpression(u"(CONST :text \"a\")");
  Expr.Compile();
  TORVMemoryStream Stream(1);
  Expr.Save(Stream);

  TORVFakeCatalogExpr Loaded(&Catalog, u"Main");
  Stream.SetPosition(0);
  Loaded.Load(Stream);
  EXPECT_EQ(Loaded.GetExpression(), Expr.GetExpression());
  EXPECT_EQ(Loaded.GetExpressionLength(), Expr.GetExpressionLength());
  EXPECT_EQ(Loaded.ChangedCount, 0);

  TORVExprToken* Tree = Expr.FTokens;
  Stream.SetPosition(0);
  Expr.Load(Stream);
  EXPECT_TRUE(Expr.GetCompiled());
  EXPECT_EQ(Expr.FTokens, Tree);

  TORVMemoryStream Other(1);
  TORVFakeCatalogExpr Different(&Catalog, u"Main");
  Different.SetExpression(u"(CONST :text \"b\")");
  Different.Save(Other);
  Other.SetPosition(0);
  Expr.Load(Other);
  EXPECT_FALSE(Expr.GetCompiled());
  EXPECT_EQ(Expr.FTokens, nullptr);
  EXPECT_EQ(Expr.GetExpression(), u"(CONST :text \"b\")");
  EXPECT_EQ(Expr.ChangedCount, 1);
}

TEST_F(CompiledExprTest, SetTokensTakesACopyAndTheTextOfItsParent) {
  TTree Select(ReadTokens(u"(SELECTCOLUMN :text \"a + 1\" (BINARY :op ADD (COLUMNREF :name \"a\") (CONST)))"));
  TORVExprToken* Value = Select->GetArgument(0);
  Expr.SetTokens(Value);
  EXPECT_TRUE(Expr.GetCompiled());
  EXPECT_EQ(Expr.GetExpression(), u"a + 1");
  EXPECT_EQ(Expr.GetExpressionLength(), 5);
  ASSERT_NE(Expr.FTokens, nullptr);
  EXPECT_NE(Expr.FTokens, Value);
  EXPECT_TRUE(CompareTokens(Expr.FTokens, Value));
  EXPECT_EQ(Expr.ChangedCount, 0);

  Expr.SetTokens(Select.get());
  EXPECT_EQ(Expr.GetExpression(), u"");
  EXPECT_TRUE(Expr.GetCompiled());

  Expr.SetTokens(nullptr);
  EXPECT_FALSE(Expr.GetCompiled());
  EXPECT_EQ(Expr.FTokens, nullptr);
  EXPECT_EQ(Expr.GetExpressionLength(), 0);
}

TEST_F(CompiledExprTest, ClearUnbindsChildrenBeforeTheirParent) {
  Expr.SetExpression(
      u"(BINARY :op EQ (COLUMNREF :name \"a\") (FUNCREF :name \"f\" (CONST :name \"b\") nil (CONST :name \"c\")))");
  Expr.Compile();
  std::vector<std::string> Order;
  Expr.OnUnbind = [&Order](TORVExprToken* Token) {
    Order.push_back(Token->FName.empty() ? test::TokenTypeName(Token->FTokenType) : StringToUtf8(Token->FName));
  };
  Expr.Clear();
  EXPECT_EQ(Order, (std::vector<std::string>{"a", "b", "c", "f", "BINARY"}));
  EXPECT_EQ(Expr.FTokens, nullptr);
}

TEST_F(CompiledExprTest, AFailingUnbindStillFreesTheWholeTree) {
  Expr.SetExpression(u"(FUNCREF (CONST) (CONST) (CONST))");
  Expr.Compile();
  int32_t Calls = 0;
  Expr.OnUnbind = [&Calls](TORVExprToken*) {
    ++Calls;
    throw EORVException(700, u"unbind failed");
  };
  EXPECT_THROW(Expr.Clear(), EORVException);
  EXPECT_EQ(Calls, 4);
  EXPECT_EQ(Expr.FTokens, nullptr);
  Expr.OnUnbind = nullptr;
}

TEST_F(CompiledExprTest, ClearOfADeepTreeUnbindsEveryNode) {
  constexpr int32_t Depth = 100000;
  TORVExprToken* Root = new TORVExprToken();
  for (int32_t I = 0; I < Depth; ++I) {
    auto* Node = new TORVExprToken();
    Node->FTokenType = ttUNARY;
    Node->FTokenOperator = toNOT;
    Node->SetLeftToken(Root);
    Root = Node;
  }
  Expr.SetTokens(Root);
  FreeTokens(Root);
  Expr.Clear();
  EXPECT_EQ(Expr.Unbound.size(), static_cast<size_t>(Depth + 1));
}

TEST_F(CompiledExprTest, AssignTakesTheCompiledStateOnlyWithReferences) {
  Expr.SetExpression(u"(CONST :text \"a\")");
  Expr.Compile();

  TORVFakeCatalogExpr WithReferences(&Catalog, u"Main");
  WithReferences.Assign(&Expr, true);
  EXPECT_TRUE(WithReferences.GetCompiled());
  EXPECT_EQ(WithReferences.GetExpression(), Expr.GetExpression());
  ASSERT_NE(WithReferences.FTokens, nullptr);
  EXPECT_NE(WithReferences.FTokens, Expr.FTokens);
  EXPECT_TRUE(CompareTokens(WithReferences.FTokens, Expr.FTokens));

  TORVFakeCatalogExpr Plain(&Catalog, u"Main");
  Plain.SetExpression(u"(CONST :text \"old\")");
  Plain.Compile();
  Plain.Assign(&Expr, false);
  EXPECT_FALSE(Plain.GetCompiled());
  EXPECT_EQ(Plain.FTokens, nullptr);
  EXPECT_EQ(Plain.GetExpression(), Expr.GetExpression());
  Plain.Compile();
  EXPECT_EQ(DumpTokens(Plain.FTokens), "(CONST :text \"a\")");
}

TEST(CompiledExprBase, CallbacksAnswerNothingKnownAndTheFirstFromTable) {
  TORVCompiledExpr Expr;
  EXPECT_EQ(Expr.GetTypeName(), u"expression");
  EXPECT_EQ(Expr.FLineTerm, u';');
  Expr.SetTokens(nullptr);
  TTree Query(ReadTokens(
      u"(QUERY (CLAUSE) (CLAUSE) (CLAUSE :op ALL (SELECTCOLUMN (COLUMNREF :name \"a\"))) nil nil nil"
      u" (CLAUSE (TABLEREF :name \"t\" :source \"S\" :db \"D\") (TABLEREF :name \"u\"))"
      u" (CLAUSE (FUNCREF (COLUMNREF :name \"b\") (SELECTCOLUMNREF))) nil nil nil nil)"));
  TORVExprToken* Column = Query->GetArgument(QueryWhereSlot)->GetArgument(0)->GetArgument(0);
  TORVExprToken* NotAColumn = Query->GetArgument(QueryWhereSlot)->GetArgument(0)->GetArgument(1);
  TORVString Name = u"stale";
  Expr.DefaultDatabaseName(Column, Name);
  EXPECT_EQ(Name, u"D");
  Expr.DefaultDatabaseName(NotAColumn, Name);
  EXPECT_EQ(Name, u"");
  Expr.DefaultSchemaName(NotAColumn, Name);
  EXPECT_EQ(Name, u"S");
  Expr.DefaultTableName(Column, Name);
  EXPECT_EQ(Name, u"t");
  Expr.DefaultTableName(Query.get(), Name);
  EXPECT_EQ(Name, u"");

  EXPECT_EQ(Expr.GetFunctionParamToken(u"f", 0), nullptr);
  EXPECT_FALSE(Expr.ColumnExists(Query->GetArgument(QueryFromSlot)->GetArgument(0), Column));
  EXPECT_FALSE(Expr.TextIndexExists(Column));
  EXPECT_EQ(Expr.GetRowSize(), 0);
  EXPECT_EQ(Expr.GetRowCount(), 0);
  EXPECT_EQ(Expr.Build(nullptr, false, false, false), u"");

  Column->FTokenOperator = toDESC;
  Expr.CheckForRowColumn(Column);
  EXPECT_EQ(Column->FTokenOperator, toNONE);

  TORVExprToken Condition;
  Condition.FOptimizeType = 2;
  Condition.FOptimizeCount = 5;
  Condition.FOptimizeCost = 9;
  Condition.FOptimizeName = u"t.i";
  Condition.FOptimizeHintName = u"a";
  Expr.SetOptimization(&Condition);
  EXPECT_EQ(Condition.FOptimizeType, 0);
  EXPECT_EQ(Condition.FOptimizeCount, 0);
  EXPECT_EQ(Condition.FOptimizeCost, 0);
  EXPECT_EQ(Condition.FOptimizeName, u"");
  EXPECT_EQ(Condition.FOptimizeHintName, u"");
}

TEST(CompiledExprBase, LinkedColumnsAreThoseBoundToAnotherTable) {
  TORVExprToken Target;
  TORVExprToken Other;
  TORVCompiledExpr Expr;
  TTree Tree(ReadTokens(
      u"(BINARY :op AND (BINARY :op EQ (COLUMNREF :name \"own\") (COLUMNREF :name \"other\"))"
      u" (EXTBINARY :op IN (LINKEDCOLUMNREF :name \"was\") (FUNCREF (COLUMNREF :name \"unbound\"))))"));
  Expr.SetTokens(Tree.get());
  TORVExprToken* Eq = Expr.FTokens->GetLeftToken();
  TORVExprToken* In = Expr.FTokens->GetRightToken();
  Eq->GetLeftToken()->FSourceToken = &Target;
  Eq->GetRightToken()->FSourceToken = &Other;
  In->GetArgument(0)->FSourceToken = &Target;
  TORVExprToken* Unbound = In->GetArgument(1)->GetArgument(0);

  Expr.SetupLinkedColumns(&Target);
  EXPECT_EQ(Eq->GetLeftToken()->FTokenType, ttCOLUMNREF);
  EXPECT_EQ(Eq->GetRightToken()->FTokenType, ttLINKEDCOLUMNREF);
  EXPECT_EQ(In->GetArgument(0)->FTokenType, ttCOLUMNREF);
  EXPECT_EQ(Unbound->FTokenType, ttCOLUMNREF);

  Expr.SetupLinkedColumns(nullptr);
  EXPECT_EQ(Eq->GetRightToken()->FTokenType, ttCOLUMNREF);
}

TEST(CompiledExprBase, ResetBitmapsFreesTheBitmapsOfTheCondition) {
  TORVCompiledExpr Expr;
  TTree Tree(ReadTokens(u"(BINARY :op OR (BINARY :op EQ (COLUMNREF) (CONST)) (EXTBINARY :op ISNULL (COLUMNREF)))"));
  Expr.SetTokens(Tree.get());
  TORVExprToken* Root = Expr.FTokens;
  std::vector<TORVExprToken*> Nodes{Root, Root->GetLeftToken(), Root->GetLeftToken()->GetLeftToken(),
                                    Root->GetRightToken(), Root->GetRightToken()->GetArgument(0)};
  for (TORVExprToken* Node : Nodes) Node->CheckBitmap();
  Expr.ResetBitmaps();
  for (TORVExprToken* Node : Nodes) EXPECT_EQ(Node->FBitmap, nullptr);
}

}  // namespace
}  // namespace orv
