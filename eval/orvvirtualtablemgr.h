// The manager of a table-like schema object (a base table or a view): the
// row errors every storage implementation raises, and the read-only check
// of the row operations.
#pragma once

#include "base/orvtype.h"
#include "eval/orvschemaobjmgr.h"

namespace orv {

class TORVVirtualTable;

class TORVVirtualTableManager : public TORVSchemaObjectManager {
 public:
  TORVVirtualTableManager(TORVSchemaObjectOwner* OwnerDatabaseManager, TORVVirtualTable* VirtualTableToManage);

  // Each raises its error naming the object's type ("table", "temporary
  // table", "view") and name.
  [[noreturn]] virtual void RowLockError();
  [[noreturn]] virtual void RowUnlockError();
  [[noreturn]] virtual void RowDeletedError();
  [[noreturn]] virtual void RowModifiedError();
  [[noreturn]] virtual void RowCorruptError();
  [[noreturn]] virtual void RowVisibilityError();
  // Operation is "INSERT", "UPDATE", "DELETE" or the caller's text.
  [[noreturn]] virtual void ReadOnlyError(const TORVString& Operation);
  // A system object is never refused.
  void CheckNotReadOnly(const TORVString& Operation);

  TORVVirtualTable* GetVirtualTable() const { return FVirtualTable; }

 protected:
  TORVVirtualTable* FVirtualTable;
};

}  // namespace orv
