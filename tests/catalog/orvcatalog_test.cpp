#include "catalog/orvcatalog.h"

#include <gtest/gtest.h>

#include <memory>

#include "base/orverror.h"
#include "catalog/orvschema.h"
#include "core/orvstream.h"
#include "tests/catalog/orvcatalogroot.h"
#include "tests/support/orverrortext.h"

namespace orv {
namespace {

TEST(Catalog, NewCatalogHoldsInformationAndDefaultSchemas) {
  auto Config = test::NewRoot();
  TORVCatalog Catalog(Config.get());
  EXPECT_EQ(Catalog.GetID(), 1);
  EXPECT_EQ(Catalog.GetLastID(), 4);
  EXPECT_EQ(Catalog.GetInformationSchema()->GetID(), 3);
  EXPECT_EQ(Catalog.GetInformationSchema()->GetName(), u"Information");
  EXPECT_TRUE(Catalog.GetInformationSchema()->GetSystemObject());
  EXPECT_EQ(Catalog.GetDefaultSchema()->GetID(), 4);
  EXPECT_EQ(Catalog.GetDefaultSchema()->GetDescription(), u"Default Schema");
  EXPECT_FALSE(Catalog.GetDefaultSchema()->GetSystemObject());
  EXPECT_EQ(Catalog.GetLockSpaceKind(), lkCatalog);
}

TEST(Catalog, StreamRoundTripsWithoutTheInformationSchema) {
  auto Config = test::NewRoot();
  TORVCatalog Catalog(Config.get());
  Catalog.SetVersion(EngineCatalogVersion);
  test::NewTableT(Catalog);
  TORVMemoryStream Stream(CharacterSetUnicode);
  Catalog.Save(Stream, false);
  EXPECT_FALSE(Catalog.GetModified());
  // Version, last ID, then one schema: the Information schema is a system
  // object and never written.
  Stream.SetPosition(0);
  EXPECT_EQ(Stream.ReadCurrency(), EngineCatalogVersion);
  EXPECT_EQ(Stream.ReadInteger(), Catalog.GetLastID());
  EXPECT_EQ(Stream.ReadInteger(), 1);

  TORVCatalog Loaded(Config.get());
  Stream.SetPosition(0);
  Loaded.Load(Stream);
  EXPECT_EQ(Loaded.GetVersion(), EngineCatalogVersion);
  EXPECT_EQ(Loaded.GetLastID(), Catalog.GetLastID());
  EXPECT_FALSE(Loaded.GetModified());
  ASSERT_EQ(Loaded.GetSchemas().GetCount(), 2);
  EXPECT_EQ(Loaded.GetInformationSchema()->GetName(), u"Information");
  ASSERT_NE(Loaded.GetDefaultSchema()->GetBaseTables().FindByName(u"T", false), nullptr);
}

TEST(Catalog, StreamOfANewerEngineIsRefusedAndItsVersionKept) {
  auto Config = test::NewRoot();
  TORVCatalog Catalog(Config.get());
  TORVMemoryStream Stream(CharacterSetUnicode);
  Stream.WriteCurrency(TORVCurrency::FromScaled(20600));
  Stream.WriteInteger(99);
  Stream.SetPosition(0);
  const std::string Error = test::ErrorOf([&] { Catalog.Load(Stream); });
  EXPECT_EQ(Error.substr(0, 4), "100 ");
  EXPECT_NE(Error.find("updated by a newer version of the engine"), std::string::npos) << Error;
  EXPECT_EQ(Catalog.GetVersion(), TORVCurrency::FromScaled(20600));
  EXPECT_EQ(Catalog.GetLastID(), 4);
}

TEST(Catalog, FailedLoadRefusesSaveUntilALoadSucceeds) {
  auto Config = test::NewRoot();
  TORVCatalog Source(Config.get());
  Source.SetVersion(EngineCatalogVersion);
  TORVMemoryStream Good(CharacterSetUnicode);
  Source.Save(Good, false);

  TORVCatalog Catalog(Config.get());
  TORVMemoryStream Truncated(CharacterSetUnicode);
  Truncated.WriteCurrency(EngineCatalogVersion);
  Truncated.WriteInteger(10);
  Truncated.WriteInteger(5);  // five schemas promised, none there
  Truncated.SetPosition(0);
  EXPECT_ANY_THROW(Catalog.Load(Truncated));
  EXPECT_FALSE(Catalog.GetLoadComplete());
  TORVMemoryStream Out(CharacterSetUnicode);
  EXPECT_NE(test::ErrorOf([&] { Catalog.Save(Out, false); }).find("The catalog was not read properly"),
            std::string::npos);

  Good.SetPosition(0);
  Catalog.Load(Good);
  EXPECT_TRUE(Catalog.GetLoadComplete());
  Catalog.Save(Out, false);
}

TEST(Catalog, NextIDWrapsToOneAndMarksTheCatalogModified) {
  auto Config = test::NewRoot();
  TORVCatalog Catalog(Config.get());
  TORVMemoryStream Stream(CharacterSetUnicode);
  Stream.WriteCurrency(EngineCatalogVersion);
  Stream.WriteInteger(2147483647);
  Stream.WriteInteger(0);
  Stream.SetPosition(0);
  Catalog.Load(Stream);
  EXPECT_FALSE(Catalog.GetModified());
  EXPECT_EQ(Catalog.GetNextID(), 1);
  EXPECT_TRUE(Catalog.GetModified());
}

TEST(Catalog, ObjectsMarkTheCatalogModifiedExceptTemporaryOnes) {
  auto Config = test::NewRoot();
  TORVCatalog Catalog(Config.get());
  Catalog.SetModified(false);
  TORVBaseTable* Table = test::NewTableT(Catalog);
  EXPECT_TRUE(Catalog.GetModified());
  EXPECT_GT(Table->GetID(), 4);
  Catalog.SetModified(false);
  Table->SetDescription(u"changed");
  EXPECT_TRUE(Catalog.GetModified());
  EXPECT_TRUE(Table->GetModified());

  TORVTemporaryTables& Temporary = Catalog.GetDefaultSchema()->GetTemporaryTables();
  std::unique_ptr<TORVBaseTable> Scratch(static_cast<TORVBaseTable*>(Temporary.GetNewObject()));
  Scratch->SetName(u"Scratch");
  Temporary.Add(Scratch.get());
  TORVBaseTable* Added = Scratch.release();
  Catalog.SetModified(false);
  Added->SetDescription(u"never stored");
  EXPECT_FALSE(Catalog.GetModified());
}

TEST(Catalog, LookupsHideTablesTheUserMayNotSee) {
  auto Config = test::NewRoot();
  TORVCatalog Catalog(Config.get());
  TORVBaseTable* Table = test::NewTableT(Catalog);
  TORVUser* Reader = test::NewUser(*Config, u"Reader");
  TORVSchema* Default = Catalog.GetDefaultSchema();
  EXPECT_EQ(Catalog.FindVirtualTable(Default, u"t", nullptr, false, false), Table);
  // The default privileges give Public the restricted ones (Select).
  EXPECT_EQ(Catalog.FindVirtualTable(Default, u"t", Reader, false, false), Table);
  Table->RevokeAllPrivileges(Config->GetPublicRole());
  EXPECT_EQ(Catalog.FindVirtualTable(Default, u"T ", Reader, false, false), nullptr);
  EXPECT_EQ(test::ErrorOf([&] { Catalog.FindTable(Default, u"t", Reader, true, false); }),
            "401 The table t does not exist in the schema Default");
  EXPECT_EQ(Catalog.FindTable(Default, u"t", nullptr, true, false), Table);
}

}  // namespace
}  // namespace orv
