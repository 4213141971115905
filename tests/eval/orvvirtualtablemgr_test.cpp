#include "eval/orvvirtualtablemgr.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "catalog/orvtable.h"
#include "tests/catalog/orvcatalogroot.h"
#include "tests/catalog/orvcompilingcatalog.h"
#include "tests/eval/orvrecordingtablemgr.h"
#include "tests/support/orverrortext.h"

namespace orv {
namespace {

using test::ErrorOf;

// The errors need nothing of the database.
class TErrorsOnlyOwner : public TORVSchemaObjectOwner {
 public:
  TORVLockManager& GetLockManager() override { throw std::logic_error("no lock manager"); }
  TORVSessionManager& GetSessionManager() override { throw std::logic_error("no session"); }
  void CheckPrivilege(TORVPrivilegedSchemaObject*, int32_t, const TORVString&) override {}
  TORVTriggerEvaluator& GetTriggerEvaluator() override { throw std::logic_error("no evaluator"); }
  void HandleException(const std::exception&, int32_t) override {}
  void PushCurrentUser() override {}
  void SetCurrentUser(TORVUser*) override {}
  void PopCurrentUser() override {}
  TORVUser* GetSystemUser() override { return nullptr; }
};

struct TFixture {
  TFixture() : Table(test::NewTable(*Catalog.Catalog, u"t")), Manager(&Owner, Table) {}
  test::TCompilingCatalog Catalog;
  TErrorsOnlyOwner Owner;
  TORVBaseTable* Table;
  test::TUnusedStorageTableManager Manager;
};

TEST(VirtualTableManager, RowErrorsCarryTheirCodeAndNameTheTable) {
  TFixture F;
  struct TCase {
    std::function<void(TORVVirtualTableManager&)> Raise;
    std::string Text;
  };
  const TCase Cases[] = {
      {[](auto& M) { M.RowLockError(); }, "1005 Cannot lock the row in the table t"},
      {[](auto& M) { M.RowUnlockError(); }, "1006 Cannot unlock the row in the table t"},
      {[](auto& M) { M.RowDeletedError(); }, "1007 The row has been deleted since last cached for the table t"},
      {[](auto& M) { M.RowModifiedError(); }, "1008 The row has been modified since last cached for the table t"},
      {[](auto& M) { M.RowVisibilityError(); }, "1010 The row is no longer visible in the table t"},
      {[](auto& M) { M.RowCorruptError(); }, "1012 The row has been corrupted since last cached for the table t"},
      {[](auto& M) { M.ReadOnlyError(u"LOAD"); },
       "403 The table t is read-only and this operation cannot be performed (LOAD)"},
  };
  for (const TCase& Case : Cases) EXPECT_EQ(ErrorOf([&] { Case.Raise(F.Manager); }), Case.Text);
}

TEST(VirtualTableManager, OnlyAReadOnlyObjectThatIsNotASystemObjectIsRefused) {
  TFixture F;
  EXPECT_EQ(ErrorOf([&] { F.Manager.CheckNotReadOnly(u"INSERT"); }), "no error");
  F.Table->SetReadOnly(true);
  EXPECT_EQ(ErrorOf([&] { F.Manager.CheckNotReadOnly(u"INSERT"); }),
            "403 The table t is read-only and this operation cannot be performed (INSERT)");
  F.Table->SetSystemObject(true);
  EXPECT_EQ(ErrorOf([&] { F.Manager.CheckNotReadOnly(u"DELETE"); }), "no error");
}

}  // namespace
}  // namespace orv
