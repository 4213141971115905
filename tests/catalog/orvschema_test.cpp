#include "catalog/orvschema.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include "base/orverror.h"
#include "catalog/orvbasetable.h"
#include "catalog/orvcatalog.h"
#include "catalog/orvroutine.h"
#include "catalog/orvtable.h"
#include "core/orvliteral.h"
#include "tests/catalog/orvcatalogroot.h"
#include "tests/support/orverrortext.h"

namespace orv {
namespace {

// A table that writes its lock calls to a log, noting whether its schema
// held the same lock at the time; it refuses write locks when told.
class TRecordingTable : public TORVBaseTable {
 public:
  TRecordingTable(const TORVString& Name, TORVSchema& Schema, std::string& Log) : FSchema(Schema), FLog(Log) {
    SetName(Name);
  }

  void Lock(TORVLockType LockType) override {
    if (FRefuse) throw EORVException(ORV_LOCK_ERROR.Code, u"refused");
    FLog += "L" + Name() + (FSchema.GetLockState().Contains(lsWriteLocked) ? "+" : "-");
    TORVBaseTable::Lock(LockType);
  }
  void Unlock(TORVLockType LockType) override {
    FLog += "U" + Name() + (FSchema.GetLockState().Contains(lsWriteLocked) ? "+" : "-");
    TORVBaseTable::Unlock(LockType);
  }
  void SetRefuse(bool Value) { FRefuse = Value; }

 private:
  std::string Name() const { return std::string(FName.begin(), FName.end()); }

  TORVSchema& FSchema;
  std::string& FLog;
  bool FRefuse = false;
};

class SchemaTest : public ::testing::Test {
 protected:
  SchemaTest() : Config(test::NewRoot()), Catalog(test::AttachCatalog(*Config, u"Main")) {}

  TORVSchema& Default() { return *Catalog->GetDefaultSchema(); }

  TORVView* NewView(const TORVString& Name) { return static_cast<TORVView*>(NewMember(Default().GetViews(), Name)); }

  // A new member of List named Name, owned by Owner (System when nil).
  static TORVConfigObject* NewMember(TORVPrivilegedCatalogObjects& List, const TORVString& Name,
                                     TORVUser* Owner = nullptr) {
    std::unique_ptr<TORVConfigObject> Object(List.GetNewObject(Owner));
    Object->SetName(Name);
    List.Add(Object.get());
    return Object.release();
  }

  std::unique_ptr<TORVConfig> Config;
  TORVCatalog* Catalog = nullptr;
};

TEST_F(SchemaTest, TheTableAndViewListHoldsTablesBeforeViews) {
  TORVView* View = NewView(u"v");
  ASSERT_EQ(Default().GetVirtualTables().GetCount(), 1);
  EXPECT_EQ(Default().GetVirtualTables().GetVirtualTable(0), View);
  TORVBaseTable* Table = test::NewTable(*Catalog, u"t");
  ASSERT_EQ(Default().GetVirtualTables().GetCount(), 2);
  EXPECT_EQ(Default().GetVirtualTables().GetVirtualTable(0), Table);
  EXPECT_EQ(Default().GetVirtualTables().GetVirtualTable(1), View);

  Default().GetBaseTables().Remove(Table);
  delete Table;
  ASSERT_EQ(Default().GetVirtualTables().GetCount(), 1);
  EXPECT_EQ(Default().GetVirtualTables().GetVirtualTable(0), View);
}

TEST_F(SchemaTest, TemporaryMarksTheStoredCollectionsButNotTheSessionTables) {
  TORVBaseTable* Table = test::NewTable(*Catalog, u"t");
  TORVView* View = NewView(u"v");
  Default().SetTemporary(true);
  EXPECT_TRUE(Table->GetTemporary());
  EXPECT_TRUE(View->GetTemporary());
  EXPECT_TRUE(Default().GetProcedures().GetTemporary());
  EXPECT_TRUE(Default().GetFunctions().GetTemporary());
  Default().SetTemporary(false);
  EXPECT_FALSE(Table->GetTemporary());
  EXPECT_FALSE(Default().GetFunctions().GetTemporary());
  // The session's own tables stay temporary whatever the schema is.
  EXPECT_TRUE(Default().GetTemporaryTables().GetTemporary());
}

TEST_F(SchemaTest, WriteLocksReachTheTransactionTablesAfterTheSchemaAndLeaveThemFirst) {
  std::string Log;
  TRecordingTable First(u"1", Default(), Log);
  TRecordingTable Second(u"2", Default(), Log);
  Default().GetTransactionTables().Add(&First);
  Default().GetTransactionTables().Add(&Second);

  Default().Lock(ltWrite);
  EXPECT_EQ(Log, "L1+L2+");
  EXPECT_TRUE(Second.GetLockState().Contains(lsWriteLocked));
  Default().Unlock(ltWrite);
  EXPECT_EQ(Log, "L1+L2+U1+U2+");
  EXPECT_FALSE(Default().GetLockState().Contains(lsWriteLocked));

  // Shared locks stay with the schema.
  Log.clear();
  Default().Lock(ltShared);
  Default().Unlock(ltShared);
  EXPECT_EQ(Log, "");

  // A refusing table leaves nothing locked behind.
  Second.SetRefuse(true);
  EXPECT_EQ(test::ErrorOf([&] { Default().Lock(ltWrite); }), "300 refused");
  EXPECT_EQ(Log, "L1+U1+");
  EXPECT_FALSE(First.GetLockState().Contains(lsWriteLocked));
  EXPECT_FALSE(Default().GetLockState().Contains(lsWriteLocked));

  Default().IncTransactionLockCount();
  Default().StartTransaction();
  EXPECT_EQ(First.GetTransactionLockCount(), 1);
  EXPECT_TRUE(Second.GetObjectState().Contains(osInTransaction));
  Default().EndTransaction();
  Default().DecTransactionLockCount();
  EXPECT_EQ(Second.GetTransactionLockCount(), 0);
  EXPECT_FALSE(First.GetObjectState().Contains(osInTransaction));
  Default().GetTransactionTables().Clear();
}

// A batch or a transaction only refers to tables of the schema: emptying its
// lists frees no table.
TEST_F(SchemaTest, BatchAndTransactionListsReferToTablesWithoutOwningThem) {
  std::string Log;
  TRecordingTable Table(u"1", Default(), Log);
  for (TORVReferencedTables* List : {&Default().GetBatchTables(), &Default().GetTransactionTables()}) {
    List->Add(&Table);
    EXPECT_EQ(List->GetTypeName(), u"referenced table");
    List->Clear();
    EXPECT_EQ(Table.GetName(), u"1");
  }
}

TEST_F(SchemaTest, TheTableOrViewPast4096IsRefusedWithTheListsUnchanged) {
  TORVBaseTables& Tables = Default().GetBaseTables();
  for (int32_t Index = 0; Index < 4095; ++Index) {
    std::unique_ptr<TORVConfigObject> Table(Tables.GetNewObject());
    Table->SetName(u"t" + IntToString(Index));
    Tables.Add(Table.release());
  }
  NewView(u"v4096");
  EXPECT_EQ(Default().GetVirtualTables().GetCount(), 4096);

  std::unique_ptr<TORVConfigObject> Extra(Tables.GetNewObject());
  Extra->SetName(u"extra");
  EXPECT_EQ(test::ErrorOf([&] { Tables.Add(Extra.get()); }).substr(0, 4), "405 ");
  std::unique_ptr<TORVConfigObject> ExtraView(Default().GetViews().GetNewObject());
  ExtraView->SetName(u"extraview");
  EXPECT_EQ(test::ErrorOf([&] { Default().GetViews().Add(ExtraView.get()); }).substr(0, 4), "405 ");
  EXPECT_EQ(Tables.GetCount(), 4095);
  EXPECT_EQ(Default().GetViews().GetCount(), 1);
  EXPECT_EQ(Default().GetVirtualTables().GetCount(), 4096);
}

std::vector<TORVString> Names(TORVConfigObjects& List) {
  std::vector<TORVString> Result;
  for (int32_t Index = 0; Index < List.GetCount(); ++Index) Result.push_back(List.GetObjects(Index)->GetName());
  return Result;
}

TEST_F(SchemaTest, SchemaObjectsSelectTablesViewsFunctionsThenProceduresWithoutHiddenOnes) {
  NewView(u"v");
  test::NewTable(*Catalog, u"t");
  test::NewTable(*Catalog, u"hidden")->SetHidden(true);
  TORVSchemaObjects& Objects = Default().GetSchemaObjects();

  // Built, the selection is in ID order; a schema that forgets its
  // references has it built afresh.
  Objects.Build();
  EXPECT_EQ(Names(Objects), (std::vector<TORVString>{u"v", u"t"}));
  Default().ResetReferences();
  EXPECT_EQ(Objects.GetCount(), 0);
  EXPECT_FALSE(Objects.GetBuilt());

  NewMember(Default().GetProcedures(), u"p");
  NewMember(Default().GetFunctions(), u"f");
  Objects.SelectObjects();
  EXPECT_EQ(Names(Objects), (std::vector<TORVString>{u"t", u"v", u"f", u"p"}));
  // It only refers to the schema's objects: forgetting them frees nothing.
  EXPECT_FALSE(Objects.GetOwnsObjects());
  Objects.Clear();
  EXPECT_EQ(Default().GetBaseTables().GetCount(), 2);
}

TEST_F(SchemaTest, CopyObjectMakesAnEmptyMemberOfTheMatchingCollectionOwnedAsTheOriginal) {
  TORVUser* Alice = test::NewUser(*Config, u"alice");
  TORVBaseTable* Table = test::NewTableT(*Catalog);
  Table->SetOwner(Alice);
  struct TCase {
    TORVConfigObject* Object;
    TORVPrivilegedCatalogObjects& Collection;
  };
  const std::vector<TCase> Cases = {
      {Table, Default().GetBaseTables()},
      {NewMember(Default().GetViews(), u"v", Alice), Default().GetViews()},
      {NewMember(Default().GetProcedures(), u"p", Alice), Default().GetProcedures()},
      {NewMember(Default().GetFunctions(), u"f", Alice), Default().GetFunctions()},
  };
  for (const TCase& Case : Cases) {
    const TORVString Name = Case.Object->GetName();
    SCOPED_TRACE(std::string(Name.begin(), Name.end()));
    const int32_t Count = Case.Collection.GetCount();
    std::unique_ptr<TORVConfigObject> Copy(Default().GetSchemaObjects().CopyObject(Case.Object));
    ASSERT_NE(Copy, nullptr);
    EXPECT_EQ(typeid(*Copy), typeid(*Case.Object));
    EXPECT_EQ(Copy->GetParent(), &Case.Collection);
    EXPECT_TRUE(Copy->GetName().empty());
    EXPECT_EQ(static_cast<TORVPrivilegedConfigObject*>(Copy.get())->GetOwner(), Alice);
    // Not added: the difference that asked for it owns it.
    EXPECT_EQ(Case.Collection.GetCount(), Count);
  }
  // Nothing else has a collection in the schema.
  for (TORVConfigObject* Other : {static_cast<TORVConfigObject*>(Table->GetColumns().GetColumn(1)),
                                  static_cast<TORVConfigObject*>(&Default())})
    EXPECT_EQ(Default().GetSchemaObjects().CopyObject(Other), nullptr);
}

// Main's Default schema against Other's: t gains a column, u is new, gone
// is dropped, same is unchanged.
TEST(SchemaDifference, ListsAlterationsAndCreationsInTargetOrderThenDrops) {
  test::TCompilingCatalogs Catalogs;
  for (TORVCatalog* Catalog : {Catalogs.Catalog, Catalogs.Other}) {
    test::NewTableT(*Catalog);
    AddTestColumn(test::NewTable(*Catalog, u"same")->GetColumns(), u"a", dtInteger);
  }
  AddTestColumn(Catalogs.Other->GetDefaultSchema()->GetBaseTables().GetTable(0)->GetColumns(), u"c",
                      dtInteger);
  AddTestColumn(test::NewTable(*Catalogs.Other, u"u")->GetColumns(), u"a", dtInteger);
  TORVBaseTable* Gone = test::NewTable(*Catalogs.Catalog, u"gone");

  TORVSchema& Source = *Catalogs.Catalog->GetDefaultSchema();
  TORVSchema& Target = *Catalogs.Other->GetDefaultSchema();
  TORVSchemaDifference& Difference = Source.GetSchemaDifference();
  Difference.Build(Source.GetSchemaObjects(), Target.GetSchemaObjects(), u';');

  ASSERT_EQ(Names(Difference), (std::vector<TORVString>{u"t", u"u", u"gone"}));
  TORVConfigObject* Altered = Difference.GetConfigObject(0);
  EXPECT_EQ(Altered, Source.GetBaseTables().GetTable(0));
  EXPECT_EQ(Altered->GetAlterSQL().rfind(u"ALTER TABLE \"t\"", 0), 0u);
  EXPECT_NE(Altered->GetAlterSQL().find(u"ADD COLUMN \"c\""), TORVString::npos);
  // The new table is a copy made in the target's collection.
  TORVConfigObject* Created = Difference.GetConfigObject(1);
  EXPECT_NE(Created, Target.GetBaseTables().FindByName(u"u", true));
  EXPECT_EQ(Created->GetParent(), &Target.GetBaseTables());
  EXPECT_EQ(Created->GetAlterSQL().rfind(u"CREATE TABLE \"u\"", 0), 0u);
  EXPECT_EQ(Difference.GetNewObjectCount(), 1);
  EXPECT_EQ(Difference.GetConfigObject(2), Gone);
  EXPECT_EQ(Gone->GetAlterSQL(), u"DROP TABLE \"gone\"");

  // Identical schemas differ in nothing.
  Source.GetSchemaObjects().Clear();
  Difference.Build(Source.GetSchemaObjects(), Source.GetSchemaObjects(), u';');
  EXPECT_EQ(Difference.GetCount(), 0);
  EXPECT_EQ(Difference.GetNewObjectCount(), 0);
}

}  // namespace
}  // namespace orv
