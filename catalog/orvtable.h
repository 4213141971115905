// Tables as the storage engine sees them: the flags, states and structure
// checksum that the table files read and check their headers against.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "base/orvtype.h"
#include "catalog/orvcatalogobject.h"
#include "catalog/orvlockable.h"
#include "catalog/orvalterstate.h"
#include "catalog/orvprivilege.h"
#include "catalog/orvschemaobject.h"
#include "catalog/orvtabledesc.h"

namespace orv {

class TORVColumn;
class TORVColumns;
class TORVConstraints;
class TORVIndexes;
class TORVMemoryStream;
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
  void CheckInvariants() const override;
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
class TORVVirtualTables : public TORVPrivilegedCatalogObjects {
 public:
  explicit TORVVirtualTables(TORVConfig* OwnerConfig = nullptr)
      : TORVPrivilegedCatalogObjects(OwnerConfig, false) {}

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

// Physical limits by character set (0 ANSI, 1 Unicode); 0 for any other.
int32_t GetMinPageSize(int32_t CharacterSet);
int32_t GetDefaultPageSize(int32_t CharacterSet);
int32_t GetMinBlockSize(int32_t CharacterSet);
int32_t GetDefaultBlockSize(int32_t CharacterSet);
int32_t GetMinPublishBlockSize(int32_t CharacterSet);
int32_t GetDefaultPublishBlockSize(int32_t CharacterSet);

// The largest index page, BLOB block and publish block a table may ask
// for: the table managers allocate one of each per buffer.
inline constexpr int32_t MaxTableBlockSize = 1048576;
// The smallest buffers a table keeps for its rows, indexes, BLOBs and
// published updates.
inline constexpr int32_t MinRowBufferSize = 4096;
inline constexpr int32_t MinIndexBufferSize = 8192;
inline constexpr int32_t MinBlobBufferSize = 4096;
inline constexpr int32_t MinPublishBufferSize = 4096;

class TORVBaseTable;
class TORVBaseTableDifference;
class TORVBaseTableObjects;
class TORVConstraint;
class TORVConstraints;
class TORVIndex;
class TORVReferencedTables;

// A stored table. Its files are named after the internal name and carry
// its structure checksum, so that a file that does not belong to the
// catalog's definition is refused.
//
// Setters round the physical sizes up to a multiple of 8 and lift the
// buffer maxima to their minimums; Load stores what it reads and Validate
// reports what is out of range. The constraint-table list is built once
// (FConstraintTablesSet) until ResetConstraintTables;
// FProcessingConstraintTables keeps the constraint walks from re-entering
// through tables whose keys reference each other.
class TORVBaseTable : public TORVVirtualTable {
 public:
  explicit TORVBaseTable(TORVConfig* OwnerConfig = nullptr, TORVUser* OwnerUser = nullptr);
  ~TORVBaseTable() override;

  TORVString GetTypeName() const override;
  void SetSystemObject(bool Value) override;
  void SetTemporary(bool Value) override;
  void SetTemporaryForSession(bool Value) override;
  void ResetReferences() override;
  void Reset() override;
  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override;
  bool Compare(TORVConfigObject* ObjectToCompare, bool CompareID) override;
  void Save(TORVMemoryStream& Stream, bool CRCOnly) override;
  void Load(TORVMemoryStream& Stream) override;
  void Validate() override;
  void Compile() override;
  void Decompile() override;
  bool DependencyExists(TORVConfigObject* SourceObject, bool OrderedOnly) override;
  // While the table is maintained, dependency work goes to its maintenance
  // copy.
  void AddDependenciesToObject(TORVConfigObject* Obj) override;
  void ResetDependenciesToObject(TORVConfigObject* Obj, int32_t NewID) override;
  void RenameDependenciesToObject(TORVConfigObject* Obj, const TORVString& NewName) override;
  void GrantAllPrivileges(TORVUser* EffectiveUser, TORVAuthorization* GrantTo) override;
  void GrantRestrictedPrivileges(TORVUser* EffectiveUser, TORVAuthorization* GrantTo) override;
  int32_t GetMemorySize() override;
  int32_t GetMemoryCount() override;
  void CheckInvariants() const override;
  TORVString GetCreateSQL(bool IncludeDependentObjects, bool DependentObjectsOnly, bool Restricted) override;
  TORVString GetPostCreateSQL() override;
  TORVString GetPreDropSQL() override;
  TORVString GetDropSQL(bool IncludeDependentObjects, bool DependentObjectsOnly) override;
  TORVString GetAlterSQL() override { return FAlterSQL; }
  void BuildAlterSQL(int32_t Action, TORVConfigObject* Target, char16_t StatementTerminator) override;
  // Builds an information table from its load class's description.
  void DynamicallyCreate() override;

  // ORV_METADATA_ERROR: no primary or unique key has TargetColumns.
  [[noreturn]] virtual void TargetConstraintError(const std::vector<TORVColumn*>& TargetColumns);
  [[noreturn]] virtual void InvalidPublishCompressionError();

  // The character set the table's sizes are measured in: the catalog's.
  int32_t GetTableCharacterSet() const;

  uint32_t GetCheckSum() const { return FCheckSum; }
  // The CRC of the definition becomes the checksum.
  void SetCheckSum();
  void AssignCheckSum(uint32_t NewCheckSum);
  bool GetEncrypted() const { return FEncrypted; }
  void SetEncrypted(bool Value);
  // A system table reserves a smaller header area in every file.
  bool GetSuppressCreateWarning() const { return FSuppressCreateWarning; }
  void SetSuppressCreateWarning(bool Value) { FSuppressCreateWarning = Value; }
  void SetObjectState(const TORVObjectStates& Value) { FObjectState = Value; }
  // Column facts for the folders below the catalog.
  int32_t GetColumnCount() const;
  bool GetColumnIdentity(int32_t Index) const;
  int32_t GetColumnSeedValue(int32_t Index) const;
  int32_t GetColumnIncrementValue(int32_t Index) const;
  int32_t GetColumnRowOffset(int32_t Index) const;
  int32_t GetColumnOldPosition(int32_t Index) const;
  bool GetColumnAlterRestartIdentity(int32_t Index) const;
  // Bytes of one stored row: the columns' row layout rounded up to 8. The
  // table managers size their row buffers from it, so it follows the
  // columns as they are added; the stored field is what the stream and
  // comparisons see.
  int32_t GetRowsetRowSize() const;
  void SetRowsetRowSize(int32_t Value);
  // The constraints in creation order.
  TORVConstraints& GetConstraints() const { return *FConstraints; }
  // Bytes of one index page, and of index pages a session may cache.
  int32_t GetIndexPageSize() const { return FIndexPageSize; }
  void SetIndexPageSize(int32_t Value);
  int32_t GetMaxIndexBufferSize() const { return FMaxIndexBufferSize; }
  void SetMaxIndexBufferSize(int32_t Value);
  // Bytes of rows a session may keep cached for this table.
  int32_t GetMaxRowBufferSize() const { return FMaxRowBufferSize; }
  void SetMaxRowBufferSize(int32_t Value);
  // Bytes of one large-object block, and of blocks a session may cache.
  int32_t GetBlobBlockSize() const { return FBlobBlockSize; }
  void SetBlobBlockSize(int32_t Value);
  int32_t GetMaxBlobBufferSize() const { return FMaxBlobBufferSize; }
  void SetMaxBlobBufferSize(int32_t Value);
  // The same for the published-updates log.
  int32_t GetPublishBlockSize() const { return FPublishBlockSize; }
  void SetPublishBlockSize(int32_t Value);
  int32_t GetMaxPublishBufferSize() const { return FMaxPublishBufferSize; }
  void SetMaxPublishBufferSize(int32_t Value);
  int32_t GetPublishCompression() const { return FPublishCompression; }
  void SetPublishCompression(int32_t Value);
  // Publishing stamps the time and a new publication ID; unpublishing
  // clears both.
  bool GetIsPublished() const { return FPublished; }
  void SetIsPublished(bool Value);
  int64_t GetPublishedOn() const { return FPublishedOn; }
  const TORVString& GetPublishID() const { return FPublishID; }
  // A new publication ID for a published table.
  void ResetPublishID();
  int32_t GetPublishType() const { return FPublishType; }
  void SetPublishType(int32_t Value);

  // The system primary key: a hidden "__PrimaryKey" on "__RowID" with its
  // own hidden index (none while altering: the restructuring makes it).
  void CreateSystemConstraint(bool Altering);
  bool RemoveSystemConstraint(bool Altering);
  // Adds the system key when no primary key was declared.
  void CheckForPrimaryKeyConstraint();
  // Raises the index page size to hold Index's keys, in steps of the
  // character set's default page size.
  void CheckPageSize(TORVIndex* Index);
  // The alter actions that turning OldTable into this definition needs
  // for the table's own settings.
  TORVAlterStates GetAlterState(TORVBaseTable* OldTable);
  // The clauses of the settings in which NewTable differs, each on a new
  // line, appended to SQL.
  void GetExtensionsAlterSQL(TORVBaseTable* NewTable, TORVString& SQL);
  void DecompileDependentViews();

  // The other tables this table's constraints involve.
  bool GetHasConstraintTables() const;
  TORVReferencedTables& GetConstraintTables();
  void SetupConstraintTables();
  void ResetConstraintTables();
  void CheckTargetConstraints();
  void CheckSourceConstraints(TORVBaseTable* Table);
  void RemoveSourceConstraints();
  bool DependsUponTable(TORVBaseTable* TableToCheck);
  TORVConstraint* GetConstraintForColumns(const std::vector<TORVColumn*>& TargetColumns);
  void UpdateConstraintCollations(TORVColumn* Column);
  bool GetIsTargetOfForeignKey() const { return FIsTargetOfForeignKey; }

  TORVBaseTableObjects& GetTableObjects();
  TORVBaseTableDifference& GetTableDifference();

  // Run-time state of the table managers and the database manager.
  bool GetDefaultsEnabled() const { return FDefaultsEnabled; }
  void SetDefaultsEnabled(bool Value) { FDefaultsEnabled = Value; }
  bool GetGeneratedEnabled() const { return FGeneratedEnabled; }
  void SetGeneratedEnabled(bool Value) { FGeneratedEnabled = Value; }
  const TORVConfigObjectsClass* GetTableLoadClass() const { return FTableLoadClass; }
  void SetTableLoadClass(const TORVConfigObjectsClass* Value) { FTableLoadClass = Value; }
  const std::function<void(TORVBaseTable*)>& GetTableLoadMethod() const { return FTableLoadMethod; }
  void SetTableLoadMethod(std::function<void(TORVBaseTable*)> Value) { FTableLoadMethod = std::move(Value); }
  bool GetTableLoaded() const { return FTableLoaded; }
  void SetTableLoaded(bool Value) { FTableLoaded = Value; }
  bool GetAlwaysLoadTable() const { return FAlwaysLoadTable; }
  void SetAlwaysLoadTable(bool Value) { FAlwaysLoadTable = Value; }
  bool GetNonCatalogTableLoad() const { return FNonCatalogTableLoad; }
  void SetNonCatalogTableLoad(bool Value) { FNonCatalogTableLoad = Value; }
  const TORVString& GetTableLoadUserName() const { return FTableLoadUserName; }
  void SetTableLoadUserName(const TORVString& Value) { FTableLoadUserName = Value; }
  int64_t GetBatchOffset() const { return FBatchOffset; }
  void SetBatchOffset(int64_t Value) { FBatchOffset = Value; }
  int64_t GetBatchSize() const { return FBatchSize; }
  void SetBatchSize(int64_t Value) { FBatchSize = Value; }
  int64_t GetBatchPos() const { return FBatchPos; }
  void SetBatchPos(int64_t Value) { FBatchPos = Value; }
  int64_t GetBatchTimeStamp() const { return FBatchTimeStamp; }
  void SetBatchTimeStamp(int64_t Value) { FBatchTimeStamp = Value; }
  bool GetDelayedConstraintCheck() const { return FDelayedConstraintCheck; }
  void SetDelayedConstraintCheck(bool Value) { FDelayedConstraintCheck = Value; }
  bool GetAlteringConstraint() const { return FAlteringConstraint; }
  void SetAlteringConstraint(bool Value) { FAlteringConstraint = Value; }
  const TORVAlterStates& GetAlterStates() const { return FAlterState; }
  void SetAlterStates(const TORVAlterStates& Value) { FAlterState = Value; }
  bool GetAlterBackupFiles() const { return FAlterBackupFiles; }
  void SetAlterBackupFiles(bool Value) { FAlterBackupFiles = Value; }
  bool GetLoadingUpdates() const { return FLoadingUpdates; }
  void SetLoadingUpdates(bool Value) { FLoadingUpdates = Value; }
  std::vector<TORVString>& GetUpdatePublishIDs() { return FUpdatePublishIDs; }
  bool GetResultSet() const { return FResultSet; }
  void SetResultSet(bool Value) { FResultSet = Value; }

 protected:
  // Value rounded up to 8; the setter's error when above MaxTableBlockSize.
  int32_t CheckedBlockSize(int32_t Value, const char16_t* AboveMaximumText);
  void AppendSizeClauses(TORVString& SQL);
  // The schema's temporary table with this table's ID (the not-found error
  // when it is missing); nil outside a schema.
  TORVBaseTable* MaintenanceCopy() const;

  uint32_t FCheckSum = 0;
  bool FEncrypted = false;
  int32_t FRowsetRowSize = 0;
  int32_t FIndexPageSize = 4096;
  int32_t FBlobBlockSize = 512;
  int32_t FPublishBlockSize = 512;
  std::unique_ptr<TORVConstraints> FConstraints;
  int32_t FMaxRowBufferSize = 32768;
  int32_t FMaxIndexBufferSize = 65536;
  int32_t FMaxBlobBufferSize = 32768;
  int32_t FMaxPublishBufferSize = 32768;
  int32_t FPublishCompression = 0;
  bool FPublished = false;
  int64_t FPublishedOn = 0;
  TORVString FPublishID;
  int32_t FPublishType = 0;

  bool FConstraintTablesSet = false;
  bool FProcessingConstraintTables = false;
  std::unique_ptr<TORVReferencedTables> FConstraintTables;
  bool FIsTargetOfForeignKey = false;
  bool FDefaultsEnabled = true;
  bool FGeneratedEnabled = true;
  std::function<void(TORVBaseTable*)> FTableLoadMethod;
  const TORVConfigObjectsClass* FTableLoadClass = nullptr;
  bool FTableLoaded = false;
  bool FAlwaysLoadTable = false;
  bool FNonCatalogTableLoad = false;
  TORVString FTableLoadUserName;
  int64_t FBatchOffset = 0;
  int64_t FBatchSize = 0;
  int64_t FBatchPos = 0;
  int64_t FBatchTimeStamp = 0;
  bool FDelayedConstraintCheck = false;
  bool FAlteringConstraint = false;
  TORVAlterStates FAlterState;
  bool FAlterBackupFiles = false;
  bool FLoadingUpdates = false;
  std::vector<TORVString> FUpdatePublishIDs;
  bool FResultSet = false;
  bool FSuppressCreateWarning = false;
  std::unique_ptr<TORVBaseTableObjects> FTableObjects;
  std::unique_ptr<TORVBaseTableDifference> FTableDifference;
  TORVString FAlterSQL;
};

// Gives an information table (its "__RowID" already first) the common
// form: the smallest block, buffers of 4096 rows, 8192 index and 4096
// large-object bytes, then the described columns (character ones compare
// case-insensitively where the description says so) and normal indexes.
void BuildInformationTable(TORVBaseTable& Table, const TORVTableDescription& Description);

}  // namespace orv
