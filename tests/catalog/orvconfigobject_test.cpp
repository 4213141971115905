#include "catalog/orvconfigobject.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/orverror.h"
#include "catalog/orvconfig.h"
#include "core/orvcommon.h"
#include "core/orvstream.h"
#include "tests/catalog/orvconfigtestobjects.h"
#include "tests/support/orverrortext.h"

namespace orv {
namespace {

using test::AddUser;
using test::ErrorOf;
using test::SavedBytes;
using test::TReferenced;
using test::TUser;
using test::TUsers;

class ConfigObjectTest : public ::testing::Test {
 protected:
  void SetUp() override { test::SetUpConfig(Config); }

  TORVConfig Config;
};

TEST_F(ConfigObjectTest, NamesAreLimitedTo80CharactersUnlessTemporary) {
  TUsers Users(&Config);
  const TORVString Name80(80, u'a');
  const TORVString Name81(81, u'a');
  const std::string Text81(81, 'a');
  TUser Parentless(&Config);
  EXPECT_EQ(ErrorOf([&] { Parentless.ValidateName(Name80); }), "no error");
  EXPECT_EQ(ErrorOf([&] { Parentless.ValidateName(Name81); }), "406 Invalid user identifier '" + Text81 + "'");
  EXPECT_EQ(ErrorOf([&] { Parentless.ValidateName(u""); }), "406 Invalid user identifier ''");
  // Users take security identifiers: "." but no "#".
  EXPECT_EQ(ErrorOf([&] { Parentless.ValidateName(u"j.doe"); }), "no error");
  EXPECT_EQ(ErrorOf([&] { Parentless.ValidateName(u"a#b"); }), "406 Invalid user identifier 'a#b'");

  auto* Member = static_cast<TUser*>(Users.GetNewObject());
  std::unique_ptr<TUser> Owned(Member);
  EXPECT_EQ(ErrorOf([&] { Member->ValidateName(Name81); }),
            "406 Invalid user identifier '" + Text81 + "' in the configuration Main");
  Member->SetTemporary(true);
  EXPECT_EQ(ErrorOf([&] { Member->ValidateName(Name81); }), "no error");
  EXPECT_EQ(ErrorOf([&] { Member->ValidateName(u"1abc"); }),
            "406 Invalid user identifier '1abc' in the configuration Main");
}

TEST_F(ConfigObjectTest, NameIsStoredWithoutTrailingBlanksAndOnlyChangesMark) {
  TUsers Users(&Config);
  std::unique_ptr<TUser> User(static_cast<TUser*>(Users.GetNewObject()));
  User->SetName(u"abc   ");
  EXPECT_EQ(User->GetName(), u"abc");
  EXPECT_TRUE(Config.GetModified());
  Config.SetModified(false);
  User->SetName(u"abc");
  User->SetDescription(User->GetDescription());
  User->SetID(User->GetID());
  EXPECT_FALSE(Config.GetModified());
  User->SetDescription(u"Sales");
  EXPECT_TRUE(User->GetModified());
}

TEST_F(ConfigObjectTest, SystemTemporaryAndParentlessObjectsNeverMarkTheConfiguration) {
  TUsers Users(&Config);
  struct TCase {
    const char* Name;
    void (*Prepare)(TORVConfigObject&);
  };
  const TCase Cases[] = {
      {"system", [](TORVConfigObject& O) { O.SetSystemObject(true); }},
      {"temporary", [](TORVConfigObject& O) { O.SetTemporary(true); }},
      {"temporary for the session", [](TORVConfigObject& O) { O.SetTemporaryForSession(true); }},
      {"parentless", [](TORVConfigObject& O) { O.SetParent(nullptr); }},
  };
  for (const TCase& Case : Cases) {
    std::unique_ptr<TUser> User(static_cast<TUser*>(Users.GetNewObject()));
    Case.Prepare(*User);
    Config.SetModified(false);
    User->SetName(u"Changed");
    User->SetDescription(u"Changed");
    User->SetID(99);
    EXPECT_FALSE(Config.GetModified()) << Case.Name;
  }
}

TEST_F(ConfigObjectTest, ObjectStreamHasTheFixedLayout) {
  TUsers Users(&Config);
  std::unique_ptr<TUser> User(static_cast<TUser*>(Users.GetNewObject()));
  User->SetID(7);
  User->SetName(u"ab");
  User->SetReadOnly(true);
  EXPECT_EQ(SavedBytes(*User, false),
            (TORVBytes{0x07, 0, 0, 0, 0x02, 0, 0, 0, 0x61, 0, 0x62, 0, 0, 0, 0, 0, 0, 1}));
  const TORVBytes CRCForm{0x02, 0, 0, 0, 0x61, 0, 0x62, 0, 0};
  EXPECT_EQ(SavedBytes(*User, true), CRCForm);
  EXPECT_EQ(User->GetCRC32(), UpdateCRC32(0xFFFFFFFFu, CRCForm.data(), CRCForm.size()));

  // A collection is nameless: ID, hidden and read-only only.
  TORVSelectedConfigObjects Nameless;
  Nameless.SetID(5);
  Nameless.SetHidden(true);
  TORVConfigObject& AsObject = Nameless;
  TORVMemoryStream Stream(CharacterSetUnicode);
  AsObject.TORVConfigObject::Save(Stream, false);
  EXPECT_EQ(TORVBytes(Stream.GetMemory(), Stream.GetMemory() + Stream.GetSize()),
            (TORVBytes{0x05, 0, 0, 0, 1, 0}));

  // A non-owning collection writes nothing at all: its checksum is the
  // register of no bytes.
  EXPECT_EQ(Nameless.GetCRC32(), 0xFFFFFFFFu);
}

TEST_F(ConfigObjectTest, LoadReadsTheRecordBack) {
  TUsers Users(&Config);
  std::unique_ptr<TUser> Source(static_cast<TUser*>(Users.GetNewObject()));
  Source->SetID(12);
  Source->SetName(u"Clerk");
  Source->SetDescription(u"Front desk");
  Source->SetHidden(true);
  TORVMemoryStream Stream(CharacterSetUnicode);
  Source->Save(Stream, false);
  Stream.SetPosition(0);
  std::unique_ptr<TUser> Target(static_cast<TUser*>(Users.GetNewObject()));
  EXPECT_EQ(Target->PeekID(Stream), 12);
  EXPECT_EQ(Stream.GetPosition(), 0);
  Target->Load(Stream);
  EXPECT_TRUE(Target->Compare(Source.get(), true));
  EXPECT_EQ(Target->GetInternalName(), u"Clerk");
  EXPECT_TRUE(Target->GetHidden());
  EXPECT_FALSE(Target->GetReadOnly());
  EXPECT_TRUE(Target->GetLoaded());
}

TEST_F(ConfigObjectTest, CheckEngineVersionRefusesNewerStreams) {
  TUsers Users(&Config);
  std::unique_ptr<TUser> User(static_cast<TUser*>(Users.GetNewObject()));
  User->SetName(u"ab");
  EXPECT_EQ(ErrorOf([&] { User->CheckEngineVersion(TORVCurrency::FromScaled(20500)); }), "no error");
  EXPECT_EQ(ErrorOf([&] { User->CheckEngineVersion(TORVCurrency::FromScaled(20600)); }),
            "100 There is an error in the metadata for the user ab in the configuration Main (The object has been "
            "updated by a newer version of the engine)");
  TUser Alone;
  Alone.SetName(u"ab");
  EXPECT_EQ(ErrorOf([&] { Alone.CheckEngineVersion(TORVCurrency::FromScaled(20600)); }),
            "100 There is an error in the metadata for the user ab (The object has been updated by a newer "
            "version of the engine)");
  try {
    Alone.ValidateError(u"bad", 3, 9);
    FAIL();
  } catch (const EORVException& Error) {
    EXPECT_EQ(Error.ErrorLine(), 3);
    EXPECT_EQ(Error.ErrorColumn(), 9);
  }
}

TEST_F(ConfigObjectTest, SystemObjectErrorHasBothForms) {
  TUsers Users(&Config);
  TUser* System = AddUser(Users, u"System");
  System->SetSystemObject(true);
  EXPECT_EQ(ErrorOf([&] { System->CheckSystemObject(); }),
            "200 This operation cannot be performed on the system user System in the configuration Main or any "
            "privileges granted to it");
  TUser Alone;
  Alone.SetName(u"System");
  EXPECT_EQ(ErrorOf([&] { Alone.CheckSystemObject(); }), "no error");
  Alone.SetSystemObject(true);
  EXPECT_EQ(ErrorOf([&] { Alone.CheckSystemObject(); }),
            "200 This operation cannot be performed on the system user System or any privileges granted to it");
}

TEST_F(ConfigObjectTest, DependencyErrorHasFourForms) {
  TUsers Users(&Config);
  TUser* Inside = AddUser(Users, u"Ann");
  TUser* InsideToo = AddUser(Users, u"Bob");
  TUser Alone;
  Alone.SetName(u"Cy");
  TUser AloneToo;
  AloneToo.SetName(u"Di");
  EXPECT_EQ(ErrorOf([&] { Inside->DependencyError(InsideToo, u"dropped"); }),
            "201 The user Ann in the configuration Main cannot be dropped because it is still referenced by the "
            "user Bob in the configuration Main");
  EXPECT_EQ(ErrorOf([&] { Alone.DependencyError(InsideToo, u"dropped"); }),
            "201 The user Cy cannot be dropped because it is still referenced by the user Bob in the "
            "configuration Main");
  EXPECT_EQ(ErrorOf([&] { Inside->DependencyError(&Alone, u"renamed"); }),
            "201 The user Ann in the configuration Main cannot be renamed because it is still referenced by the "
            "user Cy");
  EXPECT_EQ(ErrorOf([&] { Alone.DependencyError(&AloneToo, u"dropped"); }),
            "201 The user Cy cannot be dropped because it is still referenced by the user Di");
}

TEST_F(ConfigObjectTest, DependentsAreSortedByIDOnceUntilReferencesAreReset) {
  TUsers Users(&Config);
  TUser* First = AddUser(Users, u"First");
  TUser* Second = AddUser(Users, u"Second");
  TUser* Third = AddUser(Users, u"Third");
  TReferenced Module(&Config);
  Module.SetName(u"Tools");
  Module.FReferrers = {Third, First, Second, First, Third};
  EXPECT_EQ(ErrorOf([&] { Module.CheckDependencies(u"dropped"); }),
            "201 The module Tools cannot be dropped because it is still referenced by the user First in the "
            "configuration Main");
  TORVSelectedConfigObjects* Dependents = Module.GetDependencies();
  ASSERT_EQ(Dependents->GetCount(), 3);
  EXPECT_EQ(Dependents->GetObjects(0), First);
  EXPECT_EQ(Dependents->GetObjects(1), Second);
  EXPECT_EQ(Dependents->GetObjects(2), Third);
  EXPECT_TRUE(Module.DependencyExists(Second, false));
  EXPECT_FALSE(Module.DependencyExists(&Module, false));
  EXPECT_EQ(Module.FBuilds, 1);
  // Only dependents not yet ordered count with OrderedOnly.
  Second->SetDependencyOrder(1);
  EXPECT_FALSE(Module.DependencyExists(Second, true));
  EXPECT_TRUE(Module.DependencyExists(Second, false));
  Module.ResetReferences();
  EXPECT_FALSE(Module.GetHasDependencies());
  Module.UpdateDependencies();
  EXPECT_EQ(Module.FBuilds, 2);
  EXPECT_EQ(Module.GetDependencies()->GetCount(), 3);
}

// A dependent that asks its module again, for Target, while the module walks
// its dependents.
class TAsking : public TUser {
 public:
  TAsking(TORVConfigObject& Module, TORVConfigObject* Target) : FModule(Module), FTarget(Target) {}
  bool IsDependentObject(TORVConfigObject* /*Obj*/) override {
    FInner.push_back(FModule.DependencyExists(FTarget, false));
    return false;
  }
  std::vector<bool> FInner;

 private:
  TORVConfigObject& FModule;
  TORVConfigObject* FTarget;
};

TEST_F(ConfigObjectTest, DependencyExistsReenteredAnswersFalse) {
  TUsers Users(&Config);
  TUser* User = AddUser(Users, u"Ann");
  TReferenced Module(&Config);
  TAsking Asking(Module, User);
  Module.FReferrers = {&Asking, User};
  EXPECT_TRUE(Module.DependencyExists(User, false));
  EXPECT_EQ(Asking.FInner, (std::vector<bool>{false}));
}

TEST_F(ConfigObjectTest, MutualDependencyGoesThroughTheDependencyParent) {
  TReferenced A(&Config);
  TReferenced B(&Config);
  A.SetID(1);
  B.SetID(2);
  A.FReferrers = {&B};
  EXPECT_FALSE(A.GetHasMutualDependencies());
  A.ResetReferences();
  B.ResetReferences();
  B.FReferrers = {&A};
  EXPECT_TRUE(A.GetHasMutualDependencies());
}

TEST_F(ConfigObjectTest, SameAndCompareTreatNamesAndDescriptionsDifferently) {
  TUser Lower;
  Lower.SetName(u"sales");
  TUser Upper;
  Upper.SetName(u"SALES");
  TReferenced Other;
  Other.SetName(u"sales");
  EXPECT_TRUE(Lower.Same(&Upper));
  EXPECT_FALSE(Lower.Same(&Other));
  EXPECT_TRUE(Lower.Compare(&Upper, false));
  Upper.SetID(3);
  EXPECT_FALSE(Lower.Compare(&Upper, true));
  Lower.SetDescription(u"Desk");
  Upper.SetDescription(u"DESK");
  EXPECT_FALSE(Lower.Compare(&Upper, false));
}

TEST_F(ConfigObjectTest, ResetIDTellsReferrersAndKeepsTheNewID) {
  TUsers Users(&Config);
  TUser* User = AddUser(Users, u"Ann");
  const int32_t OldID = User->GetID();
  class TTelling : public TUser {
   public:
    using TUser::TUser;
    void ResetDependencies(int32_t NewID) override {
      FSeen = {GetID(), NewID};
      throw EORVException(999, u"refused");
    }
    std::vector<int32_t> FSeen;
  };
  TTelling Telling(&Config);
  Telling.SetID(OldID);
  EXPECT_EQ(ErrorOf([&] { Telling.ResetID(); }), "999 refused");
  EXPECT_EQ(Telling.FSeen, (std::vector<int32_t>{OldID, Config.GetLastID()}));
  EXPECT_EQ(Telling.GetID(), Config.GetLastID());
}

TEST(ConfigObject, TrimCatalogExpressionDropsBlanksThenLineBreaks) {
  EXPECT_EQ(TrimCatalogExpression(u"Text  \r\n\r\n"), u"Text  ");
  EXPECT_EQ(TrimCatalogExpression(u"Text\r\n  "), u"Text");
  EXPECT_EQ(TrimCatalogExpression(u""), u"");
}

TEST(ConfigObject, UniqueNumbersIncrease) {
  const int32_t First = GetNextUniqueNumber();
  EXPECT_GT(GetNextUniqueNumber(), First);
}

}  // namespace
}  // namespace orv
