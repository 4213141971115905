// Reader and runner of the SQL corpus (tests/sql/orvsqlcorpus.inc): each
// case is parsed by the entry its kind names and must give its golden tree,
// written as DumpTokens writes it, or its error with line and column; a
// "build" case gives the text the builder writes for its tree; an
// "optimize" case (run by the optimizer's tests) gives the plan of its
// condition over a fake filter. Every tree
// of the corpus must also survive the round trip through its built text.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/orverrors.h"
#include "base/orverror.h"
#include "base/orvutf8.h"
#include "sql/orvbuilder.h"
#include "sql/orvcompiledexpr.h"
#include "sql/orvexprcatalog.h"
#include "sql/orvexprtoken.h"
#include "sql/orvparser.h"
#include "sql/orvparseroptions.h"
#include "sql/orvroutineslots.h"
#include "sql/orvtokenslots.h"
#include "sql/orvtreeutil.h"
#include "sql/orvvalidater.h"
#include "core/orvtypefunc.h"
#include "tests/support/orvsqlfakecatalog.h"
#include "tests/support/orvsqlfakeexpr.h"
#include "tests/support/orvsqlroundtrip.h"
#include "tests/support/orvsqltreedump.h"

namespace orv::test {

inline constexpr const char* SqlCorpusText =
#include "tests/sql/orvsqlcorpus.inc"
    ;

struct TORVSqlCorpusCase {
  int32_t Line = 0;  // line of the case's "===" in the corpus
  std::string Kind;
  std::vector<std::string> Options;
  std::string Sql;
  std::string Expected;
  // The first line after "--> " as written, for expected texts that are
  // not trees.
  std::string ExpectedLine;
  // Every line after "--> " as written, joined by line feeds, without the
  // blank lines at the end, for expected texts of several lines.
  std::string ExpectedText;
};

// Whitespace runs outside double-quoted strings become one blank, so golden
// trees may be laid out over several lines.
inline std::string NormalizeTreeText(std::string_view Text) {
  std::string Result;
  bool Quoted = false;
  bool Blank = false;
  for (std::size_t I = 0; I < Text.size(); ++I) {
    char C = Text[I];
    if (!Quoted && (C == ' ' || C == '\t' || C == '\n' || C == '\r')) {
      Blank = !Result.empty();
      continue;
    }
    if (Blank) Result += ' ';
    Blank = false;
    Result += C;
    if (Quoted && C == '\\' && I + 1 < Text.size()) {
      Result += Text[++I];
    } else if (C == '"') {
      Quoted = !Quoted;
    }
  }
  return Result;
}

inline std::vector<TORVSqlCorpusCase> ReadSqlCorpus() {
  std::vector<TORVSqlCorpusCase> Cases;
  std::string_view Text = SqlCorpusText;
  enum { Between, InSql, InExpected } State = Between;
  std::string Expected;
  int32_t LineNumber = 0;
  auto Finish = [&] {
    if (State != Between) Cases.back().Expected = NormalizeTreeText(Expected);
    if (State == InExpected) {
      std::string& Raw = Cases.back().ExpectedText;
      while (!Raw.empty() && Raw.back() == '\n') Raw.pop_back();
    }
    Expected.clear();
    State = Between;
  };
  while (!Text.empty()) {
    std::size_t End = Text.find('\n');
    std::string_view Line = Text.substr(0, End);
    Text.remove_prefix(End == std::string_view::npos ? Text.size() : End + 1);
    ++LineNumber;
    if (Line.starts_with("===")) {
      Finish();
      TORVSqlCorpusCase Case;
      Case.Line = LineNumber;
      std::string_view Words = Line.substr(3);
      while (!Words.empty()) {
        std::size_t Start = Words.find_first_not_of(' ');
        if (Start == std::string_view::npos) break;
        Words.remove_prefix(Start);
        std::size_t Stop = Words.find(' ');
        std::string Word(Words.substr(0, Stop));
        Words.remove_prefix(Stop == std::string_view::npos ? Words.size() : Stop);
        if (Case.Kind.empty()) {
          Case.Kind = Word;
        } else {
          Case.Options.push_back(Word);
        }
      }
      Cases.push_back(Case);
      State = InSql;
    } else if (State == InSql && Line.starts_with("-->")) {
      Expected = std::string(Line.substr(3));
      Cases.back().ExpectedLine = std::string(Line.substr(Line.starts_with("--> ") ? 4 : 3));
      Cases.back().ExpectedText = Cases.back().ExpectedLine;
      State = InExpected;
    } else if (State == InSql) {
      std::string& Sql = Cases.back().Sql;
      if (!Sql.empty() || Line.size() > 0) {
        if (!Sql.empty()) Sql += '\n';
        Sql += Line;
      }
    } else if (State == InExpected) {
      if (!Line.empty() && Line[0] == '#') {
        Finish();
      } else {
        Expected += '\n';
        Expected += Line;
        Cases.back().ExpectedText += '\n';
        Cases.back().ExpectedText += Line;
      }
    }
  }
  Finish();
  return Cases;
}

inline bool ParseOptionByName(const std::string& Name, TORVParseOption& Option) {
  static const char* const Names[] = {
      "AllowAggregates",
      "AllowAllColumns",
      "AllowParameters",
      "AllowOutParameters",
      "NoParameters",
      "AllowQueryParameters",
      "AllowQueries",
      "AllowDatabaseUse",
      "AllowExceptionHandling",
      "AllowDatabaseQualifier",
      "AllowSchemaQualifier",
      "AllowTableQualifier",
      "AllowCursorReturn",
      "ColumnsRequired",
      "ColumnsNotAllowed",
      "AllowDirection",
      "AllowDeclarations",
      "RequireLineTerm",
      "RequireReturn",
      "NoUDFs",
      "NoOrderBy",
      "RequireNamedBlock",
      "NoCollationRef",
      "AllowContains",
      "CheckEndRoutine",
      "AllowRetry",
      "AllowInto",
      "CheckForNotNull",
      "NoRange",
      "AllowRowValues",
      "ForceRowValues",
      "ConvertDynamic",
  };
  static_assert(sizeof(Names) / sizeof(Names[0]) == poConvertDynamic + 1);
  for (int32_t I = 0; I <= poConvertDynamic; ++I) {
    if (Name == Names[I]) {
      Option = static_cast<TORVParseOption>(I);
      return true;
    }
  }
  return false;
}

// "!LINE:COLUMN MESSAGE" for an error 700 raised by an expression of the
// kind TypeName, MESSAGE being the inner text of the error.
inline std::string CorpusErrorText(const EORVException& E, const std::string& TypeName) {
  EXPECT_EQ(E.ErrorCode(), ORV_SQL_ERROR.Code);
  std::string Line = std::to_string(E.ErrorLine());
  std::string Column = std::to_string(E.ErrorColumn());
  std::string Message = StringToUtf8(E.ErrorMsg());
  std::string Prefix = "An error was found in the " + TypeName + " at line " + Line + " and column " + Column + " (";
  if (Message.starts_with(Prefix) && Message.ends_with(")"))
    Message = Message.substr(Prefix.size(), Message.size() - Prefix.size() - 1);
  return "!" + Line + ":" + Column + " " + Message;
}

// The tree of a successful parse as DumpTokens writes it, or
// "!LINE:COLUMN MESSAGE" for the error 700 it raised.
using TORVCorpusParse = std::function<TORVExprToken*(TORVExprParser& Parser, TORVParseOptions Options)>;

inline std::string ParseForCorpus(const std::string& Sql, TORVParseOptions Options, const TORVCorpusParse& Parse) {
  TORVCompiledExpr Expr;
  Expr.SetExpression(Utf8ToString(Sql));
  TORVExprParser Parser;
  try {
    Parser.Initialize(&Expr);
    TORVExprToken* Tree = Parse(Parser, Options);
    if (Tree != nullptr) Tree->CheckInvariants();
    std::string Result = DumpTokens(Tree);
    FreeTokens(Tree);
    return Result;
  } catch (const EORVException& E) {
    return CorpusErrorText(E, "expression");
  }
}

// The options of a statement prepared for a session, the defaults of the
// "statement" kind.
inline const TORVParseOptions StatementCorpusOptions{poAllowParameters,         poAllowQueries,
                                                     poAllowDatabaseQualifier,  poAllowSchemaQualifier,
                                                     poAllowTableQualifier,     poAllowInto};

// A whole statement through the dispatcher.
inline TORVExprToken* ParseStatementForCorpus(TORVExprParser& Parser, TORVParseOptions Options) {
  return Parser.ParseStatement(Options);
}

// Runs every case of one kind; returns how many there were.
inline int32_t RunSqlCorpus(const std::string& Kind, TORVParseOptions Defaults, const TORVCorpusParse& Parse) {
  int32_t Count = 0;
  for (const TORVSqlCorpusCase& Case : ReadSqlCorpus()) {
    if (Case.Kind != Kind) continue;
    ++Count;
    SCOPED_TRACE("corpus line " + std::to_string(Case.Line) + ": " + Case.Sql);
    TORVParseOptions Options = Defaults;
    bool Known = true;
    for (const std::string& Name : Case.Options) {
      TORVParseOption Option{};
      Known = Known && ParseOptionByName(Name, Option);
      EXPECT_TRUE(Known) << "unknown option " << Name;
      Options.Include(Option);
    }
    if (!Known) continue;
    EXPECT_EQ(ParseForCorpus(Case.Sql, Options, Parse), Case.Expected);
  }
  return Count;
}

// A whole query: ParseQuery, then the text must be used up, as the SELECT
// statement requires.
inline TORVExprToken* ParseWholeQuery(TORVExprParser& Parser, TORVParseOptions Options) {
  TORVPartialTree Query(Parser.ParseQuery(Options));
  if (!Parser.CheckToken(tkEndOfText)) Parser.ExpectedExpression(u"end of expression");
  return Query.Release();
}

// Each kind: its name, the options it adds to every case and its entry.
struct TORVSqlCorpusKind {
  const char* Name;
  TORVParseOptions Defaults;
  TORVCorpusParse Parse;
};

// The routine entry points, each with the options that the owner of its
// stored object gives it; a case adds AllowExceptionHandling and
// AllowRetry for an ERROR trigger and ConvertDynamic for an old routine.
inline std::vector<TORVSqlCorpusKind> RoutineCorpusKinds() {
  return {
      {"function", TORVParseOptions{poCheckEndRoutine},
       [](TORVExprParser& P, TORVParseOptions O) { return P.ParseFunctionRoutine(O); }},
      {"procedure", TORVParseOptions{poAllowCursorReturn, poCheckEndRoutine},
       [](TORVExprParser& P, TORVParseOptions O) { return P.ParseProcedureRoutine(O); }},
      {"script",
       TORVParseOptions{poAllowDatabaseUse, poAllowSchemaQualifier, poAllowTableQualifier, poAllowCursorReturn,
                        poCheckEndRoutine},
       [](TORVExprParser& P, TORVParseOptions O) { return P.ParseScriptRoutine(O); }},
      {"job",
       TORVParseOptions{poNoParameters, poAllowDatabaseUse, poAllowSchemaQualifier, poAllowTableQualifier,
                        poCheckEndRoutine},
       [](TORVExprParser& P, TORVParseOptions O) { return P.ParseJobRoutine(O); }},
      {"trigger",
       TORVParseOptions{poNoParameters, poAllowSchemaQualifier, poAllowTableQualifier, poCheckEndRoutine},
       [](TORVExprParser& P, TORVParseOptions O) { return P.ParseTriggerRoutine(O); }},
  };
}

inline std::vector<TORVSqlCorpusKind> SqlCorpusKinds() {
  auto Expr = [](TORVExprParser& P, TORVParseOptions O) { return P.ParseExpr(O); };
  std::vector<TORVSqlCorpusKind> Kinds = {
      {"expr", TORVParseOptions{}, Expr},
      {"query", TORVParseOptions{poAllowQueries, poAllowTableQualifier}, ParseWholeQuery},
      {"build", TORVParseOptions{}, Expr},
      {"statement", StatementCorpusOptions, ParseStatementForCorpus},
      {"buildstatement", StatementCorpusOptions, ParseStatementForCorpus},
  };
  for (TORVSqlCorpusKind& Kind : RoutineCorpusKinds()) Kinds.push_back(std::move(Kind));
  return Kinds;
}

inline bool IsDefinition(const TORVExprToken* Tree) {
  return Tree->FTokenType == ttDYNSTATEMENT && (Tree->FTokenOperator == toCREATE || Tree->FTokenOperator == toALTER);
}

// Whether the builder writes a text for Tree: every tree but a statement
// other than a data change or a definition.
inline bool HasBuiltText(const TORVExprToken* Tree) {
  return Tree->FTokenType != ttDYNSTATEMENT || Tree->FTokenOperator == toINSERT ||
         Tree->FTokenOperator == toUPDATE || Tree->FTokenOperator == toDELETE || IsDefinition(Tree);
}

// The text a catalog expression builds for Tree; for a routine node, the
// routine's text on one line.
inline TORVString BuildForCorpus(const TORVExprToken* Tree) {
  TORVExprBuilder Builder;
  if (IsRoutineNode(Tree)) {
    Builder.SetIndentationLevel(-1);
    Builder.BuildRoutine(Tree);
    return Builder.GetExpressionLiteral();
  }
  if (IsDefinition(Tree)) {
    Builder.SetIndentationLevel(-1);
    Builder.BuildDefinition(Tree);
    return Builder.GetExpressionLiteral();
  }
  return BuildExprText(Builder, Tree, false, false, false);
}

inline TORVParseOptions CorpusCaseOptions(const TORVSqlCorpusCase& Case, TORVParseOptions Defaults) {
  for (const std::string& Name : Case.Options) {
    TORVParseOption Option{};
    EXPECT_TRUE(ParseOptionByName(Name, Option)) << "unknown option " << Name;
    Defaults.Include(Option);
  }
  return Defaults;
}

// Every "build" and "buildstatement" case: the built text of its tree is
// the expected line.
inline int32_t RunSqlCorpusBuild() {
  int32_t Count = 0;
  for (const TORVSqlCorpusKind& Kind : SqlCorpusKinds()) {
    if (std::string_view(Kind.Name) != "build" && std::string_view(Kind.Name) != "buildstatement") continue;
    for (const TORVSqlCorpusCase& Case : ReadSqlCorpus()) {
      if (Case.Kind != Kind.Name) continue;
      ++Count;
      SCOPED_TRACE("corpus line " + std::to_string(Case.Line) + ": " + Case.Sql);
      TORVCompiledExpr Expr;
      Expr.SetExpression(Utf8ToString(Case.Sql));
      TORVExprParser Parser;
      Parser.Initialize(&Expr);
      TORVPartialTree Tree(Kind.Parse(Parser, CorpusCaseOptions(Case, Kind.Defaults)));
      EXPECT_EQ(StringToUtf8(BuildForCorpus(Tree.Get())), Case.ExpectedLine);
    }
  }
  return Count;
}

// Every case of every kind that parses: its built text parses (under the
// same options) to an equal tree, whose built text is the same again.
inline int32_t RoundTripSqlCorpus() {
  int32_t Count = 0;
  for (const TORVSqlCorpusKind& Kind : SqlCorpusKinds()) {
    for (const TORVSqlCorpusCase& Case : ReadSqlCorpus()) {
      if (Case.Kind != Kind.Name) continue;
      SCOPED_TRACE("corpus line " + std::to_string(Case.Line) + ": " + Case.Sql);
      const TORVParseOptions Options = CorpusCaseOptions(Case, Kind.Defaults);
      TORVParseFunc Parse = [&](const TORVString& Text) {
        TORVCompiledExpr Expr;
        Expr.SetExpression(Text);
        TORVExprParser Parser;
        Parser.Initialize(&Expr);
        return Kind.Parse(Parser, Options);
      };
      TORVString Built;
      try {
        TORVPartialTree Tree(Parse(Utf8ToString(Case.Sql)));
        if (!HasBuiltText(Tree.Get())) continue;
        Built = BuildForCorpus(Tree.Get());
      } catch (const EORVException&) {
        continue;  // an error case
      }
      ++Count;
      EXPECT_TRUE(RoundTrips(Utf8ToString(Case.Sql), Parse, BuildForCorpus));
      try {
        TORVPartialTree Again(Parse(Built));
        EXPECT_EQ(StringToUtf8(BuildForCorpus(Again.Get())), StringToUtf8(Built));
      } catch (const EORVException&) {
        // RoundTrips has reported it.
      }
    }
  }
  return Count;
}

// The catalog of the "validate" kind: database Main with the table
// Customer, whose columns cover every type, and a table Orders, a
// collation Latin (7) and a text index on Notes; for statements, a table t
// (a INTEGER, b VARCHAR(10), x INTEGER), a table it's (a''b INTEGER, c"d
// INTEGER) and a procedure p (n INTEGER, s VARCHAR(10)), and a database
// Other with a table t (a INTEGER, c DATE).
inline void AddValidateCorpusCatalog(TORVFakeCatalog& Catalog) {
  Catalog.AddDatabase(u"Main");
  auto Typed = [](const TORVString& Name, int32_t DataType, int32_t SubType, int32_t Length = 0, int32_t Scale = 0,
                  int32_t Collation = 0) {
    TORVColumnDescriptor Column = TORVFakeCatalog::Column(Name, DataType, Length, Scale, Collation);
    Column.SubType = SubType;
    return Column;
  };
  TORVFakeTable& Customer = Catalog.AddTable(
      u"Main", u"Customer",
      {Typed(u"ID", dtInteger, stNone), Typed(u"Name", dtCharacter, stVarChar, 10),
       Typed(u"City", dtCharacter, stVarChar, 5), Typed(u"Title", dtCharacter, stVarChar, 20, 0, 7),
       Typed(u"Code", dtCharacter, stChar, 5), Typed(u"Zip", dtCharacter, stChar, 3),
       Typed(u"Key", dtCharacter, stGUID, 38), Typed(u"Active", dtBoolean, stNone),
       Typed(u"Small", dtSmallInt, stNone), Typed(u"Big", dtBigInt, stNone), Typed(u"Rate", dtFloat, stNone),
       Typed(u"Balance", dtDecimal, stNone, 10, 2), Typed(u"Born", dtDate, stNone),
       Typed(u"Opens", dtTime, stNone), Typed(u"Seen", dtTimeStamp, stNone),
       Typed(u"Term", dtYearMonthInterval, stMonth), Typed(u"Wait", dtDayTimeInterval, stDay),
       Typed(u"Notes", dtLargeObject, stClob), Typed(u"Photo", dtLargeObject, stBlob),
       Typed(u"Data", dtBytes, stVarByte, 4)});
  Customer.TextIndexes.push_back({u"Notes", 0});
  Catalog.AddTable(u"Main", u"Orders",
                   {Typed(u"OrderID", dtInteger, stNone), Typed(u"CustID", dtInteger, stNone),
                    Typed(u"Amount", dtDecimal, stNone, 10, 2)});
  Catalog.Collations.push_back({u"Latin", 7});
  // Functions Twice(INTEGER) RETURNS INTEGER, Greet(VARCHAR(10), SMALLINT)
  // RETURNS VARCHAR(20) and Positive(FLOAT) RETURNS BOOLEAN.
  auto Function = [&](const TORVString& Name, std::vector<TORVColumnDescriptor> Params,
                      TORVColumnDescriptor Result) {
    Catalog.AddRoutine(u"Main", Name, false, std::move(Params)).Result = Result;
  };
  Function(u"Twice", {Typed(u"n", dtInteger, stNone)}, Typed(u"Result", dtInteger, stNone));
  Function(u"Greet", {Typed(u"s", dtCharacter, stVarChar, 10), Typed(u"times", dtSmallInt, stNone)},
           Typed(u"Result", dtCharacter, stVarChar, 20));
  Function(u"Positive", {Typed(u"x", dtFloat, stNone)}, Typed(u"Result", dtBoolean, stNone));

  // The statements' tables and routines.
  Catalog.AddTable(u"Main", u"t",
                   {Typed(u"a", dtInteger, stNone), Typed(u"b", dtCharacter, stVarChar, 10),
                    Typed(u"x", dtInteger, stNone)});
  Catalog.AddRoutine(u"Main", u"p", true, {Typed(u"n", dtInteger, stNone), Typed(u"s", dtCharacter, stVarChar, 10)});
  // Names holding either quote, which the text builder must write so that
  // they read back as themselves.
  Catalog.AddTable(u"Main", u"it's", {Typed(u"a''b", dtInteger, stNone), Typed(u"c\"d", dtInteger, stNone)});
  Catalog.AddDatabase(u"Other");
  Catalog.AddTable(u"Other", u"t", {Typed(u"a", dtInteger, stNone), Typed(u"c", dtDate, stNone)});
}

// The function routine that a "block" case stands in: FUNCTION Recurse(n
// INTEGER, s VARCHAR(5)) RETURNS VARCHAR(12) whose block declares a
// variable v INTEGER, an array a FLOAT, a cursor c FOR a statement st and a
// statement t. The expression is the block's one statement.
inline constexpr const char16_t* CorpusRoutineText =
    u"(FUNCTION :name \"Recurse\" (CLAUSE (PARAM :name \"n\" :type 6) (PARAM :name \"s\" :type 1 :len 5))"
    u" nil (CLAUSE (PARAM :op RESULT :name \"Result\" :type 1 :len 12)) nil nil"
    u" (BLOCK :op NAMED"
    u"  (BLOCKCLAUSE (CONTROL :op DECLARE (CLAUSE (VARIABLE :name \"v\" :type 6)))"
    u"   (CONTROL :op DECLARE (CLAUSE (ARRAY :name \"a\" :type 8)))"
    u"   (CONTROL :op DECLARE (CLAUSE (CURSOR :name \"c\" nil (STATEMENT :name \"st\"))))"
    u"   (CONTROL :op DECLARE (CLAUSE (STATEMENT :name \"t\"))))"
    u"  (BLOCKCLAUSE) nil nil))";

// The expression of a "block" case inside its routine.
inline TORVExprToken* CorpusBlockExpression(TORVExprToken* Routine) {
  return SlotOf(SlotOf(SlotOf(Routine, RoutineBodySlot), BlockStatementsSlot), FirstItemSlot);
}

// The entry a "validate" case parses its text with: an expression, or with
// the option "statement" or a routine kind's name, the statement or
// routine entry with that kind's options.
inline bool ValidateCorpusEntry(const std::string& Name, TORVCorpusParse& Parse, TORVParseOptions& Defaults) {
  if (Name == "statement") {
    Parse = ParseStatementForCorpus;
    Defaults = StatementCorpusOptions;
    return true;
  }
  for (TORVSqlCorpusKind& Kind : RoutineCorpusKinds()) {
    if (Name != Kind.Name) continue;
    Parse = std::move(Kind.Parse);
    Defaults = Kind.Defaults;
    return true;
  }
  return false;
}

// How a "validate" case compiles its text: the entry (nil for an
// expression) and its parse options; "filter", validated as a filter that
// must be Boolean and whose Boolean operands become comparisons with TRUE;
// "block", validated as the statement of the routine of CorpusRoutineText.
struct TORVCorpusCompile {
  TORVCorpusParse Entry;
  TORVParseOptions Options;
  bool Filter = false;
  bool Block = false;
};

// The compile of a "validate" case from its option names: parse options,
// "filter", "block", "statement" or a routine kind's name.
inline TORVCorpusCompile CorpusCompileOf(const std::vector<std::string>& Options) {
  TORVCorpusCompile How;
  TORVParseOptions Defaults;
  for (const std::string& Name : Options) {
    TORVParseOption Option{};
    if (Name == "filter") {
      How.Filter = true;
    } else if (Name == "block") {
      How.Block = true;
    } else if (ValidateCorpusEntry(Name, How.Entry, Defaults)) {
      continue;
    } else if (ParseOptionByName(Name, Option)) {
      How.Options.Include(Option);
    } else {
      ADD_FAILURE() << "unknown option " << Name;
    }
  }
  for (int32_t Option = 0; Option <= poConvertDynamic; ++Option) {
    if (Defaults.Contains(static_cast<TORVParseOption>(Option))) {
      How.Options.Include(static_cast<TORVParseOption>(Option));
    }
  }
  return How;
}

// Compiles Text as How says over the catalog of AddValidateCorpusCatalog
// and hands the validated tree (for "block", the statement inside its
// routine) to OnCompiled while the expression still holds it. Returns
// nothing on success, else "!LINE:COLUMN MESSAGE" of the error 700; a
// failed compile must leave the expression uncompiled and unlocked, and
// every catalog read begun must be ended.
inline std::string CompileForCorpus(const TORVString& Text, const TORVCorpusCompile& How,
                                    const std::function<void(const TORVExprToken* Tree)>& OnCompiled) {
  TORVFakeCatalog Catalog;
  AddValidateCorpusCatalog(Catalog);
  TORVFakeFilterExpr FilterExpr(&Catalog, u"Main", u"Customer");
  if (!How.Filter) FilterExpr.SetTypeName(u"expression");
  TORVExprValidater Validater;
  // Statements and routines stand on their own: no filter's table.
  TORVFakeCatalogExpr StatementExpr(&Catalog, u"Main");
  TORVFakeCatalogExpr& Expr = How.Entry ? StatementExpr : FilterExpr;
  Expr.OnParse = [&How](TORVFakeCatalogExpr& Self) -> TORVExprToken* {
    TORVExprParser Parser;
    if (How.Entry) {
      Parser.Initialize(&Self);
      return How.Entry(Parser, How.Options);
    }
    TORVPartialTree Tree(ParseExprWithOptions(Parser, Self, How.Options));
    if (!How.Block) return Tree.Release();
    TORVExprToken* Routine = ReadTokens(CorpusRoutineText);
    SlotOf(SlotOf(Routine, RoutineBodySlot), BlockStatementsSlot)->AddArgument(Tree.Release());
    return Routine;
  };
  Expr.OnValidate = [&Validater, &How](TORVFakeCatalogExpr& Self) {
    Validater.Initialize(&Self);
    if (How.Filter) {
      Validater.SetRequiredDataType(dtBoolean);
      Validater.SetTransformBooleans(true);
    }
    if (How.Block) {
      // Whole routines have their own validation: the statement alone, with
      // the validater released from the expression however it ends.
      struct TRelease {
        TORVExprValidater& Validater;
        ~TRelease() { Validater.SetExpr(nullptr); }
      } Release{Validater};
      Validater.ValidateNextToken(CorpusBlockExpression(Self.FTokens));
    } else {
      Validater.Validate();
    }
  };
  Expr.OnUnlock = [&Validater](TORVFakeCatalogExpr& Self) {
    Validater.Initialize(&Self);
    Validater.Unlock();
  };
  Expr.SetExpression(Text);
  try {
    Expr.Compile();
    if (Expr.FTokens != nullptr) Expr.FTokens->CheckInvariants();
    OnCompiled(How.Block ? CorpusBlockExpression(Expr.FTokens) : Expr.FTokens);
    // The owner unlocks the expression it lets go: every catalog read that
    // validation began has ended then.
    Expr.Unlock();
    EXPECT_EQ(Expr.BeginReadCount, Expr.EndReadCount);
    return {};
  } catch (const EORVException& E) {
    EXPECT_FALSE(Expr.GetCompiled());
    EXPECT_EQ(Expr.BeginReadCount, Expr.EndReadCount);
    EXPECT_EQ(Expr.FTokens, nullptr);
    if (Expr.ParseCount == Expr.ValidateCount) {
      EXPECT_EQ(Expr.UnlockCount, 1);
    }
    EXPECT_EQ(Validater.GetExpr(), nullptr);
    return CorpusErrorText(E, StringToUtf8(Expr.GetTypeName()));
  }
}

// A "validate" case: the typed tree of its text as DumpTokens writes it,
// or "!LINE:COLUMN MESSAGE".
inline std::string ValidateForCorpus(const std::string& Sql, const std::vector<std::string>& Options) {
  std::string Tree;
  std::string Error = CompileForCorpus(Utf8ToString(Sql), CorpusCompileOf(Options),
                                       [&Tree](const TORVExprToken* Token) { Tree = DumpTokens(Token); });
  return Error.empty() ? Tree : Error;
}

// The compile of any corpus case: a "validate" case's own; for every other
// kind its entry with its defaults and the case's options, an expression
// kind validated over Customer.
inline TORVCorpusCompile CorpusCompileOfCase(const TORVSqlCorpusCase& Case) {
  TORVCorpusCompile How;
  if (Case.Kind == "validate") How = CorpusCompileOf(Case.Options);
  for (const TORVSqlCorpusKind& Kind : SqlCorpusKinds()) {
    if (Case.Kind != Kind.Name) continue;
    How.Options = CorpusCaseOptions(Case, Kind.Defaults);
    const bool Expression = Case.Kind == "expr" || Case.Kind == "build";
    if (!Expression) How.Entry = Kind.Parse;
  }
  // Every owner that lets an expression hold queries lets it qualify
  // columns by table too, as the columns a "*" stands for are written.
  if (How.Options.Contains(poAllowQueries)) How.Options.Include(poAllowTableQualifier);
  return How;
}

// The error of a text that does not compile, its "!LINE:COLUMN MESSAGE".
struct TORVCorpusCompileError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Compiles a text as How says and gives its built text and a copy of its
// typed tree, no tree when the tree has no built text; raises
// TORVCorpusCompileError when it does not compile.
inline TORVCompileFunc CorpusCompileFunc(const TORVCorpusCompile& How) {
  return [How](const TORVString& Text) {
    TORVCompiledText Result;
    const std::string Error = CompileForCorpus(Text, How, [&Result](const TORVExprToken* Tree) {
      if (Tree == nullptr || !HasBuiltText(Tree)) return;
      Result.Built = BuildForCorpus(Tree);
      Result.Tree.reset(CopyTokens(Tree));
    });
    if (!Error.empty()) throw TORVCorpusCompileError(Error);
    return Result;
  };
}

enum TORVCorpusCompileOutcome { ccRaised, ccNoText, ccRoundTripped };

// Compiles Text as How says; a tree with built text must survive the round
// trip through that text. The built text of a statement carries no
// terminator. Where every parenthesis makes a row value, the parentheses
// that the builder adds around a bare sub-query would make one too, so that
// context has no round trip.
inline TORVCorpusCompileOutcome CompiledRoundTripForCorpus(const TORVString& Text, const TORVCorpusCompile& How) {
  TORVCompiledText First;
  try {
    First = CorpusCompileFunc(How)(Text);
  } catch (const TORVCorpusCompileError&) {
    return ccRaised;
  }
  if (First.Tree == nullptr) return ccNoText;
  if (How.Options.Contains(poForceRowValues)) return ccNoText;
  TORVCorpusCompile Again = How;
  Again.Options.Exclude(poRequireLineTerm);
  EXPECT_TRUE(CompiledRoundTrips(First, CorpusCompileFunc(Again))) << "text: " << StringToUtf8(Text);
  return ccRoundTripped;
}

// Every case of the corpus that compiles; returns how many did.
inline int32_t CompiledRoundTripSqlCorpus() {
  int32_t Count = 0;
  for (const TORVSqlCorpusCase& Case : ReadSqlCorpus()) {
    if (Case.Kind == "optimize") continue;
    SCOPED_TRACE("corpus line " + std::to_string(Case.Line) + ": " + Case.Sql);
    if (CompiledRoundTripForCorpus(Utf8ToString(Case.Sql), CorpusCompileOfCase(Case)) == ccRoundTripped) ++Count;
  }
  return Count;
}

// Every "validate" case; returns how many there were.
inline int32_t RunSqlCorpusValidate() {
  int32_t Count = 0;
  for (const TORVSqlCorpusCase& Case : ReadSqlCorpus()) {
    if (Case.Kind != "validate") continue;
    ++Count;
    SCOPED_TRACE("corpus line " + std::to_string(Case.Line) + ": " + Case.Sql);
    EXPECT_EQ(ValidateForCorpus(Case.Sql, Case.Options), Case.Expected);
  }
  return Count;
}

}  // namespace orv::test
