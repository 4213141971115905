// Tables as the storage engine sees them: the flags, states and structure
// checksum that the table files read and check their headers against.
#pragma once

#include <cstdint>
#include <memory>

#include "base/orvtype.h"
#include "catalog/orvcatalogobject.h"
#include "catalog/orvlockable.h"
#include "catalog/orvprivilege.h"

namespace orv {

class TORVColumns;
class TORVConstraints;
class TORVIndexes;
class TORVTriggers;

// A table or view; maintenance flags belong to the whole family. Tables
// and views share one slot space in the database's lock file, so a view
// locks as a table of its slot.
//
// Every table-like object has its columns in definition order, the hidden
// row-ID column "__RowID" first once the owner made the system columns.
class TORVVirtualTable : public TORVCatalogBound<TORVPrivilegedConfigObject> {
 public:
  explicit TORVVirtualTable(TORVConfig* OwnerConfig = nullptr);
  TORVVirtualTable(TORVConfig* OwnerConfig, TORVUser* OwnerUser);
  ~TORVVirtualTable() override;

  TORVColumns& GetColumns() const { return *FColumns; }
  // The triggers in firing order.
  TORVTriggers& GetTriggers() const { return *FTriggers; }
  TORVLockSpaceKind GetLockSpaceKind() const override { return lkTable; }
  int32_t GetLockSlot() const override { return FLockSlot; }
  void SetLockSlot(int32_t Value) { FLockSlot = Value; }
  bool GetMaintenance() const { return FMaintenance; }
  void SetMaintenance(bool Value) { FMaintenance = Value; }
  bool GetTemporaryMaintenance() const { return FTemporaryMaintenance; }
  void SetTemporaryMaintenance(bool Value) { FTemporaryMaintenance = Value; }

 protected:
  std::unique_ptr<TORVColumns> FColumns;
  std::unique_ptr<TORVTriggers> FTriggers;
  int32_t FLockSlot = 0;
  bool FMaintenance = false;
  bool FTemporaryMaintenance = false;
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
  // The indexes in definition order; one index file holds them all, in
  // this order.
  TORVIndexes& GetIndexes() const { return *FIndexes; }
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
  std::unique_ptr<TORVIndexes> FIndexes;
  std::unique_ptr<TORVConstraints> FConstraints;
  int32_t FIndexPageSize = 4096;
  int32_t FMaxIndexBufferSize = 65536;
  int32_t FMaxRowBufferSize = 0;
  int32_t FBlobBlockSize = 512;
  int32_t FMaxBlobBufferSize = 0;
  int32_t FPublishBlockSize = 512;
  int32_t FMaxPublishBufferSize = 0;
};

}  // namespace orv
