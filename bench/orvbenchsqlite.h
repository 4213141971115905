// SQLite beside the engine in a benchmark: a database file set up for an
// unflushed bulk load, prepared statements that stop the program on any
// error (a benchmark has no one to report to), a stopwatch, and the counter
// that states the engine's time over SQLite's.
#pragma once

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>

namespace orv::bench {

[[noreturn]] inline void SQLiteFailed(sqlite3* Database, const char* What) {
  std::fprintf(stderr, "SQLite: %s: %s\n", What, Database != nullptr ? sqlite3_errmsg(Database) : "no database");
  std::abort();
}

// One connection to the database file Path (":memory:" for none), with
// synchronous OFF: writes are handed to the system unflushed, as the
// engine's unflushed writes are.
class TBenchSQLite {
 public:
  explicit TBenchSQLite(const std::string& Path) {
    if (sqlite3_open(Path.c_str(), &FDatabase) != SQLITE_OK) SQLiteFailed(FDatabase, "open");
    Exec("PRAGMA synchronous=OFF");
  }
  ~TBenchSQLite() { sqlite3_close(FDatabase); }
  TBenchSQLite(const TBenchSQLite&) = delete;
  TBenchSQLite& operator=(const TBenchSQLite&) = delete;

  void Exec(const char* Sql) {
    if (sqlite3_exec(FDatabase, Sql, nullptr, nullptr, nullptr) != SQLITE_OK) SQLiteFailed(FDatabase, Sql);
  }
  sqlite3* Handle() const { return FDatabase; }

 private:
  sqlite3* FDatabase = nullptr;
};

// A prepared statement. Bind from index 1 as SQLite counts; Step answers
// True for a row and False when done; Reset makes it ready to run again
// and keeps the bindings.
class TBenchStatement {
 public:
  TBenchStatement(TBenchSQLite& Database, const char* Sql) : FDatabase(Database.Handle()) {
    if (sqlite3_prepare_v2(FDatabase, Sql, -1, &FStatement, nullptr) != SQLITE_OK) SQLiteFailed(FDatabase, Sql);
  }
  ~TBenchStatement() { sqlite3_finalize(FStatement); }
  TBenchStatement(const TBenchStatement&) = delete;
  TBenchStatement& operator=(const TBenchStatement&) = delete;

  void Bind(int Index, int64_t Value) {
    if (sqlite3_bind_int64(FStatement, Index, Value) != SQLITE_OK) SQLiteFailed(FDatabase, "bind");
  }
  // SQLite copies the text.
  void Bind(int Index, std::string_view Text) {
    if (sqlite3_bind_text(FStatement, Index, Text.data(), static_cast<int>(Text.size()), SQLITE_TRANSIENT) !=
        SQLITE_OK)
      SQLiteFailed(FDatabase, "bind");
  }
  bool Step() {
    const int Result = sqlite3_step(FStatement);
    if (Result == SQLITE_ROW) return true;
    if (Result != SQLITE_DONE) SQLiteFailed(FDatabase, "step");
    return false;
  }
  void Reset() { sqlite3_reset(FStatement); }
  int64_t ColumnInt(int Index) { return sqlite3_column_int64(FStatement, Index); }
  // Valid until the next Step or Reset.
  std::string_view ColumnText(int Index) {
    const auto* Text = reinterpret_cast<const char*>(sqlite3_column_text(FStatement, Index));
    return Text != nullptr ? std::string_view(Text, static_cast<size_t>(sqlite3_column_bytes(FStatement, Index)))
                           : std::string_view();
  }
  sqlite3_stmt* Handle() const { return FStatement; }

 private:
  sqlite3* FDatabase;
  sqlite3_stmt* FStatement = nullptr;
};

// The count the environment variable Name gives, else Default.
inline int32_t CountFromEnvironment(const char* Name, int32_t Default) {
  const char* Given = std::getenv(Name);
  return Given != nullptr ? std::atoi(Given) : Default;
}

// Nanoseconds that Body takes, once.
template <typename TBody>
double TimeNanos(TBody&& Body) {
  const auto Start = std::chrono::steady_clock::now();
  std::forward<TBody>(Body)();
  return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - Start).count();
}

// The counters of an engine-against-SQLite case over Count operations:
// each side's nanoseconds per operation, and EngineToSQLite, the engine's
// time over SQLite's (below 1: the engine is faster).
inline void ReportAgainstSQLite(benchmark::State& State, double EngineNanos, double SQLiteNanos, int64_t Count) {
  const double PerOperation = Count > 0 ? static_cast<double>(Count) : 1.0;
  State.counters["EngineNsPerOp"] = EngineNanos / PerOperation;
  State.counters["SQLiteNsPerOp"] = SQLiteNanos / PerOperation;
  State.counters["EngineToSQLite"] = SQLiteNanos > 0 ? EngineNanos / SQLiteNanos : 0.0;
}

// One case: each iteration runs Engine, timed by the benchmark, then
// SQLite with the clock paused, and reports the two over Count operations.
template <typename TEngine, typename TSQLite>
void RunAgainstSQLite(benchmark::State& State, int64_t Count, TEngine&& Engine, TSQLite&& SQLite) {
  double EngineNanos = 0;
  double SQLiteNanos = 0;
  for (auto _ : State) {
    EngineNanos = TimeNanos(Engine);
    State.PauseTiming();
    SQLiteNanos = TimeNanos(SQLite);
    State.ResumeTiming();
  }
  ReportAgainstSQLite(State, EngineNanos, SQLiteNanos, Count);
}

// A case against SQLite runs its work once per run, in repeated runs that
// report their median (beside the mean, spread and variation).
inline constexpr int32_t Repetitions = 5;
inline void RepeatedAgainstSQLite(benchmark::internal::Benchmark* Case) {
  Case->Iterations(1)->Repetitions(Repetitions)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);
}

}  // namespace orv::bench
