// The table manager makes its cursors through the database's owner: a
// local cursor with the default columns mapped, read-only also when the
// table is, and the metadata error where the owner makes none of the kind.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "base/orvutf8.h"
#include "catalog/orvcursorcolumns.h"
#include "catalog/orvtable.h"
#include "eval/orvtablemgr.h"
#include "exec/orvlocalcursor.h"
#include "tests/eval/orvtablemgrtest.h"
#include "tests/support/orverrortext.h"

namespace orv {
namespace {

// An owner that makes plain local cursors only.
class TCursorOwner : public test::TTestDatabase {
 public:
  using TTestDatabase::TTestDatabase;
  std::unique_ptr<TORVCursor> CreateLocalCursor(TORVVirtualTableManager& Manager, const TORVString& CursorName,
                                                bool OpenReadOnly, bool OpenExclusive, bool Indexed) override {
    if (Indexed) return nullptr;
    return std::make_unique<TORVLocalCursor>(&Manager, CursorName, OpenReadOnly, OpenExclusive);
  }
};

class LocalCursorOwner : public test::TableFolderTest {};

TEST_F(LocalCursorOwner, TheTableManagerMakesItsCursorsThroughTheOwner) {
  std::filesystem::create_directories(Folder() / "db");
  TCursorOwner Owner(Files.get(), PathName("orv.lock"));
  Owner.DatabaseFolder = PathName("db");
  TORVTableManagers Managers(&Owner);
  Owner.TableManagers = &Managers;
  TORVBaseTable* Table = Owner.AddTable(u"t", 1);
  Table->SetInternalName(u"t");
  AddTestColumn(Table->GetColumns(), u"id", dtInteger);
  AddTestColumn(Table->GetColumns(), u"name", dtCharacter, stVarChar, 20);
  auto* Manager = static_cast<TORVTableManager*>(Managers.Open(Table, ltShared));
  for (const bool TableReadOnly : {false, true}) {
    for (const bool AskReadOnly : {false, true}) {
      Table->SetReadOnly(TableReadOnly);
      Managers.Open(Table, ltShared);
      std::unique_ptr<TORVCursor> Cursor = Manager->CreateCursor(u"c", AskReadOnly, false, false);
      auto* Local = dynamic_cast<TORVLocalCursor*>(Cursor.get());
      ASSERT_NE(Local, nullptr);
      EXPECT_EQ(Local->GetReadOnly(), TableReadOnly || AskReadOnly);
      EXPECT_EQ(Local->GetTableManager(), Manager);
      // The hidden row ID is not mapped.
      ASSERT_EQ(Local->GetCursorColumns()->GetCount(), 2);
      EXPECT_EQ(Local->GetCursorColumns()->GetCursorColumn(1)->GetName(), u"name");
      Local->Destroy();
      EXPECT_EQ(Manager->GetUseCount(), 1);
    }
  }
  Table->SetReadOnly(false);
  EXPECT_EQ(test::ErrorOf([&] { Manager->CreateCursor(u"c", false, false, true); }),
            "100 There is an error in the metadata for the table t (No cursor of the kind indexed local cursor can be "
            "made)");
  Managers.FreeAll();
}

}  // namespace
}  // namespace orv
