// A WHERE condition evaluated row by row, beside SQLite counting the rows
// of an in-memory table that meet the same condition. The condition has 15
// nodes (arithmetic, comparisons, AND and OR) over three Integer columns
// and one VarChar column; the harness sets the column nodes' values for
// each of 1,000,000 rows and evaluates the tree, as a cursor's filter does.
// A second case leaves the text column out; the others test one predicate
// each: an IN list of 100 constants (and the same list under NOT IN), a
// LIKE with a prefix pattern, and a BETWEEN.
//
// Reported: EngineToSQLite (the engine's time over SQLite's), the
// nanoseconds per node, and the heap allocations per evaluation after the
// first (the aim is none for a condition without text). Both sides must
// count the same rows, or the program stops.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "base/orvtype.h"
#include "base/orvutf8.h"
#include "bench/orvbenchalloc.h"
#include "bench/orvbenchsqlite.h"
#include "core/orvtypefunc.h"
#include "core/orvvalue.h"
#include "eval/orveval.h"
#include "sql/orvcompiledexpr.h"
#include "sql/orvexprtoken.h"
#include "sql/orvparser.h"

namespace {

using namespace orv;
using orv::bench::GAllocations;

constexpr int32_t kRows = 1000000;

struct TRows {
  std::vector<int32_t> A, B, C;
  std::vector<std::string> D;
  std::vector<TORVString> DText;
};

// The same rows every run: three small integers and one of a few words.
const TRows& Rows() {
  static const TRows* Made = [] {
    auto* Rows = new TRows;
    std::mt19937 Random(41);
    const char* Words[] = {"abc", "abd", "xyz", "hello", "abc"};
    for (int32_t Row = 0; Row < kRows; ++Row) {
      Rows->A.push_back(static_cast<int32_t>(Random() % 1000));
      Rows->B.push_back(static_cast<int32_t>(Random() % 1000));
      Rows->C.push_back(static_cast<int32_t>(Random() % 1000));
      Rows->D.push_back(Words[Random() % 5]);
      Rows->DText.push_back(Utf8ToString(Rows->D.back()));
    }
    return Rows;
  }();
  return *Made;
}

// The compiler's types for a condition over a, b, c (Integer) and d
// (VarChar(20)): the benchmark has no catalog to validate against, so it
// types the parsed tree itself, as validation would.
void TypeTree(TORVExprToken* Token, std::vector<TORVExprToken*> Columns[4]) {
  if (Token == nullptr) return;
  TypeTree(Token->GetLeftToken(), Columns);
  TypeTree(Token->GetRightToken(), Columns);
  for (int32_t I = 0; I < Token->GetNumArguments(); ++I) TypeTree(Token->GetArgument(I), Columns);
  if (Token->FTokenType == ttCOLUMNREF) {
    const int32_t Index = Token->FName[0] - u'a';
    Token->SetDataType(Index == 3 ? dtCharacter : dtInteger);
    if (Index == 3) Token->SetLength(20);
    Columns[Index].push_back(Token);
  } else if (Token->FTokenType == ttEXTBINARY) {
    Token->SetDataType(dtBoolean);
  } else if (Token->FTokenType == ttBINARY) {
    const bool Arithmetic = Token->FTokenOperator == toADD || Token->FTokenOperator == toSUB ||
                            Token->FTokenOperator == toMUL;
    Token->SetDataType(Arithmetic ? dtInteger : dtBoolean);
  }
}

int32_t CountNodes(const TORVExprToken* Token) {
  if (Token == nullptr) return 0;
  int32_t Count = 1 + CountNodes(Token->GetLeftToken()) + CountNodes(Token->GetRightToken());
  for (int32_t I = 0; I < Token->GetNumArguments(); ++I) Count += CountNodes(Token->GetArgument(I));
  return Count;
}

// A condition parsed and typed, with its column nodes by column.
struct TParsedCondition {
  explicit TParsedCondition(const char* Condition) {
    Expr.SetExpression(Utf8ToString(Condition));
    Parser.Initialize(&Expr);
    Tree.Reset(Parser.ParseExpr(TORVParseOptions{}));
    TypeTree(Tree.Get(), Columns);
    Nodes = CountNodes(Tree.Get());
  }

  TORVCompiledExpr Expr;
  TORVExprParser Parser;
  TORVPartialTree Tree;
  std::vector<TORVExprToken*> Columns[4];
  int32_t Nodes = 0;
};

// SQLite's table t over the same rows.
void FillSQLite(bench::TBenchSQLite& SQLite) {
  const TRows& Data = Rows();
  // The engine's default collation tells case apart in LIKE as well.
  SQLite.Exec("PRAGMA case_sensitive_like = ON");
  SQLite.Exec("CREATE TABLE t (a INTEGER, b INTEGER, c INTEGER, d VARCHAR(20))");
  SQLite.Exec("BEGIN");
  {
    bench::TBenchStatement Insert(SQLite, "INSERT INTO t VALUES (?, ?, ?, ?)");
    for (int32_t Row = 0; Row < kRows; ++Row) {
      Insert.Bind(1, Data.A[Row]);
      Insert.Bind(2, Data.B[Row]);
      Insert.Bind(3, Data.C[Row]);
      Insert.Bind(4, std::string_view(Data.D[Row]));
      Insert.Step();
      Insert.Reset();
    }
  }
  SQLite.Exec("COMMIT");
}

// Both sides must count the same rows, or the program stops.
void ReportCounts(benchmark::State& State, int64_t EngineCount, int64_t SQLiteCount, int32_t Nodes,
                  int64_t Allocations) {
  if (EngineCount != SQLiteCount) {
    std::fprintf(stderr, "the engine counted %lld rows, SQLite %lld\n", static_cast<long long>(EngineCount),
                 static_cast<long long>(SQLiteCount));
    std::abort();
  }
  State.counters["NsPerNode"] = State.counters["EngineNsPerOp"] / Nodes;
  State.counters["Nodes"] = Nodes;
  State.counters["AllocationsPerEvaluation"] = static_cast<double>(Allocations) / kRows;
  State.counters["Rows"] = static_cast<double>(EngineCount);
}

// Counts the rows that meet Tree, each row loaded by LoadRow(Row) first,
// beside SQLite counting them with Condition; reports both and frees the
// tree's values.
template <typename TLoadRow>
void CountAgainstSQLite(benchmark::State& State, TORVExprEvaluator& Evaluator, TORVExprToken* Tree,
                        const char* Condition, int32_t Nodes, TLoadRow&& LoadRow) {
  bench::TBenchSQLite SQLite(":memory:");
  FillSQLite(SQLite);
  bench::TBenchStatement Count(SQLite, (std::string("SELECT count(*) FROM t WHERE ") + Condition).c_str());

  int64_t EngineCount = 0;
  int64_t SQLiteCount = 0;
  int64_t Allocations = 0;
  bench::RunAgainstSQLite(
      State, kRows,
      [&] {
        const int64_t Before = GAllocations.load(std::memory_order_relaxed);
        EngineCount = 0;
        for (int32_t Row = 0; Row < kRows; ++Row) {
          LoadRow(Row);
          Evaluator.Evaluate(Tree);
          TORVValue& Result = *Tree->FValue;
          if (!Result.GetNull() && Result.GetAsBoolean()) ++EngineCount;
        }
        Allocations = GAllocations.load(std::memory_order_relaxed) - Before;
      },
      [&] {
        Count.Reset();
        Count.Step();
        SQLiteCount = Count.ColumnInt(0);
      });
  ReportCounts(State, EngineCount, SQLiteCount, Nodes, Allocations);
  Evaluator.Reset(Tree);
}

void Evaluate(benchmark::State& State, const char* Condition, bool UsesText) {
  const TRows& Data = Rows();
  TParsedCondition Parsed(Condition);
  TORVPartialTree& Tree = Parsed.Tree;
  auto& Columns = Parsed.Columns;
  const int32_t Nodes = Parsed.Nodes;

  TORVExprEvaluator Evaluator(CharacterSetUnicode);
  Evaluator.Initialize(Tree.Get());
  // The first evaluation makes every node's value.
  Evaluator.Evaluate(Tree.Get());
  for (auto& List : Columns) {
    for (TORVExprToken* Column : List) Evaluator.GetValue(Column);
  }

  CountAgainstSQLite(State, Evaluator, Tree.Get(), Condition, Nodes, [&](int32_t Row) {
    for (TORVExprToken* Column : Columns[0]) Column->FValue->SetAsInteger(Data.A[Row]);
    for (TORVExprToken* Column : Columns[1]) Column->FValue->SetAsInteger(Data.B[Row]);
    for (TORVExprToken* Column : Columns[2]) Column->FValue->SetAsInteger(Data.C[Row]);
    if (UsesText) {
      for (TORVExprToken* Column : Columns[3]) Column->FValue->SetAsString(Data.DText[Row]);
    }
  });
}

void BM_EvaluateWhereWithText(benchmark::State& State) {
  Evaluate(State, "(a + b > c AND d = 'abc') OR a - c < b", true);
}
BENCHMARK(BM_EvaluateWhereWithText)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);

void BM_EvaluateWhereNumbers(benchmark::State& State) {
  Evaluate(State, "(a + b > c AND a < 450) OR a - c < b", false);
}
BENCHMARK(BM_EvaluateWhereNumbers)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);

// 100 distinct constants spread over the column's range, in no order: a
// tenth of the rows meet the condition.
const std::string& InListCondition() {
  static const std::string Condition = [] {
    std::string Text = "a IN (";
    for (int32_t I = 0; I < 100; ++I) Text += std::to_string((I * 37 + 11) % 1000) + (I < 99 ? ", " : ")");
    return Text;
  }();
  return Condition;
}

void BM_EvaluateWhereInList(benchmark::State& State) { Evaluate(State, InListCondition().c_str(), false); }
BENCHMARK(BM_EvaluateWhereInList)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);

// The same list under NOT IN: nine tenths of the rows meet it.
const std::string& NotInListCondition() {
  static const std::string Condition = "a NOT" + InListCondition().substr(1);
  return Condition;
}

void BM_EvaluateWhereNotInList(benchmark::State& State) { Evaluate(State, NotInListCondition().c_str(), false); }
BENCHMARK(BM_EvaluateWhereNotInList)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);

void BM_EvaluateWhereLikePrefix(benchmark::State& State) { Evaluate(State, "d LIKE 'abc%'", true); }
BENCHMARK(BM_EvaluateWhereLikePrefix)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);

void BM_EvaluateWhereBetween(benchmark::State& State) { Evaluate(State, "a BETWEEN 200 AND 700", false); }
BENCHMARK(BM_EvaluateWhereBetween)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);

}  // namespace

// The same conditions through a local session's evaluator, whose column
// nodes are column references reading the values of a row through the
// evaluation context, as a table manager's check or a filter over a cursor
// row does. Each row's stored image is copied into the row buffer first, as
// a cursor reads a row, so the values are read from their slots.
#include "bench/orvbenchrow.h"
#include "local/orvevalcontext.h"
#include "local/orvlocaleval.h"

namespace {

// Column node a, b, c or d reads the row's item 0 .. 3.
void BindColumnReferences(std::vector<TORVExprToken*> Columns[4]) {
  for (int32_t Index = 0; Index < 4; ++Index) {
    for (TORVExprToken* Column : Columns[Index]) Column->FPosition = Index;
  }
}

void EvaluateThroughRow(benchmark::State& State, const char* Condition) {
  const TRows& Data = Rows();
  TORVColumns RowColumns;
  RowColumns.SetCatalogCharacterSet(CharacterSetUnicode);
  bench::AddColumn(RowColumns, u"a", dtInteger, 0, 0);
  bench::AddColumn(RowColumns, u"b", dtInteger, 0, 0);
  bench::AddColumn(RowColumns, u"c", dtInteger, 0, 0);
  bench::AddColumn(RowColumns, u"d", dtCharacter, stVarChar, 20);
  const int32_t RowSize = RowColumns.GetRowsetRowSize();
  TORVMemoryStream Buffer(CharacterSetUnicode);
  Buffer.SetSize(RowSize);
  bench::TBenchRowValues Row(CharacterSetUnicode, &RowColumns, false);
  Row.SetBufferStream(&Buffer);
  Row.CreateValueObjects();
  // Every row's stored image, made once.
  std::vector<uint8_t> Images(static_cast<size_t>(RowSize) * kRows);
  for (int32_t Index = 0; Index < kRows; ++Index) {
    std::fill(Buffer.GetMemory(), Buffer.GetMemory() + RowSize, 0);
    Row.GetItems(0)->SetAsInteger(Data.A[Index]);
    Row.GetItems(1)->SetAsInteger(Data.B[Index]);
    Row.GetItems(2)->SetAsInteger(Data.C[Index]);
    Row.GetItems(3)->SetAsString(Data.DText[Index]);
    std::copy(Buffer.GetMemory(), Buffer.GetMemory() + RowSize,
              Images.begin() + static_cast<ptrdiff_t>(Index) * RowSize);
  }

  TParsedCondition Parsed(Condition);
  TORVPartialTree& Tree = Parsed.Tree;
  BindColumnReferences(Parsed.Columns);
  const int32_t Nodes = Parsed.Nodes;

  TORVLocalExprEvaluator Evaluator(CharacterSetUnicode);
  TORVEvaluatorContext Context;
  Context.FCurrentRowValues = &Row;
  TORVContextScope Scope(Evaluator, Context);
  Evaluator.Initialize(Tree.Get());
  std::copy(Images.begin(), Images.begin() + RowSize, Buffer.GetMemory());
  Evaluator.Evaluate(Tree.Get());

  uint8_t* Slots = Buffer.GetMemory();
  CountAgainstSQLite(State, Evaluator, Tree.Get(), Condition, Nodes, [&](int32_t Index) {
    const uint8_t* Image = Images.data() + static_cast<ptrdiff_t>(Index) * RowSize;
    std::copy(Image, Image + RowSize, Slots);
  });
}

void BM_EvaluateWhereThroughRowWithText(benchmark::State& State) {
  EvaluateThroughRow(State, "(a + b > c AND d = 'abc') OR a - c < b");
}
BENCHMARK(BM_EvaluateWhereThroughRowWithText)->Apply(bench::RepeatedAgainstSQLite);

void BM_EvaluateWhereThroughRowNumbers(benchmark::State& State) {
  EvaluateThroughRow(State, "(a + b > c AND a < 450) OR a - c < b");
}
BENCHMARK(BM_EvaluateWhereThroughRowNumbers)->Apply(bench::RepeatedAgainstSQLite);

}  // namespace
