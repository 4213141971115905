#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "base/orvutf8.h"
#include "catalog/orvtable.h"
#include "eval/orvtablemgr.h"
#include "storage/orvenginesettings.h"
#include "storage/orvfilemgr.h"
#include "storage/orvpublishfile.h"
#include "tests/eval/orvtablemgrtest.h"

namespace orv {
namespace {

using test::TTableConnection;
using test::TTableShape;

class TableBackupRestore : public test::TableFolderTest {
 protected:
  // Every file of the folder db by name, with its bytes.
  std::map<std::string, std::string> DiskFiles() {
    std::map<std::string, std::string> Files;
    for (const std::string& Name : FilesIn("db")) {
      std::ifstream In(Folder() / "db" / Name, std::ios::binary);
      Files[Name] = std::string(std::istreambuf_iterator<char>(In), {});
    }
    return Files;
  }
  bool RunBackup(TTableConnection& Session, bool BackupUpdates) {
    auto Target = Files->CreateFile(PathName("backup"), {});
    int64_t Current = 0;
    Session.Database.Session().StartProgress();
    const bool Result =
        Session.Manager->Backup(*Target, Session.Manager->GetSize(true), Current, 0, BackupUpdates);
    Session.Database.Session().EndProgress();
    Target->Close();
    return Result;
  }
  bool RunRestore(TTableConnection& Session) {
    auto Source = Files->OpenFile(PathName("backup"), {});
    int64_t Current = 0;
    Session.Database.Session().StartProgress();
    const bool Result = Session.Manager->Restore(*Source, Source->GetSize(), Current, 0);
    Session.Database.Session().EndProgress();
    Source->Close();
    return Result;
  }
  static TTableShape Published() {
    TTableShape Shape;
    Shape.Configure = [](TORVBaseTable& Table) { Table.SetIsPublished(true); };
    return Shape;
  }
};

TEST_F(TableBackupRestore, ARoundTripReproducesEveryFileByteForByte) {
  TTableShape Shape;
  Shape.Configure = [](TORVBaseTable& Table) { AddTestColumn(Table.GetColumns(), u"pic", dtLargeObject, stBlob); };
  TTableConnection& Session = OpenSession(Shape);
  for (int32_t Id = 1; Id <= 200; ++Id) Session.Insert({Id, u"row" + IntToString(Id % 17), Id});
  const std::map<std::string, std::string> Before = DiskFiles();
  ASSERT_EQ(Before.size(), 3u);
  ASSERT_TRUE(RunBackup(Session, true));
  for (int32_t Id = 201; Id <= 260; ++Id) Session.Insert({Id, u"later", Id});
  ASSERT_TRUE(RunRestore(Session));
  CloseSessions();
  std::filesystem::remove(Folder() / "backup");
  EXPECT_TRUE(DiskFiles() == Before);
  TTableConnection& Reopened = OpenSession(Shape);
  EXPECT_EQ(Reopened.Scan().size(), 200u);
  EXPECT_EQ(Reopened.IndexesAgreeWithRows(), "");
}

TEST_F(TableBackupRestore, APublishedTableBackedUpWithoutUpdatesGetsAnEmptyValidUpdatesFile) {
  TTableConnection& Session = OpenSession(Published());
  ASSERT_NE(Session.Manager->PublishedUpdatesManager(), nullptr);
  ASSERT_TRUE(RunBackup(Session, false));
  ASSERT_TRUE(RunRestore(Session));
  CloseSessions();
  const std::string Updates = "t" + StringToUtf8(TORVEngineManagerSettings(nullptr).GetPublishExtension());
  ASSERT_TRUE(FileExists("db", Updates));
  EXPECT_GT(std::filesystem::file_size(Folder() / "db" / Updates), 0u);
  // The fresh header opens as a sound file.
  TTableConnection& Reopened = OpenSession(Published());
  EXPECT_NE(Reopened.Manager->PublishedUpdatesManager(), nullptr);
}

TEST_F(TableBackupRestore, RestoringAnUnpublishedTableDeletesALeftoverUpdatesFile) {
  TTableConnection& Session = OpenSession();
  Session.Insert({1, u"a", 1});
  ASSERT_TRUE(RunBackup(Session, true));
  const std::string Updates = "t" + StringToUtf8(Session.Database.GetSessionSettings().GetPublishExtension());
  {
    std::ofstream Leftover(Folder() / "db" / Updates, std::ios::binary);
    Leftover << "left from an earlier publication";
  }
  ASSERT_TRUE(RunRestore(Session));
  EXPECT_FALSE(FileExists("db", Updates));
  EXPECT_EQ(Session.Scan().size(), 1u);
}

}  // namespace
}  // namespace orv
