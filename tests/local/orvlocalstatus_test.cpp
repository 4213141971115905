#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/orvutf8.h"
#include "catalog/orvconfigobject.h"
#include "local/orvlocalsessionmgr.h"
#include "storage/orvenginemgr.h"

namespace orv {
namespace {

// An object of any type name, as the messages name objects.
class TNamedObject : public TORVConfigObject {
 public:
  TNamedObject(const TORVString& TypeName, const TORVString& Name) : FTypeName(TypeName) { SetName(Name); }
  TORVString GetTypeName() const override { return FTypeName; }

 private:
  TORVString FTypeName;
};

class LocalSessionStatus : public ::testing::Test {
 protected:
  void SetUp() override {
    Session = CreateSessionManager<TORVLocalSessionManager>(Engine.get(), false, true);
    Session->SetOnStatusMessage([this](const TORVString& Msg) { Sent.push_back(StringToUtf8(Msg)); });
  }
  void TearDown() override { FreeSessionManager(Session); }

  // The messages one call sends.
  std::vector<std::string> Send(const std::function<void(TORVLocalSessionManager&)>& Call) {
    Sent.clear();
    Call(*Session);
    return Sent;
  }

  std::unique_ptr<TORVEngineManager> Engine = CreateEngineManager();
  TORVLocalSessionManager* Session = nullptr;
  std::vector<std::string> Sent;
  TNamedObject Orders{u"table", u"Orders"};
  TNamedObject Sales{u"database", u"Sales"};
  TNamedObject Archive{u"database", u"Archive"};
  TNamedObject Files{u"store", u"Files"};
  TNamedObject Bob{u"user", u"Bob"};
  TNamedObject Administrators{u"role", u"Administrators"};
  TNamedObject Statement{u"statement", u""};
  TNamedObject Procedure{u"procedure", u"Nightly"};
};

TEST_F(LocalSessionStatus, EachMemberAndStateSendsItsText) {
  using TCall = std::function<void(TORVLocalSessionManager&)>;
  struct TCase {
    TCall Call;
    std::string Text;  // "" when nothing is sent
  };
  const std::vector<TCase> Cases = {
      {[&](auto& S) { S.CreateStatus(0, &Orders); }, "Creating the table Orders..."},
      {[&](auto& S) { S.CreateStatus(2, &Orders); }, "The table Orders was created successfully"},
      {[&](auto& S) { S.CreateStatus(1, &Orders); }, "The creation of the table Orders did not complete"},
      {[&](auto& S) { S.CreateStatus(3, &Orders); }, ""},
      {[&](auto& S) { S.CreateStatus(-1, &Orders); }, ""},
      {[&](auto& S) { S.BackupStatus(1, &Sales); }, "The back up of the database Sales did not complete"},
      {[&](auto& S) { S.BackupStatus(0, &Sales); }, "Backing up the database Sales..."},
      {[&](auto& S) { S.VerifyStatus(0, &Orders, u"detail"); }, "Verifying the table Orders - detail..."},
      {[&](auto& S) { S.VerifyStatus(2, &Orders, u"detail"); }, "The table Orders was verified successfully"},
      {[&](auto& S) { S.VerifyStatus(1, &Orders, u"detail"); }, "The verify of the table Orders did not complete"},
      {[&](auto& S) { S.AlterStatus(0, &Orders, u""); }, "Altering the table Orders..."},
      {[&](auto& S) { S.AlterStatus(0, &Orders, u"indexes"); }, "Altering the table Orders - indexes..."},
      {[&](auto& S) { S.DropStatus(2, &Orders); }, "The table Orders was dropped successfully"},
      {[&](auto& S) { S.RenameStatus(1, &Orders); }, "The rename of the table Orders did not complete"},
      {[&](auto& S) { S.EmptyStatus(0, &Orders); }, "Emptying the table Orders..."},
      {[&](auto& S) { S.OptimizeStatus(1, &Orders); }, "The optimization of the table Orders did not complete"},
      {[&](auto& S) { S.ImportStatus(2, &Orders); }, "The table Orders was imported successfully"},
      {[&](auto& S) { S.ExportStatus(0, &Orders); }, "Exporting the table Orders..."},
      {[&](auto& S) { S.RestoreStatus(2, &Sales); }, "The database Sales was restored successfully"},
      {[&](auto& S) { S.MigrateStatus(1, &Sales); }, "The migrate of the database Sales did not complete"},
      {[&](auto& S) { S.PublishStatus(0, &Sales); }, "Publishing the database Sales..."},
      {[&](auto& S) { S.UnpublishStatus(2, &Sales); }, "The database Sales was unpublished successfully"},
      {[&](auto& S) { S.SaveUpdatesStatus(0, &Sales); }, "Saving updates for the database Sales..."},
      {[&](auto& S) { S.SaveUpdatesStatus(1, &Sales); }, "The updates save of the database Sales did not complete"},
      {[&](auto& S) { S.LoadUpdatesStatus(2, &Sales); }, "The database Sales was loaded successfully"},
      {[&](auto& S) { S.LoadUpdatesStatus(0, &Sales); }, "Loading updates for the database Sales..."},
      {[&](auto& S) { S.CompareStatus(0, &Sales, &Archive); },
       "Comparing the database Sales to the database Archive..."},
      {[&](auto& S) { S.CompareStatus(1, &Sales, &Archive); },
       "The comparison of the database Sales to the database Archive did not complete"},
      {[&](auto& S) { S.CompareStatus(2, &Sales, &Archive); },
       "The database Sales was compared successfully to the database Archive"},
      {[&](auto& S) { S.CompareStatus(3, &Sales, &Archive); }, ""},
      {[&](auto& S) { S.CopyFileStatus(0, &Files, u"a.txt"); }, "Copying the file a.txt in the store Files..."},
      {[&](auto& S) { S.RenameFileStatus(1, &Files, u"a.txt"); },
       "The rename of the file a.txt in the store Files did not complete"},
      {[&](auto& S) { S.DeleteFileStatus(2, &Files, u"a.txt"); },
       "The file a.txt in the store Files was deleted successfully"},
      {[&](auto& S) { S.DeleteFileStatus(1, &Files, u"a.txt"); },
       "The deletion of the file a.txt in the store Files did not complete"},
      {[&](auto& S) { S.CopyFileStatus(7, &Files, u"a.txt"); }, ""},
      {[&](auto& S) { S.GrantPrivilegeStatus(0, &Sales, u"Select"); },
       "Granting the privilege Select on the database Sales..."},
      {[&](auto& S) { S.RevokePrivilegeStatus(1, &Files, u"Drop"); },
       "The revoke of the privilege Drop on the store Files did not complete"},
      {[&](auto& S) { S.GrantPrivilegeStatus(2, &Sales, u"All"); },
       "The privilege All was granted successfully on the database Sales"},
      {[&](auto& S) { S.GrantRoleStatus(0, &Bob, &Administrators); },
       "Granting the role Administrators on the user Bob..."},
      {[&](auto& S) { S.RevokeRoleStatus(2, &Bob, &Administrators); },
       "The role Administrators was revoked successfully on the user Bob"},
      {[&](auto& S) { S.GrantRoleStatus(1, &Bob, &Administrators); },
       "The grant of the role Administrators on the user Bob did not complete"},
      {[&](auto& S) { S.SetStatus(u"information collation"); },
       "The information collation setting was set successfully"},
      {[&](auto& S) { S.ResetStatus(&Orders); }, "The table Orders was reset successfully"},
      {[&](auto& S) { S.EnableStatus(&Orders); }, "The table Orders was enabled successfully"},
      {[&](auto& S) { S.DisableStatus(&Orders); }, "The table Orders was disabled successfully"},
      {[&](auto& S) { S.EnableTableStatus(&Orders, u"defaults"); },
       "The table Orders was defaults enabled successfully"},
      {[&](auto& S) { S.DisableTableStatus(&Orders, u"generated"); },
       "The table Orders was generated disabled successfully"},
      {[&](auto& S) { S.ExecuteStatus(0, &Statement, 5, true, 1500, true); }, "Executing the statement..."},
      {[&](auto& S) { S.ExecuteStatus(2, &Statement, 5, true, 1500, true); },
       "The statement was executed successfully, 5 rows were affected in 1.5 seconds"},
      {[&](auto& S) { S.ExecuteStatus(2, &Statement, 5, true, 1500, false); },
       "The statement was executed successfully"},
      {[&](auto& S) { S.ExecuteStatus(1, &Statement, 5, false, 1500, false); },
       "The execution of the statement did not complete"},
      {[&](auto& S) { S.ExecuteStatus(1, &Statement, 0, true, 250, true); },
       "The execution of the statement did not complete, 0 rows were affected in 0.25 seconds"},
      {[&](auto& S) { S.ExecuteStatus(2, &Procedure, 0, false, 2000, true); },
       "The procedure was executed successfully in 2 seconds"},
      {[&](auto& S) { S.ExecuteStatus(1, &Procedure, 0, false, 4294967295u, true); },
       "The execution of the procedure did not complete and was stopped at 4294967.295 seconds"},
      {[&](auto& S) { S.ExecuteStatus(3, &Statement, 5, true, 1500, true); }, ""},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Text);
    const std::vector<std::string> Texts = Send(Case.Call);
    if (Case.Text.empty()) {
      EXPECT_TRUE(Texts.empty());
    } else {
      EXPECT_EQ(Texts, std::vector<std::string>{Case.Text});
    }
  }
}

TEST_F(LocalSessionStatus, NamesAreReadAtTheMomentOfTheCall) {
  EXPECT_EQ(Send([&](auto& S) { S.RenameStatus(0, &Orders); }),
            std::vector<std::string>{"Renaming the table Orders..."});
  Orders.SetName(u"Invoices");
  EXPECT_EQ(Send([&](auto& S) { S.RenameStatus(2, &Orders); }),
            std::vector<std::string>{"The table Invoices was renamed successfully"});
}

TEST_F(LocalSessionStatus, ATextWithPlaceholdersIsNotRescanned) {
  TNamedObject Odd{u"table", u"%s%S"};
  EXPECT_EQ(Send([&](auto& S) { S.CreateStatus(2, &Odd); }),
            std::vector<std::string>{"The table %s%S was created successfully"});
}

TEST_F(LocalSessionStatus, RepairResultNamesTheOutcome) {
  EXPECT_EQ(TORVLocalSessionManager::RepairResult(true), u"Fixed");
  EXPECT_EQ(TORVLocalSessionManager::RepairResult(false), u"Not Fixed");
}

}  // namespace
}  // namespace orv
