// Tables as the storage engine sees them: the flags, states and structure
// checksum that the table files read and check their headers against.
#pragma once

#include <cstdint>
#include <memory>

#include "base/orvtype.h"
#include "catalog/orvcatalogobject.h"
#include "catalog/orvlockable.h"
#include "catalog/orvprivilege.h"
#include "catalog/orvschemaobject.h"
#include "catalog/orvtabledesc.h"

namespace orv {

class TORVColumns;
class TORVConstraints;
class TORVIndexes;
class TORVTriggers;
class TORVVirtualTable;

// A table or view: what a view shares with a stored table. Tables and views
// share one slot space in the database's lock file, so a view locks as a
// table of its slot; slot 0 means none.
//
// Every table-like object has its columns in definition order, the hidden
// row-ID column "__RowID" first once the owner made the system columns.
// The run-time flags (maintenance, maintaining, batch, cache) are set by
// the managers that work on the object and are never streamed, copied or
// compared.
class TORVVirtualTable : public TORVPrivilegedSchemaObject {
 public:
  explicit TORVVirtualTable(TORVConfig* OwnerConfig = nullptr);
  TORVVirtualTable(TORVConfig* OwnerConfig, TORVUser* OwnerUser);
  ~TORVVirtualTable() override;

  TORVString GetTypeName() const override;
  // A maintenance copy carries a working name that is not validated.
  bool GetNameValidation() const override { return !FMaintenance; }
  TORVLockSpaceKind GetLockSpaceKind() const override { return lkTable; }
  int32_t GetLockSlot() const override { return FLockSlot; }
  void SetSystemObject(bool Value) override;
  void SetTemporary(bool Value) override;
  void SetTemporaryForSession(bool Value) override;
  void Reset() override;
  void ResetReferences() override;
  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override;
  bool Compare(TORVConfigObject* ObjectToCompare, bool CompareID) override;
  void Validate() override;
  void Compile() override;
  void Decompile() override;
  bool DependencyExists(TORVConfigObject* SourceObject, bool OrderedOnly) override;
  void SetDependencies() override;
  void RenameDependencies(const TORVString& NewName) override;
  void AddDependenciesToObject(TORVConfigObject* Obj) override;
  void ResetDependenciesToObject(TORVConfigObject* Obj, int32_t NewID) override;
  void RenameDependenciesToObject(TORVConfigObject* Obj, const TORVString& NewName) override;
  void DeleteDependenciesToObject(TORVConfigObject* Obj) override;
  int32_t GetMemorySize() override;
  int32_t GetMemoryCount() override;
  // Columns, indexes, triggers (from 1.03) and the lock slot; the checksum form leaves
  // out the triggers and the lock slot, and a maintenance copy counts only
  // the indexes the table itself would have.
  void Save(TORVMemoryStream& Stream, bool CRCOnly) override;
  void Load(TORVMemoryStream& Stream) override;

  // Refuses an index on the object (an updateable view); tables take any.
  virtual void CheckIndexable() {}

  // Appends the hidden "__RowID" Integer column, which must come first.
  void CreateSystemColumns();

  TORVColumns& GetColumns() const { return *FColumns; }
  // The indexes in definition order; one index file holds them all, in
  // this order.
  TORVIndexes& GetIndexes() const { return *FIndexes; }
  // The triggers in firing order.
  TORVTriggers& GetTriggers() const { return *FTriggers; }
  // A different slot marks the object modified.
  void SetLockSlot(int32_t Value);
  bool GetMaintenance() const { return FMaintenance; }
  void SetMaintenance(bool Value) { FMaintenance = Value; }
  bool GetTemporaryMaintenance() const { return FTemporaryMaintenance; }
  void SetTemporaryMaintenance(bool Value) { FTemporaryMaintenance = Value; }
  bool GetMaintaining() const { return FMaintaining; }
  void SetMaintaining(bool Value) { FMaintaining = Value; }
  bool GetBatchOperation() const { return FBatchOperation; }
  void SetBatchOperation(bool Value) { FBatchOperation = Value; }
  bool GetLoadingCache() const { return FLoadingCache; }
  void SetLoadingCache(bool Value) { FLoadingCache = Value; }
  bool GetCached() const { return FCached; }
  void SetCached(bool Value) { FCached = Value; }

 protected:
  std::unique_ptr<TORVColumns> FColumns;
  std::unique_ptr<TORVIndexes> FIndexes;
  std::unique_ptr<TORVTriggers> FTriggers;
  int32_t FLockSlot = 0;
  bool FMaintenance = false;
  bool FTemporaryMaintenance = false;
  bool FMaintaining = false;
  bool FBatchOperation = false;
  bool FLoadingCache = false;
  bool FCached = false;
};

// A schema's list of all its tables and views. It owns none of them, and
// changes to the list itself never mark the catalog modified.
class TORVVirtualTables : public TORVCatalogBound<TORVPrivilegedConfigObjects> {
 public:
  explicit TORVVirtualTables(TORVConfig* OwnerConfig = nullptr)
      : TORVCatalogBound<TORVPrivilegedConfigObjects>(false, OwnerConfig) {}

  TORVString GetTypeName() const override { return u"table or view"; }
  int32_t MaximumObjectsAllowed() const override { return 4096; }
  void SetModified(bool /*Value*/) override {}

  TORVVirtualTable* GetVirtualTable(int32_t Index) const {
    return static_cast<TORVVirtualTable*>(GetObjects(Index));
  }
  // Ascending lock slot.
  void SortByLockSlot();
};

// Only describes the ODBC tables information table.
class TORVODBCTables : public TORVVirtualTables {
 public:
  using TORVVirtualTables::TORVVirtualTables;
};

// The privileges of tables, and their ODBC form; they describe the
// information tables of table privileges.
class TORVTablePrivileges : public TORVPrivileges {
 public:
  using TORVPrivileges::TORVPrivileges;
};

class TORVODBCTablePrivileges : public TORVPrivileges {
 public:
  using TORVPrivileges::TORVPrivileges;
};

const TORVConfigObjectsClass& ODBCTablesClass();
const TORVConfigObjectsClass& TablePrivilegesClass();
const TORVConfigObjectsClass& ODBCTablePrivilegesClass();

// -1, 0 or 1 as the first object's lock slot is below, equal to or above the
// second's.
int32_t VirtualTableCompareLockSlot(TORVConfigObject* Item1, TORVConfigObject* Item2);

// The tables and views a view reads; owns none of them.
class TORVReferencedVirtualTables : public TORVSelectedConfigObjects {
 public:
  TORVVirtualTable* GetVirtualTable(int32_t Index) const {
    return static_cast<TORVVirtualTable*>(GetObjects(Index));
  }
};

// A stored table. Its files are named after the internal name and carry
// its structure checksum, so that a file that does not belong to the
// catalog's definition is refused.
class TORVBaseTable : public TORVVirtualTable {
 public:
  explicit TORVBaseTable(TORVConfig* OwnerConfig = nullptr, TORVUser* OwnerUser = nullptr);
  ~TORVBaseTable() override;

  TORVString GetTypeName() const override;

  uint32_t GetCheckSum() const { return FCheckSum; }
  void SetCheckSum(uint32_t Value) { FCheckSum = Value; }
  bool GetEncrypted() const { return FEncrypted; }
  void SetEncrypted(bool Value) { FEncrypted = Value; }
  // A system table reserves a smaller header area in every file.
  bool GetSuppressCreateWarning() const { return FSuppressCreateWarning; }
  void SetSuppressCreateWarning(bool Value) { FSuppressCreateWarning = Value; }
  const TORVString& GetInternalName() const { return FInternalName; }
  void SetInternalName(const TORVString& Value) { FInternalName = Value; }
  void SetObjectState(const TORVObjectStates& Value) { FObjectState = Value; }
  // Column facts for the folders below the catalog.
  int32_t GetColumnCount() const;
  bool GetColumnIdentity(int32_t Index) const;
  int32_t GetColumnSeedValue(int32_t Index) const;
  int32_t GetColumnIncrementValue(int32_t Index) const;
  int32_t GetColumnRowOffset(int32_t Index) const;
  int32_t GetColumnOldPosition(int32_t Index) const;
  bool GetColumnAlterRestartIdentity(int32_t Index) const;
  int32_t GetRowsetRowSize() const;
  // The constraints in creation order.
  TORVConstraints& GetConstraints() const { return *FConstraints; }
  // Bytes of one index page, and of index pages a session may cache.
  int32_t GetIndexPageSize() const { return FIndexPageSize; }
  void SetIndexPageSize(int32_t Value) { FIndexPageSize = Value; }
  int32_t GetMaxIndexBufferSize() const { return FMaxIndexBufferSize; }
  void SetMaxIndexBufferSize(int32_t Value) { FMaxIndexBufferSize = Value; }
  // Bytes of rows a session may keep cached for this table.
  int32_t GetMaxRowBufferSize() const { return FMaxRowBufferSize; }
  void SetMaxRowBufferSize(int32_t Value) { FMaxRowBufferSize = Value; }
  // Bytes of one large-object block, and of blocks a session may cache.
  int32_t GetBlobBlockSize() const { return FBlobBlockSize; }
  void SetBlobBlockSize(int32_t Value) { FBlobBlockSize = Value; }
  int32_t GetMaxBlobBufferSize() const { return FMaxBlobBufferSize; }
  void SetMaxBlobBufferSize(int32_t Value) { FMaxBlobBufferSize = Value; }
  // The same for the published-updates log.
  int32_t GetPublishBlockSize() const { return FPublishBlockSize; }
  void SetPublishBlockSize(int32_t Value) { FPublishBlockSize = Value; }
  int32_t GetMaxPublishBufferSize() const { return FMaxPublishBufferSize; }
  void SetMaxPublishBufferSize(int32_t Value) { FMaxPublishBufferSize = Value; }

 protected:
  uint32_t FCheckSum = 0;
  bool FEncrypted = false;
  bool FSuppressCreateWarning = false;
  TORVString FInternalName;
  std::unique_ptr<TORVConstraints> FConstraints;
  int32_t FIndexPageSize = 4096;
  int32_t FMaxIndexBufferSize = 65536;
  int32_t FMaxRowBufferSize = 0;
  int32_t FBlobBlockSize = 512;
  int32_t FMaxBlobBufferSize = 0;
  int32_t FPublishBlockSize = 512;
  int32_t FMaxPublishBufferSize = 0;
};

// The smallest large-object block of a table: 64 bytes in an ANSI catalog,
// 128 in a Unicode one.
int32_t GetMinBlockSize(int32_t CharacterSet);

// Gives an information table (its "__RowID" already first) the common
// form: the smallest block, buffers of 4096 rows, 8192 index and 4096
// large-object bytes, then the described columns (character ones compare
// case-insensitively where the description says so) and normal indexes.
void BuildInformationTable(TORVBaseTable& Table, const TORVTableDescription& Description);

}  // namespace orv
