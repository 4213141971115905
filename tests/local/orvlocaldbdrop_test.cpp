#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "base/orvutf8.h"
#include "catalog/orvcatalog.h"
#include "catalog/orvconfig.h"
#include "catalog/orvdatabase.h"
#include "catalog/orvprivilege.h"
#include "catalog/orvschema.h"
#include "catalog/orvtable.h"
#include "catalog/orvuser.h"
#include "local/orvlocaldbmgr.h"
#include "local/orvlocalsessionmgr.h"
#include "storage/orvobjmgr.h"
#include "tests/catalog/orvcatalogroot.h"
#include "tests/local/orvlocaldbtest.h"
#include "tests/support/orverrortext.h"
#include "tests/support/orvfaultfilemgr.h"

namespace orv {
namespace {

using test::ErrorOf;
using test::ReadBytes;
using test::WriteBytes;

namespace fs = std::filesystem;

// The names of the files in Path, sorted; empty when Path is missing.
std::set<std::string> FilesIn(const fs::path& Path) {
  std::set<std::string> Names;
  if (!fs::exists(Path)) return Names;
  for (const fs::directory_entry& Entry : fs::directory_iterator(Path)) Names.insert(Entry.path().filename());
  return Names;
}

class LocalDatabaseDropTest : public test::LocalDatabaseTest {
 protected:
  // Database d at "d" of a new session, whose catalog file lists tables
  // Names (files named after them, rows and index files on disk); closed.
  TORVLocalDatabaseManager* StoredTables(std::initializer_list<const char16_t*> Names,
                                         const TORVString& SessionName = u"Session") {
    TORVLocalDatabaseManager* Database = Manager(*LoggedIn(SessionName), u"d", u"d");
    test::StoreTables(*Database, Names);
    for (const char16_t* Name : Names)
      for (const char* Extension : {".ORVTbl", ".ORVIdx"})
        WriteBytes(Folder() / "d" / (StringToUtf8(Name) + Extension), "table bytes");
    return Database;
  }

  // The tables that a new session finds in the catalog file of d.
  std::set<std::string> TablesOnDisk() {
    TORVLocalDatabaseManager* Database = Manager(*LoggedIn(u"Reader" + IntToString(++FReaders)), u"d", u"d");
    Database->Open(ltShared);
    std::set<std::string> Names;
    TORVBaseTables& Tables = Database->GetCatalog()->GetDefaultSchema()->GetBaseTables();
    for (int32_t Index = 0; Index < Tables.GetCount(); ++Index)
      Names.insert(StringToUtf8(Tables.GetTable(Index)->GetName()));
    Database->Close(false);
    return Names;
  }

 private:
  int32_t FReaders = 0;
};

// ---------------------------------------------------------------------------
// Drop

TEST_F(LocalDatabaseDropTest, DropDeletesWhatTheDatabaseMadeAndKeepsWhatItDidNot) {
  const std::set<std::string> Made{"ORVDatabase.ORVCat", "ORVDatabase.ORVCat.Old", "ORVDatabase.ORVLck",
                                   "t.ORVIdx",           "t.ORVTbl",               "u.ORVIdx",
                                   "u.ORVTbl"};
  struct TCase {
    const char* Name;
    bool KeepContents;
    bool ForeignFile;
    std::set<std::string> Left;  // empty: the folder is gone too
  };
  const std::vector<TCase> Cases{
      {"drop", false, false, {}},
      {"keep contents", true, false, Made},
      {"foreign file", false, true, {"notes.txt"}},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    fs::remove_all(Folder() / "d");
    TORVLocalDatabaseManager* Database = StoredTables({u"t", u"u"}, Utf8ToString(Case.Name));
    if (Case.ForeignFile) WriteBytes(Folder() / "d" / "notes.txt", "mine");
    std::set<std::string> Expected = Made;
    if (Case.ForeignFile) Expected.insert("notes.txt");
    ASSERT_EQ(FilesIn(Folder() / "d"), Expected);

    Database->Drop(Case.KeepContents);
    EXPECT_EQ(FilesIn(Folder() / "d"), Case.Left);
    EXPECT_EQ(fs::exists(Folder() / "d"), !Case.Left.empty());
    EXPECT_FALSE(Database->GetDatabaseLockManager()->GetOpened());
  }
}

TEST_F(LocalDatabaseDropTest, DropOfAMissingFolderDoesNothing) {
  TORVLocalDatabaseManager* Database = Manager(*LoggedIn(), u"d", u"nowhere");
  EXPECT_NO_THROW(Database->Drop(false));
  EXPECT_FALSE(fs::exists(Folder() / "nowhere"));
}

TEST_F(LocalDatabaseDropTest, TableFilesThatCannotBeDeletedStopTheDropAndKeepTheCatalog) {
  TORVLocalDatabaseManager* Database = StoredTables({u"t", u"u"});
  // u goes first (last to first); every delete from t's rows file on
  // fails, as for a file another program holds.
  Engine->Faults().FailNext(test::fkDelete, 3, test::fmSticky);
  const std::string Error = ErrorOf([&] { Database->Drop(false); });
  Engine->Faults().Clear();
  EXPECT_NE(Error.find("Cannot delete the file " + StringToUtf8(PathName("d/t.ORVTbl"))), std::string::npos)
      << Error;
  EXPECT_NE(Error.find("Injected failure"), std::string::npos) << Error;

  EXPECT_EQ(FilesIn(Folder() / "d"), (std::set<std::string>{"ORVDatabase.ORVCat", "ORVDatabase.ORVCat.Old",
                                                             "ORVDatabase.ORVLck", "t.ORVIdx", "t.ORVTbl"}));
  EXPECT_FALSE(Database->GetDatabaseLockManager()->GetOpened());
  EXPECT_FALSE(Database->GetCatalogManager()->GetOpened());
  // The catalog file is as it was: it opens and lists both tables.
  EXPECT_EQ(TablesOnDisk(), (std::set<std::string>{"t", "u"}));
  ExpectReleased(u"d");

  // Once the file can go, the drop is done again.
  Database->Drop(false);
  EXPECT_FALSE(fs::exists(Folder() / "d"));
}

TEST_F(LocalDatabaseDropTest, DropAndRenameWaitForNoOtherSession) {
  TORVLocalDatabaseManager* Database = StoredTables({u"t"});
  TORVLocalDatabaseManager* Other = Manager(*LoggedIn(u"Other"), u"d", u"d");
  Other->Open(ltShared);
  EXPECT_EQ(ErrorOf([&] { Database->Rename(u"e"); }).substr(0, 4), "300 ");
  EXPECT_EQ(Database->GetDatabase()->GetName(), u"d");
  EXPECT_EQ(ErrorOf([&] { Database->Drop(false); }).substr(0, 4), "300 ");
  EXPECT_TRUE(fs::exists(Folder() / "d" / "t.ORVTbl"));
  EXPECT_FALSE(Database->GetDatabaseLockManager()->GetOpened());
  Other->Close(false);

  const std::set<std::string> Before = FilesIn(Folder() / "d");
  Database->Rename(u"e");
  EXPECT_EQ(Database->GetDatabase()->GetName(), u"e");
  // No file carries the database's name.
  EXPECT_EQ(FilesIn(Folder() / "d"), Before);
  EXPECT_FALSE(Database->GetDatabaseLockManager()->GetOpened());
  ExpectReleased(u"d");
}

// ---------------------------------------------------------------------------
// Grants

TEST_F(LocalDatabaseDropTest, GrantAndRevokeChangeTheCatalogFileOnly) {
  StoredTables({u"t"});
  TORVLocalSessionManager* Session = LoggedIn(u"Granter");
  Session->GetConfigManager()->BeginUpdate();
  TORVUser* User = test::AddUser(*Session, u"u");
  Session->GetConfigManager()->EndUpdate();
  const std::string ConfigBytes = ReadBytes(Folder() / "ORVConfig.ORVCfg");
  ASSERT_FALSE(ConfigBytes.empty());
  const std::string CatalogBytes = ReadBytes(Folder() / "d" / "ORVDatabase.ORVCat");

  TORVLocalDatabaseManager* Database = Manager(*Session, u"d", u"d");
  Database->Open(ltShared);
  auto* Table = static_cast<TORVBaseTable*>(
      Database->GetCatalog()->GetDefaultSchema()->GetBaseTables().FindByName(u"t", true));
  struct TCase {
    const char* Name;
    bool Grant;
    int32_t Privilege;
    std::vector<int32_t> Held;  // by u afterwards, among Select .. Execute
  };
  const std::vector<TCase> Cases{
      {"grant one", true, PrivilegeSelect, {PrivilegeSelect}},
      {"grant one more", true, PrivilegeUpdate, {PrivilegeSelect, PrivilegeUpdate}},
      {"revoke one", false, PrivilegeSelect, {PrivilegeUpdate}},
      // Every privilege a table takes.
      {"grant all", true, PrivilegeAll,
       {PrivilegeSelect, PrivilegeInsert, PrivilegeUpdate, PrivilegeDelete, PrivilegeCreate, PrivilegeAlter,
        PrivilegeDrop}},
      {"revoke all", false, PrivilegeAll, {}},
  };
  std::string LastCatalog = CatalogBytes;
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    if (Case.Grant)
      Database->GrantPrivilege(u"u", u"t", 0, Case.Privilege);
    else
      Database->RevokePrivilege(u"u", u"t", 0, Case.Privilege);
    std::vector<int32_t> Held;
    for (int32_t Number = PrivilegeSelect; Number <= PrivilegeExecute; ++Number) {
      int32_t Index = 0;
      if (Table->FindPrivilege(User, Number, Index)) Held.push_back(Number);
    }
    EXPECT_EQ(Held, Case.Held);
    EXPECT_FALSE(Session->GetConfig()->GetModified());
    const std::string Catalog = ReadBytes(Folder() / "d" / "ORVDatabase.ORVCat");
    EXPECT_NE(Catalog, LastCatalog);
    LastCatalog = Catalog;
  }
  // Saving the configuration for a change of its own writes no grant.
  Session->GetConfigManager()->BeginUpdate();
  Session->GetConfigManager()->EndUpdate();
  Database->Close(false);
  Session->Close();
  EXPECT_EQ(ReadBytes(Folder() / "ORVConfig.ORVCfg"), ConfigBytes);
}

TEST_F(LocalDatabaseDropTest, GrantChecksComeFirstAndAFailureLeavesTheCatalogFile) {
  StoredTables({u"t"});
  TORVLocalSessionManager* Admin = LoggedIn(u"Admin");
  Admin->GetConfigManager()->BeginUpdate();
  test::AddUser(*Admin, u"u");
  Admin->GetConfigManager()->EndUpdate();

  TORVLocalSessionManager* Plain = NewSession();
  Plain->Open(u"Tests", u"Plain", u"");
  Plain->Login(u"u", u"secret");
  TORVLocalDatabaseManager* AsUser = Manager(*Plain, u"d", u"d");
  TORVLocalDatabaseManager* AsAdmin = Manager(*Admin, u"d", u"d");
  EXPECT_EQ(ErrorOf([&] { AsUser->GrantPrivilege(u"u", u"t", 0, PrivilegeSelect); }),
            "402 The database d must be open in order to perform this operation (GRANT Select ON t TO u)");
  AsUser->Open(ltShared);
  AsAdmin->Open(ltShared);
  const std::string CatalogBytes = ReadBytes(Folder() / "d" / "ORVDatabase.ORVCat");
  struct TCase {
    const char* Name;
    TORVLocalDatabaseManager* Database;
    const char16_t* User;
    const char16_t* Object;
    int32_t ObjectType;
    std::string Error;
  };
  const std::vector<TCase> Cases{
      {"not an administrator", AsUser, u"u", u"t", 0,
       "502 Administrator privileges are required to perform this operation (GRANT Select ON t TO u)"},
      {"missing user", AsAdmin, u"nobody", u"t", 0, "401 "},
      {"missing table", AsAdmin, u"u", u"nothing", 0, "401 "},
      {"a table is no view", AsAdmin, u"u", u"t", 1, "401 "},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    const std::string Error =
        ErrorOf([&] { Case.Database->GrantPrivilege(Case.User, Case.Object, Case.ObjectType, PrivilegeSelect); });
    EXPECT_EQ(Error.substr(0, Case.Error.size()), Case.Error) << Error;
    EXPECT_EQ(ReadBytes(Folder() / "d" / "ORVDatabase.ORVCat"), CatalogBytes);
    // The catalog's update lock was given back: another grant goes through.
  }
  AsAdmin->GrantPrivilege(u"u", u"t", 0, PrivilegeSelect);
  EXPECT_NE(ReadBytes(Folder() / "d" / "ORVDatabase.ORVCat"), CatalogBytes);
  AsUser->Close(false);
  AsAdmin->Close(false);
}

// ---------------------------------------------------------------------------
// Trace

TEST_F(LocalDatabaseDropTest, TraceListsTheTemporaryTables) {
  TORVLocalDatabaseManager* Database = Manager(*LoggedIn(), u"d", u"d");
  Database->Open(ltShared);
  EXPECT_EQ(Database->GetTraceData(), u"Database Objects\r\n\r\nTemporary Views/Tables");
  Database->EndCreateTemporaryTable(Database->BeginCreateTemporaryTable(u"scratch", true));
  EXPECT_EQ(Database->GetTraceData(), u"Database Objects\r\n\r\nTemporary Views/Tables\r\n\r\nTable: scratch");
  Database->Close(false);
  EXPECT_EQ(Database->GetTraceData(), u"Database Objects\r\n\r\nTemporary Views/Tables");
}

}  // namespace
}  // namespace orv
