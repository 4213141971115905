// Statements per second to parse, and to parse and build the text again,
// over the query texts of the SQL corpus, beside SQLite preparing the same
// statements against tables of the same names. SQLite's prepare also
// resolves names and plans, so its figure bounds its parse time from above.
// Only the statements that both accept are timed.
//
// The whole compile (parse, validate against a catalog, optimize the WHERE
// condition) is timed over the same queries against a catalog whose tables
// carry every name they use, beside SQLite's prepare in the same run, as
// EngineToSQLite; and over growing statements: WHERE clauses of ANDed and
// of ORed comparisons, IN lists and joins, per comparison, item or table,
// so that a cost growing faster than the text shows as a per-unit figure
// that rises with the size.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/orvtype.h"
#include "base/orvutf8.h"
#include "bench/orvbenchsqlite.h"
#include "catalog/orvcatalog.h"
#include "catalog/orvcatalogexpr.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvconfig.h"
#include "catalog/orvdatabase.h"
#include "catalog/orvdatatype.h"
#include "catalog/orvschema.h"
#include "catalog/orvtable.h"
#include "core/orvenv.h"
#include "core/orvtypefunc.h"
#include "sql/orvbuilder.h"
#include "sql/orvcompiledexpr.h"
#include "sql/orvexprtoken.h"
#include "sql/orvparser.h"
#include "sql/orvtokenizer.h"
#include "sql/orvtokenslots.h"
#include "sql/orvtreeutil.h"
#include "sql/orvvalidater.h"
#include "tests/catalog/orvconfigroot.h"

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

// A column compared with a text constant, or handed to a text function,
// holds text.
bool TakesText(const TORVExprToken* Token) {
  if (Token->FTokenType == ttFUNCTION)
    return Token->FTokenOperator == toUPPER || Token->FTokenOperator == toLOWER ||
           Token->FTokenOperator == toSUBSTRING || Token->FTokenOperator == toTRIM;
  auto IsText = [](const TORVExprToken* Operand) {
    return Operand != nullptr && Operand->FTokenType == ttCONST && Operand->FDataType == dtCharacter;
  };
  if (IsText(Token->GetLeftToken()) || IsText(Token->GetRightToken())) return true;
  for (int32_t I = 0; I < Token->GetNumArguments(); ++I)
    if (IsText(Token->GetArgument(I))) return true;
  return false;
}

void CollectNames(const TORVExprToken* Token, std::set<std::u16string>& Tables, std::set<std::u16string>& Columns,
                  std::set<std::u16string>& TextColumns) {
  if (Token == nullptr) return;
  if (Token->FTokenType == ttTABLEREF && Token->FTokenOperator != toDERIVED) Tables.insert(Token->FName);
  if (Token->FTokenType == ttCOLUMNREF && Token->FName != u"*") Columns.insert(Token->FName);
  if (TakesText(Token)) {
    auto Mark = [&TextColumns](const TORVExprToken* Operand) {
      if (Operand != nullptr && Operand->FTokenType == ttCOLUMNREF) TextColumns.insert(Operand->FName);
    };
    Mark(Token->GetLeftToken());
    Mark(Token->GetRightToken());
    for (int32_t I = 0; I < Token->GetNumArguments(); ++I) Mark(Token->GetArgument(I));
  }
  CollectNames(Token->GetLeftToken(), Tables, Columns, TextColumns);
  CollectNames(Token->GetRightToken(), Tables, Columns, TextColumns);
  for (int32_t I = 0; I < Token->GetNumArguments(); ++I)
    CollectNames(Token->GetArgument(I), Tables, Columns, TextColumns);
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
        CollectNames(Tree, Tables, Columns, TextColumnNames);
        FreeTokens(Tree);
        Parsed.push_back(Text);
      } catch (const EORVException&) {
      }
    }
    sqlite3_open(":memory:", &Database);
    std::string ColumnList;
    for (const std::u16string& Column : Columns) ColumnList += (ColumnList.empty() ? "" : ", ") + Quoted(Column);
    TableNames = Tables;
    ColumnNames = Columns;
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
  std::set<std::u16string> TableNames;
  std::set<std::u16string> ColumnNames;
  std::set<std::u16string> TextColumnNames;
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

// ---------------------------------------------------------- whole compile

constexpr int32_t TextLength = 40;

// A configuration with the whole compiler and its collations, and the
// database Bench whose catalog holds the tables the statements name.
class TCompileCatalog {
 public:
  TCompileCatalog() : FConfig(test::NewRoot()) {
    FConfig->SetParser(&FParser);
    FConfig->SetValidater(&FValidater);
    FConfig->SetBuilder(&FBuilder);
    LoadConfigCollations(FConfig->GetCollations(), CharacterSetUnicode, Environment());
    TORVDatabaseContainer* Database = test::NewDatabase(*FConfig, u"Bench", FConfig->GetSystemUser());
    Database->SetCatalog(std::make_unique<TORVCatalog>(FConfig.get()));
    Catalog = Database->GetCatalog();
    Catalog->SetVersion(EngineCatalogVersion);
    // A derived table is a temporary view for as long as its statement is
    // compiled; the session frees it when the statement lets it go.
    Catalog->SetOnRemoveTemporaryView([this](TORVView*& View) {
      Catalog->GetDefaultSchema()->GetTemporaryViews().Remove(View);
      delete View;
      View = nullptr;
    });
  }

  // A table made as CREATE TABLE makes one: the columns named in
  // TextColumns VARCHAR(40), the others INTEGER.
  TORVBaseTable* AddTable(const TORVString& Name, const std::vector<TORVString>& Columns,
                          const std::set<TORVString>& TextColumns = {}) {
    TORVBaseTables& Tables = Catalog->GetDefaultSchema()->GetBaseTables();
    std::unique_ptr<TORVBaseTable> NewTable(static_cast<TORVBaseTable*>(Tables.GetNewObject(nullptr)));
    NewTable->SetName(Name);
    Tables.Add(NewTable.get());
    TORVBaseTable* Table = NewTable.release();
    Table->CreateSystemColumns();
    for (const TORVString& ColumnName : Columns) {
      std::unique_ptr<TORVColumn> Column(static_cast<TORVColumn*>(Table->GetColumns().GetNewObject()));
      Column->SetName(ColumnName);
      if (TextColumns.contains(ColumnName)) {
        Column->SetDataType(dtCharacter);
        Column->SetSubType(stVarChar);
        Column->SetLength(TextLength);
      } else {
        Column->SetDataType(dtInteger);
      }
      Table->GetColumns().Add(Column.release());
    }
    Table->GrantDefaultPrivileges();
    Table->SetLockSlot(++FLockSlots);
    return Table;
  }

  TORVCatalog* Catalog = nullptr;

 private:
  TORVExprParser FParser;
  TORVExprValidater FValidater;
  TORVExprBuilder FBuilder;
  std::unique_ptr<TORVConfig> FConfig;
  int32_t FLockSlots = 0;
};

// A statement of the catalog compiled whole: parsed, validated and the
// condition of its WHERE clause optimized as a filter's is.
class TCompiledStatement {
 public:
  TCompiledStatement(TORVCatalog* Catalog, TORVBaseTable* Parent, const TORVString& Text) : FStatement(Parent) {
    FStatement.SetCatalog(Catalog);
    FStatement.SetExpression(Text);
  }

  void Compile() {
    FStatement.Compile();
    TORVExprToken* Root = FStatement.FTokens;
    if (Root != nullptr && Root->FTokenType == ttQUERY) {
      TORVExprToken* Where = SlotOf(Root, QueryWhereSlot);
      TORVExprToken* Condition = Where != nullptr ? SlotOf(Where, ClauseValueSlot) : nullptr;
      if (Condition != nullptr) {
        FStatement.SetOptimizeType(Condition);
        if (FStatement.Rewrite(Condition)) FStatement.SetOptimizeType(Condition);
        FStatement.RewriteScans(Condition);
      }
    }
  }
  // As the owner lets a compiled statement go: its catalog reads end, then
  // its tree goes.
  void Release() {
    FStatement.Unlock();
    FStatement.Decompile();
  }

  // Whether the text compiles at all.
  bool Compiles() {
    try {
      Compile();
    } catch (const EORVException&) {
      return false;
    }
    Release();
    return true;
  }

 private:
  TORVCatalogStatement FStatement;
};

// The corpus's tables in the catalog, each with every column name the
// queries use (text where a query treats it as text, else Integer), and
// the queries that the engine compiles
// and SQLite prepares.
struct TCompileWorkload {
  TCompileWorkload() {
    TWorkload& W = Workload();
    const std::vector<TORVString> Columns(W.ColumnNames.begin(), W.ColumnNames.end());
    for (const std::u16string& Name : W.TableNames) Parent = Compiler.AddTable(Name, Columns, W.TextColumnNames);
    for (std::size_t I = 0; I < W.Texts.size(); ++I) {
      auto Statement = std::make_unique<TCompiledStatement>(Compiler.Catalog, Parent, W.Texts[I]);
      if (!Statement->Compiles()) continue;
      Statements.push_back(std::move(Statement));
      Texts.push_back(W.Statements[I]);
    }
  }

  TCompileCatalog Compiler;
  TORVBaseTable* Parent = nullptr;
  std::vector<std::unique_ptr<TCompiledStatement>> Statements;
  std::vector<std::string> Texts;
};

TCompileWorkload& CompileWorkload() {
  static TCompileWorkload Instance;
  return Instance;
}

void PrepareInSQLite(sqlite3* Database, const std::string& Text) {
  sqlite3_stmt* Statement = nullptr;
  if (sqlite3_prepare_v2(Database, Text.c_str(), static_cast<int>(Text.size()), &Statement, nullptr) != SQLITE_OK)
    bench::SQLiteFailed(Database, Text.c_str());
  benchmark::DoNotOptimize(Statement);
  sqlite3_finalize(Statement);
}

// Rounds of the corpus per run, so that one run is long enough to time.
constexpr int32_t CorpusRounds = 20;

void BM_CompileCorpus(benchmark::State& State) {
  TCompileWorkload& C = CompileWorkload();
  sqlite3* Database = Workload().Database;
  bench::RunAgainstSQLite(
      State, static_cast<int64_t>(C.Statements.size()) * CorpusRounds,
      [&] {
        for (int32_t Round = 0; Round < CorpusRounds; ++Round) {
          for (const auto& Statement : C.Statements) {
            Statement->Compile();
            Statement->Release();
          }
        }
      },
      [&] {
        for (int32_t Round = 0; Round < CorpusRounds; ++Round)
          for (const std::string& Text : C.Texts) PrepareInSQLite(Database, Text);
      });
  State.counters["statements"] = static_cast<double>(C.Statements.size());
}
BENCHMARK(BM_CompileCorpus)->Apply(bench::RepeatedAgainstSQLite);

// ------------------------------------------------------------ growth series

// Prefix followed by Number: a name of the growth series.
std::string Numbered(const char* Prefix, int64_t Number) {
  std::string Name(Prefix);
  Name += std::to_string(Number);
  return Name;
}

// The tables g1 to g8 of the growth series, each (c0 INTEGER, ..., c9
// INTEGER), in both the engine's catalog and SQLite's database.
constexpr int32_t GrowthColumns = 10;
constexpr int32_t GrowthTables = 8;

struct TGrowthSchema {
  TGrowthSchema() : SQLite(":memory:") {
    std::vector<TORVString> Columns;
    std::string ColumnList;
    for (int32_t I = 0; I < GrowthColumns; ++I) {
      Columns.push_back(Utf8ToString(Numbered("c", I)));
      if (I > 0) ColumnList += ", ";
      ColumnList += Numbered("c", I) + " INTEGER";
    }
    for (int32_t I = 1; I <= GrowthTables; ++I) {
      const std::string Name = Numbered("g", I);
      Parent = Compiler.AddTable(Utf8ToString(Name), Columns);
      SQLite.Exec(("CREATE TABLE " + Name + " (" + ColumnList + ")").c_str());
    }
  }

  TCompileCatalog Compiler;
  TORVBaseTable* Parent = nullptr;
  bench::TBenchSQLite SQLite;
};

TGrowthSchema& GrowthSchema() {
  static TGrowthSchema Instance;
  return Instance;
}

// Units compiled per run whatever the size, so that small statements run
// often enough to time.
constexpr int64_t GrowthUnitsPerRun = 10000;

// Compiles Text, made of Units comparisons, items or tables, in both
// engines, and reports each side's time per unit.
void RunGrowth(benchmark::State& State, const std::string& Text, int64_t Units) {
  TGrowthSchema& Schema = GrowthSchema();
  TCompiledStatement Statement(Schema.Compiler.Catalog, Schema.Parent, Utf8ToString(Text));
  const int64_t Rounds = std::max<int64_t>(1, GrowthUnitsPerRun / Units);
  bench::RunAgainstSQLite(
      State, Rounds * Units,
      [&] {
        for (int64_t Round = 0; Round < Rounds; ++Round) {
          Statement.Compile();
          Statement.Release();
        }
      },
      [&] {
        for (int64_t Round = 0; Round < Rounds; ++Round) PrepareInSQLite(Schema.SQLite.Handle(), Text);
      });
}

// SELECT c0 FROM g1 WHERE (c0 = 0 AND ... c9 = 9) AND (...) ...: Count
// comparisons of the table's columns with distinct constants joined by
// Word, in parenthesised groups of ten, as SQLite refuses a condition
// nested 1,000 deep.
constexpr int64_t ComparisonGroup = 10;

std::string ComparisonQuery(int64_t Count, const char* Word) {
  const std::string Joint = std::string(" ") + Word + " ";
  std::string Text = "SELECT c0 FROM g1 WHERE ";
  for (int64_t I = 0; I < Count; ++I) {
    const bool Grouped = Count > ComparisonGroup;
    if (I % ComparisonGroup == 0) {
      if (I > 0) Text += (Grouped ? ")" : "") + Joint;
      if (Grouped) Text += "(";
    } else {
      Text += Joint;
    }
    Text += Numbered("c", I % GrowthColumns) + " = " + std::to_string(I);
  }
  if (Count > ComparisonGroup) Text += ")";
  return Text;
}

void BM_CompileWhereAnd(benchmark::State& State) {
  RunGrowth(State, ComparisonQuery(State.range(0), "AND"), State.range(0));
}
BENCHMARK(BM_CompileWhereAnd)->Arg(10)->Arg(100)->Arg(1000)->Apply(bench::RepeatedAgainstSQLite);

void BM_CompileWhereOr(benchmark::State& State) {
  RunGrowth(State, ComparisonQuery(State.range(0), "OR"), State.range(0));
}
BENCHMARK(BM_CompileWhereOr)->Arg(10)->Arg(100)->Arg(1000)->Apply(bench::RepeatedAgainstSQLite);

void BM_CompileInList(benchmark::State& State) {
  std::string Text = "SELECT c0 FROM g1 WHERE c1 IN (";
  for (int64_t I = 0; I < State.range(0); ++I) {
    if (I > 0) Text += ", ";
    Text += std::to_string(I);
  }
  RunGrowth(State, Text + ")", State.range(0));
}
BENCHMARK(BM_CompileInList)->Arg(10)->Arg(100)->Arg(1000)->Apply(bench::RepeatedAgainstSQLite);

// SELECT g1.c0, ... FROM g1 INNER JOIN g2 ON g2.c0 = g1.c0 ...: each table
// joined on the one before it and one column of each selected.
void BM_CompileJoin(benchmark::State& State) {
  std::string Select = "SELECT ";
  std::string From = " FROM g1";
  for (int64_t I = 1; I <= State.range(0); ++I) {
    const std::string Name = Numbered("g", I);
    if (I > 1) Select += ", ";
    Select += Name + ".c" + std::to_string(I % GrowthColumns);
    if (I > 1) From += " INNER JOIN " + Name + " ON " + Name + ".c0 = g" + std::to_string(I - 1) + ".c1";
  }
  RunGrowth(State, Select + From, State.range(0));
}
BENCHMARK(BM_CompileJoin)->Arg(2)->Arg(4)->Arg(8)->Apply(bench::RepeatedAgainstSQLite);

}  // namespace
