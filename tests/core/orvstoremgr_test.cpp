#include "core/orvstoremgr.h"

#include <gtest/gtest.h>

#include <memory>

#include "core/orvstream.h"

namespace orv {
namespace {

std::unique_ptr<TORVStoreFile> BackupEntry() {
  auto File = std::make_unique<TORVStoreFile>();
  File->SetFileType(StoreFileTypeBackup);
  File->SetName(u"Sales.ORVBkp");
  File->SetDescription(u"nightly");
  File->SetDatabaseName(u"Sales");
  File->SetDatabasePath(u"/data/sales");
  File->SetCreatedOn(63700000000000);
  File->SetCreatedBy(u"Administrator");
  File->SetCompressionLevel(6);
  File->SetSize(150000);
  File->SetModifiedOn(63700000005000);
  File->SetIncludesCatalog(true);
  File->SetCatalogVersion(TORVCurrency::FromScaled(20500));
  File->SetNumTables(2);
  File->SetTables(0, u"Customers");
  File->SetTables(1, u"Orders");
  return File;
}

void ExpectSameRecord(const TORVStoreFile& Got, const TORVStoreFile& Want, bool WithCatalog) {
  EXPECT_EQ(Got.GetFileType(), Want.GetFileType());
  EXPECT_EQ(Got.GetName(), Want.GetName());
  EXPECT_EQ(Got.GetDatabaseName(), Want.GetDatabaseName());
  EXPECT_EQ(Got.GetDatabasePath(), Want.GetDatabasePath());
  EXPECT_EQ(Got.GetCreatedOn(), Want.GetCreatedOn());
  EXPECT_EQ(Got.GetCreatedBy(), Want.GetCreatedBy());
  EXPECT_EQ(Got.GetCompressionLevel(), Want.GetCompressionLevel());
  EXPECT_EQ(Got.GetSize(), Want.GetSize());
  EXPECT_EQ(Got.GetModifiedOn(), Want.GetModifiedOn());
  EXPECT_EQ(Got.GetIncludesCatalog(), WithCatalog && Want.GetIncludesCatalog());
  EXPECT_EQ(Got.GetCatalogVersion(), WithCatalog ? Want.GetCatalogVersion() : TORVCurrency());
  ASSERT_EQ(Got.GetNumTables(), Want.GetNumTables());
  for (int32_t I = 0; I < Want.GetNumTables(); ++I) EXPECT_EQ(Got.GetTables(I), Want.GetTables(I));
}

TEST(StoreFile, BackupRecordComesBackWithEveryFieldButDescription) {
  for (int32_t CharacterSet : {CharacterSetAnsi, CharacterSetUnicode}) {
    auto Saved = BackupEntry();
    TORVMemoryStream Stream(CharacterSet);
    Saved->Save(Stream);
    Stream.SetPosition(0);
    TORVStoreFile Loaded;
    Loaded.Load(Stream);
    ExpectSameRecord(Loaded, *Saved, true);
    EXPECT_EQ(Loaded.GetDescription(), u"");
    EXPECT_EQ(Stream.GetAvailable(), 0) << "the reader takes exactly what was written";
  }
}

TEST(StoreFile, UpdateRecordLeavesOutTheCatalogFieldsAndOtherFilesKeepOnlyDates) {
  auto Update = BackupEntry();
  Update->SetFileType(StoreFileTypeUpdate);
  TORVMemoryStream Stream(CharacterSetUnicode);
  Update->Save(Stream);
  auto Other = BackupEntry();
  Other->SetFileType(StoreFileTypeOther);
  Other->SetNumTables(0);
  Other->SetDatabaseName(u"");
  Other->SetDatabasePath(u"");
  Other->SetCreatedBy(u"");
  Other->SetCompressionLevel(0);
  Other->SetIncludesCatalog(false);
  const int64_t BeforeOther = Stream.GetSize();
  Other->Save(Stream);
  EXPECT_EQ(Stream.GetSize() - BeforeOther, 4 + 4 + 2 * 12 + 3 * 8);
  Stream.SetPosition(0);
  TORVStoreFile LoadedUpdate;
  LoadedUpdate.Load(Stream);
  ExpectSameRecord(LoadedUpdate, *Update, false);
  TORVStoreFile LoadedOther;
  LoadedOther.Load(Stream);
  ExpectSameRecord(LoadedOther, *Other, false);
}

TEST(StoreFile, TableCountBeyondTheStreamIsCutToTheNamesPresent) {
  TORVMemoryStream Stream(CharacterSetUnicode);
  Stream.WriteInteger(StoreFileTypeUpdate);
  Stream.WriteString(u"x");
  Stream.WriteString(u"db");
  Stream.WriteString(u"path");
  Stream.WriteLargeInt(1);
  Stream.WriteString(u"me");
  Stream.WriteInteger(0);
  Stream.WriteLargeInt(2);
  Stream.WriteLargeInt(3);
  Stream.WriteInteger(0x7FFFFFFF);
  Stream.WriteString(u"T1");
  Stream.SetPosition(0);
  TORVStoreFile Loaded;
  Loaded.Load(Stream);
  ASSERT_EQ(Loaded.GetNumTables(), 1);
  EXPECT_EQ(Loaded.GetTables(0), u"T1");
}

TEST(StoreFilesList, SavesLoadsAndCopiesDeeply) {
  TORVStoreFilesList List;
  for (int I = 0; I < 65; ++I) List.AddStoreFile(BackupEntry());
  EXPECT_EQ(List.GetNumStoreFiles(), 65);
  EXPECT_EQ(List.GetStoreFilesCapacity(), 128);
  TORVMemoryStream Stream(CharacterSetUnicode);
  List.Save(Stream);
  Stream.SetPosition(0);
  TORVStoreFilesList Loaded;
  Loaded.AddStoreFile(std::make_unique<TORVStoreFile>());
  Loaded.Load(Stream);
  ASSERT_EQ(Loaded.GetNumStoreFiles(), 65);
  ExpectSameRecord(*Loaded.GetStoreFiles(64), *List.GetStoreFiles(64), true);

  TORVStoreFilesList Copy;
  Copy.Assign(List);
  List.GetStoreFiles(0)->SetTables(0, u"Changed");
  EXPECT_EQ(Copy.GetStoreFiles(0)->GetTables(0), u"Customers");
  EXPECT_EQ(Copy.GetStoreFiles(0)->GetDescription(), u"nightly") << "Assign copies the description";
  EXPECT_THROW(Copy.GetStoreFiles(65), std::out_of_range);
}

TEST(StoreFilesList, CountBeyondTheStreamStopsAtTheRecordsPresent) {
  TORVMemoryStream Stream(CharacterSetUnicode);
  Stream.WriteInteger(1000000000);
  BackupEntry()->Save(Stream);
  Stream.SetPosition(0);
  TORVStoreFilesList Loaded;
  Loaded.Load(Stream);
  EXPECT_EQ(Loaded.GetNumStoreFiles(), 1);
}

}  // namespace
}  // namespace orv
