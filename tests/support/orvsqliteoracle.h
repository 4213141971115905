// SQLite as a differential oracle: an in-memory database that answers
// statements as text, so that a test can hold the engine's answers against
// another engine's. Header-only, so that only the test programs that use it
// link SQLite (see tests/CMakeLists.txt).
#pragma once

#include <sqlite3.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace orv::test {

class TORVSQLiteOracle {
 public:
  TORVSQLiteOracle() {
    if (sqlite3_open(":memory:", &FDatabase) != SQLITE_OK) {
      const std::string Message = FDatabase != nullptr ? sqlite3_errmsg(FDatabase) : "no database";
      sqlite3_close(FDatabase);
      throw std::runtime_error("SQLite: open: " + Message);
    }
  }
  ~TORVSQLiteOracle() { sqlite3_close(FDatabase); }
  TORVSQLiteOracle(const TORVSQLiteOracle&) = delete;
  TORVSQLiteOracle& operator=(const TORVSQLiteOracle&) = delete;

  // Runs statements that answer nothing (CREATE, INSERT, ...).
  void Exec(const std::string& Sql) {
    char* Error = nullptr;
    if (sqlite3_exec(FDatabase, Sql.c_str(), nullptr, nullptr, &Error) != SQLITE_OK) {
      const std::string Message = Error != nullptr ? Error : "unknown error";
      sqlite3_free(Error);
      throw std::runtime_error("SQLite: " + Sql + ": " + Message);
    }
  }

  // Every row of a query, each column as SQLite's text of it or "NULL".
  std::vector<std::vector<std::string>> Query(const std::string& Sql) {
    sqlite3_stmt* Statement = nullptr;
    if (sqlite3_prepare_v2(FDatabase, Sql.c_str(), -1, &Statement, nullptr) != SQLITE_OK) {
      throw std::runtime_error("SQLite: " + Sql + ": " + sqlite3_errmsg(FDatabase));
    }
    std::vector<std::vector<std::string>> Rows;
    int Result = SQLITE_OK;
    while ((Result = sqlite3_step(Statement)) == SQLITE_ROW) {
      std::vector<std::string>& Row = Rows.emplace_back();
      for (int Column = 0; Column < sqlite3_column_count(Statement); ++Column) {
        const auto* Text = reinterpret_cast<const char*>(sqlite3_column_text(Statement, Column));
        Row.push_back(sqlite3_column_type(Statement, Column) == SQLITE_NULL || Text == nullptr ? "NULL" : Text);
      }
    }
    sqlite3_finalize(Statement);
    if (Result != SQLITE_DONE) throw std::runtime_error("SQLite: " + Sql + ": " + sqlite3_errmsg(FDatabase));
    return Rows;
  }

  // The one value of SELECT Expression.
  std::string SelectValue(const std::string& Expression) {
    const std::vector<std::vector<std::string>> Rows = Query("SELECT " + Expression);
    if (Rows.size() != 1 || Rows[0].size() != 1) throw std::runtime_error("SQLite: not one value: " + Expression);
    return Rows[0][0];
  }

 private:
  sqlite3* FDatabase = nullptr;
};

}  // namespace orv::test
