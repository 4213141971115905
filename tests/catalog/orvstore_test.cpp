#include "catalog/orvstore.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "catalog/orvconfig.h"
#include "catalog/orvprivilege.h"
#include "core/orvstream.h"
#include "tests/catalog/orvconfigroot.h"

namespace orv {
namespace {

class StoresTest : public ::testing::Test {
 protected:
  void SetUp() override { Config = test::NewRoot(); }

  // A new store as CREATE STORE makes one: the defaults of a remote
  // connection, then the name and type.
  TORVStore* NewStore(const TORVString& Name, int32_t Type) {
    std::unique_ptr<TORVStore> Store(
        static_cast<TORVStore*>(Config->GetStores().CreateObject(Config->GetAdminUser())));
    Store->SetName(Name);
    Store->SetStoreType(Type);
    Store->SetLockSlot(Config->GetNewStoreLockSlot());
    Config->GetStores().Add(Store.get());
    return Store.release();
  }

  TORVStore* Remote() {
    TORVStore* Store = NewStore(u"Offsite", RemoteStoreType);
    Store->SetUserName(u"Backup");
    Store->SetPassword(u"Pass");
    Store->SetRemoteStore(u"Vault");
    return Store;
  }

  std::vector<int32_t> NumbersGrantedTo(TORVStore& Store, const TORVString& Name) {
    std::vector<int32_t> Numbers;
    for (int32_t Index = 0; Index < Store.GetPrivileges().GetCount(); ++Index) {
      TORVPrivilege* Privilege = Store.GetPrivileges().GetPrivilege(Index);
      if (Privilege->GetGrantedToName() == Name) Numbers.push_back(Privilege->GetNumber());
    }
    return Numbers;
  }

  std::unique_ptr<TORVConfig> Config;
};

TEST_F(StoresTest, ARemoteStoreWithTheDefaultsWritesOnlyItsLocationAndCredentials) {
  TORVStore* Store = Remote();
  EXPECT_EQ(Store->GetCreateSQL(false, false, false),
            u"CREATE STORE \"Offsite\" AS\r\nREMOTE ADDRESS '127.0.0.1'\r\nPORT 12010\r\nUSER \"Backup\"\r\n"
            u"PASSWORD 'Pass'\r\nSTORE \"Vault\"");
  Store->SetPing(false);
  Store->SetPingInterval(45);
  EXPECT_EQ(Store->GetCreateSQL(false, false, false).find(u"PING"), TORVString::npos);
  Store->SetPing(true);
  Store->SetAddress(u"");
  Store->SetHostName(u"backup.example");
  Store->SetPort(0);
  Store->SetService(u"orvsvc");
  Store->SetEncrypted(true);
  Store->SetEncryptionPassword(u"Secret");
  Store->SetSignature(u"other");
  Store->SetCompression(3);
  Store->SetTimeout(60);
  Store->SetDescription(u"Weekly copies\r\n");
  EXPECT_EQ(Store->GetCreateSQL(false, false, false),
            u"CREATE STORE \"Offsite\" AS\r\nREMOTE HOST 'backup.example'\r\nSERVICE 'orvsvc'\r\nUSER \"Backup\"\r\n"
            u"PASSWORD 'Pass'\r\nSTORE \"Vault\"\r\nSIGNATURE 'other'\r\nENCRYPTED\r\nENCRYPTION PASSWORD 'Secret'\r\n"
            u"COMPRESSION 3\r\nTIMEOUT 60\r\nPING 45\r\nDESCRIPTION 'Weekly copies'");
  EXPECT_EQ(Store->GetDropSQL(false, false), u"DROP STORE \"Offsite\"");
}

TEST_F(StoresTest, TheRestrictedTextKeepsTheClausesButShowsNoValues) {
  TORVStore* Store = Remote();
  Store->SetTimeout(30);
  EXPECT_EQ(Store->GetCreateSQL(false, false, true),
            u"CREATE STORE \"Offsite\" AS\r\nREMOTE ADDRESS ''\r\nPORT 0\r\nUSER \"\"\r\nPASSWORD ''\r\nSTORE \"\"\r\n"
            u"TIMEOUT 30");
  TORVStore* Local = NewStore(u"Dumps", LocalStoreType);
  Local->SetPath(u"/var/dumps");
  EXPECT_EQ(Local->GetCreateSQL(false, false, false), u"CREATE STORE \"Dumps\" AS\r\nLOCAL PATH '/var/dumps'");
  EXPECT_EQ(Local->GetCreateSQL(false, false, true), u"CREATE STORE \"Dumps\" AS\r\nLOCAL PATH ''");
}

// The remote server compares passwords and the signature exactly: a change
// of case alone is a change.
TEST_F(StoresTest, SecretsCompareExactlyAndNamesIgnoringCase) {
  TORVStore* Store = Remote();
  Store->SetHostName(u"Backup.Example");
  struct TCase {
    const char* What;
    std::function<void()> Set;
    std::function<TORVString()> Get;
    TORVString Expected;
    bool Modified;
  };
  const std::vector<TCase> Cases = {
      {"password", [&] { Store->SetPassword(u"PASS"); }, [&] { return Store->GetPassword(); }, u"PASS", true},
      {"encryption password", [&] { Store->SetEncryptionPassword(u"BRINDLEWORT"); },
       [&] { return Store->GetEncryptionPassword(); }, u"BRINDLEWORT", true},
      {"signature", [&] { Store->SetSignature(u"Kiln_Marigold"); }, [&] { return Store->GetSignature(); },
       u"Kiln_Marigold", true},
      {"host", [&] { Store->SetHostName(u"backup.example"); }, [&] { return Store->GetHostName(); },
       u"Backup.Example", false},
      {"user", [&] { Store->SetUserName(u"BACKUP"); }, [&] { return Store->GetUserName(); }, u"Backup", false},
      {"remote store", [&] { Store->SetRemoteStore(u"vault"); }, [&] { return Store->GetRemoteStore(); }, u"Vault",
       false},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.What);
    Config->SetModified(false);
    Case.Set();
    EXPECT_EQ(Case.Get(), Case.Expected);
    EXPECT_EQ(Config->GetModified(), Case.Modified);
  }
  // Differing from the defaults only in case, they are not the defaults.
  const TORVString Text = Store->GetCreateSQL(false, false, false);
  EXPECT_NE(Text.find(u"\r\nSIGNATURE 'Kiln_Marigold'"), TORVString::npos);
  EXPECT_NE(Text.find(u"\r\nENCRYPTION PASSWORD 'BRINDLEWORT'"), TORVString::npos);
}

TEST_F(StoresTest, PrivilegesAreSelectCreateAlterAndDropAndTheTemporaryStoreGetsNoRestrictedOne) {
  TORVStore* Store = Remote();
  TORVUser* Bob = test::NewUser(*Config, u"Bob");
  Store->GrantAllPrivileges(Config->GetSystemUser(), Bob);
  EXPECT_EQ(NumbersGrantedTo(*Store, u"Bob"),
            (std::vector<int32_t>{PrivilegeSelect, PrivilegeCreate, PrivilegeAlter, PrivilegeDrop}));
  TORVStore* Temp = Config->GetTemporaryStore();
  Temp->GrantRestrictedPrivileges(Config->GetSystemUser(), Bob);
  EXPECT_TRUE(NumbersGrantedTo(*Temp, u"Bob").empty());
  Store->GrantRestrictedPrivileges(Config->GetSystemUser(), test::NewUser(*Config, u"Ann"));
  EXPECT_EQ(NumbersGrantedTo(*Store, u"Ann"), (std::vector<int32_t>{PrivilegeSelect}));
}

TEST_F(StoresTest, ALoadedStoreTakesEveryFieldFromTheStreamAndACopyAllButItsSlot) {
  TORVStore* Store = Remote();
  Store->SetInMemory(true);
  Store->SetSessionIsolation(true);
  Store->SetPing(false);
  TORVMemoryStream Stream(CharacterSetUnicode);
  Store->Save(Stream, false);
  Stream.SetPosition(0);
  std::unique_ptr<TORVStore> Loaded(static_cast<TORVStore*>(Config->GetStores().CreateObject()));
  // Without an owner a store has no defaults of its own.
  EXPECT_EQ(Loaded->GetPort(), 0);
  EXPECT_EQ(Loaded->GetSignature(), u"");
  Loaded->Load(Stream);
  EXPECT_EQ(Stream.GetAvailable(), 0);
  EXPECT_EQ(Loaded->GetCreateSQL(false, false, false), Store->GetCreateSQL(false, false, false));
  EXPECT_TRUE(Loaded->GetInMemory());
  EXPECT_FALSE(Loaded->GetPing());
  EXPECT_EQ(Loaded->GetLockSlot(), Store->GetLockSlot());
  TORVStore Copy(Config.get(), Config->GetAdminUser());
  Copy.Assign(Store, false);
  EXPECT_EQ(Copy.GetCreateSQL(false, false, false), Store->GetCreateSQL(false, false, false));
  EXPECT_TRUE(Copy.GetInMemory());
  EXPECT_FALSE(Copy.GetSessionIsolation());
  EXPECT_EQ(Copy.GetLockSlot(), 0);
}

}  // namespace
}  // namespace orv
