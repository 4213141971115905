// The fixed argument slots of statement nodes (ttDYNSTATEMENT), one list per
// statement form, and the object kinds that the statement nodes of CREATE,
// ALTER, DROP, RENAME, ENABLE, DISABLE, SET and RESET carry in FTokenID.
// The parser writes these slots; validation, the builder, the evaluator and
// the tests read them by these names only. A slot whose clause is not written
// holds nil, so every slot keeps its index whatever is given; a flag without
// a value is an empty ttCLAUSE marker, or a ttCONST "TRUE" where noted.
#pragma once

#include <cstdint>

#include "sql/orvtokenslots.h"

namespace orv {

// The object a statement acts on, by the code the evaluator dispatches on.
// The codes are stored with statement trees and never change.
enum TORVDDLObjectKind : uint8_t {
  dokNone = 0,
  dokDatabase = 1,
  dokFunction = 3,
  dokIndex = 4,
  dokJob = 5,
  dokStore = 6,
  dokMigrator = 7,
  dokProcedure = 8,
  dokRole = 9,
  dokTable = 10,
  dokTextFilter = 11,
  dokTextIndex = 12,
  dokTrigger = 13,
  dokUser = 14,
  dokView = 15,
  dokWordGenerator = 16,
  dokModule = 17,
  dokServerSessionStatistics = 18,
  dokColumnDefaults = 19,
  dokGeneratedColumns = 20,
  dokBackupsStore = 21,
  dokFilesStore = 22,
  dokUpdatesStore = 23,
  dokInformationCollation = 24,
  dokStatementLogging = 25,
};

// IMPORT and EXPORT: the file format in the statement's FTokenID and the
// encoding in the FTokenID of the encoding marker.
inline constexpr int32_t ImportFormatDelimited = 0;
inline constexpr int32_t ImportFormatXML = 1;
inline constexpr int32_t ImportEncodingAuto = -1;
inline constexpr int32_t ImportEncodingANSI = 0;
inline constexpr int32_t ImportEncodingUnicode = 1;

// PUBLISH: the mode in the FTokenID of the BY marker.
inline constexpr int32_t PublishByColumn = 0;
inline constexpr int32_t PublishByRow = 1;

// A CREATE TEMPORARY TABLE marks its table name with this FTokenID.
inline constexpr int32_t TemporaryTableID = 1;

// ---------------------------------------------------------------- data changes

// INSERT, UPDATE and DELETE hold one ttQUERY node whose slots have their own
// meanings (the FROM and WHERE slots keep the query's positions).
inline constexpr int32_t DmlQuerySlot = 0;

inline constexpr int32_t DmlParametersSlot = QueryParametersSlot;  // empty clause
inline constexpr int32_t DmlMergeWordSlot = QueryMergeWordSlot;    // empty clause
// INSERT: clause of target ttCOLUMNREF; UPDATE: clause of the assigned
// columns; DELETE: nil.
inline constexpr int32_t DmlColumnsSlot = 2;
// INSERT: clause of VALUES row values; UPDATE: clause of the new values, in
// the order of the columns; DELETE: nil.
inline constexpr int32_t DmlValuesSlot = 3;
inline constexpr int32_t DmlSourceQuerySlot = 4;  // INSERT: the source ttQUERY, else nil
inline constexpr int32_t DmlNilSlot5 = 5;         // always nil
// Clause holding the one target ttTABLEREF, whose own three slots are those
// of a FROM table (TableRefQuerySlot nil).
inline constexpr int32_t DmlTableSlot = QueryFromSlot;
inline constexpr int32_t DmlWhereSlot = QueryWhereSlot;  // UPDATE, DELETE: clause holding the condition, or nil
inline constexpr int32_t InsertQuerySlotCount = DmlTableSlot + 1;
inline constexpr int32_t DmlQuerySlotCount = DmlWhereSlot + 1;

// DELETE FILE (toDELETEFILE).
inline constexpr int32_t DeleteFileFileSlot = 0;
inline constexpr int32_t DeleteFileStoreSlot = 1;

// ------------------------------------------------------- CREATE, ALTER, DROP

// The object's name token comes first in every CREATE, ALTER and DROP form.
inline constexpr int32_t ObjectNameSlot = 0;

// CREATE and ALTER of MODULE, WORD GENERATOR and MIGRATOR.
inline constexpr int32_t ModulePathSlot = 1;            // MODULE: the path value
inline constexpr int32_t ModuleObjectModuleSlot = 1;    // WORD GENERATOR, MIGRATOR: ttMODULE (nil in ALTER)
inline constexpr int32_t ModuleDescriptionSlot = 2;     // description or nil
// CREATE and ALTER TEXT FILTER.
inline constexpr int32_t TextFilterTypeSlot = 1;         // type value (nil in ALTER)
inline constexpr int32_t TextFilterModuleSlot = 2;       // ttMODULE (nil in ALTER)
inline constexpr int32_t TextFilterDescriptionSlot = 3;  // description or nil

// DROP DATABASE and DROP STORE.
inline constexpr int32_t DropKeepContentsSlot = 1;  // marker or nil
// DROP INDEX: the index, its table, nil up to the extension slot of the
// index definition.
inline constexpr int32_t DropIndexTableSlot = 1;
inline constexpr int32_t DropIndexExtensionsSlot = 7;  // Boolean TRUE for NO BACKUP FILES, or nil
// DROP TRIGGER, and ENABLE or DISABLE TRIGGER(S): the trigger (nil for
// TRIGGERS), nil, the table.
inline constexpr int32_t TriggerNilSlot1 = 1;
inline constexpr int32_t TriggerTableSlot = 2;

// ---------------------------------------------------------------- RENAME

inline constexpr int32_t RenameOldNameSlot = 0;
inline constexpr int32_t RenameNewNameSlot = 1;
// RENAME INDEX index ON table TO index.
inline constexpr int32_t RenameIndexTableSlot = 1;
inline constexpr int32_t RenameIndexNewNameSlot = 2;
// RENAME TRIGGER trigger ON table TO trigger.
inline constexpr int32_t RenameTriggerTableSlot = 2;
inline constexpr int32_t RenameTriggerNewNameSlot = 3;
// RENAME FILE (toRENAMEFILE) file IN STORE store TO file.
inline constexpr int32_t RenameFileOldFileSlot = 0;
inline constexpr int32_t RenameFileStoreSlot = 1;
inline constexpr int32_t RenameFileNewFileSlot = 2;

// ------------------------------------------------------------ administration

// EMPTY TABLE.
inline constexpr int32_t EmptyTableTableSlot = 0;
inline constexpr int32_t EmptyTableIgnoreConstraintsSlot = 1;  // marker or nil

// ENABLE and DISABLE of JOB, DEFAULTS and GENERATED: the job (nil for JOBS)
// or the table.
inline constexpr int32_t EnableObjectSlot = 0;
// ENABLE STATEMENT LOGGING.
inline constexpr int32_t EnableLoggingMinimumSlot = 0;  // MINIMUM EXECUTION value or nil
inline constexpr int32_t EnableLoggingMaximumSlot = 1;  // MAXIMUM LOGGED value or nil

// SET: the store, collation reference (nil when none follows TO) or migrator.
inline constexpr int32_t SetTargetSlot = 0;

// BACKUP DATABASE.
inline constexpr int32_t BackupDatabaseSlot = 0;
inline constexpr int32_t BackupBackupSlot = 1;
inline constexpr int32_t BackupStoreSlot = 2;
inline constexpr int32_t BackupTablesSlot = 3;          // clause of ttTABLE or nil
inline constexpr int32_t BackupDescriptionSlot = 4;
inline constexpr int32_t BackupCompressionSlot = 5;
inline constexpr int32_t BackupIncludeCatalogSlot = 6;  // TRUE or nil
inline constexpr int32_t BackupOnlySlot = 7;            // TRUE or nil
inline constexpr int32_t BackupExcludeUpdatesSlot = 8;  // TRUE or nil

// RESTORE DATABASE.
inline constexpr int32_t RestoreDatabaseSlot = 0;
inline constexpr int32_t RestoreBackupSlot = 1;
inline constexpr int32_t RestoreStoreSlot = 2;
inline constexpr int32_t RestoreTablesSlot = 3;             // clause of ttTABLE or nil
inline constexpr int32_t RestoreIncludeCatalogSlot = 4;     // TRUE or nil
inline constexpr int32_t RestoreOnlySlot = 5;               // TRUE or nil
inline constexpr int32_t RestoreResetPublishedSlot = 6;     // TRUE or nil

// COMPARE DATABASE.
inline constexpr int32_t CompareDatabaseSlot = 0;
inline constexpr int32_t CompareTargetSlot = 1;
inline constexpr int32_t CompareTermCharSlot = 2;  // value or nil

// MIGRATE DATABASE.
inline constexpr int32_t MigrateMigratorSlot = 0;
// Clause of parameter clauses (left: ttPARAM name, right: value); present
// and empty without USING.
inline constexpr int32_t MigrateParamsSlot = 1;
inline constexpr int32_t MigrateWithDataSlot = 2;     // marker for WITH DATA, else nil
inline constexpr int32_t MigrateStartTableSlot = 3;   // ttTABLE or nil

// REPAIR, VERIFY and OPTIMIZE TABLE.
inline constexpr int32_t MaintainTableSlot = 0;
inline constexpr int32_t RepairStructureOnlySlot = 1;  // marker or nil
inline constexpr int32_t RepairStatisticsSlot = 2;     // marker or nil
inline constexpr int32_t VerifyStructureOnlySlot = 1;  // marker or nil
inline constexpr int32_t OptimizeIndexSlot = 1;        // ttINDEX or nil
inline constexpr int32_t OptimizeNoBackupSlot = 2;     // Boolean TRUE or nil

// IMPORT and EXPORT TABLE.
inline constexpr int32_t ImportTableSlot = 0;
inline constexpr int32_t ImportFileSlot = 1;
inline constexpr int32_t ImportStoreSlot = 2;
inline constexpr int32_t ImportColumnsSlot = 3;     // clause of ttCOLUMN or nil
inline constexpr int32_t ImportEncodingSlot = 4;    // marker, always present
inline constexpr int32_t ImportDelimiterSlot = 5;   // value or nil
inline constexpr int32_t ImportQuoteSlot = 6;       // value or nil
inline constexpr int32_t ImportFormattingSlot = 7;  // first of the four formatting slots
inline constexpr int32_t ImportHeadersSlot = 11;    // marker or nil
inline constexpr int32_t ImportMaxRowsSlot = 12;    // value or nil

// DISCONNECT, REMOVE and RESET SERVER SESSION: the session value; RESET JOB:
// the job.
inline constexpr int32_t SessionValueSlot = 0;

// GRANT and REVOKE of roles.
inline constexpr int32_t GrantRolesSlot = 0;  // clause of ttROLE
inline constexpr int32_t GrantUsersSlot = 1;  // clause of ttUSER
// GRANT and REVOKE of privileges.
inline constexpr int32_t GrantPrivilegesSlot = 0;  // clause of ttPRIVILEGE
inline constexpr int32_t GrantObjectSlot = 1;      // the object's name token
inline constexpr int32_t GrantGranteesSlot = 2;    // clause of ttAUTHORIZATION

// PUBLISH and UNPUBLISH DATABASE.
inline constexpr int32_t PublishDatabaseSlot = 0;
inline constexpr int32_t PublishTablesSlot = 1;  // clause of ttTABLE or nil
inline constexpr int32_t PublishModeSlot = 2;    // PUBLISH: marker with the mode, or nil

// SAVE UPDATES.
inline constexpr int32_t SaveUpdatesDatabaseSlot = 0;
inline constexpr int32_t SaveUpdatesUpdatesSlot = 1;
inline constexpr int32_t SaveUpdatesStoreSlot = 2;
inline constexpr int32_t SaveUpdatesTablesSlot = 3;       // clause of ttTABLE or nil
inline constexpr int32_t SaveUpdatesDescriptionSlot = 4;
inline constexpr int32_t SaveUpdatesCompressionSlot = 5;
inline constexpr int32_t SaveUpdatesIfNotEmptySlot = 6;   // marker or nil

// LOAD UPDATES.
inline constexpr int32_t LoadUpdatesDatabaseSlot = 0;
inline constexpr int32_t LoadUpdatesUpdatesSlot = 1;
inline constexpr int32_t LoadUpdatesStoreSlot = 2;
inline constexpr int32_t LoadUpdatesTablesSlot = 3;           // clause of ttTABLE or nil
inline constexpr int32_t LoadUpdatesMergeInsertsSlot = 4;     // marker or nil
inline constexpr int32_t LoadUpdatesIgnoreMissingSlot = 5;    // marker or nil
inline constexpr int32_t LoadUpdatesInsertMissingSlot = 6;    // marker or nil
inline constexpr int32_t LoadUpdatesDisableTriggersSlot = 7;  // marker or nil

// COPY FILE file IN STORE store TO file [IN STORE store].
inline constexpr int32_t CopyFileSourceFileSlot = 0;
inline constexpr int32_t CopyFileSourceStoreSlot = 1;
inline constexpr int32_t CopyFileTargetFileSlot = 2;
inline constexpr int32_t CopyFileTargetStoreSlot = 3;  // ttSTORE or nil

}  // namespace orv
