// Reader and runner of the SQL corpus (tests/sql/orvsqlcorpus.inc): each
// case is parsed by the entry its kind names and must give its golden tree,
// written as DumpTokens writes it, or its error with line and column.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/orverrors.h"
#include "base/orverror.h"
#include "base/orvutf8.h"
#include "sql/orvcompiledexpr.h"
#include "sql/orvexprtoken.h"
#include "sql/orvparser.h"
#include "sql/orvparseroptions.h"
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
    std::string Result = DumpTokens(Tree);
    FreeTokens(Tree);
    return Result;
  } catch (const EORVException& E) {
    EXPECT_EQ(E.ErrorCode(), ORV_SQL_ERROR.Code);
    std::string Line = std::to_string(E.ErrorLine());
    std::string Column = std::to_string(E.ErrorColumn());
    std::string Message = StringToUtf8(E.ErrorMsg());
    std::string Prefix = "An error was found in the expression at line " + Line + " and column " + Column + " (";
    if (Message.starts_with(Prefix) && Message.ends_with(")"))
      Message = Message.substr(Prefix.size(), Message.size() - Prefix.size() - 1);
    return "!" + Line + ":" + Column + " " + Message;
  }
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

}  // namespace orv::test
