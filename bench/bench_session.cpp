// Cost of a local session's life on an on-disk configuration: Open (the
// working objects, the lock, configuration and log files), Login and
// Logout (each one log event under the configuration's locks) and Close,
// beside opening and closing a SQLite database file.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "base/orvtype.h"
#include "base/orvutf8.h"
#include "bench/orvbenchsqlite.h"
#include "local/orvlocalsessionmgr.h"
#include "storage/orvenginemgr.h"

namespace {

using namespace orv;

constexpr int64_t Cycles = 200;

// A fresh folder that holds the engine's configuration and SQLite's file.
struct TBenchFolder {
  std::filesystem::path Path =
      std::filesystem::temp_directory_path() / ("orv_bench_session_" + std::to_string(::getpid()));
  TBenchFolder() { std::filesystem::create_directories(Path); }
  ~TBenchFolder() {
    std::error_code Ignored;
    std::filesystem::remove_all(Path, Ignored);
  }
};

void BM_SessionOpenLoginLogoutClose(benchmark::State& State) {
  TBenchFolder Folder;
  auto Engine = CreateEngineManager();
  Engine->GetSettings().SetConfigPath(Utf8ToString(Folder.Path.string() + "/"));
  Engine->Open();
  auto* Session = CreateSessionManager<TORVLocalSessionManager>(Engine.get(), false, true);
  // The first open makes the configuration file; the cycles find it there.
  Session->Open(u"Bench", u"Session", u"");
  Session->Close();

  const std::string DatabaseFile = (Folder.Path / "bench.db").string();
  {
    bench::TBenchSQLite Database(DatabaseFile);
    Database.Exec("CREATE TABLE IF NOT EXISTS t(a INTEGER)");
  }

  bench::RunAgainstSQLite(
      State, Cycles,
      [&] {
        for (int64_t I = 0; I < Cycles; ++I) {
          Session->Open(u"Bench", u"Session", u"");
          Session->Login(u"Administrator", u"PlumeHaven");
          Session->Logout();
          Session->Close();
        }
      },
      [&] {
        for (int64_t I = 0; I < Cycles; ++I) {
          sqlite3* Database = nullptr;
          if (sqlite3_open_v2(DatabaseFile.c_str(), &Database, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            bench::SQLiteFailed(Database, "open");
          benchmark::DoNotOptimize(Database);
          sqlite3_close(Database);
        }
      });
  FreeSessionManager(Session);
}
BENCHMARK(BM_SessionOpenLoginLogoutClose)->Apply(bench::RepeatedAgainstSQLite);

}  // namespace
