// Statements per second to parse, and to parse and build the text again,
// over the query texts of the SQL corpus, beside SQLite preparing the same
// statements against tables of the same names. SQLite's prepare also
// resolves names and plans, so its figure bounds its parse time from above.
// Only the statements that both accept are timed.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/orvtype.h"
#include "base/orvutf8.h"
#include "sql/orvbuilder.h"
#include "sql/orvcompiledexpr.h"
#include "sql/orvexprtoken.h"
#include "sql/orvparser.h"
#include "sql/orvtokenizer.h"

namespace {

using namespace orv;

constexpr const char* CorpusText =
#include "tests/sql/orvsqlcorpus.inc"
    ;

const TORVParseOptions QueryOptions{poAllowQueries, poAllowTableQualifier, poAllowSchemaQualifier,
                                    poAllowDatabaseQualifier, poAllowInto};

TORVExprToken* ParseWholeQuery(TORVExprParser& Parser, TORVCompiledExpr& Expr) {
  Parser.Initialize(&Expr);
  TORVPartialTree Query(Parser.ParseQuery(QueryOptions));
  if (!Parser.CheckToken(tkEndOfText)) Parser.ExpectedExpression(u"end of expression");
  return Query.Release();
}

// The SQL text of every corpus case, whatever its kind.
std::vector<std::string> CorpusTexts() {
  std::vector<std::string> Texts;
  std::string_view Text = CorpusText;
  bool InSql = false;
  while (!Text.empty()) {
    const std::size_t End = Text.find('\n');
    const std::string_view Line = Text.substr(0, End);
    Text.remove_prefix(End == std::string_view::npos ? Text.size() : End + 1);
    if (Line.starts_with("===")) {
      Texts.emplace_back();
      InSql = true;
    } else if (Line.starts_with("-->")) {
      InSql = false;
    } else if (InSql && !Line.empty()) {
      if (!Texts.back().empty()) Texts.back() += '\n';
      Texts.back() += Line;
    }
  }
  return Texts;
}

void CollectNames(const TORVExprToken* Token, std::set<std::u16string>& Tables, std::set<std::u16string>& Columns) {
  if (Token == nullptr) return;
  if (Token->FTokenType == ttTABLEREF && Token->FTokenOperator != toDERIVED) Tables.insert(Token->FName);
  if (Token->FTokenType == ttCOLUMNREF && Token->FName != u"*") Columns.insert(Token->FName);
  CollectNames(Token->GetLeftToken(), Tables, Columns);
  CollectNames(Token->GetRightToken(), Tables, Columns);
  for (int32_t I = 0; I < Token->GetNumArguments(); ++I) CollectNames(Token->GetArgument(I), Tables, Columns);
}

std::string Quoted(const std::u16string& Name) {
  std::string Result = "\"";
  for (char C : StringToUtf8(Name)) {
    if (C == '"') Result += '"';
    Result += C;
  }
  return Result + "\"";
}

// The corpus queries that both parsers accept, and a database whose tables
// carry every name the queries use.
struct TWorkload {
  TWorkload() {
    std::vector<std::string> Parsed;
    std::set<std::u16string> Tables;
    std::set<std::u16string> Columns;
    for (const std::string& Text : CorpusTexts()) {
      TORVCompiledExpr Expr;
      Expr.SetExpression(Utf8ToString(Text));
      TORVExprParser Parser;
      try {
        TORVExprToken* Tree = ParseWholeQuery(Parser, Expr);
        CollectNames(Tree, Tables, Columns);
        FreeTokens(Tree);
        Parsed.push_back(Text);
      } catch (const EORVException&) {
      }
    }
    sqlite3_open(":memory:", &Database);
    std::string ColumnList;
    for (const std::u16string& Column : Columns) ColumnList += (ColumnList.empty() ? "" : ", ") + Quoted(Column);
    for (const std::u16string& Table : Tables) {
      const std::string Create = "CREATE TABLE " + Quoted(Table) + " (" + ColumnList + ")";
      sqlite3_exec(Database, Create.c_str(), nullptr, nullptr, nullptr);
    }
    for (const std::string& Text : Parsed) {
      sqlite3_stmt* Statement = nullptr;
      if (sqlite3_prepare_v2(Database, Text.c_str(), -1, &Statement, nullptr) == SQLITE_OK && Statement != nullptr) {
        Statements.push_back(Text);
        Texts.push_back(Utf8ToString(Text));
      }
      sqlite3_finalize(Statement);
    }
  }
  ~TWorkload() { sqlite3_close(Database); }

  sqlite3* Database = nullptr;
  std::vector<std::string> Statements;
  std::vector<TORVString> Texts;
};

TWorkload& Workload() {
  static TWorkload Instance;
  return Instance;
}

void BM_OrvParse(benchmark::State& state) {
  TWorkload& W = Workload();
  TORVExprParser Parser;
  std::vector<TORVCompiledExpr> Exprs(W.Texts.size());
  for (std::size_t I = 0; I < W.Texts.size(); ++I) Exprs[I].SetExpression(W.Texts[I]);
  for (auto _ : state) {
    for (TORVCompiledExpr& Expr : Exprs) {
      TORVExprToken* Tree = ParseWholeQuery(Parser, Expr);
      benchmark::DoNotOptimize(Tree);
      FreeTokens(Tree);
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * Exprs.size()));
  state.counters["statements"] = static_cast<double>(Exprs.size());
}
BENCHMARK(BM_OrvParse);

void BM_OrvParseAndBuild(benchmark::State& state) {
  TWorkload& W = Workload();
  TORVExprParser Parser;
  TORVExprBuilder Builder;
  Builder.SetIndentationLevel(-1);
  std::vector<TORVCompiledExpr> Exprs(W.Texts.size());
  for (std::size_t I = 0; I < W.Texts.size(); ++I) Exprs[I].SetExpression(W.Texts[I]);
  for (auto _ : state) {
    for (TORVCompiledExpr& Expr : Exprs) {
      TORVExprToken* Tree = ParseWholeQuery(Parser, Expr);
      Builder.BuildQuery(Tree, true);
      benchmark::DoNotOptimize(Builder.GetExpressionLiteral().data());
      Builder.ClearExpr();
      FreeTokens(Tree);
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * Exprs.size()));
}
BENCHMARK(BM_OrvParseAndBuild);

void BM_SqlitePrepare(benchmark::State& state) {
  TWorkload& W = Workload();
  for (auto _ : state) {
    for (const std::string& Text : W.Statements) {
      sqlite3_stmt* Statement = nullptr;
      sqlite3_prepare_v2(W.Database, Text.c_str(), static_cast<int>(Text.size()), &Statement, nullptr);
      benchmark::DoNotOptimize(Statement);
      sqlite3_finalize(Statement);
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * W.Statements.size()));
}
BENCHMARK(BM_SqlitePrepare);

}  // namespace
