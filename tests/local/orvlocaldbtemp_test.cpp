#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/orvutf8.h"
#include "catalog/orvbasetable.h"
#include "catalog/orvcatalog.h"
#include "catalog/orvdatabase.h"
#include "catalog/orvschema.h"
#include "catalog/orvtable.h"
#include "local/orvlocaldbmgr.h"
#include "tests/catalog/orvcatalogroot.h"
#include "tests/local/orvlocaldbtest.h"
#include "tests/support/orverrortext.h"
#include "tests/support/orvrowfakes.h"

namespace orv {
namespace {

using test::ErrorOf;
using test::LocalDatabaseTest;

namespace fs = std::filesystem;

class LocalTemporaryTableTest : public LocalDatabaseTest {
 protected:
  // A temporary table named Name put straight into Database's catalog.
  static TORVBaseTable* PutTemporary(TORVLocalDatabaseManager& Database, const TORVString& Name,
                                     bool Maintenance = false) {
    TORVTemporaryTables& Tables = Database.GetCatalog()->GetDefaultSchema()->GetTemporaryTables();
    std::unique_ptr<TORVBaseTable> Table(static_cast<TORVBaseTable*>(Tables.GetNewObject()));
    Table->SetName(Name);
    Table->SetInternalName(Name + u"_file");
    Table->SetMaintenance(Maintenance);
    Tables.Add(Table.get());
    return Table.release();
  }

  // An opened database d of a new session.
  TORVLocalDatabaseManager* Opened(const TORVString& SessionName = u"Session") {
    TORVLocalDatabaseManager* Database = Manager(*LoggedIn(SessionName), u"d", u"d");
    Database->Open(ltShared);
    return Database;
  }
  static TORVBaseTable* Created(TORVLocalDatabaseManager& Database, const TORVString& Name, bool SessionScope) {
    TORVBaseTable* Table = Database.BeginCreateTemporaryTable(Name, SessionScope);
    Database.EndCreateTemporaryTable(Table);
    return Table;
  }
  static std::vector<std::string> TemporaryNames(TORVLocalDatabaseManager& Database) {
    std::vector<std::string> Names;
    TORVTemporaryTables& Tables = Database.GetCatalog()->GetDefaultSchema()->GetTemporaryTables();
    for (int32_t Index = 0; Index < Tables.GetCount(); ++Index)
      Names.push_back(StringToUtf8(Tables.GetTable(Index)->GetName()));
    return Names;
  }
};

TEST_F(LocalTemporaryTableTest, InternalTablesTakeTheSmallestFreeNumber) {
  TORVLocalDatabaseManager* Database = Opened();
  TORVBaseTable* First = Created(*Database, u"t", false);
  TORVBaseTable* Second = Created(*Database, u"t", false);
  Created(*Database, u"t", true);
  EXPECT_EQ(TemporaryNames(*Database), (std::vector<std::string>{"t1", "t2", "t"}));
  EXPECT_TRUE(First->GetTemporary());
  EXPECT_FALSE(First->GetTemporaryForSession());
  EXPECT_NE(First->GetInternalName(), Second->GetInternalName());

  Database->RemoveTemporaryTable(First);
  EXPECT_EQ(First, nullptr);
  EXPECT_EQ(Database->FindTemporaryTable(u"t1"), nullptr);
  Created(*Database, u"t", false);
  EXPECT_EQ(TemporaryNames(*Database), (std::vector<std::string>{"t2", "t", "t1"}));

  // Without a name a table is known by its internal name.
  TORVBaseTable* Unnamed = Created(*Database, u"", false);
  EXPECT_EQ(Unnamed->GetName(), Unnamed->GetInternalName());
  EXPECT_FALSE(Unnamed->GetName().empty());
  TORVBaseTable* Nothing = nullptr;
  EXPECT_NO_THROW(Database->RemoveTemporaryTable(Nothing));
  Database->Close(false);
}

TEST_F(LocalTemporaryTableTest, CancelFreesOnlyWhatWasNeverListed) {
  TORVLocalDatabaseManager* Database = Opened();
  Database->CancelCreateTemporaryTable(Database->BeginCreateTemporaryTable(u"gone", true));
  EXPECT_TRUE(TemporaryNames(*Database).empty());
  TORVBaseTable* Kept = Created(*Database, u"kept", true);
  Database->CancelCreateTemporaryTable(Kept);
  EXPECT_EQ(Database->FindTemporaryTable(u"kept"), Kept);
  // A second table of a listed name is refused when it is listed.
  TORVBaseTable* Twin = Database->BeginCreateTemporaryTable(u"kept", true);
  EXPECT_EQ(ErrorOf([&] { Database->EndCreateTemporaryTable(Twin); }).substr(0, 4), "400 ");
  Database->CancelCreateTemporaryTable(Twin);
  EXPECT_EQ(TemporaryNames(*Database), (std::vector<std::string>{"kept"}));
  Database->Close(false);
}

TEST_F(LocalTemporaryTableTest, SessionTablesNeedAnOpenWritableDatabase) {
  TORVLocalDatabaseManager* Database = Manager(*LoggedIn(), u"d", u"d");
  EXPECT_EQ(ErrorOf([&] { Database->BeginCreateTemporaryTable(u"x", true); }),
            "402 The database d must be open in order to perform this operation (CREATE TEMPORARY TABLE x)");
  Database->Open(ltShared);
  Database->GetDatabase()->SetReadOnly(true);
  EXPECT_EQ(ErrorOf([&] { Database->BeginCreateTemporaryTable(u"x", true); }),
            "403 The database d is read-only and this operation cannot be performed (CREATE TEMPORARY TABLE x)");
  // Queries make their result tables in a read-only database too.
  Database->CancelCreateTemporaryTable(Database->BeginCreateTemporaryTable(u"x", false));
  Database->GetDatabase()->SetReadOnly(false);
  Database->Close(false);
}

TEST_F(LocalTemporaryTableTest, SessionsGetTheirOwnFilesAndCloseDropsThem) {
  fs::create_directories(Folder() / "temp");
  auto OpenedWithTemporaryPath = [&](const TORVString& Name) {
    TORVLocalSessionManager* Session = NewSession();
    Session->GetSettings().SetTempTablesPath(PathName("temp"));
    Session->Open(u"Tests", Name, u"");
    Session->Login(test::AdminName, test::AdminPassword);
    TORVLocalDatabaseManager* Database = Manager(*Session, u"d", u"d");
    Database->Open(ltShared);
    return Database;
  };
  TORVLocalDatabaseManager* First = OpenedWithTemporaryPath(u"A");
  TORVLocalDatabaseManager* Second = OpenedWithTemporaryPath(u"B");
  TORVBaseTable* Mine = Created(*First, u"scratch", true);
  TORVBaseTable* Theirs = Created(*Second, u"scratch", true);
  EXPECT_NE(Mine->GetInternalName(), Theirs->GetInternalName());
  EXPECT_EQ(First->FindTemporaryTable(u"scratch"), Mine);
  EXPECT_EQ(Second->FindTemporaryTable(u"scratch"), Theirs);

  // Each session's table, opened, has files of its own in the temporary
  // tables path; they last until the database closes.
  std::vector<fs::path> Files;
  for (auto [Database, Table] : {std::pair{First, Mine}, std::pair{Second, Theirs}}) {
    AddTestColumn(Table->GetColumns(), u"__RowID", dtInteger)->SetHidden(true);
    Database->GetTableManagers().Open(Table, ltShared);
    for (const char* Extension : {".ORVTbl", ".ORVIdx"}) {
      Files.push_back(Folder() / "temp" / (StringToUtf8(Table->GetInternalName()) + Extension));
      EXPECT_TRUE(fs::exists(Files.back())) << Files.back();
    }
  }
  Created(*First, u"t", false);

  First->Close(false);
  EXPECT_TRUE(TemporaryNames(*First).empty());
  EXPECT_EQ(First->FindTemporaryTable(u"scratch"), nullptr);
  for (size_t Index = 0; Index < Files.size(); ++Index)
    EXPECT_EQ(fs::exists(Files[Index]), Index >= 2) << Files[Index];
  Second->Close(false);
  for (const fs::path& File : Files) EXPECT_FALSE(fs::exists(File)) << File;
}

// ---------------------------------------------------------------------------
// Batch tables

TEST_F(LocalTemporaryTableTest, BatchTablesAreListedByObjectIDWithClearedPositions) {
  TORVLocalDatabaseManager* Database = Opened();
  std::vector<TORVBaseTable*> Tables;
  for (const char16_t* Name : {u"a", u"b", u"c"}) Tables.push_back(test::NewTable(*Database->GetCatalog(), Name));
  for (TORVBaseTable* Table : Tables) {
    Table->SetBatchPos(7);
    Table->SetBatchOperation(true);
  }
  TORVReferencedTables& Batch = Database->GetCatalog()->GetDefaultSchema()->GetBatchTables();
  auto Listed = [&Batch] {
    std::vector<std::string> Names;
    for (int32_t Index = 0; Index < Batch.GetCount(); ++Index)
      Names.push_back(StringToUtf8(Batch.GetTable(Index)->GetName()));
    return Names;
  };
  struct TCase {
    const char* Name;
    TORVStringsArray TableNames;
    std::vector<std::string> Listed;
  };
  const std::vector<TCase> Cases{
      {"every table", {}, {"a", "b", "c"}},
      {"named backwards, one twice", {u"c", u"A", u"c"}, {"a", "c"}},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    Database->SetupBatchTables(Case.TableNames);
    EXPECT_EQ(Listed(), Case.Listed);
    for (int32_t Index = 0; Index < Batch.GetCount(); ++Index) {
      EXPECT_EQ(Batch.GetTable(Index)->GetBatchPos(), 0);
      EXPECT_FALSE(Batch.GetTable(Index)->GetBatchOperation());
    }
    for (TORVBaseTable* Table : Tables) Table->SetBatchPos(7);
  }
  Database->ClearBatchTables();
  EXPECT_TRUE(Listed().empty());
  EXPECT_EQ(Tables[0]->GetBatchPos(), 0);
  EXPECT_EQ(Tables[1]->GetBatchPos(), 7);

  Database->SetupBatchTables({u"a"});
  EXPECT_EQ(ErrorOf([&] { Database->SetupBatchTables({u"b", u"nope"}); }).substr(0, 4), "401 ");
  EXPECT_TRUE(Listed().empty());
  Database->Close(false);
}

TEST_F(LocalTemporaryTableTest, LookupFindsTemporaryTablesOnlyAndSkipsWorkingCopies) {
  TORVLocalDatabaseManager* Database = Manager(*LoggedIn(), u"d", u"d");
  Database->Open(ltShared);
  test::NewTable(*Database->GetCatalog(), u"stored");
  TORVBaseTable* Copy = PutTemporary(*Database, u"stored", true);
  TORVBaseTable* Hiding = PutTemporary(*Database, u"Shadow");
  EXPECT_EQ(Database->FindTemporaryTable(u"stored"), nullptr);
  EXPECT_EQ(Database->FindTemporaryTable(u"shadow"), Hiding);
  EXPECT_EQ(Database->FindTemporaryTable(u"nothing"), nullptr);
  TORVBaseTable* Plain = PutTemporary(*Database, u"Other");
  EXPECT_EQ(Database->FindTemporaryTable(u"OTHER"), Plain);
  EXPECT_NE(Copy, Plain);
  Database->Close(false);
}

}  // namespace
}  // namespace orv
