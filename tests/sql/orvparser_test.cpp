#include "sql/orvparser.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <span>
#include <string>

#include "base/orverror.h"
#include "core/orvstrings.h"
#include "base/orvutf8.h"
#include "sql/orvcompiledexpr.h"
#include "sql/orvconsts.h"

namespace orv {
namespace {

std::string Utf8(const TORVString& S) { return StringToUtf8(S); }

// A parser bound to an expression holding Text, with the first token read.
struct TParserFixture {
  explicit TParserFixture(const TORVString& Text) {
    Expr.SetExpression(Text);
    Parser.Initialize(&Expr);
  }
  TORVCompiledExpr Expr;
  TORVExprParser Parser;
};

std::string ErrorOf(const std::function<void()>& Action) {
  try {
    Action();
  } catch (const EORVException& e) {
    EXPECT_EQ(e.ErrorCode(), 700);
    return Utf8(e.ErrorMsg());
  }
  return "no error";
}

TEST(SqlKeywords, ListsAreSortedAndEveryWordIsFoundInAnyCase) {
  auto check = [](std::span<const TORVKeyword> list, std::size_t count) {
    EXPECT_EQ(list.size(), count);
    for (std::size_t i = 0; i < list.size(); ++i) {
      if (i > 0) {
        EXPECT_LT(CompareString(list[i - 1].Word, list[i].Word), 0) << Utf8(TORVString(list[i].Word));
      }
      TORVString lower(list[i].Word);
      for (auto& c : lower) c = static_cast<char16_t>(c >= u'A' && c <= u'Z' ? c + 32 : c);
      EXPECT_EQ(FindKeyword(list, lower), static_cast<int32_t>(i));
    }
    EXPECT_EQ(FindKeyword(list, u"ZZZZ"), -1);
    EXPECT_EQ(FindKeyword(list, u"A"), -1);
    EXPECT_EQ(FindKeyword(list, u""), -1);
  };
  check(FunctionKeywords, 92);
  check(StatementKeywords, 32);
  check(ControlKeywords, 28);
}

// Every operator of each group is reached by some word, except exactly those
// that are made by the grammar itself; no word yields an operator of another
// group.
TEST(SqlKeywords, WordsCoverTheirOperatorGroups) {
  auto covered = [](std::span<const TORVKeyword> list, int first, int last) {
    std::set<int> result;
    for (const auto& k : list) {
      if (k.Operator == toNONE) continue;
      EXPECT_GE(k.Operator, first) << Utf8(TORVString(k.Word));
      EXPECT_LE(k.Operator, last) << Utf8(TORVString(k.Word));
      result.insert(k.Operator);
    }
    std::set<int> missing;
    for (int op = first; op <= last; ++op)
      if (!result.count(op)) missing.insert(op);
    return missing;
  };
  std::set<int> functionsWithoutWord{toCASEOPTION, toCASERESULT, toSUMSQUARE, toUDF};
  for (int op = toEXTRACTDAY; op <= toEXTRACTYEAR; ++op) functionsWithoutWord.insert(op);
  EXPECT_EQ(covered(FunctionKeywords, toABORTED, toUPPER), functionsWithoutWord);
  EXPECT_EQ(covered(StatementKeywords, toALTER, toVERIFYTABLE),
            (std::set<int>{toDELETEFILE, toGRANTPRIVILEGES, toGRANTROLES, toRENAMEFILE, toREVOKEPRIVILEGES,
                           toREVOKEROLES}));
  EXPECT_EQ(covered(ControlKeywords, toABORT, toWHILE),
            (std::set<int>{toEXECUTEIMMEDIATE, toFOR, toRETURN, toSETCACHE, toSETLOGMSG, toSETPROGRESS,
                           toSETSTATUSMSG}));
}

TEST(ExprParser, KeywordLookupsGiveTheWordsOperators) {
  struct TCase {
    const char16_t* Text;
    TORVTokenOperator Function, Statement, Control;
  };
  const TCase cases[] = {
      {u"sum", toSUM, toNONE, toNONE},
      {u"AllTrim", toTRIMBOTH, toNONE, toNONE},
      {u"ceil", toCEILING, toNONE, toNONE},
      {u"char_length", toLENGTH, toNONE, toNONE},
      {u"ln", toLOG, toNONE, toNONE},
      {u"log", toLOG, toNONE, toLOGEVENT},
      {u"log10", toLOG10, toNONE, toNONE},
      {u"if", toIIF, toNONE, toIF},
      {u"case", toICASE, toNONE, toCASE},
      {u"repeat", toREPEATSTR, toNONE, toREPEAT},
      {u"bitset", toNONE, toNONE, toNONE},
      {u"table", toNONE, toSELECT, toNONE},
      {u"set", toNONE, toSETDYN, toSET},
      {u"delete", toNONE, toDELETE, toDELETECURSOR},
      {u"start", toNONE, toNONE, toSTARTTRANS},
      {u"use", toNONE, toNONE, toUSEDB},
      {u"selected", toNONE, toNONE, toNONE},
      // The lookups read the token's value whatever its kind.
      {u"\"SELECT\"", toNONE, toSELECT, toNONE},
      {u"'upper'", toUPPER, toNONE, toNONE},
  };
  for (const auto& c : cases) {
    TParserFixture f(c.Text);
    EXPECT_EQ(f.Parser.LookupFunctionKeyword(), c.Function) << Utf8(c.Text);
    EXPECT_EQ(f.Parser.LookupStatementKeyword(), c.Statement) << Utf8(c.Text);
    EXPECT_EQ(f.Parser.LookupControlKeyword(), c.Control) << Utf8(c.Text);
  }
  TParserFixture quoted(u"\"SELECT\"");
  EXPECT_FALSE(quoted.Parser.CheckSymbol(u"SELECT"));
}

TEST(ExprParser, NewNodesCarryTheCurrentTokensPosition) {
  TParserFixture f(u"IF\n  x > 1");
  f.Parser.MarkControlLine();
  f.Parser.NextToken();  // x on line 2
  TORVPartialTree control(f.Parser.GetNewExprToken(ttCONTROL, toIF));
  TORVPartialTree column(f.Parser.GetNewExprToken(ttCOLUMNREF, toNONE));
  EXPECT_EQ(control->FTokenType, ttCONTROL);
  EXPECT_EQ(control->FTokenOperator, toIF);
  EXPECT_EQ(control->FLine, 1);
  EXPECT_EQ(control->FCol, 3);
  EXPECT_EQ(control->FExprPos, 6);
  EXPECT_EQ(column->FLine, 2);
  EXPECT_EQ(column->FCol, 3);
  EXPECT_EQ(column->FExprPos, 6);
}

TEST(ExprParser, SyntaxErrorsRaiseThroughTheExpression) {
  TORVCompiledExpr expr;
  expr.SetExpression(u"SELECT 'abc");
  TORVExprParser parser;
  try {
    parser.Initialize(&expr);
    parser.NextToken();
    FAIL();
  } catch (const EORVException& e) {
    EXPECT_EQ(e.ErrorCode(), 700);
    EXPECT_EQ(e.ErrorMsg(), u"An error was found in the expression at line 1 and column 11 (Missing ')");
    EXPECT_EQ(e.ErrorLine(), 1);
    EXPECT_EQ(e.ErrorColumn(), 11);
  }
  // An expression embedded in a larger text reports its own start line.
  expr.SetExpression(u"a\n  b");
  expr.FStartLine = 10;
  parser.Initialize(&expr);
  parser.NextToken();
  EXPECT_EQ(ErrorOf([&] { parser.ErrorIfNotSkipToken(u','); }),
            "An error was found in the expression at line 10 and column 3 (Expected , but instead found b)");
}

TEST(ExprParser, NestingBeyondTheLimitIsRefusedNamingTheDepth) {
  TParserFixture f(u"(");
  for (int i = 0; i < MaxParseNestingDepth; ++i) f.Parser.EnterNesting();
  EXPECT_EQ(ErrorOf([&] { f.Parser.EnterNesting(); }),
            "An error was found in the expression at line 1 and column 1 (Invalid expression ( found, nesting "
            "deeper than 1000 levels not allowed)");
  EXPECT_EQ(f.Parser.GetNestingDepth(), MaxParseNestingDepth);
  f.Parser.LeaveNesting();
  {
    TORVParseNesting level(f.Parser);
    EXPECT_EQ(f.Parser.GetNestingDepth(), MaxParseNestingDepth);
  }
  EXPECT_EQ(f.Parser.GetNestingDepth(), MaxParseNestingDepth - 1);
  // A new parse starts at the top level again.
  f.Parser.Initialize(&f.Expr);
  EXPECT_EQ(f.Parser.GetNestingDepth(), 0);
}

TEST(ExprParser, NameParsersTakeAnyWordOrQuotedName) {
  struct TCase {
    TORVExprToken* (TORVExprParser::*Parse)();
    TORVTokenType Type;
    const char* Expected;
  };
  const TCase cases[] = {
      {&TORVExprParser::ParseBackupName, ttBACKUP, "backup name"},
      {&TORVExprParser::ParseDatabaseName, ttDATABASE, "database name"},
      {&TORVExprParser::ParseUpdatesName, ttUPDATES, "updates name"},
      {&TORVExprParser::ParseTextFilterName, ttTEXTFILTER, "text filter name"},
      {&TORVExprParser::ParseWordGeneratorName, ttWORDGEN, "word generator name"},
      {&TORVExprParser::ParseMigratorName, ttMIGRATOR, "migrator name"},
      {&TORVExprParser::ParseModuleName, ttMODULE, "module name"},
      {&TORVExprParser::ParseJobName, ttJOB, "job name"},
      {&TORVExprParser::ParseStoreName, ttSTORE, "store name"},
      {&TORVExprParser::ParseFileName, ttFILE, "file name"},
      {&TORVExprParser::ParseUserName, ttUSER, "user name"},
      {&TORVExprParser::ParseRoleName, ttROLE, "role name"},
      {&TORVExprParser::ParseAuthorizationName, ttAUTHORIZATION, "user or role name"},
      {&TORVExprParser::ParseColumnName, ttCOLUMN, "column name"},
      {&TORVExprParser::ParseConstraintName, ttCONSTRAINT, "constraint name"},
      {&TORVExprParser::ParseViewName, ttVIEW, "view name"},
      {&TORVExprParser::ParseProcedureName, ttPROCEDURE, "procedure name"},
      {&TORVExprParser::ParseFunctionName, ttFUNCTION, "function name"},
      {&TORVExprParser::ParseIndexName, ttINDEX, "index name"},
      {&TORVExprParser::ParseTriggerName, ttTRIGGER, "trigger name"},
      {&TORVExprParser::ParseCursorRef, ttCURSORREF, "cursor name"},
      {&TORVExprParser::ParseParamName, ttPARAM, "parameter name"},
      {&TORVExprParser::ParseVariableName, ttVARIABLE, "variable name"},
      {&TORVExprParser::ParseStatementName, ttSTATEMENT, "statement name"},
      {&TORVExprParser::ParseStatementRef, ttSTATEMENTREF, "statement name"},
  };
  const std::string prefix = "An error was found in the expression at line ";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Expected);
    TParserFixture f(u" \"My \"\"Sales\"\" name\" , select");
    TORVPartialTree quoted((f.Parser.*c.Parse)());
    EXPECT_EQ(quoted->FTokenType, c.Type);
    EXPECT_EQ(quoted->FTokenOperator, toNONE);
    EXPECT_EQ(quoted->FName, u"My \"Sales\" name");
    EXPECT_EQ(quoted->FCol, 2);
    EXPECT_EQ(quoted->FExprPos, 2);
    ASSERT_TRUE(f.Parser.SkipToken(u','));
    // Keywords are not reserved.
    TORVPartialTree word((f.Parser.*c.Parse)());
    EXPECT_EQ(word->FName, u"select");
    EXPECT_TRUE(f.Parser.CheckToken(tkEndOfText));

    TParserFixture number(u"x, 42");
    number.Parser.NextToken();
    EXPECT_EQ(ErrorOf([&] { (number.Parser.*c.Parse)(); }),
              prefix + "1 and column 2 (Expected " + c.Expected + " but instead found ,)");
    TParserFixture empty(u"  ");
    EXPECT_EQ(ErrorOf([&] { (empty.Parser.*c.Parse)(); }),
              prefix + "1 and column 2 (Missing " + c.Expected + ")");
  }
}

// The name token is already made when reading the following token fails;
// it must not be left behind (the sanitizer checks for leaks).
TEST(ExprParser, NameParserFreesItsTokenWhenTheNextTokenRaises) {
  TParserFixture f(u"orders 'never closed");
  EXPECT_EQ(ErrorOf([&] { f.Parser.ParseCursorRef(); }),
            "An error was found in the expression at line 1 and column 20 (Missing ')");
}

}  // namespace
}  // namespace orv
