// Members that stand for a column of a table by its ID: the constrained and
// referenced columns of constraints and the OF columns of triggers. They
// have no name of their own; their name is the column's.
#pragma once

#include <cstdint>

#include "base/orvtype.h"
#include "catalog/orvcatalogobject.h"

namespace orv {

class TORVColumn;
class TORVVirtualTable;

class TORVColumnReference : public TORVCatalogObject {
 public:
  TORVString GetName() const override;
  bool HasName(std::u16string_view Name) const override { return SameString(GetName(), Name); }
  bool GetNameRequired() const override { return false; }
  // Names the column, as the member has no name of its own.
  [[noreturn]] void ValidateError(const TORVString& Msg, int32_t Line, int32_t Column) override;
  void ResetReferences() override;
  // Also the column ID.
  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override;
  // With CompareID equal column IDs, without it equal column names.
  bool Compare(TORVConfigObject* ObjectToCompare, bool CompareID) override;
  // The quoted column name.
  TORVString GetCreateSQL(bool IncludeDependentObjects, bool DependentObjectsOnly, bool Restricted) override;
  // The header, then the column ID.
  void Save(TORVMemoryStream& Stream, bool CRCOnly) override;
  void Load(TORVMemoryStream& Stream) override;
  // When Obj is the column, Obj's dependents gain the object that holds
  // the list (the constraint or trigger); a new ID of the column is taken
  // over.
  void AddDependenciesToObject(TORVConfigObject* Obj) override;
  void ResetDependenciesToObject(TORVConfigObject* Obj, int32_t NewID) override;

 protected:
  // The table whose columns hold the ID; nil outside one.
  virtual TORVVirtualTable* ReferencedTable() const = 0;
  // The object above the collection that holds this member.
  TORVConfigObject* OwnerObject() const;
  // The cached column, else the column with the ID (the columns'
  // not-found error when it is gone).
  TORVColumn* ResolveColumn();
  // Stores the ID and marks the member modified when it changes.
  void StoreColumn(TORVColumn* Value);

  TORVColumn* FColumn = nullptr;
  int32_t FColumnID = 0;
};

// An owning list of column references in key order, never reporting
// duplicates.
template <class TMember>
class TORVColumnReferences : public TORVCatalogObjects {
 public:
  TORVColumnReferences() : TORVCatalogObjects(true) {}

  TORVString GetTypeName() const override { return TMember().GetTypeName(); }
  TORVConfigObject* CreateObject() override { return new TMember(); }
  bool CheckForDuplicate(TORVConfigObject* /*NewObject*/, TORVConfigObject* /*Member*/) const override { return false; }
  TORVString GetCreateSQLSeparator() const override { return u", "; }

  TMember* GetMember(int32_t Index) const { return static_cast<TMember*>(FObjects[Index]); }
};

// Sorts a list of referenced objects by ascending ID and keeps each object
// once, as the reference lists of compiled definitions are kept.
void SortUniqueByID(TORVConfigObjects& List);

}  // namespace orv
