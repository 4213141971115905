#include "core/orvdbmgr.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/orvstubdbmgr.h"

namespace orv {
namespace {

using TDatabase = TStubDatabaseManager<>;

// Stands in for whatever a database hands out; says when it goes.
class TTracked : public TORVHandleObject {
 public:
  TTracked(std::string Name, std::vector<std::string>& Log) : FName(std::move(Name)), FLog(Log) {}
  ~TTracked() override { FLog.push_back(FName); }

 private:
  std::string FName;
  std::vector<std::string>& FLog;
};

TEST(DatabaseManager, CloseFreesScriptsProceduresStatementsThenCursors) {
  std::vector<std::string> Freed;
  TDatabase Database;
  Database.Open(ltShared);
  EXPECT_TRUE(Database.GetOpened());
  Database.GetCursors().AddObject(new TTracked("cursor", Freed), false);
  Database.GetStatementManagers().AddObject(new TTracked("statement", Freed), false);
  Database.GetProcedureManagers().AddObject(new TTracked("procedure", Freed), false);
  Database.GetScriptManagers().AddObject(new TTracked("script", Freed), false);
  Database.Close(false);
  EXPECT_FALSE(Database.GetOpened());
  EXPECT_EQ(Freed, (std::vector<std::string>{"script", "procedure", "statement", "cursor"}));
  auto* Later = new TTracked("later cursor", Freed);
  Database.GetCursors().AddObject(Later, false);
  EXPECT_EQ(Later->GetHandle(), 1) << "the tables stay in use after Close";
}

}  // namespace
}  // namespace orv
