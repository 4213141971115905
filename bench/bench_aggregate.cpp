// Aggregates over one large group: COUNT(DISTINCT x) and LIST(ORDERED x)
// accumulated through the session's evaluator in one result row, beside
// SQLite's COUNT(DISTINCT x) and group_concat over a sorted sub-select of
// an in-memory table of the same values. SQLite's time includes its scan
// of the table; the engine is handed each value in place.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/orvtype.h"
#include "base/orvutf8.h"
#include "bench/orvbenchrow.h"
#include "bench/orvbenchsqlite.h"
#include "core/orvstream.h"
#include "core/orvtypefunc.h"
#include "local/orvevalcontext.h"
#include "local/orvlocaleval.h"
#include "sql/orvexprtoken.h"

namespace orv {
namespace {

// One in ten values is new.
std::vector<int32_t> Values(int32_t Count) {
  std::mt19937 Random(20261211);
  std::vector<int32_t> Result(static_cast<size_t>(Count));
  std::uniform_int_distribution<int32_t> Pick(1, Count / 10);
  for (int32_t& Value : Result) Value = Pick(Random);
  return Result;
}

// select column 0: Operator(x) under FTokenID Form, x a constant the loop
// sets.
struct TAggregateColumn {
  TAggregateColumn(TORVTokenOperator Operator, int32_t Form, int32_t DataType, int32_t SubType) {
    Column.FTokenType = ttSELECTCOLUMN;
    Column.FPosition = 0;
    Aggregate.FTokenType = ttFUNCREF;
    Aggregate.FTokenOperator = Operator;
    Aggregate.FTokenID = Form;
    Aggregate.FDataType = DataType;
    Aggregate.FSubType = SubType;
    X.FTokenType = ttCONST;
    X.FDataType = dtInteger;
    X.FTokenConstant = u"0";
    Column.AddArgument(&Aggregate);
    Aggregate.AddArgument(&X);
  }
  ~TAggregateColumn() {
    Column.SetNumArguments(0);
    Aggregate.SetNumArguments(0);
  }
  TORVExprToken Column;
  TORVExprToken Aggregate;
  TORVExprToken X;
};

void AggregateAgainstSQLite(benchmark::State& State, TORVTokenOperator Operator, int32_t Form, int32_t DataType,
                            int32_t SubType, const char* Query) {
  const auto Count = static_cast<int32_t>(State.range(0));
  const std::vector<int32_t> Data = Values(Count);

  bench::TBenchSQLite SQLite(":memory:");
  SQLite.Exec("CREATE TABLE t (x INTEGER)");
  SQLite.Exec("BEGIN");
  {
    bench::TBenchStatement Insert(SQLite, "INSERT INTO t VALUES (?)");
    for (int32_t Value : Data) {
      Insert.Bind(1, Value);
      Insert.Step();
      Insert.Reset();
    }
  }
  SQLite.Exec("COMMIT");
  bench::TBenchStatement Aggregate(SQLite, Query);

  TORVColumns Columns;
  Columns.SetCatalogCharacterSet(CharacterSetUnicode);
  bench::AddColumn(Columns, u"group", dtInteger, 0, 0);
  bench::AddColumn(Columns, u"result", DataType, SubType, 0);
  TORVMemoryStream Buffer(CharacterSetUnicode);
  Buffer.SetSize(Columns.GetRowsetRowSize());
  bench::TBenchRowValues Row(CharacterSetUnicode, &Columns, false);
  Row.SetBufferStream(&Buffer);
  Row.CreateValueObjects();

  TAggregateColumn Tree(Operator, Form, DataType, SubType);
  TORVLocalExprEvaluator Evaluator(CharacterSetUnicode);
  TORVEvaluatorContext Context;
  Context.FResultRowValues = &Row;
  TORVContextScope Scope(Evaluator, Context);
  Evaluator.GetValue(&Tree.X);
  Evaluator.GetValue(&Tree.Aggregate);

  std::string Ours;
  std::string Theirs;
  bench::RunAgainstSQLite(
      State, Count,
      [&] {
        Row.GetItems(1)->SetAsNull(true);
        for (int32_t Value : Data) {
          Tree.X.FValue->SetAsInteger(Value);
          Evaluator.EvaluateNextToken(&Tree.Aggregate);
        }
        Ours = StringToUtf8(Row.GetItems(1)->GetAsString());
      },
      [&] {
        Aggregate.Reset();
        Aggregate.Step();
        Theirs = std::string(Aggregate.ColumnText(0));
      });
  if (Ours != Theirs) {
    std::fprintf(stderr, "the engine answered %.40s..., SQLite %.40s...\n", Ours.c_str(), Theirs.c_str());
    std::abort();
  }
  State.SetLabel("SQLite's time includes its table scan");
}

void BM_CountDistinct(benchmark::State& State) {
  AggregateAgainstSQLite(State, toCOUNT, 1, dtInteger, 0, "SELECT COUNT(DISTINCT x) FROM t");
}
BENCHMARK(BM_CountDistinct)->Arg(1000000)->Apply(bench::RepeatedAgainstSQLite);

void BM_ListOrdered(benchmark::State& State) {
  AggregateAgainstSQLite(State, toLIST, 2, dtLargeObject, stClob,
                         "SELECT group_concat(x) FROM (SELECT x FROM t ORDER BY x)");
}
// The accumulator holds the whole sorted text after every value, so each
// value rebuilds it: the time grows with the square of the group's size,
// and a million values would run for hours. Two sizes show the growth.
BENCHMARK(BM_ListOrdered)->Arg(10000)->Arg(20000)->Apply(bench::RepeatedAgainstSQLite);

}  // namespace
}  // namespace orv
