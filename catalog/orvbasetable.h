// The selections and lists around base tables: a table's own objects as
// the difference scripts walk them, the non-owning table lists of
// constraints, batches and transactions, and the information tables of a
// schema's tables.
#pragma once

#include <cstdint>

#include "base/orvtype.h"
#include "catalog/orvschema.h"
#include "catalog/orvselection.h"
#include "catalog/orvtabledesc.h"

namespace orv {

// A table's columns, constraints, indexes and triggers in that order,
// without hidden members and constraint indexes.
class TORVBaseTableObjects : public TORVSelectedConfigObjects {
 public:
  explicit TORVBaseTableObjects(TORVBaseTable* OwnerTable) : FTable(OwnerTable) {}

  void SelectObjects() override;
  // A new, empty member of the table's collection of Object's kind; nil
  // for any other object.
  TORVConfigObject* CopyObject(TORVConfigObject* Object) override;

 private:
  TORVBaseTable* FTable;
};

class TORVBaseTableDifference : public TORVConfigObjectsDifference {};

// Tables that belong to other collections: the tables a table's
// constraints involve, the tables of a batch or a transaction. Changes to
// the list never mark anything modified.
class TORVReferencedTables : public TORVBaseTables {
 public:
  TORVReferencedTables();

  TORVString GetTypeName() const override { return u"referenced table"; }
  void SetModified(bool /*Value*/) override {}
  void ObjectsChanged() override {}

  void SortByLockSlot();
  void SortByID();
  // By batch time stamp; with equal stamps a table after the tables its
  // foreign keys reference.
  void SortByTimeStamp();
  void RemoveDuplicates();
};

// -1, 0 or 1. The time-stamp order decides only some pairs of equal
// stamps, so it is no strict weak order: sort with the collection's Sort.
int32_t ReferencedTableCompareLockSlot(TORVConfigObject* A, TORVConfigObject* B);
int32_t ReferencedTableCompareID(TORVConfigObject* A, TORVConfigObject* B);
int32_t ReferencedTableCompareTimeStamp(TORVConfigObject* A, TORVConfigObject* B);

// The information tables "Tables" and "TemporaryTables".
const TORVConfigObjectsClass& BaseTablesClass();
const TORVConfigObjectsClass& TemporaryTablesClass();

}  // namespace orv
