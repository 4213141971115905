#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "base/orverrors.h"
#include "base/orverror.h"
#include "base/orvutf8.h"
#include "sql/orvbuilder.h"
#include "sql/orvcompiledexpr.h"
#include "sql/orvexprtoken.h"
#include "sql/orvparser.h"
#include "sql/orvparseroptions.h"
#include "sql/orvroutineslots.h"
#include "tests/sql/orvsqlcorpus.h"
#include "tests/support/orvsqltreedump.h"

namespace orv {
namespace {

const TORVParseOptions ScriptOptions{poAllowDatabaseUse, poAllowSchemaQualifier, poAllowTableQualifier,
                                     poAllowCursorReturn, poCheckEndRoutine};

// A parse of a whole text through one entry, kept for the test's lifetime.
struct TRoutineFixture {
  template <typename TParse>
  TRoutineFixture(const std::string& Text, TParse Parse) {
    Expr.SetExpression(Utf8ToString(Text));
    Parser.Initialize(&Expr);
    Tree = Parse(Parser);
  }
  ~TRoutineFixture() { FreeTokens(Tree); }
  TORVCompiledExpr Expr;
  TORVExprParser Parser;
  TORVExprToken* Tree = nullptr;
};

TORVExprToken* ParseScript(TORVExprParser& Parser) { return Parser.ParseScriptRoutine(ScriptOptions); }

// The statements of a routine's body.
const TORVExprToken* BodyStatements(const TORVExprToken* Routine) {
  return Routine->GetArgument(RoutineBodySlot)->GetArgument(BlockStatementsSlot);
}

TEST(RoutineGrammar, CorpusRoutinesGiveTheirTreesOrErrors) {
  for (const test::TORVSqlCorpusKind& Kind : test::RoutineCorpusKinds()) {
    SCOPED_TRACE(Kind.Name);
    EXPECT_GT(test::RunSqlCorpus(Kind.Name, Kind.Defaults, Kind.Parse), 0);
  }
}

// The function body's RETURN sits in the block's RETURN slot, apart from its
// statements, and every routine node has all six slots.
TEST(RoutineGrammar, FunctionBodyKeepsItsReturnInTheBlock) {
  TRoutineFixture F("FUNCTION f (x INTEGER) RETURNS INTEGER BEGIN RETURN x + 1; END",
                    [](TORVExprParser& P) { return P.ParseFunctionRoutine(TORVParseOptions{poCheckEndRoutine}); });
  ASSERT_EQ(F.Tree->FTokenType, ttFUNCTION);
  ASSERT_EQ(F.Tree->GetNumArguments(), RoutineSlotCount);
  const TORVExprToken* Body = F.Tree->GetArgument(RoutineBodySlot);
  ASSERT_EQ(Body->FTokenOperator, toNAMED);
  EXPECT_EQ(Body->GetArgument(BlockStatementsSlot)->GetNumArguments(), 0);
  const TORVExprToken* Return = Body->GetArgument(BlockReturnSlot);
  ASSERT_NE(Return, nullptr);
  EXPECT_EQ(Return->FTokenOperator, toRETURN);
  EXPECT_EQ(Return->GetArgument(ReturnValueSlot)->FTokenOperator, toADD);
  EXPECT_EQ(Return->FUpperToken, Body);
  const TORVExprToken* Result = F.Tree->GetArgument(RoutineReturnsSlot)->GetArgument(0);
  EXPECT_EQ(Result->FTokenOperator, toRESULT);
  EXPECT_EQ(Result->GetArgument(ParamDataTypeSlot)->FTokenType, ttDATATYPE);
}

// A statement is reported at the line of its keyword even when its node is
// made after the keyword and the statement runs over several lines.
TEST(RoutineGrammar, ControlStatementsTakeTheLineOfTheirKeyword) {
  TRoutineFixture F("SCRIPT\nBEGIN\n  SET x =\n    1;\n  IF x\n  THEN ABORT;\n  END IF;\nEND", ParseScript);
  const TORVExprToken* Statements = BodyStatements(F.Tree);
  ASSERT_EQ(Statements->GetNumArguments(), 2);
  EXPECT_EQ(Statements->GetArgument(0)->FLine, 3);
  EXPECT_EQ(Statements->GetArgument(1)->FLine, 5);
  const TORVExprToken* Abort = Statements->GetArgument(1)
                                   ->GetArgument(IfListsSlot)
                                   ->GetArgument(0)
                                   ->GetArgument(BlockStatementsSlot)
                                   ->GetArgument(0);
  EXPECT_EQ(Abort->FLine, 6);
}

// Each WHEN of a simple CASE compares its own copy of the operand, so that
// a later pass may rewrite one option without touching the others.
TEST(RoutineGrammar, SimpleCaseCopiesItsOperandIntoEachOption) {
  TRoutineFixture F("SCRIPT BEGIN CASE x + 1 WHEN 1 THEN ABORT; WHEN 2 THEN ABORT; END CASE; END", ParseScript);
  const TORVExprToken* Options = BodyStatements(F.Tree)->GetArgument(0)->GetArgument(CaseOptionsSlot);
  ASSERT_EQ(Options->GetNumArguments(), 2);
  const TORVExprToken* First = Options->GetArgument(0)->GetLeftToken();
  const TORVExprToken* Second = Options->GetArgument(1)->GetLeftToken();
  EXPECT_NE(First, Second);
  EXPECT_NE(First->GetLeftToken(), Second->GetLeftToken());
  EXPECT_TRUE(CompareTokens(First, Second));
  EXPECT_EQ(First->FUpperToken, Options->GetArgument(0));
}

// Deeply nested compound statements are refused with a syntax error instead
// of exhausting the stack; a reasonable depth parses.
TEST(RoutineGrammar, NestingIsBounded) {
  auto NestedIfs = [](int32_t Depth) {
    std::string Text = "SCRIPT BEGIN ";
    for (int32_t I = 0; I < Depth; ++I) Text += "IF a THEN ";
    Text += "ABORT; ";
    for (int32_t I = 0; I < Depth; ++I) Text += "END IF; ";
    return Text + "END";
  };
  std::string Result = test::ParseForCorpus(NestedIfs(100), ScriptOptions,
                                            [](TORVExprParser& P, TORVParseOptions O) { return P.ParseScriptRoutine(O); });
  EXPECT_EQ(Result.rfind("(SCRIPT", 0), 0u) << Result;
  Result = test::ParseForCorpus(NestedIfs(5000), ScriptOptions,
                                [](TORVExprParser& P, TORVParseOptions O) { return P.ParseScriptRoutine(O); });
  EXPECT_NE(Result.find("nesting deeper than"), std::string::npos) << Result.substr(0, 200);
}

// ParseControl on its own reads one statement; the terminator is required
// only under poRequireLineTerm, and an unknown word lists the statements.
TEST(RoutineGrammar, ControlEntryReadsOneStatement) {
  auto Control = [](TORVExprParser& P, TORVParseOptions O) {
    TORVPartialTree Statement(P.ParseControl(O, TORVString()));
    if (!P.TokenAtEnd()) P.ExpectedExpression(u"end of expression");
    return Statement.Release();
  };
  EXPECT_EQ(test::ParseForCorpus("ABORT", TORVParseOptions{}, Control), "(CONTROL :op ABORT)");
  EXPECT_EQ(test::ParseForCorpus("ABORT;", TORVParseOptions{poRequireLineTerm}, Control), "(CONTROL :op ABORT)");
  EXPECT_EQ(test::ParseForCorpus("ABORT", TORVParseOptions{poRequireLineTerm}, Control), "!1:5 Missing ;");
  EXPECT_EQ(test::ParseForCorpus("\"IF\" x", TORVParseOptions{}, Control),
            "!1:1 Expected BEGIN, DECLARE, SET, LOG, ABORT, IF, CASE, LOOP, REPEAT, WHILE, ITERATE, LEAVE, USE, "
            "START, COMMIT, ROLLBACK, PREPARE, EXECUTE, UNPREPARE, OPEN, CLOSE, FETCH, INSERT, UPDATE, DELETE but "
            "instead found \"IF\"");
}

// Parameters: OUT and INOUT need the option, and are refused at the word.
TEST(RoutineGrammar, OutputParametersNeedTheirOption) {
  auto Params = [](TORVExprParser& P, TORVParseOptions O) { return P.ParseParams(O); };
  EXPECT_EQ(test::ParseForCorpus("(a INT, OUT b INT)", TORVParseOptions{}, Params),
            "!1:9 Invalid expression OUT found, output parameters not allowed");
  EXPECT_EQ(test::ParseForCorpus("(INOUT b INT)", TORVParseOptions{poAllowOutParameters}, Params),
            "(CLAUSE (PARAM :op INPUTOUTPUT :name \"b\" (DATATYPE :text \"INT\" :type 6) nil))");
  EXPECT_EQ(test::ParseForCorpus("(a INT)", TORVParseOptions{poNoParameters}, Params), "(CLAUSE)");
  EXPECT_EQ(test::ParseForCorpus("(a)", TORVParseOptions{}, Params), "!1:3 Expected data type but instead found )");
}

// A CASE statement repeats its operand in every WHEN; an operand that is
// itself large is refused once the copies pass the parse's bound instead
// of growing the tree without limit.
TEST(RoutineGrammar, CaseOperandCopiesAreBounded) {
  std::string Operand = "a";
  for (int32_t I = 0; I < 2000; ++I) Operand += " + a";
  std::string Text = "SCRIPT BEGIN CASE " + Operand;
  for (int32_t I = 0; I < 40; ++I) Text += " WHEN " + std::to_string(I) + " THEN ABORT;";
  Text += " END CASE; END";
  const std::string Result = test::ParseForCorpus(
      Text, ScriptOptions, [](TORVExprParser& P, TORVParseOptions O) { return P.ParseScriptRoutine(O); });
  EXPECT_NE(Result.find("CASE operand repeated beyond"), std::string::npos) << Result.substr(0, 200);
}

// With line breaks the routine text puts one statement on a line, each
// list one level deeper than the words that open and close it; the text
// reads back as the same routine.
TEST(RoutineText, StatementsStandOnIndentedLines) {
  TRoutineFixture F("SCRIPT (OUT r INTEGER) BEGIN DECLARE x INTEGER; L: LOOP IF x > 1 THEN LEAVE L; END IF; "
                    "END LOOP L; EXCEPTION RAISE; END",
                    ParseScript);
  TORVExprBuilder Builder;
  Builder.SetIncludeLineBreaks(true);
  Builder.SetIndentationLevel(-1);
  Builder.BuildRoutine(F.Tree);
  const std::string Text = StringToUtf8(Builder.GetExpressionLiteral());
  EXPECT_EQ(Text,
            "SCRIPT (OUT \"r\" INTEGER)\r\n"
            "BEGIN\r\n"
            "   DECLARE \"x\" INTEGER;\r\n"
            "   \"L\": LOOP\r\n"
            "      IF \"x\" > 1 THEN\r\n"
            "         LEAVE \"L\";\r\n"
            "      END IF;\r\n"
            "   END LOOP \"L\";\r\n"
            "EXCEPTION\r\n"
            "   RAISE;\r\n"
            "END");
  TRoutineFixture Again(Text, ParseScript);
  EXPECT_TRUE(CompareTokens(F.Tree, Again.Tree)) << test::DumpTokens(Again.Tree);
}

// A bounded fuzz over the routine corpus: every cut of each routine text,
// and edits of its words, go through the routine's own entry point. Each
// text either parses into a tree whose children name their parents and
// whose built text reads back as an equal tree, or raises a syntax error;
// a crash, a leak or another exception fails.
TEST(RoutineGrammar, CutAndEditedRoutineTextsParseOrRaiseSyntaxErrors) {
  static const char* const Words[] = {
      "BEGIN", "END",   "DECLARE", "SET",    "IF",      "THEN",   "ELSEIF",   "ELSE",  "CASE",  "WHEN",
      "LOOP",  "REPEAT", "UNTIL",  "WHILE",  "DO",      "LEAVE",  "ITERATE",  "RETURN", "RAISE", "RETRY",
      "EXCEPTION", "FINALLY", "CURSOR", "WITH", "FOR",  "FETCH",  "INTO",     "FROM",  "INSERT", "VALUES",
      "UPDATE", "DELETE", "EXECUTE", "IMMEDIATE", "USING", "START", "TRANSACTION", "ON", "TABLES", "USE",
      "CALL", ";",      ":",       "(",      ")",       ",",      "=",        "[",     "]",     "L1",
      "\"L1\"", "x",   "1",       "'s'",    "OUT",     "INTEGER",
  };
  std::mt19937 Random(11);
  int32_t Parsed = 0;
  int32_t Errors = 0;
  auto Run = [&](const test::TORVSqlCorpusKind& Kind, const std::string& Text, TORVParseOptions Options) {
    SCOPED_TRACE(std::string(Kind.Name) + ": " + Text);
    TORVCompiledExpr Expr;
    Expr.SetExpression(Utf8ToString(Text));
    TORVExprParser Parser;
    TORVExprToken* Tree = nullptr;
    try {
      Parser.Initialize(&Expr);
      Tree = Kind.Parse(Parser, Options);
    } catch (const EORVException& E) {
      EXPECT_EQ(E.ErrorCode(), ORV_SQL_ERROR.Code) << E.what();
      ++Errors;
      return;
    }
    TORVPartialTree Held(Tree);
    ++Parsed;
    std::vector<const TORVExprToken*> Pending{Tree};
    while (!Pending.empty()) {
      const TORVExprToken* Node = Pending.back();
      Pending.pop_back();
      for (const TORVExprToken* Child : {Node->GetLeftToken(), Node->GetRightToken()}) {
        if (Child == nullptr) continue;
        EXPECT_EQ(Child->FUpperToken, Node);
        Pending.push_back(Child);
      }
      for (int32_t I = 0; I < Node->GetNumArguments(); ++I) {
        if (Node->GetArgument(I) == nullptr) continue;
        EXPECT_EQ(Node->GetArgument(I)->FUpperToken, Node);
        Pending.push_back(Node->GetArgument(I));
      }
    }
    const TORVString Built = test::BuildForCorpus(Tree);
    try {
      TORVCompiledExpr Again;
      Again.SetExpression(Built);
      Parser.Initialize(&Again);
      TORVPartialTree Second(Kind.Parse(Parser, Options));
      EXPECT_TRUE(CompareTokens(Tree, Second.Get())) << StringToUtf8(Built);
    } catch (const EORVException& E) {
      ADD_FAILURE() << "built text does not parse: " << StringToUtf8(Built) << "\n  " << E.what();
    }
  };
  for (const test::TORVSqlCorpusKind& Kind : test::RoutineCorpusKinds()) {
    for (const test::TORVSqlCorpusCase& Case : test::ReadSqlCorpus()) {
      if (Case.Kind != Kind.Name) continue;
      const TORVParseOptions Options = test::CorpusCaseOptions(Case, Kind.Defaults);
      for (std::size_t Cut = 0; Cut < Case.Sql.size(); ++Cut) Run(Kind, Case.Sql.substr(0, Cut), Options);
      std::vector<std::string> Pieces;
      for (std::size_t Start = 0; Start < Case.Sql.size();) {
        std::size_t Stop = Case.Sql.find(' ', Start);
        if (Stop == std::string::npos) Stop = Case.Sql.size();
        Pieces.push_back(Case.Sql.substr(Start, Stop - Start));
        Start = Stop + 1;
      }
      for (int32_t Round = 0; Round < 12; ++Round) {
        std::vector<std::string> Edited = Pieces;
        const std::size_t At = Random() % Edited.size();
        switch (Random() % 3) {
          case 0:
            Edited.erase(Edited.begin() + static_cast<std::ptrdiff_t>(At));
            break;
          case 1:
            Edited.insert(Edited.begin() + static_cast<std::ptrdiff_t>(At), Words[Random() % std::size(Words)]);
            break;
          default:
            Edited[At] = Words[Random() % std::size(Words)];
            break;
        }
        std::string Text;
        for (const std::string& Piece : Edited) Text += (Text.empty() ? "" : " ") + Piece;
        // Half of the edits run with the options that an ERROR trigger or
        // an old routine adds.
        TORVParseOptions Edit = Options;
        if (Random() % 2 == 0) Edit += TORVParseOptions{poAllowExceptionHandling, poAllowRetry, poConvertDynamic};
        Run(Kind, Text, Edit);
      }
    }
  }
  EXPECT_GT(Parsed, 0);
  EXPECT_GT(Errors, 0);
}

}  // namespace
}  // namespace orv
